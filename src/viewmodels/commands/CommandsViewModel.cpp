#include "CommandsViewModel.h"

#include "ClientThemeInfo.h"
#include "CommandsCollectionViewModel.h"
#include "DiscardQuestion.h"
#include "PropertyChange.h"
#include "UserCommandViewModel.h"
#include "UserCommandsManager.h"

#include <QtDebug>

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace {
QString comparable(const QString& pattern)
{
    return UserCommand::NormalizePattern(pattern.simplified());
}

bool sameCommands(const QList<UserCommand>& a, const QList<UserCommand>& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const UserCommand& x, const UserCommand& y) {
        return x.Type == y.Type && x.Pattern == y.Pattern && x.Text == y.Text && x.Id == y.Id
            && x.IsSystem == y.IsSystem;
    });
}

void logError(const char* method, const std::exception* e)
{
    qWarning().noquote() << QStringLiteral("Error in CommandsViewModel::%1: %2")
                                .arg(QLatin1String(method),
                                     e ? QString::fromUtf8(e->what()) : QStringLiteral("unknown exception"));
}
} // namespace

CommandsViewModel::CommandsViewModel(QObject* parent)
    : QObject(parent)
{
    connect(this, &CommandsViewModel::changed_ThemeIndex, this, &CommandsViewModel::onChangedSelectedTheme);
    connect(this, &CommandsViewModel::changed_Themes, this, &CommandsViewModel::onChangedSelectedTheme);
}

CommandsViewModel::~CommandsViewModel() = default;

void CommandsViewModel::set_CommandsManager(UserCommandsManager* manager, const QList<UserCommandType>& types)
{
    if (commandsManager)
        disconnect(commandsManager, nullptr, this, nullptr);
    commandsManager = manager;
    commandTypes = types;
    if (commandsManager)
        connect(commandsManager, &UserCommandsManager::ThemesChanged, this, &CommandsViewModel::addArrivedThemes);
}

void CommandsViewModel::set_typeIndex(int index)
{
    changeProperty(this, typeIndex, index, &CommandsViewModel::changed_typeIndex);
}

void CommandsViewModel::set_ThemeIndex(int index)
{
    changeProperty(this, themeIndex, index, &CommandsViewModel::changed_ThemeIndex);
}

bool CommandsViewModel::themeLessThan(const ClientThemeInfo& a, const ClientThemeInfo& b)
{
    if (a.themeId().isEmpty())
        return !b.themeId().isEmpty();
    if (b.themeId().isEmpty())
        return false;
    return a.name() < b.name();
}

void CommandsViewModel::onLoad()
{
    try {
        load();
    } catch (const std::exception& e) {
        logError("onLoad", &e);
    } catch (...) {
        logError("onLoad", nullptr);
    }
}

void CommandsViewModel::load()
{
    clearCommands();
    themes.clear();
    themeIds.clear();
    storedCommands.clear();
    if (!commandsManager)
        return;
    // The themes known now; a list still on its way is added by addArrivedThemes.
    commandsManager->UpdateThemesFromAsr();
    loaded = true;
    QList<ClientThemeInfo> sorted = commandsManager->get_Themes();
    std::sort(sorted.begin(), sorted.end(), &CommandsViewModel::themeLessThan);

    for (UserCommandType type : qAsConst(commandTypes)) {
        if (collections.contains(type))
            continue;
        auto* collection = new CommandsCollectionViewModel(type, this);
        collections.insert(type, collection);
        collectionList.append(collection);
    }

    for (const ClientThemeInfo& theme : qAsConst(sorted)) {
        const QString id = theme.themeId();
        themes.append(theme.name());
        themeIds.append(id);
        appendThemeRows(id);
    }

    storedCommands = collectCommands();

    // Fewer themes than at the last opening: keep the index on the list.
    if (themeIndex >= themes.size() || themeIndex < 0)
        set_ThemeIndex(0);
    emit changed_Themes(themes);
    emit changed_CommandSetList();
    set_typeIndex(1);
    set_typeIndex(0);
}

void CommandsViewModel::appendThemeRows(const QString& themeId)
{
    for (const UserCommand& command : commandsManager->get_ThemeCommands(themeId)) {
        CommandsCollectionViewModel* collection = collections.value(command.Type);
        if (!collection) {
            qWarning() << "No editor list for command type" << command.Type;
            continue;
        }
        collection->append(new UserCommandViewModel(command, themeId, collection));
    }
}

void CommandsViewModel::addArrivedThemes()
{
    if (!loaded || !commandsManager)
        return;
    // The themes shown keep their rows and the edits not applied yet; new
    // ones go in by name after the all-themes entry.
    const QString shownId = themeIds.value(themeIndex);
    bool added = false;
    for (const ClientThemeInfo& theme : commandsManager->get_Themes()) {
        const QString id = theme.themeId();
        if (themeIds.contains(id))
            continue;
        int at = 0;
        while (at < themes.size() && (themeIds.at(at).isEmpty() || !(theme.name() < themes.at(at))))
            ++at;
        themes.insert(at, theme.name());
        themeIds.insert(at, id);
        appendThemeRows(id);
        // Loaded, not edited: the edits of the other themes still count.
        for (UserCommandType type : qAsConst(commandTypes)) {
            for (UserCommandViewModel* row : get_CommandSet(id, type))
                storedCommands[id].append(row->get_UserCommand());
        }
        added = true;
    }
    if (!added)
        return;
    themeIndex = qMax(0, themeIds.indexOf(shownId));
    emit changed_Themes(themes);
    // Also unchanged: a combo box given a new model may have moved its index.
    emit changed_ThemeIndex(themeIndex);
}

void CommandsViewModel::clearCommands()
{
    // Later: a view may still hold the rows while it is being closed.
    for (QObject* collection : qAsConst(collectionList))
        collection->deleteLater();
    collectionList.clear();
    collections.clear();
}

void CommandsViewModel::onClose()
{
    loaded = false;
    clearCommands();
    themes.clear();
    themeIds.clear();
    storedCommands.clear();
}

void CommandsViewModel::cancelCommand()
{
}

bool CommandsViewModel::hasUnsavedChanges() const
{
    const QMap<QString, QList<UserCommand>> shown = collectCommands();
    if (shown.keys() != storedCommands.keys())
        return true;
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        if (!sameCommands(it.value(), storedCommands.value(it.key())))
            return true;
    }
    return false;
}

bool CommandsViewModel::confirmClose()
{
    return !hasUnsavedChanges() || DiscardQuestion::ask(QStringLiteral("Автозамена"));
}

void CommandsViewModel::onChangedSelectedTheme()
{
    const QString id = themeIds.value(themeIndex);
    for (CommandsCollectionViewModel* collection : qAsConst(collections))
        collection->setSelectedThemeId(id);
}

QList<UserCommandViewModel*> CommandsViewModel::get_CommandSet(const QString& themeId, UserCommandType type) const
{
    CommandsCollectionViewModel* collection = collections.value(type);
    return collection ? collection->getCommands(themeId) : QList<UserCommandViewModel*>();
}

UserCommandViewModel* CommandsViewModel::findCommand(const QString& themeId, const QString& pattern) const
{
    const QString wanted = comparable(pattern);
    for (UserCommandType type : commandTypes) {
        for (UserCommandViewModel* row : get_CommandSet(themeId, type)) {
            if (comparable(row->get_Pattern()) == wanted)
                return row;
        }
    }
    return nullptr;
}

QMap<QString, QList<UserCommand>> CommandsViewModel::collectCommands() const
{
    QMap<QString, QList<UserCommand>> byTheme;
    for (const QString& id : themeIds) {
        QList<UserCommand>& list = byTheme[id];
        for (UserCommandType type : commandTypes) {
            for (UserCommandViewModel* row : get_CommandSet(id, type))
                list.append(row->get_UserCommand());
        }
    }
    return byTheme;
}

bool CommandsViewModel::applyCommand()
{
    try {
        if (!commandsManager)
            throw std::runtime_error("no commands manager");
        const QMap<QString, QList<UserCommand>> commands = collectCommands();
        commandsManager->set_Commands(commands);
        storedCommands = commands;
        emit commandsChanged();
        return true;
    } catch (const std::exception& e) {
        logError("applyCommand", &e);
    } catch (...) {
        logError("applyCommand", nullptr);
    }
    return false;
}
