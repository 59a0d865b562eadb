#include "SettingsSnapshot.h"

#include "TestHome.h"

#include <QSettings>

SettingsSnapshot::SettingsSnapshot()
    : values(read())
{
}

QMap<QString, QString> SettingsSnapshot::read()
{
    QSettings file(TestHome::settingsFile(), QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    QMap<QString, QString> result;
    for (const QString& key : file.allKeys())
        result.insert(key, file.value(key).toString());
    return result;
}

QStringList SettingsSnapshot::changesSince() const
{
    const QMap<QString, QString> now = read();
    QStringList changes;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (!values.contains(it.key()) || values.value(it.key()) != it.value())
            changes << it.key() + QLatin1Char('=') + it.value();
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!now.contains(it.key()))
            changes << it.key() + QStringLiteral(" removed");
    }
    changes.sort();
    return changes;
}
