#include "PulseAudioListManager.h"

#include "PulseAudioManager.h"

#include <QTimer>

namespace {
// Qt's own device list learns of a device from the sound server a little after we do:
// refresh again then.
constexpr int FollowUpDelay = 300;
} // namespace

PulseAudioListManager::PulseAudioListManager(QAudio::Mode mode, bool useMonitors, PulseAudioManager* manager)
    : AudioListManager(mode, manager)
    , manager(manager)
    , monitorsAllowed(useMonitors)
    , followUp(new QTimer(this))
{
    followUp->setSingleShot(true);
    followUp->setInterval(FollowUpDelay);
    connect(followUp, &QTimer::timeout, this, &AudioListManager::UpdateDeviceList);
}

PulseAudioListManager::~PulseAudioListManager() = default;

ExtAudioDeviceInfo PulseAudioListManager::CreateExtDeviceInfo(const QAudioDeviceInfo& device)
{
    if (!manager)
        return ExtAudioDeviceInfo();
    const PulseDeviceInfo info = manager->GetDeviceInfo(Mode(), device.deviceName());
    if (!info.found || (info.isMonitor && !monitorsAllowed))
        return ExtAudioDeviceInfo();
    return ExtAudioDeviceInfo(device, info.description);
}

QList<QAudioDeviceInfo> PulseAudioListManager::AvailableDevices() const
{
    // Asking before Qt's backend exists would create it in this thread, unconnected.
    if (!manager || !manager->IsBackendCreated())
        return {};
    return AudioListManager::AvailableDevices();
}

void PulseAudioListManager::asyncUpdateDeviceList(uint32_t)
{
    if (pending.fetchAndAddOrdered(1) == 0)
        QMetaObject::invokeMethod(this, [this] { RunPendingUpdates(); }, Qt::QueuedConnection);
}

void PulseAudioListManager::RunPendingUpdates()
{
    for (;;) {
        UpdateDeviceList();
        if (pending.testAndSetOrdered(1, 0))
            break;
        // Requests arrived during the refresh: one more covers them all.
        pending.storeRelease(1);
    }
    followUp->start();
}

void PulseAudioListManager::StopFollowUps()
{
    followUp->stop();
}
