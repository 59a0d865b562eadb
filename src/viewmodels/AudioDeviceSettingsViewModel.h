#pragma once

#include "AppSettingsViewModel.h"

class PlaybackDeviceManager;
class RecordingDeviceManager;

// The "Звук" page: microphone and output device choice.
class AudioDeviceSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT

public:
    AudioDeviceSettingsViewModel(RecordingDeviceManager* recordingManager, PlaybackDeviceManager* playbackManager,
                                 QObject* parent = nullptr);
    ~AudioDeviceSettingsViewModel() override;

private:
    RecordingDeviceManager* recordingManager;
    PlaybackDeviceManager* playbackManager;
};
