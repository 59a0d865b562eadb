#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <memory>

class CommandsViewModel;

// Command editor objects for showing its list views and edit windows on their
// own: a collection of each command type holding a few commands, and an edit
// model of each kind over one of them. GUI thread only.
class CommandEditorSamples
{
public:
    CommandEditorSamples();
    ~CommandEditorSamples();

    // A few commands of every type in the user's command files, for the editor to show.
    static void writeUserCommands();

    // Published beside the program's own context properties, under these names.
    QList<QPair<QString, QObject*>> contextProperties() const { return objects; }

private:
    std::unique_ptr<CommandsViewModel> editor;
    QList<QPair<QString, QObject*>> objects;
};
