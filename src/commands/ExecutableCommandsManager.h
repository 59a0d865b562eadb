#pragma once

#include "ExecutableCommandsSource.h"

#include <QList>
#include <QObject>
#include <QString>

class WebSocketClient;

// Registers every source's commands with the server as one list (message 11)
// and hands a recognised command id back to the source that owns it. Lives
// in the GUI thread; does not own the sources.
class ExecutableCommandsManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int MessageType = 11;

    ExecutableCommandsManager(QList<ExecutableCommandsSource*> sources, WebSocketClient* client);
    ~ExecutableCommandsManager() override;

    // The first source holding the id runs it; empty when none does.
    QString executeCommand(const QString& id);
    // The same without blocking; see ExecutableCommandsSource::startCommand.
    bool startCommand(const QString& id, QString* text, QObject* receiver, ExecutableCommandsSource::CommandDone done);

public slots:
    void refreshCommands();

private:
    // The first source holding the id, with its command; null when none does.
    ExecutableCommandsSource* findCommand(const QString& id, CommandInfo* command) const;

    QList<ExecutableCommandsSource*> sources;
    WebSocketClient* client;
};
