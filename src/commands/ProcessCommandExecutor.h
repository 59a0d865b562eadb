#pragma once

#include "UserCommandExecutor.h"

// Starts the command's text as one program, detached, without arguments or a shell.
class ProcessCommandExecutor : public UserCommandExecutor
{
    Q_OBJECT

public:
    explicit ProcessCommandExecutor(QObject* parent = nullptr);
    ~ProcessCommandExecutor() override;

    CommandResult Execute(UserCommand command) const override;
};
