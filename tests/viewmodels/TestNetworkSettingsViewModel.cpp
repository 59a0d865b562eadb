#include "NetworkSettingsViewModel.h"

#include "BalancerConnectionSettings.h"
#include "FormApiSettings.h"
#include "TestHome.h"

#include <QtTest>

// What the network page stores and which endpoints it reports as changed:
// the composition root reconnects or restarts servers by these flags.
class TestNetworkSettingsViewModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::useApplicationIdentity(); }
    void init() { TestHome::wipe(); }
    void applyReportsChangedEndpoints_data();
    void applyReportsChangedEndpoints();
};

void TestNetworkSettingsViewModel::applyReportsChangedEndpoints_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("restPort");
    QTest::addColumn<int>("formApiPort");
    QTest::addColumn<int>("proxyPort");
    QTest::addColumn<QList<bool>>("flags");
    QTest::addColumn<QString>("storedHost");

    QTest::newRow("nothing") << "asr.local" << 39255 << 33999 << 39256 << QList<bool>{false, false, false} << "asr.local";
    QTest::newRow("host, stored trimmed") << " other.local " << 39255 << 33999 << 39256
                                          << QList<bool>{true, false, false} << "other.local";
    QTest::newRow("server REST port") << "asr.local" << 40000 << 33999 << 39256 << QList<bool>{true, false, true}
                                      << "asr.local";
    QTest::newRow("form API port") << "asr.local" << 39255 << 34100 << 39256 << QList<bool>{false, true, false}
                                   << "asr.local";
    QTest::newRow("proxy port") << "asr.local" << 39255 << 33999 << 39300 << QList<bool>{false, false, true}
                                << "asr.local";
}

void TestNetworkSettingsViewModel::applyReportsChangedEndpoints()
{
    QFETCH(QString, host);
    QFETCH(int, restPort);
    QFETCH(int, formApiPort);
    QFETCH(int, proxyPort);
    QFETCH(QList<bool>, flags);
    QFETCH(QString, storedHost);
    {
        BalancerConnectionSettings balancer;
        balancer.Ip = QStringLiteral("asr.local");
        balancer.sync();
    }

    NetworkSettingsViewModel page;
    page.Load();
    QCOMPARE(page.asrServerHost, QStringLiteral("asr.local"));
    page.asrServerHost = host;
    page.asrServerRestPort = restPort;
    page.formApiPort = formApiPort;
    page.restProxyPort = proxyPort;
    QSignalSpy applied(&page, &NetworkSettingsViewModel::ApplyNetworkSettings);
    page.Apply();

    QCOMPARE(applied.count(), 1);
    QCOMPARE((QList<bool>{applied.at(0).at(0).toBool(), applied.at(0).at(1).toBool(), applied.at(0).at(2).toBool()}),
             flags);
    BalancerConnectionSettings balancer;
    FormApiSettings formApi;
    QCOMPARE(QString(balancer.Ip), storedHost);
    QCOMPARE(int(balancer.RestPort), restPort);
    QCOMPARE(int(formApi.Port), formApiPort);
    QCOMPARE(int(formApi.RestPort), proxyPort);
}

QTEST_MAIN(TestNetworkSettingsViewModel)
#include "TestNetworkSettingsViewModel.moc"
