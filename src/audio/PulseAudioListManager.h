#pragma once

#include "AudioListManager.h"

#include <QAtomicInt>

#include <cstdint>

class PulseAudioManager;
class QTimer;

// A device list described by the sound server: devices the server does not know are
// left out, and so are monitor sources unless they are allowed. Bursts of refresh
// requests are coalesced. Lives in the "AudioManager" thread.
class PulseAudioListManager : public AudioListManager
{
    Q_OBJECT

public:
    PulseAudioListManager(QAudio::Mode mode, bool useMonitors, PulseAudioManager* manager);
    ~PulseAudioListManager() override;

    ExtAudioDeviceInfo CreateExtDeviceInfo(const QAudioDeviceInfo& device) override;

    // Stops the delayed refreshes; runs in the list's thread.
    void StopFollowUps();

public slots:
    // Callable from any thread (also libpulse's); returns at once.
    void asyncUpdateDeviceList(uint32_t index);

protected:
    QList<QAudioDeviceInfo> AvailableDevices() const override;

private:
    void RunPendingUpdates();

    PulseAudioManager* manager;
    const bool monitorsAllowed;
    // 0 idle, 1 while a refresh runs, more when a further one is owed.
    QAtomicInt pending{0};
    QTimer* followUp;
};
