#include "ConnectionManagerSettings.h"

ConnectionManagerSettings::ConnectionManagerSettings()
    : Settings(QStringLiteral("ConnectionManager"))
    , QuietConnectionEnabled(this, QStringLiteral("QuietConnectionEnabled"), false)
{
}

ConnectionManagerSettings::~ConnectionManagerSettings() = default;
