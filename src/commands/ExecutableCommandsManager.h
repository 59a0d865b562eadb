#pragma once

#include <QList>
#include <QObject>
#include <QString>

class ExecutableCommandsSource;
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

public slots:
    void refreshCommands();

private:
    QList<ExecutableCommandsSource*> sources;
    WebSocketClient* client;
};
