#include "AsrManager.h"
#include "ClientInfoSettings.h"
#include "LaunchManager.h"
#include "LaunchSettings.h"
#include "SentFrames.h"
#include "TestHome.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QRegularExpression>

namespace {
void storeLaunch(bool global, bool activation, bool deactivation)
{
    LaunchSettings settings;
    settings.GlobalEnableVAC = global;
    settings.VoiceActivationEnabled = activation;
    settings.VoiceDeactivationEnabled = deactivation;
    settings.sync();
}

QStringList ids(const LaunchManager& launch)
{
    QStringList result;
    for (const CommandInfo& command : launch.executableCommands())
        result.append(command.id());
    return result;
}

ConnectionStateInfo ready()
{
    ConnectionStateInfo info;
    info.setState(14);
    return info;
}
} // namespace

class TestLaunchManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void commandsFollowSettings_data();
    void commandsFollowSettings();
    void missingDesktopIdIsCreatedOnce();
    void deactivationWhileDictatingStops();
    void refreshEntersIdleModeUnlessDictating();
};

void TestLaunchManager::initTestCase()
{
    TestHome::useApplicationIdentity();
}

void TestLaunchManager::init()
{
    TestHome::wipe();
    ClientInfoSettings identity;
    identity.DesktopId = QStringLiteral("DESK");
    identity.sync();
}

void TestLaunchManager::commandsFollowSettings_data()
{
    QTest::addColumn<bool>("global");
    QTest::addColumn<bool>("activation");
    QTest::addColumn<bool>("deactivation");
    QTest::addColumn<QStringList>("expectedIds");
    QTest::addColumn<bool>("storedActivation");

    QTest::newRow("both on") << true << true << true << QStringList{"vac_DESK", "vdc_DESK"} << true;
    QTest::newRow("only stop") << true << false << true << QStringList{"vdc_DESK"} << false;
    QTest::newRow("both off") << true << false << false << QStringList{} << false;
    QTest::newRow("globally disabled") << false << true << true << QStringList{} << false;
}

void TestLaunchManager::commandsFollowSettings()
{
    QFETCH(bool, global);
    QFETCH(bool, activation);
    QFETCH(bool, deactivation);
    storeLaunch(global, activation, deactivation);

    WebSocketClient client;
    AsrManager asr(&client);
    LaunchManager launch(&asr);
    QTEST(ids(launch), "expectedIds");
    QTEST(bool(LaunchSettings().VoiceActivationEnabled), "storedActivation");
    QTEST(asr.getIsVoiceActivationEnabled(), "storedActivation");
    for (const CommandInfo& command : launch.executableCommands()) {
        const bool start = command.id().startsWith(QLatin1String("vac_"));
        QCOMPARE(command.type(), start ? CommandTypeActivation : CommandTypeDeactivation);
        QCOMPARE(command.pattern(), start ? QStringLiteral("Начать распознавание")
                                          : QStringLiteral("Закончить распознавание"));
    }
}

void TestLaunchManager::missingDesktopIdIsCreatedOnce()
{
    ClientInfoSettings identity;
    identity.DesktopId = QString();
    identity.sync();
    storeLaunch(true, true, true);

    WebSocketClient client;
    AsrManager asr(&client);
    LaunchManager launch(&asr);
    const QStringList commandIds = ids(launch);
    QCOMPARE(commandIds.size(), 2);
    const QString id = commandIds.first().mid(4);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")).match(id).hasMatch());
    QCOMPARE(commandIds.last(), QStringLiteral("vdc_") + id);
    QCOMPARE(QString(ClientInfoSettings().DesktopId), id);
}

void TestLaunchManager::deactivationWhileDictatingStops()
{
    storeLaunch(true, true, true);
    WebSocketClient client;
    AsrManager asr(&client);
    LaunchManager launch(&asr);
    asr.connectionStateChanged(ready());
    const RecognitionMode text = RecognitionModeNamespace::Text;
    asr.getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QString());
    SentFrames sent(&client);

    CommandInfo stop;
    stop.setId(QStringLiteral("vdc_DESK"));
    QCOMPARE(launch.executeCommand(stop), QString());
    QCOMPARE(sent.types(), QList<int>{1});
    QCOMPARE(sent.dataOfType(1).first().toObject().value("Type"), QJsonValue(1));

    CommandInfo start;
    start.setId(QStringLiteral("vac_DESK"));
    QCOMPARE(launch.executeCommand(start), QString());
    QCOMPARE(sent.dataOfType(1).last().toObject().value("Type"), QJsonValue(QJsonValue::Null));
}

void TestLaunchManager::refreshEntersIdleModeUnlessDictating()
{
    storeLaunch(true, false, false);
    WebSocketClient client;
    AsrManager asr(&client);
    LaunchManager launch(&asr);
    SentFrames sent(&client);

    launch.onCommandsRefreshed();
    QCOMPARE(sent.dataOfType(1).size(), 1);
    QCOMPARE(sent.dataOfType(1).first().toObject().value("Type"), QJsonValue(0));

    const RecognitionMode text = RecognitionModeNamespace::Text;
    asr.getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QString());
    launch.onCommandsRefreshed();
    QCOMPARE(sent.dataOfType(1).size(), 1);
}

QTEST_GUILESS_MAIN(TestLaunchManager)
#include "TestLaunchManager.moc"
