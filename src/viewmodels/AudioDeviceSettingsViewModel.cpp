#include "AudioDeviceSettingsViewModel.h"

AudioDeviceSettingsViewModel::AudioDeviceSettingsViewModel(RecordingDeviceManager* recordingManager,
                                                           PlaybackDeviceManager* playbackManager, QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Звук"), false, parent)
    , recordingManager(recordingManager)
    , playbackManager(playbackManager)
{
}

AudioDeviceSettingsViewModel::~AudioDeviceSettingsViewModel() = default;
