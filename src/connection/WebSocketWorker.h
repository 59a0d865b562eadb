#pragma once

#include "BaseWorker.h"

class AsrManager;
class AutoReplaceManager;
class ExecutableCommandsManager;
class LaunchManager;
class LocalKivaroManager;
class QThread;
class ResultManager;
class UserCommandsManager;
class WebSocketClient;
class WebSocketProxyServer;

// Owns the link to the recognition server and builds the recognition objects
// that talk through it. The worker and its WebSocketClient live in their
// SubService thread ("WebSocketWorker"); the recognition objects are made
// without a parent and stay in the GUI thread that builds the worker, but for
// the form server, which runs in a thread of its own ("FormServer").
class WebSocketWorker : public BaseWorker
{
    Q_OBJECT

public:
    WebSocketWorker(AutoReplaceManager* autoReplaceManager, UserCommandsManager* userCommandsManager);
    ~WebSocketWorker() override;

    void process(CancellationCondition* cancellationCondition) override;

    WebSocketClient* wsClient() const { return client; }
    WebSocketProxyServer* webSocketProxyServer() const { return proxyServer; }
    AsrManager* asrManager() const { return asr; }
    ResultManager* resultManager() const { return results; }
    LocalKivaroManager* localKivaroManager() const { return kivaro; }
    LaunchManager* launchManager() const { return launch; }
    ExecutableCommandsManager* executableCommandsManager() const { return commands; }

public slots:
    // Runs in the GUI thread, beside the objects it calls.
    void onConnected();

private:
    WebSocketClient* client;
    WebSocketProxyServer* proxyServer;
    QThread* formServerThread;
    AsrManager* asr;
    ResultManager* results;
    LocalKivaroManager* kivaro;
    AutoReplaceManager* autoReplaceManager;
    LaunchManager* launch;
    ExecutableCommandsManager* commands;
};
