#pragma once

#include "AsrState.h"
#include "ConnectionStateInfo.h"
#include "RecognitionMode.h"
#include "UserNotification.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class AudioDeviceManagerBase;
class AutoReplaceManager;
class ConnectionHeartbeat;
class ConnectionManager;
class FeedbackViewModel;
class KivaroViewModel;
class NetworkSettingsViewModel;
class PlaybackDeviceManager;
class QApplication;
class QCoreApplication;
class QQmlApplicationEngine;
class QWindow;
class RecognitionSettingsViewModel;
class RecordingDeviceManager;
class RestProxyServer;
class RunGuard;
class StatisticsViewModel;
class SubService;
class SynthesisSettingsViewModel;
class SystemTray;
class TtsManager;
class UserCommandsManager;
class WebSocketProxyServer;
class WebSocketWorker;

// The composition root: builds every long-lived object of the client in a
// fixed order, wires them, publishes them to QML, runs the event loop and
// tears down again; its slots turn hotkeys, mode changes, connection states
// and notifications into recognition control, sounds and tray messages.
class WindowsManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int ScreenX READ get_ScreenX NOTIFY changed_ScreenX)
    Q_PROPERTY(int ScreenY READ get_ScreenY NOTIFY changed_ScreenY)

public:
    // Set in the environment of a restarted copy, which then waits for the
    // old copy to release the single-instance guard.
    static const char* const RestartMarker;

    explicit WindowsManager(QObject* parent = nullptr);
    ~WindowsManager() override;

    // The whole application life; returns the exit code.
    int start(int argc, char** argv);
    // Russian for Qt's own texts (file dialogs, message box buttons); false when Qt's translations are missing.
    static bool installQtTranslations(QCoreApplication* app);

    int get_ScreenX() const { return screenX; }
    int get_ScreenY() const { return screenY; }

    Q_INVOKABLE void closeApplication();

    // What start built, for whoever drives the running program.
    const QList<SubService*>& subServices() const { return services; }
    SystemTray* systemTray() const { return tray; }
    ConnectionManager* connectionManager() const { return connection; }
    WebSocketWorker* webSocketWorker() const { return worker; }
    RecordingDeviceManager* recordingDeviceManager() const { return recordingManager; }
    QWindow* mainWindow() const { return window; }
    RecordingDeviceManager* recordingDevices() const { return recordingManager; }
    // How long a restarted copy waits for the guard; settable for tests.
    void setGuardWait(int msecs) { guardWaitMs = msecs; }

signals:
    void changed_ScreenX(int x);
    void changed_ScreenY(int y);
    void connectionStateChanged(ConnectionStateInfo stateInfo);
    void restartConnection();
    void requestDisconnect();
    void requestCancel();
    void wsDisconnected();
    void activationHotkey();
    void deactivationHotkey();
    void modeChangeHotkey();
    void needReconnect();
    void needStopRecognition();
    void themeCheckRequested();
    void themeCheckSuccess();

public slots:
    void startSubServices();
    void restartApplication();
    void onVACSettingsVisibleChanged(bool vacVisible);
    void OnCommandError(QString errorText);
    void onConnectionStateChanged(ConnectionStateInfo stateInfo);
    void notifyHotkey();
    void onHotkeyActivated(int hotkeyClass, int hotkeyId, int pressType);
    void onHotkeyChanged(int hotkeyClass, int hotkeyId);
    void onAsrModeStateChanged(RecognitionMode mode, AsrState state);
    void processUserNotification(UserNotification notification);

private:
    int run();
    bool acquireGuard(RunGuard& guard);
    WebSocketWorker* createWebSocketWorker(AutoReplaceManager* autoReplaceManager,
                                           RecognitionSettingsViewModel* recognitionSettings,
                                           UserCommandsManager* userCommandsManager);
    ConnectionManager* createConnectionManager(QQmlApplicationEngine* engine, NetworkSettingsViewModel* networkSettings,
                                               RecordingDeviceManager* recordingManager);
    TtsManager* createTtsManager(PlaybackDeviceManager* playbackManager, SynthesisSettingsViewModel* synthesisSettings);
    void onApplyNetworkSettings(bool asrChanged, bool formApiChanged, bool restProxyChanged);
    void onRecordingDeviceChanged();
    void connectFormServerFailures(WebSocketProxyServer* formServer, RestProxyServer* restProxy);
    void showNoMicrophone();
    // A hand-written verification name that means nothing: said once, at start-up.
    void reportUnknownVerification();
    // The program's own notices, whose texts the log may hold. Whatever comes from the
    // server, a failed command or a view model may quote what was dictated, a command
    // or the word list: the log gets only its size.
    void ownNotification(const UserNotification& n);
    void showNotification(const UserNotification& n, bool textInLog);
    enum AudioDeviceEvent { AudioDeviceFailed, AudioDeviceSwitched, AudioDeviceStopped };
    // Tells the user of a failed or switched device; a failed microphone ends dictation.
    void onAudioDeviceEvent(AudioDeviceManagerBase* audio, AudioDeviceEvent event);
    void showMicrophoneFailure(bool dictationEnded);
    // The display name of the chosen hotkey, or of the push-to-talk key.
    static QString hotkeyName();
    void loadUserCommands(UserCommandsManager* userCommandsManager);
    // Idempotent: the event loop may also end without closeApplication.
    void stopSubServices();
    void deleteViewModels();
    void stopAndHide();

    void* display = nullptr;
    unsigned long rootWindow = 0;
    const QString mainViewUrl = QStringLiteral("qrc:/main.qml");
    const QString fontFamily = QStringLiteral("Roboto");
    const QString windowIconPath = QStringLiteral(":/replaceable/default_icon.ico");
    QWindow* window = nullptr;
    QList<SubService*> services;
    SystemTray* tray = nullptr;
    TtsManager* ttsManager = nullptr;
    ConnectionManager* connection = nullptr;
    WebSocketWorker* worker = nullptr;
    SubService* heartbeatService = nullptr;
    ConnectionHeartbeat* heartbeat = nullptr;
    PlaybackDeviceManager* playbackManager = nullptr;
    RecordingDeviceManager* recordingManager = nullptr;
    FeedbackViewModel* feedbackViewModel = nullptr;
    KivaroViewModel* kivaroViewModel = nullptr;
    StatisticsViewModel* statisticsViewModel = nullptr;
    QMutex notificationMutex;
    bool hotkeyNoticePending = true;
    bool statisticsEnabled = false;
    bool connectionCancelled = false;
    bool subServicesStarted = false;
    bool startCalled = false;
    int screenX = 0;
    int screenY = 0;
    // The copy that restarted this one may take its workers' stop limits (two of 5 s
    // each, three workers) and then its own teardown to let go of the guard.
    int guardWaitMs = 60000;
};
