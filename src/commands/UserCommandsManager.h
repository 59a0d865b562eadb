#pragma once

#include "ClientThemeInfo.h"
#include "ExecutableCommandsSource.h"
#include "UserCommand.h"

#include <QList>
#include <QMap>
#include <QRecursiveMutex>
#include <QSet>
#include <QString>
#include <QStringList>

class AsrManager;
class BackgroundRunner;
class CommandResult;
class UserCommandExecutor;

// The user's voice commands per recognition theme, merged with the system
// rules: loaded from and saved to the command files, offered to the server as
// executable commands (all but the Text ones, which auto-replace applies on the
// client) and run through the executor of their type when recognised; those
// that may block (documents) in a thread of its own, one after another.
// Lives in the GUI thread.
class UserCommandsManager : public ExecutableCommandsSource
{
    Q_OBJECT

public:
    explicit UserCommandsManager(QObject* parent = nullptr);
    ~UserCommandsManager() override;

    // Set before LoadAll; without it only the commands of all themes are in force.
    void setAsrManager(AsrManager* asrManager);

    // Reads the system rules and the user's files once at start-up.
    void LoadAll();
    QList<UserCommand> LoadFrom(const QString& path, ClientThemeInfo* theme, bool isSystem);
    void SaveTo(const QString& path, const ClientThemeInfo& theme, const QList<UserCommand>& commands);
    // Writes the user's commands of the theme to its file (removes the file when there are none).
    void Save(const ClientThemeInfo& theme, const QList<UserCommand>& commands);

    // Replaces and saves the lists of the given themes; refuses the whole edit
    // when one theme is unknown or cannot name a file.
    void set_Commands(const QMap<QString, QList<UserCommand>>& commands);
    QList<UserCommand> get_ThemeCommands(const QString& themeId);
    QList<ClientThemeInfo> get_Themes();
    // Takes the server's theme list as known now, without waiting; when none
    // is known yet it is fetched in the background and ThemesChanged follows.
    void UpdateThemesFromAsr();
    // The commands of all themes, then those of the selected theme.
    QList<UserCommand> getCommandList();
    QList<UserCommandType> get_CommandTypes() const;
    // The files the last LoadAll could not read (left as they are on disk).
    QStringList get_UnreadableFiles();

    QString executeCommand(CommandInfo command) const override;
    bool startCommand(CommandInfo command, QString* text, QObject* receiver, CommandDone done) const override;
    void onCommandsRefreshed() const override;
    QString executeUserCommand(const UserCommand& command);

    static QString commandsFolder();
    static QString systemRulesPath();

public slots:
    void updateCommands();

signals:
    void CommandsChanged();
    // The current themes were replaced by a list that came from the server.
    void ThemesChanged();
    void CommandExecutionError(QString errorText);

private:
    void onThemesFetched(bool ok);
    void applyServerThemes(const QList<ClientThemeInfo>& serverThemes);
    void writeThemeFile(const ClientThemeInfo& theme, const QList<UserCommand>& commands);
    bool findUserCommand(const QString& id, UserCommand* found);
    // Tells the error, if any, and answers the text.
    QString finishCommand(const CommandResult& result);

    QRecursiveMutex mutex;
    AsrManager* asrManager = nullptr;
    QMap<QString, ClientThemeInfo> knownThemes;
    QMap<QString, ClientThemeInfo> currentThemes;
    QMap<QString, QList<UserCommand>> commandsByTheme;
    // Files left out at load because they could not be read; kept aside before they are replaced.
    QSet<QString> damagedFiles;
    // The theme id each readable user file declares; a save keeps aside every
    // other file of its theme and a file of another theme in its way.
    QMap<QString, QString> fileThemes;
    QStringList unreadableFiles;
    QMap<UserCommandType, UserCommandExecutor*> executors;
    // Goes before the executors it runs, which are children of this object.
    BackgroundRunner* backgroundCommands;
};
