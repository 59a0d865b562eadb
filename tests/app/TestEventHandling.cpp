#include "AsrManager.h"
#include "ConnectionManager.h"
#include "FakeServerSet.h"
#include "PlaybackDeviceSettings.h"
#include "PulsePipeSink.h"
#include "PulseTestServer.h"
#include "QuickExit.h"
#include "QuickWindows.h"
#include "ScrivoraMain.h"
#include "SystemTray.h"
#include "TestHome.h"
#include "XTestKeyboard.h"
#include "UserCommandFiles.h"
#include "UserCommandFixtures.h"
#include "UserCommandsManager.h"
#include "WavReader.h"
#include "WindowsManager.h"
#include "X11Windows.h"

#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QQmlContext>
#include <QQuickWindow>

#include <memory>

namespace {

const QString NoMicrophone = QStringLiteral("Микрофон не обнаружен|Убедитесь что устройство подключено правильно");
const QString HotkeyNotice =
    QStringLiteral("Оповещение|Зарегистрирована горячая клавиша включения распознавания: 'Ctrl 2 раза'.");
const QString FailingPhrase = QStringLiteral("запустить отчёт");

enum NoticeSource { FromServer, FromHotkeys, VoiceOffered, VoiceWithdrawn };

// Every tray message shown, as its non-empty texts joined by "|".
class BalloonRecorder : public QObject
{
public:
    BalloonRecorder() { qApp->installEventFilter(this); }
    QStringList shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->inherits("QBalloonTip")) {
            QStringList texts;
            for (QLabel* label : watched->findChildren<QLabel*>()) {
                if (!label->text().isEmpty())
                    texts << label->text();
            }
            shown << texts.join(QLatin1Char('|'));
        }
        return false;
    }
};

// The samples of a sound: found in what was played once per playing (the two
// sounds share long stretches, so nothing shorter tells them apart).
QByteArray soundData(const char* resource)
{
    QFile file(QString::fromLatin1(resource));
    return file.open(QIODevice::ReadOnly) ? WavReader::Read(file.readAll()).data : QByteArray();
}

struct Report
{
    int mode;
    int state;
};

// "2:0 2:1" → Text Starting, Text Started.
QList<Report> reports(const QString& text)
{
    QList<Report> list;
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        list.append({item.section(QLatin1Char(':'), 0, 0).toInt(), item.section(QLatin1Char(':'), 1, 1).toInt()});
    return list;
}

// Every message the program logs while the test runs, from any thread.
QMutex loggedMutex;
QStringList logged;
QtMessageHandler testHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        QMutexLocker locker(&loggedMutex);
        logged << message;
    }
    testHandler(type, context, message);
}

QStringList loggedWith(const QString& text)
{
    QMutexLocker locker(&loggedMutex);
    return logged.filter(text);
}

UserNotification notification(const QString& message, int action, bool force)
{
    UserNotification n;
    n.setType(NotificationTypeWarning);
    n.setTitle(QStringLiteral("Сервер"));
    n.setMessage(message);
    n.setAction(static_cast<NotificationAction>(action));
    n.setForce(force);
    return n;
}

} // namespace

// The program in this process, against a fake server, a tray host and the
// private sound server with a pipe as its speaker: notifications, actions,
// sounds and the missing microphone as the user meets them.
class TestEventHandling : public QObject
{
    Q_OBJECT

public:
    std::unique_ptr<FakeServerSet> servers;
    std::unique_ptr<PulsePipeSink> speaker;
    // Every free keycode taken before the start, the layout put back at the end.
    std::unique_ptr<XTestKeyboard> fullKeyboard;

private slots:
    void initTestCase();
    void startupProblemsToldOnce();
    void noticesBeforeReady_data();
    void noticesBeforeReady();
    void hotkeyNoticeOnceReady();
    void notificationActions_data();
    void notificationActions();
    void serverNotificationAndCommandError();
    void lesserNoticeWaits();
    void soundsFollowModeStates_data();
    void soundsFollowModeStates();
    void noMicrophoneStopsDictation();

private:
    int state() const { return manager->connectionManager()->getState(); }
    void sendReports(const QString& text);
    // Every mode stopped and Off the last started one, as after a fresh start.
    void resetModes() { sendReports(QStringLiteral("1:2 2:2 3:2 4:2 0:2 0:1")); }
    bool playedCounts(int on, int off);
    // Balloons wait their turn: a case starts with none shown or waiting.
    void freshBalloons();

    WindowsManager* manager = nullptr;
    AsrManager* asr = nullptr;
    FakeRecognitionServer* server = nullptr;
    BalloonRecorder balloons;
    QString failingCommandId;
    std::unique_ptr<QSignalSpy> modeSpy;
    QByteArray playedTail;
    int playedOn = 0;
    int playedOff = 0;
    QString playedSummary;
    QByteArray onSound;
    QByteArray offSound;
    int expectedOn = 0;
    int expectedOff = 0;
};

void TestEventHandling::initTestCase()
{
    QVERIFY2(speaker && speaker->isReady(), "the private sound server is needed");
    testHandler = qInstallMessageHandler(recordMessage);
    QVERIFY2(X11Windows::trayHostRunning(), "tray messages need the tray host of scripts/headless-services.sh");
    QTRY_VERIFY_WITH_TIMEOUT(QuickWindows::titled(QStringLiteral("Scrivora")), TestHome::scaled(5000));
    QQmlContext* context = qmlContext(QuickWindows::titled(QStringLiteral("Scrivora")));
    manager = qobject_cast<WindowsManager*>(context->contextProperty(QStringLiteral("windowsManager")).value<QObject*>());
    asr = qobject_cast<AsrManager*>(context->contextProperty(QStringLiteral("asrManager")).value<QObject*>());
    QVERIFY(manager && asr);
    server = servers->recognition();
    modeSpy = std::make_unique<QSignalSpy>(asr, &AsrManager::currentModeOrStateChanged);
    QTRY_VERIFY_WITH_TIMEOUT(manager->systemTray()->trayIcon()->isVisible(), TestHome::scaled(5000));
    // A dropped link is taken up again without the user's 30 s wait.
    manager->connectionManager()->setRetryDelay(200);
    // The start-up theme check holds the connection short of ready.
    QTRY_COMPARE_WITH_TIMEOUT(state(), int(ConnectionManager::ThemeCheck), TestHome::scaled(20000));
    onSound = soundData(":/Assets/SpeechOn.wav");
    offSound = soundData(":/Assets/SpeechOff.wav");
    QVERIFY(!onSound.isEmpty() && onSound.size() == offSound.size() && onSound != offSound);
}

// A damaged value in an administrator's settings.ini once crashed every start;
// a log that cannot be written went unnoticed, as did a keyboard without a
// free keycode for the characters no key produces, and a profile saved as
// Windows-1251 counted as complete. Each is told once.
void TestEventHandling::startupProblemsToldOnce()
{
    const QString settingsTitle = QStringLiteral("Общие настройки не используются");
    const QString logTitle = QStringLiteral("Журнал не записывается");
    const QString keysTitle = QStringLiteral("Печать текста|На клавиатуре нет свободных кодов клавиш");
    const QString profileTitle = QStringLiteral("Данные пользователя не прочитаны");
    // The notices take turns: each is moved along once seen.
    NoticeQueue* notices = manager->systemTray()->notices();
    QTRY_VERIFY_WITH_TIMEOUT((notices->dismissCurrent(), !balloons.shown.filter(settingsTitle).isEmpty()
                              && !balloons.shown.filter(logTitle).isEmpty() && !balloons.shown.filter(keysTitle).isEmpty()
                              && !balloons.shown.filter(profileTitle).isEmpty()),
                             TestHome::scaled(10000));
    qWarning() << "a line the log cannot take either";
    // Whatever else is waiting shown too, a second telling among it.
    QTRY_VERIFY_WITH_TIMEOUT((notices->dismissCurrent(), notices->waitingCount() == 0), TestHome::scaled(10000));
    const QStringList shown = balloons.shown;
    freshBalloons();
    QCOMPARE(shown.filter(settingsTitle).size(), 1);
    QVERIFY2(shown.filter(settingsTitle).constFirst().contains(QStringLiteral("/system/Orvanta Labs/Scrivora/settings.ini")),
             qPrintable(shown.join(QLatin1Char('\n'))));
    QCOMPARE(shown.filter(logTitle).size(), 1);
    QVERIFY(shown.filter(logTitle).constFirst().contains(QStringLiteral("/data/Orvanta Labs/Scrivora/logs")));
    QCOMPARE(shown.filter(keysTitle).size(), 1);
    QCOMPARE(shown.filter(profileTitle).size(), 1);
    QVERIFY(shown.filter(profileTitle).constFirst().contains(QStringLiteral("UserInfo.ini.damaged")));
    fullKeyboard.reset();
}

void TestEventHandling::sendReports(const QString& text)
{
    const QList<Report> list = reports(text);
    const int before = modeSpy->count();
    for (const Report& report : list)
        QVERIFY(server->sendModeChanged(report.mode, report.state));
    // The last report of a list always changes its mode's state; what the client
    // asks for in answer may follow it.
    const auto handled = [this, before, &list] {
        for (int i = before; i < modeSpy->count(); ++i) {
            if (modeSpy->at(i).at(0).toInt() == list.last().mode && modeSpy->at(i).at(1).toInt() == list.last().state)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(handled(), TestHome::scaled(5000));
}

void TestEventHandling::freshBalloons()
{
    NoticeQueue* notices = manager->systemTray()->notices();
    // The queue opens once the tray host has placed the icon.
    const auto drained = [notices] {
        for (int i = notices->waitingCount(); i >= 0; --i)
            notices->dismissCurrent();
        return notices->waitingCount() == 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(drained(), TestHome::scaled(10000));
    balloons.shown.clear();
}

bool TestEventHandling::playedCounts(int on, int off)
{
    // Only the tail that may hold the start of a sound is kept.
    const QByteArray fresh = playedTail + speaker->read();
    playedOn += fresh.count(onSound);
    playedOff += fresh.count(offSound);
    playedTail = fresh.right(onSound.size() - 1);
    playedSummary = QStringLiteral("played %1 start and %2 stop sounds, expected %3 and %4")
                        .arg(playedOn)
                        .arg(playedOff)
                        .arg(on)
                        .arg(off);
    return playedOn == on && playedOff == off;
}

void TestEventHandling::noticesBeforeReady_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("server message") << int(FromServer) << 0 << false << QStringList();
    QTest::newRow("server stop") << int(FromServer) << 2 << false << QStringList();
    QTest::newRow("forced message") << int(FromServer) << 0 << true << QStringList{QStringLiteral("Сервер|forced message")};
    QTest::newRow("hotkey notice") << int(FromHotkeys) << 0 << false << QStringList();
    QTest::newRow("voice activation offered")
        << int(VoiceOffered) << 0 << false
        << QStringList{QStringLiteral("Голосовая активация|В настройках доступен запуск распознавания голосовой командой.")};
    QTest::newRow("voice activation withdrawn")
        << int(VoiceWithdrawn) << 0 << false
        << QStringList{QStringLiteral("Голосовая активация|Запуск распознавания голосовой командой недоступен.")};
}

void TestEventHandling::noticesBeforeReady()
{
    QFETCH(int, source);
    QFETCH(int, action);
    QFETCH(bool, force);
    QFETCH(QStringList, shown);

    QCOMPARE(state(), int(ConnectionManager::ThemeCheck));
    freshBalloons();
    server->clearReceived();
    switch (source) {
    case FromServer:
        manager->processUserNotification(notification(QString::fromLatin1(QTest::currentDataTag()), action, force));
        break;
    case FromHotkeys:
        manager->notifyHotkey();
        break;
    default:
        manager->onVACSettingsVisibleChanged(source == VoiceOffered);
        break;
    }
    QCOMPARE(balloons.shown, shown);
    QCOMPARE(server->lastRequestedMode(), -1);
}

void TestEventHandling::hotkeyNoticeOnceReady()
{
    freshBalloons();
    QQuickWindow* themeCheck = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((themeCheck = QuickWindows::titled(QStringLiteral("Выбор темы"))) && themeCheck->isVisible(),
                             TestHome::scaled(5000));
    QVERIFY(QMetaObject::invokeMethod(themeCheck, "accept"));
    QTRY_COMPARE_WITH_TIMEOUT(state(), int(ConnectionManager::Ready), TestHome::scaled(10000));
    QTRY_COMPARE_WITH_TIMEOUT(balloons.shown, QStringList{HotkeyNotice}, TestHome::scaled(5000));

    // The registered command that a later case runs.
    QTRY_VERIFY_WITH_TIMEOUT(!(failingCommandId = server->registeredCommandId(FailingPhrase)).isEmpty(),
                             TestHome::scaled(5000));
}

void TestEventHandling::notificationActions_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("stops");
    QTest::addColumn<bool>("disconnects");

    QTest::newRow("show") << 0 << true << false << false;
    QTest::newRow("stop recognition") << 2 << true << true << false;
    QTest::newRow("disconnect") << 1 << false << false << true;
    QTest::newRow("unknown action") << 7 << false << false << false;
}

void TestEventHandling::notificationActions()
{
    QFETCH(int, action);
    QFETCH(bool, shown);
    QFETCH(bool, stops);
    QFETCH(bool, disconnects);

    QTRY_COMPARE_WITH_TIMEOUT(state(), int(ConnectionManager::Ready), TestHome::scaled(10000));
    freshBalloons();
    server->clearReceived();
    QSignalSpy dropped(server, &FakeRecognitionServer::clientDisconnected);
    const QString message = QString::fromLatin1(QTest::currentDataTag());
    manager->processUserNotification(notification(message, action, false));

    QCOMPARE(balloons.shown, shown ? QStringList{QStringLiteral("Сервер|") + message} : QStringList());
    if (stops)
        QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
    if (disconnects) {
        QTRY_COMPARE_WITH_TIMEOUT(dropped.count(), 1, TestHome::scaled(5000));
        // It connects again, without a second hotkey notice.
        QTRY_COMPARE_WITH_TIMEOUT(state(), int(ConnectionManager::Ready), TestHome::scaled(10000));
        QVERIFY(!balloons.shown.contains(HotkeyNotice));
        // The new link asks for the recorded mode again; its report must not land in a later case.
        QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!modeSpy->isEmpty() && modeSpy->last().at(0).toInt() == 0 && modeSpy->last().at(1).toInt() == 1,
                                 TestHome::scaled(5000));
    } else {
        QCOMPARE(dropped.count(), 0);
    }
}

void TestEventHandling::serverNotificationAndCommandError()
{
    QTRY_COMPARE_WITH_TIMEOUT(state(), int(ConnectionManager::Ready), TestHome::scaled(10000));
    freshBalloons();
    QVERIFY(server->sendNotification(QStringLiteral("Сервер будет перезапущен"), 2, 0));
    QTRY_COMPARE_WITH_TIMEOUT(balloons.shown, QStringList{QStringLiteral("Сервер будет перезапущен")},
                              TestHome::scaled(5000));
    // What the server says may quote what was dictated: the log gets its size.
    QCOMPARE(loggedWith(QStringLiteral("Notification: 24 characters (type 2, action 0)")).size(), 1);
    QVERIFY(loggedWith(QStringLiteral("перезапущен")).isEmpty());

    freshBalloons();
    sendReports(QStringLiteral("2:0 2:1"));
    ++expectedOn;
    QVERIFY(server->sendResult(FailingPhrase, true, failingCommandId));
    // It waits while the monitor shows (it would lie over its stop button) and comes after it.
    NoticeQueue* notices = manager->systemTray()->notices();
    QTRY_COMPARE_WITH_TIMEOUT(notices->waitingCount(), 1, TestHome::scaled(5000));
    QVERIFY(balloons.shown.isEmpty());
    resetModes();
    QTRY_COMPARE_WITH_TIMEOUT(balloons.shown.size(), 1, TestHome::scaled(5000));
    QVERIFY2(balloons.shown.first().startsWith(QStringLiteral("Команда не выполнена|Не удалось запустить программу")),
             qPrintable(balloons.shown.first()));
    // The program's path is the command's text: it stays out of the log.
    QVERIFY2(loggedWith(QStringLiteral("no such program")).isEmpty(),
             qPrintable(loggedWith(QStringLiteral("no such program")).join(QLatin1Char('\n'))));
    QTRY_VERIFY2_WITH_TIMEOUT(playedCounts(expectedOn, expectedOff), qPrintable(playedSummary),
                              TestHome::scaled(10000));
}

void TestEventHandling::lesserNoticeWaits()
{
    freshBalloons();
    SystemTray* tray = manager->systemTray();
    tray->showMessage(QStringLiteral("Микрофон не работает"), QStringLiteral("первое"), QSystemTrayIcon::Critical);
    tray->showMessage(QStringLiteral("Звук не воспроизводится"), QStringLiteral("второе"), QSystemTrayIcon::Warning);
    QCOMPARE(balloons.shown, QStringList{QStringLiteral("Микрофон не работает|первое")});

    // Clicking the balloon away brings the next one.
    QWidget* balloon = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QBalloonTip") && widget->isVisible())
            balloon = widget;
    }
    QVERIFY(balloon);
    QTest::mouseClick(balloon, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTRY_COMPARE_WITH_TIMEOUT(balloons.shown, (QStringList{QStringLiteral("Микрофон не работает|первое"),
                                              QStringLiteral("Звук не воспроизводится|второе")}),
                                              TestHome::scaled(5000));
}

void TestEventHandling::soundsFollowModeStates_data()
{
    QTest::addColumn<QString>("reports");
    QTest::addColumn<int>("on");
    QTest::addColumn<int>("off");

    // mode:state; modes 0 Off, 1 voice activation, 2 Text, 3 form; states 0 Starting,
    // 1 Started, 2 Stopped, 3 Stopping.
    QTest::newRow("dictation started and stopped") << "2:0 2:1 2:3 2:2" << 1 << 1;
    QTest::newRow("voice activation is silent") << "1:0 1:1 1:3 1:2" << 0 << 0;
    QTest::newRow("the same mode again is silent") << "2:0 2:1 2:2 2:0 2:1 2:3 2:2" << 1 << 1;
    QTest::newRow("stopping what did not start last is silent") << "3:0 3:1 2:3 2:2 3:3 3:2" << 1 << 1;
}

void TestEventHandling::soundsFollowModeStates()
{
    QFETCH(QString, reports);
    QFETCH(int, on);
    QFETCH(int, off);

    resetModes();
    sendReports(reports);
    // Counted over the whole table: a sound that came late shows in the next row.
    expectedOn += on;
    expectedOff += off;
    QTRY_VERIFY2_WITH_TIMEOUT(playedCounts(expectedOn, expectedOff), qPrintable(playedSummary),
                              TestHome::scaled(10000));
}

void TestEventHandling::noMicrophoneStopsDictation()
{
    QTRY_COMPARE_WITH_TIMEOUT(state(), int(ConnectionManager::Ready), TestHome::scaled(10000));
    resetModes();
    QTRY_VERIFY2_WITH_TIMEOUT(playedCounts(expectedOn, expectedOff), qPrintable(playedSummary), TestHome::scaled(5000));
    const QStringList microphone{QStringLiteral("module-null-source"), QStringLiteral("source_name=test_mic"),
                                 QStringLiteral("rate=16000"), QStringLiteral("channels=1"),
                                 QStringLiteral("max_latency_msec=20")};
    struct Restore
    {
        QStringList microphone;
        ~Restore()
        {
            if (!PulseTestServer::pactl(QStringList{QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")})
                     .contains(QStringLiteral("test_mic")))
                PulseTestServer::pactl(QStringList{QStringLiteral("load-module")} + microphone);
            PulseTestServer::pactl({QStringLiteral("set-default-source"), QStringLiteral("test_mic")});
        }
    } restore{microphone};

    freshBalloons();
    QVERIFY(!PulseTestServer::pactl({QStringLiteral("unload-module"), microphone.first()}).isNull());
    QTRY_COMPARE_WITH_TIMEOUT(balloons.shown, QStringList{NoMicrophone}, TestHome::scaled(10000));

    freshBalloons();
    sendReports(QStringLiteral("2:0 2:1"));
    QTRY_COMPARE_WITH_TIMEOUT(balloons.shown, QStringList{NoMicrophone}, TestHome::scaled(5000));
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
    // The stop sound, never the start sound.
    QTRY_VERIFY2_WITH_TIMEOUT(playedCounts(expectedOn, expectedOff + 1), qPrintable(playedSummary),
                              TestHome::scaled(10000));
}

// The program runs with this test in its event loop.
static TestEventHandling* testObject = nullptr;
static int testResult = 1;

static void scheduleTests()
{
    TestHome::setRunningInsideTheClient();
    TestHome::wipe();
    testObject = new TestEventHandling;
    testObject->servers = std::make_unique<FakeServerSet>();
    testObject->servers->writeClientSettings(TestHome::settingsFile(), false);
    testObject->speaker = std::make_unique<PulsePipeSink>(QStringLiteral("event_speaker"));
    PlaybackDeviceSettings playback;
    playback.Name = testObject->speaker->name();
    playback.sync();
    const QString folder = UserCommandsManager::commandsFolder();
    QDir().mkpath(folder);
    UserCommandFiles::Save(QDir(folder).filePath(QStringLiteral("default.json")), ClientThemeInfo(),
                           {UserCommandFixtures::command(UserCommandNamespace::Exe, FailingPhrase,
                                                         TestHome::path() + QStringLiteral("/no such program"))});
    // A profile saved in the old Windows encoding: set aside, not sent as mojibake.
    QFile profile(QFileInfo(TestHome::settingsFile()).path() + QStringLiteral("/UserInfo.ini"));
    if (profile.open(QIODevice::WriteOnly))
        profile.write("[UserInfo]\nUserName=\xC8\xE2\xE0\xED\xEE\xE2\xE0 \xC0\xED\xED\xE0\nSpecialisation=Терапевт\n");
    profile.close();
    // A file where the log folder would be: the log cannot be written.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QFile logs(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs"));
    if (logs.open(QIODevice::WriteOnly))
        logs.close();
    // After the test's own settings are written: Qt would crash reading them.
    const QString system = TestHome::path() + QStringLiteral("/system");
    QDir().mkpath(system + QStringLiteral("/Orvanta Labs/Scrivora"));
    QFile damaged(system + QStringLiteral("/Orvanta Labs/Scrivora/settings.ini"));
    if (damaged.open(QIODevice::WriteOnly))
        damaged.write("[ASR]\nSelectedTheme=@Variant(\\0\\0\\0G\\x7f\\xff\\xff\\xff)\n");
    damaged.close();
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system));
    testObject->fullKeyboard = std::make_unique<XTestKeyboard>();
    testObject->fullKeyboard->setLayout(QStringLiteral("us"));
    testObject->fullKeyboard->fillFreeKeycodes();
    QTimer::singleShot(0, [] {
        testResult = QTest::qExec(testObject, QCoreApplication::arguments());
        WindowsManager* manager = nullptr;
        if (QQuickWindow* main = QuickWindows::titled(QStringLiteral("Scrivora")))
            manager = qobject_cast<WindowsManager*>(
                qmlContext(main)->contextProperty(QStringLiteral("windowsManager")).value<QObject*>());
        delete testObject;
        testObject = nullptr;
        if (manager)
            manager->closeApplication();
        else
            QCoreApplication::exit(1);
    });
}
Q_COREAPP_STARTUP_FUNCTION(scheduleTests)

int main(int argc, char** argv)
{
    const int programResult = scrivoraMain(argc, argv);
    quickExit(testResult != 0 || programResult != 0 ? 1 : 0);
}

#include "TestEventHandling.moc"
