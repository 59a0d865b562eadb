#pragma once

#include "SelfTestFile.h"
#include "Setting.h"
#include "Settings.h"

#include <QList>

// Group "SelfTest".
class SelfTestSettings : public Settings
{
    Q_OBJECT

public:
    SelfTestSettings();
    ~SelfTestSettings() override;

    // Entries of the "Files" array beyond this are not read.
    static constexpr int MaxFiles = 1000;

    // The "Files" array, at most MaxFiles entries.
    QList<SelfTestFile> get_Files();

    Setting<bool> Enabled;
    Setting<int> PingCount;
    Setting<int> PingTimeout;
    Setting<int> StartTimeout;
    Setting<int> StopTimeout;
    Setting<int> SoundPeriod;
};
