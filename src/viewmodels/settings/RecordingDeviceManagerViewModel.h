#pragma once

#include "AudioDeviceListViewModel.h"

class RecordingDeviceManager;

// The microphone part of the "Звук" page: device, tracking, gain and the live
// input level (only while the window is open). GUI thread.
class RecordingDeviceManagerViewModel : public AudioDeviceListViewModel
{
    Q_OBJECT
    Q_PROPERTY(int CurrentLevel READ get_CurrentLevel NOTIFY changed_CurrentLevel)
    Q_PROPERTY(int Gain READ get_Gain WRITE set_Gain NOTIFY changed_Gain)
    Q_PROPERTY(bool IsLastDeviceActive READ get_IsLastDeviceActive NOTIFY changed_IsLastDeviceActive)

public:
    explicit RecordingDeviceManagerViewModel(RecordingDeviceManager* manager, QObject* parent = nullptr);
    ~RecordingDeviceManagerViewModel() override;

    int get_CurrentLevel() const;
    int get_Gain() const;
    // Nothing maintains it; false keeps views that bind to it inert.
    bool get_IsLastDeviceActive() const { return false; }

public slots:
    void set_Gain(int gain);
    void Load() override;
    void Unload() override;
    void Apply() override;
    void Cancel() override;
    bool IsChanged() override;

signals:
    void changed_CurrentLevel(int level);
    void changed_Gain(int gain);
    void changed_IsLastDeviceActive(bool active);

private:
    RecordingDeviceManager* recordingManager;
    int savedGain = 0;
};
