#include "ConnectionHelper.h"

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

std::optional<SslCertificateVerification> ConnectionHelper::verification(const QString& stored)
{
    // Written by hand: "strict" means what "Strict" means.
    for (const auto& entry : Enum<SslCertificateVerification>::Values) {
        if (entry.second->invariantName().compare(stored.trimmed(), Qt::CaseInsensitive) == 0)
            return static_cast<SslCertificateVerification>(entry.first);
    }
    return std::nullopt;
}

QString ConnectionHelper::unknownVerification()
{
    const QString stored = SslSettings().SslCertificateVerification;
    return verification(stored) ? QString() : stored;
}

bool ConnectionHelper::tlsRequired()
{
    // A name that is neither choice never weakens the connection.
    return verification(SslSettings().SslCertificateVerification).value_or(Strict) == Strict;
}

QSslSocket::PeerVerifyMode ConnectionHelper::peerVerifyMode()
{
    return tlsRequired() ? QSslSocket::VerifyPeer : QSslSocket::QueryPeer;
}
