#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "ConnectionManager".
class ConnectionManagerSettings : public Settings
{
    Q_OBJECT

public:
    ConnectionManagerSettings();
    ~ConnectionManagerSettings() override;

    // Connect without asking for a theme at start-up.
    Setting<bool> QuietConnectionEnabled;
};
