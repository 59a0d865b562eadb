#include "UserCommandsManager.h"

UserCommandsManager::UserCommandsManager(QObject* parent)
    : ExecutableCommandsSource(parent)
{
}

UserCommandsManager::~UserCommandsManager() = default;

// No user command is held yet, so no id can reach here.
QString UserCommandsManager::executeCommand(CommandInfo) const
{
    return QString();
}

void UserCommandsManager::onCommandsRefreshed() const
{
}
