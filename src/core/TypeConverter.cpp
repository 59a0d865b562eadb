#include "TypeConverter.h"

#include "ConveterException.h"

TypeConverter<int>::~TypeConverter() = default;

QString TypeConverter<int>::ConvertToString(const int& value) const
{
    return QString::number(value, 10);
}

int TypeConverter<int>::ConvertFromString(QString text) const
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw ConveterException::create<int, QString>();
    return value;
}
