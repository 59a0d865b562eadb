#include "ClientConnectionSettings.h"

#include "AppVariables.h"

ClientConnectionSettings::ClientConnectionSettings()
    : BaseConnectionSettings(QStringLiteral("AsrClient"), AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("DefaultServerAddress")), 34000, 39255, false)
{
}

ClientConnectionSettings::~ClientConnectionSettings() = default;
