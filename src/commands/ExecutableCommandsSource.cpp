#include "ExecutableCommandsSource.h"

ExecutableCommandsSource::ExecutableCommandsSource(QObject* parent)
    : QObject(parent)
{
}

ExecutableCommandsSource::~ExecutableCommandsSource() = default;

QList<CommandInfo> ExecutableCommandsSource::executableCommands() const
{
    return commands;
}

bool ExecutableCommandsSource::startCommand(CommandInfo command, QString* text, QObject*, CommandDone) const
{
    *text = executeCommand(command);
    return true;
}
