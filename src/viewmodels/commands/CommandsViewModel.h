#pragma once

#include "UserCommand.h"
#include "UserCommandType.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

class ClientThemeInfo;
class CommandsCollectionViewModel;
class UserCommandViewModel;
class UserCommandsManager;

// The command editor's model: the themes and one collection per command type
// holding every command of every theme. Edits stay here until applyCommand
// hands every theme's list to the commands manager. GUI thread only.
class CommandsViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<UserCommandType> CommandTypes READ get_CommandTypes NOTIFY changed_CommandTypes)
    Q_PROPERTY(int typeIndex READ get_typeIndex WRITE set_typeIndex NOTIFY changed_typeIndex)
    Q_PROPERTY(QStringList Themes READ get_Themes NOTIFY changed_Themes)
    Q_PROPERTY(int ThemeIndex READ get_ThemeIndex WRITE set_ThemeIndex NOTIFY changed_ThemeIndex)
    Q_PROPERTY(QVariant CommandSetList READ get_CommandSetList NOTIFY changed_CommandSetList)

public:
    explicit CommandsViewModel(QObject* parent = nullptr);
    ~CommandsViewModel() override;

    // The commands source and the command types it offers, in tab order; set once at start-up.
    void set_CommandsManager(UserCommandsManager* manager, const QList<UserCommandType>& commandTypes);
    UserCommandsManager* get_CommandsManager() const { return commandsManager; }
    QList<UserCommandType> get_CommandTypes() const { return commandTypes; }

    int get_typeIndex() const { return typeIndex; }
    QStringList get_Themes() const { return themes; }
    int get_ThemeIndex() const { return themeIndex; }
    QVariant get_CommandSetList() const { return QVariant::fromValue(collectionList); }
    QStringList get_ThemeIds() const { return themeIds; }
    CommandsCollectionViewModel* get_Collection(UserCommandType type) const { return collections.value(type); }

    // Rebuilds every row from the manager with the themes known now, never
    // waiting for the server: themes that arrive later are added while open.
    Q_INVOKABLE void onLoad();
    Q_INVOKABLE void onClose();
    // False, with everything kept as it is here, when the manager refused or could not write.
    Q_INVOKABLE bool applyCommand();
    Q_INVOKABLE void cancelCommand();
    // Rows added, changed or removed since the load or the last save.
    bool hasUnsavedChanges() const;
    // True when the window may close: nothing unsaved, or the user lets it go.
    Q_INVOKABLE bool confirmClose();

    void clearCommands();
    QList<UserCommandViewModel*> get_CommandSet(const QString& themeId, UserCommandType type) const;
    // The row of the theme, of any type, with the phrase (any case, outer and inner blanks aside).
    UserCommandViewModel* findCommand(const QString& themeId, const QString& pattern) const;
    // What applyCommand hands over: every theme's rows, by type in tab order.
    QMap<QString, QList<UserCommand>> collectCommands() const;

    // All themes first, then by display name.
    static bool themeLessThan(const ClientThemeInfo& a, const ClientThemeInfo& b);

public slots:
    void set_typeIndex(int index);
    void set_ThemeIndex(int index);
    void onChangedSelectedTheme();

signals:
    void changed_CommandTypes(QList<UserCommandType> types);
    void changed_typeIndex(int index);
    void changed_Themes(QStringList themes);
    void changed_ThemeIndex(int index);
    void changed_CommandSetList();
    void commandsChanged();

private:
    void load();
    void appendThemeRows(const QString& themeId);
    void addArrivedThemes();

    QList<UserCommandType> commandTypes;
    int typeIndex = 0;
    QStringList themes;
    int themeIndex = 0;
    UserCommandsManager* commandsManager = nullptr;
    QMap<UserCommandType, CommandsCollectionViewModel*> collections;
    QList<QObject*> collectionList;
    QStringList themeIds;
    // As loaded or last saved, to tell unsaved changes.
    QMap<QString, QList<UserCommand>> storedCommands;
    // Between load and onClose.
    bool loaded = false;
};
