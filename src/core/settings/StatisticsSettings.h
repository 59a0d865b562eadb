#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "Statistics".
class StatisticsSettings : public Settings
{
    Q_OBJECT

public:
    StatisticsSettings();
    ~StatisticsSettings() override;

    Setting<bool> FillOrganisationUserInfo;
};
