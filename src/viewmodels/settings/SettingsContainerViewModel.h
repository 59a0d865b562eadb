#pragma once

#include "SettingsViewModel.h"

#include <QList>

class AppSettingsViewModel;
class ConnectionManager;

// The settings window: shows the pages that can be used with the current
// connection state, one tab each.
class SettingsContainerViewModel : public SettingsViewModel
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ get_currentIndex WRITE set_currentIndex NOTIFY changed_currentIndex)

public:
    SettingsContainerViewModel(QList<AppSettingsViewModel*> pages, ConnectionManager* connectionManager,
                               QObject* parent = nullptr);
    ~SettingsContainerViewModel() override;

    int get_currentIndex() const { return currentIndex; }
    QList<AppSettingsViewModel*> pages() const { return allPages; }

public slots:
    void set_currentIndex(int index);
    bool Validate() override;
    void Load() override;

signals:
    void changed_currentIndex(int index);

private:
    int currentIndex = 0;
    ConnectionManager* connectionManager;
    QList<AppSettingsViewModel*> allPages;
};
