#include "StatisticsProfession.h"

#include <QJsonObject>

StatisticsProfession::StatisticsProfession(const QJsonValue& element)
{
    const QJsonValue dataValue = element.toObject().value(QStringLiteral("data"));
    if (!element.isObject() || !dataValue.isObject())
        return;
    const QJsonObject data = dataValue.toObject();
    const QJsonValue id = data.value(QStringLiteral("ID"));
    const QJsonValue name = data.value(QStringLiteral("NAME"));
    const QJsonValue parent = data.value(QStringLiteral("PARENT"));
    if (!id.isDouble() || !name.isString() || !parent.isString())
        return;
    IsValid = true;
    Id = id.toInt();
    Name = name.toString();
    Parent = parent.toString();
}
