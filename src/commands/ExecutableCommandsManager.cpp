#include "ExecutableCommandsManager.h"

#include "CommandsInfo.h"
#include "ExecutableCommandsSource.h"
#include "WebSocketClient.h"

ExecutableCommandsManager::ExecutableCommandsManager(QList<ExecutableCommandsSource*> sources, WebSocketClient* client)
    : QObject(nullptr)
    , sources(std::move(sources))
    , client(client)
{
    for (ExecutableCommandsSource* source : qAsConst(this->sources)) {
        if (source)
            connect(source, &ExecutableCommandsSource::commandsChanged, this, &ExecutableCommandsManager::refreshCommands);
    }
    refreshCommands();
}

ExecutableCommandsManager::~ExecutableCommandsManager() = default;

void ExecutableCommandsManager::refreshCommands()
{
    QList<CommandInfo> all;
    for (ExecutableCommandsSource* source : qAsConst(sources)) {
        if (source)
            all.append(source->executableCommands());
    }
    CommandsInfo info;
    info.setCommands(all);
    if (client)
        client->sendData(MessageType, &info);
    for (ExecutableCommandsSource* source : qAsConst(sources)) {
        if (source)
            source->onCommandsRefreshed();
    }
}

QString ExecutableCommandsManager::executeCommand(const QString& id)
{
    for (ExecutableCommandsSource* source : qAsConst(sources)) {
        if (!source)
            continue;
        const QList<CommandInfo> commands = source->executableCommands();
        for (const CommandInfo& command : commands) {
            if (command.id() == id)
                return source->executeCommand(command);
        }
    }
    return QString();
}
