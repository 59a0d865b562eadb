#include "AcceleratedClock.h"
#include "CancellationCondition.h"
#include "ClientInfoSettings.h"
#include "ConnectionHeartbeat.h"
#include "ConnectionHelper.h"
#include "CookiesSource.h"
#include "DataMessageProcessor.h"
#include "FakeHttpServer.h"
#include "FakeRecognitionServer.h"
#include "FloodingRelay.h"
#include "ProfileFile.h"
#include "RecognitionModeCommand.h"
#include "ResidentMemory.h"
#include "SelfSignedCertificate.h"
#include "SslSettings.h"
#include "SubService.h"
#include "TestHome.h"
#include "TtsParams.h"
#include "UserInfo.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QDir>
#include <QJsonArray>
#include <QSemaphore>
#include <QSettings>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <stdexcept>

Q_DECLARE_METATYPE(QList<QNetworkProxy>)

namespace {
std::unique_ptr<WebSocketClient> makeClient(int connectTimeoutMs = 3000)
{
    return std::make_unique<WebSocketClient>(nullptr, connectTimeoutMs, new CookiesSource());
}

// Listens on plain ws:// first unless the server already listens; through a
// relay on `viaPort` when given.
bool connectTo(WebSocketClient& client, FakeRecognitionServer& server, bool useTls = false, quint16 viaPort = 0)
{
    if (server.port() == 0 && !server.listen())
        return false;
    QSignalSpy connected(&client, &WebSocketConnection::connected);
    QSignalSpy disconnected(&client, &WebSocketConnection::disconnected);
    emit client.open(server.host(), viaPort != 0 ? viaPort : server.port(), useTls);
    return QTest::qWaitFor([&] { return !connected.isEmpty() || !disconnected.isEmpty(); }, TestHome::scaled(5000))
        && !connected.isEmpty() && server.waitForClient();
}

QByteArray valueOf(const QList<QNetworkCookie>& cookies, const QByteArray& name)
{
    for (const QNetworkCookie& cookie : cookies) {
        if (cookie.name() == name)
            return cookie.value();
    }
    return "<absent>";
}

const QStringList identityNames{"CLIENT_APP_VERSION", "CLIENT_APP_NAME", "DESKTOP_ID", "ENVIRONMENT",
                                "ACCOUNT", "HOSTNAME", "USER_DOMAIN", "USER_NAME"};
const QStringList profileNames{"REGION_CODE", "ORG_FULL_NAME", "ORG_PSRN", "ORG_OID", "ROOM", "USER",
                               "USER_SPEC", "USER_IIAN", "TIMEZONE", "MIS_TYPE", "MIS_USER", "MIS_ID",
                               "MIS_VERSION"};
} // namespace

class TestServerLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::useApplicationIdentity();
        qputenv("USER", "dictator");
    }

    void init()
    {
        TestHome::wipe();
        FakeHttpServer::bypassSystemProxy();
    }

    void handshakeCookies()
    {
        QDir().mkpath(ProfileFile::folder());
        {
            QSettings organisation(QDir(ProfileFile::folder()).filePath("Organisation.ini"), QSettings::IniFormat);
            organisation.setIniCodec("UTF-8");
            organisation.setValue("Organisation/Room", "1.2 (test){x}[y]~_-");
            organisation.setValue("Organisation/OrganisationOid", "a;b=c,\"d\"");
            organisation.setValue("Organisation/OrganisationFullName", QStringLiteral("Я"));
        }
        // The link never goes through a proxy when "UseProxy" is off.
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9));
        FakeRecognitionServer server;
        auto client = makeClient();
        client->getCookiesSource()->setAdditionalCookies({QNetworkCookie("MIS_TYPE", "form")});
        const bool connected = connectTo(*client, server);
        QNetworkProxy::setApplicationProxy(QNetworkProxy());
        QVERIFY(connected);
        QCOMPARE(client->socket()->proxy().type(), QNetworkProxy::NoProxy);

        QCOMPARE(server.lastRequest().url().path(), QStringLiteral("/"));
        QCOMPARE(server.lastCookieNames(), identityNames + QStringList{"MIS_TYPE"} + profileNames);
        const QByteArray header = server.lastRequest().rawHeader("Cookie");
        QVERIFY2(header.startsWith("CLIENT_APP_VERSION=7.2.400; CLIENT_APP_NAME=Quillora Client (Linux Qt); DESKTOP_ID="),
                 header.constData());
        QCOMPARE(server.cookieValue("ROOM"), QByteArray("1.2 (test){x}[y]~_-"));
        QCOMPARE(server.cookieValue("ORG_OID"), QByteArray("a%3Bb%3Dc%2C%22d%22"));
        QCOMPARE(server.cookieValue("ORG_FULL_NAME"), QByteArray("%D0%AF"));
        QCOMPARE(server.cookieValue("ACCOUNT"), QByteArray("dictator"));
        QCOMPARE(server.cookieValue("HOSTNAME"), CookiesSource::encodeValue(UserInfo::instance()->hostName()));
        QCOMPARE(server.cookieValue("MIS_TYPE"), QByteArray("form"));
        QCOMPARE(server.cookieValue("USER"), QByteArray(""));
        // A first run stores a new upper-case id, also sent as the form user.
        const QByteArray desktopId = server.cookieValue("DESKTOP_ID");
        QCOMPARE(desktopId.size(), 36);
        QCOMPARE(desktopId, desktopId.toUpper());
        QCOMPARE(server.cookieValue("MIS_USER"), desktopId);
        QCOMPARE(ClientInfoSettings().getOrCreateDesktopId().toLatin1(), desktopId);
    }

    void slowIdentityDoesNotHoldUpTheHandshake()
    {
        QSemaphore release;
        CookiesSource source([&release]() -> const UserInfo* {
            release.acquire();
            return UserInfo::instance();
        }, 200);
        QElapsedTimer timer;
        timer.start();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("identity collection did not finish"));
        const QList<QNetworkCookie> cookies = source.getCookies();
        QVERIFY(timer.elapsed() < TestHome::scaled(5000));
        QCOMPARE(cookies.size(), identityNames.size() + profileNames.size());
        QCOMPARE(valueOf(cookies, "HOSTNAME"), QByteArray());

        release.release();
        QTRY_COMPARE_WITH_TIMEOUT(valueOf(source.getCookies(), "HOSTNAME"), CookiesSource::encodeValue(UserInfo::instance()->hostName()),
                                  TestHome::scaled(5000));
    }

    void additionalCookiesUnderConcurrentUse()
    {
        CookiesSource source;
        source.setAdditionalCookies({QNetworkCookie("MIS_TYPE", "0")});
        std::atomic<bool> stop{false};
        std::unique_ptr<QThread> setter(QThread::create([&] {
            for (int round = 0; !stop.load(); ++round) {
                QList<QNetworkCookie> cookies;
                for (int i = 0; i <= round % 5; ++i)
                    cookies.append(QNetworkCookie("MIS_TYPE", QByteArray::number(i)));
                source.setAdditionalCookies(cookies);
            }
        }));
        setter->start();
        QList<int> counts;
        for (int i = 0; i < 200; ++i)
            counts.append(source.getCookies().size());
        stop = true;
        setter->wait();
        for (int count : counts)
            QVERIFY2(count >= 22 && count <= 26, qPrintable(QString::number(count)));
    }

    void proxyChoice_data()
    {
        QTest::addColumn<QList<QNetworkProxy>>("offered");
        QTest::addColumn<bool>("queryThrows");
        QTest::addColumn<int>("expectedType");
        QTest::addColumn<QString>("expectedHost");
        using P = QNetworkProxy;
        QTest::newRow("nothing offered") << QList<P>{} << false << int(P::DefaultProxy) << "";
        QTest::newRow("no proxy") << QList<P>{P(P::NoProxy)} << false << int(P::DefaultProxy) << "";
        QTest::newRow("socks then http") << QList<P>{P(P::Socks5Proxy, "s", 1080), P(P::HttpProxy, "h", 3128)} << false
                                         << int(P::HttpProxy) << "h";
        QTest::newRow("first of two http") << QList<P>{P(P::HttpCachingProxy, "a", 1), P(P::HttpProxy, "b", 2)} << false
                                           << int(P::HttpCachingProxy) << "a";
        QTest::newRow("query fails") << QList<P>{} << true << int(P::DefaultProxy) << "";
    }

    void proxyChoice()
    {
        QFETCH(QList<QNetworkProxy>, offered);
        QFETCH(bool, queryThrows);
        if (queryThrows)
            QTest::ignoreMessage(QtWarningMsg, "Get proxy error: broken configuration");
        const QUrl url(QStringLiteral("wss://10.0.0.5:34000/"));
        QNetworkProxyQuery asked;
        const QNetworkProxy chosen = ConnectionHelper::getProxy(url, [&](const QNetworkProxyQuery& query) {
            asked = query;
            if (queryThrows)
                throw std::runtime_error("broken configuration");
            return offered;
        });
        QCOMPARE(asked.url(), url);
        QTEST(int(chosen.type()), "expectedType");
        QTEST(chosen.hostName(), "expectedHost");
    }

    void sentFrames()
    {
        FakeRecognitionServer server;
        auto client = makeClient();
        QVERIFY(connectTo(*client, server));

        RecognitionModeCommand command;
        TtsParams tts;
        VoiceInfo voice;
        voice.setName(QStringLiteral("v"));
        tts.setSelectedVoice(voice);
        tts.setSpeed(1.5);
        client->sendData(1, &command);
        client->sendData(23, &tts);
        client->sendObject(1, QJsonValue());
        client->sendObject(27, QJsonArray{QStringLiteral("слово")});
        client->sendObject(106, QStringLiteral("text"));
        client->sendJson(120, 7);
        const QStringList expected{
            R"({"Data":{"Parameters":{},"Type":null},"MessageType":1})",
            R"({"Data":{"SelectedVoice":{"Name":"v"},"speed":1.5},"MessageType":23})",
            R"({"Data":null,"MessageType":1})",
            R"({"Data":["слово"],"MessageType":27})",
            R"({"Data":"text","MessageType":106})",
            R"({"Data":7,"MessageType":120})"};
        QVERIFY(server.waitForMessages(expected.size()));
        QCOMPARE(server.envelopeErrors(), QStringList());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(server.textMessages().at(i).raw, expected.at(i));

        // Binary frames arrive byte for byte, in order.
        QByteArray large;
        for (int i = 0; i < 1 << 18; ++i)
            large.append(reinterpret_cast<const char*>(&i), sizeof i);
        for (const QByteArray& bytes : {large, QByteArray("\0\xff", 2), QByteArray()})
            client->sendDataBytes(bytes);
        QVERIFY(server.waitForBinaryMessages(3));
        QCOMPARE(server.binaryMessages(), (QList<QByteArray>{large, QByteArray("\0\xff", 2), QByteArray()}));

        // The heartbeat's ping is answered by the server.
        client->onPing();
        QVERIFY(!client->pongReceived());
        QTRY_VERIFY_WITH_TIMEOUT(client->pongReceived(), TestHome::scaled(5000));
    }

    void incomingFrames()
    {
        FakeRecognitionServer server;
        auto client = makeClient();
        QVERIFY(connectTo(*client, server));
        DataMessageProcessor* processor = client->messageProcessor();
        QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
        QSignalSpy relay(processor, &DataMessageProcessor::textMessageReceived);
        QSignalSpy mode(processor, &DataMessageProcessor::modeChanged);
        QSignalSpy result(processor, &DataMessageProcessor::resultReceived);
        QSignalSpy notified(processor, &DataMessageProcessor::userNotified);
        QSignalSpy themes(processor, &DataMessageProcessor::themeChoicesReceived);
        QSignalSpy tts(processor, &DataMessageProcessor::ttsStateReceived);
        QSignalSpy denied(processor, &DataMessageProcessor::workDenied);
        QSignalSpy sound(processor, &DataMessageProcessor::ttsSound);

        QVERIFY(server.sendModeChanged(2, 1, QStringLiteral("ok")));
        QVERIFY(server.sendResult(QStringLiteral("текст"), true, QStringLiteral("cmd"), QJsonArray{QJsonObject{{"Text", "т"}}}));
        QVERIFY(server.sendNotification(QStringLiteral("m"), 3, 2));
        QVERIFY(server.sendMessage(10, QJsonObject{{"ThemeInfos", QJsonArray{QJsonObject{{"Id", "t"}}}}}));
        QVERIFY(server.sendMessage(22, QJsonObject{{"State", 0}, {"SelectedVoice", QJsonObject{{"Name", "b"}}}}));
        QVERIFY(server.sendMessage(26, QJsonObject()));
        QVERIFY(server.sendBinary(QByteArray("\x01\x02", 2)));
        // Untrusted frames are logged and dropped; the link stays up.
        const QString huge = QStringLiteral("{\"MessageType\":3,\"Data\":{\"Text\":\"") + QString(500 * 1024, QLatin1Char('z'));
        const QStringList garbage{"not json", "[1,2]", R"({"MessageType":"3","Data":{}})", R"({"MessageType":-3})",
                                  R"({"MessageType":999,"Data":{}})", R"({"Data":{"Text":"x"}})", huge, QString(),
                                  R"({"MessageType":2,"Data":{"Mode":2,"State":5}})", R"({"MessageType":2,"Data":{"Mode":7,"State":1}})"};
        for (const QString& frame : garbage) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^DataMessageProcessor: dropped"));
            QVERIFY(server.sendRaw(frame));
        }
        QVERIFY(server.sendRaw(R"({"MessageType":3.0,"Data":[1,2]})"));
        QVERIFY(server.sendResult(QString(300 * 1024, QLatin1Char('y')), true));

        QTRY_COMPARE_WITH_TIMEOUT(relay.count(), 6 + garbage.size() + 2, TestHome::scaled(5000));
        QTRY_COMPARE_WITH_TIMEOUT(sound.count(), 1, TestHome::scaled(5000));
        QCOMPARE((QList<int>{mode.count(), result.count(), notified.count(), themes.count(), tts.count(), denied.count()}),
                 (QList<int>{1, 3, 1, 1, 1, 1}));
        QCOMPARE(sound.at(0).at(0).toByteArray(), QByteArray("\x01\x02", 2));
        QCOMPARE(result.at(0).at(0).value<TextResult>().text(), QStringLiteral("текст"));
        QCOMPARE(result.at(2).at(0).value<TextResult>().text().size(), 300 * 1024);
        QCOMPARE(notified.at(0).at(0).value<UserNotification>().action(), NotificationActionStopRecognition);

        // A listener that throws loses its frame, not the link.
        connect(processor, &DataMessageProcessor::resultReceived, this, [](const TextResult& r) { r.toJson(); });
        QTest::ignoreMessage(QtWarningMsg, "DataMessageProcessor: error while handling a frame: Not implemented");
        QVERIFY(server.sendResult(QStringLiteral("x"), true));
        QTRY_COMPARE_WITH_TIMEOUT(result.count(), 4, TestHome::scaled(5000));
        QCOMPARE(disconnected.count(), 0);
        QCOMPARE(client->socket()->state(), QAbstractSocket::ConnectedState);
    }

    void oversizedMessageEndsTheLink()
    {
        FakeRecognitionServer server;
        auto client = makeClient();
        QVERIFY(connectTo(*client, server));
        QSignalSpy sound(client->messageProcessor(), &DataMessageProcessor::ttsSound);
        QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
        const int limit = int(WebSocketClient::MaxIncomingMessageBytes);

        QVERIFY(server.sendBinary(QByteArray(limit, 'x')));
        QTRY_COMPARE_WITH_TIMEOUT(sound.count(), 1, TestHome::scaled(20000));
        QCOMPARE(sound.at(0).at(0).toByteArray().size(), limit);
        QCOMPARE(disconnected.count(), 0);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Websocket closed: a message over the limit"));
        QVERIFY(server.sendBinary(QByteArray(limit + 1, 'x')));
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, TestHome::scaled(20000));
        QCOMPARE(sound.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(server.lastCloseCode(), int(QWebSocketProtocol::CloseCodeTooMuchData),
                                  TestHome::scaled(5000));
        QCOMPARE(client->failureCause(),
                 QStringLiteral("соединение с 127.0.0.1:%1 прервано: слишком большое сообщение (код 1009)").arg(server.port()));

        // The same client opens again with a clean cause.
        QVERIFY(connectTo(*client, server));
        QCOMPARE(client->failureCause(), QString());
    }

    // A server that makes the client answer more than it reads (Qt answers
    // pings by itself): the link is aborted at its bound on unsent bytes, the
    // memory comes back, and the client opens again.
    void floodedLinkIsCutOff_data()
    {
        QTest::addColumn<int>("clientBytes");
        QTest::newRow("pings, answers read") << int(FloodingRelay::ClientBytes::Dropped);
        QTest::newRow("pings, nothing read") << int(FloodingRelay::ClientBytes::Unread);
    }
    void floodedLinkIsCutOff()
    {
        QFETCH(int, clientBytes);
        FakeRecognitionServer server;
        QVERIFY(server.listen());
        FloodingRelay relay(server.port());
        auto client = makeClient();
        QVERIFY(connectTo(*client, server, false, relay.port()));
        QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
        const qint64 startMb = ResidentMemory::megabytes();
        qint64 mostMb = startMb;
        qint64 mostUnsent = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            mostUnsent = std::max(mostUnsent, client->socket()->bytesToWrite());
            mostMb = std::max(mostMb, ResidentMemory::megabytes());
        });
        probe.start(20);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Websocket aborted: more than \\d+ bytes wait to be sent"));
        const QByteArray ping = FloodingRelay::pingFrame(QByteArray(125, 'p'));
        relay.flood({[ping](qint64) { return ping; }, std::numeric_limits<qint64>::max(), 0, 0,
                     FloodingRelay::ClientBytes(clientBytes)});
        // Given up at once when the memory runs away.
        QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty() || mostMb > startMb + 100, TestHome::scaled(10000));
        relay.stop();
        probe.stop();
        QVERIFY2(!ResidentMemory::tells || mostMb <= startMb + 100, qPrintable(QStringLiteral("%1 -> %2 MB").arg(startMb).arg(mostMb)));
        QCOMPARE(disconnected.count(), 1);
        // What was read when the bound was passed is answered before the abort.
        QVERIFY2(mostUnsent <= WebSocketClient::MaxUnsentBytes + WebSocketClient::ReadBufferBytes * 11 / 10,
                 qPrintable(QString::number(mostUnsent)));
        QCOMPARE(client->failureCause(),
                 QStringLiteral("соединение с 127.0.0.1:%1 прервано: сервер не принимает ответы клиента").arg(relay.port()));
        if (ResidentMemory::tells)
            QTRY_VERIFY_WITH_TIMEOUT(ResidentMemory::megabytes() <= startMb + 16, TestHome::scaled(5000));
        QVERIFY(connectTo(*client, server, false, relay.port()));
        QCOMPARE(client->failureCause(), QString());
    }

    void socketGoesWithItsConnection()
    {
        FakeRecognitionServer server;
        auto client = makeClient();
        QVERIFY(connectTo(*client, server));
        const QPointer<QWebSocket> socket = client->socket();
        // No event loop turns here, as when the link's thread has already ended.
        client.reset();
        QVERIFY(socket.isNull());
        QTRY_VERIFY_WITH_TIMEOUT(!server.hasClient(), TestHome::scaled(5000));
    }

    void tlsVerification()
    {
        const SelfSignedCertificate certificate;
        QVERIFY2(certificate.isValid(), qPrintable(certificate.error()));
        // Any letter case; a name that means nothing is taken as the strict one.
        for (const QString& mode : QStringList{"Strict", "strict", "Insecure", "INSECURE", "no such mode"}) {
            SslSettings settings;
            settings.SslCertificateVerification = mode;
            settings.sync();
            FakeRecognitionServer server;
            QVERIFY(server.listenSecure(certificate.serverConfiguration()));
            auto client = makeClient();
            QSignalSpy disconnected(client.get(), &WebSocketConnection::disconnected);
            const bool connected = connectTo(*client, server, true);
            QCOMPARE(connected, mode.toLower() == "insecure");
            QCOMPARE(disconnected.isEmpty(), connected);
            QCOMPARE(server.connectionCount(), connected ? 1 : 0);
        }
    }

    // Whole seconds of the clock count, and the lag must exceed 10 of them.
    void heartbeatLimit_data()
    {
        QTest::addColumn<int>("startMs");
        QTest::addColumn<QList<int>>("stepsMs");
        QTest::addColumn<bool>("timesOut");
        QTest::newRow("fifth step a little late") << 300 << QList<int>{10305} << false;
        QTest::newRow("10.999 s") << 0 << QList<int>{10999} << false;
        QTest::newRow("11 s") << 0 << QList<int>{11000} << true;
        QTest::newRow("second boundaries") << 900 << QList<int>{11000} << true;
        QTest::newRow("clock set back") << 0 << QList<int>{-3600000, -3595000, -3589000} << true;
        QTest::newRow("clock set back, link alive") << 0 << QList<int>{-3600000, -3591000} << false;
    }
    void heartbeatLimit()
    {
        QFETCH(int, startMs);
        QFETCH(QList<int>, stepsMs);
        QFETCH(bool, timesOut);
        const QDateTime origin = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        QDateTime now = origin.addMSecs(startMs);
        ConnectionHeartbeat heartbeat(nullptr, 2000, [&now] { return now; });
        QSignalSpy timeouts(&heartbeat, &ConnectionHeartbeat::timeout);
        CancellationCondition condition;
        heartbeat.initialize();
        for (int step : stepsMs) {
            now = origin.addMSecs(step);
            heartbeat.repeatableWork(&condition);
        }
        QCOMPARE(timeouts.count(), timesOut ? 1 : 0);
        QCOMPARE(condition.isCanceled(), timesOut);
    }

    // Answers come late enough that a step sees the ping still open, but within the
    // limit: measured from the session's start alone, the link would drop.
    void heartbeat()
    {
        WebSocketClient client;
        // The 10 s limit takes 400 ms, longer under load: the answer below must come well within it.
        const double stretch = TestHome::scaled(1000) / 1000.0;
        auto* heartbeat = new ConnectionHeartbeat(&client, 20, acceleratedClock(25 / stretch));
        std::atomic<bool> answering{true};
        connect(heartbeat, &ConnectionHeartbeat::ping, &client, [&client, &answering] {
            QTimer::singleShot(150, &client, [&client, &answering] {
                if (answering)
                    QMetaObject::invokeMethod(&client, "onPong");
            });
        }, Qt::QueuedConnection);
        QSignalSpy pings(heartbeat, &ConnectionHeartbeat::ping);
        QSignalSpy timeouts(heartbeat, &ConnectionHeartbeat::timeout);
        SubService service(heartbeat, true);
        service.setPollInterval(10);
        service.Start();
        QTRY_VERIFY_WITH_TIMEOUT(pings.count() >= 6, TestHome::scaled(10000));
        QCOMPARE(timeouts.count(), 0);

        // The server falls silent: one time-out, and no pings while the last stays unanswered.
        answering = false;
        QElapsedTimer silence;
        silence.start();
        QTRY_COMPARE_WITH_TIMEOUT(timeouts.count(), 1, TestHome::scaled(5000));
        QVERIFY(silence.elapsed() >= 200);
        const int pingsAtTimeout = pings.count();
        service.Stop();
        QCOMPARE(timeouts.count(), 1);
        QCOMPARE(pings.count(), pingsAtTimeout);
    }
};

QTEST_GUILESS_MAIN(TestServerLink)
#include "TestServerLink.moc"
