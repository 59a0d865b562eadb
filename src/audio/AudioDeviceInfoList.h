#pragma once

#include "ExtAudioDeviceInfo.h"

// A device list with one entry marked current.
class AudioDeviceInfoList
{
public:
    AudioDeviceInfoList() = default;
    explicit AudioDeviceInfoList(const ExtAudioDeviceInfoList& devices);

    const ExtAudioDeviceInfoList& Devices() const { return devices; }
    int CurrentIndex() const { return currentIndex; }

    // An empty entry when nothing is current.
    ExtAudioDeviceInfo CurrentDeviceInfo() const;
    ExtAudioDeviceInfo FindDevice(const QString& name) const;
    // True when the current index changed; a device that is not listed clears it.
    bool set_CurrentDevice(const ExtAudioDeviceInfo& device);

private:
    ExtAudioDeviceInfoList devices;
    int currentIndex = -1;
};
