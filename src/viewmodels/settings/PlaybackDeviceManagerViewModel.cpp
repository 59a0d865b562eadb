#include "PlaybackDeviceManagerViewModel.h"

#include "PlaybackDeviceManager.h"
#include "PlaybackDeviceSettings.h"

PlaybackDeviceManagerViewModel::PlaybackDeviceManagerViewModel(PlaybackDeviceManager* manager, QObject* parent)
    : AudioDeviceListViewModel(manager, parent)
    , playbackManager(manager)
{
}

PlaybackDeviceManagerViewModel::~PlaybackDeviceManagerViewModel() = default;

int PlaybackDeviceManagerViewModel::get_CurrentLevel() const
{
    return playbackManager->CurrentLevel();
}

void PlaybackDeviceManagerViewModel::Load()
{
    AudioDeviceListViewModel::Load();
    connect(playbackManager, &PlaybackDeviceManager::CurrentLevelChanged, this,
            &PlaybackDeviceManagerViewModel::changed_CurrentLevel, Qt::UniqueConnection);
}

void PlaybackDeviceManagerViewModel::Unload()
{
    disconnect(playbackManager, &PlaybackDeviceManager::CurrentLevelChanged, this,
               &PlaybackDeviceManagerViewModel::changed_CurrentLevel);
    AudioDeviceListViewModel::Unload();
}

void PlaybackDeviceManagerViewModel::Apply()
{
    AudioDeviceListViewModel::Apply();
    PlaybackDeviceSettings settings;
    storeChoices(settings);
    settings.sync();
}
