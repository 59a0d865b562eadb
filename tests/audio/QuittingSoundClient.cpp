// A sound client as the program has one: it follows the devices, captures,
// stops its audio and ends the way the program ends. Exit code 0 when it saw
// a device list and captured sound, 3 otherwise.
// With "churn" it instead keeps changing the volume of the default source,
// which every client of the server hears about, until it is killed.
#include "PulseAudioManager.h"
#include "QuickExit.h"
#include "RecordingDeviceManager.h"
#include "TestHome.h"

#include <pulse/pulseaudio.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <unistd.h>

namespace {
void signalLoop(pa_threaded_mainloop* loop)
{
    pa_threaded_mainloop_signal(loop, 0);
}

int churn()
{
    pa_threaded_mainloop* loop = pa_threaded_mainloop_new();
    if (!loop || pa_threaded_mainloop_start(loop) != 0)
        return 2;
    pa_threaded_mainloop_lock(loop);
    pa_context* context = pa_context_new(pa_threaded_mainloop_get_api(loop), "churn");
    pa_context_set_state_callback(context, [](pa_context*, void* l) { signalLoop(static_cast<pa_threaded_mainloop*>(l)); },
        loop);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return 2;
    while (pa_context_get_state(context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
            return 2;
        pa_threaded_mainloop_wait(loop);
    }
    for (unsigned long n = 0;; ++n) {
        pa_cvolume volume;
        pa_cvolume_set(&volume, 1, n % 2 ? PA_VOLUME_NORM : PA_VOLUME_NORM / 2);
        pa_operation* operation = pa_context_set_source_volume_by_name(context, "@DEFAULT_SOURCE@", &volume,
            [](pa_context*, int, void* l) { signalLoop(static_cast<pa_threaded_mainloop*>(l)); }, loop);
        if (!operation)
            return 2;
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(loop);
        pa_operation_unref(operation);
        // Busy enough for every client, not so busy that the server stops taking connections.
        pa_threaded_mainloop_unlock(loop);
        usleep(1000);
        pa_threaded_mainloop_lock(loop);
    }
}

bool captureOnce()
{
    PulseAudioManager audio;
    RecordingDeviceManager* recording = audio.RecordingManager();
    int captured = 0;
    QObject::connect(recording, &RecordingDeviceManager::SoundAvailable, [&captured](const QByteArray& data) {
        captured += data.size();
    });
    audio.Start();
    const QDeadlineTimer limit(TestHome::scaled(20000));
    while ((recording->DeviceList().isEmpty() || captured < 3200) && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const bool ok = !recording->DeviceList().isEmpty() && captured >= 3200;
    audio.Stop();
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "churn") == 0)
        return churn();
    int code = 3;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("QuittingSoundClient"));
        code = captureOnce() ? 0 : 3;
    }
    quickExit(code);
}
