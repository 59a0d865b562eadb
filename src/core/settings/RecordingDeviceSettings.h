#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "RecordingDevice".
class RecordingDeviceSettings : public Settings
{
    Q_OBJECT

public:
    RecordingDeviceSettings();
    ~RecordingDeviceSettings() override;

    Setting<QString> Name;
    Setting<int> Gain;
    Setting<bool> TrackChanges;
    Setting<int> DataInterval;
    Setting<int> BufferSize;
    Setting<bool> UseNotifyEvent;
    Setting<bool> UseMonitors;
};
