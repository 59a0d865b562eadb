#pragma once

#include "CommandInfo.h"
#include "JsonConvertable.h"

#include <QList>

// Every voice command registered with the server (message type 11).
class CommandsInfo : public JsonConvertable
{
public:
    CommandsInfo();
    CommandsInfo(const CommandsInfo&) = default;
    CommandsInfo& operator=(const CommandsInfo&) = default;
    ~CommandsInfo() override;

    QList<CommandInfo> commands() const { return m_commands; }
    void setCommands(const QList<CommandInfo>& commands) { m_commands = commands; }

    QJsonObject toJson() const override;

private:
    QList<CommandInfo> m_commands;
};
