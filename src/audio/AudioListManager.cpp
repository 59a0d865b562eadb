#include "AudioListManager.h"

#include <QMutexLocker>

AudioListManager::AudioListManager(QAudio::Mode mode, QObject* parent)
    : QObject(parent)
    , mode(mode)
{
}

AudioListManager::~AudioListManager() = default;

ExtAudioDeviceInfoList AudioListManager::DeviceList() const
{
    QMutexLocker locker(&lock);
    return list;
}

QList<QAudioDeviceInfo> AudioListManager::AvailableDevices() const
{
    return QAudioDeviceInfo::availableDevices(mode);
}

void AudioListManager::UpdateDeviceList()
{
    const QList<QAudioDeviceInfo> available = AvailableDevices();
    ExtAudioDeviceInfoList old = DeviceList();
    ExtAudioDeviceInfoList updated;
    bool changed = false;

    for (const QAudioDeviceInfo& device : available) {
        // Qt may list a device twice after the sound server restarted.
        if (updated.contains(ExtAudioDeviceInfo(device, QString())))
            continue;
        const int position = old.indexOf(ExtAudioDeviceInfo(device, QString()));
        if (position >= 0) {
            // A known device keeps its description; only new ones are asked about.
            updated.append(old.takeAt(position));
            if (position != 0)
                changed = true;
            continue;
        }
        const ExtAudioDeviceInfo entry = CreateExtDeviceInfo(device);
        if (!entry.isNull()) {
            updated.append(entry);
            changed = true;
        }
    }
    if (!old.isEmpty())
        changed = true;

    QMutexLocker locker(&lock);
    if (!changed && !firstUpdatePending)
        return;
    list = updated;
    firstUpdatePending = false;
    locker.unlock();
    emit DeviceListChanged();
}
