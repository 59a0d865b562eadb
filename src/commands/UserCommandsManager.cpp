#include "UserCommandsManager.h"

#include "AppVariables.h"
#include "AsrManager.h"
#include "BackgroundRunner.h"
#include "CommandResult.h"
#include "Exception.h"
#include "FileCopyCommandExecutor.h"
#include "HotKeyCommandExecutor.h"
#include "ProcessCommandExecutor.h"
#include "UserCommandFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QPointer>
#include <QtDebug>

UserCommandsManager::UserCommandsManager(QObject* parent)
    : ExecutableCommandsSource(parent)
    , backgroundCommands(new BackgroundRunner(QStringLiteral("FileCommands")))
{
    auto* fileCopy = new FileCopyCommandExecutor(this);
    fileCopy->setCancellation(backgroundCommands->cancellation());
    executors.insert(UserCommandNamespace::Exe, new ProcessCommandExecutor(this));
    executors.insert(UserCommandNamespace::Key, new HotKeyCommandExecutor(this));
    executors.insert(UserCommandNamespace::FileCopy, fileCopy);
}

UserCommandsManager::~UserCommandsManager()
{
    delete backgroundCommands;
}

void UserCommandsManager::setAsrManager(AsrManager* manager)
{
    if (asrManager)
        disconnect(asrManager, nullptr, this, nullptr);
    asrManager = manager;
    if (asrManager)
        connect(asrManager, &AsrManager::themesFetched, this, &UserCommandsManager::onThemesFetched);
}

QString UserCommandsManager::commandsFolder()
{
    const QString local = AppVariables::sm_stdVars.get(QStringLiteral("AppLocalDataLocation"), QString());
    return QDir(local).filePath(UserCommandFiles::FolderName);
}

QString UserCommandsManager::systemRulesPath()
{
    const QString program = AppVariables::sm_stdVars.get(QStringLiteral("AppBinaryLocation"), QString());
    return QDir(program).filePath(UserCommandFiles::SystemRulesFileName);
}

QList<UserCommand> UserCommandsManager::LoadFrom(const QString& path, ClientThemeInfo* theme, bool isSystem)
{
    return UserCommandFiles::Load(path, theme, isSystem);
}

void UserCommandsManager::SaveTo(const QString& path, const ClientThemeInfo& theme, const QList<UserCommand>& commands)
{
    UserCommandFiles::Save(path, theme, commands);
}

void UserCommandsManager::LoadAll()
{
    const QString folder = commandsFolder();
    QDir().mkpath(folder);
    if (!QFileInfo(folder).isDir()) {
        const QString local = AppVariables::sm_stdVars.get(QStringLiteral("AppLocalDataLocation"), QString());
        throw Exception(QStringLiteral("Directory '") + UserCommandFiles::FolderName + QStringLiteral("' at path '")
                        + QDir(local).absolutePath() + QStringLiteral("' doesn't exist"));
    }
    const UserCommandFiles::Contents contents = UserCommandFiles::LoadAll(folder, systemRulesPath());
    {
        QMutexLocker locker(&mutex);
        knownThemes = contents.themes;
        commandsByTheme = contents.commands;
        damagedFiles = contents.damagedFiles;
        fileThemes = contents.fileThemes;
        unreadableFiles = contents.unreadableFiles;
        currentThemes.clear();
        currentThemes.insert(QString(), knownThemes.value(QString()));
    }
    updateCommands();
}

QStringList UserCommandsManager::get_UnreadableFiles()
{
    QMutexLocker locker(&mutex);
    return unreadableFiles;
}

void UserCommandsManager::writeThemeFile(const ClientThemeInfo& theme, const QList<UserCommand>& commands)
{
    const QString folder = commandsFolder();
    QDir().mkpath(folder);
    const QString themeId = theme.themeId();
    const QString path = UserCommandFiles::ThemeFilePath(folder, themeId);
    {
        QMutexLocker locker(&mutex);
        QStringList inTheWay;
        if (damagedFiles.contains(path) || fileThemes.value(path, themeId) != themeId)
            inTheWay << path;
        for (auto file = fileThemes.cbegin(); file != fileThemes.cend(); ++file) {
            if (file.value() == themeId && file.key() != path)
                inTheWay << file.key();
        }
        for (const QString& file : qAsConst(inTheWay)) {
            UserCommandFiles::SetAside(file);
            damagedFiles.remove(file);
            fileThemes.remove(file);
        }
    }
    QList<UserCommand> own;
    for (const UserCommand& command : commands) {
        if (!command.IsSystem)
            own.append(command);
    }
    if (!own.isEmpty()) {
        UserCommandFiles::Save(path, theme, own);
    } else if (QFileInfo::exists(path) && !QFile::remove(path)) {
        qWarning() << "Cannot remove" << path;
        throw Exception(UserCommandFiles::CannotWrite(path));
    }
    QMutexLocker locker(&mutex);
    if (own.isEmpty())
        fileThemes.remove(path);
    else
        fileThemes.insert(path, themeId);
}

void UserCommandsManager::Save(const ClientThemeInfo& theme, const QList<UserCommand>& commands)
{
    writeThemeFile(theme, commands);
    updateCommands();
}

void UserCommandsManager::set_Commands(const QMap<QString, QList<UserCommand>>& commands)
{
    QList<ClientThemeInfo> themes;
    {
        QMutexLocker locker(&mutex);
        for (auto entry = commands.cbegin(); entry != commands.cend(); ++entry) {
            if (!knownThemes.contains(entry.key()) || !UserCommandFiles::IsSafeThemeId(entry.key()))
                throw Exception(UserCommandFiles::ThemeNotFound(entry.key()));
            themes.append(knownThemes.value(entry.key()));
        }
    }

    // Each list replaces the one in memory once its file is written, so a
    // failed write leaves memory and disk alike for every theme.
    int replaced = 0;
    try {
        for (auto entry = commands.cbegin(); entry != commands.cend(); ++entry, ++replaced) {
            writeThemeFile(themes.at(replaced), entry.value());
            QMutexLocker locker(&mutex);
            commandsByTheme.insert(entry.key(), entry.value());
        }
    } catch (...) {
        if (replaced > 0) {
            updateCommands();
            emit CommandsChanged();
        }
        throw;
    }
    updateCommands();
    emit CommandsChanged();
}

QList<UserCommand> UserCommandsManager::get_ThemeCommands(const QString& themeId)
{
    QMutexLocker locker(&mutex);
    return commandsByTheme.value(themeId);
}

QList<ClientThemeInfo> UserCommandsManager::get_Themes()
{
    QMutexLocker locker(&mutex);
    return currentThemes.values();
}

void UserCommandsManager::UpdateThemesFromAsr()
{
    if (!asrManager)
        return;
    const QList<ClientThemeInfo> serverThemes = asrManager->knownThemes();
    if (serverThemes.isEmpty())
        asrManager->fetchThemes();
    else
        applyServerThemes(serverThemes);
}

void UserCommandsManager::onThemesFetched(bool ok)
{
    if (!ok || !asrManager)
        return;
    applyServerThemes(asrManager->knownThemes());
    emit ThemesChanged();
}

void UserCommandsManager::applyServerThemes(const QList<ClientThemeInfo>& serverThemes)
{
    QMutexLocker locker(&mutex);
    currentThemes.clear();
    currentThemes.insert(QString(), knownThemes.value(QString()));
    for (const ClientThemeInfo& theme : serverThemes) {
        const QString id = theme.themeId();
        knownThemes.insert(id, theme);
        currentThemes.insert(id, theme);
        if (!commandsByTheme.contains(id))
            commandsByTheme.insert(id, QList<UserCommand>());
    }
}

QList<UserCommand> UserCommandsManager::getCommandList()
{
    QMutexLocker locker(&mutex);
    QList<UserCommand> list = commandsByTheme.value(QString());
    if (asrManager) {
        const ClientThemeInfo selected = asrManager->getSelectedTheme();
        if (!selected.id().isEmpty())
            list.append(commandsByTheme.value(selected.themeId()));
    }
    return list;
}

QList<UserCommandType> UserCommandsManager::get_CommandTypes() const
{
    return {UserCommandNamespace::Text, UserCommandNamespace::Key, UserCommandNamespace::Exe,
            UserCommandNamespace::FileCopy};
}

void UserCommandsManager::updateCommands()
{
    clearCommands();
    for (const UserCommand& command : getCommandList()) {
        if (command.Type == UserCommandNamespace::Text)
            continue;
        CommandInfo info;
        info.setId(command.Id);
        info.setPattern(command.Pattern);
        info.setType(CommandTypeUser);
        commands.append(info);
    }
    emit commandsChanged();
}

bool UserCommandsManager::findUserCommand(const QString& id, UserCommand* found)
{
    for (const UserCommand& userCommand : getCommandList()) {
        if (userCommand.Id == id) {
            *found = userCommand;
            return true;
        }
    }
    return false;
}

QString UserCommandsManager::executeCommand(CommandInfo command) const
{
    // The registry calls through a const interface; running a command may report an error.
    auto* self = const_cast<UserCommandsManager*>(this);
    UserCommand userCommand;
    return self->findUserCommand(command.id(), &userCommand) ? self->executeUserCommand(userCommand) : QString();
}

bool UserCommandsManager::startCommand(CommandInfo command, QString* text, QObject* receiver, CommandDone done) const
{
    auto* self = const_cast<UserCommandsManager*>(this);
    UserCommand userCommand;
    const UserCommandExecutor* executor =
        self->findUserCommand(command.id(), &userCommand) ? executors.value(userCommand.Type) : nullptr;
    if (!executor || !executor->MayBlock()) {
        *text = executor ? self->executeUserCommand(userCommand) : QString();
        return true;
    }
    const QPointer<QObject> waiting = receiver;
    backgroundCommands->run<CommandResult>(
        [executor, userCommand](const CancellationCondition&) { return executor->Execute(userCommand); },
        [self, waiting, done](const CommandResult& result) {
            const QString typed = self->finishCommand(result);
            if (waiting)
                done(typed);
        });
    return false;
}

void UserCommandsManager::onCommandsRefreshed() const
{
}

QString UserCommandsManager::executeUserCommand(const UserCommand& command)
{
    UserCommandExecutor* executor = executors.value(command.Type);
    if (!executor) {
        qWarning().noquote() << "No executor for command" << command.Id << "of type" << int(command.Type);
        return QString();
    }
    return finishCommand(executor->Execute(command));
}

QString UserCommandsManager::finishCommand(const CommandResult& result)
{
    if (!result.error().isEmpty())
        emit CommandExecutionError(result.error());
    return result.result();
}
