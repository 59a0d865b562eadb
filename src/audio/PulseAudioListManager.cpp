#include "PulseAudioListManager.h"

#include "PulseAudioManager.h"

#include <QTimer>

#include <array>

namespace {
// Qt's own device list learns of a device from the sound server a little after we do,
// and after a reconnection only when its own retry (3 s) has run: refresh again then.
constexpr std::array<int, 2> FollowUpDelays{300, 3300};
} // namespace

PulseAudioListManager::PulseAudioListManager(QAudio::Mode mode, bool useMonitors, PulseAudioManager* manager)
    : AudioListManager(mode, manager)
    , manager(manager)
    , monitorsAllowed(useMonitors)
    , followUp(new QTimer(this))
{
    followUp->setSingleShot(true);
    connect(followUp, &QTimer::timeout, this, &PulseAudioListManager::RunFollowUp);
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
    followUpStep = 0;
    followUp->start(FollowUpDelays[0]);
}

void PulseAudioListManager::RunFollowUp()
{
    UpdateDeviceList();
    if (++followUpStep < static_cast<int>(FollowUpDelays.size()))
        followUp->start(FollowUpDelays[followUpStep] - FollowUpDelays[followUpStep - 1]);
}

void PulseAudioListManager::StopFollowUps()
{
    followUp->stop();
}
