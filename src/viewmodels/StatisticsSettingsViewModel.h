#pragma once

#include "AppSettingsViewModel.h"

// The "Пользователь" page: the organisation and user profile.
class StatisticsSettingsViewModel : public AppSettingsViewModel
{
    Q_OBJECT

public:
    explicit StatisticsSettingsViewModel(QObject* parent = nullptr);
    ~StatisticsSettingsViewModel() override;

signals:
    void needRestartApplication();
};
