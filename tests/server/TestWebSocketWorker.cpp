#include "AsrManager.h"
#include "AutoReplaceManager.h"
#include "CancellationCondition.h"
#include "ExecutableCommandsManager.h"
#include "FormApiSettings.h"
#include "LaunchManager.h"
#include "LaunchSettings.h"
#include "ResultManager.h"
#include "SentFrames.h"
#include "TestHome.h"
#include "UserCommandsManager.h"
#include "WebSocketClient.h"
#include "WebSocketProxyServer.h"
#include "WebSocketWorker.h"

#include <QtTest>

#include <QJsonArray>

#include <memory>

class TestWebSocketWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void objectsStayInCreatingThread();
    void processRestartsFormServer();
    void cancelledProcessStartsNothing();
    void connectedSendsCommandsThenWords();
};

void TestWebSocketWorker::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestWebSocketWorker::init()
{
    TestHome::wipe();
}

void TestWebSocketWorker::objectsStayInCreatingThread()
{
    AutoReplaceManager autoReplace;
    UserCommandsManager userCommands;
    WebSocketWorker worker(&autoReplace, &userCommands);
    QCOMPARE(worker.wsClient()->parent(), &worker);
    QCOMPARE(worker.asrManager()->parent(), nullptr);
    QCOMPARE(worker.launchManager()->parent(), nullptr);
    QCOMPARE(worker.resultManager()->parent(), nullptr);
    QCOMPARE(worker.webSocketProxyServer()->parent(), nullptr);

    QThread thread;
    worker.moveToThread(&thread);
    QCOMPARE(worker.wsClient()->thread(), &thread);
    QCOMPARE(worker.asrManager()->thread(), QThread::currentThread());
    QCOMPARE(worker.launchManager()->thread(), QThread::currentThread());
    worker.moveToThread(QThread::currentThread());
}

void TestWebSocketWorker::processRestartsFormServer()
{
    FormApiSettings settings;
    settings.Port = 40123;
    settings.sync();

    WebSocketWorker worker(nullptr, nullptr);
    QStringList calls;
    connect(worker.webSocketProxyServer(), &WebSocketProxyServer::stop, this, [&calls] { calls << "stop"; });
    connect(worker.webSocketProxyServer(), &WebSocketProxyServer::start, this,
            [&calls](int port) { calls << QStringLiteral("start %1").arg(port); });
    auto condition = std::make_shared<CancellationCondition>();
    worker.process(condition.get());
    QCOMPARE(calls, (QStringList{"stop", "start 40123"}));
}

void TestWebSocketWorker::cancelledProcessStartsNothing()
{
    WebSocketWorker worker(nullptr, nullptr);
    QSignalSpy starts(worker.webSocketProxyServer(), &WebSocketProxyServer::start);
    QSignalSpy stops(worker.webSocketProxyServer(), &WebSocketProxyServer::stop);
    auto condition = std::make_shared<CancellationCondition>();
    condition->cancel();
    worker.process(condition.get());
    QCOMPARE(starts.count() + stops.count(), 0);
}

void TestWebSocketWorker::connectedSendsCommandsThenWords()
{
    LaunchSettings launch;
    launch.GlobalEnableVAC = true;
    launch.VoiceActivationEnabled = true;
    launch.sync();

    UserCommandsManager userCommands;
    WebSocketWorker worker(nullptr, &userCommands);
    SentFrames sent(worker.wsClient());
    ConnectionStateInfo ready;
    ready.setState(14);
    worker.asrManager()->connectionStateChanged(ready);

    const QList<int> types = sent.types();
    QVERIFY2(types.indexOf(11) >= 0 && types.indexOf(11) < types.indexOf(27), qPrintable(QString::number(types.size())));
    // The launch commands come first in the registered list.
    const QJsonArray commands = sent.dataOfType(11).first().toObject().value("Commands").toArray();
    QVERIFY(!commands.isEmpty());
    QVERIFY(commands.first().toObject().value("Id").toString().startsWith(QLatin1String("vac_")));
}

QTEST_GUILESS_MAIN(TestWebSocketWorker)
#include "TestWebSocketWorker.moc"
