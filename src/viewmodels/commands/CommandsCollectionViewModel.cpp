#include "CommandsCollectionViewModel.h"

#include "CommandsViewModel.h"
#include "FileCopyEditModel.h"
#include "HotKeyEditModel.h"
#include "ProcessExecuteEditModel.h"
#include "TextReplaceEditModel.h"

#include <QMetaEnum>
#include <QQmlEngine>
#include <QtDebug>

#include <exception>

CommandsCollectionViewModel::CommandsCollectionViewModel(UserCommandType type, CommandsViewModel* parent)
    : FilteredCollectionModel<UserCommandViewModel>(parent)
    , type(type)
{
}

CommandsCollectionViewModel::~CommandsCollectionViewModel() = default;

CommandsViewModel* CommandsCollectionViewModel::commandsViewModel() const
{
    return qobject_cast<CommandsViewModel*>(parent());
}

void CommandsCollectionViewModel::set_Filter(const QString& text)
{
    if (text == filterText())
        return;
    static const QRegularExpression escapedBlanks(QStringLiteral("(\\\\\\s)+"));
    QString pattern = QRegularExpression::escape(text);
    pattern.replace(escapedBlanks, QStringLiteral("\\s+"));
    filterExpression = QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
    setFilterText(text);
}

QString CommandsCollectionViewModel::get_HeaderText() const
{
    try {
        return Enum<UserCommandType>::ToString(type);
    } catch (const std::exception& e) {
        qWarning().noquote() << QStringLiteral("Error in CommandsCollectionViewModel::get_HeaderText: ")
                + QString::fromUtf8(e.what());
        return QString();
    }
}

QString CommandsCollectionViewModel::get_TypeName() const
{
    return QString::fromLatin1(QMetaEnum::fromType<UserCommandType>().valueToKey(type));
}

void CommandsCollectionViewModel::setSelectedThemeId(const QString& themeId)
{
    selectedThemeId = themeId;
    refresh();
}

QList<UserCommandViewModel*> CommandsCollectionViewModel::getCommands(const QString& themeId) const
{
    QList<UserCommandViewModel*> rows;
    CollectionModel<UserCommandViewModel>* source = sourceCollection();
    for (int i = 0; i < source->count(); ++i) {
        UserCommandViewModel* row = source->itemAt(i);
        if (row->get_Theme() == themeId)
            rows.append(row);
    }
    return rows;
}

bool CommandsCollectionViewModel::filterAcceptsRow(UserCommandViewModel* row)
{
    if (row->get_Theme() != selectedThemeId)
        return false;
    return filterExpression.match(row->get_Pattern().toLower()).hasMatch()
        || filterExpression.match(row->get_Text().toLower()).hasMatch();
}

bool CommandsCollectionViewModel::isSystem(int index) const
{
    UserCommandViewModel* row = filteredCollection()->itemAt(index);
    return row && row->get_IsSystem();
}

void CommandsCollectionViewModel::deleteCommand(QObject* item)
{
    auto* row = qobject_cast<UserCommandViewModel*>(item);
    if (!row)
        return;
    qDebug() << "deleteItem #" << row;
    remove(row);
    row->deleteLater();
}

QObject* CommandsCollectionViewModel::newCommand()
{
    switch (type) {
    case UserCommandNamespace::Exe:
        return handOver(new ProcessExecuteEditModel(type, this));
    case UserCommandNamespace::FileCopy:
        return handOver(new FileCopyEditModel(this));
    case UserCommandNamespace::Key:
        return handOver(new HotKeyEditModel(this));
    default:
        return handOver(new TextReplaceEditModel(type, this));
    }
}

QObject* CommandsCollectionViewModel::editCommand(UserCommandViewModel* command)
{
    if (!command)
        return nullptr;
    switch (type) {
    case UserCommandNamespace::Exe:
        return handOver(new ProcessExecuteEditModel(command, this));
    case UserCommandNamespace::FileCopy:
        return handOver(new FileCopyEditModel(command, this));
    case UserCommandNamespace::Key:
        return handOver(new HotKeyEditModel(command, this));
    default:
        return handOver(new TextReplaceEditModel(command, this));
    }
}

QObject* CommandsCollectionViewModel::handOver(QObject* editModel) const
{
    // Returned to QML, which would otherwise take it for its own garbage.
    QQmlEngine::setObjectOwnership(editModel, QQmlEngine::CppOwnership);
    return editModel;
}
