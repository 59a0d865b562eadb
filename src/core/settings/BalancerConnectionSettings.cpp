#include "BalancerConnectionSettings.h"

#include "AppVariables.h"

BalancerConnectionSettings::BalancerConnectionSettings()
    : BaseConnectionSettings(QStringLiteral("BalancerConnection"), AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("DefaultServerAddress")), 34000, 39255, false)
{
}

BalancerConnectionSettings::~BalancerConnectionSettings() = default;
