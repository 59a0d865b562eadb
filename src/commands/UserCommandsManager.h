#pragma once

#include "ExecutableCommandsSource.h"

// The user's own voice commands as a command source. This is the part the
// server link needs; the command files, editing and the executors extend it.
class UserCommandsManager : public ExecutableCommandsSource
{
    Q_OBJECT

public:
    explicit UserCommandsManager(QObject* parent = nullptr);
    ~UserCommandsManager() override;

    QString executeCommand(CommandInfo command) const override;
    void onCommandsRefreshed() const override;

signals:
    void CommandExecutionError(QString error);
};
