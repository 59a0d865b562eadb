#pragma once

#include "BalancerRestAccessPoint.h"
#include "DisconnectStatus.h"
#include "ServerConnectionStatus.h"
#include "ServerInfoDTO.h"
#include "ServerListDTO.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>

// The balancer's server list with its cached fallback, and what is known of
// each server's last connection. Used from ConnectionManager's worker thread;
// the status calls may come from any thread.
class ServerStatusStorage : public QObject
{
    Q_OBJECT

public:
    explicit ServerStatusStorage(QObject* parent = nullptr);
    ~ServerStatusStorage() override;

    // Never throws: when the balancer fails, the cached list of the same balancer stands in.
    QList<ServerInfoDTO> GetServers(bool* receivedFromBalancer);
    ServerListDTO GetServersFromBalancer();
    ServerListDTO GetServersInternal();

    ServerListDTO cachedServerList() const;
    void setCachedServerList(const ServerListDTO& list);
    QString balancerAuthority() const;

    void SetStatus(const QString& serverId, DisconnectStatus status);
    DisconnectStatus GetStatus(const QString& serverId);
    ServerConnectionStatus GetConnectionStatus(const QString& serverId);
    void Clear();

    // Seconds from the server's last update to the time stamp of the cached list.
    int TimeSinceUpdate(const ServerInfoDTO& server) const;

    void SwitchToHttps();
    void SwitchToHttp();

    // The recommended server first, then ascending estimated load (NaN last);
    // servers that compare equal keep the balancer's order.
    static void sortServers(QList<ServerInfoDTO>& servers, const QString& recommendedId);

    // The time source of the status ages; tests move it instead of waiting.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock) { this->clock = std::move(clock); }
    QDateTime now() const { return clock(); }

    BalancerRestAccessPoint* accessPoint() { return &balancerRestAccessPoint; }

    // Why the last balancer request failed, for the user; empty after a success.
    QString balancerFailure();

signals:
    void ReceivedVACSettingsFromBalancer(bool enableVAC, bool receivedFromBalancer);

private:
    BalancerRestAccessPoint balancerRestAccessPoint;
    bool useHttpsFirst = true;
    QHash<QString, ServerConnectionStatus> statuses;
    QString lastBalancerFailure;
    QMutex mutex;
    Clock clock = [] { return QDateTime::currentDateTime(); };
};
