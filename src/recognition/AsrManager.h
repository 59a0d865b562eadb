#pragma once

#include "AsrState.h"
#include "ClientThemeInfo.h"
#include "ConnectionStateInfo.h"
#include "LogLineThrottle.h"
#include "RecognitionMode.h"
#include "RecognitionModeInfo.h"
#include "TargetModeInfo.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QRecursiveMutex>
#include <QString>

#include <atomic>

class QThread;
class WebSocketClient;

// Decides which recognition mode the client asks the server for, keeps each
// mode's state as reported, holds the dictation target and the themes, and
// follows the connection state. Lives in the GUI thread; the connection
// driver reads the target and the current state from its own thread.
class AsrManager : public QObject
{
    Q_OBJECT

public:
    enum OutgoingMessage {
        ModeCommandMessage = 1,
        SelectedThemeMessage = 9,
        RecognitionParametersMessage = 13,
        FormElementMessage = 105,
        FormMetadataMessage = 106,
        TtsMuteMessage = 119,
        TtsUnmuteMessage = 120
    };

    explicit AsrManager(WebSocketClient* client);
    ~AsrManager() override;

    // `mode` null asks the server to choose ("Type": null).
    void startRecognitionMode(RecognitionMode* mode, bool backup);
    void startUninteractiveMode();
    void startTargetMode();

    AsrState currentState();
    TargetModeInfo* getTargetModeInfo() { return &targetModeInfo; }
    RecognitionMode getLastStartedMode();
    bool isConnected() const { return connectedFlag.load(); }
    bool getEnabled() const { return enabled.load(); }
    void setEnabled(bool value) { enabled.store(value); }
    bool getIsVoiceActivationEnabled() const { return isVoiceActivationEnabled.load(); }
    void setIsVoiceActivationEnabled(bool value) { isVoiceActivationEnabled.store(value); }
    // Whether a web form is connected now: while one is, a stop keeps its
    // form and a start resumes the form's dictation.
    void setFormConnected(bool connected);
    // What the monitor shows: a dictation or form mode reported starting or
    // started, and neither stopped nor asked to stop since. The toggle follows it.
    bool isDictationShown();
    // User starts so far; read from any thread.
    quint64 startCount() const { return starts.load(); }

    ClientThemeInfo getSelectedTheme();
    // The theme list, fetched from the server when empty or forced: blocks for
    // up to the REST time limit, so never from the GUI thread. Throws
    // Exception when the fetch fails; the list is then unchanged.
    QList<ClientThemeInfo> get_Themes(bool force);
    // What the GUI uses: the list as known now, without waiting.
    QList<ClientThemeInfo> knownThemes();
    // Fetches the list on a thread of its own unless a fetch is under way;
    // themesFetched follows.
    void fetchThemes();
    bool isFetchingThemes() const { return themeFetches.load() > 0; }
    void updateSelectedThemeInfo(const QString& themeId);
    void applySelectedTheme(bool stop);
    void TtsMute();
    void TtsUnmute();

signals:
    void selectedThemeChanged();
    void currentModeOrStateChanged(RecognitionMode mode, AsrState state);
    void connected();
    void errorNotification(QString& error);
    // A fetch of the theme list ended (ok: the list was replaced). Emitted in
    // the fetching thread.
    void themesFetched(bool ok);

public slots:
    void updateModeStateInfo(RecognitionModeInfo modeInfo);
    void startRecognition();
    void stopRecognition();
    void changeRecognition();
    // Stops as stopRecognition does, unless a start came after `starts` was
    // read from startCount(): that start was made for what is current now.
    void stopRecognitionStartedBefore(quint64 starts);
    void connectionStateChanged(ConnectionStateInfo stateInfo);
    void applyRecognitionSettings();
    void selectedTheme();

private:
    void reportTargetMode(AsrState state, const QString& info = QString());
    // Sends the target's form and element: how a form's dictation is asked for.
    void sendTargetForm();
    // Runs with one fetch counted by the caller, and ends it.
    QList<ClientThemeInfo> fetchCountedThemes();

    WebSocketClient* client;
    std::atomic<bool> connectedFlag{false};
    QRecursiveMutex stateMutex;
    QRecursiveMutex themeMutex;
    std::atomic<int> themeFetches{0};
    // GUI thread only.
    QThread* themeFetchThread = nullptr;
    QMap<RecognitionMode, AsrState> modeStates;
    TargetModeInfo targetModeInfo;
    QList<ClientThemeInfo> themes;
    ClientThemeInfo currentTheme;
    std::atomic<bool> isVoiceActivationEnabled{false};
    RecognitionMode lastStartedMode = RecognitionModeNamespace::Off;
    std::atomic<bool> enabled{true};
    std::atomic<bool> formConnected{false};
    std::atomic<quint64> starts{0};
    bool dictationShown = false;
    QString connectionMessage;
    // Under stateMutex. A local program that opens form after form makes the
    // server report a stop for each: the log keeps a few and counts the rest.
    LogLineThrottle modeLog{20, 10000};
};
