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
