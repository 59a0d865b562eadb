#pragma once

#include "ServerInfoDTO.h"
#include "ServerStatusStorage.h"

#include <QDateTime>
#include <QList>
#include <QObject>

// Hands out the balancer's servers one at a time within a connection cycle.
// Used from ConnectionManager's worker thread only.
class ServersConnectionSource : public QObject
{
    Q_OBJECT

public:
    explicit ServersConnectionSource(QObject* parent = nullptr);
    ~ServersConnectionSource() override;

    // The next server, or null when none is left. The pointer stays valid
    // until the lists are next cleared or that server comes back in a rebuild.
    ServerInfoDTO* GetNextServer();
    void UpdateServers();

    // The start of a connection cycle: the next call asks the balancer again.
    void resetCycle();

    ServerStatusStorage* storage() { return &serverStatusStorage; }
    int getServerCount() const { return serverCount; }
    int getRefreshInterval() const { return refreshInterval; }
    void setRefreshInterval(int seconds) { refreshInterval = seconds; }

signals:
    void ReceivedVACSettingsFromBalancer(bool enableVAC, bool receivedFromBalancer);

public slots:
    void onReceivedVACSettingsFromBalancer(bool enableVAC, bool receivedFromBalancer);

private:
    ServerStatusStorage serverStatusStorage;
    QDateTime updateTime;
    QList<ServerInfoDTO> servers;
    QList<ServerInfoDTO> usedServers;
    int refreshInterval;
    int serverCount = 0;
};
