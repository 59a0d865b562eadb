#pragma once

#include "UserCommandType.h"

#include <QList>
#include <QObject>

class UserCommandsManager;

// The command editor's model over the user's commands, per theme and type.
class CommandsViewModel : public QObject
{
    Q_OBJECT

public:
    explicit CommandsViewModel(QObject* parent = nullptr);
    ~CommandsViewModel() override;

    // The commands source and the command types it offers, in tab order; set once at start-up.
    void set_CommandsManager(UserCommandsManager* manager, const QList<UserCommandType>& commandTypes);
    UserCommandsManager* get_CommandsManager() const { return commandsManager; }
    QList<UserCommandType> get_CommandTypes() const { return commandTypes; }

signals:
    void commandsChanged();

private:
    QList<UserCommandType> commandTypes;
    UserCommandsManager* commandsManager = nullptr;
};
