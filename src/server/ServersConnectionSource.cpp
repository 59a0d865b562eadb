#include "ServersConnectionSource.h"

#include "ServersConnectionSettings.h"

#include <algorithm>

ServersConnectionSource::ServersConnectionSource(QObject* parent)
    : QObject(parent)
    , serverStatusStorage(this)
    , refreshInterval(ServersConnectionSettings().ServersListRefreshMinTimeout)
{
    connect(&serverStatusStorage, &ServerStatusStorage::ReceivedVACSettingsFromBalancer, this,
            &ServersConnectionSource::onReceivedVACSettingsFromBalancer, Qt::DirectConnection);
}

ServersConnectionSource::~ServersConnectionSource() = default;

void ServersConnectionSource::onReceivedVACSettingsFromBalancer(bool enableVAC, bool receivedFromBalancer)
{
    emit ReceivedVACSettingsFromBalancer(enableVAC, receivedFromBalancer);
}

void ServersConnectionSource::resetCycle()
{
    updateTime = QDateTime();
    servers.clear();
    usedServers.clear();
}

ServerInfoDTO* ServersConnectionSource::GetNextServer()
{
    const bool fresh = updateTime.isValid() && updateTime.secsTo(serverStatusStorage.now()) <= refreshInterval;
    if (!fresh)
        UpdateServers();
    if (servers.isEmpty())
        return nullptr;
    usedServers.append(servers.takeFirst());
    return &usedServers.last();
}

void ServersConnectionSource::UpdateServers()
{
    bool fromBalancer = false;
    const QList<ServerInfoDTO> fetched = serverStatusStorage.GetServers(&fromBalancer);
    if (!fromBalancer)
        return;

    const int statusTimeout = ServersConnectionSettings().ServerStatusRefreshMinTimeout;
    const QDateTime now = serverStatusStorage.now();
    QList<ServerInfoDTO> rebuilt;
    for (const ServerInfoDTO& server : fetched) {
        auto used = std::find_if(usedServers.begin(), usedServers.end(),
                                 [&server](const ServerInfoDTO& s) { return s.ServerId == server.ServerId; });
        if (used == usedServers.end()) {
            rebuilt.append(server);
            continue;
        }
        const ServerConnectionStatus status = serverStatusStorage.GetConnectionStatus(server.ServerId);
        const qint64 age = status.lastChange().isValid() ? status.lastChange().secsTo(now) : 0;
        if (age > statusTimeout && serverStatusStorage.TimeSinceUpdate(server) < age) {
            serverStatusStorage.SetStatus(server.ServerId, NoDisconnect);
            usedServers.erase(used);
            rebuilt.append(server);
        }
    }
    servers = rebuilt;
    updateTime = now;
    serverCount = servers.size();
}
