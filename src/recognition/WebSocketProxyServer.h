#pragma once

#include <QObject>

class AsrManager;
class ResultManager;
class WebSocketClient;

// The local WebSocket server that MIS web forms connect to. The recognition
// worker restarts it through stop() and start(port); the listening server and
// its form sessions come with the form API.
class WebSocketProxyServer : public QObject
{
    Q_OBJECT

public:
    WebSocketProxyServer(WebSocketClient* client, ResultManager* resultManager, AsrManager* asrManager,
                         QObject* parent = nullptr);
    ~WebSocketProxyServer() override;

signals:
    void stop();
    void start(int port);

private:
    WebSocketClient* client;
    ResultManager* resultManager;
    AsrManager* asrManager;
};
