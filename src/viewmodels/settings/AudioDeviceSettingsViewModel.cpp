#include "AudioDeviceSettingsViewModel.h"

#include "PlaybackDeviceManagerViewModel.h"
#include "RecordingDeviceManagerViewModel.h"

AudioDeviceSettingsViewModel::AudioDeviceSettingsViewModel(RecordingDeviceManager* recordingManager,
                                                           PlaybackDeviceManager* playbackManager, QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Звук"), false, parent)
    , recordingDevice(new RecordingDeviceManagerViewModel(recordingManager, this))
    , playbackDevice(new PlaybackDeviceManagerViewModel(playbackManager, this))
{
    innerSettings << recordingDevice << playbackDevice;
}

AudioDeviceSettingsViewModel::~AudioDeviceSettingsViewModel() = default;

QObject* AudioDeviceSettingsViewModel::get_RecordingDevice() const
{
    return recordingDevice;
}

QObject* AudioDeviceSettingsViewModel::get_PlaybackDevice() const
{
    return playbackDevice;
}
