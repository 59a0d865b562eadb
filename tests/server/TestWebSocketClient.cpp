#include "ClientInfoSettings.h"
#include "ClientThemeInfo.h"
#include "CommandsInfo.h"
#include "CookiesSource.h"
#include "DataMessageProcessor.h"
#include "FakeRecognitionServer.h"
#include "RecognitionModeCommand.h"
#include "RecognitionParameters.h"
#include "SelfSignedCertificate.h"
#include "SslSettings.h"
#include "TestHome.h"
#include "TtsParams.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QDir>
#include <QJsonArray>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QWebSocket>
#include <QWebSocketServer>

#include <memory>

namespace {
void setUseProxy(bool use)
{
    ClientInfoSettings settings;
    settings.UseProxy = use;
    settings.sync();
}

void setVerification(const QString& mode)
{
    SslSettings settings;
    settings.SslCertificateVerification = mode;
    settings.sync();
}

std::unique_ptr<WebSocketClient> makeClient(int connectTimeoutMs = 3000)
{
    return std::make_unique<WebSocketClient>(nullptr, connectTimeoutMs, new CookiesSource());
}
} // namespace

class TestWebSocketClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void serverUrl_data();
    void serverUrl();
    void handshakeCarriesCookies();
    void envelopeOfEverySentType();
    void sendsFromAnotherThreadKeepOrder();
    void binaryFramesByteForByte();
    void incomingTypesReachTheProcessor();
    void untrustedFramesKeepTheLinkUp();
    void secondOpenWhileConnectingIsDropped();
    void hangingHandshakeIsClosedByTheTimer();
    void pingAndPong();
    void noProxyWhenSwitchedOff();
    void closeFromTheClient();
    void worksFromItsOwnThread();
    void connectionWrapsAnAcceptedSocket();
    void strictTlsRefusesSelfSignedCertificate();
    void insecureTlsAcceptsSelfSignedCertificate();

private:
    bool connectTo(WebSocketClient& client, FakeRecognitionServer& server, bool useTls = false);
};

bool TestWebSocketClient::connectTo(WebSocketClient& client, FakeRecognitionServer& server, bool useTls)
{
    QSignalSpy connected(&client, &WebSocketConnection::connected);
    emit client.open(server.host(), server.port(), useTls);
    return connected.count() > 0 || connected.wait(5000);
}

void TestWebSocketClient::initTestCase()
{
    TestHome::useApplicationIdentity();
    qputenv("USER", "dictator");
}

void TestWebSocketClient::init()
{
    TestHome::wipe();
    setUseProxy(false);
}

void TestWebSocketClient::serverUrl_data()
{
    QTest::addColumn<bool>("useTls");
    QTest::addColumn<QString>("url");
    QTest::newRow("tls") << true << "wss://10.0.0.5:34000/";
    QTest::newRow("plain") << false << "ws://10.0.0.5:34000/";
}

void TestWebSocketClient::serverUrl()
{
    QFETCH(bool, useTls);
    QTEST(WebSocketClient::serverUrl(QStringLiteral("10.0.0.5"), 34000, useTls), "url");
}

void TestWebSocketClient::handshakeCarriesCookies()
{
    QDir().mkpath(CookiesSource::profileFolder());
    {
        QSettings organisation(QDir(CookiesSource::profileFolder()).filePath("Organisation.ini"), QSettings::IniFormat);
        organisation.setValue("Organisation/Room", "1.2 (test)");
        organisation.setValue("Organisation/OrganisationOid", "a;b=c");
    }
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    client->getCookiesSource()->setAdditionalCookies({QNetworkCookie("MIS_TYPE", "form")});
    QVERIFY(connectTo(*client, server));
    QVERIFY(server.waitForClient());

    QCOMPARE(server.lastRequest().url().path(), QStringLiteral("/"));
    QCOMPARE(server.lastCookieNames(),
             QStringList({"CLIENT_APP_VERSION", "CLIENT_APP_NAME", "DESKTOP_ID", "ENVIRONMENT", "ACCOUNT",
                          "HOSTNAME", "USER_DOMAIN", "USER_NAME", "MIS_TYPE", "REGION_CODE", "ORG_FULL_NAME",
                          "ORG_PSRN", "ORG_OID", "ROOM", "USER", "USER_SPEC", "USER_IIAN", "TIMEZONE",
                          "MIS_TYPE", "MIS_USER", "MIS_ID", "MIS_VERSION"}));
    const QByteArray header = server.lastRequest().rawHeader("Cookie");
    QVERIFY2(header.startsWith("CLIENT_APP_VERSION=7.2.400; CLIENT_APP_NAME=Quillora Client (Linux Qt); DESKTOP_ID="),
             header.constData());
    QVERIFY(header.contains("; ROOM=1.2 (test); "));
    QVERIFY(header.contains("; ORG_OID=a%3Bb%3Dc; "));
    QCOMPARE(server.cookieValue("ACCOUNT"), QByteArray("dictator"));
    QCOMPARE(server.cookieValue("MIS_TYPE"), QByteArray("form"));
    QCOMPARE(server.cookieValue("MIS_USER"), server.cookieValue("DESKTOP_ID"));
    QCOMPARE(server.cookieValue("DESKTOP_ID").size(), 36);
}

void TestWebSocketClient::envelopeOfEverySentType()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QVERIFY(connectTo(*client, server));

    RecognitionModeCommand command;
    RecognitionMode mode = RecognitionModeNamespace::Text;
    command.setType(&mode);
    ClientThemeInfo theme;
    theme.setId(QStringLiteral("t1"));
    CommandInfo info;
    info.setId(QStringLiteral("c1"));
    CommandsInfo commands;
    commands.setCommands({info});
    RecognitionParameters parameters(true, true);
    TtsParams tts;
    tts.setSpeed(1.5);
    const QList<QPair<int, JsonConvertable*>> records{{1, &command}, {9, &theme}, {11, &commands}, {13, &parameters}, {23, &tts}};
    for (const auto& record : records)
        client->sendData(record.first, record.second);
    client->sendObject(1, QJsonValue());
    client->sendObject(21, QJsonObject());
    client->sendObject(27, QJsonArray{QStringLiteral("слово")});
    client->sendObject(106, QStringLiteral("text"));
    client->sendJson(120, 7);

    QVERIFY(server.waitForMessages(10));
    QCOMPARE(server.envelopeErrors(), QStringList());
    const QList<FakeRecognitionServer::Message> received = server.textMessages();
    for (int i = 0; i < records.size(); ++i) {
        QCOMPARE(received.at(i).type, records.at(i).first);
        QCOMPARE(received.at(i).data, QJsonValue(records.at(i).second->toJson()));
    }
    QCOMPARE(received.at(5).raw, QStringLiteral(R"({"Data":null,"MessageType":1})"));
    QCOMPARE(received.at(6).raw, QStringLiteral(R"({"Data":{},"MessageType":21})"));
    QCOMPARE(received.at(7).raw, QStringLiteral(R"({"Data":["слово"],"MessageType":27})"));
    QCOMPARE(received.at(8).raw, QStringLiteral(R"({"Data":"text","MessageType":106})"));
    QCOMPARE(received.at(9).raw, QStringLiteral(R"({"Data":7,"MessageType":120})"));
}

void TestWebSocketClient::sendsFromAnotherThreadKeepOrder()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QVERIFY(connectTo(*client, server));

    constexpr int count = 300;
    WebSocketClient* target = client.get();
    QThread* sender = QThread::create([target] {
        for (int i = 0; i < count; ++i) {
            if (i % 2)
                target->sendObject(13, i);
            else
                target->sendDataBytes(QByteArray::number(i));
        }
    });
    sender->start();
    QVERIFY(server.waitForMessages(count / 2));
    QVERIFY(server.waitForBinaryMessages(count / 2));
    sender->wait();
    delete sender;
    for (int i = 0; i < count / 2; ++i) {
        QCOMPARE(server.textMessages().at(i).data.toInt(), 2 * i + 1);
        QCOMPARE(server.binaryMessages().at(i), QByteArray::number(2 * i));
    }
}

void TestWebSocketClient::binaryFramesByteForByte()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QVERIFY(connectTo(*client, server));

    QByteArray pcm(3200, Qt::Uninitialized);
    for (int i = 0; i < pcm.size(); ++i)
        pcm[i] = char(i * 7 + 3);
    QByteArray large(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < large.size(); ++i)
        large[i] = char(i ^ (i >> 8));
    client->sendDataBytes(pcm);
    client->sendDataBytes(QByteArray("\0\0\0", 3));
    client->sendDataBytes(large);
    QVERIFY(server.waitForBinaryMessages(3));
    QCOMPARE(server.binaryMessages().at(0), pcm);
    QCOMPARE(server.binaryMessages().at(1), QByteArray("\0\0\0", 3));
    QCOMPARE(server.binaryMessages().at(2), large);
    QVERIFY(server.textMessages().isEmpty());
}

void TestWebSocketClient::incomingTypesReachTheProcessor()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QVERIFY(connectTo(*client, server));
    QVERIFY(server.waitForClient());

    DataMessageProcessor* processor = client->messageProcessor();
    QCOMPARE(client->property("messageProcessor").value<DataMessageProcessor*>(), processor);
    QSignalSpy relay(processor, &DataMessageProcessor::textMessageReceived);
    QSignalSpy mode(processor, &DataMessageProcessor::modeChanged);
    QSignalSpy result(processor, &DataMessageProcessor::resultReceived);
    QSignalSpy notified(processor, &DataMessageProcessor::userNotified);
    QSignalSpy themes(processor, &DataMessageProcessor::themeChoicesReceived);
    QSignalSpy tts(processor, &DataMessageProcessor::ttsStateReceived);
    QSignalSpy denied(processor, &DataMessageProcessor::workDenied);
    QSignalSpy sound(processor, &DataMessageProcessor::ttsSound);

    QVERIFY(server.sendModeChanged(2, 1, QStringLiteral("ok")));
    QVERIFY(server.sendResult(QStringLiteral("текст"), true, QStringLiteral("cmd"), QJsonArray{QJsonObject{{"Text", "текст"}}}));
    QVERIFY(server.sendNotification(QStringLiteral("m"), 3, 2));
    QVERIFY(server.sendThemeChoices(QJsonArray{QJsonObject{{"Id", "t"}}}));
    QVERIFY(server.sendTtsState(0, {QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("b"), 1.25));
    QVERIFY(server.sendWorkDenied());
    QVERIFY(server.sendTtsSound(QByteArray("\x01\x02", 2)));

    QTRY_COMPARE(sound.count(), 1);
    QTRY_COMPARE(relay.count(), 6);
    QCOMPARE(mode.count(), 1);
    QCOMPARE(mode.at(0).at(0).value<RecognitionModeInfo>().info(), QStringLiteral("ok"));
    QCOMPARE(result.count(), 1);
    const TextResult text = result.at(0).at(0).value<TextResult>();
    QCOMPARE(text.text(), QStringLiteral("текст"));
    QCOMPARE(text.commandId(), QStringLiteral("cmd"));
    QCOMPARE(text.words().size(), 1);
    QCOMPARE(notified.at(0).at(0).value<UserNotification>().action(), NotificationActionStopRecognition);
    QCOMPARE(themes.at(0).at(0).value<ServerThemesInfo>().themeInfos().size(), 1);
    QCOMPARE(tts.at(0).at(0).value<TtsStateInfo>().selectedVoice().name(), QStringLiteral("b"));
    QCOMPARE(denied.count(), 1);
    QCOMPARE(sound.at(0).at(0).toByteArray(), QByteArray("\x01\x02", 2));
}

void TestWebSocketClient::untrustedFramesKeepTheLinkUp()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QVERIFY(connectTo(*client, server));
    QVERIFY(server.waitForClient());
    QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
    QSignalSpy relay(client->messageProcessor(), &DataMessageProcessor::textMessageReceived);
    QSignalSpy result(client->messageProcessor(), &DataMessageProcessor::resultReceived);

    const QString huge = QStringLiteral("{\"MessageType\":3,\"Data\":{\"Text\":\"") + QString(500 * 1024, QLatin1Char('z'));
    const QStringList garbage{QStringLiteral("not json"), QStringLiteral("[1,2]"), QStringLiteral(R"({"MessageType":"3"})"),
                              QStringLiteral(R"({"MessageType":999,"Data":{}})"), huge, QString()};
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^DataMessageProcessor: dropped"));
    for (int i = 1; i < garbage.size(); ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^DataMessageProcessor: dropped"));
    for (const QString& frame : garbage)
        QVERIFY(server.sendRaw(frame));
    QVERIFY(server.sendResult(QString(300 * 1024, QLatin1Char('y')), true));

    QTRY_COMPARE(result.count(), 1);
    QCOMPARE(result.at(0).at(0).value<TextResult>().text().size(), 300 * 1024);
    QCOMPARE(relay.count(), garbage.size() + 1);
    QCOMPARE(relay.at(4).at(0).toString(), huge);
    QCOMPARE(disconnected.count(), 0);
    QCOMPARE(client->socket()->state(), QAbstractSocket::ConnectedState);
}

void TestWebSocketClient::secondOpenWhileConnectingIsDropped()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QSignalSpy connected(client.get(), &WebSocketConnection::connected);
    emit client->open(server.host(), server.port(), false);
    emit client->open(server.host(), server.port(), false);
    QVERIFY(connected.wait(5000));
    emit client->open(server.host(), server.port(), false);
    QTest::qWait(100);
    QCOMPARE(server.connectionCount(), 1);
    QCOMPARE(connected.count(), 1);
}

void TestWebSocketClient::hangingHandshakeIsClosedByTheTimer()
{
    // Accepts TCP, never answers the upgrade.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    QList<QTcpSocket*> accepted;
    connect(&silent, &QTcpServer::newConnection, this, [&] { accepted.append(silent.nextPendingConnection()); });

    auto client = makeClient(150);
    QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
    QElapsedTimer timer;
    timer.start();
    emit client->open(QStringLiteral("127.0.0.1"), silent.serverPort(), false);
    QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty(), 5000);
    QVERIFY(timer.elapsed() >= 100);
    QTRY_COMPARE(client->socket()->state(), QAbstractSocket::UnconnectedState);

    // The link can be opened again afterwards.
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    QVERIFY(connectTo(*client, server));
    qDeleteAll(accepted);
}

void TestWebSocketClient::pingAndPong()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QVERIFY(connectTo(*client, server));
    QVERIFY(!client->pongReceived());
    client->onPing();
    QVERIFY(!client->pongReceived());
    QTRY_VERIFY(client->pongReceived());
    client->onPing();
    QVERIFY(!client->pongReceived());
    QTRY_VERIFY(client->pongReceived());
}

void TestWebSocketClient::noProxyWhenSwitchedOff()
{
    const QNetworkProxy systemWide(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9);
    QNetworkProxy::setApplicationProxy(systemWide);
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    const bool ok = connectTo(*client, server);
    QNetworkProxy::setApplicationProxy(QNetworkProxy());
    QVERIFY(ok);
    QCOMPARE(client->socket()->proxy().type(), QNetworkProxy::NoProxy);
}

void TestWebSocketClient::closeFromTheClient()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    auto client = makeClient();
    QVERIFY(connectTo(*client, server));
    QVERIFY(server.waitForClient());
    QSignalSpy serverSaw(&server, &FakeRecognitionServer::clientDisconnected);
    QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
    emit client->close();
    QTRY_COMPARE(disconnected.count(), 1);
    QTRY_COMPARE(serverSaw.count(), 1);
    QCOMPARE(client->socket()->closeCode(), QWebSocketProtocol::CloseCodeNormal);
}

void TestWebSocketClient::worksFromItsOwnThread()
{
    FakeRecognitionServer server;
    QVERIFY(server.listen());
    QThread worker;
    worker.start();
    auto* client = new WebSocketClient(nullptr, 3000, new CookiesSource());
    client->moveToThread(&worker);

    // Listeners in this thread get queued copies of the records.
    QList<TextResult> results;
    QList<UserNotification> notifications;
    bool connected = false;
    connect(client, &WebSocketConnection::connected, this, [&] { connected = true; });
    connect(client->messageProcessor(), &DataMessageProcessor::resultReceived, this,
            [&](const TextResult& result) { results.append(result); });
    connect(client->messageProcessor(), &DataMessageProcessor::userNotified, this,
            [&](const UserNotification& notification) { notifications.append(notification); });

    emit client->open(server.host(), server.port(), false);
    QTRY_VERIFY(connected);
    QVERIFY(server.waitForClient());
    QVERIFY(server.sendResult(QStringLiteral("из потока"), true));
    QVERIFY(server.sendNotification(QStringLiteral("n"), 1, 0));
    QTRY_COMPARE(results.size(), 1);
    QTRY_COMPARE(notifications.size(), 1);
    QCOMPARE(results.at(0).text(), QStringLiteral("из потока"));

    client->sendObject(1, QJsonValue());
    client->sendDataBytes(QByteArray("pcm"));
    QVERIFY(server.waitForMessages(1));
    QVERIFY(server.waitForBinaryMessages(1));
    QCOMPARE(server.binaryMessages().at(0), QByteArray("pcm"));

    QMetaObject::invokeMethod(client, [client] { delete client; }, Qt::BlockingQueuedConnection);
    worker.quit();
    QVERIFY(worker.wait(5000));
}

void TestWebSocketClient::connectionWrapsAnAcceptedSocket()
{
    QWebSocketServer local(QStringLiteral("local"), QWebSocketServer::NonSecureMode);
    QVERIFY(local.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    QWebSocket form;
    QStringList received;
    connect(&form, &QWebSocket::textMessageReceived, this, [&](const QString& text) { received.append(text); });
    form.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(local.serverPort())));
    QTRY_VERIFY(local.hasPendingConnections());

    QWebSocket* accepted = local.nextPendingConnection();
    QPointer<QWebSocket> watch(accepted);
    auto session = std::make_unique<WebSocketConnection>(nullptr, accepted);
    QCOMPARE(session->socket(), accepted);
    QCOMPARE(accepted->parent(), session.get());
    session->sendObject(115, QJsonObject{{"a", 1}});
    QTRY_COMPARE(received, QStringList{QStringLiteral(R"({"Data":{"a":1},"MessageType":115})")});

    QSignalSpy formClosed(&form, &QWebSocket::disconnected);
    emit session->close();
    QTRY_COMPARE(formClosed.count(), 1);
    session.reset();
    QTRY_VERIFY(watch.isNull());
}

void TestWebSocketClient::strictTlsRefusesSelfSignedCertificate()
{
    SelfSignedCertificate certificate;
    QVERIFY2(certificate.isValid(), qPrintable(certificate.error()));
    setVerification(QStringLiteral("Strict"));
    FakeRecognitionServer server;
    QVERIFY(server.listenSecure(certificate.serverConfiguration()));
    auto client = makeClient();
    QSignalSpy connected(client.get(), &WebSocketConnection::connected);
    QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
    QSignalSpy sslErrors(client->socket(), &QWebSocket::sslErrors);
    emit client->open(server.host(), server.port(), true);
    QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty(), 5000);
    QCOMPARE(connected.count(), 0);
    QVERIFY(sslErrors.count() > 0);
    QCOMPARE(server.connectionCount(), 0);
}

void TestWebSocketClient::insecureTlsAcceptsSelfSignedCertificate()
{
    SelfSignedCertificate certificate;
    QVERIFY2(certificate.isValid(), qPrintable(certificate.error()));
    for (const QString& mode : {QStringLiteral("Insecure"), QStringLiteral("no such mode")}) {
        setVerification(mode);
        FakeRecognitionServer server;
        QVERIFY(server.listenSecure(certificate.serverConfiguration()));
        auto client = makeClient();
        QVERIFY2(connectTo(*client, server, true), qPrintable(mode));
        client->sendObject(13, true);
        QVERIFY(server.waitForMessages(1));
        QCOMPARE(server.textMessages().at(0).raw, QStringLiteral(R"({"Data":true,"MessageType":13})"));
    }
}

QTEST_GUILESS_MAIN(TestWebSocketClient)
#include "TestWebSocketClient.moc"
