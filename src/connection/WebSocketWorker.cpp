#include "WebSocketWorker.h"

#include "AsrManager.h"
#include "CancellationCondition.h"
#include "ExecutableCommandsManager.h"
#include "FormApiSettings.h"
#include "LaunchManager.h"
#include "LocalKivaroManager.h"
#include "LogCategories.h"
#include "ResultManager.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"
#include "WebSocketProxyServer.h"

#include <QThread>

WebSocketWorker::WebSocketWorker(AutoReplaceManager* autoReplaceManager, UserCommandsManager* userCommandsManager)
    : client(new WebSocketClient(this))
    , proxyServer(nullptr)
    , asr(new AsrManager(client))
    , results(nullptr)
    , kivaro(nullptr)
    , autoReplaceManager(autoReplaceManager)
    , launch(new LaunchManager(asr))
    , commands(nullptr)
{
    QList<ExecutableCommandsSource*> sources{launch};
    if (userCommandsManager)
        sources.append(userCommandsManager);
    commands = new ExecutableCommandsManager(sources, client);
    results = new ResultManager(client, asr, autoReplaceManager, commands);
    kivaro = new LocalKivaroManager(client);
    proxyServer = new WebSocketProxyServer(client, results, asr);
    // Direct: the signal comes from the GUI thread, where the command registry
    // and the word list live; the worker itself lives in the link's thread.
    connect(asr, &AsrManager::connected, this, &WebSocketWorker::onConnected, Qt::DirectConnection);
}

WebSocketWorker::~WebSocketWorker()
{
    // Before the client its sessions talk through. Its listener and sockets
    // belong to the GUI thread, which is waiting for this one to end.
    if (proxyServer->thread() == QThread::currentThread())
        delete proxyServer;
    else
        proxyServer->deleteLater();
    delete client;
    delete asr;
    delete results;
    delete kivaro;
    delete commands;
    delete launch;
}

void WebSocketWorker::process(CancellationCondition* cancellationCondition)
{
    if (!cancellationCondition || cancellationCondition->isCanceled())
        return;
    const int port = FormApiSettings().Port;
    qCInfo(lcWebSocketWorker) << "Restarting the local form server on port" << port;
    emit proxyServer->stop();
    emit proxyServer->start(port);
}

void WebSocketWorker::onConnected()
{
    commands->refreshCommands();
    kivaro->SendKivaroInfo();
}
