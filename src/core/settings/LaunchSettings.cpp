#include "LaunchSettings.h"

LaunchSettings::LaunchSettings()
    : Settings(QStringLiteral("Launch"))
    , VoiceActivationEnabled(this, QStringLiteral("VoiceActivationEnabled"), false)
    , VoiceDeactivationEnabled(this, QStringLiteral("VoiceDeactivationEnabled"), false)
    , VoiceActivationEnabledBalancer(this, QStringLiteral("VoiceActivationEnabledBalancer"), false)
    , VoiceDeactivationEnabledBalancer(this, QStringLiteral("VoiceDeactivationEnabledBalancer"), false)
    , VoiceActivationCommand(this, QStringLiteral("VoiceActivationCommand"), QStringLiteral("Начать распознавание"))
    , VoiceDeactivationCommand(this, QStringLiteral("VoiceDeactivationCommand"), QStringLiteral("Закончить распознавание"))
    , OutputToBackground(this, QStringLiteral("OutputToBackground"), false)
    , GlobalEnableVAC(this, QStringLiteral("GlobalEnableVAC"), false)
{
}

LaunchSettings::~LaunchSettings() = default;
