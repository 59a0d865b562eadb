#include "StatisticsProfession.h"

#include "ReferenceRecord.h"

#include <QJsonObject>

StatisticsProfession::StatisticsProfession(const QJsonValue& element)
{
    const std::optional<QJsonObject> fields = ReferenceRecord::fields(element);
    if (!fields)
        return;
    const QJsonObject& data = *fields;
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
