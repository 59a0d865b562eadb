#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// Reading rules shared by every server record: a missing or ill-typed value
// becomes its type's empty value, so no message is ever rejected.
namespace JsonFields {

QString text(const QJsonObject& object, const QString& key);
// 0 unless the value is a whole number that fits in 32 bits.
int integer(const QJsonObject& object, const QString& key);
// The integer as an enumeration value when it lies in [first, last], else
// nothing: a number outside an enumeration's values must never be cast into it.
template<typename Enum>
std::optional<Enum> enumeration(int value, Enum first, Enum last)
{
    if (value < int(first) || value > int(last))
        return std::nullopt;
    return static_cast<Enum>(value);
}
// The same for a member: a number that is not whole or does not fit in 32
// bits names no value either, rather than reading as 0; a member that is
// missing or not a number reads as 0.
template<typename Enum>
std::optional<Enum> enumeration(const QJsonObject& object, const QString& key, Enum first, Enum last)
{
    const QJsonValue value = object.value(key);
    if (value.isDouble() && double(value.toInt(0)) != value.toDouble())
        return std::nullopt;
    return enumeration(value.toInt(0), first, last);
}
bool flag(const QJsonObject& object, const QString& key);
double number(const QJsonObject& object, const QString& key);
QJsonObject object(const QJsonObject& object, const QString& key);

// One record per array element, in array order; an element that is not an
// object gives a record built from an empty object.
template<typename Record>
QList<Record> list(const QJsonObject& object, const QString& key)
{
    QList<Record> records;
    const QJsonArray array = object.value(key).toArray();
    records.reserve(array.size());
    for (const QJsonValue& element : array)
        records.append(Record(element.toObject()));
    return records;
}

template<typename Record>
QJsonArray array(const QList<Record>& records)
{
    QJsonArray result;
    for (const Record& record : records)
        result.append(record.toJson());
    return result;
}

} // namespace JsonFields
