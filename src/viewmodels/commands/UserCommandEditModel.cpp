#include "UserCommandEditModel.h"

#include "CommandsCollectionViewModel.h"

#include <QtDebug>

UserCommandEditModel::UserCommandEditModel(UserCommandType type, CommandsCollectionViewModel* collection)
    : QObject(collection)
    , owner(collection)
    , theme(collection->getSelectedThemeId())
    , type(type)
    , isNew(true)
{
    qDebug() << "Create " << this;
}

UserCommandEditModel::UserCommandEditModel(UserCommandViewModel* row, CommandsCollectionViewModel* collection)
    : QObject(collection)
    , row(row)
    , owner(collection)
    , theme(row->get_Theme())
    , type(row->get_Type())
    , isNew(false)
{
    qDebug() << "Create " << this;
}

UserCommandEditModel::~UserCommandEditModel()
{
    qDebug() << "Delete " << this;
}

void UserCommandEditModel::apply()
{
    if (isNew) {
        auto* added = new UserCommandViewModel(type, theme, owner);
        owner->append(added);
        copyTo(added);
        return;
    }
    // The row may have gone with its theme's list since the window opened.
    if (row)
        copyTo(row);
}
