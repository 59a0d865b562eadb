#include "CommandsViewModel.h"

CommandsViewModel::CommandsViewModel(QObject* parent)
    : QObject(parent)
{
}

CommandsViewModel::~CommandsViewModel() = default;

void CommandsViewModel::set_CommandsManager(UserCommandsManager* manager, const QList<UserCommandType>& types)
{
    commandsManager = manager;
    commandTypes = types;
}
