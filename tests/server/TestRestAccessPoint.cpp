#include "BalancerConnectionSettings.h"
#include "BalancerRestAccessPoint.h"
#include "ClientConnectionSettings.h"
#include "ClientInfoSettings.h"
#include "FakeHttpServer.h"
#include "RestAccessPoint.h"
#include "TestHome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {
const QString defaultText = QStringLiteral("Не удалось получить данные с сервера. Попробуйте выполнить запрос позднее");

void pointAsrClientAt(const FakeHttpServer& server, bool tls = false)
{
    ClientConnectionSettings settings;
    settings.Ip = FakeHttpServer::host();
    settings.RestPort = int(server.port());
    settings.UseTls = tls;
    settings.sync();
}

QJsonObject identity(const QJsonObject& object)
{
    return object;
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
    }

    void sendsIdentityCookie_data()
    {
        QTest::addColumn<QString>("desktopId");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("plain") << "ABC-1" << QByteArray("ABC-1");
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

    void createsDesktopIdForCookie()
    {
        {
            ClientInfoSettings info;
            info.DesktopId = QString();
            info.sync();
        }
        RestAccessPoint point;
        const QString stored = ClientInfoSettings().DesktopId;
        QVERIFY(QRegularExpression("^[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}$").match(stored).hasMatch());
        QVERIFY(BaseRestAccessPoint::identityCookie().contains("DESKTOP_ID=" + stored.toUtf8() + ";"));
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
        QTest::newRow("error null") << QByteArray("{\"Error\":null,\"Data\":{\"a\":1}}") << QJsonObject{{"a", 1}}
                                    << QString();
        QTest::newRow("no error") << QByteArray("{\"Data\":{\"a\":2}}") << QJsonObject{{"a", 2}} << QString();
        QTest::newRow("data not an object") << QByteArray("{\"Data\":[1]}") << QJsonObject() << QString();
        QTest::newRow("array reply") << QByteArray("[1,2]") << QJsonObject() << QString();
        QTest::newRow("server error") << QByteArray("{\"Error\":{\"Text\":\"t\",\"DebugText\":\"d\"},\"Data\":{}}")
                                      << QJsonObject() << QStringLiteral("/Claim/: t | d");
        QTest::newRow("not json") << QByteArray("<html>") << QJsonObject()
                                  << QStringLiteral("/Claim/: ") + defaultText + " | ";
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
        try {
            const QJsonObject result
                = point.getObject<QJsonObject>(QStringLiteral("/Claim/"), POST, identity, {}, QByteArray("{}"));
            QVERIFY2(error.isEmpty(), "no exception");
            QCOMPARE(result, data);
        } catch (const Exception& e) {
            QVERIFY2(!error.isEmpty(), qPrintable(e.message()));
            QVERIFY2(e.message().startsWith(error), qPrintable(e.message()));
        }
        QCOMPARE(server.requests().value(0).path(), QByteArray("/api/Claim"));
    }

    void listOfNonArrayDataIsEmpty()
    {
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json("{\"Data\":{\"a\":1}}"));
        pointAsrClientAt(server);
        RestAccessPoint point;
        QVERIFY(point.getList<QJsonObject>(QStringLiteral("Theme"), GET, identity, {}, QByteArray()).isEmpty());
        server.setResponse(FakeHttpResponse::json("{\"Data\":[{\"a\":1},7,{\"b\":2}]}"));
        const QList<QJsonObject> list
            = point.getList<QJsonObject>(QStringLiteral("Theme"), GET, identity, {}, QByteArray());
        QCOMPARE(list, (QList<QJsonObject>{QJsonObject{{"a", 1}}, QJsonObject(), QJsonObject{{"b", 2}}}));
    }

    void timeoutBecomesExceptionWithCodeFive()
    {
        FakeHttpServer server;
        FakeHttpResponse silent;
        silent.silent = true;
        server.setResponse(silent);
        pointAsrClientAt(server);
        RestAccessPoint point;
        point.restClient()->setTimeout(200);
        QVERIFY_EXCEPTION_THROWN(
            {
                try {
                    point.getObject<QJsonObject>(QStringLiteral("Theme"), GET, identity, {}, QByteArray());
                } catch (const Exception& e) {
                    QCOMPARE(e.message(), QStringLiteral("Theme: ") + defaultText
                                              + QStringLiteral(" | Код: 5\nОшибка: Operation canceled"));
                    throw;
                }
            },
            Exception);
    }

    void getsThemes()
    {
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json(
            R"({"Error":null,"Data":[{"Id":"a","Name":"Первая"},{"Id":"b","ThemeId":"c","CompositionType":2}]})"));
        pointAsrClientAt(server);
        RestAccessPoint point;
        const QList<ClientThemeInfo> themes = point.getThemes();
        QCOMPARE(themes.size(), 2);
        QCOMPARE(themes[0].name(), QStringLiteral("Первая"));
        QCOMPARE(themes[1].themeId(), QStringLiteral("c"));
        QCOMPARE(themes[1].compositionType(), 2);
        const FakeHttpRequest request = server.requests().value(0);
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.target, QByteArray("/api/Theme"));

        server.setResponse(FakeHttpResponse::json(R"({"Data":{"Id":"a"}})"));
        QVERIFY(point.getThemes().isEmpty());
    }

    void failedThemesRaiseTheirOwnMessage()
    {
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json(R"({"Error":{"Text":"t","DebugText":"d"}})"));
        pointAsrClientAt(server);
        RestAccessPoint point;
        QTest::ignoreMessage(QtWarningMsg, "Theme: t | d");
        try {
            point.getThemes();
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("Не удалось получить список тем"));
        }
    }

    void sendsClaim()
    {
        FakeHttpServer server;
        server.setResponse(FakeHttpResponse::json(R"({"Data":{}})"));
        pointAsrClientAt(server);
        RestAccessPoint point;
        ClientClaim claim;
        claim.setEmail(QStringLiteral("a@b.c"));
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
        FakeHttpServer balancer;
        balancer.setResponse(FakeHttpResponse::json(
            R"({"Data":{"ServerList":[{"ServerId":"s1","ConnectionString":"127.0.0.1;1;2"}],"VacEnabled":true}})"));
        {
            BalancerConnectionSettings settings;
            settings.Ip = FakeHttpServer::host();
            settings.RestPort = int(balancer.port());
            settings.sync();
        }
        BalancerRestAccessPoint point;
        const ServerListDTO list = point.GetServers();
        QCOMPARE(list.ServerList.size(), 1);
        QCOMPARE(list.ServerList[0].ServerId, QStringLiteral("s1"));
        QVERIFY(list.vacEnabled);

        const FakeHttpRequest request = balancer.requests().value(0);
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, "/api/Servers?clientId=" + ClientInfoSettings().DesktopId.value().toByteArray()
                                     + "&getVacFeatureStatus=true&requestIp=127.0.0.1");
        QVERIFY(request.header("Cookie").startsWith("CLIENT_APP_NAME=QTClient;"));

        balancer.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Servers: "));
        try {
            point.GetServers();
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.message(), QStringLiteral("Не удалось получить список серверов от балансера 127.0.0.1"));
        }
    }
};

QTEST_GUILESS_MAIN(TestRestAccessPoint)
#include "TestRestAccessPoint.moc"
