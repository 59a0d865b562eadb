#pragma once

#include "UserCommandType.h"
#include "UserCommandViewModel.h"

#include <QObject>
#include <QPointer>
#include <QString>

class CommandsCollectionViewModel;

// The fields of one command in an edit window: checked by validate(), written
// into the row by apply() (a new row for a new command). A child of the
// collection it edits in. GUI thread only.
class UserCommandEditModel : public QObject
{
    Q_OBJECT

public:
    UserCommandEditModel(UserCommandType type, CommandsCollectionViewModel* collection);
    UserCommandEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection);
    ~UserCommandEditModel() override;

    // Checks the fields in order; the first invalid one asks for the focus.
    Q_INVOKABLE virtual bool validate() = 0;
    // Writes the fields into the row; validate first.
    Q_INVOKABLE void apply();

    UserCommandViewModel* editedRow() const { return row; }
    CommandsCollectionViewModel* collection() const { return owner; }
    QString themeId() const { return theme; }
    UserCommandType commandType() const { return type; }

protected:
    virtual void copyTo(UserCommandViewModel* row) = 0;

private:
    QPointer<UserCommandViewModel> row;
    CommandsCollectionViewModel* owner;
    QString theme;
    UserCommandType type;
    bool isNew;
};
