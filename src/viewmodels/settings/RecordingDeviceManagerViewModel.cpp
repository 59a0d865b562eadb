#include "RecordingDeviceManagerViewModel.h"

#include "RecordingDeviceManager.h"
#include "RecordingDeviceSettings.h"

RecordingDeviceManagerViewModel::RecordingDeviceManagerViewModel(RecordingDeviceManager* manager, QObject* parent)
    : AudioDeviceListViewModel(manager, parent)
    , recordingManager(manager)
{
}

RecordingDeviceManagerViewModel::~RecordingDeviceManagerViewModel() = default;

int RecordingDeviceManagerViewModel::get_CurrentLevel() const
{
    return recordingManager->CurrentLevel();
}

int RecordingDeviceManagerViewModel::get_Gain() const
{
    return recordingManager->Gain();
}

void RecordingDeviceManagerViewModel::set_Gain(int gain)
{
    recordingManager->set_Gain(gain);
}

void RecordingDeviceManagerViewModel::Load()
{
    AudioDeviceListViewModel::Load();
    connect(recordingManager, &RecordingDeviceManager::CurrentLevelChanged, this,
            &RecordingDeviceManagerViewModel::changed_CurrentLevel, Qt::UniqueConnection);
    connect(recordingManager, &RecordingDeviceManager::GainChanged, this, &RecordingDeviceManagerViewModel::changed_Gain,
            Qt::UniqueConnection);
    savedGain = recordingManager->Gain();
}

void RecordingDeviceManagerViewModel::Unload()
{
    disconnect(recordingManager, &RecordingDeviceManager::CurrentLevelChanged, this,
               &RecordingDeviceManagerViewModel::changed_CurrentLevel);
    disconnect(recordingManager, &RecordingDeviceManager::GainChanged, this,
               &RecordingDeviceManagerViewModel::changed_Gain);
    AudioDeviceListViewModel::Unload();
}

void RecordingDeviceManagerViewModel::Apply()
{
    AudioDeviceListViewModel::Apply();
    RecordingDeviceSettings settings;
    storeChoices(settings);
    if (recordingManager->Gain() != savedGain)
        settings.Gain = recordingManager->Gain();
    settings.sync();
}

void RecordingDeviceManagerViewModel::Cancel()
{
    recordingManager->set_Gain(savedGain);
    AudioDeviceListViewModel::Cancel();
}

bool RecordingDeviceManagerViewModel::IsChanged()
{
    return recordingManager->Gain() != savedGain || AudioDeviceListViewModel::IsChanged();
}
