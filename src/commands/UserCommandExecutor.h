#pragma once

#include "CommandResult.h"
#include "UserCommand.h"

#include <QObject>

// Runs the action of one user command type. Never throws: failures come back
// as the result's error text.
class UserCommandExecutor : public QObject
{
    Q_OBJECT

public:
    explicit UserCommandExecutor(QObject* parent = nullptr);
    ~UserCommandExecutor() override;

    virtual CommandResult Execute(UserCommand command) const = 0;
    // Whether Execute may block for longer than a blink (reading a document):
    // such a command is run in a thread of its own, Execute in that thread.
    virtual bool MayBlock() const { return false; }
};
