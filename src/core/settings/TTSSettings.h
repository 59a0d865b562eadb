#pragma once

#include "Base64Setting.h"
#include "Setting.h"
#include "Settings.h"

// Group "TTS": the user's speech-synthesis choices.
class TTSSettings : public Settings
{
    Q_OBJECT

public:
    TTSSettings();
    ~TTSSettings() override;

    // Writes what differs (a speed within 0.01 counts as unchanged) and syncs; true when anything changed.
    bool saveTtsSettings(QString voice, bool enabled, double speed);

    static const QString DefaultVoice;

    Base64Setting Voice;
    Setting<bool> IsTtsEnabled;
    Setting<double> Speed;
};
