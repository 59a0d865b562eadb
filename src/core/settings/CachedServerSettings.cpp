#include "CachedServerSettings.h"

CachedServerSettings::CachedServerSettings()
    : Settings(QStringLiteral("CachedServers"))
    , ServersList(this, QStringLiteral("ServersList"), QString())
{
}

CachedServerSettings::~CachedServerSettings() = default;
