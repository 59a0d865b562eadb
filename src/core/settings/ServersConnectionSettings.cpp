#include "ServersConnectionSettings.h"

ServersConnectionSettings::ServersConnectionSettings()
    : Settings(QStringLiteral("ServersConnection"))
    , ServersListRefreshMinTimeout(this, QStringLiteral("ServersListRefreshMinTimeout"), 600)
    , ServerStatusRefreshMinTimeout(this, QStringLiteral("ServerStatusRefreshMinTimeout"), 600)
{
}

ServersConnectionSettings::~ServersConnectionSettings() = default;
