#include "BalancerReply.h"
#include "BalancerRestAccessPoint.h"
#include "ClientConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "FakeHttpServer.h"
#include "RestAccessPoint.h"
#include "RestJsonWorker.h"
#include "TestHome.h"

#include <QJsonDocument>
#include <QtTest>

namespace {
void pointAsrClientAt(const FakeHttpServer& server)
{
    ClientConnectionSettings settings;
    settings.Ip = FakeHttpServer::host();
    settings.RestPort = int(server.port());
    settings.sync();
}

QJsonObject identity(const QJsonObject& object)
{
    return object;
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
} // namespace

class TestRestAccessPoint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::useApplicationIdentity();
        TestHome::wipe();
        FakeHttpServer::bypassSystemProxy();
    }

    void sendsIdentityCookie_data()
    {
        QTest::addColumn<QString>("desktopId");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("blank and brackets kept") << "a b(1)[2]{3}" << QByteArray("a b(1)[2]{3}");
        QTest::newRow("semicolon and equals encoded") << "a;b=c" << QByteArray("a%3Bb%3Dc");
        QTest::newRow("cyrillic") << "ж" << QByteArray("%D0%B6");
    }
    void sendsIdentityCookie()
    {
        QFETCH(QString, desktopId);
        QFETCH(QByteArray, encoded);
        {
            ClientInfoSettings info;
            info.DesktopId = desktopId;
            info.sync();
        }
        FakeHttpServer server;
        pointAsrClientAt(server);
        RestAccessPoint point;
        point.getObject<QJsonObject>(QStringLiteral("Theme"), GET, identity, {}, QByteArray());
        QCOMPARE(server.requests().value(0).header("Cookie"),
                 "CLIENT_APP_NAME=QTClient;DESKTOP_ID=" + encoded + ";VERSION=7.2.400;");
    }

    void readsEndpointAnewForEveryCall()
    {
        FakeHttpServer first;
        FakeHttpServer second;
        RestAccessPoint point;
        pointAsrClientAt(first);
        point.getObject<QJsonObject>(QStringLiteral("Theme"), GET, identity, {}, QByteArray());
        pointAsrClientAt(second);
        point.getObject<QJsonObject>(QStringLiteral("Theme"), GET, identity, {}, QByteArray());
        QCOMPARE(first.requestCount(), 1);
        QCOMPARE(second.requestCount(), 1);
    }

    void turnsReplyIntoDataOrException_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<QString>("error");
        QTest::newRow("error null") << QByteArray(R"({"Error":null,"Data":{"a":1}})") << QJsonObject{{"a", 1}}
                                    << QString();
        QTest::newRow("no error") << QByteArray(R"({"Data":{"a":2}})") << QJsonObject{{"a", 2}} << QString();
        QTest::newRow("array reply") << QByteArray("[1,2]") << QJsonObject() << QString();
        QTest::newRow("server error") << QByteArray(R"({"Error":{"Text":"t","DebugText":"d"},"Data":{}})")
                                      << QJsonObject() << QStringLiteral("/Claim/: t | d");
        QTest::newRow("not json") << QByteArray("<html>") << QJsonObject()
                                  << "/Claim/: " + RestJsonWorker::defaultErrorText() + " | illegal value";
    }
    void turnsReplyIntoDataOrException()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QJsonObject, data);
        QFETCH(QString, error);
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json(reply));
        pointAsrClientAt(server);
        RestAccessPoint point;
        QJsonObject result;
        QCOMPARE(thrownMessage([&] {
                     result = point.getObject<QJsonObject>(QStringLiteral("/Claim/"), POST, identity, {}, "{}");
                 }),
                 error);
        QCOMPARE(result, data);
        QCOMPARE(server.requests().value(0).path(), QByteArray("/api/Claim"));
    }

    void getsThemes()
    {
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json(
            R"({"Error":null,"Data":[{"Id":"a","Name":"Первая"},7,{"Id":"b","ThemeId":"c"}]})"));
        pointAsrClientAt(server);
        RestAccessPoint point;
        const QList<ClientThemeInfo> themes = point.getThemes();
        QCOMPARE(themes.size(), 3);
        QCOMPARE(themes[0].name(), QStringLiteral("Первая"));
        QVERIFY(themes[1].id().isEmpty());
        QCOMPARE(themes[2].themeId(), QStringLiteral("c"));
        QCOMPARE(server.requests().value(0).method, QByteArray("GET"));
        QCOMPARE(server.requests().value(0).target, QByteArray("/api/Theme"));

        server.setResponse(FakeHttpResponse::json(R"({"Data":{"Id":"a"}})"));
        QVERIFY(point.getThemes().isEmpty());

        server.setResponse(FakeHttpResponse::json(R"({"Error":{"Text":"t","DebugText":"d"}})"));
        QTest::ignoreMessage(QtWarningMsg, "Theme: t | d");
        QCOMPARE(thrownMessage([&] { point.getThemes(); }), QStringLiteral("Не удалось получить список тем"));
    }

    void sendsClaim()
    {
        FakeHttpServer server;
        pointAsrClientAt(server);
        RestAccessPoint point;
        ClientClaim claim;
        claim.setDescription(QStringLiteral("не слышно"));
        QVERIFY(point.sendClaim(claim));
        const FakeHttpRequest request = server.requests().value(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/api/Claim"));
        QCOMPARE(request.body, QJsonDocument(claim.toJson()).toJson(QJsonDocument::Indented));

        server.setResponse(FakeHttpResponse::json(R"({"Error":{"Text":"t","DebugText":"d"},"Data":""})"));
        QTest::ignoreMessage(QtWarningMsg, "Claim: t | d");
        QVERIFY(!point.sendClaim(claim));
    }

    void asksBalancerForServers()
    {
        {
            ClientInfoSettings info;
            info.DesktopId = QStringLiteral("ID-1");
            info.sync();
        }
        FakeHttpServer balancer;
        balancer.setResponse(BalancerReply::list({BalancerReply::server("s1", 0.5)}, QString(), QDateTime(), true));
        BalancerReply::pointBalancerAt(balancer.port());
        BalancerRestAccessPoint point;
        const ServerListDTO list = point.GetServers();
        QCOMPARE(list.ServerList.size(), 1);
        QCOMPARE(list.ServerList[0].ServerId, QStringLiteral("s1"));
        QVERIFY(list.vacEnabled);

        const FakeHttpRequest request = balancer.requests().value(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/api/Servers?clientId=ID-1&getVacFeatureStatus=true&requestIp=127.0.0.1"));
        QVERIFY(request.header("Cookie").startsWith("CLIENT_APP_NAME=QTClient;"));

        balancer.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Servers: "));
        QCOMPARE(thrownMessage([&] { point.GetServers(); }),
                 QStringLiteral("Не удалось получить список серверов от балансера 127.0.0.1"));
    }
};

QTEST_GUILESS_MAIN(TestRestAccessPoint)
#include "TestRestAccessPoint.moc"
