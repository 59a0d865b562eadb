#include "CancellationCondition.h"
#include "ChildProcess.h"
#include "HotkeySettings.h"
#include "KeyboardGrab.h"
#include "KeyboardListener.h"
#include "TestHome.h"
#include "XHotKeyConverter.h"
#include "XHotKeyManager.h"
#include "XTestKeyboard.h"

#include <QDir>
#include <QKeyEvent>
#include <QThread>
#include <QtTest>

#include <memory>
#include <thread>

namespace {
void writeHotkeySettings(bool useHotkey, const QString& hotKey, const QString& p2tKey)
{
    HotkeySettings settings;
    settings.UseHotkey = useHotkey;
    settings.HotKey = hotKey;
    settings.P2TKey = p2tKey;
    settings.sync();
}

// The activations as "class/id/pressType".
QStringList fired(const QSignalSpy& spy)
{
    QStringList result;
    for (const QList<QVariant>& call : spy)
        result << QStringLiteral("%1/%2/%3").arg(call[0].toInt()).arg(call[1].toInt()).arg(call[2].toInt());
    return result;
}

// The /proc folder of this process's thread with that name (names are cut to 15 bytes).
QString threadFolder(const QString& name)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && QString::fromLatin1(comm.readAll()).trimmed() == name)
            return tasks.filePath(task);
    }
    return QString();
}

// How often the thread went to sleep and was woken.
long wakeUps(const QString& folder)
{
    QFile status(folder + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:"))
            return line.mid(24).trimmed().toLong();
    }
    return -1;
}

} // namespace

// XTest presses on the test's display reach the raw-key listener and the hotkey manager.
class TestHotKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::wipe();
        TestHome::useApplicationIdentity();
        QVERIFY2(keyboard.isOpen(), "these tests need an X display");
        keyboard.setLayout(QStringLiteral("us"));
    }
    void cleanup()
    {
        counter.reset();
        manager.reset();
        keyboard.releaseAll();
    }
    void activations_data();
    void activations();
    void doublePressWindow_data();
    void doublePressWindow();
    void queuedPresses_data();
    void queuedPresses();
    void keysSeenWhileAnotherClientGrabs();
    void listenerSteps();
    void idleListenerSleeps();
    void settingsSwitchModes();
    void listenerRestartAndRemoval();
    void chords_data();
    void chords();
    void chordFromEvent();
    void chordsFollowLayoutChange();
    void withoutDisplay();

private:
    // "Control_L+ c+ c-": + down, - up.
    void play(const QString& keys);
    void startManager(bool useHotkey, const QString& hotKey, const QString& p2tKey);

    XTestKeyboard keyboard;
    std::unique_ptr<XHotKeyManager> manager;
    // Counts listener reports in this thread: a report counted was seen by the manager too.
    std::unique_ptr<QObject> counter;
    int reports = 0;
};

void TestHotKeys::play(const QString& keys)
{
    const QStringList steps = keys.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QByteArrayList names;
    for (const QString& key : steps)
        names << key.chopped(1).toLatin1();
    QVector<QPair<const char*, bool>> sequence;
    for (int i = 0; i < steps.size(); ++i)
        sequence.append({names.at(i).constData(), steps.at(i).endsWith(QLatin1Char('+'))});
    keyboard.play(sequence);
}

void TestHotKeys::startManager(bool useHotkey, const QString& hotKey, const QString& p2tKey)
{
    writeHotkeySettings(useHotkey, hotKey, p2tKey);
    manager.reset(new XHotKeyManager);
    QTRY_VERIFY_WITH_TIMEOUT(manager->IsInitialized(), TestHome::scaled(5000));
    counter.reset(new QObject);
    reports = 0;
    connect(manager->getListener(), &KeyboardListener::keyEventAction, counter.get(), [this] { ++reports; });
}

void TestHotKeys::activations_data()
{
    QTest::addColumn<bool>("useHotkey");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("expectedReports");
    QTest::addColumn<QStringList>("expected");

    const QString ctrlTap = QStringLiteral("Control_L+ Control_L- ");
    QTest::newRow("double ctrl") << true << "DoubleCtrl" << "Control_L+ Control_L- Control_R+ Control_R-" << 4
                                 << QStringList{"0/0/0"};
    QTest::newRow("triple press fires once") << true << "DoubleCtrl" << ctrlTap + ctrlTap + ctrlTap << 6
                                             << QStringList{"0/0/0"};
    QTest::newRow("other key between") << true << "DoubleCtrl" << ctrlTap + "a+ a- " + ctrlTap << 6 << QStringList{};
    QTest::newRow("chords do not count") << true << "DoubleCtrl" << "Control_L+ c+ c- Control_L- Control_R+ c+ c- Control_R-"
                                         << 4 << QStringList{};
    QTest::newRow("unknown hotkey name") << true << "TripleCtrl" << ctrlTap + ctrlTap << 4 << QStringList{"0/0/0"};
    QTest::newRow("chord in push-to-talk") << false << "Ctrl" << "Control_L+ c+ c- Control_L-" << 2
                                           << QStringList{"1/0/1", "1/0/2"};
    QTest::newRow("push-to-talk on pause") << false << "Pause" << "Pause+ Control_L+ Control_L- Pause-" << 2
                                           << QStringList{"1/1/1", "1/1/2"};
}

void TestHotKeys::activations()
{
    QFETCH(bool, useHotkey);
    QFETCH(QString, key);
    QFETCH(QString, keys);
    QFETCH(int, expectedReports);

    startManager(useHotkey, useHotkey ? key : QStringLiteral("DoubleCtrl"), useHotkey ? QStringLiteral("Ctrl") : key);
    QSignalSpy spy(manager.get(), &HotKeyManager::activated);
    play(keys);
    QTRY_COMPARE_WITH_TIMEOUT(reports, expectedReports, TestHome::scaled(5000));
    QTEST(fired(spy), "expected");
}

void TestHotKeys::doublePressWindow_data()
{
    QTest::addColumn<uint>("firstRelease");
    QTest::addColumn<uint>("secondRelease");
    QTest::addColumn<bool>("fires");
    QTest::newRow("250 ms apart") << 1000u << 1250u << true;
    QTest::newRow("251 ms apart") << 1000u << 1251u << false;
    QTest::newRow("across the wrap of the server clock") << 0xffffff80u << 0x50u << true;
    QTest::newRow("far apart across the wrap") << 0xffffff80u << 0x200u << false;
}

// The gap is the one between the X server times of the two releases, however
// late the events are handled (here: all at the same moment).
void TestHotKeys::doublePressWindow()
{
    QFETCH(uint, firstRelease);
    QFETCH(uint, secondRelease);
    QFETCH(bool, fires);
    startManager(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    const qint64 received = hotkeyClockUs();
    manager->checkHotkeys(false, Qt::Key_Control, firstRelease - 40, received);
    QVERIFY(!manager->checkHotkeys(true, Qt::Key_Control, firstRelease, received));
    manager->checkHotkeys(false, Qt::Key_Control, secondRelease - 40, received);
    QCOMPARE(manager->checkHotkeys(true, Qt::Key_Control, secondRelease, received), fires);
}

void TestHotKeys::queuedPresses_data()
{
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<int>("expectedReports");
    QTest::addColumn<QStringList>("expected");
    const QString tap = QStringLiteral("Control_L+ Control_L- ");
    QTest::newRow("two taps far apart") << QStringList{tap, tap} << 4 << QStringList{};
    QTest::newRow("one double press") << QStringList{tap + tap} << 4 << QStringList{"0/0/0"};
    QTest::newRow("two double presses") << QStringList{tap + tap, tap + tap} << 8 << QStringList{"0/0/0"};
}

// Keys pressed while the GUI thread is busy (this thread does not return to
// its event loop), groups 400 ms apart, are handled all at once afterwards:
// taps far apart make no double press, and they toggle once at most.
void TestHotKeys::queuedPresses()
{
    QFETCH(QStringList, groups);
    QFETCH(int, expectedReports);
    startManager(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    QSignalSpy spy(manager.get(), &HotKeyManager::activated);
    for (int i = 0; i < groups.size(); ++i) {
        if (i > 0)
            QThread::msleep(400);
        play(groups[i]);
    }
    // Still busy a while after the last press.
    QThread::msleep(50);
    QTRY_COMPARE_WITH_TIMEOUT(reports, expectedReports, TestHome::scaled(5000));
    QTEST(fired(spy), "expected");
}

void TestHotKeys::keysSeenWhileAnotherClientGrabs()
{
    startManager(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    QSignalSpy spy(manager.get(), &HotKeyManager::activated);
    KeyboardGrab grab;
    QVERIFY(grab.isHeld());
    play(QStringLiteral("Control_L+ Control_L- Control_L+ Control_L-"));
    QTRY_COMPARE_WITH_TIMEOUT(reports, 4, TestHome::scaled(5000));
    QCOMPARE(fired(spy), QStringList{"0/0/0"});
}

// The listener's own steps, run here: one that waits returns once stopped,
// and watched keys are found again after a keymap change.
void TestHotKeys::listenerSteps()
{
    const int leftCtrl = int(keyboard.keycodeOf("Control_L"));
    KeyboardListener listener;
    listener.AddKey(Qt::Key_CapsLock, 0);
    listener.initialize();
    QVERIFY(listener.IsInitialized());
    QCOMPARE(listener.getQtKey(leftCtrl), -1);
    const auto stopped = std::make_shared<CancellationCondition>();
    QTimer::singleShot(50, [stopped] { stopped->cancel(); });
    QElapsedTimer timer;
    timer.start();
    std::thread step([&] {
        for (int i = 0; i < 3; ++i)
            listener.repeatableWork(stopped.get());
    });
    QTRY_VERIFY_WITH_TIMEOUT(stopped->isCanceled(), TestHome::scaled(5000));
    step.join();
    QVERIFY2(timer.elapsed() < TestHome::scaled(2000), qPrintable(QString::number(timer.elapsed())));

    const auto condition = std::make_shared<CancellationCondition>();

    const auto setOptions = [](const QString& options) {
        return ChildProcess::execute(QStringLiteral("setxkbmap"), {"-layout", "us", "-option", "", "-option", options}) == 0;
    };
    // Caps Lock moves onto the left Ctrl key.
    QVERIFY(setOptions(QStringLiteral("ctrl:swapcaps")));
    timer.start();
    while (listener.getQtKey(leftCtrl) == -1 && timer.elapsed() < TestHome::scaled(5000))
        listener.repeatableWork(condition.get());
    const int moved = listener.getQtKey(leftCtrl);
    QVERIFY(setOptions(QString()));
    listener.cleanUp();
    QCOMPARE(moved, int(Qt::Key_CapsLock));
}

// An idle listener sleeps until a key or a stop comes, and still stops at once.
void TestHotKeys::idleListenerSleeps()
{
    startManager(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    const QString thread = threadFolder(QStringLiteral("KeyboardListene"));
    QVERIFY(!thread.isEmpty());
    QTest::qWait(100);
    const long before = wakeUps(thread);
    QTest::qWait(500);
    const long woken = wakeUps(thread) - before;
    QVERIFY2(woken <= 2, qPrintable(QStringLiteral("%1 wake-ups in 500 ms").arg(woken)));

    QElapsedTimer timer;
    timer.start();
    manager->stopKeyListener();
    QVERIFY2(timer.elapsed() < TestHome::scaled(1000), qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!manager->IsInitialized());
}

void TestHotKeys::settingsSwitchModes()
{
    startManager(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    QSignalSpy spy(manager.get(), &HotKeyManager::activated);
    QSignalSpy modes(manager.get(), &HotKeyManager::activationModeChanged);

    writeHotkeySettings(false, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    manager->onSettingsChanged();
    QCOMPARE(modes.count(), 1);
    QCOMPARE(modes[0][0].toInt(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(manager->IsInitialized(), TestHome::scaled(5000));
    play(QStringLiteral("Control_L+ Control_L-"));
    QTRY_COMPARE_WITH_TIMEOUT(reports, 2, TestHome::scaled(5000));
    // Stopping the old listener ends push-to-talk first.
    QCOMPARE(fired(spy), (QStringList{"1/-1/2", "1/0/1", "1/0/2"}));

    spy.clear();
    writeHotkeySettings(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    manager->onSettingsChanged();
    QTRY_VERIFY_WITH_TIMEOUT(manager->IsInitialized(), TestHome::scaled(5000));
    play(QStringLiteral("Control_L+ Control_L- Control_L+ Control_L-"));
    QTRY_COMPARE_WITH_TIMEOUT(reports, 6, TestHome::scaled(5000));
    QCOMPARE(fired(spy), (QStringList{"1/-1/2", "0/0/0"}));
}

void TestHotKeys::listenerRestartAndRemoval()
{
    writeHotkeySettings(false, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    manager.reset(new XHotKeyManager);
    QSignalSpy spy(manager.get(), &HotKeyManager::activated);
    QVERIFY(manager->checkHotkeys(false, Qt::Key_Control));
    // The listener restarts and never reports the release of the held key.
    manager->onSettingsChanged();
    spy.clear();
    QVERIFY(manager->checkHotkeys(false, Qt::Key_Control));
    QCOMPARE(fired(spy), QStringList{"1/0/1"});

    QTRY_VERIFY_WITH_TIMEOUT(manager->IsInitialized(), TestHome::scaled(5000));
    manager->keyboardHookUnreg();
    QVERIFY(!manager->IsInitialized());
    // Would reach the freed listener if the manager kept its pointer.
    manager->onSettingsChanged();
    QVERIFY(!manager->IsInitialized());
}

void TestHotKeys::chords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<uint>("modifiers");
    QTest::addColumn<QString>("printed");

    QTest::newRow("any case, any order") << "shift+CTRL+a" << QByteArray("a") << 0x05u << "Ctrl+Shift+a";
    QTest::newRow("all modifiers") << "Win+Shift+Alt+Ctrl+Home" << QByteArray("Home") << 0x4du << "Ctrl+Alt+Shift+Win+Home";
    QTest::newRow("keypad digit") << "KP_7" << QByteArray("KP_7") << 0x10u << "KP_7";
    QTest::newRow("key names are case-sensitive") << "Ctrl+HOME" << QByteArray() << 0x04u << "Ctrl";
}

void TestHotKeys::chords()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, key);
    QFETCH(uint, modifiers);
    QFETCH(QString, printed);

    XHotKeyConverter converter;
    const HotKeyInfo info = converter.ConvertFromString(text);
    QCOMPARE(info.keycode, key.isEmpty() ? 0u : keyboard.keycodeOf(key.constData()));
    QCOMPARE(info.modifiers, modifiers);
    QCOMPARE(converter.ConvertToString(info), printed);
    QCOMPARE(converter.ConvertFromString(printed), info);
}

void TestHotKeys::chordFromEvent()
{
    XHotKeyConverter converter;
    // Caps Lock 0x02, Num Lock 0x10 and Mod5 0x80 of the event are dropped.
    const unsigned a = keyboard.keycodeOf("a");
    const QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, a, 0x61, 0x01 | 0x02 | 0x04 | 0x10 | 0x80);
    QCOMPARE(converter.HotKeyFromEvent(&letter), (HotKeyInfo{a, 0x05}));
}

void TestHotKeys::chordsFollowLayoutChange()
{
    XHotKeyConverter converter;
    const unsigned usZ = converter.ConvertFromString(QStringLiteral("z")).keycode;
    QCOMPARE(keyboard.keysymAt(usZ), 0x7aul);
    // The German layout swaps Y and Z.
    QVERIFY(keyboard.setLayout(QStringLiteral("de")));
    const unsigned deZ = converter.ConvertFromString(QStringLiteral("z")).keycode;
    const QString printed = converter.ConvertToString(HotKeyInfo{usZ, 0});
    QVERIFY(keyboard.setLayout(QStringLiteral("us")));
    QVERIFY(deZ != usZ);
    QCOMPARE(printed, QStringLiteral("y"));
}

void TestHotKeys::withoutDisplay()
{
    const QByteArray saved = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QTest::ignoreMessage(QtWarningMsg, "XHotKeyConverter: cannot open the X display; key names cannot be resolved");
    XHotKeyConverter converter;
    KeyboardListener listener;
    listener.initialize();
    qputenv("DISPLAY", saved);

    QVERIFY(!listener.IsInitialized());
    QVERIFY(!converter.hasDisplay());
    QCOMPARE(converter.ConvertFromString(QStringLiteral("Ctrl+a")), (HotKeyInfo{0, 0x04}));
    QCOMPARE(converter.ConvertToString(HotKeyInfo{38, 0x04}), QStringLiteral("Ctrl+"));
}

QTEST_MAIN(TestHotKeys)
#include "TestHotKeys.moc"
