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
    , formServerThread(new QThread)
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
    // Any page or local program may flood it: what they send is read and
    // answered there, never in the GUI thread.
    formServerThread->setObjectName(QStringLiteral("FormServer"));
    proxyServer->moveToThread(formServerThread);
    formServerThread->start();
    // Direct: the signal comes from the GUI thread, where the command registry
    // and the word list live; the worker itself lives in the link's thread.
    connect(asr, &AsrManager::connected, this, &WebSocketWorker::onConnected, Qt::DirectConnection);
}

WebSocketWorker::~WebSocketWorker()
{
    // Before the client, the managers and the formatter its sessions use, in
    // its own thread, which never waits for another one.
    QMetaObject::invokeMethod(proxyServer, [this] { delete proxyServer; }, Qt::BlockingQueuedConnection);
    formServerThread->quit();
    formServerThread->wait();
    delete formServerThread;
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
