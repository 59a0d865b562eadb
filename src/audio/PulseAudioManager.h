#pragma once

#include "PulseDeviceInfo.h"

#include <QAudio>
#include <QElapsedTimer>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThread>

#include <cstdint>
#include <functional>

class PlaybackDeviceManager;
class PulseAudioListManager;
class QTimer;
class QtAudioBackend;
class RecordingDeviceManager;
struct PulseCallbacks;
struct pa_context;
struct pa_threaded_mainloop;

// Follows the sound server's devices over a libpulse context and owns the two device
// lists and the two device managers. Built in the GUI thread; Start moves it, with its
// lists, into its own thread "AudioManager". The device managers stay in the GUI thread.
class PulseAudioManager : public QObject
{
    Q_OBJECT

public:
    explicit PulseAudioManager(QObject* parent = nullptr);
    ~PulseAudioManager() override;

    void Start();
    void Stop();

    PulseAudioListManager* InputListManager() const { return inputList; }
    PulseAudioListManager* OutputListManager() const { return outputList; }
    RecordingDeviceManager* RecordingManager() const { return recordingManager; }
    PlaybackDeviceManager* PlaybackManager() const { return playbackManager; }

    // Synchronous queries by device name; callable from any thread but libpulse's.
    PulseDeviceInfo GetDeviceInfo(QAudio::Mode mode, const QString& name);
    PulseDeviceInfo GetInputDeviceInfo(const QString& name);
    PulseDeviceInfo GetOutputDeviceInfo(const QString& name);

    // Whether a ready context is held now.
    bool IsConnected();
    // Whether Qt's sound backend may be asked for devices; callable from any thread.
    bool IsBackendCreated() const;
    // Asks the sound server, in this object's thread, whether a client of that name is
    // connected; done(known, found) then runs in receiver's thread, known false when the
    // server could not be asked. receiver must outlive this object's thread.
    void FindClient(const QByteArray& name, QObject* receiver, std::function<void(bool known, bool found)> done);
    // Settable for tests; takes effect at the next failure.
    void setReconnectDelay(int msecs) { reconnectDelay = msecs; }

signals:
    void inputDeviceAdded(uint32_t index);
    void inputDeviceRemoved(uint32_t index);
    void inputDeviceChanged(uint32_t index);
    void outputDeviceAdded(uint32_t index);
    void outputDeviceRemoved(uint32_t index);
    void outputDeviceChanged(uint32_t index);

private slots:
    void Init();
    void Cleanup();
    void onContextFailed();

private:
    friend struct PulseCallbacks;

    void ScheduleReconnect();
    void ConnectionFailed(const char* message);
    void RefreshLists();

    int reconnectDelay = 1000;
    pa_threaded_mainloop* mainloop = nullptr;
    pa_context* context = nullptr;
    QThread thread;
    PulseAudioListManager* inputList = nullptr;
    PulseAudioListManager* outputList = nullptr;
    RecordingDeviceManager* recordingManager = nullptr;
    PlaybackDeviceManager* playbackManager = nullptr;
    QTimer* reconnectTimer = nullptr;
    // Lives in the creating (GUI) thread, not in this object's.
    QtAudioBackend* backend = nullptr;
    QList<QMetaObject::Connection> eventConnections;
    bool started = false;
    // Set in the manager's thread: no reconnection after Stop.
    bool stopped = false;
    // Set by Stop in the caller's thread.
    bool halted = false;
    // Runs while the server is away; only the first failure of an outage is logged.
    QElapsedTimer outage;
};
