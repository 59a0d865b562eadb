#include "RestProxyServer.h"

#include "ClientConnectionSettings.h"
#include "FormApiSettings.h"
#include "LogCategories.h"

RestProxyServer::RestProxyServer()
{
    FormApiSettings formApi;
    ClientConnectionSettings client;
    restPort = formApi.RestPort;
    targetIp = client.Ip;
    targetRestPort = client.RestPort;
    qCInfo(lcRestProxyServer).noquote()
        << QStringLiteral("Local REST proxy port %1, forwarding to %2:%3").arg(restPort).arg(targetIp).arg(targetRestPort);
}

RestProxyServer::~RestProxyServer() = default;

void RestProxyServer::onWsConnectionState(ConnectionStateInfo stateInfo)
{
    if (stateInfo.state() == connectionState)
        return;
    connectionState = stateInfo.state();
    qCDebug(lcRestProxyServer) << "Connection state" << connectionState;
}
