#include "ASRSettings.h"
#include "ChildProcess.h"
#include "ConnectionManager.h"
#include "FakeServerSet.h"
#include "HotKeyManager.h"
#include "HotkeySettings.h"
#include "KeyRecorderWindow.h"
#include "LaunchSettingsViewModel.h"
#include "QuickExit.h"
#include "QuickWindows.h"
#include "RecognitionSettingsViewModel.h"
#include "ScrivoraMain.h"
#include "SettingsContainerViewModel.h"
#include "SystemTray.h"
#include "TestHome.h"
#include "ThemeChooseViewModel.h"
#include "ValidatableInt32.h"
#include "WindowsManager.h"
#include "XTestKeyboard.h"

#include <QtTest>

#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QQmlContext>
#include <QQuickWindow>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>
#include <memory>

namespace {

using QuickWindows::titled;

const char* const PhaseVariable = "SCRIVORA_THEME_FLOW_PHASE";
const QString ThemeWindowTitle = QStringLiteral("Выбор темы");

template<typename T>
T* published(const char* name)
{
    QQuickWindow* main = titled(QStringLiteral("Scrivora"));
    return main ? qobject_cast<T*>(qmlContext(main)->contextProperty(QLatin1String(name)).value<QObject*>()) : nullptr;
}

QString programLog()
{
    QDir logs(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs"));
    QFile file(logs.filePath(logs.entryList({QStringLiteral("log_*.log")}, QDir::Files, QDir::Time).value(0)));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList selectedThemesSent(FakeRecognitionServer* server)
{
    QStringList ids;
    for (const FakeRecognitionServer::Message& message : server->messagesOfType(9))
        ids << message.data.toObject().value(QStringLiteral("Id")).toString();
    return ids;
}

bool connectEntryShown(SystemTray* tray)
{
    for (QAction* action : tray->menu()->actions()) {
        if (action->text() == QStringLiteral("Подключиться к серверу"))
            return action->isVisible() && action->isEnabled();
    }
    return false;
}

} // namespace

// One start of the program in this process, driven as a user drives it
// against a fake balancer and recognition server whose themes have the
// composition types 2, 1, 0 and 1. The settings file carries over from one
// start to the next.
class ThemeFlowStart : public QObject
{
    Q_OBJECT

public:
    FakeServerSet servers;

private slots:
    void initTestCase();
    void cleanupTestCase() { manager->closeApplication(); }
    // No choice remembered: the window lists the themes; "Отмена" leaves a client that dictates.
    void cancel();
    // The window comes back at the next start; "Готово" stores the choice and tells the server.
    void done();
    // The remembered choice skips the window; a hotkey changed on the launch page works at once.
    void remembered();

private:
    void doubleTap(const char* key);

    WindowsManager* manager = nullptr;
    SystemTray* tray = nullptr;
    ConnectionManager* connection = nullptr;
    RecognitionSettingsViewModel* recognition = nullptr;
    std::unique_ptr<XTestKeyboard> keyboard;
};

void ThemeFlowStart::initTestCase()
{
    QTRY_VERIFY_WITH_TIMEOUT(titled(QStringLiteral("Scrivora")), TestHome::scaled(5000));
    manager = published<WindowsManager>("windowsManager");
    tray = published<SystemTray>("systemTray");
    connection = published<ConnectionManager>("connectionManager");
    recognition = published<RecognitionSettingsViewModel>("recognitionSettingsViewModel");
    QVERIFY(manager && tray && connection && recognition);
    keyboard = std::make_unique<XTestKeyboard>();
    QVERIFY(keyboard->isOpen());
}

void ThemeFlowStart::doubleTap(const char* key)
{
    keyboard->doubleTap(key);
    // Apart from the next pair, so the presses are not counted as one run.
    QTest::qWait(300);
}

void ThemeFlowStart::cancel()
{
    QTRY_COMPARE_WITH_TIMEOUT(connection->getState(), int(ConnectionManager::ThemeCheck), TestHome::scaled(20000));
    QQuickWindow* window = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((window = titled(ThemeWindowTitle)) && window->isVisible(), TestHome::scaled(5000));
    ThemeChooseViewModel* chooser = recognition->themeChooser();
    QStringList listed;
    for (int i = 0; i < chooser->choices()->count(); ++i)
        listed << chooser->choices()->itemAt(i)->get_Id();
    QCOMPARE(listed, QStringList({"b", "a", "d"}));
    QCOMPARE(chooser->selectedIndexField()->get_IntValue(), 0);
    // Waiting for the choice: the tray says so, and there is nothing to connect.
    QVERIFY(tray->toolTip().contains(QStringLiteral("Подключается к")));
    QVERIFY(!connectEntryShown(tray));

    QVERIFY(QMetaObject::invokeMethod(window, "cancel"));
    QTRY_COMPARE_WITH_TIMEOUT(connection->getState(), int(ConnectionManager::Ready), TestHome::scaled(10000));
    QVERIFY(!window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(tray->toolTip().contains(QStringLiteral("Сервер 127.0.0.1")), TestHome::scaled(5000));
    QVERIFY(!connectEntryShown(tray));
    const ASRSettings settings;
    QVERIFY(!settings.contains(QStringLiteral("IsThemeAutoSelect")));
    QVERIFY(!settings.contains(QStringLiteral("SelectedTheme")));

    // Dictation works: a double Ctrl asks for it, the text is typed where the focus is.
    QVERIFY(keyboard->setLayout(QStringLiteral("us,ru")));
    KeyRecorderWindow recorder(QRect(60, 80, 400, 160));
    QVERIFY(recorder.isOpen());
    keyboard->focus(recorder.windowId());
    QTRY_VERIFY_WITH_TIMEOUT(HotKeyManager::getHotkeyManager()->IsInitialized(), TestHome::scaled(5000));
    FakeRecognitionServer* server = servers.recognition();
    server->clearReceived();
    doubleTap("Control_L");
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 2, TestHome::scaled(5000));
    // The monitor shows while dictating, the interim text over the window it goes to.
    QQuickWindow* monitor = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((monitor = titled(QStringLiteral("Монитор распознавания"))) && monitor->isVisible(),
                             TestHome::scaled(5000));
    server->sendResult(QStringLiteral("проверка связи"), false);
    QTRY_COMPARE_WITH_TIMEOUT(published<QObject>("monitorViewModel")->property("ResultText").toString(),
                 QStringLiteral("Проверка связи"), TestHome::scaled(5000));
    QTest::qWait(300);
    const QString pictures = QStringLiteral(SCRIVORA_TEST_OUTPUT "/screenshots");
    QDir().mkpath(pictures);
    QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 1280, 320).save(pictures + QStringLiteral("/monitor-while-dictating.png"));
    server->sendResult(QStringLiteral("проверка связи"), true);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.text(), QStringLiteral("Проверка связи"), TestHome::scaled(10000));
    doubleTap("Control_L");
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
}

void ThemeFlowStart::done()
{
    QTRY_COMPARE_WITH_TIMEOUT(connection->getState(), int(ConnectionManager::ThemeCheck), TestHome::scaled(20000));
    QQuickWindow* window = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((window = titled(ThemeWindowTitle)) && window->isVisible(), TestHome::scaled(5000));
    // What the combo box and the check box do.
    recognition->themeChooser()->selectedIndexField()->set_IntValue(2);
    recognition->set_IsThemeAutoSelect(true);
    QVERIFY(QMetaObject::invokeMethod(window, "accept"));

    QTRY_COMPARE_WITH_TIMEOUT(connection->getState(), int(ConnectionManager::Ready), TestHome::scaled(10000));
    QVERIFY(!window->isVisible());
    const ASRSettings settings;
    QCOMPARE(bool(settings.IsThemeAutoSelect), true);
    QCOMPARE(QString(settings.SelectedTheme), QStringLiteral("d"));
    QTRY_VERIFY_WITH_TIMEOUT(selectedThemesSent(servers.recognition()).contains(QStringLiteral("d")),
                             TestHome::scaled(5000));
}

void ThemeFlowStart::remembered()
{
    QTRY_COMPARE_WITH_TIMEOUT(connection->getState(), int(ConnectionManager::Ready), TestHome::scaled(20000));
    const QQuickWindow* window = titled(ThemeWindowTitle);
    QVERIFY(!window || !window->isVisible());
    QVERIFY(!programLog().contains(QStringLiteral("to 13")));
    QTRY_COMPARE_WITH_TIMEOUT(selectedThemesSent(servers.recognition()).value(0), QStringLiteral("d"),
                              TestHome::scaled(5000));

    // The launch page switches the hotkey to a double Caps Lock, without a restart.
    auto* settingsWindow = published<SettingsContainerViewModel>("settingsViewModel");
    LaunchSettingsViewModel* launch = nullptr;
    for (AppSettingsViewModel* page : settingsWindow->pages()) {
        if (auto* candidate = qobject_cast<LaunchSettingsViewModel*>(page))
            launch = candidate;
    }
    QVERIFY(launch);
    settingsWindow->onLoad();
    launch->hotKeyChoices()->set_CurrentIndex(int(Hotkey::DoubleCapsLock));
    QVERIFY(settingsWindow->applyCommand());
    settingsWindow->onClose();
    QCOMPARE(QString(HotkeySettings().HotKey), QStringLiteral("DoubleCapsLock"));

    QTRY_VERIFY_WITH_TIMEOUT(HotKeyManager::getHotkeyManager()->IsInitialized(), TestHome::scaled(5000));
    FakeRecognitionServer* server = servers.recognition();
    server->clearReceived();
    doubleTap("Caps_Lock");
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 2, TestHome::scaled(5000));
    doubleTap("Caps_Lock");
    QTRY_COMPARE_WITH_TIMEOUT(server->lastRequestedMode(), 0, TestHome::scaled(5000));
    keyboard->releaseAll();
}

// The parent: each start is a child process of this binary, in order.
class TestThemeFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestHome::wipe(); }
    void startsInTurn_data();
    void startsInTurn();
};

void TestThemeFlow::startsInTurn_data()
{
    QTest::addColumn<QString>("start");
    QTest::newRow("first start, cancelled") << "cancel";
    QTest::newRow("second start, chosen and remembered") << "done";
    QTest::newRow("third start, remembered") << "remembered";
}

void TestThemeFlow::startsInTurn()
{
    QFETCH(QString, start);
    ChildProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(PhaseVariable), start);
    child.setProcessEnvironment(environment);
    child.collectOutput();
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForStarted(TestHome::scaled(30000)));
    const bool ended = child.waitToEnd(TestHome::scaled(90000));
    bool passed = ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    // The exit code is the checker's then; the start said its own before the check.
    if (!passed && ended && child.leakCheckItselfFailed()
        && child.output().contains(QLatin1String("\nThe start ends with 0\n"))) {
        qWarning("The leak checker itself crashed as the start ended; the start passed, its leaks went unchecked");
        passed = true;
    }
    // Qt Test keeps the first kilobyte of a message: the start's own failures first.
    if (!passed)
        qWarning().noquote() << child.output().right(6000);
    QVERIFY2(passed, qPrintable(child.output().split(QLatin1Char('\n')).filter(QRegularExpression("^(FAIL!|   Loc:)")).join('\n')));
}

static int startResult = 0;

static void scheduleStart()
{
    const QString start = qEnvironmentVariable(PhaseVariable);
    if (start.isEmpty())
        return;
    TestHome::setRunningInsideTheClient();
    auto* test = new ThemeFlowStart;
    test->servers.setThemes({QJsonObject{{"Id", "a"}, {"Name", "Терапия"}, {"Version", "1"}, {"CompositionType", 1}},
                             QJsonObject{{"Id", "b"}, {"Name", "Общая"}, {"Version", "4"}, {"CompositionType", 2}},
                             QJsonObject{{"Id", "c"}, {"Name", "Базовая"}, {"Version", "1"}, {"CompositionType", 0}},
                             QJsonObject{{"Id", "d"}, {"Name", "Хирургия"}, {"Version", "2"}, {"CompositionType", 1}}});
    test->servers.writeClientSettings(TestHome::settingsFile(), false);
    QTimer::singleShot(0, [test, start] {
        startResult = QTest::qExec(test, {QCoreApplication::applicationFilePath(), start});
        delete test;
    });
}
Q_COREAPP_STARTUP_FUNCTION(scheduleStart)

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(PhaseVariable)) {
        const int programResult = scrivoraMain(argc, argv);
        const int result = startResult != 0 || programResult != 0 ? 1 : 0;
        std::fprintf(stderr, "\nThe start ends with %d\n", result);
        quickExit(result);
    }
    QCoreApplication app(argc, argv);
    TestThemeFlow test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestThemeFlow.moc"
