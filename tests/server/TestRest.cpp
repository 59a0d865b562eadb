#include "BalancerConnectionSettings.h"
#include "BalancerReply.h"
#include "BalancerRestAccessPoint.h"
#include "CachedServerSettings.h"
#include "ClientConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "FakeHttpServer.h"
#include "RestAccessPoint.h"
#include "RestClient.h"
#include "RestJsonWorker.h"
#include "SelfSignedCertificate.h"
#include "ServerStatusStorage.h"
#include "ServersConnectionSettings.h"
#include "ServersConnectionSource.h"
#include "SslSettings.h"
#include "TestHome.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSemaphore>

#include <atomic>
#include <limits>

using namespace BalancerReply;
using Parameters = QMap<QString, QString>;

namespace {
QJsonObject errorObject(const QString& debugText)
{
    return {{"Error", QJsonObject{{"Text", RestJsonWorker::defaultErrorText()}, {"DebugText", debugText}}}, {"Data", ""}};
}

// The message of the Exception that the call throws, or "" when it throws none.
template<typename Call>
QString thrownMessage(Call call)
{
    try {
        call();
    } catch (const Exception& e) {
        return e.message();
    }
    return QString();
}

// Every message logged while installed, all levels.
QStringList loggedLines;
void keepLogLine(QtMsgType, const QMessageLogContext&, const QString& message)
{
    loggedLines.append(message);
}

QStringList ids(const QList<ServerInfoDTO>& servers)
{
    QStringList result;
    for (const ServerInfoDTO& server : servers)
        result << server.ServerId;
    return result;
}

QString nextId(ServersConnectionSource& source)
{
    const ServerInfoDTO* server = source.GetNextServer();
    return server ? server->ServerId : QStringLiteral("<none>");
}

QJsonObject storedCache()
{
    return QJsonDocument::fromJson(CachedServerSettings().ServersList.value().toString().toUtf8()).object();
}

void writeCache(const QJsonObject& list)
{
    CachedServerSettings settings;
    settings.ServersList = QString::fromUtf8(QJsonDocument(list).toJson());
    settings.sync();
}

void setVerification(const QString& mode)
{
    SslSettings settings;
    settings.SslCertificateVerification = mode;
    settings.sync();
}

const QJsonArray threeServers{server("a", 0.5), server("b", 0.1), server("c", 0.9)};
} // namespace

// The REST client, its access points and the balancer's server list, against loopback HTTP servers.
class TestRest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::useApplicationIdentity();
        TestHome::wipe();
        FakeHttpServer::bypassSystemProxy();
    }
    void init()
    {
        writeCache(QJsonObject());
        pointBalancerAt(1);
    }

    // The request as sent, and the reply's JSON shape (errors become an error object).
    void requestAndReply_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Parameters>("parameters");
        QTest::addColumn<QByteArray>("expectedTarget");
        QTest::addColumn<FakeHttpResponse>("response");
        QTest::addColumn<QJsonObject>("expected");
        QTest::newRow("GET, object") << int(GET) << " /Servers/x/ " << QByteArray() << Parameters() << QByteArray("/api/Servers/x")
                             << FakeHttpResponse::json("{\"Error\":null,\"Data\":[1]}")
                             << QJsonObject{{"Error", QJsonValue()}, {"Data", QJsonArray{1}}};
        QTest::newRow("POST, array") << int(POST) << "Servers" << QByteArray("{\"a\":1}")
                              << Parameters{{"requestIp", "10.0.0.1"}, {"clientId", "ID 1"}}
                              << QByteArray("/api/Servers?clientId=ID%201&requestIp=10.0.0.1")
                              << FakeHttpResponse::json("[1,2]") << QJsonObject{{"non_field_data", QJsonArray{1, 2}}};
        QTest::newRow("PUT, not json") << int(PUT) << "a%1b" << QByteArray("{}") << Parameters() << QByteArray("/api/a%1B")
                             << FakeHttpResponse::json("<html>")
                             << errorObject(QJsonParseError{0, QJsonParseError::IllegalValue}.errorString());
        QTest::newRow("GET, http error") << int(GET) << "x" << QByteArray() << Parameters() << QByteArray("/api/x")
                             << FakeHttpResponse::json("{\"Data\":1}", 404, "Not Found")
                             << errorObject("Код: 203\nОшибка: Error transferring %1 - server replied: Not Found");
    }
    void requestAndReply()
    {
        QFETCH(int, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(Parameters, parameters);
        QFETCH(FakeHttpResponse, response);
        QFETCH(QJsonObject, expected);
        FakeHttpServer server;
        server.setResponse(response);
        RestClient client;
        client.initialize(server.host(), server.port(), false);
        client.addHeaders({{"Cookie", "A=1;"}});
        const QString debugText = expected.value("Error").toObject().value("DebugText").toString();
        if (debugText.contains("%1"))
            expected = errorObject(debugText.arg(client.composeUrl(path)));
        loggedLines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepLogLine);
        const QJsonObject reply = client.execute(path, Method(method), body, parameters);
        qInstallMessageHandler(previous);
        QCOMPARE(reply, expected);
        // A reply may echo personal data: its body stays out of the log.
        QVERIFY2(!loggedLines.join('\n').contains("\"Data\""), qPrintable(loggedLines.join('\n')));
        const FakeHttpRequest request = server.requests().value(0);
        QVERIFY(QByteArray(QTest::currentDataTag()).startsWith(request.method + ","));
        QTEST(request.target, "expectedTarget");
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.header("Cookie"), QByteArray("A=1;"));
        QCOMPARE(request.body, body);
    }

    // The request is aborted in its worker's thread, and the caller waits a bounded time.
    void abortsSilentServerInTime()
    {
        FakeHttpServer server;
        FakeHttpResponse silent;
        silent.silent = true;
        server.setResponse(silent);
        RestClient client;
        QCOMPARE(client.timeout(), 7000);
        client.setTimeout(300);
        client.initialize(server.host(), server.port(), false);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(client.execute(QStringLiteral("Theme"), GET, QByteArray(), {}),
                 errorObject(QStringLiteral("Код: 5\nОшибка: Operation canceled")));
        const QByteArray raw = client.executeClearHttp(QStringLiteral("Theme"), GET, QByteArray(), {});
        QVERIFY2(timer.elapsed() < TestHome::scaled(3000), qPrintable(QString::number(timer.elapsed())));
        QVERIFY(raw.startsWith("HTTP/1.1 504 Gateway Timeout\r\nContent-Length: "));
        QVERIFY(raw.contains("Код: 5"));

        // A worker whose thread does not end in time deletes itself once it does.
        auto* worker = new RestJsonWorker(nullptr, {});
        QSemaphore hold;
        std::atomic<bool> destroyed{false};
        connect(worker, &QObject::destroyed, worker, [&destroyed] { destroyed = true; }, Qt::DirectConnection);
        QMetaObject::invokeMethod(worker, [&hold] { hold.acquire(); }, Qt::QueuedConnection);
        QVERIFY(!worker->waitForFinished(TestHome::scaled(50)));
        worker->abandon();
        QMetaObject::invokeMethod(worker, [worker] { worker->thread()->quit(); }, Qt::QueuedConnection);
        hold.release();
        QTRY_VERIFY_WITH_TIMEOUT(destroyed, TestHome::scaled(5000));
    }

    // The form's raw answer: the body as decoded bytes, its true length, no hop headers.
    void passesRawAnswerOn_data()
    {
        QTest::addColumn<FakeHttpResponse>("response");
        QTest::addColumn<QByteArray>("body");
        FakeHttpResponse binary;
        binary.status = 201;
        binary.reason = "Created";
        binary.headers = {{"X-Id", "7"}, {"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}};
        binary.body = QByteArray("  \x00\xff\xfe binary \n", 14);
        QTest::newRow("binary, repeated headers") << binary << binary.body;
        const QByteArray plain = "{\"Data\": \"" + QByteArray(3000, 'x') + "\"}";
        FakeHttpResponse chunked = FakeHttpResponse::json(QByteArray::number(1000, 16) + "\r\n" + plain.left(1000) + "\r\n"
                                                          + QByteArray::number(plain.size() - 1000, 16) + "\r\n"
                                                          + plain.mid(1000) + "\r\n0\r\n\r\n");
        chunked.addContentLength = false;
        chunked.headers += {{"Transfer-Encoding", "chunked"}};
        QTest::newRow("chunked") << chunked << plain;
        FakeHttpResponse deflated = FakeHttpResponse::json(qCompress(plain).mid(4));
        deflated.headers += {{"Content-Encoding", "deflate"}};
        QTest::newRow("deflate") << deflated << plain;
    }
    void passesRawAnswerOn()
    {
        QFETCH(FakeHttpResponse, response);
        QFETCH(QByteArray, body);
        FakeHttpServer server;
        server.setResponse(response);
        RestClient client;
        client.setApiPrefix(QStringLiteral("/"));
        client.initialize(server.host(), server.port(), false);
        // The browser's own length and coding headers must not reach the server.
        client.addHeaders({{"Accept-Encoding", "br"}, {"Content-Length", "999"}});
        const QByteArray answer = client.executeClearHttp(QStringLiteral("api/x"), POST, "127", {});
        const FakeHttpRequest request = server.requests().value(0);
        QCOMPARE(request.target, QByteArray("/api/x"));
        QCOMPARE(request.body, QByteArray("127"));
        QCOMPARE(request.header("Content-Length"), QByteArray("3"));

        const int end = answer.indexOf("\r\n\r\n");
        const QByteArray head = answer.left(end + 2);
        QCOMPARE(answer.mid(end + 4), body);
        QVERIFY(head.startsWith("HTTP/1.1 " + QByteArray::number(response.status) + " " + response.reason + "\r\n"));
        QVERIFY(head.contains("\nContent-Length:" + QByteArray::number(body.size()) + "\r\n"));
        for (const auto& header : response.headers) {
            if (header.first != "Transfer-Encoding" && header.first != "Content-Encoding")
                QVERIFY2(head.contains("\n" + header.first + ":" + header.second + "\r\n"), header.first.constData());
        }
        for (const QByteArray name : {"transfer-encoding", "content-encoding", "connection"})
            QVERIFY2(!head.toLower().contains("\n" + name + ":"), name.constData());
    }

    // A reply past the limit is cut short, whatever its framing, well before the time limit.
    void capsReplies_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::newRow("declared") << false;
        QTest::newRow("chunked") << true;
    }
    void capsReplies()
    {
        QFETCH(bool, chunked);
        FakeHttpServer server;
        FakeHttpResponse huge;
        huge.streamedSize = 1 << 30;
        huge.chunked = chunked;
        server.setResponse(huge);
        RestClient client;
        client.setTimeout(TestHome::scaled(30000));
        client.initialize(FakeHttpServer::host(), server.port(), false);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(StubRestWorker::tooLargeText() + ": aborted"));
        QCOMPARE(client.execute(QStringLiteral("Theme"), GET, QByteArray(), {}), errorObject(StubRestWorker::tooLargeText()));
        QTest::ignoreMessage(QtWarningMsg, qPrintable(StubRestWorker::tooLargeText() + ": aborted"));
        QVERIFY(client.executeClearHttp(QStringLiteral("Theme"), GET, QByteArray(), {}).startsWith("HTTP/1.1 502 Bad Gateway\r\n"));
    }

    void themesAndClaim()
    {
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json(R"({"Error":null,"Data":[{"Id":"a","Name":"Первая"},7,{"Id":"b","ThemeId":"c"}]})"));
        ClientConnectionSettings settings;
        settings.Ip = FakeHttpServer::host();
        settings.RestPort = int(server.port());
        settings.sync();
        RestAccessPoint point;
        const QList<ClientThemeInfo> themes = point.getThemes();
        QCOMPARE(themes.size(), 3);
        QCOMPARE(themes[0].name() + themes[1].id() + themes[2].themeId(), QStringLiteral("Перваяc"));
        QCOMPARE(server.requests().value(0).method + " " + server.requests().value(0).target, QByteArray("GET /api/Theme"));

        server.setResponse(FakeHttpResponse::json(R"({"Error":null,"Data":""})"));
        ClientClaim claim;
        claim.setOrganisationFullOgrn(QStringLiteral("psrn"));
        QVERIFY(point.sendClaim(claim));
        const FakeHttpRequest request = server.requests().last();
        QCOMPARE(request.method + " " + request.target, QByteArray("POST /api/Claim"));
        const QJsonObject sent = QJsonDocument::fromJson(request.body).object();
        QCOMPARE(sent.keys(), (QStringList{"Account", "ClientId", "Description", "Email", "HostName", "MicrophoneInfo",
                                           "OperatingSystem", "OrganisationFullName", "OrganisationOid", "OrganisationPsrn",
                                           "RegionCode", "Room", "ThemeName", "ThemeVersion", "UserName"}));
        QCOMPARE(sent.value("OrganisationPsrn").toString(), QStringLiteral("psrn"));
        QCOMPARE(sent.value("MicrophoneInfo").toObject().keys(), (QStringList{"MicDisplayName", "MicHwId", "MicLevel"}));

        server.setResponse(FakeHttpResponse::json(R"({"Error":{"Text":"t","DebugText":"d"}})"));
        QTest::ignoreMessage(QtWarningMsg, "Claim: t | d");
        QVERIFY(!point.sendClaim(claim));
        QTest::ignoreMessage(QtWarningMsg, "Theme: t | d");
        QCOMPARE(thrownMessage([&] { point.getThemes(); }), QStringLiteral("Не удалось получить список тем"));
    }


    void ordersServers_data()
    {
        QTest::addColumn<QString>("servers"); // id:load in the balancer's order
        QTest::addColumn<QString>("recommended");
        QTest::addColumn<QString>("expected");
        QTest::newRow("by load") << "a:0.5 b:0.1 c:0.9" << "" << "b a c";
        QTest::newRow("recommended first") << "a:0.5 b:0.1 c:0.9" << "c" << "c b a";
        QTest::newRow("ties keep balancer order") << "a:0.3 b:0.1 c:0.3 d:0.3" << "" << "b a c d";
        // A comparator that is not a strict weak ordering here breaks the sort.
        QTest::newRow("repeated recommended id") << "a:0.5 r:0.9 b:0.1 r:0.2" << "r" << "r r b a";
        QTest::newRow("nan last") << "n1:nan a:0.2 b:0.1 n2:nan" << "" << "b a n1 n2";
    }
    void ordersServers()
    {
        QFETCH(QString, servers);
        QFETCH(QString, recommended);
        QList<ServerInfoDTO> list;
        for (const QString& entry : servers.split(' ')) {
            ServerInfoDTO server(QJsonObject{{"ServerId", entry.section(':', 0, 0)}});
            server.EstimatedLoadLevel = entry.section(':', 1) == "nan" ? std::numeric_limits<float>::quiet_NaN()
                                                                       : entry.section(':', 1).toFloat();
            list.append(server);
        }
        ServerStatusStorage::sortServers(list, recommended);
        QTEST(ids(list).join(' '), "expected");
    }

    // Strict verification takes every call to HTTPS, whatever UseTls says.
    void strictCallsNeverGoPlain_data()
    {
        QTest::addColumn<QString>("verification");
        QTest::addColumn<bool>("answered");
        QTest::newRow("insecure") << "Insecure" << true;
        QTest::newRow("strict") << "Strict" << false;
    }
    void strictCallsNeverGoPlain()
    {
        QFETCH(QString, verification);
        QFETCH(bool, answered);
        FakeHttpServer plain;
        plain.setResponse(FakeHttpResponse::json(R"({"Error":null,"Data":[]})"));
        ClientConnectionSettings settings;
        settings.Ip = FakeHttpServer::host();
        settings.RestPort = int(plain.port());
        settings.UseTls = false;
        settings.sync();
        setVerification(verification);
        const QString error = thrownMessage([] { RestAccessPoint().getThemes(); });
        setVerification("Insecure");
        QCOMPARE(error.isEmpty(), answered);
        QCOMPARE(plain.requestCount(), answered ? 1 : 0);
        QCOMPARE(plain.rejectedCount(), answered ? 0 : 1);
    }

    // A failed request falls back to the cache, but only of the balancer that wrote it.
    void balancerFails_data()
    {
        QTest::addColumn<FakeHttpResponse>("reply");
        QTest::addColumn<QString>("cachedAuthority");
        QTest::addColumn<bool>("fromBalancer");
        QTest::addColumn<QString>("expected");
        FakeHttpResponse down; // status 0: the balancer stops listening
        down.status = 0;
        QTest::newRow("down, same address") << down << "127.0.0.1:%1" << false << "bac";
        QTest::newRow("down, no authority") << down << "" << false << "bac";
        QTest::newRow("down, changed address") << down << "127.0.0.2:%1" << false << "";
        QTest::newRow("html page") << FakeHttpResponse::json("<html>502</html>") << "127.0.0.1:%1" << false << "bac";
        QTest::newRow("server error") << FakeHttpResponse::json("{}", 500, "Internal Server Error") << "127.0.0.1:%1" << false << "bac";
        QTest::newRow("wrong types") << FakeHttpResponse::json(R"({"Data":{"ServerList":[1,"a"],"TimeStamp":5}})")
                                     << "127.0.0.1:%1" << true << "";
        QTest::newRow("data not an object") << FakeHttpResponse::json(R"({"Data":"x"})") << "127.0.0.1:%1" << true << "";
    }
    void balancerFails()
    {
        QFETCH(FakeHttpResponse, reply);
        QFETCH(QString, cachedAuthority);
        QFETCH(bool, fromBalancer);
        QFETCH(QString, expected);
        FakeHttpServer balancer;
        balancer.setResponse(reply);
        const quint16 port = balancer.port();
        if (reply.status == 0)
            balancer.close();
        pointBalancerAt(port);
        writeCache(QJsonObject{{"ServerList", threeServers}, {"Authority", cachedAuthority.arg(port)}});
        ServerStatusStorage storage;
        QSignalSpy vac(&storage, &ServerStatusStorage::ReceivedVACSettingsFromBalancer);
        bool received = !fromBalancer;
        QCOMPARE(ids(storage.GetServers(&received)).join(""), expected);
        QCOMPARE(received, fromBalancer);
        if (reply.status == 0) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Servers: "));
            QCOMPARE(thrownMessage([] { BalancerRestAccessPoint().GetServers(); }),
                     QStringLiteral("Не удалось получить список серверов от балансера 127.0.0.1"));
        }
        if (!fromBalancer) {
            QCOMPARE(vac.value(0), (QList<QVariant>{false, false}));
            QCOMPARE(storedCache().value("ServerList").toArray().isEmpty(), expected.isEmpty());
        }
    }

    void triesHttpsFirstThenHttp()
    {
        ClientInfoSettings info;
        info.DesktopId = QStringLiteral("a;b=c ж(1)");
        info.sync();
        const SelfSignedCertificate certificate;
        QVERIFY2(certificate.isValid(), qPrintable(certificate.error()));
        FakeHttpServer tlsBalancer(certificate.serverConfiguration());
        tlsBalancer.setResponse(list(threeServers, "c", QDateTime(), true));
        pointBalancerAt(tlsBalancer.port(), FakeHttpServer::host(), false);
        ServerStatusStorage storage;
        bool fromBalancer = false;
        // In strict mode the self-signed certificate is refused, and plain HTTP is not tried.
        setVerification("Strict");
        QTest::ignoreMessage(QtWarningMsg, "Self signed SSL certificate");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^SSL error: "));
        QVERIFY(storage.GetServers(&fromBalancer).isEmpty() && !fromBalancer);
        QCOMPARE(tlsBalancer.requestCount(), 0);
        setVerification("Insecure");
        QSignalSpy vac(&storage, &ServerStatusStorage::ReceivedVACSettingsFromBalancer);
        QCOMPARE(ids(storage.GetServers(&fromBalancer)), (QStringList{"c", "b", "a"}));
        QVERIFY(fromBalancer && BalancerConnectionSettings().UseTls);
        QCOMPARE(vac.value(0), (QList<QVariant>{true, true}));
        const QJsonObject cache = storedCache();
        QCOMPARE(cache.value("Authority").toString(), "127.0.0.1:" + QString::number(tlsBalancer.port()));
        QCOMPARE(cache.value("ServerList").toArray().size(), 3);
        QCOMPARE(cache.value("RecommendedServer").toObject().value("ServerId").toString(), QStringLiteral("c"));
        const FakeHttpRequest request = tlsBalancer.requests().value(0);
        QCOMPARE(request.method + " " + request.target,
                 QByteArray("POST /api/Servers?clientId=a;b%3Dc%20%D0%B6(1)&getVacFeatureStatus=true&requestIp=127.0.0.1"));
        QCOMPARE(request.header("Cookie"), QByteArray("CLIENT_APP_NAME=QTClient;DESKTOP_ID=a%3Bb%3Dc %D0%B6(1);VERSION=7.2.400;"));

        // The scheme that worked last is used alone: HTTPS fails against a plain server...
        FakeHttpServer plainBalancer;
        plainBalancer.setResponse(list(threeServers));
        pointBalancerAt(plainBalancer.port(), FakeHttpServer::host(), true);
        QVERIFY(storage.GetServers(&fromBalancer).isEmpty() && !fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 1);
        // ...after a failure HTTPS is tried first, then HTTP...
        QVERIFY(storage.GetServers(&fromBalancer).size() == 3 && fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 2);
        QVERIFY(!BalancerConnectionSettings().UseTls);
        // ...and after that success plain HTTP straight away, until Clear().
        QVERIFY(storage.GetServers(&fromBalancer).size() == 3 && fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 2);
        storage.Clear();
        QVERIFY(storage.GetServers(&fromBalancer).size() == 3 && fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 3);
        QCOMPARE(plainBalancer.requestCount(), 3);
    }

    void rotation()
    {
        FakeHttpServer balancer;
        balancer.setResponse(list(threeServers, QString(), QDateTime(), false));
        pointBalancerAt(balancer.port());
        ServersConnectionSource source;
        QSignalSpy vac(&source, &ServersConnectionSource::ReceivedVACSettingsFromBalancer);
        QDateTime clock = QDateTime::currentDateTime();
        source.storage()->setClock([&clock] { return clock; });
        QCOMPARE(source.getRefreshInterval(), 600);

        QCOMPARE(nextId(source), QStringLiteral("b"));
        QCOMPARE(vac.value(0), (QList<QVariant>{false, true}));
        QCOMPARE(nextId(source), QStringLiteral("a"));
        clock = clock.addSecs(600);
        QCOMPARE(nextId(source), QStringLiteral("c"));
        QCOMPARE(nextId(source), QStringLiteral("<none>"));
        QCOMPARE(balancer.requestCount(), 1);
        // Past the refresh interval the balancer is asked again, but servers already
        // handed out without a recorded loss do not come back.
        clock = clock.addSecs(1);
        QCOMPARE(nextId(source), QStringLiteral("<none>"));
        QCOMPARE(balancer.requestCount(), 2);
        source.resetCycle();
        QCOMPARE(nextId(source), QStringLiteral("b"));
        QCOMPARE(balancer.requestCount(), 3);

        // Without the balancer the rest of this cycle's list is still handed out,
        // but a new cycle never connects to the cached list.
        balancer.close();
        clock = clock.addSecs(601);
        QCOMPARE(nextId(source), QStringLiteral("a"));
        source.resetCycle();
        QVERIFY(!storedCache().value("ServerList").toArray().isEmpty());
        QCOMPARE(nextId(source), QStringLiteral("<none>"));
    }

    void lostServerComesBackWhenOldEnough_data()
    {
        QTest::addColumn<int>("statusTimeout");
        QTest::addColumn<bool>("lost");
        QTest::addColumn<int>("lossAge");
        QTest::addColumn<int>("updateBeforeStamp");
        QTest::addColumn<bool>("comesBack");
        QTest::newRow("lost 601 s ago, updated since") << 600 << true << 601 << 10 << true;
        QTest::newRow("lost exactly 600 s ago") << 600 << true << 600 << 10 << false;
        QTest::newRow("not updated since the loss") << 600 << true << 601 << 700 << false;
        QTest::newRow("handed out, never lost") << 600 << false << 5000 << 10 << false;
        QTest::newRow("shorter timeout from settings") << 100 << true << 101 << 10 << true;
    }
    void lostServerComesBackWhenOldEnough()
    {
        QFETCH(int, statusTimeout);
        QFETCH(bool, lost);
        QFETCH(int, lossAge);
        QFETCH(int, updateBeforeStamp);
        QFETCH(bool, comesBack);
        {
            ServersConnectionSettings settings;
            settings.ServerStatusRefreshMinTimeout = statusTimeout;
            settings.sync();
        }
        const QDateTime stamp = QDateTime::currentDateTime().addDays(-1);
        FakeHttpServer balancer;
        balancer.setResponse(list({server("a", 0.1, stamp.addSecs(-updateBeforeStamp)), server("b", 0.2)}, QString(), stamp));
        pointBalancerAt(balancer.port());
        ServersConnectionSource source;
        source.setRefreshInterval(5);
        QDateTime clock = QDateTime::currentDateTime();
        source.storage()->setClock([&clock] { return clock; });

        QCOMPARE(nextId(source), QStringLiteral("a"));
        if (lost)
            source.storage()->SetStatus("a", ConnectionLost);
        clock = clock.addSecs(lossAge);
        QCOMPARE(nextId(source), comesBack ? QStringLiteral("a") : QStringLiteral("b"));
        QCOMPARE(balancer.requestCount(), 2);
        QCOMPARE(source.storage()->GetStatus("a"), (lost && !comesBack) ? ConnectionLost : NoDisconnect);
        if (comesBack)
            QCOMPARE(nextId(source), QStringLiteral("b"));
    }
};

QTEST_GUILESS_MAIN(TestRest)
#include "TestRest.moc"
