#include "StatisticsRegion.h"

#include "ReferenceRecord.h"

#include <QJsonObject>

#include <cmath>
#include <limits>

StatisticsRegion::StatisticsRegion(const QJsonValue& element)
{
    const std::optional<QJsonObject> fields = ReferenceRecord::fields(element);
    if (!fields)
        return;
    const QJsonObject& data = *fields;
    const QJsonValue id = data.value(QStringLiteral("ID"));
    const QJsonValue subject = data.value(QStringLiteral("SUBJECT"));
    // A profile is complete only with a region code above zero and a name: a
    // code that is no whole number would be stored as 0, a blank name as nothing.
    const double code = id.toDouble();
    if (!id.isDouble() || code < 1 || code > std::numeric_limits<int>::max() || code != std::floor(code)
        || !subject.isString() || subject.toString().trimmed().isEmpty())
        return;
    IsValid = true;
    Id = int(code);
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
