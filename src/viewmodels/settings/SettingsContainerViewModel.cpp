#include "SettingsContainerViewModel.h"

#include "AppSettingsViewModel.h"
#include "ConnectionManager.h"
#include "PropertyChange.h"

SettingsContainerViewModel::SettingsContainerViewModel(QList<AppSettingsViewModel*> pages,
                                                       ConnectionManager* connectionManager, QObject* parent)
    : SettingsViewModel(parent)
    , connectionManager(connectionManager)
    , allPages(pages)
{
}

SettingsContainerViewModel::~SettingsContainerViewModel() = default;

void SettingsContainerViewModel::set_currentIndex(int index)
{
    changeProperty(this, currentIndex, index, &SettingsContainerViewModel::changed_currentIndex);
}

bool SettingsContainerViewModel::Validate()
{
    for (int i = 0; i < innerSettings.size(); ++i) {
        auto* page = qobject_cast<SettingsViewModel*>(innerSettings.at(i));
        if (page && !page->Validate()) {
            set_currentIndex(i);
            return false;
        }
    }
    return true;
}

void SettingsContainerViewModel::Load()
{
    innerSettings.clear();
    const int state = connectionManager ? connectionManager->getState() : ConnectionManager::Disconnected;
    for (AppSettingsViewModel* page : qAsConst(allPages)) {
        if (page->needServerConnection() && state != ConnectionManager::Ready)
            continue;
        innerSettings.append(page);
    }
    SettingsViewModel::Load();
    currentIndex = 0;
}
