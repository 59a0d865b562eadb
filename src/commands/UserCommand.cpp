#include "UserCommand.h"

#include <QJsonValue>
#include <QRegularExpression>

namespace {
QString text(const QJsonObject& object, const QString& key)
{
    return object.value(key).toString();
}
} // namespace

UserCommand::UserCommand(UserCommandType type)
    : Type(type)
{
}

UserCommand::UserCommand(const QJsonObject& object)
    : Type(Enum<UserCommandType>::FromInvariantString(text(object, QStringLiteral("Type"))))
    , Pattern(text(object, QStringLiteral("Pattern")))
    , Text(text(object, QStringLiteral("Text")))
    , Id(text(object, QStringLiteral("Id")))
    , IsPunctuation(object.value(QStringLiteral("IsPunctuation")).toBool(false))
{
}

UserCommand::~UserCommand() = default;

QJsonObject UserCommand::toJson() const
{
    return QJsonObject{
        {QStringLiteral("Type"), Enum<UserCommandType>::ToInvariantString(Type)},
        {QStringLiteral("Id"), Id},
        {QStringLiteral("Pattern"), Pattern},
        {QStringLiteral("Text"), Text},
        {QStringLiteral("IsPunctuation"), IsPunctuation},
    };
}

QString UserCommand::NormalizePattern(const QString& pattern)
{
    return pattern.toLower().trimmed();
}

bool UserCommand::ValidatePatternSymbols(const QString& text)
{
    static const QRegularExpression forbidden(
        QStringLiteral("[^a-zA-Z0-9йцукенгшщзхъфывапролджэячсмитьбюёЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮЁ ]+"),
        QRegularExpression::UseUnicodePropertiesOption);
    return !forbidden.match(text).hasMatch();
}
