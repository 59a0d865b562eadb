#pragma once

#include "ConnectionStateInfo.h"

#include <QObject>
#include <QString>

// The local HTTP proxy through which MIS web forms reach the recognition
// server's REST port. This is the part the composition root needs: its ports
// and its view of the connection state; listening and forwarding come with the
// form API.
class RestProxyServer : public QObject
{
    Q_OBJECT

public:
    RestProxyServer();
    ~RestProxyServer() override;

    int localPort() const { return restPort; }
    QString targetHost() const { return targetIp; }
    int targetPort() const { return targetRestPort; }

public slots:
    void onWsConnectionState(ConnectionStateInfo stateInfo);

private:
    int restPort = 0;
    QString targetIp;
    int targetRestPort = 0;
    int connectionState = 1;
};
