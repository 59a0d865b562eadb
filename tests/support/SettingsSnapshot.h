#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The keys and values of the test's settings file at one moment, read from disk,
// to assert exactly what a step wrote.
class SettingsSnapshot
{
public:
    SettingsSnapshot();

    // "group/key=value" for each key added or changed since this snapshot,
    // "group/key removed" for each key gone; sorted.
    QStringList changesSince() const;

private:
    static QMap<QString, QString> read();

    QMap<QString, QString> values;
};
