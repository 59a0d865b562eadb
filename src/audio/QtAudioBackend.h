#pragma once

#include <QAtomicInt>
#include <QObject>
#include <QTimer>

class PulseAudioManager;

// Keeps Qt Multimedia's PulseAudio backend connected to the sound server. That backend is
// one object per process; it connects when first used and retries 3 s after losing a ready
// connection, but gives up for good when a connection is refused outright (a busy server
// past its listen backlog, or one still gone at that retry): every QAudioInput and
// QAudioOutput fails from then on. So it is first used only once the server answers, it is
// picked out among the objects made while it is created, and it is told to connect again
// (its slot "prepare()") whenever the server answers while Qt's backend has no connection.
// Lives in the GUI thread, which owns Qt's backend.
class QtAudioBackend : public QObject
{
    Q_OBJECT

public:
    explicit QtAudioBackend(PulseAudioManager* pulse);
    ~QtAudioBackend() override;

    // Whether Qt's backend may be asked for devices; callable from any thread.
    bool IsCreated() const { return created.loadAcquire() != 0; }

public slots:
    // Our own connection to the sound server is ready (again).
    void ServerReady();

signals:
    // Qt's backend is connected (again): device lists and failed devices can be retried.
    void Reconnected();

private slots:
    // Qt's backend lost its connection and retries by itself 3 s later.
    void OnEngineFailed();

private:
    void Create();
    void Watch();
    void Check();
    void OnClientFound(int askedGeneration, bool known, bool found);

    PulseAudioManager* pulse;
    QAtomicInt created{0};
    // Whether this object watches and revives Qt's backend; only one per process may.
    bool watching = false;
    // Counts failures and revivals of Qt's backend, so that an answer about an older state is dropped.
    int generation = 0;
    // Runs after Qt's own retry.
    QTimer settle;
    // The next revival after the server refused one at once.
    QTimer retry;
    int retryDelay = 0;
    // Qt's backend was told to connect and the answer about it is still to come.
    bool revived = false;
    // Told to connect since it was last seen connected.
    bool reviving = false;
    bool lostWarned = false;
};
