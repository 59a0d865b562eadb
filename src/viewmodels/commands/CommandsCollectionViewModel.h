#pragma once

#include "FilteredCollectionModel.h"
#include "UserCommandType.h"
#include "UserCommandViewModel.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

class CommandsViewModel;

// The command editor's rows of one command type, of every theme: shows those
// of the selected theme that match the search text, and makes the edit model
// for a new or an existing row. Owns its rows and edit models. GUI thread only.
class CommandsCollectionViewModel : public FilteredCollectionModel<UserCommandViewModel>
{
    Q_OBJECT
    Q_PROPERTY(QObject* FilteredCollection READ get_FilteredCollection CONSTANT)
    Q_PROPERTY(QString Filter READ get_Filter WRITE set_Filter)
    Q_PROPERTY(QString HeaderText READ get_HeaderText CONSTANT)
    Q_PROPERTY(QString TypeName READ get_TypeName CONSTANT)

public:
    CommandsCollectionViewModel(UserCommandType type, CommandsViewModel* parent);
    ~CommandsCollectionViewModel() override;

    QObject* get_FilteredCollection() const { return filteredCollection(); }
    QString get_Filter() const { return filterText(); }
    // Any letter case; a run of blanks matches any run of white space; the rest is literal.
    void set_Filter(const QString& text);
    QString get_HeaderText() const;
    QString get_TypeName() const;

    UserCommandType get_Type() const { return type; }
    CommandsViewModel* commandsViewModel() const;

    QString getSelectedThemeId() const { return selectedThemeId; }
    void setSelectedThemeId(const QString& themeId);
    // Every row of the theme, shown or not, in source order.
    QList<UserCommandViewModel*> getCommands(const QString& themeId) const;

    bool filterAcceptsRow(UserCommandViewModel* row) override;

    Q_INVOKABLE bool isSystem(int index) const;
    Q_INVOKABLE void deleteCommand(QObject* item);
    // The edit model of the type for a new command or for the row; it belongs to this collection.
    Q_INVOKABLE QObject* newCommand();
    Q_INVOKABLE QObject* editCommand(UserCommandViewModel* command);

private:
    QObject* handOver(QObject* editModel) const;

    QRegularExpression filterExpression;
    QString selectedThemeId;
    UserCommandType type;
};
