#include "WebSocketProxyServer.h"

#include "AsrManager.h"
#include "FormApiSettings.h"
#include "ResultManager.h"
#include "WebSocketClient.h"
#include "WebSocketProxyServerSession.h"


WebSocketProxyServer::WebSocketProxyServer(WebSocketClient* client, ResultManager* resultManager,
                                           AsrManager* asrManager, QObject* parent)
    : WebSocketServer(parent)
    , client(client)
    , resultManager(resultManager)
    , asrManager(asrManager)
{
}

WebSocketProxyServer::~WebSocketProxyServer() = default;

WebSocketProxyServerSession* WebSocketProxyServer::currentSession() const
{
    QMutexLocker lock(&sessionsMutex);
    return sessionList.isEmpty() ? nullptr : qobject_cast<WebSocketProxyServerSession*>(sessionList.first());
}

WebSocketServerSession* WebSocketProxyServer::createSession()
{
    QWebSocket* socket = nextPendingSocket();
    if (!socket)
        return nullptr;
    auto* session = new WebSocketProxyServerSession(client, socket, resultManager, asrManager, this);
    connect(session, &WebSocketProxyServerSession::trafficRefused, this, [this](const QString& origin) { holdOff(origin); });
    return session;
}

void WebSocketProxyServer::newConnection()
{
    // The previous form ends first, so its closing messages reach the server before the new form's opening.
    deleteAllSessions();
    WebSocketServer::newConnection();
    // Dictation started for an earlier target must not run into the new form;
    // stopped in the manager's own thread.
    if (asrManager)
        QMetaObject::invokeMethod(asrManager.data(), &AsrManager::stopRecognition);
}

bool WebSocketProxyServer::isOriginAllowed(const QString& origin)
{
    return FormApiSettings().isOriginAllowed(origin);
}
