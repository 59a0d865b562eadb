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
    // A blank name would be stored as no specialisation: the profile could never be complete.
    if (!id.isDouble() || !name.isString() || name.toString().trimmed().isEmpty() || !parent.isString())
        return;
    IsValid = true;
    Id = id.toInt();
    Name = name.toString();
    Parent = parent.toString();
}
