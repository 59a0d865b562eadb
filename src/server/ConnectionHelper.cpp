#include "ConnectionHelper.h"

#include "ConveterException.h"
#include "SslCertificateVerification.h"
#include "SslSettings.h"

#include <QNetworkProxyFactory>
#include <QtDebug>

#include <exception>

ConnectionHelper::~ConnectionHelper() = default;

QNetworkProxy ConnectionHelper::getProxy(const QUrl& url)
{
    return getProxy(url, &QNetworkProxyFactory::systemProxyForQuery);
}

QNetworkProxy ConnectionHelper::getProxy(const QUrl& url, const ProxyQuery& query)
{
    try {
        const QList<QNetworkProxy> proxies = query(QNetworkProxyQuery(url, QNetworkProxyQuery::UrlRequest));
        qDebug().noquote() << "proxy length: " + QString::number(proxies.size());
        QNetworkProxy selected;
        bool found = false;
        for (const QNetworkProxy& proxy : proxies) {
            const bool carriesHttp = proxy.type() == QNetworkProxy::DefaultProxy
                || proxy.type() == QNetworkProxy::HttpProxy
                || proxy.type() == QNetworkProxy::HttpCachingProxy;
            const char* verdict = !carriesHttp ? "rejected proxy: " : found ? "avaliable proxy: " : "selected proxy: ";
            qDebug().noquote() << QLatin1String(verdict) + proxy.hostName() << proxy.port() << int(proxy.type());
            if (carriesHttp && !found) {
                selected = proxy;
                found = true;
            }
        }
        return selected;
    } catch (const std::exception& e) {
        qWarning().noquote() << "Get proxy error: " + QString::fromLocal8Bit(e.what());
        return QNetworkProxy();
    }
}

bool ConnectionHelper::tlsRequired()
{
    try {
        return Enum<SslCertificateVerification>::FromInvariantString(SslSettings().SslCertificateVerification) == Strict;
    } catch (const ConveterException&) {
        return false;
    }
}

QSslSocket::PeerVerifyMode ConnectionHelper::peerVerifyMode()
{
    return tlsRequired() ? QSslSocket::VerifyPeer : QSslSocket::QueryPeer;
}
