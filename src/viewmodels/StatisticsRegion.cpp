#include "StatisticsRegion.h"

#include "ReferenceRecord.h"

#include <QJsonObject>

StatisticsRegion::StatisticsRegion(const QJsonValue& element)
{
    const std::optional<QJsonObject> fields = ReferenceRecord::fields(element);
    if (!fields)
        return;
    const QJsonObject& data = *fields;
    const QJsonValue id = data.value(QStringLiteral("ID"));
    const QJsonValue subject = data.value(QStringLiteral("SUBJECT"));
    // A blank name could never make a complete profile.
    if (!id.isDouble() || !subject.isString() || subject.toString().trimmed().isEmpty())
        return;
    IsValid = true;
    Id = id.toInt();
    Name = subject.toString();
    DisplayName = QStringLiteral("[%1] %2").arg(Id, 2, 10, QLatin1Char('0')).arg(Name);
}

StatisticsCity& StatisticsRegion::GetCity(const QString& name)
{
    for (StatisticsCity& city : Cities) {
        if (city.Name == name)
            return city;
    }
    const QString key = name.toUpper();
    int position = 0;
    while (position < Cities.size() && !(key < Cities.at(position).Name.toUpper()))
        ++position;
    Cities.insert(position, StatisticsCity(name));
    return Cities[position];
}
