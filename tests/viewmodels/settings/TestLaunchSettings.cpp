#include "ConveterException.h"
#include "HotkeySettings.h"
#include "LaunchSettings.h"
#include "LaunchSettingsViewModel.h"
#include "SettingsSnapshot.h"
#include "SignalRecorder.h"
#include "TestHome.h"

#include <QFile>
#include <QStandardPaths>
#include <QtTest>

using Switches = QList<QPair<bool, bool>>;

namespace {
QString installPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/install");
}

QString runLog()
{
    return TestHome::path() + QStringLiteral("/install-runs.txt");
}

// A stand-in "install" beside the test binary that notes each argument, then
// does `behaviour`; an empty behaviour removes it.
void writeInstall(const QString& behaviour)
{
    QFile::remove(installPath());
    if (behaviour.isEmpty())
        return;
    QFile script(installPath());
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\n%2\n").arg(runLog(), behaviour).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
}

QStringList runs()
{
    QFile log(runLog());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void storeLaunch(const QStringList& keys)
{
    LaunchSettings settings;
    for (const QString& key : keys)
        settings.setValue(key.section(QLatin1Char('='), 0, 0), key.section(QLatin1Char('='), 1) == QLatin1String("true"));
    settings.sync();
}

void edit(LaunchSettingsViewModel& page, const QStringList& edits)
{
    for (const QString& entry : edits) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QString value = entry.section(QLatin1Char('='), 1);
        if (name == QLatin1String("HotKeys"))
            page.hotKeyChoices()->set_CurrentIndex(value.toInt());
        else if (name == QLatin1String("Push2TalkKeys"))
            page.push2TalkChoices()->set_CurrentIndex(value.toInt());
        else if (value == QLatin1String("true") || value == QLatin1String("false"))
            QVERIFY(page.setProperty(qPrintable(name), value == QLatin1String("true")));
        else
            QVERIFY(page.setProperty(qPrintable(name), value));
    }
}
} // namespace

// The launch page on a sandboxed settings file, with a stand-in "install"
// program beside the test binary.
class TestLaunchSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::useApplicationIdentity(); }
    void init() { TestHome::wipe(); }
    void cleanup() { QFile::remove(installPath()); }
    void normalizedPhrases_data();
    void normalizedPhrases();
    void autostartThroughInstall_data();
    void autostartThroughInstall();
    void autostartWithTheShippedHelper();
    void applyStoresWhatChanged_data();
    void applyStoresWhatChanged();
    void noKeyChosenStoresNothing();
    void featureSwitch_data();
    void featureSwitch();
};

void TestLaunchSettings::normalizedPhrases_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("punctuation only") << " ,.!? " << "";
    QTest::newRow("digits of any script stay") << "Шаг 2-й ٣" << "Шаг 2 й ٣";
    QTest::newRow("letters beyond the basic plane") << "Ünï𝐀b ½" << "Ünï𝐀b";
}

void TestLaunchSettings::normalizedPhrases()
{
    QFETCH(QString, typed);
    QTEST(LaunchSettingsViewModel::normalizeCommand(typed), "stored");
}

void TestLaunchSettings::autostartThroughInstall_data()
{
    QTest::addColumn<QString>("behaviour");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QStringList>("expectedRuns");
    QTest::addColumn<QString>("warning");

    QTest::newRow("absent: disabled and off") << "" << false << QStringList() << "no executable install";
    QTest::newRow("starts at login: switched off")
        << "exit 0" << true << QStringList{"query", "noautorun"} << "";
    QTest::newRow("off: switched on") << "[ \"$1\" = query ] && exit 1; exit 0" << false
                                      << QStringList{"query", "autorun"} << "";
    QTest::newRow("failing switch is logged") << "[ \"$1\" = query ] && exit 1; exit 3" << false
                                              << QStringList{"query", "autorun"} << "could not be switched on";
    QTest::newRow("hanging program is stopped") << "exec sleep 20" << false
                                                << QStringList{"query", "autorun"} << "did not end within 300 ms";
}

void TestLaunchSettings::autostartThroughInstall()
{
    QFETCH(QString, behaviour);
    QFETCH(bool, loaded);
    QFETCH(QString, warning);
    writeInstall(behaviour);
    LaunchSettingsViewModel page;
    page.setInstallTimeout(300);

    page.Load();
    QCOMPARE(page.get_IsAutoStartEnabled(), !behaviour.isEmpty());
    QCOMPARE(page.get_IsAutoStart(), loaded);
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    page.set_IsAutoStart(!loaded);
    page.Apply();
    QTEST(runs(), "expectedRuns");
}

// Tick, save: the desktop starts the client at login; untick, save: no longer.
void TestLaunchSettings::autostartWithTheShippedHelper()
{
    QVERIFY(QFile::copy(QStringLiteral(SCRIVORA_INSTALL_HELPER), installPath()));
    const QString entry = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/scrivora.desktop");
    for (const bool on : {true, false}) {
        LaunchSettingsViewModel page;
        page.Load();
        QVERIFY(page.get_IsAutoStartEnabled());
        QCOMPARE(page.get_IsAutoStart(), !on);
        page.set_IsAutoStart(on);
        page.Apply();
        QCOMPARE(QFile::exists(entry), on);
    }
    LaunchSettingsViewModel page;
    page.Load();
    QVERIFY(!page.get_IsAutoStart());
}

void TestLaunchSettings::applyStoresWhatChanged_data()
{
    QTest::addColumn<bool>("voiceShown");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("emitted");

    QTest::newRow("nothing") << false << QStringList() << QStringList() << QStringList();
    QTest::newRow("push-to-talk on Pause")
        << false << QStringList{"IsHotKey=false", "IsPushToTalk=true", "Push2TalkKeys=1"}
        << QStringList{"HotKeys/P2TKey=Pause", "HotKeys/UseHotkey=false"}
        << QStringList{"activationChanged()", "hotKeysChanged()"};
    QTest::newRow("voice settings hidden: untouched")
        << false << QStringList{"IsVoiceActivationEnabled=true", "VoiceActivationCommand=Старт"} << QStringList()
        << QStringList();
    QTest::newRow("voice phrase stored normalised")
        << true << QStringList{"IsVoiceActivationEnabled=true", "VoiceActivationCommand=  Старт,  диктовки! "}
        << QStringList{"Launch/VoiceActivationCommand=Старт диктовки", "Launch/VoiceActivationEnabled=true",
                       "Launch/VoiceActivationEnabledBalancer=true"}
        << QStringList{"activationChanged()"};
}

void TestLaunchSettings::applyStoresWhatChanged()
{
    QFETCH(bool, voiceShown);
    QFETCH(QStringList, edits);
    if (voiceShown)
        storeLaunch({QStringLiteral("GlobalEnableVAC=true")});
    LaunchSettingsViewModel page;
    page.Load();
    edit(page, edits);

    SignalRecorder recorder(&page);
    const SettingsSnapshot before;
    page.Apply();
    QTEST(before.changesSince(), "changes");
    QTEST(recorder.take(), "emitted");
    // The view keeps the phrase as typed.
    for (const QString& entry : edits) {
        if (entry.startsWith(QLatin1String("VoiceActivationCommand=")))
            QCOMPARE(page.get_VoiceActivationCommand(), entry.section(QLatin1Char('='), 1));
    }

    LaunchSettingsViewModel reloaded;
    reloaded.Load();
    QCOMPARE(reloaded.get_IsPushToTalk(), !reloaded.get_IsHotKey());
    QCOMPARE(reloaded.get_IsHotKey(), page.get_IsHotKey());
    QCOMPARE(reloaded.hotKeyChoices()->get_CurrentIndex(), page.hotKeyChoices()->get_CurrentIndex());
    QCOMPARE(reloaded.push2TalkChoices()->get_CurrentIndex(), page.push2TalkChoices()->get_CurrentIndex());
}

void TestLaunchSettings::noKeyChosenStoresNothing()
{
    {
        HotkeySettings settings;
        settings.HotKey = QStringLiteral("NoSuchKey");
        settings.sync();
    }
    LaunchSettingsViewModel page;
    page.Load();
    // A stored name that means nothing reads as the first choice.
    QCOMPARE(page.hotKeyChoices()->get_CurrentIndex(), 0);
    page.push2TalkChoices()->set_CurrentIndex(-1);
    page.set_IsWriteToControl(true);
    const SettingsSnapshot before;
    QVERIFY_EXCEPTION_THROWN(page.Apply(), ConveterException);
    QCOMPARE(before.changesSince(), QStringList());
}

void TestLaunchSettings::featureSwitch_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<Switches>("switches");
    QTest::addColumn<bool>("activation");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QStringList>("notices");

    const QStringList on{"GlobalEnableVAC=true", "VoiceActivationEnabled=true", "VoiceActivationEnabledBalancer=true"};
    QTest::newRow("balancer switches off: the kept copy goes too")
        << on << Switches{{false, true}} << false
        << QStringList{"Launch/VoiceActivationEnabled=false", "Launch/VoiceActivationEnabledBalancer=false"}
        << QStringList{"vacSettingsVisibleChanged(false)"};
    QTest::newRow("local switch-off keeps the copy; the balancer's switch-on restores it")
        << QStringList{"VoiceActivationEnabled=true", "VoiceActivationEnabledBalancer=true"}
        << Switches{{true, false}, {true, true}} << true << QStringList()
        << QStringList{"vacSettingsVisibleChanged(true)"};
}

void TestLaunchSettings::featureSwitch()
{
    QFETCH(QStringList, stored);
    QFETCH(Switches, switches);
    storeLaunch(stored);
    LaunchSettingsViewModel page;
    page.Load();
    QSignalSpy notice(&page, &LaunchSettingsViewModel::vacSettingsVisibleChanged);
    QSignalSpy activationChanged(&page, &LaunchSettingsViewModel::activationChanged);

    const SettingsSnapshot before;
    for (const auto& change : switches)
        page.VACSettingsVisibleChanged(change.first, change.second);
    QCOMPARE(page.get_IsVACSettingsVisible(), switches.constLast().first && switches.constLast().second);
    QTEST(page.get_IsVoiceActivationEnabled(), "activation");
    QTEST(before.changesSince(), "changes");
    QStringList emitted;
    for (const QList<QVariant>& args : qAsConst(notice))
        emitted << QStringLiteral("vacSettingsVisibleChanged(%1)").arg(args.at(0).toBool() ? "true" : "false");
    QTEST(emitted, "notices");
    QCOMPARE(activationChanged.count(), switches.size());
}

QTEST_MAIN(TestLaunchSettings)
#include "TestLaunchSettings.moc"
