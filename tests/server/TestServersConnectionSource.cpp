#include "BalancerReply.h"
#include "CachedServerSettings.h"
#include "FakeHttpServer.h"
#include "ServersConnectionSettings.h"
#include "ServersConnectionSource.h"
#include "TestHome.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

using namespace BalancerReply;

namespace {
QString nextId(ServersConnectionSource& source)
{
    const ServerInfoDTO* server = source.GetNextServer();
    return server ? server->ServerId : QStringLiteral("<none>");
}

void setStatusTimeout(int seconds)
{
    ServersConnectionSettings settings;
    settings.ServerStatusRefreshMinTimeout = seconds;
    settings.sync();
}
} // namespace

class TestServersConnectionSource : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::useApplicationIdentity();
        TestHome::wipe();
        FakeHttpServer::bypassSystemProxy();
    }

    void handsOutServersOnceEach()
    {
        FakeHttpServer balancer;
        balancer.setResponse(list({server("a", 0.5), server("b", 0.1), server("c", 0.9)}));
        pointBalancerAt(balancer.port());
        ServersConnectionSource source;
        QDateTime clock = QDateTime::currentDateTime();
        source.storage()->setClock([&clock] { return clock; });
        QCOMPARE(source.getRefreshInterval(), 600);

        QCOMPARE(nextId(source), QStringLiteral("b"));
        QCOMPARE(source.getServerCount(), 3);
        QCOMPARE(nextId(source), QStringLiteral("a"));
        clock = clock.addSecs(600);
        QCOMPARE(nextId(source), QStringLiteral("c"));
        QCOMPARE(nextId(source), QStringLiteral("<none>"));
        QCOMPARE(balancer.requestCount(), 1);

        // Past the refresh interval the balancer is asked again, but servers
        // already handed out without a recorded loss do not come back.
        clock = clock.addSecs(1);
        QCOMPARE(nextId(source), QStringLiteral("<none>"));
        QCOMPARE(balancer.requestCount(), 2);
        QCOMPARE(source.getServerCount(), 0);

        source.resetCycle();
        QCOMPARE(nextId(source), QStringLiteral("b"));
        QCOMPARE(balancer.requestCount(), 3);
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
        QTest::newRow("update as old as the loss") << 600 << true << 601 << 601 << false;
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
        setStatusTimeout(statusTimeout);
        const QDateTime stamp = QDateTime::currentDateTime().addDays(-1);
        FakeHttpServer balancer;
        balancer.setResponse(list({server("a", 0.1, stamp.addSecs(-updateBeforeStamp)), server("b", 0.2)}, QString(),
                                  stamp));
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
        if (comesBack) {
            QCOMPARE(source.getServerCount(), 2);
            QCOMPARE(nextId(source), QStringLiteral("b"));
        }
        setStatusTimeout(600);
    }

    void usesOnlyListsFromTheBalancer()
    {
        FakeHttpServer balancer;
        balancer.setResponse(list({server("a", 0.1), server("b", 0.2), server("c", 0.3)}));
        pointBalancerAt(balancer.port());
        ServersConnectionSource source;
        QDateTime clock = QDateTime::currentDateTime();
        source.storage()->setClock([&clock] { return clock; });
        QCOMPARE(nextId(source), QStringLiteral("a"));

        // The balancer goes away: what is left of this run's list is still handed out.
        balancer.close();
        clock = clock.addSecs(601);
        QCOMPARE(nextId(source), QStringLiteral("b"));
        QCOMPARE(source.getServerCount(), 3);

        // A new cycle does not connect to the cached list, even of the same balancer.
        source.resetCycle();
        QVERIFY(!CachedServerSettings().ServersList.value().toString().isEmpty());
        QCOMPARE(nextId(source), QStringLiteral("<none>"));
        QCOMPARE(source.getServerCount(), 3);
    }

    void relaysVoiceActivationSettings()
    {
        FakeHttpServer balancer;
        balancer.setResponse(list({server("a", 0.1)}, QString(), QDateTime(), false));
        pointBalancerAt(balancer.port());
        ServersConnectionSource source;
        QSignalSpy vac(&source, &ServersConnectionSource::ReceivedVACSettingsFromBalancer);
        source.GetNextServer();
        QCOMPARE(vac.size(), 1);
        QCOMPARE(vac[0], (QList<QVariant>{false, true}));
    }
};

QTEST_GUILESS_MAIN(TestServersConnectionSource)
#include "TestServersConnectionSource.moc"
