#include "ConnectionStateInfo.h"
#include "ServerListDTO.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

namespace {
QJsonObject parse(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

QJsonObject server(const QString& id)
{
    return QJsonObject{{QStringLiteral("ServerId"), id}};
}

QJsonObject listOf(int count)
{
    QJsonArray servers;
    for (int i = 0; i < count; ++i)
        servers.append(server(QString::number(i)));
    return QJsonObject{{QStringLiteral("ServerList"), servers}};
}
} // namespace

class TestServerListRecords : public QObject
{
    Q_OBJECT

private slots:
    void serverRoundTrip();
    void loadIsSinglePrecision();
    void loadPerClientKeyAsymmetry();
    void listRoundTripDropsVac();
    void recommendedServer_data();
    void recommendedServer();
    void vacFlags_data();
    void vacFlags();
    void emptyListIsInvalid();
    void cloneAppends();
    void copiesAreDeep();
    void connectionStateCopy();
};

void TestServerListRecords::serverRoundTrip()
{
    const ServerInfoDTO read(parse(R"({"ServerId":"s1","ConnectionString":"h;34000;39255;false",
        "DeclaredLoadLevel":0.5,"EstimatedLoadLevel":2,"CanAcceptClient":true,"LoadPerLevel":0.25,
        "LastUpdateDate":"2020-01-02T03:04:05.678"})"));
    QCOMPARE(read.ServerId, QStringLiteral("s1"));
    QCOMPARE(read.EstimatedLoadLevel, 2.0f);
    QVERIFY(read.CanAcceptClient);
    const QJsonObject written = read.toJson();
    QCOMPARE(written.value(QStringLiteral("LastUpdateDate")).toString(), QStringLiteral("2020-01-02T03:04:05.678"));
    QCOMPARE(written.value(QStringLiteral("ConnectionString")).toString(), QStringLiteral("h;34000;39255;false"));
    QCOMPARE(written.value(QStringLiteral("DeclaredLoadLevel")).toDouble(), 0.5);

    const ServerInfoDTO broken(parse(R"({"LastUpdateDate":"yesterday","CanAcceptClient":"yes"})"));
    QVERIFY(!broken.LastUpdateDate.isValid());
    QVERIFY(!broken.CanAcceptClient);
    QCOMPARE(broken.toJson().value(QStringLiteral("LastUpdateDate")).toString(), QString());
}

void TestServerListRecords::loadIsSinglePrecision()
{
    const ServerInfoDTO read(parse(R"({"EstimatedLoadLevel":0.1})"));
    QCOMPARE(read.toJson().value(QStringLiteral("EstimatedLoadLevel")).toDouble(), double(0.1f));
    QVERIFY(read.toJson().value(QStringLiteral("EstimatedLoadLevel")).toDouble() != 0.1);
}

void TestServerListRecords::loadPerClientKeyAsymmetry()
{
    const ServerInfoDTO read(parse(R"({"LoadPerLevel":3})"));
    const QJsonObject written = read.toJson();
    QCOMPARE(written.value(QStringLiteral("LoadPerClient")).toDouble(), 3.0);
    QCOMPARE(ServerInfoDTO(written).LoadPerClient, 0.0f);
}

void TestServerListRecords::listRoundTripDropsVac()
{
    const ServerListDTO read(parse(R"({"TimeStamp":"2021-05-06T07:08:09.010","Authority":"b:1",
        "ServerList":[{"ServerId":"a"},{"ServerId":"b"}],"RecommendedServer":{"ServerId":"b"},"VacEnabled":true})"));
    QVERIFY(read.valid);
    QVERIFY(read.vacReceived);
    QVERIFY(read.vacEnabled);
    const QJsonObject written = read.toJson();
    QVERIFY(!written.contains(QStringLiteral("VacEnabled")));

    const ServerListDTO again(written);
    QCOMPARE(again.ServerList.size(), 2);
    QCOMPARE(again.ServerList.at(1).ServerId, QStringLiteral("b"));
    QCOMPARE(again.TimeStamp, read.TimeStamp);
    QVERIFY(again.RecommendedServer);
    QCOMPARE(again.RecommendedServer->ServerId, QStringLiteral("b"));
    QCOMPARE(again.Authority, QStringLiteral("b:1"));
    QVERIFY(!again.vacReceived);
    QVERIFY(!again.vacEnabled);
    QCOMPARE(again.toJson(), written);
}

void TestServerListRecords::recommendedServer_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("null") << QByteArray(R"({"RecommendedServer":null})");
    QTest::newRow("string") << QByteArray(R"({"RecommendedServer":"a"})");
    QTest::newRow("array") << QByteArray(R"({"RecommendedServer":[{"ServerId":"a"}]})");
    QTest::newRow("missing") << QByteArray("{}");
}

void TestServerListRecords::recommendedServer()
{
    QFETCH(QByteArray, json);
    const ServerListDTO list(parse(json));
    QVERIFY(!list.RecommendedServer);
    QVERIFY(!list.toJson().contains(QStringLiteral("RecommendedServer")));
}

void TestServerListRecords::vacFlags_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("received");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("null") << QByteArray(R"({"VacEnabled":null})") << false << false;
    QTest::newRow("missing") << QByteArray("{}") << false << false;
    QTest::newRow("false") << QByteArray(R"({"VacEnabled":false})") << true << false;
    QTest::newRow("true") << QByteArray(R"({"VacEnabled":true})") << true << true;
    QTest::newRow("text") << QByteArray(R"({"VacEnabled":"yes"})") << true << false;
}

void TestServerListRecords::vacFlags()
{
    QFETCH(QByteArray, json);
    const ServerListDTO list(parse(json));
    QTEST(list.vacReceived, "received");
    QTEST(list.vacEnabled, "enabled");
}

void TestServerListRecords::emptyListIsInvalid()
{
    const ServerListDTO empty;
    QVERIFY(!empty.valid);
    QVERIFY(!empty.vacReceived);
    QVERIFY(empty.ServerList.isEmpty());
    QVERIFY(empty.TimeStamp.isNull());
    QVERIFY(ServerListDTO(QJsonObject()).valid);
}

void TestServerListRecords::cloneAppends()
{
    ServerListDTO target(listOf(2));
    const ServerListDTO source(listOf(3));
    target.Clone(source);
    QCOMPARE(target.ServerList.size(), 5);
    target.Clear();
    target.Clone(source);
    QCOMPARE(target.ServerList.size(), 3);

    target.Clone(target);
    QCOMPARE(target.ServerList.size(), 6);
}

void TestServerListRecords::copiesAreDeep()
{
    QJsonObject json = listOf(1);
    json.insert(QStringLiteral("RecommendedServer"), server(QStringLiteral("r")));
    auto source = std::make_unique<ServerListDTO>(json);
    ServerListDTO copy(*source);
    ServerListDTO assigned(listOf(4));
    assigned = *source;
    source.reset();
    for (const ServerListDTO* list : {&copy, &assigned}) {
        QCOMPARE(list->ServerList.size(), 1);
        QVERIFY(list->RecommendedServer);
        QCOMPARE(list->RecommendedServer->ServerId, QStringLiteral("r"));
        QVERIFY(list->valid);
    }
}

void TestServerListRecords::connectionStateCopy()
{
    QObject parent;
    ConnectionStateInfo info;
    info.setParent(&parent);
    info.setOldState(3);
    info.setState(4);
    info.setNotificationEnabled(true);
    info.setMessage(QStringLiteral("m"));
    info.setBalancerHost(QStringLiteral("b"));
    info.setServerHost(QStringLiteral("s"));
    {
        // Copies travel by value through queued signals: they must not be
        // adopted (and later deleted) by the source's parent.
        const ConnectionStateInfo copy(info);
        QCOMPARE(copy.parent(), nullptr);
        QCOMPARE(copy.oldState(), 3);
        QCOMPARE(copy.state(), 4);
        QVERIFY(copy.notificationEnabled());
        QCOMPARE(copy.message(), QStringLiteral("m"));
        QCOMPARE(copy.balancerHost(), QStringLiteral("b"));
        QCOMPARE(copy.serverHost(), QStringLiteral("s"));
        QVariant boxed = QVariant::fromValue(copy);
        QCOMPARE(boxed.value<ConnectionStateInfo>().serverHost(), QStringLiteral("s"));
    }
    info.setParent(nullptr);
}

QTEST_GUILESS_MAIN(TestServerListRecords)
#include "TestServerListRecords.moc"
