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

ExecutableCommandsSource* ExecutableCommandsManager::findCommand(const QString& id, CommandInfo* command) const
{
    for (ExecutableCommandsSource* source : sources) {
        if (!source)
            continue;
        const QList<CommandInfo> commands = source->executableCommands();
        for (const CommandInfo& candidate : commands) {
            if (candidate.id() == id) {
                *command = candidate;
                return source;
            }
        }
    }
    return nullptr;
}

QString ExecutableCommandsManager::executeCommand(const QString& id)
{
    CommandInfo command;
    ExecutableCommandsSource* source = findCommand(id, &command);
    return source ? source->executeCommand(command) : QString();
}

bool ExecutableCommandsManager::startCommand(const QString& id, QString* text, QObject* receiver,
                                             ExecutableCommandsSource::CommandDone done)
{
    CommandInfo command;
    if (ExecutableCommandsSource* source = findCommand(id, &command))
        return source->startCommand(command, text, receiver, std::move(done));
    text->clear();
    return true;
}
