#include "BalancerConnectionSettings.h"
#include "BalancerReply.h"
#include "CachedServerSettings.h"
#include "FakeHttpServer.h"
#include "ServerStatusStorage.h"
#include "SelfSignedCertificate.h"
#include "TestHome.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QSslSocket>
#include <QtTest>

#include <limits>

using namespace BalancerReply;

namespace {
QStringList ids(const QList<ServerInfoDTO>& servers)
{
    QStringList result;
    for (const ServerInfoDTO& server : servers)
        result << server.ServerId;
    return result;
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

const QJsonArray threeServers{server("a", 0.5), server("b", 0.1), server("c", 0.9)};
} // namespace

class TestServerStatusStorage : public QObject
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
        BalancerReply::pointBalancerAt(1);
    }

    void ordersServers_data()
    {
        QTest::addColumn<QList<double>>("loads");
        QTest::addColumn<QStringList>("serverIds");
        QTest::addColumn<QString>("recommended");
        QTest::addColumn<QStringList>("expected");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("by load") << QList<double>{0.5, 0.1, 0.9} << QStringList{"a", "b", "c"} << QString()
                                 << QStringList{"b", "a", "c"};
        QTest::newRow("recommended first though busiest")
            << QList<double>{0.5, 0.1, 0.9} << QStringList{"a", "b", "c"} << "c" << QStringList{"c", "b", "a"};
        QTest::newRow("ties keep balancer order")
            << QList<double>{0.3, 0.1, 0.3, 0.3} << QStringList{"a", "b", "c", "d"} << QString()
            << QStringList{"b", "a", "c", "d"};
        QTest::newRow("repeated recommended id")
            << QList<double>{0.5, 0.9, 0.1, 0.2} << QStringList{"a", "r", "b", "r"} << "r"
            << QStringList{"r", "r", "b", "a"};
        QTest::newRow("nan last") << QList<double>{nan, 0.2, 0.1, nan} << QStringList{"n1", "a", "b", "n2"}
                                  << QString() << QStringList{"b", "a", "n1", "n2"};
    }
    void ordersServers()
    {
        QFETCH(QList<double>, loads);
        QFETCH(QStringList, serverIds);
        QFETCH(QString, recommended);
        QFETCH(QStringList, expected);
        QList<ServerInfoDTO> servers;
        for (int i = 0; i < loads.size(); ++i) {
            ServerInfoDTO server(QJsonObject{{"ServerId", serverIds[i]}});
            server.EstimatedLoadLevel = float(loads[i]);
            servers.append(server);
        }
        ServerStatusStorage::sortServers(servers, recommended);
        QCOMPARE(ids(servers), expected);
    }

    void receivesListAndCachesIt()
    {
        FakeHttpServer balancer;
        balancer.setResponse(list(threeServers, "c", QDateTime(), true));
        pointBalancerAt(balancer.port());
        ServerStatusStorage storage;
        QSignalSpy vac(&storage, &ServerStatusStorage::ReceivedVACSettingsFromBalancer);
        bool fromBalancer = false;

        QCOMPARE(ids(storage.GetServers(&fromBalancer)), (QStringList{"c", "b", "a"}));
        QVERIFY(fromBalancer);
        QCOMPARE(vac.size(), 1);
        QCOMPARE(vac[0], (QList<QVariant>{true, true}));
        const QJsonObject cache = storedCache();
        QCOMPARE(cache.value("Authority").toString(), "127.0.0.1:" + QString::number(balancer.port()));
        QCOMPARE(cache.value("ServerList").toArray().size(), 3);
        QCOMPARE(cache.value("RecommendedServer").toObject().value("ServerId").toString(), QStringLiteral("c"));
    }

    void fallsBackToCacheOfSameBalancer_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("cachedAuthority");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("cacheDropped");
        QTest::newRow("same address") << "127.0.0.1" << "127.0.0.1:%1" << QStringList{"b", "a", "c"} << false;
        // A loopback address written with letters, so that only the case differs.
        QTest::newRow("same address other case") << "0X7F.0.0.1" << "0x7f.0.0.1:%1" << QStringList{"b", "a", "c"}
                                                 << false;
        QTest::newRow("no authority") << "127.0.0.1" << "" << QStringList{"b", "a", "c"} << false;
        QTest::newRow("other port") << "127.0.0.1" << "127.0.0.1:1%1" << QStringList() << true;
        QTest::newRow("other address") << "127.0.0.1" << "127.0.0.2:%1" << QStringList() << true;
    }
    void fallsBackToCacheOfSameBalancer()
    {
        QFETCH(QString, ip);
        QFETCH(QString, cachedAuthority);
        QFETCH(QStringList, expected);
        QFETCH(bool, cacheDropped);
        quint16 port = 0;
        {
            FakeHttpServer down;
            port = down.port();
        }
        pointBalancerAt(port, ip);
        writeCache(QJsonObject{{"ServerList", threeServers}, {"Authority", cachedAuthority.arg(port)}});
        ServerStatusStorage storage;
        QSignalSpy vac(&storage, &ServerStatusStorage::ReceivedVACSettingsFromBalancer);
        bool fromBalancer = true;

        QCOMPARE(ids(storage.GetServers(&fromBalancer)), expected);
        QVERIFY(!fromBalancer);
        QCOMPARE(vac.size(), 1);
        QCOMPARE(vac[0], (QList<QVariant>{false, false}));
        QCOMPARE(storedCache().value("ServerList").toArray().isEmpty(), cacheDropped);
        if (cacheDropped)
            QCOMPARE(storedCache().value("Authority").toString(), QString());
    }

    void unexpectedBalancerReplies_data()
    {
        QTest::addColumn<FakeHttpResponse>("reply");
        QTest::addColumn<bool>("fromBalancer");
        QTest::newRow("html page") << FakeHttpResponse::json("<html><body>502</body></html>") << false;
        QTest::newRow("truncated") << FakeHttpResponse::json(R"({"Data":{"ServerList":[{"ServerId":"x")") << false;
        QTest::newRow("server error") << FakeHttpResponse::json("{}", 500, "Internal Server Error") << false;
        QTest::newRow("wrong types") << FakeHttpResponse::json(R"({"Data":{"ServerList":[1,"a"],"TimeStamp":5}})")
                                     << true;
        QTest::newRow("data not an object") << FakeHttpResponse::json(R"({"Data":"x"})") << true;
    }
    void unexpectedBalancerReplies()
    {
        QFETCH(FakeHttpResponse, reply);
        QFETCH(bool, fromBalancer);
        FakeHttpServer balancer;
        balancer.setResponse(reply);
        pointBalancerAt(balancer.port());
        writeCache(QJsonObject{{"ServerList", threeServers},
                               {"Authority", "127.0.0.1:" + QString::number(balancer.port())}});
        ServerStatusStorage storage;
        bool received = !fromBalancer;
        const QList<ServerInfoDTO> servers = storage.GetServers(&received);
        QCOMPARE(received, fromBalancer);
        if (fromBalancer) {
            for (const ServerInfoDTO& s : servers)
                QVERIFY(s.ServerId.isEmpty());
        } else {
            QCOMPARE(ids(servers), (QStringList{"b", "a", "c"}));
        }
    }

    void triesHttpsFirstThenHttp()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("no TLS library");
        const SelfSignedCertificate certificate;
        QVERIFY2(certificate.isValid(), qPrintable(certificate.error()));
        FakeHttpServer tlsBalancer(certificate.serverConfiguration());
        tlsBalancer.setResponse(list(threeServers));
        pointBalancerAt(tlsBalancer.port(), FakeHttpServer::host(), false);
        ServerStatusStorage storage;
        bool fromBalancer = false;
        QCOMPARE(storage.GetServers(&fromBalancer).size(), 3);
        QVERIFY(fromBalancer);
        QVERIFY(BalancerConnectionSettings().UseTls);

        FakeHttpServer plainBalancer;
        plainBalancer.setResponse(list(threeServers));
        pointBalancerAt(plainBalancer.port(), FakeHttpServer::host(), true);
        // The last request succeeded, so the stored scheme is used directly: HTTPS fails
        // here, and the cache of the other address is not used.
        QVERIFY(storage.GetServers(&fromBalancer).isEmpty() && !fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 1);
        // After a failure HTTPS is tried first, then HTTP.
        QVERIFY(storage.GetServers(&fromBalancer).size() == 3 && fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 2);
        QCOMPARE(plainBalancer.requestCount(), 1);
        QVERIFY(!BalancerConnectionSettings().UseTls);
        // And after that success plain HTTP straight away.
        QVERIFY(storage.GetServers(&fromBalancer).size() == 3 && fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 2);
        QCOMPARE(plainBalancer.requestCount(), 2);
        // Clear() starts over with HTTPS.
        storage.Clear();
        QVERIFY(storage.GetServers(&fromBalancer).size() == 3 && fromBalancer);
        QCOMPARE(plainBalancer.rejectedCount(), 3);
    }

    void keepsStatusPerServer()
    {
        ServerStatusStorage storage;
        const QDateTime clock = QDateTime::currentDateTime().addSecs(-5);
        storage.setClock([clock] { return clock; });
        QCOMPARE(storage.GetStatus("x"), NoDisconnect);
        storage.SetStatus("x", ConnectionLost);
        QCOMPARE(storage.GetStatus("x"), ConnectionLost);
        QCOMPARE(storage.GetStatus("y"), NoDisconnect);
        QCOMPARE(storage.GetConnectionStatus("x").lastChange(), clock);
        storage.Clear();
        QCOMPARE(storage.GetStatus("x"), NoDisconnect);
        QVERIFY(storage.GetConnectionStatus("x").lastChange().isNull());
    }
};

QTEST_GUILESS_MAIN(TestServerStatusStorage)
#include "TestServerStatusStorage.moc"
