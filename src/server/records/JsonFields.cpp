#include "JsonFields.h"

namespace JsonFields {

QString text(const QJsonObject& object, const QString& key)
{
    return object.value(key).toString();
}

int integer(const QJsonObject& object, const QString& key)
{
    return object.value(key).toInt(0);
}

bool flag(const QJsonObject& object, const QString& key)
{
    return object.value(key).toBool(false);
}

double number(const QJsonObject& object, const QString& key)
{
    return object.value(key).toDouble(0.0);
}

QJsonObject object(const QJsonObject& object, const QString& key)
{
    return object.value(key).toObject();
}

} // namespace JsonFields
