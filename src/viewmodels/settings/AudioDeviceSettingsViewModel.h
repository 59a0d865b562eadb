#pragma once

#include "AppSettingsViewModel.h"

class PlaybackDeviceManager;
class PlaybackDeviceManagerViewModel;
class RecordingDeviceManager;
class RecordingDeviceManagerViewModel;

// The "Звук" page: the microphone and the output device; its two parts are its
// inner settings, recording first. GUI thread.
class AudioDeviceSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(QObject* RecordingDevice READ get_RecordingDevice NOTIFY changed_RecordingDevice)
    Q_PROPERTY(QObject* PlaybackDevice READ get_PlaybackDevice NOTIFY changed_PlaybackDevice)

public:
    AudioDeviceSettingsViewModel(RecordingDeviceManager* recordingManager, PlaybackDeviceManager* playbackManager,
                                 QObject* parent = nullptr);
    ~AudioDeviceSettingsViewModel() override;

    QObject* get_RecordingDevice() const;
    QObject* get_PlaybackDevice() const;

signals:
    void changed_RecordingDevice();
    void changed_PlaybackDevice();

private:
    RecordingDeviceManagerViewModel* recordingDevice;
    PlaybackDeviceManagerViewModel* playbackDevice;
};
