#include "AppVariables.h"
#include "AsrManager.h"
#include "ClientInfoSettings.h"
#include "ExecutableCommandsManager.h"
#include "ExecutableCommandsSource.h"
#include "FileSizeLimit.h"
#include "LaunchManager.h"
#include "LaunchSettings.h"
#include "LocalKivaroManager.h"
#include "SentFrames.h"
#include "TestHome.h"
#include "UserCommandFixtures.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QJsonArray>

namespace {
// A source that logs what it was asked to do.
class RecordingSource : public ExecutableCommandsSource
{
public:
    RecordingSource(const QString& name, QStringList* log)
        : name(name)
        , log(log)
    {
    }

    void setIds(const QStringList& ids)
    {
        clearCommands();
        for (const QString& id : ids) {
            CommandInfo command;
            command.setId(id);
            commands.append(command);
        }
        emit commandsChanged();
    }

    QString executeCommand(CommandInfo) const override { return name; }

    void onCommandsRefreshed() const override { log->append(name + QStringLiteral(" refreshed")); }

private:
    QString name;
    QStringList* log;
};

// The array `field` of the last frame of this type, each entry or its value of `key`.
QStringList lastList(const SentFrames& sent, int type, const QString& field, const QString& key = QString())
{
    const QList<QJsonValue> frames = sent.dataOfType(type);
    QStringList values;
    for (const QJsonValue& value : frames.isEmpty() ? QJsonArray{"<nothing sent>"} : frames.last().toObject().value(field).toArray())
        values << (key.isEmpty() || value.isString() ? value.toString() : value.toObject().value(key).toString());
    return values;
}

} // namespace

// What the client registers with the server: its commands and its word list.
class TestRegisteredLists : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::useApplicationIdentity(); }
    void init()
    {
        TestHome::wipe();
        ClientInfoSettings identity;
        identity.DesktopId = QStringLiteral("DESK");
        identity.sync();
    }
    void commandsInSourceOrder();
    void launchCommands_data();
    void launchCommands();
    void wordListSurvivesFailedWrite();
};

void TestRegisteredLists::commandsInSourceOrder()
{
    WebSocketClient client;
    SentFrames sent(&client);
    QStringList log;
    RecordingSource first(QStringLiteral("first"), &log);
    RecordingSource second(QStringLiteral("second"), &log);
    first.setIds({"same"});
    second.setIds({"same", "own"});

    ExecutableCommandsManager registry({&first, &second}, &client);
    QCOMPARE(sent.types(), QList<int>{11});
    QCOMPARE(lastList(sent, 11, "Commands", "Id"), (QStringList{"same", "same", "own"}));
    QCOMPARE(registry.executeCommand(QStringLiteral("same")), QStringLiteral("first"));
    QCOMPARE(registry.executeCommand(QStringLiteral("own")), QStringLiteral("second"));
    QCOMPARE(registry.executeCommand(QStringLiteral("missing")), QString());
    QCOMPARE(log, (QStringList{"first refreshed", "second refreshed"}));

    // A change of one source sends the whole list again.
    first.setIds({"a"});
    QCOMPARE(sent.types(), (QList<int>{11, 11}));
    QCOMPARE(lastList(sent, 11, "Commands", "Id"), (QStringList{"a", "same", "own"}));
}

void TestRegisteredLists::launchCommands_data()
{
    QTest::addColumn<bool>("global");
    QTest::addColumn<bool>("activation");
    QTest::addColumn<QStringList>("expectedIds");
    // The modes asked for when each command is spoken while dictating; -1: none named, the server chooses.
    QTest::addColumn<QStringList>("modes");

    // Start lets the server choose; stop falls back to the idle mode.
    QTest::newRow("both on") << true << true << QStringList{"vac_DESK", "vdc_DESK"} << QStringList{"-1", "1"};
    QTest::newRow("only stop") << true << false << QStringList{"vdc_DESK"} << QStringList{"0"};
    QTest::newRow("globally disabled") << false << true << QStringList{} << QStringList{};
}

void TestRegisteredLists::launchCommands()
{
    QFETCH(bool, global);
    QFETCH(bool, activation);
    QFETCH(QStringList, expectedIds);
    LaunchSettings settings;
    settings.GlobalEnableVAC = global;
    settings.VoiceActivationEnabled = activation;
    settings.VoiceDeactivationEnabled = true;
    settings.sync();

    WebSocketClient client;
    AsrManager asr(&client);
    LaunchManager launch(&asr);
    ExecutableCommandsManager registry({&launch}, &client);
    SentFrames sent(&client);
    registry.refreshCommands();
    QCOMPARE(lastList(sent, 11, "Commands", "Id"), expectedIds);
    QCOMPARE(asr.getIsVoiceActivationEnabled(), global && activation);
    for (const CommandInfo& command : launch.executableCommands()) {
        QCOMPARE(command.type() == CommandTypeActivation, command.id().startsWith(QLatin1String("vac_")));
        QCOMPARE(command.pattern(), QString::fromUtf8(command.type() == CommandTypeActivation ? "Начать распознавание"
                                                                                               : "Закончить распознавание"));
    }

    ConnectionStateInfo ready;
    ready.setState(14);
    asr.connectionStateChanged(ready);
    const RecognitionMode text = RecognitionModeNamespace::Text;
    asr.getTargetModeInfo()->BackupTargetMode(&text, nullptr, nullptr, QString());
    sent.clear();
    for (const QString& id : expectedIds)
        QCOMPARE(registry.executeCommand(id), QString());
    QStringList modes;
    for (const QJsonValue& data : sent.dataOfType(1))
        modes << QString::number(data.toObject().value(QStringLiteral("Type")).toInt(-1));
    QTEST(modes, "modes");
}

void TestRegisteredLists::wordListSurvivesFailedWrite()
{
    WebSocketClient client;
    SentFrames sent(&client);
    const QString path = AppVariables::sm_stdVars.substitute(QStringLiteral("${AppLocalDataLocation}/Kivaro/KivaroWords.txt"));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(UserCommandFixtures::writeFile(path, "альфа\n\n beta \n"));

    LocalKivaroManager words(&client);
    const QStringList old{"альфа", "", " beta "};
    QCOMPARE(words.GetWords(), old);
    words.SendKivaroInfo();
    QCOMPARE(lastList(sent, LocalKivaroManager::MessageType, QStringLiteral("Words")), old);

    QStringList many;
    for (int i = 0; i < 200; ++i)
        many << QStringLiteral("word%1").arg(i);
    bool saved = true;
    {
        FileSizeLimit limit(64);
        saved = words.UpdateWords(many);
    }
    QVERIFY(!saved);
    QCOMPARE(LocalKivaroManager(&client).GetWords(), old);
    // Kept in memory and sent all the same.
    QCOMPARE(words.GetWords(), many);
    QCOMPARE(lastList(sent, LocalKivaroManager::MessageType, QStringLiteral("Words")), many);

    QVERIFY(words.UpdateWords({"один"}));
    QCOMPARE(LocalKivaroManager(&client).GetWords(), QStringList{"один"});
}

QTEST_GUILESS_MAIN(TestRegisteredLists)
#include "TestRegisteredLists.moc"
