#include "ASRSettings.h"
#include "AsrManager.h"
#include "AppSettingsViewModel.h"
#include "ConnectionManager.h"
#include "RecordingDeviceManager.h"
#include "FakeServerSet.h"
#include "HotKeyManager.h"
#include "HotkeySettings.h"
#include "ProfileFile.h"
#include "PulseModule.h"
#include "PulseTestServer.h"
#include "QuestionAnswer.h"
#include "QuickExit.h"
#include "QuickWindows.h"
#include "RecordingDeviceManager.h"
#include "RunGuard.h"
#include "ScrivoraMain.h"
#include "SettingsContainerViewModel.h"
#include "SubService.h"
#include "SystemTray.h"
#include "TestHome.h"
#include "WindowManagerSession.h"
#include "UserCommandsManager.h"
#include "WindowsManager.h"
#include "X11Windows.h"
#include "XTestKeyboard.h"

#include <QtTest>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QQmlContext>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QThread>
#include <QWebSocket>
#include <QWebSocketProtocol>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool isRestartedCopy()
{
    return qEnvironmentVariableIsSet(WindowsManager::RestartMarker);
}

// The "Type" of each mode request; 2 (dictation) for null.
QList<int> requestedModes(FakeRecognitionServer* server)
{
    QList<int> modes;
    for (const FakeRecognitionServer::Message& request : server->messagesOfType(1)) {
        const QJsonValue type = request.data.toObject().value(QStringLiteral("Type"));
        modes << (type.isDouble() ? type.toInt() : 2);
    }
    return modes;
}

using QuickWindows::titled;

const QByteArray DamagedCommands = "{\"Commands\": [";

QString damagedCommandFile()
{
    return UserCommandsManager::commandsFolder() + QStringLiteral("/default.json");
}

QString programLog()
{
    QDir logs(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs"));
    QFile file(logs.filePath(logs.entryList({QStringLiteral("log_*.log")}, QDir::Files, QDir::Time).value(0)));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Other running processes of this program file.
QList<pid_t> otherCopies()
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    QList<pid_t> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = pid_t(entry.toInt(&ok));
        if (ok && pid != ::getpid()
            && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == self)
            pids << pid;
    }
    return pids;
}

} // namespace

// The running program in this process, driven the way its own QML and the
// user drive it, against a fake balancer and recognition server.
class TestWindowsManager : public QObject
{
    Q_OBJECT

public:
    std::unique_ptr<FakeServerSet> servers;

private slots:
    void initTestCase();
    void themeCheckLeadsToReady();
    void trayOpensSettings();
    void startupSettingsAndPublishedObjects();
    void hotkeysDriveRecognition();
    void doubleCtrlWithAFormFollowsTheMonitor();
    void monitorStopTakesTheFirstClickUnderANotice();
    void failedMicrophoneEndsDictation();
    void switchedMicrophoneIsTold();
    void restartStopsWorkersAndHandsOver();

private:
    WindowsManager* manager = nullptr;
    SystemTray* tray = nullptr;
};

void TestWindowsManager::initTestCase()
{
    QVERIFY2(X11Windows::trayHostRunning(), "the tray icon needs the tray host of scripts/headless-services.sh");
    QTRY_VERIFY_WITH_TIMEOUT(titled(QStringLiteral("Scrivora")), TestHome::scaled(5000));
    QQmlContext* context = qmlContext(titled(QStringLiteral("Scrivora")));
    QVERIFY(context);
    manager = qobject_cast<WindowsManager*>(context->contextProperty(QStringLiteral("windowsManager")).value<QObject*>());
    tray = qobject_cast<SystemTray*>(context->contextProperty(QStringLiteral("systemTray")).value<QObject*>());
    QVERIFY(manager && tray);
}

void TestWindowsManager::themeCheckLeadsToReady()
{
    ConnectionManager* connection = manager->connectionManager();
    QTRY_COMPARE_WITH_TIMEOUT(connection->getState(), int(ConnectionManager::ThemeCheck), TestHome::scaled(20000));
    QQuickWindow* themeCheck = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((themeCheck = titled(QStringLiteral("Выбор темы"))) && themeCheck->isVisible(),
                             TestHome::scaled(5000));
    QTest::ignoreMessage(QtInfoMsg,
                         "Notification: Зарегистрирована горячая клавиша включения распознавания: 'Ctrl 2 раза'.");
    QVERIFY(QMetaObject::invokeMethod(themeCheck, "accept"));

    QTRY_COMPARE_WITH_TIMEOUT(connection->getState(), int(ConnectionManager::Ready), TestHome::scaled(10000));
    QVERIFY(!themeCheck->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(tray->toolTip(), QStringLiteral("Quillora Client\nСервер 127.0.0.1\nБалансер 127.0.0.1"),
                              TestHome::scaled(5000));
    QVERIFY(tray->trayIcon()->isVisible());
}

void TestWindowsManager::trayOpensSettings()
{
    QAction* entry = nullptr;
    for (QAction* action : tray->menu()->actions()) {
        if (action->text() == QStringLiteral("Настройки"))
            entry = action;
    }
    QVERIFY(entry);
    entry->trigger();
    QQuickWindow* settings = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((settings = titled(QStringLiteral("Настройки"))) && settings->isVisible(),
                             TestHome::scaled(5000));
    // Connected: every page, the profile page too.
    auto* model = qobject_cast<SettingsContainerViewModel*>(
        qmlContext(manager->mainWindow())->contextProperty(QStringLiteral("settingsViewModel")).value<QObject*>());
    QCOMPARE(model->get_InnerSettings().value<QList<QObject*>>().size(), 7);

    // Esc closes it, as every tool window of the client.
    QVERIFY(QTest::qWaitForWindowActive(settings, TestHome::scaled(5000)));
    QTest::keyClick(settings, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!settings->isVisible(), TestHome::scaled(5000));
}

void TestWindowsManager::startupSettingsAndPublishedObjects()
{
    QQmlContext* context = qmlContext(manager->mainWindow());
    const char* names[] = {"systemTray",       "connectionManager",  "settingsViewModel", "recognitionSettingsViewModel",
                           "commandsViewModel", "restProxyServer",   "feedbackViewModel", "kivaroViewModel",
                           "statisticsViewModel", "asrManager",      "monitorViewModel",  "windowsManager"};
    for (const char* name : names)
        QVERIFY2(context->contextProperty(QLatin1String(name)).value<QObject*>(), name);
    QVERIFY(!context->contextProperty(QStringLiteral("selfTestViewModel")).isValid());
    QCOMPARE(QSettings(TestHome::settingsFile(), QSettings::IniFormat).value(QStringLiteral("ASR/UsePunctuation")).toBool(),
             false);
    QFile damaged(damagedCommandFile());
    QVERIFY(damaged.open(QIODevice::ReadOnly));
    QCOMPARE(damaged.readAll(), DamagedCommands);
    QVERIFY(programLog().contains(QStringLiteral("User command files could not be read: Не удалось прочитать: ")
                                  + damagedCommandFile()));

    // Qt's own dialogs speak Russian too: the buttons of a question box, the file dialog.
    QMessageBox question(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(question.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Да"));
    QCOMPARE(question.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Отмена"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Перейти к:"));

    // The build enables the profile page, which comes last.
    auto* settings = qobject_cast<SettingsContainerViewModel*>(
        context->contextProperty(QStringLiteral("settingsViewModel")).value<QObject*>());
    QStringList classes;
    for (AppSettingsViewModel* page : settings->pages())
        classes << page->get_ClassName();
    QCOMPARE(classes, QStringList({"AudioDeviceSettingsViewModel", "LaunchSettingsViewModel",
                                   "RecognitionSettingsViewModel", "SynthesisSettingsViewModel",
                                   "NetworkSettingsViewModel", "AboutSettingsViewModel", "StatisticsSettingsViewModel"}));
}

void TestWindowsManager::hotkeysDriveRecognition()
{
    FakeRecognitionServer* server = servers->recognition();
    HotKeyManager* hotkeys = HotKeyManager::getHotkeyManager();
    QTRY_VERIFY_WITH_TIMEOUT(hotkeys->IsInitialized(), TestHome::scaled(5000));
    XTestKeyboard keyboard;
    QVERIFY(keyboard.isOpen());
    const auto doubleCtrl = [&keyboard] { keyboard.doubleTap("Control_L"); };

    // Dictation started with no microphone selected stops itself at once.
    QTRY_VERIFY_WITH_TIMEOUT(manager->recordingDeviceManager()->SelectedIndex() != -1, TestHome::scaled(10000));

    // Toggle class: a double Ctrl starts dictation, the next one stops it.
    server->clearReceived();
    doubleCtrl();
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 2, TestHome::scaled(5000));
    QTest::qWait(300); // apart from the first pair, so the presses are not counted as one run
    doubleCtrl();
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));

    // Push-to-talk class, chosen the way the launch page applies it.
    HotkeySettings settings;
    settings.UseHotkey = false;
    settings.P2TKey = QStringLiteral("Ctrl");
    settings.sync();
    hotkeys->onSettingsChanged();
    QTRY_VERIFY_WITH_TIMEOUT(hotkeys->IsInitialized(), TestHome::scaled(5000));
    QTest::qWait(300);
    server->clearReceived();
    keyboard.press("Control_L");
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 2, TestHome::scaled(5000));
    keyboard.release("Control_L");
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
}

// A form connected to the local form server asks for dictation into itself
// (its description); the double Ctrl stops and resumes that, always the
// opposite of what the monitor shows.
void TestWindowsManager::doubleCtrlWithAFormFollowsTheMonitor()
{
    FakeRecognitionServer* server = servers->recognition();
    HotKeyManager* hotkeys = HotKeyManager::getHotkeyManager();
    HotkeySettings settings;
    settings.UseHotkey = true;
    settings.sync();
    hotkeys->onSettingsChanged();
    QTRY_VERIFY_WITH_TIMEOUT(hotkeys->IsInitialized(), TestHome::scaled(5000));
    XTestKeyboard keyboard;
    QVERIFY(keyboard.isOpen());
    const auto doubleCtrl = [&keyboard] {
        QTest::qWait(300); // apart from the pair before, so the presses are not counted as one run
        keyboard.doubleTap("Control_L");
    };
    QObject* monitor =
        qmlContext(manager->mainWindow())->contextProperty(QStringLiteral("monitorViewModel")).value<QObject*>();
    QVERIFY(monitor);
    const auto shown = [monitor] { return monitor->property("Visible").toBool(); };
    QTRY_VERIFY_WITH_TIMEOUT(!shown(), TestHome::scaled(5000));

    QWebSocket form;
    const int port = QSettings(TestHome::settingsFile(), QSettings::IniFormat).value("FormApiServer/Port").toInt();
    form.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    QTRY_COMPARE_WITH_TIMEOUT(form.state(), QAbstractSocket::ConnectedState, TestHome::scaled(5000));
    // The session announces the form's MIS and stops what ran for an earlier target.
    QTRY_VERIFY_WITH_TIMEOUT(server->messagesOfType(115).size() == 1 && server->textMessages().constLast().type == 1,
                             TestHome::scaled(5000));
    server->clearReceived();
    form.sendTextMessage(QStringLiteral(R"({"MessageType":6,"Data":{"Key":"осмотр","Mode":0}})"));
    QTRY_COMPARE_WITH_TIMEOUT(server->messagesOfType(106).size(), 1, TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(shown(), TestHome::scaled(5000));

    doubleCtrl();
    QTRY_VERIFY_WITH_TIMEOUT(!shown(), TestHome::scaled(5000));
    QCOMPARE(requestedModes(server), QList<int>{0});
    // The form's dictation again, not plain dictation.
    doubleCtrl();
    QTRY_VERIFY_WITH_TIMEOUT(shown(), TestHome::scaled(5000));
    QCOMPARE(server->messagesOfType(106).size(), 2);
    QCOMPARE(requestedModes(server), QList<int>{0});

    // The server ends it by itself: the form stays the target, and the next
    // double Ctrl starts, as the hidden monitor says it must.
    QVERIFY(server->sendModeChanged(RecognitionModeNamespace::TemplatedForm, Stopped));
    QTRY_VERIFY_WITH_TIMEOUT(!shown(), TestHome::scaled(5000));
    doubleCtrl();
    QTRY_COMPARE_WITH_TIMEOUT(server->messagesOfType(106).size(), 3, TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(shown(), TestHome::scaled(5000));
    QCOMPARE(requestedModes(server), QList<int>{0});

    // Without the form, a stop and then plain dictation.
    form.close();
    QTRY_COMPARE_WITH_TIMEOUT(server->messagesOfType(116).size(), 1, TestHome::scaled(5000));
    doubleCtrl();
    QTRY_VERIFY_WITH_TIMEOUT(!shown(), TestHome::scaled(5000));
    doubleCtrl();
    QTRY_COMPARE_WITH_TIMEOUT(requestedModes(server), (QList<int>{0, 0, 2}), TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(shown(), TestHome::scaled(5000));
    doubleCtrl();
    QTRY_VERIFY_WITH_TIMEOUT(!shown(), TestHome::scaled(5000));
    QCOMPARE(server->messagesOfType(106).size(), 3);
}

// A balloon near the tray at the top right lies where the monitor shows; the
// monitor's stop button must take the first click all the same, whether the
// balloon was up before or comes while it shows, and the notices come once
// dictation ends.
void TestWindowsManager::monitorStopTakesTheFirstClickUnderANotice()
{
    WindowManagerSession windowManager;
    QString error;
    QVERIFY2(windowManager.start(&error), qPrintable(error));
    FakeRecognitionServer* server = servers->recognition();
    QObject* monitor =
        qmlContext(manager->mainWindow())->contextProperty(QStringLiteral("monitorViewModel")).value<QObject*>();
    const auto shown = [monitor] { return monitor->property("Visible").toBool(); };
    const auto balloonShown = [] {
        const QWidgetList widgets = QApplication::topLevelWidgets();
        return std::any_of(widgets.cbegin(), widgets.cend(),
                           [](const QWidget* w) { return w->inherits("QBalloonTip") && w->isVisible(); });
    };
    QTRY_VERIFY_WITH_TIMEOUT(!shown(), TestHome::scaled(5000));
    tray->showMessage(QStringLiteral("Оповещение"), QStringLiteral("Заметка у значка, поверх монитора"));
    QTRY_VERIFY_WITH_TIMEOUT(balloonShown(), TestHome::scaled(5000));

    XTestKeyboard keyboard;
    QTest::qWait(300); // apart from the pair before, so the presses are not counted as one run
    keyboard.doubleTap("Control_L");
    QTRY_VERIFY_WITH_TIMEOUT(shown(), TestHome::scaled(5000));
    std::optional<X11Windows::Window> window;
    QTRY_VERIFY_WITH_TIMEOUT((window = X11Windows::find([](const X11Windows::Window& w) {
                                  return w.name == QStringLiteral("Монитор распознавания") && w.viewable;
                              })),
                             TestHome::scaled(5000));
    // One that comes now waits too.
    tray->showMessage(QStringLiteral("Команда не выполнена"), QStringLiteral("Пришло во время диктовки"));
    QCOMPARE(tray->notices()->waitingCount(), 1);
    QVERIFY(!balloonShown());
    server->clearReceived();
    const QRect monitorRect = window->geometry;
    // The stop button: 24 pixels at the top right, inside the 10-pixel padding.
    X11Windows::click(monitorRect.right() - 21, monitorRect.top() + 22, 1);
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!shown(), TestHome::scaled(5000));
    QTRY_VERIFY_WITH_TIMEOUT(balloonShown(), TestHome::scaled(5000));
}

void TestWindowsManager::failedMicrophoneEndsDictation()
{
    FakeRecognitionServer* server = servers->recognition();
    RecordingDeviceManager* microphone = manager->recordingDevices();
    QObject* asr = qmlContext(manager->mainWindow())->contextProperty(QStringLiteral("asrManager")).value<QObject*>();
    QVERIFY(asr);
    const auto dictate = [asr](bool on) {
        QVERIFY(QMetaObject::invokeMethod(asr, on ? "startRecognition" : "stopRecognition"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(microphone->IsCapturing(), TestHome::scaled(10000));
    // Only the backend's return brings the microphone back here, not a timed retry.
    microphone->setRestartDelay(60000);
    server->clearReceived();
    dictate(true);
    QTRY_VERIFY_WITH_TIMEOUT(!server->binaryMessages().isEmpty(), TestHome::scaled(10000));

    // Qt's sound backend loses the sound server, and the microphone with it.
    // Dictation has ended: the user is told how to start it again.
    const QRegularExpression failed(QStringLiteral("^Notification: Звук с микрофона не поступает, диктовка остановлена\\. "
                                                   "Когда микрофон снова заработает, включите диктовку горячей "
                                                   "клавишей \\(.+\\)\\.$"));
    QTest::ignoreMessage(QtInfoMsg, failed);
    QTest::ignoreMessage(QtInfoMsg, "Notification: Устройство воспроизведения недоступно. Звук вернётся, когда "
                                    "устройство снова станет доступно.");
    QVERIFY(PulseTestServer::killClient(QStringLiteral("QtPulseAudio:%1").arg(QCoreApplication::applicationPid())));
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
    QVERIFY(!microphone->IsCapturing());

    // A start before the microphone is back is taken back at once.
    server->clearReceived();
    QTest::ignoreMessage(QtInfoMsg, failed);
    dictate(true);
    QTRY_COMPARE_WITH_TIMEOUT(server->messagesOfType(1).size(), 2, TestHome::scaled(5000));
    QCOMPARE(server->lastRequestedMode(), 0);

    // The self-test plays its own sound with the microphone paused: its dictation stands.
    microphone->paused.storeRelease(1);
    server->clearReceived();
    dictate(true);
    QTRY_COMPARE_WITH_TIMEOUT(qobject_cast<AsrManager*>(asr)->currentState(), Started, TestHome::scaled(5000));
    dictate(false);
    dictate(true);
    QTRY_COMPARE_WITH_TIMEOUT(requestedModes(server).size(), 3, TestHome::scaled(5000));
    QCOMPARE(requestedModes(server), (QList<int>{2, 0, 2}));
    dictate(false);
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
    microphone->paused.storeRelease(0);

    // Qt's backend reconnects by itself 3 s later; so does the microphone, and sound reaches the server again.
    QTRY_VERIFY_WITH_TIMEOUT(microphone->IsCapturing(), TestHome::scaled(15000));
    server->clearReceived();
    dictate(true);
    QTRY_VERIFY_WITH_TIMEOUT(!server->binaryMessages().isEmpty(), TestHome::scaled(10000));
    QCOMPARE(server->lastRequestedMode(), 2);
    dictate(false);
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
    microphone->setRestartDelay(2000);
}

void TestWindowsManager::switchedMicrophoneIsTold()
{
    RecordingDeviceManager* microphone = manager->recordingDevices();
    const QString first = microphone->CurrentDevice().deviceName();
    microphone->TrackChanges = true;
    QTest::ignoreMessage(QtInfoMsg, "Notification: Выбран микрофон: Plugged_Mic");
    QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("Notification: Выбран микрофон: ")
                                               + microphone->CurrentDevice().description()));
    {
        PulseModule plugged(QStringLiteral("module-null-source"),
                            {QStringLiteral("source_name=plugged_mic"), QStringLiteral("description=Plugged_Mic")});
        QVERIFY(plugged.isLoaded());
        QTRY_COMPARE_WITH_TIMEOUT(microphone->CurrentDevice().deviceName(), QStringLiteral("plugged_mic"),
                                  TestHome::scaled(10000));
    }
    QTRY_COMPARE_WITH_TIMEOUT(microphone->CurrentDevice().deviceName(), first, TestHome::scaled(10000));
    microphone->TrackChanges = false;
}

void TestWindowsManager::restartStopsWorkersAndHandsOver()
{
    // Asked for by the profile page's reset, which empties both profile files first.
    auto* settings = qobject_cast<SettingsContainerViewModel*>(
        qmlContext(manager->mainWindow())->contextProperty(QStringLiteral("settingsViewModel")).value<QObject*>());
    AppSettingsViewModel* profilePage = settings->pages().constLast();
    QCOMPARE(profilePage->get_ClassName(), QStringLiteral("StatisticsSettingsViewModel"));
    // Ended while dictating: the session ends with the socket's normal close, nothing sent before it.
    FakeRecognitionServer* server = servers->recognition();
    QObject* asr = qmlContext(manager->mainWindow())->contextProperty(QStringLiteral("asrManager")).value<QObject*>();
    QVERIFY(asr && QMetaObject::invokeMethod(asr, "startRecognition"));
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 2, TestHome::scaled(5000));
    answerQuestion(QMessageBox::Yes);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(QMetaObject::invokeMethod(profilePage, "resetCommand"));
    for (const QString& file : {ProfileFile::organisationFile(), ProfileFile::userFile()})
        QVERIFY(QSettings(file, QSettings::IniFormat).allKeys().isEmpty());
    // Three workers, each stopped within its two 5 s limits (they take far less).
    QVERIFY2(timer.elapsed() < TestHome::scaled(30000), qPrintable(QString::number(timer.elapsed())));
    for (SubService* service : manager->subServices()) {
        QVERIFY(!service->isStarted());
        QVERIFY(service->getThread()->isFinished());
    }
    QVERIFY(!tray->trayIcon()->isVisible());
    QVERIFY(servers->recognition()->connectionCount() >= 1);
    QTRY_COMPARE_WITH_TIMEOUT(server->lastCloseCode(), int(QWebSocketProtocol::CloseCodeNormal),
                              TestHome::scaled(5000));
    QCOMPARE(server->lastRequestedMode(), 2);
}

// The program runs with this test in its event loop. A copy restarted by the
// last case runs the same file with the restart marker and is the plain program.
static TestWindowsManager* testObject = nullptr;
static int testResult = 0;

static void scheduleTests()
{
    if (isRestartedCopy())
        return;
    TestHome::setRunningInsideTheClient();
    TestHome::wipe();
    testObject = new TestWindowsManager;
    testObject->servers = std::make_unique<FakeServerSet>();
    // No theme auto-selection: the start-up theme check must be passed.
    testObject->servers->writeClientSettings(TestHome::settingsFile(), false);
    // A punctuation choice the build does not offer is switched off at start-up.
    ASRSettings asr;
    asr.PunctuationEnabled = false;
    asr.UsePunctuation = true;
    asr.sync();
    // A hand-edited hotkey name that names nothing means the first choice.
    HotkeySettings hotkeys;
    hotkeys.HotKey = QStringLiteral("DoubleShift");
    hotkeys.sync();
    // Keys of another program in the profile go with the profile page's reset.
    QSettings(ProfileFile::organisationFile(), QSettings::IniFormat).setValue(QStringLiteral("Other/Key"), 1);
    // A damaged command file must not stop start-up, and stays as it is.
    QDir().mkpath(UserCommandsManager::commandsFolder());
    QFile damaged(damagedCommandFile());
    if (damaged.open(QIODevice::WriteOnly))
        damaged.write(DamagedCommands);
    QTimer::singleShot(0, [] {
        testResult = QTest::qExec(testObject, QCoreApplication::arguments());
        delete testObject;
        testObject = nullptr;
    });
}
Q_COREAPP_STARTUP_FUNCTION(scheduleTests)

// Waits for the restarted copy, this process's child, to end; past the time,
// kills its group and says so.
static bool endedCleanly(pid_t pid, int msecs)
{
    int status = 0;
    QElapsedTimer timer;
    timer.start();
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && timer.elapsed() < msecs)
        QThread::msleep(50);
    if (ended == 0) {
        qCritical() << "The restarted copy" << pid << "did not end within" << msecs / 1000 << "s: its process group is killed";
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return false;
    }
    if (ended == pid && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
        qCritical() << "The restarted copy ended with status" << status;
        return false;
    }
    return true;
}

// After this copy ended, exactly one new copy must hold the guard, and end
// cleanly when told to.
static bool restartedCopyTookOver()
{
    QElapsedTimer timer;
    timer.start();
    bool guarded = false;
    while (!guarded && timer.elapsed() < TestHome::scaled(15000)) {
        QThread::msleep(100);
        guarded = RunGuard(RunGuard::clientKey()).isAnotherRunning();
    }
    // A copy's own short-lived fork children (before their exec) look like copies too.
    QList<pid_t> copies = otherCopies();
    timer.restart();
    while (copies.size() > 1 && timer.elapsed() < TestHome::scaled(3000)) {
        QThread::msleep(50);
        copies = otherCopies();
    }
    bool ended = true;
    for (pid_t pid : copies) {
        ::kill(pid, SIGTERM);
        ended = endedCleanly(pid, TestHome::scaled(20000)) && ended;
    }
    if (!guarded || copies.size() != 1) {
        qCritical() << "After the restart: guard taken" << guarded << ", copies running" << copies.size();
        return false;
    }
    return ended;
}

int main(int argc, char** argv)
{
    if (isRestartedCopy())
        quickExit(scrivoraMain(argc, argv));
    const int programResult = scrivoraMain(argc, argv);
    const bool tookOver = restartedCopyTookOver();
    if (programResult != 0)
        qCritical() << "The program ended with" << programResult;
    quickExit(testResult != 0 || programResult != 0 || !tookOver ? 1 : 0);
}

#include "TestWindowsManager.moc"
