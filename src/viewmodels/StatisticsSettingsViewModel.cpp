#include "StatisticsSettingsViewModel.h"

StatisticsSettingsViewModel::StatisticsSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Пользователь"), false, parent)
{
}

StatisticsSettingsViewModel::~StatisticsSettingsViewModel() = default;
