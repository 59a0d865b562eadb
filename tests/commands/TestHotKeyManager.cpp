#include "GlobalHotkey.h"
#include "HotkeyTestHelpers.h"
#include "TestHome.h"
#include "XHotKeyManager.h"

#include <QtTest>

namespace {
// Feeds "ctrl+ ctrl- other+ wait300 ..." to the manager: + is key-down, - key-up, other is a key not watched.
void feed(HotKeyManager& manager, const QString& events)
{
    const QHash<QString, int> keys{{QStringLiteral("ctrl"), Qt::Key_Control},
                                   {QStringLiteral("caps"), Qt::Key_CapsLock},
                                   {QStringLiteral("pause"), Qt::Key_Pause},
                                   {QStringLiteral("other"), -1}};
    for (const QString& event : events.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (event.startsWith(QLatin1String("wait"))) {
            QTest::qWait(event.mid(4).toInt()); // the time between presses is what is tested
            continue;
        }
        manager.checkHotkeys(event.endsWith(QLatin1Char('-')), keys.value(event.chopped(1)));
    }
}
} // namespace

// The hotkey rules, fed directly; without a display the key listener stays idle.
class TestHotKeyManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void hotkeyRules_data();
    void hotkeyRules();
    void pushToTalkKeyHeldAcrossSettingsChange();
    void stoppingTheListenerEndsPushToTalk();
};

void TestHotKeyManager::initTestCase()
{
    TestHome::wipe();
    TestHome::useApplicationIdentity();
    qunsetenv("DISPLAY");
}

void TestHotKeyManager::hotkeyRules_data()
{
    QTest::addColumn<bool>("useHotkey");
    QTest::addColumn<QString>("hotKey");
    QTest::addColumn<QString>("p2tKey");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QStringList>("expected");

    const QString doubleCtrl = QStringLiteral("DoubleCtrl");
    const QString ctrl = QStringLiteral("Ctrl");
    const QStringList toggled{QStringLiteral("0/0/0")};
    QTest::newRow("nothing before the second release")
        << true << doubleCtrl << ctrl << "0/0" << "ctrl+ ctrl- ctrl+" << QStringList{};
    QTest::newRow("double ctrl") << true << doubleCtrl << ctrl << "0/0" << "ctrl+ ctrl- ctrl+ ctrl-" << toggled;
    QTest::newRow("held ctrl counts once") << true << doubleCtrl << ctrl << "0/0" << "ctrl+ ctrl+ ctrl+ ctrl-"
                                           << QStringList{};
    QTest::newRow("other key between resets")
        << true << doubleCtrl << ctrl << "0/0" << "ctrl+ ctrl- other+ other- ctrl+ ctrl-" << QStringList{};
    QTest::newRow("broken chord then double")
        << true << doubleCtrl << ctrl << "0/0" << "ctrl+ other- ctrl+ ctrl- ctrl+ ctrl-" << toggled;
    QTest::newRow("slow second press") << true << doubleCtrl << ctrl << "0/0" << "ctrl+ ctrl- wait320 ctrl+ ctrl-"
                                       << QStringList{};
    QTest::newRow("slow press starts a new pair")
        << true << doubleCtrl << ctrl << "0/0" << "ctrl+ ctrl- wait320 ctrl+ ctrl- ctrl+ ctrl-" << toggled;
    QTest::newRow("triple press fires once")
        << true << doubleCtrl << ctrl << "0/0" << "ctrl+ ctrl- ctrl+ ctrl- ctrl+ ctrl-" << toggled;
    QTest::newRow("unknown hotkey name") << true << "TripleCtrl" << ctrl << "0/0" << "ctrl+ ctrl- ctrl+ ctrl-"
                                         << toggled;
    QTest::newRow("push to talk on ctrl")
        << false << doubleCtrl << ctrl << "1/0" << "ctrl+ ctrl+ ctrl-"
        << QStringList{QStringLiteral("1/0/1"), QStringLiteral("1/0/2")};
    QTest::newRow("push-to-talk names are case-sensitive")
        << false << doubleCtrl << "pause" << "1/0" << "pause+ pause- ctrl+ ctrl-"
        << QStringList{QStringLiteral("1/0/1"), QStringLiteral("1/0/2")};
}

void TestHotKeyManager::hotkeyRules()
{
    QFETCH(bool, useHotkey);
    QFETCH(QString, hotKey);
    QFETCH(QString, p2tKey);
    QFETCH(QString, mode);
    QFETCH(QString, events);
    QFETCH(QStringList, expected);

    writeHotkeySettings(useHotkey, hotKey, p2tKey);
    XHotKeyManager manager;
    QVERIFY(!manager.IsInitialized());
    QSignalSpy modes(&manager, &HotKeyManager::activationModeChanged);
    manager.applyHotkeySettings();
    QCOMPARE(modes.count(), 1);
    QCOMPARE(QStringLiteral("%1/%2").arg(modes[0][0].toInt()).arg(modes[0][1].toInt()), mode);

    QSignalSpy spy(&manager, &HotKeyManager::activated);
    feed(manager, events);
    QCOMPARE(activations(spy), expected);
}

void TestHotKeyManager::pushToTalkKeyHeldAcrossSettingsChange()
{
    writeHotkeySettings(false, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    XHotKeyManager manager;
    QSignalSpy spy(&manager, &HotKeyManager::activated);
    QVERIFY(manager.checkHotkeys(false, Qt::Key_Control));
    // The listener restarts; the release of the held key is never reported.
    manager.onSettingsChanged();
    spy.clear();
    QVERIFY(manager.checkHotkeys(false, Qt::Key_Control));
    QCOMPARE(activations(spy), QStringList{QStringLiteral("1/0/1")});
}

void TestHotKeyManager::stoppingTheListenerEndsPushToTalk()
{
    writeHotkeySettings(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    XHotKeyManager manager;
    QSignalSpy spy(&manager, &HotKeyManager::activated);
    manager.stopKeyListener();
    QCOMPARE(activations(spy), QStringList{QStringLiteral("1/-1/2")});
    manager.keyboardHookUnreg();
    QVERIFY(!manager.IsInitialized());
    QVERIFY(!manager.checkHotkeys(true, Qt::Key_Control));
}

QTEST_GUILESS_MAIN(TestHotKeyManager)
#include "TestHotKeyManager.moc"
