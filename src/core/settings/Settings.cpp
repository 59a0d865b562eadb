#include "Settings.h"

#include "IniFileProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMutex>
#include <QMutexLocker>
#include <QtDebug>

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
    const QString path = Settings{QString()}.fileName();
    const QString target = IniFileProbe::setAsideUnreadable(path);
    if (!target.isEmpty())
        qWarning().noquote() << "The settings file could not be read; kept as" << target << "and started with defaults";
    return target;
}
