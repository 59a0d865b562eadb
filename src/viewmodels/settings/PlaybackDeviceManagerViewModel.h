#pragma once

#include "AudioDeviceListViewModel.h"

class PlaybackDeviceManager;

// The output part of the "Звук" page: device, tracking and the live output
// level (only while the window is open). GUI thread.
class PlaybackDeviceManagerViewModel : public AudioDeviceListViewModel
{
    Q_OBJECT
    Q_PROPERTY(int CurrentLevel READ get_CurrentLevel NOTIFY changed_CurrentLevel)

public:
    explicit PlaybackDeviceManagerViewModel(PlaybackDeviceManager* manager, QObject* parent = nullptr);
    ~PlaybackDeviceManagerViewModel() override;

    int get_CurrentLevel() const;

public slots:
    void Load() override;
    void Unload() override;
    void Apply() override;

signals:
    void changed_CurrentLevel(int level);

private:
    PlaybackDeviceManager* playbackManager;
};
