#include "WindowsManager.h"

#include "ASRSettings.h"
#include "AboutSettingsViewModel.h"
#include "AsrManager.h"
#include "AudioDeviceSettingsViewModel.h"
#include "AutoReplaceManager.h"
#include "CommandsViewModel.h"
#include "ConnectionHelper.h"
#include "ConnectionHeartbeat.h"
#include "ConnectionManager.h"
#include "DataMessageProcessor.h"
#include "FeedbackViewModel.h"
#include "FixedWindow.h"
#include "FormApiSettings.h"
#include "HotKeyManager.h"
#include "HotkeySettings.h"
#include "HotkeyTypes.h"
#include "KivaroViewModel.h"
#include "LaunchManager.h"
#include "LaunchSettingsViewModel.h"
#include "Method.h"
#include "MonitorViewModel.h"
#include "NetworkSettingsViewModel.h"
#include "PlaybackDeviceManager.h"
#include "ProfileFile.h"
#include "PulseAudioManager.h"
#include "RecognitionModeInfo.h"
#include "RecognitionSettingsViewModel.h"
#include "RecordingDeviceManager.h"
#include "RestProxyServer.h"
#include "ResultManager.h"
#include "RunGuard.h"
#include "SelfTest.h"
#include "SelfTestSettings.h"
#include "SelfTestViewModel.h"
#include "ServerThemesInfo.h"
#include "Settings.h"
#include "SettingsContainerViewModel.h"
#include "StatisticsSettings.h"
#include "StatisticsSettingsViewModel.h"
#include "StatisticsViewModel.h"
#include "SubService.h"
#include "SynthesisSettingsViewModel.h"
#include "SystemTray.h"
#include "TerminationSignals.h"
#include "TextResult.h"
#include "TextWriter.h"
#include "TtsManager.h"
#include "TtsStateInfo.h"
#include "TypingQueue.h"
#include "UserCommandsManager.h"
#include "VexStyle.h"
#include "WebSocketClient.h"
#include "WebSocketProxyServer.h"
#include "WebSocketWorker.h"
#include "X11Display.h"
#include "logger.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QScreen>
#include <QThread>
#include <QTranslator>
#include <QWindow>

#include <cstring>
#include <exception>
#include <tuple>
#include <vector>

#include <csignal>
#include <spawn.h>

using ParameterDictionary = QMap<QString, QString>;

const char* const WindowsManager::RestartMarker = "SCRIVORA_RESTARTED";

// The qml library is static: its resources must be registered by hand.
static void registerQmlResources()
{
    Q_INIT_RESOURCE(qml);
}

// Starts the program again, detached into a session of its own; its pid, or 0
// with *error set. Qt's startDetached allocates in the forked child, which
// under the sanitizers' allocator (not fork-safe) can hang for good when another
// thread held its lock, and this thread with it: posix_spawn prepares everything
// before the child exists.
static pid_t startDetachedCopy(const QStringList& arguments, const QProcessEnvironment& environment, QString* error)
{
    QList<QByteArray> argumentBytes{QFile::encodeName(QCoreApplication::applicationFilePath())};
    for (const QString& argument : arguments)
        argumentBytes << argument.toLocal8Bit();
    QList<QByteArray> environmentBytes;
    for (const QString& variable : environment.toStringList())
        environmentBytes << variable.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (QByteArray& variable : environmentBytes)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    // As a fresh start: every signal at its default and none blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int result = posix_spawn(&pid, argv.front(), nullptr, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        *error = QString::fromLocal8Bit(std::strerror(result));
        return 0;
    }
    return pid;
}

namespace {
bool needsXDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform.isEmpty() || platform.startsWith("xcb");
}

const QString SoundOn = QStringLiteral(":/Assets/SpeechOn.wav");
const QString SoundOff = QStringLiteral(":/Assets/SpeechOff.wav");

template<typename T>
QString displayNameOrFirst(const QString& invariantName)
{
    try {
        return Enum<T>::ToString(Enum<T>::FromInvariantString(invariantName));
    } catch (const std::exception&) {
        // A hand-edited name falls back to the first choice, as the hotkey manager does.
        return Enum<T>::Values.empty() ? QString() : Enum<T>::Values.begin()->second->name();
    }
}

UserNotification notification(NotificationType type, const QString& title, const QString& message, bool force)
{
    UserNotification n;
    n.setType(type);
    n.setTitle(title);
    n.setMessage(message);
    n.setAction(NotificationActionShow);
    n.setForce(force);
    return n;
}

QSystemTrayIcon::MessageIcon iconOf(NotificationType type)
{
    switch (type) {
    case NotificationTypeInformation:
        return QSystemTrayIcon::Information;
    case NotificationTypeWarning:
        return QSystemTrayIcon::Warning;
    case NotificationTypeCritical:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}
} // namespace

WindowsManager::WindowsManager(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<RecognitionModeInfo>("RecognitionModeInfo");
    qRegisterMetaType<TtsStateInfo>("TtsStateInfo");
    qRegisterMetaType<UserNotification>("UserNotification");
    qRegisterMetaType<ServerThemesInfo>("ServerThemesInfo");
    qRegisterMetaType<TextResult>("TextResult");
    qRegisterMetaType<AsrState>("AsrState");
    qRegisterMetaType<ConnectionStateInfo>("ConnectionStateInfo");
    qRegisterMetaType<Method>("Method");
    qRegisterMetaType<ParameterDictionary>("ParameterDictionary");
    FixedWindow::registerQmlType();
    display = X11Display::open(&rootWindow);
}

WindowsManager::~WindowsManager()
{
    setLogWriteFailureHandler({});
    X11Display::close(display);
    if (ttsManager)
        ttsManager->deleteLater();
}

int WindowsManager::start(int argc, char** argv)
{
    if (startCalled)
        return -1;
    startCalled = true;
    if (!display && needsXDisplay()) {
        // Qt would abort; say what is missing instead.
        qCritical() << "No X display" << qgetenv("DISPLAY") << ": the client needs an X11 desktop";
        return -1;
    }

    QFont font(fontFamily);
    QApplication::setFont(font);
    QApplication app(argc, argv);
    // Closing the last QML window must not end the program behind the tray's back.
    app.setQuitOnLastWindowClosed(false);
    InitLogger(argc, argv);
    installQtTranslations(&app);

    try {
        return run();
    } catch (const std::exception& e) {
        qCritical() << "Application exception at startup: ";
        qCritical() << e.what();
        qCritical() << "Startup failed";
        TextWriter::Cleanup();
        return -1;
    }
}

bool WindowsManager::installQtTranslations(QCoreApplication* app)
{
    // Qt's own dialogs and buttons speak the language of the program, whatever the session's.
    auto* translator = new QTranslator(app);
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Russian), QStringLiteral("qt"), QStringLiteral("_"), folder)) {
        qWarning().noquote() << "No Russian translations of Qt in " + folder + ": Qt's own dialogs stay in English";
        delete translator;
        return false;
    }
    app->installTranslator(translator);
    return true;
}

bool WindowsManager::acquireGuard(RunGuard& guard)
{
    const bool restarted = qEnvironmentVariableIsSet(RestartMarker);
    qunsetenv(RestartMarker);
    if (guard.tryToRun())
        return true;
    if (!restarted || !guard.problem().isEmpty())
        return false;
    // The copy that restarted us lets go of the guard only once its event loop has ended.
    qInfo() << "Waiting for the previous copy to end";
    QDeadlineTimer deadline(guardWaitMs);
    while (!deadline.hasExpired()) {
        QThread::msleep(100);
        if (guard.tryToRun())
            return true;
    }
    qCritical() << "The previous copy did not end within" << guardWaitMs << "ms";
    return false;
}

int WindowsManager::run()
{
    QApplication::setWindowIcon(QIcon(windowIconPath));

    // Before anything heavy: a second copy only shows its message.
    RunGuard guard(RunGuard::clientKey());
    if (!acquireGuard(guard)) {
        const QString problem = guard.problem();
        if (problem.isEmpty())
            qWarning() << "Another copy is running for this user";
        else
            qCritical().noquote() << "Not started: the single-instance guard cannot be used:" << problem;
        QMessageBox::critical(nullptr, QStringLiteral("Ошибка"),
                              problem.isEmpty()
                                  ? QStringLiteral("Приложение уже запущено")
                                  : QStringLiteral("Не удалось проверить, не запущено ли приложение уже: %1").arg(problem),
                              QMessageBox::Ok);
        return -1;
    }
    // Logout and Ctrl+C end the program the way "Выход" does.
    TerminationSignals terminationSignals;
    connect(&terminationSignals, &TerminationSignals::received, this, &WindowsManager::closeApplication);
    auto engine = std::make_unique<QQmlApplicationEngine>();

    // Before the first settings read: a file Qt cannot read would throw out of every one.
    const QStringList damagedSystemSettings = Settings::leaveOutUnreadableSystemFiles();
    const QString damagedSettings = Settings::setAsideUnreadableFile();
    // The same for the profile files, read at every connection attempt.
    const QStringList damagedProfile = ProfileFile::setAsideUnreadable();
    {
        ASRSettings asr;
        if (!asr.PunctuationEnabled && asr.UsePunctuation) {
            asr.UsePunctuation = false;
            asr.sync();
        }
    }

    UserCommandsManager userCommandsManager;
    AutoReplaceManager autoReplaceManager;
    PulseAudioManager pulseAudioManager;
    playbackManager = pulseAudioManager.PlaybackManager();
    recordingManager = pulseAudioManager.RecordingManager();

    HotKeyManager* hotkeys = HotKeyManager::getHotkeyManager();
    connect(&userCommandsManager, &UserCommandsManager::CommandExecutionError, this, &WindowsManager::OnCommandError);
    connect(hotkeys, &HotKeyManager::activated, this, &WindowsManager::onHotkeyActivated);
    connect(hotkeys, &HotKeyManager::activationModeChanged, this, &WindowsManager::onHotkeyChanged);

    VexStyle::registerQmlType();

    tray = new SystemTray;
    setLogWriteFailureHandler([this](const QString& path) {
        QMetaObject::invokeMethod(this, [this, path] {
            tray->showMessage(QStringLiteral("Журнал не записывается"),
                              QStringLiteral("Не удаётся записать журнал работы в папку %1: нет места на диске или нет "
                                             "доступа к папке.")
                                  .arg(QFileInfo(path).path()),
                              QSystemTrayIcon::Warning);
        }, Qt::QueuedConnection);
    });
    reportUnknownVerification();
    // Files set aside or left out at start, each told once: title, text, files.
    const QList<std::tuple<QString, QString, QStringList>> damagedFiles{
        {QStringLiteral("Общие настройки не используются"),
         QStringLiteral("Файл общих настроек %1 повреждён и не используется, пока администратор его не исправит. "
                        "Используются ваши настройки и настройки по умолчанию."),
         damagedSystemSettings},
        {QStringLiteral("Настройки сброшены"),
         QStringLiteral("Файл настроек повреждён и сохранён как %1. Используются настройки по умолчанию."),
         damagedSettings.isEmpty() ? QStringList() : QStringList{damagedSettings}},
        {QStringLiteral("Данные пользователя не прочитаны"),
         QStringLiteral("Файл данных пользователя повреждён и сохранён как %1. Приложение работает без этих данных."),
         damagedProfile}};
    for (const auto& [title, text, files] : damagedFiles) {
        if (!files.isEmpty())
            tray->showMessage(title, text.arg(files.join(QStringLiteral(", "))), QSystemTrayIcon::Warning);
    }
    QQmlContext* context = engine->rootContext();
    context->setContextProperty(QStringLiteral("systemTray"), tray);

    NetworkSettingsViewModel networkSettings;
    RecognitionSettingsViewModel recognitionSettings;
    createWebSocketWorker(&autoReplaceManager, &recognitionSettings, &userCommandsManager);
    AsrManager* asr = worker->asrManager();

    connect(recordingManager, &RecordingDeviceManager::SelectedIndexChanged, this,
            &WindowsManager::onRecordingDeviceChanged);
    for (AudioDeviceManagerBase* audio : {static_cast<AudioDeviceManagerBase*>(recordingManager),
                                          static_cast<AudioDeviceManagerBase*>(playbackManager)}) {
        connect(audio, &AudioDeviceManagerBase::DeviceError, this,
                [this, audio] { onAudioDeviceEvent(audio, AudioDeviceFailed); });
        connect(audio, &AudioDeviceManagerBase::DeviceNotification, this,
                [this, audio] { onAudioDeviceEvent(audio, AudioDeviceSwitched); });
    }
    // Queued: a device that is being replaced stops before its successor starts.
    connect(recordingManager, &AudioDeviceManagerBase::DeviceStopped, this,
            [this] { onAudioDeviceEvent(recordingManager, AudioDeviceStopped); }, Qt::QueuedConnection);
    pulseAudioManager.Start();

    createConnectionManager(engine.get(), &networkSettings, recordingManager);

    heartbeat = new ConnectionHeartbeat(worker->wsClient());
    connect(heartbeat, &ConnectionHeartbeat::timeout, connection, &ConnectionManager::onDisconnectRequested,
            Qt::QueuedConnection);
    heartbeatService = new SubService(heartbeat, false);
    services.append(heartbeatService);

    AudioDeviceSettingsViewModel audioSettings(recordingManager, playbackManager);
    AboutSettingsViewModel aboutSettings;
    LaunchSettingsViewModel launchSettings(worker->launchManager());
    // Emitted in the connection driver's thread: the page must handle it in its own.
    connect(connection, &ConnectionManager::vacStateChanged, &launchSettings,
            &LaunchSettingsViewModel::VACSettingsVisibleChanged, Qt::QueuedConnection);
    connect(&launchSettings, &LaunchSettingsViewModel::vacSettingsVisibleChanged, this,
            &WindowsManager::onVACSettingsVisibleChanged);
    connect(&launchSettings, &LaunchSettingsViewModel::activationChanged, asr, &AsrManager::stopRecognition);
    connect(&launchSettings, &LaunchSettingsViewModel::activationChanged, worker->launchManager(),
            &LaunchManager::updateSettings);
    connect(&launchSettings, &LaunchSettingsViewModel::hotKeysChanged, hotkeys, &HotKeyManager::onSettingsChanged);
    connect(connection, &ConnectionManager::disconnected, worker->resultManager(), &ResultManager::flushResult);
    connect(asr, &AsrManager::currentModeOrStateChanged, this, &WindowsManager::onAsrModeStateChanged);
    connect(asr, &AsrManager::errorNotification, tray, &SystemTray::showError);

    SynthesisSettingsViewModel synthesisSettings;
    QList<AppSettingsViewModel*> pages{&audioSettings,     &launchSettings,  &recognitionSettings,
                                       &synthesisSettings, &networkSettings, &aboutSettings};

    StatisticsSettingsViewModel statisticsSettings;
    statisticsEnabled = StatisticsSettings().FillOrganisationUserInfo;
    if (statisticsEnabled) {
        pages.append(&statisticsSettings);
        connect(&statisticsSettings, &StatisticsSettingsViewModel::needRestartApplication, this,
                &WindowsManager::restartApplication);
    }

    SettingsContainerViewModel settingsContainer(pages, connection);
    CommandsViewModel commandsViewModel;
    context->setContextProperty(QStringLiteral("settingsViewModel"), &settingsContainer);
    context->setContextProperty(QStringLiteral("recognitionSettingsViewModel"), &recognitionSettings);
    context->setContextProperty(QStringLiteral("commandsViewModel"), &commandsViewModel);

    auto* restProxyServer = new RestProxyServer;
    context->setContextProperty(QStringLiteral("restProxyServer"), restProxyServer);
    connectFormServerFailures(worker->webSocketProxyServer(), restProxyServer);
    connect(&networkSettings, &NetworkSettingsViewModel::ApplyNetworkSettings, restProxyServer,
            [restProxyServer](bool, bool, bool restProxyChanged) {
                if (restProxyChanged)
                    restProxyServer->onSettingsChanged();
            });

    feedbackViewModel = new FeedbackViewModel(asr, recordingManager);
    connect(feedbackViewModel, &FeedbackViewModel::notifyUser, this, &WindowsManager::processUserNotification);
    context->setContextProperty(QStringLiteral("feedbackViewModel"), feedbackViewModel);
    kivaroViewModel = new KivaroViewModel(asr, worker->localKivaroManager());
    connect(kivaroViewModel, &KivaroViewModel::notifyUser, this, &WindowsManager::processUserNotification);
    context->setContextProperty(QStringLiteral("kivaroViewModel"), kivaroViewModel);
    statisticsViewModel = new StatisticsViewModel;
    context->setContextProperty(QStringLiteral("statisticsViewModel"), statisticsViewModel);

    connect(asr, &AsrManager::selectedThemeChanged, &userCommandsManager, &UserCommandsManager::updateCommands);
    userCommandsManager.setAsrManager(asr);
    loadUserCommands(&userCommandsManager);
    commandsViewModel.set_CommandsManager(&userCommandsManager, userCommandsManager.get_CommandTypes());
    autoReplaceManager.set_Managers(asr, &userCommandsManager);

    MonitorViewModel monitorViewModel(asr, worker->resultManager(), recordingManager, connection);
    // A balloon near the tray would lie over the monitor's stop button while
    // dictation starts or runs; once it stops, notices (why it stopped) show.
    // Queued: the connection driver reports mode states from its own thread.
    connect(
        asr, &AsrManager::currentModeOrStateChanged, tray,
        [this](RecognitionMode mode, AsrState state) {
            if (unsigned(mode) > unsigned(RecognitionModeNamespace::VoiceActivation))
                tray->notices()->setMonitorShown(state == Starting || state == Started);
        },
        Qt::QueuedConnection);
    context->setContextProperty(QStringLiteral("asrManager"), asr);
    context->setContextProperty(QStringLiteral("monitorViewModel"), &monitorViewModel);

    connect(&networkSettings, &NetworkSettingsViewModel::ApplyNetworkSettings, this,
            &WindowsManager::onApplyNetworkSettings);
    connect(connection, &ConnectionManager::stateChanged, restProxyServer, &RestProxyServer::onWsConnectionState);

    connect(this, &WindowsManager::activationHotkey, asr, &AsrManager::startRecognition);
    connect(this, &WindowsManager::deactivationHotkey, asr, &AsrManager::stopRecognition);
    connect(this, &WindowsManager::modeChangeHotkey, asr, &AsrManager::changeRecognition);
    connect(&commandsViewModel, &CommandsViewModel::commandsChanged, asr, &AsrManager::stopRecognition);

    ttsManager = createTtsManager(playbackManager, &synthesisSettings);

    if (SelfTestSettings().Enabled) {
        auto* selfTestViewModel = new SelfTestViewModel(this);
        new SelfTest(selfTestViewModel, worker, connection, heartbeat, recordingManager, this);
        context->setContextProperty(QStringLiteral("selfTestViewModel"), selfTestViewModel);
    }
    context->setContextProperty(QStringLiteral("windowsManager"), this);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        screenX = available.left();
        screenY = available.top();
        emit changed_ScreenX(screenX);
        emit changed_ScreenY(screenY);
    }

    // Also on the way out by an exception: the workers stop before the objects
    // they use go, and the QML engine goes before the view models it shows.
    struct Teardown
    {
        WindowsManager* manager;
        std::unique_ptr<QQmlApplicationEngine>& engine;
        ~Teardown()
        {
            manager->stopSubServices();
            engine.reset();
        }
    } teardown{this, engine};

    registerQmlResources();
    // The style module "VexStyle" lives in the resources.
    engine->addImportPath(QStringLiteral("qrc:/"));
    engine->load(QUrl(mainViewUrl));
    if (engine->rootObjects().isEmpty()) {
        qCritical() << "The main view could not be loaded:" << mainViewUrl;
        return -1;
    }
    window = qobject_cast<QWindow*>(engine->rootObjects().constLast());
    TextWriter::Init();
    connect(TextWriter::Writer->queue(), &TypingQueue::stopped, tray, [this](int untyped) {
        tray->showMessage(QStringLiteral("Печать остановлена"),
                          QStringLiteral("Не напечатано символов распознанного текста: %1").arg(untyped));
    });
    if (!TextWriter::Writer->hasSpareKeys())
        tray->showMessage(QStringLiteral("Печать текста"),
                          QStringLiteral("На клавиатуре нет свободных кодов клавиш: буквы и знаки, которых нет в "
                                         "раскладке, напечатаны не будут. Раскладку восстановит setxkbmap или "
                                         "новый вход в систему."),
                          QSystemTrayIcon::Warning);
    const int result = QApplication::exec();

    stopSubServices();
    engine.reset();
    TextWriter::Cleanup();
    pulseAudioManager.Stop();
    disconnect(connection, &ConnectionManager::stateChanged, restProxyServer, &RestProxyServer::onWsConnectionState);
    delete restProxyServer;
    deleteViewModels();
    return result;
}

void WindowsManager::loadUserCommands(UserCommandsManager* userCommandsManager)
{
    // Start-up goes on with what could be read; the files stay as they are for the user to mend.
    QString problem;
    try {
        userCommandsManager->LoadAll();
        const QStringList unreadable = userCommandsManager->get_UnreadableFiles();
        if (!unreadable.isEmpty())
            problem = QStringLiteral("Не удалось прочитать: ") + unreadable.join(QStringLiteral(", "));
    } catch (const std::exception& e) {
        problem = QString::fromUtf8(e.what());
    }
    if (problem.isEmpty())
        return;
    qWarning().noquote() << "User command files could not be read:" << problem;
    tray->showMessage(QStringLiteral("Команды загружены не полностью"), problem, QSystemTrayIcon::Warning);
}

WebSocketWorker* WindowsManager::createWebSocketWorker(AutoReplaceManager* autoReplaceManager,
                                                       RecognitionSettingsViewModel* recognitionSettings,
                                                       UserCommandsManager* userCommandsManager)
{
    worker = new WebSocketWorker(autoReplaceManager, userCommandsManager);
    AsrManager* asr = worker->asrManager();
    recognitionSettings->set_AsrManager(asr);

    connect(recognitionSettings, &RecognitionSettingsViewModel::recognitionSettingsChanged, asr,
            &AsrManager::applyRecognitionSettings);
    connect(recognitionSettings, &RecognitionSettingsViewModel::recognitionSettingsChanged, autoReplaceManager,
            &AutoReplaceManager::OnRecognitionSettingsChanged);
    connect(recognitionSettings, &RecognitionSettingsViewModel::selectedThemeChanged, asr, &AsrManager::selectedTheme);
    connect(recognitionSettings, &RecognitionSettingsViewModel::canEditKivaroChanged, tray,
            &SystemTray::onRecognitionParametersChanged);
    connect(this, &WindowsManager::needStopRecognition, asr, &AsrManager::stopRecognition);
    connect(worker->wsClient()->messageProcessor(), &DataMessageProcessor::userNotified, this,
            &WindowsManager::processUserNotification);

    services.append(new SubService(worker, true));
    return worker;
}

ConnectionManager* WindowsManager::createConnectionManager(QQmlApplicationEngine* engine,
                                                           NetworkSettingsViewModel* networkSettings,
                                                           RecordingDeviceManager* recordingDeviceManager)
{
    connection = new ConnectionManager(worker->wsClient(), worker->asrManager(), recordingDeviceManager);
    auto* connectionService = new SubService(connection, true);
    services.append(connectionService);

    // A running driver reconnects by itself, without blocking this thread; a
    // stopped one (the user cancelled) is started again.
    connect(this, &WindowsManager::needReconnect, this, [this, connectionService] {
        if (connectionService->isStarted())
            QMetaObject::invokeMethod(connection, &ConnectionManager::onReconnectRequested, Qt::QueuedConnection);
        else
            connectionService->Start();
    });
    connect(connection, &ConnectionManager::stateChanged, networkSettings,
            &NetworkSettingsViewModel::onConnectionStateChanged, Qt::QueuedConnection);
    connect(connection, &ConnectionManager::disconnected, this, &WindowsManager::wsDisconnected, Qt::QueuedConnection);
    connect(
        this, &WindowsManager::restartConnection, this,
        [this, connectionService] {
            connectionCancelled = false;
            connectionService->Start();
        },
        Qt::QueuedConnection);
    // Never a blocking call into the driver: it may itself be waiting on this thread.
    connect(this, &WindowsManager::requestDisconnect, connection, &ConnectionManager::onDisconnectRequested,
            Qt::QueuedConnection);
    connect(
        this, &WindowsManager::requestCancel, this,
        [this, connectionService] {
            connectionCancelled = true;
            connectionService->Stop();
        },
        Qt::QueuedConnection);
    connect(connection, &ConnectionManager::stateChanged, this, &WindowsManager::onConnectionStateChanged,
            Qt::QueuedConnection);
    connect(connection, &ConnectionManager::stateChanged, tray, &SystemTray::onConnectionStateChanged,
            Qt::QueuedConnection);
    connect(connection, &ConnectionManager::themeCheckRequested, this, &WindowsManager::themeCheckRequested,
            Qt::QueuedConnection);
    connect(this, &WindowsManager::themeCheckSuccess, connection, &ConnectionManager::onThemeCheckSuccess,
            Qt::QueuedConnection);

    engine->rootContext()->setContextProperty(QStringLiteral("connectionManager"), connection);
    return connection;
}

TtsManager* WindowsManager::createTtsManager(PlaybackDeviceManager* playback, SynthesisSettingsViewModel* synthesis)
{
    auto* tts = new TtsManager(this);
    synthesis->set_TtsManager(tts);
    DataMessageProcessor* processor = worker->wsClient()->messageProcessor();

    connect(tts, &TtsManager::stateChanged, synthesis, &SynthesisSettingsViewModel::OnTtsStateChanged,
            Qt::QueuedConnection);
    connect(synthesis, &SynthesisSettingsViewModel::ttsSettingsChanged, tts, &TtsManager::onTtsSettingsChanged);
    connect(connection, &ConnectionManager::stateChanged, tts, &TtsManager::onConnectionStateChanged,
            Qt::DirectConnection);
    connect(processor, &DataMessageProcessor::ttsStateReceived, tts, &TtsManager::onTtsStateReceived);
    connect(processor, &DataMessageProcessor::ttsSound, tts, &TtsManager::onSoundRecived);
    connect(tts, &TtsManager::playSound, playback, &PlaybackDeviceManager::playSound, Qt::QueuedConnection);
    connect(tts, &TtsManager::sendTtsParams, worker->wsClient(), &WebSocketConnection::sendObject);
    connect(tts, &TtsManager::sendVoiceRequest, worker->wsClient(), &WebSocketConnection::sendObject);
    return tts;
}

void WindowsManager::onApplyNetworkSettings(bool asrChanged, bool formApiChanged, bool restProxyChanged)
{
    Q_UNUSED(restProxyChanged)
    const bool restartFormApi = formApiChanged || connectionCancelled;
    if (asrChanged || connectionCancelled) {
        emit needReconnect();
        if (!restartFormApi) {
            connectionCancelled = false;
            return;
        }
    }
    if (restartFormApi) {
        WebSocketProxyServer* formServer = worker->webSocketProxyServer();
        emit formServer->stop();
        emit formServer->start(FormApiSettings().Port);
    }
    connectionCancelled = false;
}

void WindowsManager::connectFormServerFailures(WebSocketProxyServer* formServer, RestProxyServer* restProxy)
{
    // Usually another program, or the client of another user on this machine, holds the port.
    const auto notice = [this](const QString& server) {
        return [this, server](int, const QString& error) {
            tray->showMessage(QStringLiteral("Веб-формы недоступны"),
                              QStringLiteral("%1 не запущен: %2.").arg(server, error), QSystemTrayIcon::Warning);
        };
    };
    connect(formServer, &WebSocketServer::listenFailed, tray, notice(QStringLiteral("Сервер для веб-форм")));
    connect(restProxy, &RestProxyServer::listenFailed, tray, notice(QStringLiteral("Сервер для запросов веб-форм")));
}

void WindowsManager::reportUnknownVerification()
{
    const QString unknown = ConnectionHelper::unknownVerification();
    if (unknown.isEmpty())
        return;
    qWarning().noquote() << "[SSL] SslCertificateVerification=" + unknown
            + " is neither Strict nor Insecure: Strict is used";
    tray->showMessage(QStringLiteral("Настройки защищённого соединения"),
                      QStringLiteral("Значение [SSL] SslCertificateVerification=%1 не распознано. Используется Strict: "
                                     "только защищённое соединение с проверенным сертификатом.")
                          .arg(unknown),
                      QSystemTrayIcon::Warning);
}

void WindowsManager::onRecordingDeviceChanged()
{
    if (recordingManager->SelectedIndex() != -1)
        return;
    showNoMicrophone();
    worker->asrManager()->stopRecognition();
}

void WindowsManager::showNoMicrophone()
{
    tray->showMessage(QStringLiteral("Микрофон не обнаружен"), QStringLiteral("Убедитесь что устройство подключено правильно"),
                      QSystemTrayIcon::Critical);
}

void WindowsManager::onAudioDeviceEvent(AudioDeviceManagerBase* audio, AudioDeviceEvent event)
{
    const bool capture = audio == recordingManager;
    if (event == AudioDeviceSwitched) {
        const QString description = audio->CurrentDevice().description();
        if (description.isEmpty())
            return; // none left: the selection change says so
        ownNotification(notification(NotificationTypeInformation, QStringLiteral("Оповещение"),
                                             (capture ? QStringLiteral("Выбран микрофон: ")
                                                      : QStringLiteral("Выбрано устройство воспроизведения: "))
                                                 + description,
                                             true));
        return;
    }
    if (!capture) {
        ownNotification(notification(NotificationTypeWarning, QStringLiteral("Звук не воспроизводится"),
                                             QStringLiteral("Устройство воспроизведения недоступно. Звук вернётся, когда "
                                                            "устройство снова станет доступно."),
                                             true));
        return;
    }
    // Dictation without sound would only look alive; the self-test's has its own sound.
    const std::optional<RecognitionMode> target = worker->asrManager()->getTargetModeInfo()->mode();
    const bool dictating = target && *target >= RecognitionModeNamespace::Text
        && recordingManager->paused.loadAcquire() == 0;
    if (event == AudioDeviceStopped && (!dictating || recordingManager->IsCapturing()))
        return;
    showMicrophoneFailure(dictating);
    if (dictating)
        worker->asrManager()->stopRecognition();
}

void WindowsManager::showMicrophoneFailure(bool dictationEnded)
{
    // Capture comes back by itself, dictation does not: the user starts it again.
    const QString message = dictationEnded
        ? QStringLiteral("Звук с микрофона не поступает, диктовка остановлена. Когда микрофон снова заработает, "
                         "включите диктовку горячей клавишей (%1).")
        : QStringLiteral("Звук с микрофона не поступает. Когда микрофон снова заработает, диктовку можно будет "
                         "включить горячей клавишей (%1).");
    ownNotification(notification(NotificationTypeCritical, QStringLiteral("Микрофон не работает"),
                                 message.arg(hotkeyName()), true));
}

QString WindowsManager::hotkeyName()
{
    HotkeySettings settings;
    return settings.UseHotkey ? displayNameOrFirst<Hotkey>(settings.HotKey)
                              : displayNameOrFirst<Push2TalkKey>(settings.P2TKey);
}

// After the QML engine, which shows them, is gone.
void WindowsManager::deleteViewModels()
{
    delete statisticsViewModel;
    delete kivaroViewModel;
    delete feedbackViewModel;
    statisticsViewModel = nullptr;
    kivaroViewModel = nullptr;
    feedbackViewModel = nullptr;
}

void WindowsManager::startSubServices()
{
    if (subServicesStarted)
        return;
    subServicesStarted = true;
    for (SubService* service : qAsConst(services)) {
        if (service->isAutoStart())
            service->Start();
    }
}

void WindowsManager::stopSubServices()
{
    for (int i = services.size() - 1; i >= 0; --i)
        services.at(i)->Stop();
}

void WindowsManager::stopAndHide()
{
    stopSubServices();
    HotKeyManager::getHotkeyManager()->keyboardHookUnreg();
    if (tray)
        tray->hideTrayIcon();
}

void WindowsManager::closeApplication()
{
    stopAndHide();
    QCoreApplication::quit();
}

void WindowsManager::restartApplication()
{
    // The new copy is started first, so that a failure leaves this one running.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(RestartMarker), QStringLiteral("1"));
    QString error;
    const pid_t pid = startDetachedCopy(arguments, environment, &error);
    if (pid == 0) {
        qCritical().noquote() << "Restart failed:" << QCoreApplication::applicationFilePath() << error;
        if (tray)
            tray->showMessage(QStringLiteral("Не удалось перезапустить приложение"), error, QSystemTrayIcon::Critical);
        return;
    }
    qInfo() << "Restarting as process" << pid;
    closeApplication();
}

void WindowsManager::processUserNotification(UserNotification n)
{
    showNotification(n, false);
}

void WindowsManager::ownNotification(const UserNotification& n)
{
    showNotification(n, true);
}

void WindowsManager::showNotification(const UserNotification& n, bool textInLog)
{
    QMutexLocker locker(&notificationMutex);
    if ((!connection || connection->getState() != ConnectionManager::Ready) && !n.force())
        return;
    if (textInLog)
        qInfo().noquote() << "Notification: " + n.message();
    else
        qInfo().noquote() << QStringLiteral("Notification: %1 characters (type %2, action %3)")
                                 .arg(n.message().size())
                                 .arg(int(n.type()))
                                 .arg(int(n.action()));
    switch (n.action()) {
    case NotificationActionShow:
        tray->showMessage(n.title(), n.message(), iconOf(n.type()));
        break;
    case NotificationActionDisconnect:
        // The driver lives in its own thread: ask it there, without waiting for it.
        QMetaObject::invokeMethod(connection, &ConnectionManager::onDisconnectRequested, Qt::QueuedConnection);
        break;
    case NotificationActionStopRecognition:
        worker->asrManager()->stopRecognition();
        tray->showMessage(n.title(), n.message(), iconOf(n.type()));
        break;
    }
}

void WindowsManager::onHotkeyActivated(int hotkeyClass, int hotkeyId, int pressType)
{
    qInfo().noquote() << QStringLiteral("HOTKEY ACTIVATED: %1|%2|%3|").arg(hotkeyClass).arg(hotkeyId).arg(pressType);
    if (hotkeyClass == static_cast<int>(HotkeyClass::Toggle)) {
        emit modeChangeHotkey();
    } else if (hotkeyClass == static_cast<int>(HotkeyClass::PushToTalk)) {
        if (pressType == static_cast<int>(KeyPressType::Pressed))
            emit activationHotkey();
        else if (pressType == static_cast<int>(KeyPressType::Released))
            emit deactivationHotkey();
    }
}

void WindowsManager::onHotkeyChanged(int, int)
{
    notifyHotkey();
}

void WindowsManager::notifyHotkey()
{
    const QString message = HotkeySettings().UseHotkey
        ? QStringLiteral("Зарегистрирована горячая клавиша включения распознавания: '%1'.").arg(hotkeyName())
        : QStringLiteral("Зарегистрирована горячая клавиша включения распознавания (режим Push2Talk): '%1'.")
              .arg(hotkeyName());
    ownNotification(notification(NotificationTypeInformation, QStringLiteral("Оповещение"), message, false));
}

void WindowsManager::onVACSettingsVisibleChanged(bool vacVisible)
{
    const QString message = vacVisible ? QStringLiteral("В настройках доступен запуск распознавания голосовой командой.")
                                       : QStringLiteral("Запуск распознавания голосовой командой недоступен.");
    ownNotification(notification(NotificationTypeInformation, QStringLiteral("Голосовая активация"), message, true));
}

void WindowsManager::OnCommandError(QString errorText)
{
    processUserNotification(
        notification(NotificationTypeCritical, QStringLiteral("Команда не выполнена"), errorText, false));
}

void WindowsManager::onConnectionStateChanged(ConnectionStateInfo stateInfo)
{
    emit connectionStateChanged(stateInfo);
    switch (stateInfo.state()) {
    case ConnectionManager::Connected:
        heartbeatService->Start();
        break;
    case ConnectionManager::Ready:
        if (hotkeyNoticePending) {
            notifyHotkey();
            hotkeyNoticePending = false;
        }
        break;
    case ConnectionManager::Disconnected:
        heartbeatService->Stop();
        break;
    default:
        break;
    }
}

void WindowsManager::onAsrModeStateChanged(RecognitionMode mode, AsrState state)
{
    if (mode == RecognitionModeNamespace::Off || mode == RecognitionModeNamespace::VoiceActivation)
        return;
    AsrManager* asr = worker->asrManager();
    const RecognitionMode last = asr->getLastStartedMode();
    if (state == Started && mode != last) {
        // The self-test dictates its own sound files, with the microphone paused.
        const bool microphoneUsed = recordingManager->paused.loadAcquire() == 0;
        if (microphoneUsed && (recordingManager->SelectedIndex() == -1 || !recordingManager->IsCapturing())) {
            if (recordingManager->SelectedIndex() == -1)
                showNoMicrophone();
            else
                showMicrophoneFailure(true);
            asr->stopRecognition();
            playbackManager->playSoundFile(SoundOff);
        } else {
            playbackManager->playSoundFile(SoundOn);
        }
    } else if (state == Stopping && mode == last) {
        playbackManager->playSoundFile(SoundOff);
    }
}
