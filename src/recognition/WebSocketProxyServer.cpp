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
    // Counted before the form can be seen: a start made once it is there is for it.
    const quint64 starts = asrManager ? asrManager->startCount() : 0;
    // The previous form ends first, so its closing messages reach the server before the new form's opening.
    deleteAllSessions();
    WebSocketServer::newConnection();
    // Dictation started for an earlier target must not run into the new form;
    // stopped in the manager's own thread.
    if (asrManager) {
        AsrManager* asr = asrManager.data();
        QMetaObject::invokeMethod(asr, [asr, starts] { asr->stopRecognitionStartedBefore(starts); });
    }
}

bool WebSocketProxyServer::isOriginAllowed(const QString& origin)
{
    return FormApiSettings().isOriginAllowed(origin);
}
