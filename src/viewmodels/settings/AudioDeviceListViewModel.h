#pragma once

#include "AudioDeviceManagerBase.h"
#include "ExtAudioDeviceInfo.h"
#include "SettingsViewModel.h"

#include <QString>
#include <QStringList>

// The device list of one audio device manager. Works on the live manager:
// a choice switches the device at once; Cancel restores the device and the
// tracking flag of the window's opening. GUI thread; connected to the manager
// only between Load and Unload.
class AudioDeviceListViewModel : public SettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(QStringList Devices READ get_Devices NOTIFY changed_Devices)
    Q_PROPERTY(int SelectedDeviceIndex READ get_SelectedDeviceIndex WRITE set_SelectedDeviceIndex NOTIFY
                   changed_SelectedDeviceIndex)
    Q_PROPERTY(bool IsTrackChanges READ get_IsTrackChanges WRITE set_IsTrackChanges NOTIFY changed_IsTrackChanges)

public:
    // Throws std::invalid_argument for a null manager.
    explicit AudioDeviceListViewModel(AudioDeviceManagerBase* manager, QObject* parent = nullptr);
    ~AudioDeviceListViewModel() override;

    QStringList get_Devices() const { return devices; }
    int get_SelectedDeviceIndex() const;
    bool get_IsTrackChanges() const;

public slots:
    void set_SelectedDeviceIndex(int index);
    void set_IsTrackChanges(bool track);
    void Load() override;
    void Unload() override;
    void Cancel() override;
    bool IsChanged() override;

signals:
    void changed_Devices(QStringList devices);
    void changed_SelectedDeviceIndex(int idx);
    void changed_IsTrackChanges(bool track);

protected:
    // Writes the device and the tracking flag only when they were changed here
    // since the window opened: a device the manager fell back to by itself, or
    // one saving another page, is not the user's choice.
    template<typename DeviceSettings>
    void storeChoices(DeviceSettings& settings) const
    {
        if (manager->CurrentDevice() != savedDevice)
            settings.Name = manager->CurrentDevice().deviceName();
        if (manager->TrackChanges != savedTrackChanges)
            settings.TrackChanges = manager->TrackChanges;
    }

private slots:
    void onDeviceListChanged();
    void onDeviceChanged();
    void onIsTrackChangesChanged();

private:
    QStringList devices;
    bool savedTrackChanges = false;
    ExtAudioDeviceInfo savedDevice;
    AudioDeviceManagerBase* manager;
    // Set while Devices is rebuilt: a view resetting its index then cannot switch the device.
    bool refreshingList = false;
};
