#include "AudioDeviceInfoList.h"

#include "LogCategories.h"

AudioDeviceInfoList::AudioDeviceInfoList(const ExtAudioDeviceInfoList& devices)
    : devices(devices)
{
}

ExtAudioDeviceInfo AudioDeviceInfoList::CurrentDeviceInfo() const
{
    if (currentIndex < 0 || currentIndex >= devices.size())
        return ExtAudioDeviceInfo();
    return devices.at(currentIndex);
}

ExtAudioDeviceInfo AudioDeviceInfoList::FindDevice(const QString& name) const
{
    for (const ExtAudioDeviceInfo& entry : devices) {
        if (entry.deviceName() == name)
            return entry;
    }
    return ExtAudioDeviceInfo();
}

bool AudioDeviceInfoList::set_CurrentDevice(const ExtAudioDeviceInfo& device)
{
    const int index = devices.indexOf(device);
    if (index == currentIndex)
        return false;
    currentIndex = index;
    qCDebug(lcAudioManager).noquote() << "---- AudioDeviceInfoList: " + CurrentDeviceInfo().description();
    return true;
}
