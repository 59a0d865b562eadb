#include "ASRSettings.h"
#include "AsrManager.h"
#include "ClientConnectionSettings.h"
#include "ConnectionHeartbeat.h"
#include "ConnectionManager.h"
#include "ConnectionManagerSettings.h"
#include "LoopbackConnection.h"
#include "RecordingDeviceManager.h"
#include "SelfSignedCertificate.h"
#include "SslSettings.h"
#include "SubService.h"
#include "TestHome.h"
#include "WebSocketWorker.h"

#include <QtTest>

#include <QElapsedTimer>

#include <algorithm>
#include <memory>

namespace {
using State = ConnectionManager::ConnectionState;

void configure(bool quiet)
{
    ConnectionManagerSettings connection;
    connection.QuietConnectionEnabled = quiet;
    connection.sync();
    ASRSettings asr;
    asr.SelectedTheme = QStringLiteral("t1");
    asr.sync();
}

QList<int> typesReceived(const FakeRecognitionServer* server)
{
    QList<int> types;
    for (const FakeRecognitionServer::Message& message : server->textMessages())
        types.append(message.type);
    return types;
}

bool received(const FakeRecognitionServer* server, std::initializer_list<int> types)
{
    const QList<int> got = typesReceived(server);
    return std::all_of(types.begin(), types.end(), [&got](int type) { return got.contains(type); });
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
    void initTestCase()
    {
        TestHome::useApplicationIdentity();
    }

    void init()
    {
        TestHome::wipe();
        configure(true);
        link = std::make_unique<LoopbackConnection>();
        link->offerThemes({QJsonObject{{"Id", "t1"}, {"Name", "Терапия"}}, QJsonObject{{"Id", "t2"}, {"Name", "Хирургия"}}});
    }

    void cleanup()
    {
        link.reset();
    }

    void connectsAndSendsEverything()
    {
        FakeRecognitionServer* server = link->addServer();
        connectTo(server);
        QCOMPARE(link->states(), (QList<int>{2, 3, 4, 8, 9, 14}));
        QCOMPARE(QString(ClientConnectionSettings().Ip), QStringLiteral("127.0.0.1"));
        QCOMPARE(int(ClientConnectionSettings().Port), int(server->port()));

        QTRY_VERIFY_WITH_TIMEOUT(received(server, {13, 9, 11, 27, 23}), TestHome::scaled(5000));
        QCOMPARE(server->messagesOfType(9).first().data.toObject().value("Id"), QJsonValue("t1"));
        QCOMPARE(server->messagesOfType(13).size(), 1);
        QVERIFY(server->envelopeErrors().isEmpty());
        // The commands go before the word list.
        QVERIFY(typesReceived(server).indexOf(11) < typesReceived(server).indexOf(27));
        QTRY_VERIFY_WITH_TIMEOUT(link->worker()->asrManager()->isConnected(), TestHome::scaled(5000));
    }

    void themeCheckHoldsUntilSuccess()
    {
        configure(false);
        FakeRecognitionServer* server = link->addServer();
        link->offerServers({link->entry("A", server->port())});
        link->build(200);
        // Counted in this thread: the request follows the state report from the driver's thread.
        QObject receiver;
        int asked = 0;
        connect(link->driver(), &ConnectionManager::themeCheckRequested, &receiver, [&asked] { ++asked; });
        link->start();
        QVERIFY(link->waitForState(13));
        QTRY_COMPARE_WITH_TIMEOUT(asked, 1, TestHome::scaled(5000));
        QVERIFY(!typesReceived(server).contains(13));

        QMetaObject::invokeMethod(link->driver(), "onThemeCheckSuccess", Qt::QueuedConnection);
        QVERIFY(link->waitForState(14));
        QCOMPARE(link->states().mid(link->states().indexOf(9)), (QList<int>{9, 13, 14}));
        QTRY_VERIFY_WITH_TIMEOUT(received(server, {13, 9, 11, 27, 23}), TestHome::scaled(5000));
    }

    void failsOverToNextServer()
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

    void allServersFailThenRetry()
    {
        link->offerServers({});
        link->build(200);
        link->start();
        QVERIFY(link->waitForState(0));
        QCOMPARE(link->stateMessages().last(), QStringLiteral("Не удалось получить список серверов"));

        // The retry starts a new cycle with a new balancer request.
        const quint16 dead = LoopbackConnection::deadPort();
        link->offerServers({link->entry("dead", dead)});
        const QString refused =
            QStringLiteral("Не удалось подключиться к серверу: 127.0.0.1:%1 отказал в соединении").arg(dead);
        QTRY_VERIFY_WITH_TIMEOUT(link->stateMessages().contains(refused), TestHome::scaled(10000));
        waitForAsrState(Stopped);
        const int requests = link->balancerRequests();

        FakeRecognitionServer* server = link->addServer();
        link->offerServers({link->entry("A", server->port())});
        QVERIFY(link->waitForState(14));
        QVERIFY(link->balancerRequests() > requests);
    }

    // A balancer that answers with an error: the failure says what it answered,
    // in the first cycle and after one that had a list of servers.
    void balancerErrorNamesItsCause_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("cause");
        QTest::newRow("its error text") << QByteArray(R"({"Error":{"Text":"Лицензия организации\nистекла",)"
                                                      R"("DebugText":"license 77 expired"},"Data":null})")
                                        << 200 << "127.0.0.1:%1 ответил: Лицензия организации истекла";
        QTest::newRow("an HTTP error") << QByteArray("{}") << 503 << "127.0.0.1:%1 ответил ошибкой HTTP 503";
    }
    void balancerErrorNamesItsCause()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, cause);
        const QString failure = QStringLiteral("Не удалось получить список серверов: ") + cause.arg(link->balancerPort());
        link->failServers(FakeHttpResponse::json(body, status, "Failed"));
        link->build(200);
        link->start();
        QVERIFY(link->waitForState(State::Failed, TestHome::scaled(10000)));
        QCOMPARE(link->stateMessages().value(link->states().indexOf(State::Failed)), failure);

        const quint16 dead = LoopbackConnection::deadPort();
        link->offerServers({link->entry("dead", dead)});
        const QString refused =
            QStringLiteral("Не удалось подключиться к серверу: 127.0.0.1:%1 отказал в соединении").arg(dead);
        QTRY_VERIFY_WITH_TIMEOUT(link->stateMessages().contains(refused), TestHome::scaled(10000));
        link->failServers(FakeHttpResponse::json(body, status, "Failed"));
        link->clearStates();
        QTRY_VERIFY_WITH_TIMEOUT(link->stateMessages().contains(failure), TestHome::scaled(10000));
    }

    void stopEndsRetryWaitAtOnce()
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
        QVERIFY2(elapsed.elapsed() < TestHome::scaled(1000), qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY(!link->driverService()->getThread()->isRunning());
    }

    // Cancelling while the balancer keeps the client waiting is heard at once.
    void stopEndsBalancerWaitAtOnce()
    {
        FakeHttpResponse silent;
        silent.silent = true;
        link->failServers(silent);
        link->build(60000);
        link->start();
        QTRY_VERIFY_WITH_TIMEOUT(link->balancerRequests() > 0, TestHome::scaled(10000));

        QElapsedTimer elapsed;
        elapsed.start();
        link->driverService()->Stop();
        QVERIFY2(elapsed.elapsed() < TestHome::scaled(500), qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY(!link->driverService()->getThread()->isRunning());
    }

    void requestsQueuedWhileStoppedAreIgnoredAfterRestart()
    {
        FakeRecognitionServer* server = link->addServer();
        connectTo(server);
        link->addHeartbeat(1000, 60000);
        link->driverService()->Stop();
        QTRY_VERIFY_WITH_TIMEOUT(link->states().endsWith(1), TestHome::scaled(5000));

        // Handled only once the driver's thread runs again, after the stop
        // released the condition they check.
        emit link->heartbeat()->timeout();
        QMetaObject::invokeMethod(link->driver(), "onDisconnectRequested", Qt::QueuedConnection);
        QMetaObject::invokeMethod(link->driver(), "onThemeCheckSuccess", Qt::QueuedConnection);
        link->clearStates();
        link->driverService()->Start();
        QVERIFY(link->waitForState(14));
        flushDriver();
        QCOMPARE(link->states(), (QList<int>{2, 3, 4, 8, 9, 14}));
        QCOMPARE(link->driver()->getState(), 14);
        QVERIFY(server->hasClient());
    }

    void droppedLinkReconnectsAndResumesMode()
    {
        FakeRecognitionServer* server = link->addServer();
        FakeRecognitionServer* backup = connectTo(server);
        QSignalSpy dropped(link->driver(), &ConnectionManager::disconnected);
        QTRY_VERIFY_WITH_TIMEOUT(link->worker()->asrManager()->isConnected(), TestHome::scaled(5000));
        link->worker()->asrManager()->startRecognition();
        QTRY_COMPARE_WITH_TIMEOUT(lastModeRequest(server), QJsonValue(QJsonValue::Null), TestHome::scaled(5000));
        server->sendModeChanged(2, 1);
        waitForAsrState(Started);

        link->clearStates();
        server->disconnectClient();
        QVERIFY(link->waitForState(14));
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(link->states(), (QList<int>{1, 3, 4, 8, 9, 14}));
        // The next server gets everything again and the recorded mode, by number this time.
        QTRY_COMPARE_WITH_TIMEOUT(lastModeRequest(backup), QJsonValue(2), TestHome::scaled(5000));
        QTRY_VERIFY_WITH_TIMEOUT(received(backup, {13, 9, 11, 27, 23}), TestHome::scaled(5000));
        QCOMPARE(backup->connectionCount(), 1);
    }

    void heartbeatTimeoutDropsLink()
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

    void audioFollowsModeAndState()
    {
        FakeRecognitionServer* server = link->addServer();
        FakeRecognitionServer* backup = connectTo(server);
        AsrManager* asr = link->worker()->asrManager();
        RecordingDeviceManager* capture = link->capture();
        QTRY_VERIFY_WITH_TIMEOUT(asr->isConnected(), TestHome::scaled(5000));

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
        QTRY_VERIFY_WITH_TIMEOUT(backup->hasClient(), TestHome::scaled(5000));
        backup->sendModeChanged(4, 1);
        waitForAsrState(Started);
        emit capture->SoundAvailable(QByteArray("after-reconnect"));
        emit capture->SoundAvailable(QByteArray("sentinel"));
        QVERIFY(backup->waitForBinaryMessages(2));
        QCOMPARE(backup->binaryMessages(), (QList<QByteArray>{"after-reconnect", "sentinel"}));
    }

    void modeReportsAndMalformedFrames()
    {
        FakeRecognitionServer* server = link->addServer();
        connectTo(server);
        AsrManager* asr = link->worker()->asrManager();
        QSignalSpy changes(asr, &AsrManager::currentModeOrStateChanged);

        server->sendRaw(QStringLiteral("not json at all"));
        server->sendRaw(QStringLiteral(R"({"MessageType":99,"Data":{}})"));
        server->sendModeChanged(3, 1);
        server->sendModeChanged(3, 1);
        server->sendModeChanged(3, 2);
        QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 2, TestHome::scaled(5000));
        QCOMPARE(changes.at(0).at(1).value<AsrState>(), Started);
        QCOMPARE(changes.at(1).at(1).value<AsrState>(), Stopped);
        QCOMPARE(link->driver()->getState(), 14);
        QVERIFY(server->hasClient());
    }

    // The default falls back to plain text; strict verification never does, on
    // either road. The certificate is trusted, so strict TLS itself works.
    void tlsPolicy_data()
    {
        QTest::addColumn<QString>("verification");
        QTest::addColumn<bool>("tlsBalancer");
        QTest::addColumn<bool>("tlsServer");
        QTest::addColumn<QString>("failure");
        QTest::newRow("insecure, plain text") << "Insecure" << false << false << "";
        QTest::newRow("strict, TLS") << "Strict" << true << true << "";
        // The failure names its cause, as "<what failed>: <why>".
        const QString balancerTls = QStringLiteral("Не удалось получить список серверов: 127.0.0.1:%balancer% не установил "
                                                   "проверенное защищённое соединение (TLS), а настройки требуют его");
        // A plain WebSocket server waits for a request that never comes.
        const QString serverTls = QStringLiteral("Не удалось подключиться к серверу: 127.0.0.1:%server% не ответил "
                                                 "вовремя на защищённое соединение (TLS)");
        QTest::newRow("strict, plain balancer") << "Strict" << false << false << balancerTls;
        QTest::newRow("strict, plain server") << "Strict" << true << false << serverTls;
        // Written by hand: any letter case, and a name that means nothing never means less.
        QTest::newRow("strict in lower case") << "strict" << false << false << balancerTls;
        QTest::newRow("unknown name") << "Strikt" << true << false << serverTls;
    }
    void tlsPolicy()
    {
        QFETCH(QString, verification);
        QFETCH(bool, tlsBalancer);
        QFETCH(bool, tlsServer);
        QFETCH(QString, failure);
        const SelfSignedCertificate certificate;
        QVERIFY2(certificate.isValid(), qPrintable(certificate.error()));
        const QSslConfiguration tls = certificate.serverConfiguration();
        const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = original;
        trusting.setCaCertificates(original.caCertificates() << tls.localCertificate());
        QSslConfiguration::setDefaultConfiguration(trusting);
        SslSettings ssl;
        ssl.SslCertificateVerification = verification;
        ssl.sync();

        link.reset();
        link = std::make_unique<LoopbackConnection>(tlsBalancer ? tls : QSslConfiguration());
        link->offerThemes({QJsonObject{{"Id", "t1"}, {"Name", "Терапия"}}});
        FakeRecognitionServer* server = link->addServer(tlsServer ? tls : QSslConfiguration());
        link->offerServers({link->entry("A", server->port())});
        link->build(200);
        link->start();
        const bool ready = link->waitForState(failure.isEmpty() ? State::Ready : State::Failed);
        QSslConfiguration::setDefaultConfiguration(original);
        QVERIFY(ready);
        if (failure.isEmpty()) {
            QCOMPARE(bool(ClientConnectionSettings().UseTls), tlsServer);
            QCOMPARE(server->connectionCount(), 1);
            return;
        }
        failure.replace(QStringLiteral("%balancer%"), QString::number(link->balancerPort()));
        failure.replace(QStringLiteral("%server%"), QString::number(server->port()));
        QCOMPARE(link->stateMessages().value(link->states().indexOf(State::Failed)), failure);
        // Over HTTPS or not at all: a plain balancer only ever sees TLS hellos.
        QCOMPARE(link->balancerRequests() > 0, tlsBalancer);
        QCOMPARE(link->balancerRejected() > 0, !tlsBalancer);
        QCOMPARE(server->connectionCount(), 0);
        QVERIFY(!link->states().contains(State::Connected));
    }

private:
    // Connects to `server`, with a second server offered behind it.
    FakeRecognitionServer* connectTo(FakeRecognitionServer* server)
    {
        FakeRecognitionServer* backup = link->addServer();
        link->offerServers({link->entry("A", server->port(), 0.1), link->entry("B", backup->port(), 0.9)});
        link->build(200);
        link->start();
        if (!link->waitForState(State::Ready))
            qWarning() << "the ready state was not reached";
        return backup;
    }

    void waitForAsrState(AsrState state)
    {
        QTRY_COMPARE_WITH_TIMEOUT(link->worker()->asrManager()->currentState(), state, TestHome::scaled(5000));
    }

    // Returns once the driver has handled everything queued to it so far.
    void flushDriver()
    {
        QMetaObject::invokeMethod(link->driver(), [] {}, Qt::BlockingQueuedConnection);
    }

    std::unique_ptr<LoopbackConnection> link;
};

QTEST_MAIN(TestConnectionManager)
#include "TestConnectionManager.moc"
