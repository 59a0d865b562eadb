#include "NetworkSettingsViewModel.h"

#include "SettingsSnapshot.h"
#include "SignalRecorder.h"
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
    void applyRoundTrip_data();
    void applyRoundTrip();
    void invalidFieldBlocksApply_data();
    void invalidFieldBlocksApply();
    void connectionErrors_data();
    void connectionErrors();
};

namespace {
const QString PortError = QStringLiteral("Порт должен быть в диапазоне от 1 до 65535");
const QString HostError = QStringLiteral("Некорректное имя хоста. Введите IP адрес или имя сервера");

ValidatableText* field(NetworkSettingsViewModel& page, const QByteArray& name)
{
    return page.property(name.constData()).value<ValidatableText*>();
}
} // namespace

void TestNetworkSettingsViewModel::applyRoundTrip_data()
{
    QTest::addColumn<QByteArray>("edited");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("signalsEmitted");

    QTest::newRow("nothing") << QByteArray("ASRServerHost") << "localhost" << QStringList()
                             << QStringList{"ApplyNetworkSettings(false,false,false)"};
    QTest::newRow("host, stored trimmed")
        << QByteArray("ASRServerHost") << " asr.local " << QStringList{"BalancerConnection/Ip=asr.local"}
        << QStringList{"changed_LastConnectionError()", "ApplyNetworkSettings(true,false,false)"};
    // The untrimmed text differs, so it counts as a change, but the stored address is the same.
    QTest::newRow("host, only blanks added")
        << QByteArray("ASRServerHost") << " localhost" << QStringList()
        << QStringList{"changed_LastConnectionError()", "ApplyNetworkSettings(true,false,false)"};
    QTest::newRow("server port") << QByteArray("ASRServerPort") << "34001" << QStringList{"BalancerConnection/Port=34001"}
                                 << QStringList{"changed_LastConnectionError()", "ApplyNetworkSettings(true,false,false)"};
    QTest::newRow("server REST port") << QByteArray("ASRServerRestPort") << "40000"
                                      << QStringList{"BalancerConnection/RestPort=40000"}
                                      << QStringList{"ApplyNetworkSettings(true,false,true)"};
    QTest::newRow("form API port") << QByteArray("FormAPIPort") << "34100" << QStringList{"FormApiServer/Port=34100"}
                                   << QStringList{"ApplyNetworkSettings(false,true,false)"};
    QTest::newRow("proxy port") << QByteArray("RestProxyPort") << "39300" << QStringList{"FormApiServer/RestPort=39300"}
                                << QStringList{"ApplyNetworkSettings(false,false,true)"};
}

void TestNetworkSettingsViewModel::applyRoundTrip()
{
    QFETCH(QByteArray, edited);
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, signalsEmitted);

    NetworkSettingsViewModel page;
    page.onLoad();
    // No settings file: the build's server address and the default ports.
    const QStringList shown{field(page, "ASRServerHost")->get_Text(), field(page, "ASRServerPort")->get_Text(),
                            field(page, "ASRServerRestPort")->get_Text(), field(page, "FormAPIPort")->get_Text(),
                            field(page, "RestProxyPort")->get_Text()};
    QCOMPARE(shown, (QStringList{"localhost", "34000", "39255", "33999", "39256"}));

    field(page, edited)->set_Text(text);
    const SettingsSnapshot before;
    SignalRecorder recorder(&page);
    QVERIFY(page.applyCommand());
    QCOMPARE(recorder.take(), signalsEmitted);
    QCOMPARE(before.changesSince(), keys);

    // Reopening shows what was stored.
    page.onLoad();
    QCOMPARE(field(page, edited)->get_Text(), text.trimmed());
}

void TestNetworkSettingsViewModel::invalidFieldBlocksApply_data()
{
    QTest::addColumn<QByteArray>("edited");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty host") << QByteArray("ASRServerHost") << "" << HostError;
    QTest::newRow("blank inside host") << QByteArray("ASRServerHost") << "asr local" << HostError;
    QTest::newRow("slash in host") << QByteArray("ASRServerHost") << "asr/local" << HostError;
    QTest::newRow("port 0") << QByteArray("ASRServerPort") << "0" << PortError;
    QTest::newRow("port not a number") << QByteArray("RestProxyPort") << "80x" << PortError;
}

void TestNetworkSettingsViewModel::invalidFieldBlocksApply()
{
    QFETCH(QByteArray, edited);
    QFETCH(QString, text);
    QFETCH(QString, error);

    NetworkSettingsViewModel page;
    page.onLoad();
    field(page, edited)->set_Text(text);
    QCOMPARE(field(page, edited)->get_Error(), error);
    QSignalSpy failed(field(page, edited), &ValidatableText::validateFailed);
    QSignalSpy applied(&page, &NetworkSettingsViewModel::ApplyNetworkSettings);
    const SettingsSnapshot before;
    QVERIFY(!page.applyCommand());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(applied.count(), 0);
    QCOMPARE(before.changesSince(), QStringList());
}

void TestNetworkSettingsViewModel::connectionErrors_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("signalsEmitted");
    QTest::addColumn<QString>("shown");

    QTest::newRow("error while connecting") << "Сервер недоступен" << 3
                                            << QStringList{"changed_LastConnectionError(Сервер недоступен)"}
                                            << "Сервер недоступен";
    QTest::newRow("message with ready state")
        << "Подключено" << 14 << QStringList{"changed_LastConnectionError(Подключено)", "changed_LastConnectionError()"}
        << "";
    QTest::newRow("ready") << "" << 14 << QStringList{"changed_LastConnectionError()"} << "";
    QTest::newRow("no message") << "" << 2 << QStringList() << "старая ошибка";
}

void TestNetworkSettingsViewModel::connectionErrors()
{
    QFETCH(QString, message);
    QFETCH(int, state);
    QFETCH(QStringList, signalsEmitted);
    QFETCH(QString, shown);

    NetworkSettingsViewModel page;
    ConnectionStateInfo old;
    old.setState(3);
    old.setMessage(QStringLiteral("старая ошибка"));
    page.onConnectionStateChanged(old);

    ConnectionStateInfo info;
    info.setState(state);
    info.setMessage(message);
    SignalRecorder recorder(&page);
    page.onConnectionStateChanged(info);
    QCOMPARE(recorder.take(), signalsEmitted);
    QCOMPARE(page.get_LastConnectionError(), shown);
}

QTEST_GUILESS_MAIN(TestNetworkSettingsViewModel)
#include "TestNetworkSettingsViewModel.moc"
