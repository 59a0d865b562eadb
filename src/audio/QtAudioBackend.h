#pragma once

#include <QAtomicInt>
#include <QObject>
#include <QPointer>
#include <QTimer>

class PulseAudioManager;

// Keeps Qt Multimedia's PulseAudio backend connected to the sound server. That backend is
// one object per process; it connects when first used and, after losing the server, tries
// once more 3 s later and then never again: every QAudioInput and QAudioOutput fails from
// then on. So it is first used only once the server answers, and it is told to connect
// again (its slot "prepare()") when it is known to be without a connection while the
// server is back. Lives in the GUI thread, which owns Qt's backend.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Check();
    void OnClientFound(int askedGeneration, bool known, bool found);

    PulseAudioManager* pulse;
    QAtomicInt created{0};
    // Whether this object watches and revives Qt's backend; only one per process may.
    bool watching = false;
    QPointer<QObject> engine;
    // Counts the failures of Qt's backend, so that an answer about an older state is dropped.
    int generation = 0;
    // Runs after Qt's own retry, which follows each failure by 3 s.
    QTimer settle;
    bool lostWarned = false;
};
