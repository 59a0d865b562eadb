#pragma once

#include <QString>

template<typename T>
class ITypeConverter
{
public:
    virtual ~ITypeConverter() = default;
    virtual QString ConvertToString(const T& value) const = 0;
    virtual T ConvertFromString(QString text) const = 0;
};
