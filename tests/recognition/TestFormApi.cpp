#include "AsrManager.h"
#include "CookiesSource.h"
#include "DataMessageProcessor.h"
#include "FormApiSettings.h"
#include "FormMetadata.h"
#include "LaunchSettings.h"
#include "MessageTypeMapper.h"
#include "ResultManager.h"
#include "SentFrames.h"
#include "TargetModeInfo.h"
#include "TestHome.h"
#include "WebSocketClient.h"
#include "WebSocketProxyServer.h"
#include "WebSocketProxyServerSession.h"

#include <QtTest>

#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

#include <memory>

namespace {
QJsonValue parsed(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object().value(QStringLiteral("v"));
}

// The form server as the worker builds it, over a recognition client that is
// never connected: what it would send to the server is recorded.
struct FormApi
{
    FormApi() { emit server.start(0); }

    // A form page's socket, connected (or refused) when this returns.
    std::unique_ptr<QWebSocket> open(const QByteArray& cookie = {}, const QString& origin = {})
    {
        auto form = std::make_unique<QWebSocket>(origin);
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(server.serverPort())));
        if (!cookie.isEmpty())
            request.setRawHeader("Cookie", cookie);
        QSignalSpy done(form.get(), &QWebSocket::disconnected);
        QSignalSpy connected(form.get(), &QWebSocket::connected);
        form->open(request);
        (void)QTest::qWaitFor([&] { return !connected.isEmpty() || !done.isEmpty(); }, TestHome::scaled(5000));
        // The server side may still be finishing the handshake.
        (void)QTest::qWaitFor([&] { return connected.isEmpty() || isCurrent(form.get()); }, TestHome::scaled(5000));
        return form;
    }
    bool isCurrent(QWebSocket* form) const
    {
        const WebSocketProxyServerSession* session = server.currentSession();
        return session && session->socket()->peerPort() == form->localPort();
    }
    // The server frames that reach the form, up to and including a marker frame.
    QStringList relay(const QString& serverFrame, QWebSocket* form)
    {
        QStringList received;
        QObject::connect(form, &QWebSocket::textMessageReceived, form, [&](const QString& t) { received << t; });
        emit client.messageProcessor()->textMessageReceived(serverFrame);
        emit client.messageProcessor()->textMessageReceived(R"({"MessageType":210,"Data":"marker"})");
        (void)QTest::qWaitFor([&] { return received.contains(R"({"Data":"marker","MessageType":10})"); },
                              TestHome::scaled(5000));
        form->disconnect(form);
        return received;
    }

    WebSocketClient client;
    SentFrames sent{&client};
    AsrManager asr{&client};
    ResultManager results{&client, &asr, nullptr, nullptr};
    WebSocketProxyServer server{&client, &results, &asr};
};
} // namespace

// The local form-API server and its proxy session, with a real WebSocket as the form.
class TestFormApi : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void codeMapping_data();
    void codeMapping();
    void formToServer_data();
    void formToServer();
    void serverToForm_data();
    void serverToForm();
    void misCookies();
    void sessionEndsOnce_data();
    void sessionEndsOnce();
    void originAllowList_data();
    void originAllowList();
    void listensOnLoopbackAndReportsTakenPortOnce();
    void upgradedSocketMatchedByAddressAndPort();
    void maskedFramesOfEveryLengthPass();
    void startAsAFormOpensIsKept();
};

void TestFormApi::init()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
}

// Edges of the renumbering; the relayed frames below cover the codes inside.
void TestFormApi::codeMapping_data()
{
    QTest::addColumn<bool>("fromForm");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    const QList<QList<int>> rows{{1, 0, -1},    {1, 19, -1},  {1, 800000, -1}, {1, INT_MIN, -1}, {0, 199, -1},
                                 {0, 212, -1}, {0, 218, 18}, {0, 219, -1},     {0, 800001, -1}};
    for (const QList<int>& row : rows)
        QTest::addRow("%s %d", row[0] ? "form" : "server", row[1]) << bool(row[0]) << row[1] << row[2];
}

void TestFormApi::codeMapping()
{
    QFETCH(bool, fromForm);
    QFETCH(int, in);
    QFETCH(int, out);
    QCOMPARE(fromForm ? MessageTypeMapper::toAsr(MessageFromClientCode(in))
                      : MessageTypeMapper::toServerMessage(MessageType(in)),
             out);
}

void TestFormApi::formToServer_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("voiceActivation");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("element");
    QTest::addColumn<QString>("theme");
    const QString form = R"({"MessageType":6,"Data":{"Key":"f1","Mode":0}})";
    QTest::newRow("12 dropped") << "" << R"({"MessageType":12,"Data":{}})" << false << -1 << "" << -1 << "" << "";
    QTest::newRow("not JSON dropped") << "" << "hello" << false << -1 << "" << -1 << "" << "";
    QTest::newRow("no Data is null") << "" << R"({"MessageType":1})" << false << 101 << "null" << -1 << "" << "";
    QTest::newRow("7 resets") << form << R"({"MessageType":7})" << false << 107 << "0" << 0 << "" << "";
    QTest::newRow("7 voice activation") << "" << R"({"MessageType":7,"Data":"x"})" << true << 107 << "1" << 1 << "" << "";
    QTest::newRow("6 form") << "" << form << false << 106 << R"({"Key":"f1","Mode":0})" << 3 << "" << "";
    QTest::newRow("6 wizard") << "" << R"({"MessageType":6,"Data":{"Key":"w","Mode":1}})" << false << 106
                              << R"({"Key":"w","Mode":1})" << 4 << "" << "";
    QTest::newRow("5 element of a form") << form << R"({"MessageType":5,"Data":"el-7"})" << false << 105 << R"("el-7")"
                                         << 3 << "el-7" << "";
    QTest::newRow("5 without a form") << "" << R"({"MessageType":5,"Data":"el-7"})" << false << 105 << R"("el-7")"
                                      << 0 << "" << "";
    QTest::newRow("9 theme") << form << R"({"MessageType":9,"Data":{"Id":"t-9","Name":"x"}})" << false << 109
                             << R"({"Id":"t-9","Name":"x"})" << 3 << "" << "t-9";
    QTest::newRow("18 relayed") << "" << R"({"MessageType":18,"Data":[1,"a"]})" << false << 118 << R"([1,"a"])" << -1
                                << "" << "";
}

void TestFormApi::formToServer()
{
    QFETCH(QString, setup);
    QFETCH(QString, frame);
    QFETCH(bool, voiceActivation);
    QFETCH(int, type);
    QFETCH(QString, data);
    QFETCH(int, mode);
    QFETCH(QString, element);
    QFETCH(QString, theme);
    LaunchSettings launch;
    launch.VoiceActivationEnabled = voiceActivation;
    launch.sync();
    FormApi api;
    auto form = api.open();
    if (!setup.isEmpty())
        form->sendTextMessage(setup);
    form->sendTextMessage(frame);
    form->sendTextMessage(R"({"MessageType":11,"Data":"marker"})");
    QTRY_VERIFY_WITH_TIMEOUT(api.sent.types().contains(111), TestHome::scaled(5000));

    QList<int> expected{115, 1};
    if (!setup.isEmpty())
        expected << 106;
    if (type != -1)
        expected << type;
    QCOMPARE(api.sent.types(), expected << 111);
    if (type != -1)
        QCOMPARE(api.sent.dataOfType(type).constLast(), parsed(QStringLiteral(R"({"v":%1})").arg(data)));
    TargetModeInfo* target = api.asr.getTargetModeInfo();
    if (mode != -1)
        QCOMPARE(int(target->getTargetMode()), mode);
    QCOMPARE(target->formElement().value_or(QString()), element);
    QCOMPARE(target->themeId(), theme);
}

void TestFormApi::serverToForm_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("element"); // of the form in dictation
    QTest::newRow("3 dropped") << R"({"MessageType":3,"Data":{"Text":"a"}})" << true << "" << "";
    QTest::newRow("not JSON dropped") << "[1]" << true << "" << "";
    QTest::newRow("800000 as it is") << R"({"MessageType":800000,"Data":{"a":1}})" << true
                                     << R"({"Data":{"a":1},"MessageType":800000})" << "";
    QTest::newRow("200 while enabled") << R"({"MessageType":200,"Data":"n"})" << true << R"({"Data":"n","MessageType":0})" << "";
    QTest::newRow("200 while disabled") << R"({"MessageType":200,"Data":"n"})" << false << "" << "";
    QTest::newRow("number value kept") << R"({"MessageType":201,"Data":{"Type":7,"Value":36.6}})" << true
                                       << R"({"Data":{"Type":7,"Value":36.6},"MessageType":1})" << "";
    QTest::newRow("arrays of elements") << R"({"MessageType":206,"Data":[[{"Value":"да"},{"Type":1,"Value":"да"}],[]]})"
                                        << true << R"({"Data":[[{"Value":"Да"},{"Type":1,"Value":"да"}],[]],"MessageType":6})" << "";
    QTest::newRow("202 focuses an element") << R"({"MessageType":202,"Data":{"Key":"el-2"}})" << true
                                            << R"({"Data":{"Key":"el-2"},"MessageType":2})" << "el-2";
}

void TestFormApi::serverToForm()
{
    QFETCH(QString, frame);
    QFETCH(bool, enabled);
    QFETCH(QString, expected);
    QFETCH(QString, element);
    FormApi api;
    api.asr.setEnabled(enabled);
    auto form = api.open();
    const RecognitionMode mode = RecognitionModeNamespace::TemplatedForm;
    const FormMetadata metadata(QJsonObject{{"Key", "f1"}});
    api.asr.getTargetModeInfo()->BackupTargetMode(&mode, &metadata, nullptr, QString());
    const QStringList received = api.relay(frame, form.get());
    QCOMPARE(received.size(), expected.isEmpty() ? 1 : 2);
    if (!expected.isEmpty())
        QCOMPARE(received.first(), expected);
    QCOMPARE(api.asr.getTargetModeInfo()->formElement().value_or(QString()), element);
}

void TestFormApi::misCookies()
{
    FormApi api;
    auto form = api.open("mis_type=abc; other=1; MIS_USER=" + QStringLiteral("Иванов").toUtf8() + "; MIS_Version=2.1");
    QVERIFY(api.server.currentSession());
    const MISInfo info = api.server.currentSession()->misInfo();
    QCOMPARE(info.typeId(), QStringLiteral("abc"));
    QCOMPARE(info.user(), QStringLiteral("Иванов"));
    QCOMPARE(info.version(), QStringLiteral("2.1"));
    QCOMPARE(api.sent.dataOfType(115).value(0), QJsonValue(info.toJson()));

    QByteArrayList cookies;
    for (const QNetworkCookie& cookie : api.client.getCookiesSource()->getCookies())
        cookies << cookie.name() + "=" + cookie.value();
    const int first = cookies.indexOf("MIS_TYPE=abc");
    QVERIFY2(first > 0, cookies.join(' ').constData());
    QCOMPARE(cookies.mid(first, 3), QByteArrayList({"MIS_TYPE=abc", "MIS_USER=" + info.user().toUtf8(), "MIS_VERSION=2.1"}));
    QCOMPARE(cookies.at(first + 3), QByteArray("REGION_CODE="));
}

void TestFormApi::sessionEndsOnce_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QList<int>>("types");
    // 1: recognition stopped when a form is accepted.
    QTest::newRow("disconnect") << "disconnect" << QList<int>{115, 1, 116};
    QTest::newRow("replacement") << "replacement" << QList<int>{115, 1, 116, 115, 1};
    QTest::newRow("stop") << "stop" << QList<int>{115, 1, 116};
}

void TestFormApi::sessionEndsOnce()
{
    QFETCH(QString, end);
    QFETCH(QList<int>, types);
    FormApi api;
    auto first = api.open("MIS_TYPE=a");
    QPointer<WebSocketProxyServerSession> session = api.server.currentSession();
    QVERIFY(session);
    std::unique_ptr<QWebSocket> second;
    if (end == "disconnect")
        first->close();
    else if (end == "replacement")
        second = api.open("MIS_TYPE=b");
    else
        emit api.server.stop();

    QTRY_COMPARE_WITH_TIMEOUT(first->state(), QAbstractSocket::UnconnectedState, TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!session, TestHome::scaled(5000));
    QCOMPARE(api.sent.types(), types);
    QCOMPARE(api.server.currentSession() != nullptr, end == "replacement");
    const QList<QNetworkCookie> cookies = api.client.getCookiesSource()->getCookies();
    const auto misType = std::find_if(cookies.begin(), cookies.end(), [](const QNetworkCookie& c) { return c.name() == "MIS_TYPE"; });
    QCOMPARE(misType->value(), QByteArray(end == "replacement" ? "b" : ""));
}

void TestFormApi::originAllowList_data()
{
    QTest::addColumn<QString>("allowed");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<bool>("accepted");
    const QString list = QStringLiteral("https://mis.example, http://127.0.0.1:8080");
    QTest::newRow("no list") << "" << "http://any.example" << true;
    QTest::newRow("listed in other case") << list << "HTTPS://MIS.example/" << true;
    QTest::newRow("other origin") << list << "http://evil.example" << false;
    QTest::newRow("other port") << list << "http://127.0.0.1:8081" << false;
    QTest::newRow("no origin") << list << "" << false;
}

void TestFormApi::originAllowList()
{
    QFETCH(QString, allowed);
    QFETCH(QString, origin);
    QFETCH(bool, accepted);
    FormApi api;
    auto current = api.open({}, QStringLiteral("https://mis.example"));
    WebSocketProxyServerSession* session = api.server.currentSession();
    QVERIFY(session);
    FormApiSettings settings;
    settings.AllowedOrigins = allowed;
    settings.sync();

    auto other = api.open({}, origin);
    QCOMPARE(other->state() == QAbstractSocket::ConnectedState, accepted);
    // A refused page never costs the current form its session.
    QCOMPARE(api.server.currentSession() == session, !accepted);
    QCOMPARE(api.sent.types().count(116), accepted ? 1 : 0);
}

void TestFormApi::listensOnLoopbackAndReportsTakenPortOnce()
{
    FormApi api;
    QCOMPARE(api.server.serverAddress(), QHostAddress(QHostAddress::LocalHost));
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost));
    QSignalSpy failures(&api.server, &WebSocketServer::listenFailed);
    for (int attempt = 0; attempt < 2; ++attempt) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot listen on .*:%1/").arg(holder.serverPort())));
        emit api.server.start(holder.serverPort());
    }
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.first().first().toInt(), int(holder.serverPort()));
    QCOMPARE(failures.first().last().toString(), QStringLiteral("порт %1 занят другой программой").arg(holder.serverPort()));
    QVERIFY(!api.server.isListening());

    const quint16 port = holder.serverPort();
    holder.close();
    emit api.server.start(port);
    QVERIFY(api.server.isListening());
    QCOMPARE(api.server.serverPort(), port);
    QVERIFY(api.server.sessions().isEmpty());
}

// Two local peers on different loopback addresses, connected from the same port.
void TestFormApi::upgradedSocketMatchedByAddressAndPort()
{
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    QTcpSocket other;
    QTcpSocket form;
    QVERIFY(other.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
    QVERIFY(form.bind(QHostAddress::LocalHost, other.localPort()));
    other.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    form.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    QTcpSocket* accepted[2] = {};
    for (QTcpSocket*& socket : accepted) {
        QTRY_VERIFY_WITH_TIMEOUT(listener.hasPendingConnections(), TestHome::scaled(5000));
        socket = listener.nextPendingConnection();
    }
    if (accepted[0]->peerAddress() == QHostAddress(QHostAddress::LocalHost))
        std::swap(accepted[0], accepted[1]);
    QCOMPARE(accepted[0]->peerPort(), accepted[1]->peerPort());

    QWebSocketServer upgrader(QStringLiteral("test"), QWebSocketServer::NonSecureMode);
    upgrader.handleConnection(accepted[1]);
    form.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(upgrader.hasPendingConnections(), TestHome::scaled(5000));
    const std::unique_ptr<QWebSocket> upgraded(upgrader.nextPendingConnection());
    QVERIFY(WebSocketServer::isUpgradeOf(*upgraded, *accepted[1]));
    QVERIFY(!WebSocketServer::isUpgradeOf(*upgraded, *accepted[0]));
}

// Where each frame head lies is followed to find one without a mask: a form's own frames never close it.
void TestFormApi::maskedFramesOfEveryLengthPass()
{
    FormApi api;
    auto form = api.open();
    const QList<int> lengths{0, 1, 125, 126, 127, 65535, 65536, 70000};
    for (int length : lengths) {
        form->sendTextMessage(QStringLiteral(R"({"MessageType":18,"Data":"%1"})").arg(QString(length, QLatin1Char('x'))));
        form->ping(QByteArray(length % 126, 'p'));
        // The next one in frames of 1000 bytes.
        form->setOutgoingFrameSize(form->outgoingFrameSize() == 1000 ? 512 * 1024 : 1000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(api.sent.types().count(118), lengths.size(), TestHome::scaled(10000));
    QCOMPARE(form->state(), QAbstractSocket::ConnectedState);
}

// The opening of a form stops what ran for an earlier target, not a start made
// once the form was there (a double Ctrl as the page loads, a test's start).
void TestFormApi::startAsAFormOpensIsKept()
{
    FormApi api;
    ConnectionStateInfo ready;
    ready.setState(14);
    api.asr.connectionStateChanged(ready);
    QCoreApplication::sendPostedEvents(&api.asr, QEvent::MetaCall);
    api.sent.clear();
    // Started as the session announces the form: after its socket was taken,
    // before the opening's queued stop runs.
    connect(&api.client, &WebSocketConnection::sendText, this, [&api](const QString& text) {
        if (text.contains(QLatin1String("\"MessageType\":115")))
            api.asr.startRecognition();
    }, Qt::DirectConnection);
    auto form = api.open();
    QVERIFY(api.isCurrent(form.get()));
    QCoreApplication::sendPostedEvents(&api.asr, QEvent::MetaCall);
    QCOMPARE(api.sent.types(), (QList<int>{115, 1}));
    QVERIFY(api.sent.dataOfType(1).value(0).toObject().value("Type").isNull()); // the start, not a stop
}

QTEST_GUILESS_MAIN(TestFormApi)
#include "TestFormApi.moc"
