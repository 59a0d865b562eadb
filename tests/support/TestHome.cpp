#include "TestHome.h"

#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <unistd.h>

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

void setRunningInsideTheClient()
{
    qputenv("QT_QTESTLIB_RUNNING", "1");
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

namespace {
// "8.12 6.40 3.05 9/412 12345": the 1-minute average, and tasks runnable now.
double loadPerProcessor()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readLine(256).split(' ');
    const double average = fields.value(0).toDouble();
    // Less this process, which is runnable while it reads.
    const double runnable = fields.value(3).split('/').value(0).toDouble() - 1;
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    return std::max(average, runnable) / double(std::max(1L, processors));
}
} // namespace

int timeScale()
{
    bool ok = false;
    const int scale = qEnvironmentVariableIntValue("SCRIVORA_TEST_TIME_SCALE", &ok);
    return ok && scale > 1 ? scale : 1;
}

int scaled(int msecs)
{
    // With more runnable tasks than processors each gets about processors/load of
    // one, so a limit set on a quiet machine grows by load/processors, read when
    // the wait starts (the average lags a load that has just begun, the runnable
    // count does not). Capped at LoadFactorCap so a stuck test still ends.
    const double load = std::clamp(loadPerProcessor(), 1.0, double(LoadFactorCap));
    return int(double(msecs) * timeScale() * load);
}

} // namespace TestHome
