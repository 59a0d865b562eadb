#pragma once

#include "Settings.h"

#include <QString>
#include <QVariant>

namespace SettingConversion {
// Strict conversions: stored text that does not convert reads as the type's zero value.
bool toBool(const QVariant& v, bool* ok);
int toInt(const QVariant& v, bool* ok);
double toDouble(const QVariant& v, bool* ok);
QString toString(const QVariant& v, bool* ok);

template<typename T> T convert(const QVariant& v, bool* ok);
template<> inline bool convert<bool>(const QVariant& v, bool* ok) { return toBool(v, ok); }
template<> inline int convert<int>(const QVariant& v, bool* ok) { return toInt(v, ok); }
template<> inline double convert<double>(const QVariant& v, bool* ok) { return toDouble(v, ok); }
template<> inline QString convert<QString>(const QVariant& v, bool* ok) { return toString(v, ok); }
} // namespace SettingConversion

// One key of a settings group with its default. Nothing is cached: every read
// goes to the owner's QSettings, and a write of an unchanged value touches nothing.
template<typename T>
class Setting
{
public:
    Setting(Settings* owner, const QString& key, const T& defaultValue)
        : owner(owner)
        , key(key)
        , defaultValue(defaultValue)
    {
    }
    virtual ~Setting() = default;
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;

    virtual Setting& operator=(const T& newValue)
    {
        ChangeValue(newValue);
        return *this;
    }

    virtual QVariant value() const { return QVariant::fromValue(typedValue()); }

    virtual operator T() const { return SettingConversion::convert<T>(value(), nullptr); }

    void ChangeValue(const T& newValue)
    {
        bool storedIsValid = true;
        const T current = storedValue(&storedIsValid);
        if (storedIsValid && current == newValue)
            return;
        owner->setValue(key, QVariant::fromValue(newValue));
        owner->markChanged();
        changed = true;
    }

    QString getKey() const { return key; }
    T getDefault() const { return defaultValue; }
    bool isChanged() const { return changed; }

protected:
    // The stored value, else the default; *valid is false when a stored text does not convert.
    T storedValue(bool* valid) const
    {
        const QVariant raw = owner->value(key, QVariant::fromValue(defaultValue));
        return SettingConversion::convert<T>(raw, valid);
    }
    T typedValue() const { return storedValue(nullptr); }

    Settings* owner;
    QString key;
    T defaultValue;
    bool changed = false;
};
