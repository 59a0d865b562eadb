#include "LaunchSettingsViewModel.h"

#include "LaunchSettings.h"

LaunchSettingsViewModel::LaunchSettingsViewModel(QObject* parent)
    : AppSettingsViewModel(QStringLiteral("Запуск"), false, parent)
{
    LaunchSettings settings;
    globalEnableVAC = settings.GlobalEnableVAC;
    isVACSettingsVisible = globalEnableVAC;
}

LaunchSettingsViewModel::~LaunchSettingsViewModel() = default;

void LaunchSettingsViewModel::VACSettingsVisibleChanged(bool enableVAC, bool receivedFromBalancer)
{
    if (receivedFromBalancer) {
        if (isVACSettingsVisible != enableVAC)
            emit vacSettingsVisibleChanged(enableVAC);
        isVACSettingsVisible = enableVAC;
    } else {
        isVACSettingsVisible = globalEnableVAC;
    }
    emit changed_IsVACSettingsVisible(isVACSettingsVisible);
}
