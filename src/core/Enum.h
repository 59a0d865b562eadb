#pragma once

#include "ConveterException.h"
#include "EnumElement.h"

#include <QString>

#include <initializer_list>
#include <map>

// One process-wide table per enumeration linking each value to its display
// name and to the invariant name that settings and files store.
// Each table is defined (Enum<T>::Values = {...}) in the source file that owns T.
template<typename T>
class Enum
{
public:
    struct Initializer
    {
        int value;
        QString name;
        QString invariantName;
    };

    // Ordered by ascending value, whatever the order of the rows; owns its elements.
    class Container : public std::map<int, EnumElement<T>*>
    {
    public:
        Container(std::initializer_list<Initializer> rows)
        {
            for (const Initializer& row : rows)
                this->emplace(row.value, new EnumElement<T>(row.value, row.name, row.invariantName));
        }
        ~Container()
        {
            for (auto& entry : *this)
                delete entry.second;
        }
        Container(const Container&) = delete;
        Container& operator=(const Container&) = delete;
    };

    static Container Values;

    static T FromInvariantString(const QString& text)
    {
        for (const auto& entry : Values) {
            if (entry.second->invariantName() == text)
                return static_cast<T>(entry.first);
        }
        throw ConveterException::create<QString, T>();
    }

    static QString ToString(T value)
    {
        for (const auto& entry : Values) {
            if (entry.first == static_cast<int>(value))
                return entry.second->name();
        }
        throw ConveterException::create<T, QString>();
    }

    static QString ToInvariantString(T value)
    {
        for (const auto& entry : Values) {
            if (entry.first == static_cast<int>(value))
                return entry.second->invariantName();
        }
        throw ConveterException::create<T, QString>();
    }
};
