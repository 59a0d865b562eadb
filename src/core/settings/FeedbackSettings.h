#pragma once

#include "Base64Setting.h"
#include "Setting.h"
#include "Settings.h"

// Group "Feedback".
class FeedbackSettings : public Settings
{
    Q_OBJECT

public:
    FeedbackSettings();
    ~FeedbackSettings() override;

    Base64Setting FeedbackText;
    Setting<QString> Id;
    Setting<QString> ThemeId;
    Setting<QString> ThemeVersion;
    Base64Setting ThemeName;
    Setting<QString> Email;
    Base64Setting FullName;
    Setting<bool> ConsentRequested;
};
