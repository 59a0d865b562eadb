#include "HotkeyTestHelpers.h"
#include "KeyboardListener.h"
#include "SubService.h"
#include "TestHome.h"
#include "XHotKeyManager.h"
#include "XTestKeyboard.h"

#include <QtTest>

#include <memory>

namespace {
// Collects the listener's reports in the test thread, in the order they were emitted.
class Reports : public QObject
{
public:
    explicit Reports(KeyboardListener* listener)
    {
        connect(listener, &KeyboardListener::keyEventAction, this, [this](bool isUp, int qtKey) {
            const QString key = qtKey == Qt::Key_Control    ? QStringLiteral("ctrl")
                                : qtKey == Qt::Key_CapsLock ? QStringLiteral("caps")
                                : qtKey == Qt::Key_Pause    ? QStringLiteral("pause")
                                                            : QString::number(qtKey);
            list << (isUp ? QStringLiteral("up:") : QStringLiteral("down:")) + key;
        });
    }
    QStringList list;
};
} // namespace

// Keys pressed through XTest on the shared display reach the raw-key listener and the hotkey manager.
class TestXHotKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void listenerReports_data();
    void listenerReports();
    void managerActivations_data();
    void managerActivations();
    void settingsSwitchModes();

private:
    // Presses "Control_L+ c+ c- wait300 Control_L-": + down, - up, then a pause in milliseconds.
    void play(const QString& keys);
    void startManager(bool useHotkey, const QString& hotKey, const QString& p2tKey);
    // Waits until the manager has seen this many listener reports in all.
    void waitForReports(int count);

    XTestKeyboard keyboard;
    std::unique_ptr<XHotKeyManager> manager;
    std::unique_ptr<Reports> managerReports;
};

void TestXHotKeys::initTestCase()
{
    TestHome::wipe();
    TestHome::useApplicationIdentity();
    QVERIFY2(keyboard.isOpen(), "these tests need an X display");
    keyboard.setLayout(QStringLiteral("us"));
}

void TestXHotKeys::cleanup()
{
    managerReports.reset();
    manager.reset();
    keyboard.releaseAll();
}

void TestXHotKeys::play(const QString& keys)
{
    for (const QString& key : keys.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (key.startsWith(QLatin1String("wait"))) {
            QTest::qWait(key.mid(4).toInt()); // the time between presses is what is tested
            continue;
        }
        const QByteArray name = key.chopped(1).toLatin1();
        if (key.endsWith(QLatin1Char('+')))
            keyboard.press(name.constData());
        else
            keyboard.release(name.constData());
    }
}

void TestXHotKeys::startManager(bool useHotkey, const QString& hotKey, const QString& p2tKey)
{
    writeHotkeySettings(useHotkey, hotKey, p2tKey);
    manager.reset(new XHotKeyManager);
    QTRY_VERIFY(manager->IsInitialized());
    // Connected after the manager's own connection, so a report seen here was seen by the manager.
    managerReports.reset(new Reports(manager->getListener()));
}

void TestXHotKeys::waitForReports(int count)
{
    QTRY_COMPARE(managerReports->list.size(), count);
}

void TestXHotKeys::listenerReports_data()
{
    QTest::addColumn<bool>("pushToTalk");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("expected");

    const QStringList ctrlTap{"down:ctrl", "up:ctrl"};
    QTest::newRow("left ctrl") << false << "Control_L+ Control_L-" << ctrlTap;
    QTest::newRow("right ctrl") << false << "Control_R+ Control_R-" << ctrlTap;
    QTest::newRow("held ctrl repeats") << false << "Control_L+ Control_L+ Control_L+ Control_L-" << ctrlTap;
    QTest::newRow("chord breaks the held key")
        << false << "Control_L+ c+ c- Control_L-" << QStringList{"down:ctrl", "up:-1"};
    QTest::newRow("chord in push-to-talk") << true << "Control_L+ c+ c- Control_L-" << ctrlTap;
    QTest::newRow("key not watched") << false << "a+ a-" << QStringList{"down:-1", "up:-1"};
}

void TestXHotKeys::listenerReports()
{
    QFETCH(bool, pushToTalk);
    QFETCH(QString, keys);
    QFETCH(QStringList, expected);

    auto* listener = new KeyboardListener;
    listener->ResetKeys(pushToTalk);
    listener->AddKey(Qt::Key_Control, 0);
    listener->AddKey(Qt::Key_Control, 0);
    std::unique_ptr<SubService> service(new SubService(listener, true));
    Reports reports(listener);
    service->Start();
    QTRY_VERIFY(listener->IsInitialized());

    // A last tap of an unwatched key shows that everything before it was reported.
    play(keys + QStringLiteral(" F12+ F12-"));
    expected << QStringLiteral("down:-1") << QStringLiteral("up:-1");
    QTRY_COMPARE(reports.list, expected);
}

void TestXHotKeys::managerActivations_data()
{
    QTest::addColumn<bool>("useHotkey");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("reports");
    QTest::addColumn<QStringList>("expected");

    const QString ctrl = QStringLiteral("Ctrl");
    const QString doubleCtrl = QStringLiteral("DoubleCtrl");
    QTest::newRow("double ctrl") << true << doubleCtrl << "Control_L+ Control_L- Control_R+ Control_R-" << 4
                                 << QStringList{"0/0/0"};
    QTest::newRow("slow double ctrl") << true << doubleCtrl << "Control_L+ Control_L- wait400 Control_L+ Control_L-"
                                      << 4 << QStringList{};
    QTest::newRow("other key between") << true << doubleCtrl << "Control_L+ Control_L- a+ a- Control_L+ Control_L-"
                                       << 6 << QStringList{};
    QTest::newRow("double caps lock")
        << true << "DoubleCapsLock"
        << "Control_L+ Control_L- Control_L+ Control_L- Caps_Lock+ Caps_Lock- Caps_Lock+ Caps_Lock-" << 8
        << QStringList{"0/1/0"};
    QTest::newRow("push-to-talk on pause") << false << "Pause" << "Pause+ Control_L+ Control_L- Pause-" << 2
                                           << QStringList{"1/1/1", "1/1/2"};
}

void TestXHotKeys::managerActivations()
{
    QFETCH(bool, useHotkey);
    QFETCH(QString, key);
    QFETCH(QString, keys);
    QFETCH(int, reports);
    QFETCH(QStringList, expected);

    startManager(useHotkey, useHotkey ? key : QStringLiteral("DoubleCtrl"), useHotkey ? QStringLiteral("Ctrl") : key);
    QSignalSpy spy(manager.get(), &HotKeyManager::activated);
    play(keys);
    waitForReports(reports);
    QCOMPARE(activations(spy), expected);
}

void TestXHotKeys::settingsSwitchModes()
{
    startManager(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    QSignalSpy spy(manager.get(), &HotKeyManager::activated);
    QSignalSpy modes(manager.get(), &HotKeyManager::activationModeChanged);

    writeHotkeySettings(false, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    manager->onSettingsChanged();
    QCOMPARE(modes.count(), 1);
    QCOMPARE(modes[0][0].toInt(), 1);
    QTRY_VERIFY(manager->IsInitialized());
    play(QStringLiteral("Control_L+ Control_L-"));
    waitForReports(2);
    QCOMPARE(activations(spy), (QStringList{"1/-1/2", "1/0/1", "1/0/2"}));

    spy.clear();
    writeHotkeySettings(true, QStringLiteral("DoubleCtrl"), QStringLiteral("Ctrl"));
    manager->onSettingsChanged();
    QTRY_VERIFY(manager->IsInitialized());
    play(QStringLiteral("Control_L+ Control_L- Control_L+ Control_L-"));
    waitForReports(6);
    QCOMPARE(activations(spy), (QStringList{"1/-1/2", "0/0/0"}));
}

QTEST_MAIN(TestXHotKeys)
#include "TestXHotKeys.moc"
