#include "QtAudioBackend.h"

#include "LogCategories.h"
#include "PulseAudioManager.h"

#include <QAudioDeviceInfo>
#include <QPointer>
#include <QtCore/private/qhooks_p.h>

#include <unistd.h>
#include <vector>

namespace {
// Qt's backend retries 3000 ms after a failure; the check comes after that retry.
constexpr int SettleDelay = 3500;
// A busy server refuses for a while: the revivals grow apart, but stay within a few seconds.
constexpr int FirstRetryDelay = 500;
constexpr int MaxRetryDelay = 4000;

const char* const EngineClass = "QPulseAudioEngine";

QByteArray qtClientName()
{
    return QByteArrayLiteral("QtPulseAudio:") + QByteArray::number(::getpid());
}

// Qt's backend is one per process, and so are its record and the object that revives it:
// two reviving it at once would connect it twice.
struct ProcessBackend
{
    QtAudioBackend* watcher = nullptr;
    QPointer<QObject> engine;
};

ProcessBackend& processBackend()
{
    static ProcessBackend backend;
    return backend;
}

// Qt's backend is a private class: the only way to reach it is to note the objects made
// while it is created. Qt's object-creation hook is process-wide and read by every thread
// without a lock, so it is set once and never taken back; it notes only on the thread
// that asks.
thread_local std::vector<QPointer<QObject>>* madeHere = nullptr;
QHooks::AddQObjectCallback chainedHook = nullptr;

void noteMade(QObject* object)
{
    if (madeHere)
        madeHere->emplace_back(object);
    if (chainedHook)
        chainedHook(object);
}

// Called in the GUI thread only.
void installCreationHook()
{
    static bool installed = false;
    if (installed || qtHookData[QHooks::HookDataSize] <= QHooks::AddQObject)
        return;
    installed = true;
    chainedHook = reinterpret_cast<QHooks::AddQObjectCallback>(qtHookData[QHooks::AddQObject]);
    qtHookData[QHooks::AddQObject] = reinterpret_cast<quintptr>(&noteMade);
}

// Creates Qt's backend in this thread, connected if the server takes the connection;
// its engine, when it was made now.
QObject* createQtBackend()
{
    installCreationHook();
    std::vector<QPointer<QObject>> made;
    madeHere = &made;
    QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
    madeHere = nullptr;
    for (const QPointer<QObject>& object : made) {
        if (object && qstrcmp(object->metaObject()->className(), EngineClass) == 0
            && object->metaObject()->indexOfMethod("prepare()") >= 0)
            return object;
    }
    return nullptr;
}
} // namespace

QtAudioBackend::QtAudioBackend(PulseAudioManager* pulse)
    : pulse(pulse)
    , retryDelay(FirstRetryDelay)
{
    settle.setSingleShot(true);
    settle.setInterval(SettleDelay);
    connect(&settle, &QTimer::timeout, this, &QtAudioBackend::Check);
    retry.setSingleShot(true);
    connect(&retry, &QTimer::timeout, this, &QtAudioBackend::Check);
    if (!processBackend().watcher) {
        processBackend().watcher = this;
        watching = true;
        Watch();
    }
}

QtAudioBackend::~QtAudioBackend()
{
    if (watching)
        processBackend().watcher = nullptr;
}

void QtAudioBackend::ServerReady()
{
    if (!IsCreated())
        Create();
    retryDelay = FirstRetryDelay;
    Check();
}

void QtAudioBackend::Create()
{
    if (QObject* engine = createQtBackend())
        processBackend().engine = engine;
    created.storeRelease(1);
    Watch();
}

void QtAudioBackend::Watch()
{
    QObject* engine = processBackend().engine;
    if (!watching || !engine)
        return;
    if (!connect(engine, SIGNAL(contextFailed()), this, SLOT(OnEngineFailed()), Qt::UniqueConnection))
        qCDebug(lcPulseAudioManager) << "Qt's sound backend does not report its failures";
}

void QtAudioBackend::OnEngineFailed()
{
    ++generation;
    revived = false;
    retry.stop();
    settle.start();
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
    if (found) {
        retry.stop();
        retryDelay = FirstRetryDelay;
        revived = false;
        if (reviving)
            qCInfo(lcPulseAudioManager) << "Qt's sound backend is connected again";
        reviving = false;
        emit Reconnected();
        return;
    }
    if (!watching)
        return;
    QObject* engine = processBackend().engine;
    if (!engine) {
        if (!lostWarned) {
            lostWarned = true;
            qCWarning(lcPulseAudioManager) << "Qt's sound backend is not connected; audio needs a restart";
        }
        return;
    }
    if (revived) {
        // The server refused it at once, and Qt's backend does not try again by itself.
        revived = false;
        retry.start(retryDelay);
        retryDelay = qMin(retryDelay * 2, MaxRetryDelay);
        return;
    }
    if (!reviving)
        qCInfo(lcPulseAudioManager) << "Connecting Qt's sound backend again";
    reviving = true;
    revived = true;
    // Answers asked before this attempt say nothing about it.
    ++generation;
    QMetaObject::invokeMethod(engine, "prepare", Qt::DirectConnection);
    Check();
}
