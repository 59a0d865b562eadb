#pragma once

#include "WebSocketServer.h"

#include <QPointer>

class AsrManager;
class ResultManager;
class WebSocketClient;
class WebSocketProxyServerSession;

// The local form-API server: MIS web forms connect here and get a proxy session
// to the recognition server. It keeps only the newest form. Lives in the
// thread the recognition worker gives it; the worker restarts it through
// stop() and start(port). currentSession() may be asked from any thread.
class WebSocketProxyServer : public WebSocketServer
{
    Q_OBJECT

public:
    WebSocketProxyServer(WebSocketClient* client, ResultManager* resultManager, AsrManager* asrManager,
                         QObject* parent = nullptr);
    ~WebSocketProxyServer() override;

    // The session of the connected form, or null.
    WebSocketProxyServerSession* currentSession() const;

protected:
    WebSocketServerSession* createSession() override;
    void newConnection() override;
    // Any web page in the user's browser can reach 127.0.0.1: "FormApiServer"
    // AllowedOrigins, when set, names the pages that may receive dictation.
    bool isOriginAllowed(const QString& origin) override;

private:
    // The worker that owns these may be destroyed first, from its own thread.
    QPointer<WebSocketClient> client;
    QPointer<ResultManager> resultManager;
    QPointer<AsrManager> asrManager;
};
