#pragma once

#include "DisconnectStatus.h"

#include <QDateTime>
#include <QString>

// The recorded status of one server and when it last changed (local time).
class ServerConnectionStatus
{
public:
    ServerConnectionStatus() = default;
    ServerConnectionStatus(const QString& serverId, const QDateTime& changed, DisconnectStatus status)
        : serverId(serverId)
        , changed(changed)
        , status(status)
    {
    }

    QString ServerId() const { return serverId; }
    QDateTime lastChange() const { return changed; }
    DisconnectStatus disconnectStatus() const { return status; }

private:
    QString serverId;
    QDateTime changed;
    DisconnectStatus status = NoDisconnect;
};
