#include "ASRSettings.h"
#include "AsrManager.h"
#include "ClientConnectionSettings.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "LoopbackConnection.h"
#include "RecordingDeviceManager.h"
#include "SubService.h"
#include "TestHome.h"
#include "TtsManager.h"
#include "WebSocketWorker.h"

#include <QtTest>

#include <QElapsedTimer>

#include <memory>

namespace {
using State = ConnectionManager::ConnectionState;

QJsonArray themes()
{
    return QJsonArray{QJsonObject{{"Id", "t1"}, {"Name", "Терапия"}, {"CompositionType", 1}},
                      QJsonObject{{"Id", "t2"}, {"Name", "Хирургия"}, {"CompositionType", 1}}};
}

void configure(bool quiet)
{
    ConnectionManagerSettings connection;
    connection.QuietConnectionEnabled = quiet;
    connection.sync();
    ASRSettings asr;
    asr.SelectedTheme = QStringLiteral("t1");
    asr.sync();
}

QSet<int> typesReceived(const FakeRecognitionServer* server)
{
    QSet<int> types;
    for (const FakeRecognitionServer::Message& message : server->textMessages())
        types.insert(message.type);
    return types;
}

bool received(const FakeRecognitionServer* server, std::initializer_list<int> types)
{
    const QSet<int> got = typesReceived(server);
    for (int type : types) {
        if (!got.contains(type))
            return false;
    }
    return true;
}

QJsonValue lastModeRequest(const FakeRecognitionServer* server)
{
    const QList<FakeRecognitionServer::Message> requests = server->messagesOfType(1);
    return requests.isEmpty() ? QJsonValue(QStringLiteral("none")) : requests.last().data.toObject().value("Type");
}
} // namespace

class TestConnectionManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectsAndSendsEverything();
    void themeCheckHoldsUntilSuccess();
    void failsOverToNextServer();
    void allServersFailThenRetry();
    void noServersOffered();
    void stopEndsRetryWaitAtOnce();
    void droppedLinkReconnectsAndResumesMode();
    void reconnectRequestStartsFreshCycle();
    void heartbeatTimeoutDropsLink();
    void audioFollowsModeAndState();
    void modeReportsAndMalformedFrames();

private:
    // Connects to `server`, with a second server offered behind it.
    FakeRecognitionServer* connectTo(FakeRecognitionServer* server);
    void waitForAsrState(AsrState state);
    // Returns once the driver has handled everything queued to it so far.
    void flushDriver();

    std::unique_ptr<LoopbackConnection> link;
};

void TestConnectionManager::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestConnectionManager::init()
{
    TestHome::wipe();
    configure(true);
    link = std::make_unique<LoopbackConnection>();
    link->offerThemes(themes());
}

void TestConnectionManager::cleanup()
{
    link.reset();
}

FakeRecognitionServer* TestConnectionManager::connectTo(FakeRecognitionServer* server)
{
    FakeRecognitionServer* backup = link->addServer();
    link->offerServers({link->entry("A", server->port(), 0.1), link->entry("B", backup->port(), 0.9)});
    link->build(200);
    link->start();
    if (!link->waitForState(State::Ready))
        qWarning() << "the ready state was not reached";
    return backup;
}

void TestConnectionManager::waitForAsrState(AsrState state)
{
    QTRY_COMPARE(link->worker()->asrManager()->currentState(), state);
}

void TestConnectionManager::flushDriver()
{
    QMetaObject::invokeMethod(link->driver(), [] {}, Qt::BlockingQueuedConnection);
}

void TestConnectionManager::connectsAndSendsEverything()
{
    FakeRecognitionServer* server = link->addServer();
    connectTo(server);
    QCOMPARE(link->states(), (QList<int>{2, 3, 4, 8, 9, 14}));
    QCOMPARE(link->driver()->getState(), 14);
    QCOMPARE(QString(ClientConnectionSettings().Ip), QStringLiteral("127.0.0.1"));
    QCOMPARE(int(ClientConnectionSettings().Port), int(server->port()));

    QTRY_VERIFY(received(server, {13, 9, 11, 27, 23}));
    QCOMPARE(server->messagesOfType(9).first().data.toObject().value("Id"), QJsonValue("t1"));
    QCOMPARE(server->messagesOfType(13).size(), 1);
    QVERIFY(server->envelopeErrors().isEmpty());
    QTRY_VERIFY(link->worker()->asrManager()->isConnected());
}

void TestConnectionManager::themeCheckHoldsUntilSuccess()
{
    configure(false);
    FakeRecognitionServer* server = link->addServer();
    link->offerServers({link->entry("A", server->port())});
    link->build(200);
    QSignalSpy asked(link->driver(), &ConnectionManager::themeCheckRequested);
    link->start();
    QVERIFY(link->waitForState(13));
    QCOMPARE(asked.count(), 1);
    QVERIFY(!typesReceived(server).contains(13));

    QMetaObject::invokeMethod(link->driver(), "onThemeCheckSuccess", Qt::QueuedConnection);
    QVERIFY(link->waitForState(14));
    QCOMPARE(link->states().mid(link->states().indexOf(9)), (QList<int>{9, 13, 14}));
    QTRY_VERIFY(received(server, {13, 9, 11, 27, 23}));

    // Once passed in this run, a new connection does not ask again.
    link->clearStates();
    server->disconnectClient();
    QVERIFY(link->waitForState(1));
    QVERIFY(link->waitForState(14));
    QVERIFY(!link->states().contains(13));
    QCOMPARE(asked.count(), 1);
}

void TestConnectionManager::failsOverToNextServer()
{
    FakeRecognitionServer* good = link->addServer();
    link->offerServers({LoopbackConnection::entryWithString("bad-string", "127.0.0.1;34000", 0.1),
                        LoopbackConnection::entryWithString("bad-port", "127.0.0.1;70000;80", 0.2),
                        link->entry("dead", LoopbackConnection::deadPort(), 0.3), link->entry("good", good->port(), 0.9)});
    link->build(200);
    link->start();
    QVERIFY(link->waitForState(14));
    QCOMPARE(int(ClientConnectionSettings().Port), int(good->port()));
    QCOMPARE(good->connectionCount(), 1);
    // One failed open in between: 3 -> 1 -> 3 -> 4.
    QCOMPARE(link->states(), (QList<int>{2, 3, 1, 3, 4, 8, 9, 14}));
}

void TestConnectionManager::allServersFailThenRetry()
{
    link->offerServers({link->entry("dead", LoopbackConnection::deadPort())});
    link->build(200);
    link->start();
    QVERIFY(link->waitForState(0));
    QCOMPARE(link->stateMessages().at(link->states().indexOf(0)), QStringLiteral("Не удалось подключиться к серверу"));
    QTRY_COMPARE(link->worker()->asrManager()->currentState(), Stopped);

    // The retry starts a new cycle with a new balancer request.
    const int requests = link->balancerRequests();
    QTRY_VERIFY(link->states().count(0) >= 2);
    QVERIFY(link->balancerRequests() > requests);

    // A server appearing meanwhile is found by the next retry.
    FakeRecognitionServer* server = link->addServer();
    link->offerServers({link->entry("A", server->port())});
    QVERIFY(link->waitForState(14));
}

void TestConnectionManager::noServersOffered()
{
    link->offerServers({});
    link->build(60000);
    link->start();
    QVERIFY(link->waitForState(0));
    QCOMPARE(link->stateMessages().last(), QStringLiteral("Не удалось получить список серверов"));
}

void TestConnectionManager::stopEndsRetryWaitAtOnce()
{
    link->offerServers({link->entry("dead", LoopbackConnection::deadPort())});
    link->build(60000);
    link->start();
    QVERIFY(link->waitForState(0));
    // The driver's thread keeps handling events while it waits.
    QMetaObject::invokeMethod(link->driver(), "onThemeCheckSuccess", Qt::BlockingQueuedConnection);

    QElapsedTimer elapsed;
    elapsed.start();
    link->driverService()->Stop();
    QVERIFY2(elapsed.elapsed() < 1000, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(!link->driverService()->getThread()->isRunning());
}

void TestConnectionManager::droppedLinkReconnectsAndResumesMode()
{
    FakeRecognitionServer* server = link->addServer();
    FakeRecognitionServer* backup = connectTo(server);
    QSignalSpy dropped(link->driver(), &ConnectionManager::disconnected);
    QTRY_VERIFY(link->worker()->asrManager()->isConnected());
    link->worker()->asrManager()->startRecognition();
    QTRY_COMPARE(lastModeRequest(server), QJsonValue(QJsonValue::Null));
    server->sendModeChanged(2, 1);
    waitForAsrState(Started);

    link->clearStates();
    server->disconnectClient();
    QVERIFY(link->waitForState(14));
    QCOMPARE(dropped.count(), 1);
    QCOMPARE(link->states(), (QList<int>{1, 3, 4, 8, 9, 14}));
    // The next server gets everything again and the recorded mode, by number this time.
    QTRY_COMPARE(lastModeRequest(backup), QJsonValue(2));
    QTRY_VERIFY(received(backup, {13, 9, 11, 27, 23}));
    QCOMPARE(backup->connectionCount(), 1);
}

void TestConnectionManager::reconnectRequestStartsFreshCycle()
{
    FakeRecognitionServer* server = link->addServer();
    connectTo(server);
    const int requests = link->balancerRequests();
    link->clearStates();

    QMetaObject::invokeMethod(link->driver(), "onReconnectRequested", Qt::QueuedConnection);
    QVERIFY(link->waitForState(14));
    // Back to the balancer and the first server, with every step after connecting run again.
    QCOMPARE(link->states(), (QList<int>{1, 2, 3, 4, 8, 9, 14}));
    QVERIFY(link->balancerRequests() > requests);
    QCOMPARE(server->connectionCount(), 2);
}

void TestConnectionManager::heartbeatTimeoutDropsLink()
{
    FakeRecognitionServer* server = link->addServer();
    FakeRecognitionServer* backup = connectTo(server);
    link->addHeartbeat(20, 300);
    link->clearStates();

    // The server shares this thread: while it is held up, no pong comes back.
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < 1200)
        QThread::msleep(10);
    QVERIFY(link->waitForState(1));
    QVERIFY(link->waitForState(14));
    QCOMPARE(backup->connectionCount(), 1);
}

void TestConnectionManager::audioFollowsModeAndState()
{
    FakeRecognitionServer* server = link->addServer();
    FakeRecognitionServer* backup = connectTo(server);
    AsrManager* asr = link->worker()->asrManager();
    RecordingDeviceManager* capture = link->capture();
    QTRY_VERIFY(asr->isConnected());

    // Text requested but not yet started: nothing flows.
    asr->startRecognition();
    server->sendModeChanged(2, 0);
    waitForAsrState(Starting);
    emit capture->SoundAvailable(QByteArray("starting"));
    flushDriver();
    server->sendModeChanged(2, 1);
    waitForAsrState(Started);
    emit capture->SoundAvailable(QByteArray("started-1"));
    QVERIFY(server->waitForBinaryMessages(1));

    // Stopping dictation: the idle mode takes no audio.
    asr->stopRecognition();
    emit capture->SoundAvailable(QByteArray("idle"));
    flushDriver();

    // The wizard form mode takes audio while starting.
    FormMetadata form;
    const RecognitionMode wizard = RecognitionModeNamespace::TemplatedWizardForm;
    asr->getTargetModeInfo()->BackupTargetMode(&wizard, &form, nullptr, QString());
    server->sendModeChanged(4, 0);
    waitForAsrState(Starting);
    emit capture->SoundAvailable(QByteArray("wizard-starting"));
    QVERIFY(server->waitForBinaryMessages(2));
    QCOMPARE(server->binaryMessages(), (QList<QByteArray>{"started-1", "wizard-starting"}));

    // After a reconnection each buffer still goes out once.
    link->clearStates();
    server->disconnectClient();
    QVERIFY(link->waitForState(14));
    QTRY_VERIFY(backup->hasClient());
    backup->sendModeChanged(4, 1);
    waitForAsrState(Started);
    emit capture->SoundAvailable(QByteArray("after-reconnect"));
    emit capture->SoundAvailable(QByteArray("sentinel"));
    QVERIFY(backup->waitForBinaryMessages(2));
    QCOMPARE(backup->binaryMessages(), (QList<QByteArray>{"after-reconnect", "sentinel"}));
}

void TestConnectionManager::modeReportsAndMalformedFrames()
{
    FakeRecognitionServer* server = link->addServer();
    connectTo(server);
    QSignalSpy changes(link->worker()->asrManager(), &AsrManager::currentModeOrStateChanged);

    server->sendRaw(QStringLiteral("not json at all"));
    server->sendRaw(QStringLiteral("[1,2,3]"));
    server->sendRaw(QStringLiteral(R"({"MessageType":99,"Data":{}})"));
    server->sendModeChanged(3, 1);
    server->sendModeChanged(3, 1);
    server->sendModeChanged(3, 2);
    QTRY_COMPARE(changes.count(), 2);
    QCOMPARE(changes.at(0).at(1).value<AsrState>(), Started);
    QCOMPARE(changes.at(1).at(1).value<AsrState>(), Stopped);
    QCOMPARE(link->driver()->getState(), 14);
    QVERIFY(server->hasClient());

    // A notification that disconnects the user reaches the manager without holding up the link.
    AsrManager* asr = link->worker()->asrManager();
    QVERIFY(asr->getEnabled());
    server->sendNotification(QStringLiteral("Работа запрещена"), 3, 1);
    QTRY_VERIFY(!asr->getEnabled());
}

QTEST_MAIN(TestConnectionManager)
#include "TestConnectionManager.moc"
