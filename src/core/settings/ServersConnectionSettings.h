#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "ServersConnection".
class ServersConnectionSettings : public Settings
{
    Q_OBJECT

public:
    ServersConnectionSettings();
    ~ServersConnectionSettings() override;

    Setting<int> ServersListRefreshMinTimeout;
    Setting<int> ServerStatusRefreshMinTimeout;
};
