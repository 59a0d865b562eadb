#pragma once

#include "CommandInfo.h"

#include <QList>
#include <QObject>
#include <QString>

// Something that contributes voice commands to the list registered with the
// server and runs them when the server recognises one.
class ExecutableCommandsSource : public QObject
{
    Q_OBJECT

public:
    explicit ExecutableCommandsSource(QObject* parent = nullptr);
    ~ExecutableCommandsSource() override;

public slots:
    virtual QList<CommandInfo> executableCommands() const;
    virtual QString executeCommand(CommandInfo command) const = 0;
    // Called after every send of the complete list.
    virtual void onCommandsRefreshed() const = 0;

signals:
    void commandsChanged();

protected:
    void clearCommands() { commands.clear(); }

    QList<CommandInfo> commands;
};
