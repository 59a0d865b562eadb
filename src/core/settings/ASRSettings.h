#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "ASR".
class ASRSettings : public Settings
{
    Q_OBJECT

public:
    ASRSettings();
    ~ASRSettings() override;

    Setting<QString> SelectedTheme;
    Setting<bool> SendingMode;
    Setting<bool> IsThemeAutoSelect;
    Setting<bool> CapitalLetterAfterStart;
    Setting<bool> CanEditKivaroWords;
    Setting<bool> UsePunctuation;
    Setting<bool> PunctuationEnabled;
};
