#include "Settings.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QtDebug>

#include <exception>

namespace {

struct SettingsConfiguration
{
    QString organizationName;
    QString applicationName;
    QString fileName;
    QString iniCodec = QStringLiteral("UTF-8");
    QSettings::Format defaultFormat = QSettings::IniFormat;
    QSettings::Scope scope = QSettings::UserScope;
};

QMutex& configurationMutex()
{
    static QMutex mutex;
    return mutex;
}

SettingsConfiguration& configuration()
{
    static SettingsConfiguration config;
    return config;
}

SettingsConfiguration snapshot()
{
    QMutexLocker lock(&configurationMutex());
    return configuration();
}

} // namespace

QString Settings::applicationPart()
{
    const SettingsConfiguration config = snapshot();
    QString application = config.applicationName.isEmpty() ? QCoreApplication::applicationName()
                                                           : config.applicationName;
    if (!application.isEmpty() && !config.fileName.isEmpty())
        application += QLatin1Char('/') + config.fileName;
    return application;
}

QString Settings::organizationPart()
{
    const SettingsConfiguration config = snapshot();
    return config.organizationName.isEmpty() ? QCoreApplication::organizationName()
                                             : config.organizationName;
}

Settings::Settings(const QString& group)
    : QSettings(snapshot().defaultFormat, snapshot().scope, organizationPart(), applicationPart(), nullptr)
{
    QSettings::setIniCodec(snapshot().iniCodec.toLatin1().constData());
    if (!group.isEmpty())
        beginGroup(group);
}

Settings::~Settings() = default;

bool Settings::event(QEvent* event)
{
    if (event->type() == QEvent::UpdateRequest)
        return true;
    return QSettings::event(event);
}

void Settings::setOrganizationName(const QString& name)
{
    QMutexLocker lock(&configurationMutex());
    configuration().organizationName = name;
}

void Settings::setApplicationName(const QString& name)
{
    QMutexLocker lock(&configurationMutex());
    configuration().applicationName = name;
}

void Settings::setFileName(const QString& name)
{
    QMutexLocker lock(&configurationMutex());
    configuration().fileName = name;
}

void Settings::setIniCodec(const QString& codec)
{
    QMutexLocker lock(&configurationMutex());
    configuration().iniCodec = codec;
}

void Settings::setDefaultFormat(QSettings::Format format)
{
    QMutexLocker lock(&configurationMutex());
    configuration().defaultFormat = format;
}

void Settings::setScope(QSettings::Scope scope)
{
    QMutexLocker lock(&configurationMutex());
    configuration().scope = scope;
}

QString Settings::setAsideUnreadableFile()
{
    QString path;
    QString problem;
    try {
        Settings probe{QString()};
        path = probe.fileName();
        for (const QString& key : probe.allKeys())
            probe.value(key);
        return QString();
    } catch (const std::exception& e) {
        problem = QString::fromLocal8Bit(e.what());
    } catch (...) {
        problem = QStringLiteral("unknown exception");
    }
    qCritical().noquote() << "Error in Settings::setAsideUnreadableFile: " + problem;
    if (path.isEmpty() || !QFileInfo::exists(path))
        return QString();
    const QString base = path + QStringLiteral(".damaged");
    QString target = base;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('.') + QString::number(n);
    if (!QFile::rename(path, target)) {
        qCritical().noquote() << "The settings file" << path << "cannot be moved to" << target;
        return QString();
    }
    qWarning().noquote() << "The settings file could not be read; kept as" << target << "and started with defaults";
    return target;
}
