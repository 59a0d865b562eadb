#include "UserCommandViewModel.h"

#include "PropertyChange.h"

#include <QUuid>

UserCommandViewModel::UserCommandViewModel(UserCommandType type, const QString& theme, QObject* parent)
    : QObject(parent)
    , type(type)
    , id(QUuid::createUuid().toString())
    , theme(theme)
{
}

UserCommandViewModel::UserCommandViewModel(const UserCommand& command, const QString& theme, QObject* parent)
    : QObject(parent)
    , pattern(command.Pattern)
    , text(ConvertSpecialText(command.Text))
    , type(command.Type)
    , id(command.Id)
    , isSystem(command.IsSystem)
    , theme(theme)
    , isPunctuation(command.IsPunctuation)
{
}

UserCommandViewModel::~UserCommandViewModel() = default;

void UserCommandViewModel::set_Pattern(const QString& value)
{
    changeProperty(this, pattern, value, &UserCommandViewModel::changed_Pattern);
}

void UserCommandViewModel::set_Text(const QString& value)
{
    changeProperty(this, text, value, &UserCommandViewModel::changed_Text);
}

UserCommand UserCommandViewModel::get_UserCommand() const
{
    UserCommand command(type);
    command.Pattern = pattern;
    command.Text = text;
    command.Id = id;
    command.IsSystem = isSystem;
    command.IsPunctuation = isPunctuation;
    return command;
}

QString UserCommandViewModel::ConvertSpecialText(QString text)
{
    return text.replace(QChar(0x0001), QLatin1Char('-'))
        .replace(QChar(0x0002), QLatin1Char('"'))
        .replace(QChar(0x0003), QLatin1Char('"'));
}
