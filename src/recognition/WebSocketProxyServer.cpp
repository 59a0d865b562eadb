#include "WebSocketProxyServer.h"

WebSocketProxyServer::WebSocketProxyServer(WebSocketClient* client, ResultManager* resultManager,
                                           AsrManager* asrManager, QObject* parent)
    : QObject(parent)
    , client(client)
    , resultManager(resultManager)
    , asrManager(asrManager)
{
}

WebSocketProxyServer::~WebSocketProxyServer() = default;
