#pragma once

#include "AppSettingsViewModel.h"

// The "Запуск" page: hotkeys, voice activation phrases and autostart. Built
// with the LaunchManager as its parent.
class LaunchSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(bool IsVACSettingsVisible READ get_IsVACSettingsVisible NOTIFY changed_IsVACSettingsVisible)

public:
    explicit LaunchSettingsViewModel(QObject* parent = nullptr);
    ~LaunchSettingsViewModel() override;

    bool get_IsVACSettingsVisible() const { return isVACSettingsVisible; }

signals:
    void vacSettingsVisibleChanged(bool vacVisible);
    void activationChanged();
    void hotKeysChanged();
    void changed_IsVACSettingsVisible(bool visible);

public slots:
    // The voice-activation feature switch, from the balancer or the local settings.
    void VACSettingsVisibleChanged(bool enableVAC, bool receivedFromBalancer);

private:
    bool globalEnableVAC = false;
    bool isVACSettingsVisible = false;
};
