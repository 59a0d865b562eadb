#pragma once

#include "BaseWorker.h"
#include "ConnectionStateInfo.h"
#include "RecognitionModeInfo.h"
#include "ServersConnectionSource.h"
#include "UserNotification.h"

#include <QByteArray>
#include <QString>

#include <atomic>

class AsrManager;
class QTimer;
class RecordingDeviceManager;
class ServerInfoDTO;
class WebSocketClient;

// The connection driver: walks the balancer's servers until one opens, runs
// the steps after connecting, forwards captured audio while ready, and starts
// over after a delay when every server failed. Every change of its state is
// published as stateChanged. Lives in its own SubService thread ("ConnectionManager").
class ConnectionManager : public BaseWorker
{
    Q_OBJECT

public:
    enum ConnectionState {
        Failed = 0,
        Disconnected = 1,
        BalancerRequest = 2,
        WsConnectionRequested = 3,
        Connected = 4,
        ThemesRequested = 8,
        ThemesReceived = 9,
        ThemeCheck = 13,
        Ready = 14
    };

    static constexpr int DefaultRetryDelay = 30000;

    ConnectionManager(WebSocketClient* client, AsrManager* asrManager, RecordingDeviceManager* recordingDeviceManager);
    ~ConnectionManager() override;

    void process(CancellationCondition* cancellationCondition) override;

    // Safe from any thread.
    int getState() const { return state.load(); }
    // For tests; takes effect at the next failure.
    void setRetryDelay(int msecs) { retryDelay.store(msecs); }

signals:
    void stateChanged(ConnectionStateInfo stateInfo);
    void disconnected();
    void vacStateChanged(bool enableVAC, bool receivedFromBalancer);
    void themeCheckRequested();

public slots:
    void onStop() override;
    void onDisconnectRequested();
    // Closes the link (or ends the retry wait) and begins a new cycle from the
    // balancer; the steps after connecting, theme check included, run afresh.
    void onReconnectRequested();
    void onWebSocketConnected();
    void onWebSocketDisconnect();
    void onModeStarted();
    void SoundAvailable(QByteArray data);
    void onUserNotification(UserNotification notification);
    void onReceivedVACSettingsFromBalancer(bool enableVAC, bool receivedFromBalancer);
    void onModeChanged(RecognitionModeInfo info);
    void onNewVersionDownloaded();
    void onDownloadError();
    void onThemeCheckSuccess();

private:
    bool isRunning() const;
    bool acceptsAudio() const;
    void forwardAudio(const QByteArray& data);
    void applyState(ConnectionState newState, const QString& message = QString());
    void startConnection();
    void tryStartNextWsConnection();
    bool tryStartServer(const ServerInfoDTO& server);
    void checkThemes();
    void onOutOfServers();
    void finishWork(const char* reason);
    void printThreadName(const QString& label) const;

    std::atomic<int> retryDelay{DefaultRetryDelay};
    std::atomic<int> state{Disconnected};
    bool disconnectNotified = false;
    bool tryingFurtherServers = false;
    // Why the last server could not be reached; the failure notice names it.
    QString lastServerFailure;
    bool themeCheckPassed = false;
    bool restartCycle = false;
    WebSocketClient* client;
    AsrManager* asrManager;
    RecordingDeviceManager* recordingDeviceManager;
    QMetaObject::Connection audioConnection;
    ServersConnectionSource serversConnectionSource;
    QString currentServerId;
    QTimer* retryTimer;
    // Shared: slots queued while the driver was stopped still read it after a restart.
    CancellationConditionPtr condition;
};
