#include "Settings.h"

#include "IniFileProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
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

QStringList Settings::leaveOutUnreadableSystemFiles()
{
    const SettingsConfiguration config = snapshot();
    if (config.defaultFormat != QSettings::IniFormat)
        return QStringList();
    // Where Qt looks, in its order: the folders of XDG_CONFIG_DIRS after the user's own.
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    if (!folders.isEmpty())
        folders.removeFirst();
    const QString organization = organizationPart();
    const QString application = applicationPart();
    QStringList leftOut;
    QString kept;
    for (const QString& folder : qAsConst(folders)) {
        bool found = false;
        bool sound = true;
        const QString prefix = folder + QLatin1Char('/') + organization;
        QStringList files{prefix + QStringLiteral(".ini")};
        if (!application.isEmpty())
            files.prepend(prefix + QLatin1Char('/') + application + QStringLiteral(".ini"));
        for (const QString& file : qAsConst(files)) {
            if (!QFileInfo::exists(file))
                continue;
            found = true;
            const QString problem = IniFileProbe::readProblem(file);
            if (problem.isEmpty())
                continue;
            qCritical().noquote() << "Error in Settings::leaveOutUnreadableSystemFiles: " + file + ": " + problem
                    + "; left out for this run";
            leftOut << file;
            sound = false;
        }
        if (found && sound && kept.isEmpty())
            kept = folder;
    }
    // No file can exist below /dev/null: no system folder at all.
    if (!leftOut.isEmpty())
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope,
                           kept.isEmpty() ? QStringLiteral("/dev/null") : kept);
    return leftOut;
}
