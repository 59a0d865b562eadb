#include "ProfileFile.h"

#include "AppVariables.h"
#include "IniFileProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <sys/stat.h>

namespace {
// Where Qt may read and write: the path itself unless something other than a
// regular file stands there. No file can exist below /dev/null.
QString settingsPath(const QString& path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return QStringLiteral("/dev/null/") + QFileInfo(path).fileName();
    return path;
}
} // namespace

ProfileFile::ProfileFile(const QString& path)
    : QSettings(settingsPath(path), QSettings::IniFormat)
    , path(path)
{
    setIniCodec("UTF-8");
}

ProfileFile::~ProfileFile() = default;

const ProfileFileContents& ProfileFile::contents() const
{
    if (!readContents) {
        readContents = ProfileFileContents::read(path);
        if (!readContents->problem().isEmpty())
            qWarning().noquote() << "The profile file " + path + " is not read: " + readContents->problem();
    }
    return *readContents;
}

QString ProfileFile::text(const QString& key) const
{
    return contents().value(key);
}

void ProfileFile::keepReadValues()
{
    for (const QString& key : contents().keys())
        setValue(key, contents().value(key));
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
        struct stat status;
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
            continue;
        QString problem = ProfileFileContents::read(path).problem();
        // Its writer still parses it the way Qt does.
        if (problem.isEmpty())
            problem = IniFileProbe::readProblem(path);
        const QString target = problem.isEmpty() ? QString() : IniFileProbe::setAside(path, problem);
        if (target.isEmpty())
            continue;
        qWarning().noquote() << "The profile file could not be read; kept as" << target << "and started without it";
        setAside.append(target);
    }
    return setAside;
}
