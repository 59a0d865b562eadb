#include "StatisticsOrganisation.h"

#include "ReferenceRecord.h"

#include <QJsonObject>

namespace {
void copyText(const QJsonObject& data, const char* key, QString* target)
{
    const QJsonValue value = data.value(QLatin1String(key));
    if (value.isString())
        *target = value.toString();
}
} // namespace

StatisticsOrganisation::StatisticsOrganisation(const QJsonValue& element)
{
    const std::optional<QJsonObject> fields = ReferenceRecord::fields(element);
    if (!fields)
        return;
    const QJsonObject& data = *fields;
    // A string here, even an empty one, marks a deleted organisation.
    if (data.value(QStringLiteral("deleteDate")).isString())
        return;
    const QJsonValue id = data.value(QStringLiteral("id"));
    const QJsonValue regionId = data.value(QStringLiteral("regionId"));
    const QJsonValue type = data.value(QStringLiteral("organizationType"));
    if (!id.isDouble() || !regionId.isDouble() || !type.isDouble())
        return;
    QString shortName;
    QString fullName;
    copyText(data, "nameShort", &shortName);
    copyText(data, "nameFull", &fullName);
    if (!data.value(QStringLiteral("nameShort")).isString() && !data.value(QStringLiteral("nameFull")).isString())
        return;
    // The window could never store a profile without a name or a settlement as
    // complete: a blank short name gives way to the full name, a record with
    // neither is not offered, and a blank settlement counts as none.
    const QString name = shortName.trimmed().isEmpty() ? fullName : shortName;
    if (name.trimmed().isEmpty())
        return;

    IsValid = true;
    Id = id.toInt();
    Name = name;
    ShortName = shortName;
    FullName = fullName;
    OrganizationType = type.toInt();
    copyText(data, "oid", &Oid);
    copyText(data, "ogrn", &Psrn);
    RegionId = regionId.toInt();
    copyText(data, "areaName", &AreaName);
    HasAreaName = !AreaName.trimmed().isEmpty();
    copyText(data, "streetName", &StreetName);
    copyText(data, "house", &House);
}
