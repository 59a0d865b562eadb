#include "TestHome.h"

#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace TestHome {

QString path()
{
    const QByteArray home = qgetenv("SCRIVORA_TEST_HOME");
    if (home.isEmpty())
        return QDir::temp().filePath(QStringLiteral("scrivora-test-home"));
    return QString::fromLocal8Bit(home);
}

void wipe()
{
    const QString root = path();
    // Refuse anything that does not look like a test home.
    if (!root.contains(QLatin1String("test-home")) && !root.contains(QLatin1String("scrivora-test-home")))
        return;
    QDir(root).removeRecursively();
    QDir().mkpath(root);
    // Started with other folders (by hand, not by CTest), the test would keep
    // its settings and files there, out of reach of the line above.
    const QString config = root + QStringLiteral("/config");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + QStringLiteral("/cache")));
    // QSettings keeps the folder it found first.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
}

QString settingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation)
        + QStringLiteral("/Orvanta Labs/Scrivora/settings.ini");
}

void useApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta Labs"));
    QCoreApplication::setApplicationName(QStringLiteral("Scrivora"));
    Settings::setFileName(QStringLiteral("settings"));
}

int scaled(int msecs)
{
    bool ok = false;
    const int scale = qEnvironmentVariableIntValue("SCRIVORA_TEST_TIME_SCALE", &ok);
    return ok && scale > 1 ? msecs * scale : msecs;
}

} // namespace TestHome
