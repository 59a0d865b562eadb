#pragma once

#include "Setting.h"
#include "Settings.h"

// Group "CachedServers".
class CachedServerSettings : public Settings
{
    Q_OBJECT

public:
    CachedServerSettings();
    ~CachedServerSettings() override;

    Setting<QString> ServersList;
};
