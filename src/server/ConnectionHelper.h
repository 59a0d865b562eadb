#pragma once

#include "SslCertificateVerification.h"

#include <QList>
#include <QNetworkProxy>
#include <QNetworkProxyQuery>
#include <QObject>
#include <QSslSocket>
#include <QUrl>

#include <functional>
#include <optional>

// Picks the proxy for a server URL from the system's proxy configuration, and
// reads the TLS policy of the "SSL" settings group. Stateless; used from the
// link's thread, the connection driver's and every REST worker thread.
class ConnectionHelper : public QObject
{
    Q_OBJECT

public:
    using ProxyQuery = std::function<QList<QNetworkProxy>(const QNetworkProxyQuery&)>;

    using QObject::QObject;
    ~ConnectionHelper() override;

    // The first proxy able to carry an HTTP request, else a default proxy
    // (which, with no application proxy set, means a direct connection).
    static QNetworkProxy getProxy(const QUrl& url);
    static QNetworkProxy getProxy(const QUrl& url, const ProxyQuery& query);

    // The choice a stored name means, in any letter case; nullopt for an unknown name.
    static std::optional<SslCertificateVerification> verification(const QString& stored);
    // The stored name when it means no choice (then treated as "Strict"), else empty.
    static QString unknownVerification();
    // "Strict" verification: certificates must verify, and nothing goes over
    // plain text (no HTTP to the balancer, no ws:// to a server).
    static bool tlsRequired();
    static QSslSocket::PeerVerifyMode peerVerifyMode();
};
