#include "PlaybackDeviceSettings.h"

PlaybackDeviceSettings::PlaybackDeviceSettings()
    : Settings(QStringLiteral("PlaybackDevice"))
    , Name(this, QStringLiteral("Name"), QString())
    , Volume(this, QStringLiteral("Volume"), 100)
    , TrackChanges(this, QStringLiteral("TrackChanges"), false)
{
}

PlaybackDeviceSettings::~PlaybackDeviceSettings() = default;
