#pragma once

#include "ITypeConverter.h"

template<typename T>
class TypeConverter;

template<>
class TypeConverter<int> : public ITypeConverter<int>
{
public:
    ~TypeConverter() override;
    QString ConvertToString(const int& value) const override;
    // Throws ConveterException ("Cannot convert") for anything but a whole 32-bit number.
    int ConvertFromString(QString text) const override;
};
