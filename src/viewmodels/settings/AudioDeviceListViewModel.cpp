#include "AudioDeviceListViewModel.h"

#include "AudioDeviceManagerBase.h"

#include <stdexcept>

AudioDeviceListViewModel::AudioDeviceListViewModel(AudioDeviceManagerBase* manager, QObject* parent)
    : SettingsViewModel(parent)
    , manager(manager)
{
    if (!manager)
        throw std::invalid_argument("Device manager in null");
}

AudioDeviceListViewModel::~AudioDeviceListViewModel() = default;

int AudioDeviceListViewModel::get_SelectedDeviceIndex() const
{
    return manager->SelectedIndex();
}

bool AudioDeviceListViewModel::get_IsTrackChanges() const
{
    return manager->TrackChanges;
}

void AudioDeviceListViewModel::set_SelectedDeviceIndex(int index)
{
    if (!refreshingList)
        manager->set_SelectedIndex(index);
}

void AudioDeviceListViewModel::set_IsTrackChanges(bool track)
{
    if (manager->TrackChanges == track)
        return;
    manager->TrackChanges = track;
    emit manager->IsTrackChangesChanged();
}

void AudioDeviceListViewModel::Load()
{
    SettingsViewModel::Load();
    // Unique: a second Load without Unload must not double every notification.
    const auto unique = Qt::UniqueConnection;
    connect(manager, &AudioDeviceManagerBase::DeviceListChanged, this, &AudioDeviceListViewModel::onDeviceListChanged,
            unique);
    connect(manager, &AudioDeviceManagerBase::SelectedIndexChanged, this, &AudioDeviceListViewModel::onDeviceChanged,
            unique);
    connect(manager, &AudioDeviceManagerBase::IsTrackChangesChanged, this,
            &AudioDeviceListViewModel::onIsTrackChangesChanged, unique);
    savedTrackChanges = manager->TrackChanges;
    savedDevice = manager->CurrentDevice();
    refreshingList = false;
    onDeviceListChanged();
}

void AudioDeviceListViewModel::Unload()
{
    disconnect(manager, &AudioDeviceManagerBase::DeviceListChanged, this,
               &AudioDeviceListViewModel::onDeviceListChanged);
    disconnect(manager, &AudioDeviceManagerBase::SelectedIndexChanged, this, &AudioDeviceListViewModel::onDeviceChanged);
    disconnect(manager, &AudioDeviceManagerBase::IsTrackChangesChanged, this,
               &AudioDeviceListViewModel::onIsTrackChangesChanged);
    SettingsViewModel::Unload();
}

void AudioDeviceListViewModel::Cancel()
{
    if (savedTrackChanges != manager->TrackChanges) {
        manager->TrackChanges = savedTrackChanges;
        emit manager->IsTrackChangesChanged();
    }
    const int saved = manager->DeviceList().indexOf(savedDevice);
    // A device unplugged meanwhile cannot come back; the current one stays.
    if (saved >= 0)
        manager->set_SelectedIndex(saved);
    SettingsViewModel::Cancel();
}

bool AudioDeviceListViewModel::IsChanged()
{
    if (manager->CurrentDevice() != savedDevice || manager->TrackChanges != savedTrackChanges)
        return true;
    return SettingsViewModel::IsChanged();
}

void AudioDeviceListViewModel::onDeviceListChanged()
{
    const ExtAudioDeviceInfoList list = manager->DeviceList();
    const int selected = manager->SelectedIndex();
    refreshingList = true;
    QStringList names;
    for (const ExtAudioDeviceInfo& device : list)
        names << device.deviceName();
    devices = names;
    emit changed_Devices(devices);
    refreshingList = false;
    emit changed_SelectedDeviceIndex(selected);
}

void AudioDeviceListViewModel::onDeviceChanged()
{
    emit changed_SelectedDeviceIndex(manager->SelectedIndex());
}

void AudioDeviceListViewModel::onIsTrackChangesChanged()
{
    emit changed_IsTrackChanges(manager->TrackChanges);
}
