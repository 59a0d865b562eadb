#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "Launch".
class LaunchSettings : public Settings
{
    Q_OBJECT

public:
    LaunchSettings();
    ~LaunchSettings() override;

    Setting<bool> VoiceActivationEnabled;
    Setting<bool> VoiceDeactivationEnabled;
    Setting<bool> VoiceActivationEnabledBalancer;
    Setting<bool> VoiceDeactivationEnabledBalancer;
    Setting<QString> VoiceActivationCommand;
    Setting<QString> VoiceDeactivationCommand;
    Setting<bool> OutputToBackground;
    Setting<bool> GlobalEnableVAC;
};
