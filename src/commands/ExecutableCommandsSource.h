#pragma once

#include "CommandInfo.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

// Something that contributes voice commands to the list registered with the
// server and runs them when the server recognises one.
class ExecutableCommandsSource : public QObject
{
    Q_OBJECT

public:
    // Gets the text of a command whose work went on in the background.
    using CommandDone = std::function<void(QString text)>;

    explicit ExecutableCommandsSource(QObject* parent = nullptr);
    ~ExecutableCommandsSource() override;

public slots:
    virtual QList<CommandInfo> executableCommands() const;
    virtual QString executeCommand(CommandInfo command) const = 0;
    // Called after every send of the complete list.
    virtual void onCommandsRefreshed() const = 0;

public:
    // Runs the command as executeCommand does, without blocking: true, with its
    // text in *text, once it has run; false when its work goes on in a thread
    // of its own, and `done` then gets the text in this object's thread,
    // unless `receiver` has gone meanwhile. Here: always at once.
    virtual bool startCommand(CommandInfo command, QString* text, QObject* receiver, CommandDone done) const;

signals:
    void commandsChanged();

protected:
    void clearCommands() { commands.clear(); }

    QList<CommandInfo> commands;
};
