#include "ProfileFile.h"

#include "AppVariables.h"
#include "IniFileProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QtDebug>

ProfileFile::ProfileFile(const QString& path)
    : QSettings(path, QSettings::IniFormat)
{
    setIniCodec("UTF-8");
}

ProfileFile::~ProfileFile() = default;

QString ProfileFile::text(const QString& key) const
{
    const QVariant stored = value(key, QString());
    // Qt reads an unquoted value with a comma as a list; a person who wrote it meant the text.
    if (stored.userType() == QMetaType::QStringList)
        return stored.toStringList().join(QStringLiteral(", "));
    return stored.toString();
}

QString ProfileFile::folder()
{
    return AppVariables::sm_stdVars.get(QStringLiteral("ConfigLocation"), QString()) + QDir::separator()
        + QCoreApplication::organizationName() + QDir::separator() + QCoreApplication::applicationName();
}

QString ProfileFile::organisationFile()
{
    return folder() + QDir::separator() + QStringLiteral("Organisation.ini");
}

QString ProfileFile::userFile()
{
    return folder() + QDir::separator() + QStringLiteral("UserInfo.ini");
}

QStringList ProfileFile::setAsideUnreadable()
{
    QStringList setAside;
    for (const QString& path : {organisationFile(), userFile()}) {
        const QString target = IniFileProbe::setAsideUnreadable(path);
        if (target.isEmpty())
            continue;
        qWarning().noquote() << "The profile file could not be read; kept as" << target << "and started without it";
        setAside.append(target);
    }
    return setAside;
}
