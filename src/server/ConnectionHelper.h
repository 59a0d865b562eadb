#pragma once

#include <QList>
#include <QNetworkProxy>
#include <QNetworkProxyQuery>
#include <QObject>
#include <QUrl>

#include <functional>

// Picks the proxy for a server URL from the system's proxy configuration.
// Stateless; used from the link's thread and from every REST worker thread.
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
};
