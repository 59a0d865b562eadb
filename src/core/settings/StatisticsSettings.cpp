#include "StatisticsSettings.h"

#include "AppVariables.h"

StatisticsSettings::StatisticsSettings()
    : Settings(QStringLiteral("Statistics"))
    , FillOrganisationUserInfo(this, QStringLiteral("FillOrganisationUserInfo"), AppVariables::buildFlag(QStringLiteral("FillOrganisationUserInfo")))
{
}

StatisticsSettings::~StatisticsSettings() = default;
