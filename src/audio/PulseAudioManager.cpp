#include "PulseAudioManager.h"

#include "LogCategories.h"
#include "PlaybackDeviceManager.h"
#include "PulseAudioListManager.h"
#include "PulseUtils.h"
#include "QtAudioBackend.h"
#include "RecordingDeviceManager.h"
#include "RecordingDeviceSettings.h"

#include <QCoreApplication>
#include <QTimer>

#include <exception>

void init_state_callback(pa_context*, void* mainloop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(mainloop), 0);
}

namespace pa_utils {
void signal_operation_state(pa_operation*, void* mainloop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(mainloop), 0);
}
} // namespace pa_utils

namespace {
template<typename Info>
QString describe(const Info* info)
{
    const QString description = QString::fromUtf8(info->description);
    if (info->active_port && info->active_port->description && *info->active_port->description)
        return QStringLiteral("%1 – %2").arg(description, QString::fromUtf8(info->active_port->description));
    return description;
}

bool isMonitor(const pa_source_info* info)
{
    return info->monitor_of_sink != PA_INVALID_INDEX;
}

bool isMonitor(const pa_sink_info*)
{
    return false;
}

template<typename Info>
using InfoByName = pa_operation* (*)(pa_context*, const char*, void (*)(pa_context*, const Info*, int, void*), void*);

// Asks the server about one source or sink by name; not found without a ready context.
template<typename Info>
PulseDeviceInfo queryDevice(pa_threaded_mainloop* mainloop, pa_context* const& context, const QString& name,
    InfoByName<Info> getInfo)
{
    PulseDeviceInfo result;
    pa_utils::InfoRequest<const Info*> request;
    request.onInfo = [&result](const Info* info) {
        result.index = info->index;
        result.description = describe(info);
        result.found = true;
        result.isMonitor = isMonitor(info);
    };
    const QByteArray utf8 = name.toUtf8();
    pa_utils::SyncPulseRequest<const Info*>(mainloop, context, request, [&](pa_context* c, void* userdata) {
        return getInfo(c, utf8.constData(), pa_utils::generic_callback_f<const Info*>, userdata);
    });
    return result;
}

// Drops a context that is not (or no longer) kept.
void releaseContext(pa_context* context)
{
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
}
} // namespace

// libpulse callbacks; they run in libpulse's main-loop thread with the loop locked.
struct PulseCallbacks
{
    static void state_callback(pa_context* context, void* userdata)
    {
        auto* manager = static_cast<PulseAudioManager*>(userdata);
        if (pa_context_get_state(context) != PA_CONTEXT_FAILED)
            return;
        qCWarning(lcPulseAudioManager) << "pulse audio context failed, try to reconnect";
        // Wakes any query still waiting on this context.
        pa_threaded_mainloop_signal(manager->mainloop, 0);
        QMetaObject::invokeMethod(manager, "onContextFailed", Qt::QueuedConnection);
    }

    static void event_callback(pa_context*, pa_subscription_event_type_t type, uint32_t index, void* userdata)
    {
        auto* manager = static_cast<PulseAudioManager*>(userdata);
        const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const unsigned kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
            if (kind == PA_SUBSCRIPTION_EVENT_NEW)
                emit manager->outputDeviceAdded(index);
            else if (kind == PA_SUBSCRIPTION_EVENT_CHANGE)
                emit manager->outputDeviceChanged(index);
            else if (kind == PA_SUBSCRIPTION_EVENT_REMOVE)
                emit manager->outputDeviceRemoved(index);
        } else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
            if (kind == PA_SUBSCRIPTION_EVENT_NEW)
                emit manager->inputDeviceAdded(index);
            else if (kind == PA_SUBSCRIPTION_EVENT_CHANGE)
                emit manager->inputDeviceChanged(index);
            else if (kind == PA_SUBSCRIPTION_EVENT_REMOVE)
                emit manager->inputDeviceRemoved(index);
        }
    }
};

PulseAudioManager::PulseAudioManager(QObject* parent)
    : QObject(parent)
    , reconnectTimer(new QTimer(this))
    , backend(new QtAudioBackend(this))
{
    thread.setObjectName(QStringLiteral("AudioManager"));
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this, &PulseAudioManager::Init);

    const bool useMonitors = RecordingDeviceSettings().UseMonitors;
    inputList = new PulseAudioListManager(QAudio::AudioInput, useMonitors, this);
    outputList = new PulseAudioListManager(QAudio::AudioOutput, false, this);
    recordingManager = new RecordingDeviceManager(inputList);
    playbackManager = new PlaybackDeviceManager(outputList);
    // Direct: asking the lists for a refresh only posts work to their thread.
    connect(backend, &QtAudioBackend::Reconnected, this, [this] { RefreshLists(); }, Qt::DirectConnection);
    connect(backend, &QtAudioBackend::Reconnected, recordingManager, &AudioDeviceManagerBase::RetryNow);
    connect(backend, &QtAudioBackend::Reconnected, playbackManager, &AudioDeviceManagerBase::RetryNow);

    pa_threaded_mainloop* loop = pa_threaded_mainloop_new();
    if (!loop) {
        qCWarning(lcPulseAudioManager) << "Unable to create pulseaudio mainloop";
        return;
    }
    const int code = pa_threaded_mainloop_start(loop);
    if (code != 0) {
        qCWarning(lcPulseAudioManager).noquote() << "Unable to start pulseaudio mainloop, code = " + QString::number(code);
        pa_threaded_mainloop_free(loop);
        return;
    }
    mainloop = loop;
    Init();
}

PulseAudioManager::~PulseAudioManager()
{
    Stop();
    delete recordingManager;
    delete playbackManager;
    delete backend;
    Cleanup();
    pa_threaded_mainloop* loop = mainloop;
    mainloop = nullptr;
    if (loop) {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
}

void PulseAudioManager::Init()
{
    if (!mainloop || stopped)
        return;
    pa_threaded_mainloop_lock(mainloop);
    if (context) {
        pa_threaded_mainloop_unlock(mainloop);
        return;
    }

    const QByteArray name = QCoreApplication::applicationName().toUtf8();
    pa_context* candidate = pa_context_new(pa_threaded_mainloop_get_api(mainloop), name.constData());
    if (!candidate) {
        pa_threaded_mainloop_unlock(mainloop);
        ConnectionFailed("Unable to create new pulseaudio context");
        return;
    }
    pa_context_set_state_callback(candidate, init_state_callback, mainloop);
    const int result = pa_context_connect(candidate, nullptr, PA_CONTEXT_NOFLAGS, nullptr);
    if (result < 0) {
        releaseContext(candidate);
        pa_threaded_mainloop_unlock(mainloop);
        ConnectionFailed(QStringLiteral("pa_context_connect failed, code = %1").arg(result).toUtf8().constData());
        return;
    }

    const char* failure = nullptr;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(candidate);
        if (state == PA_CONTEXT_READY) {
            qCDebug(lcPulseAudioManager) << "Connected to pulse audio";
            pa_context_set_state_callback(candidate, PulseCallbacks::state_callback, this);
            pa_context_set_subscribe_callback(candidate, PulseCallbacks::event_callback, this);
            const auto mask = static_cast<pa_subscription_mask_t>(
                PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_CARD);
            pa_operation* subscription = pa_context_subscribe(candidate, mask, nullptr, nullptr);
            if (subscription)
                pa_operation_unref(subscription);
            else
                failure = "Failed to subscribe to context notifications";
            break;
        }
        if (state == PA_CONTEXT_TERMINATED) {
            failure = "Connection to pulse audio terminated";
            break;
        }
        if (state == PA_CONTEXT_FAILED) {
            failure = "Connection to pulse audio failed";
            break;
        }
        pa_threaded_mainloop_wait(mainloop);
    }
    if (failure) {
        releaseContext(candidate);
        pa_threaded_mainloop_unlock(mainloop);
        ConnectionFailed(failure);
        return;
    }
    context = candidate;
    pa_threaded_mainloop_unlock(mainloop);

    if (outage.isValid())
        qCInfo(lcPulseAudioManager).noquote()
            << QStringLiteral("Connected to pulse audio again after %1 s").arg(outage.elapsed() / 1000.0, 0, 'f', 1);
    outage.invalidate();
    if (started)
        RefreshLists();
    QMetaObject::invokeMethod(backend, &QtAudioBackend::ServerReady, Qt::AutoConnection);
}

void PulseAudioManager::ConnectionFailed(const char* message)
{
    // The server may stay away for hours: warn once, then keep trying quietly.
    if (!outage.isValid()) {
        qCWarning(lcPulseAudioManager) << message;
        outage.start();
    }
    ScheduleReconnect();
}

void PulseAudioManager::ScheduleReconnect()
{
    if (!stopped)
        reconnectTimer->start(reconnectDelay);
}

void PulseAudioManager::RefreshLists()
{
    inputList->asyncUpdateDeviceList(PA_INVALID_INDEX);
    outputList->asyncUpdateDeviceList(PA_INVALID_INDEX);
}

void PulseAudioManager::onContextFailed()
{
    // Already warned: "pulse audio context failed".
    outage.start();
    Cleanup();
    ScheduleReconnect();
}

void PulseAudioManager::Cleanup()
{
    if (!mainloop)
        return;
    pa_threaded_mainloop_lock(mainloop);
    if (context) {
        pa_context* old = context;
        context = nullptr;
        releaseContext(old);
        pa_threaded_mainloop_signal(mainloop, 0);
    }
    pa_threaded_mainloop_unlock(mainloop);
}

bool PulseAudioManager::IsConnected()
{
    if (!mainloop)
        return false;
    pa_threaded_mainloop_lock(mainloop);
    const bool ready = context && pa_context_get_state(context) == PA_CONTEXT_READY;
    pa_threaded_mainloop_unlock(mainloop);
    return ready;
}

void PulseAudioManager::Start()
{
    if (started)
        return;
    started = true;
    moveToThread(&thread);
    thread.start();

    recordingManager->LoadSettings();
    playbackManager->LoadSettings();
    RefreshLists();

    // Under the loop lock so that no event callback runs while the hooks change.
    if (mainloop)
        pa_threaded_mainloop_lock(mainloop);
    eventConnections << connect(this, &PulseAudioManager::inputDeviceAdded, inputList,
        &PulseAudioListManager::asyncUpdateDeviceList, Qt::DirectConnection);
    eventConnections << connect(this, &PulseAudioManager::inputDeviceRemoved, inputList,
        &PulseAudioListManager::asyncUpdateDeviceList, Qt::DirectConnection);
    eventConnections << connect(this, &PulseAudioManager::outputDeviceAdded, outputList,
        &PulseAudioListManager::asyncUpdateDeviceList, Qt::DirectConnection);
    eventConnections << connect(this, &PulseAudioManager::outputDeviceRemoved, outputList,
        &PulseAudioListManager::asyncUpdateDeviceList, Qt::DirectConnection);
    if (mainloop)
        pa_threaded_mainloop_unlock(mainloop);
}

void PulseAudioManager::Stop()
{
    // Taking the loop lock waits for an event callback that is already running.
    if (mainloop)
        pa_threaded_mainloop_lock(mainloop);
    for (const QMetaObject::Connection& connection : qAsConst(eventConnections))
        disconnect(connection);
    eventConnections.clear();
    if (mainloop)
        pa_threaded_mainloop_unlock(mainloop);

    const auto halt = [this] {
        stopped = true;
        reconnectTimer->stop();
        inputList->StopFollowUps();
        outputList->StopFollowUps();
    };
    if (!halted) {
        halted = true;
        if (thread.isRunning()) {
            QMetaObject::invokeMethod(this, halt, Qt::BlockingQueuedConnection);
            thread.quit();
            thread.wait();
        } else {
            halt();
        }
    }

    for (AudioDeviceManagerBase* manager :
        {static_cast<AudioDeviceManagerBase*>(recordingManager), static_cast<AudioDeviceManagerBase*>(playbackManager)}) {
        try {
            manager->StopDevice();
        } catch (const std::exception& e) {
            qCDebug(lcAudioManager) << e.what();
        }
    }
}

bool PulseAudioManager::IsBackendCreated() const
{
    return backend->IsCreated();
}

void PulseAudioManager::FindClient(const QByteArray& name, QObject* receiver,
    std::function<void(bool known, bool found)> done)
{
    QMetaObject::invokeMethod(this, [this, name, receiver, done] {
        bool found = false;
        pa_utils::InfoRequest<const pa_client_info*> request;
        request.onInfo = [&found, &name](const pa_client_info* info) { found = found || name == info->name; };
        const bool known = pa_utils::SyncPulseRequest<const pa_client_info*>(mainloop, context, request,
            [](pa_context* c, void* userdata) {
                return pa_context_get_client_info_list(c, pa_utils::generic_callback_f<const pa_client_info*>, userdata);
            });
        QMetaObject::invokeMethod(receiver, [done, known, found] { done(known, found); }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

PulseDeviceInfo PulseAudioManager::GetDeviceInfo(QAudio::Mode mode, const QString& name)
{
    if (mode == QAudio::AudioInput)
        return GetInputDeviceInfo(name);
    if (mode == QAudio::AudioOutput)
        return GetOutputDeviceInfo(name);
    return PulseDeviceInfo();
}

PulseDeviceInfo PulseAudioManager::GetInputDeviceInfo(const QString& name)
{
    return queryDevice<pa_source_info>(mainloop, context, name, pa_context_get_source_info_by_name);
}

PulseDeviceInfo PulseAudioManager::GetOutputDeviceInfo(const QString& name)
{
    return queryDevice<pa_sink_info>(mainloop, context, name, pa_context_get_sink_info_by_name);
}
