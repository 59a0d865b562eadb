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
    void connectionErrorFollowsState_data();
    void connectionErrorFollowsState();
};

namespace {
const QString PortError = QStringLiteral("Порт должен быть в диапазоне от 1 до 65535");
const QString HostError = QStringLiteral("Некорректное имя хоста. Введите IP адрес или имя сервера");

ConnectionStateInfo report(int state, const QString& message)
{
    ConnectionStateInfo info;
    info.setState(state);
    info.setMessage(message);
    return info;
}

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
    QTest::newRow("IPv4 address") << QByteArray("ASRServerHost") << "10.0.255.1"
                                  << QStringList{"BalancerConnection/Ip=10.0.255.1"}
                                  << QStringList{"changed_LastConnectionError()", "ApplyNetworkSettings(true,false,false)"};
    QTest::newRow("name with digits") << QByteArray("ASRServerHost") << "3asr.12"
                                      << QStringList{"BalancerConnection/Ip=3asr.12"}
                                      << QStringList{"changed_LastConnectionError()", "ApplyNetworkSettings(true,false,false)"};
    // The ends of the range are valid.
    QTest::newRow("server port") << QByteArray("ASRServerPort") << "65535"
                                 << QStringList{"BalancerConnection/Port=65535"}
                                 << QStringList{"changed_LastConnectionError()", "ApplyNetworkSettings(true,false,false)"};
    QTest::newRow("server REST port") << QByteArray("ASRServerRestPort") << "40000"
                                      << QStringList{"BalancerConnection/RestPort=40000"}
                                      << QStringList{"ApplyNetworkSettings(true,false,true)"};
    QTest::newRow("form API port") << QByteArray("FormAPIPort") << "1" << QStringList{"FormApiServer/Port=1"}
                                   << QStringList{"ApplyNetworkSettings(false,true,false)"};
    QTest::newRow("proxy port") << QByteArray("RestProxyPort") << "39300" << QStringList{"FormApiServer/RestPort=39300"}
                                << QStringList{"ApplyNetworkSettings(false,false,true)"};
}

void TestNetworkSettingsViewModel::applyRoundTrip()
{
    QFETCH(QByteArray, edited);
    QFETCH(QString, text);

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
    QTEST(recorder.take(), "signalsEmitted");
    QTEST(before.changesSince(), "keys");

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
    QTest::newRow("slash inside host") << QByteArray("ASRServerHost") << "asr/local" << HostError;
    // Numbers the resolver would read as another address (65536 as 0.1.0.0).
    for (const char* number : {"65536", " 65536 ", "10.1", "10.0.0.1.5", "256.0.0.1", "010.0.0.1", "0x7f000001", "127.1.",
                                "0x7f.1"})
        QTest::newRow(qPrintable(QStringLiteral("numeric host '%1'").arg(QLatin1String(number))))
            << QByteArray("ASRServerHost") << QString::fromLatin1(number) << HostError;
    QTest::newRow("port 0") << QByteArray("ASRServerPort") << "0" << PortError;
    QTest::newRow("port 65536") << QByteArray("ASRServerRestPort") << "65536" << PortError;
    QTest::newRow("port -1") << QByteArray("FormAPIPort") << "-1" << PortError;
    QTest::newRow("port not a number") << QByteArray("RestProxyPort") << "80x" << PortError;
}

void TestNetworkSettingsViewModel::invalidFieldBlocksApply()
{
    QFETCH(QByteArray, edited);
    QFETCH(QString, text);

    NetworkSettingsViewModel page;
    page.onLoad();
    field(page, edited)->set_Text(text);
    QTEST(field(page, edited)->get_Error(), "error");
    QSignalSpy failed(field(page, edited), &ValidatableText::validateFailed);
    QSignalSpy applied(&page, &NetworkSettingsViewModel::ApplyNetworkSettings);
    const SettingsSnapshot before;
    QVERIFY(!page.applyCommand());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(applied.count(), 0);
    QCOMPARE(before.changesSince(), QStringList());
}

void TestNetworkSettingsViewModel::connectionErrorFollowsState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<QString>("shown");

    QTest::newRow("failure") << 3 << "Сервер недоступен"
                             << QStringList{"changed_LastConnectionError(Сервер недоступен)"} << "Сервер недоступен";
    QTest::newRow("a state without a message keeps the error") << 2 << "" << QStringList() << "Старая ошибка";
    // Connected again: the old error goes, even when the report carries a message.
    QTest::newRow("ready") << 14 << "" << QStringList{"changed_LastConnectionError()"} << "";
    QTest::newRow("ready with a message")
        << 14 << "Подключено" << QStringList{"changed_LastConnectionError(Подключено)", "changed_LastConnectionError()"}
        << "";
}

void TestNetworkSettingsViewModel::connectionErrorFollowsState()
{
    QFETCH(int, state);
    QFETCH(QString, message);

    NetworkSettingsViewModel page;
    page.onConnectionStateChanged(report(3, QStringLiteral("Старая ошибка")));
    SignalRecorder recorder(&page);
    page.onConnectionStateChanged(report(state, message));
    QTEST(recorder.take(), "emitted");
    QTEST(page.get_LastConnectionError(), "shown");
}

QTEST_GUILESS_MAIN(TestNetworkSettingsViewModel)
#include "TestNetworkSettingsViewModel.moc"
