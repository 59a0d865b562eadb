#include "RecordingDeviceSettings.h"

RecordingDeviceSettings::RecordingDeviceSettings()
    : Settings(QStringLiteral("RecordingDevice"))
    , Name(this, QStringLiteral("Name"), QString())
    , Gain(this, QStringLiteral("Gain"), 100)
    , TrackChanges(this, QStringLiteral("TrackChanges"), false)
    , DataInterval(this, QStringLiteral("DataInterval"), 200)
    , BufferSize(this, QStringLiteral("BufferSize"), 6400)
    , UseNotifyEvent(this, QStringLiteral("UseNotifyEvent"), false)
    , UseMonitors(this, QStringLiteral("UseMonitors"), false)
{
}

RecordingDeviceSettings::~RecordingDeviceSettings() = default;
