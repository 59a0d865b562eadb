#include "QtAudioBackend.h"

#include "LogCategories.h"
#include "PulseAudioManager.h"

#include <QAudioDeviceInfo>
#include <QCoreApplication>
#include <QEvent>

#include <unistd.h>

namespace {
// Qt's backend is one per process, so is the object that revives it: two reviving it
// at once would connect it twice.
QtAudioBackend* watcher = nullptr;

// Qt's backend retries 3000 ms after a failure; the check comes after that retry.
constexpr int SettleDelay = 3500;

const char* const EngineClass = "QPulseAudioEngine";

QByteArray qtClientName()
{
    return QByteArrayLiteral("QtPulseAudio:") + QByteArray::number(::getpid());
}
} // namespace

QtAudioBackend::QtAudioBackend(PulseAudioManager* pulse)
    : pulse(pulse)
{
    settle.setSingleShot(true);
    settle.setInterval(SettleDelay);
    connect(&settle, &QTimer::timeout, this, &QtAudioBackend::Check);
    if (!watcher && QCoreApplication::instance()) {
        watcher = this;
        watching = true;
        // Qt's backend hands its own failure to itself as a queued call: that call tells
        // which object it is, and when its one retry will have run.
        QCoreApplication::instance()->installEventFilter(this);
    }
}

QtAudioBackend::~QtAudioBackend()
{
    if (watching)
        watcher = nullptr;
}

void QtAudioBackend::ServerReady()
{
    if (!IsCreated()) {
        // Asking for devices creates Qt's backend in this thread, connected, as the server answers.
        QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
        created.storeRelease(1);
    }
    Check();
}

void QtAudioBackend::Check()
{
    if (settle.isActive())
        return;
    const int asked = generation;
    pulse->FindClient(qtClientName(), this,
        [this, asked](bool known, bool found) { OnClientFound(asked, known, found); });
}

void QtAudioBackend::OnClientFound(int askedGeneration, bool known, bool found)
{
    // Without an answer the next ready connection asks again.
    if (!known || askedGeneration != generation || settle.isActive())
        return;
    if (!found) {
        if (!watching || !engine) {
            if (watching && !lostWarned) {
                lostWarned = true;
                qCWarning(lcPulseAudioManager) << "Qt's sound backend is not connected; audio needs a restart";
            }
            return;
        }
        qCInfo(lcPulseAudioManager) << "Connecting Qt's sound backend again";
        QMetaObject::invokeMethod(engine, "prepare", Qt::DirectConnection);
    }
    emit Reconnected();
}

bool QtAudioBackend::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MetaCall
        && (engine ? watched == engine.data() : qstrcmp(watched->metaObject()->className(), EngineClass) == 0)) {
        engine = watched;
        ++generation;
        settle.start();
    }
    return false;
}
