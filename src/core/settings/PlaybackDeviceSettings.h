#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "PlaybackDevice".
class PlaybackDeviceSettings : public Settings
{
    Q_OBJECT

public:
    PlaybackDeviceSettings();
    ~PlaybackDeviceSettings() override;

    Setting<QString> Name;
    Setting<int> Volume;
    Setting<bool> TrackChanges;
};
