#include "EnvironmentInformation.h"

#include "AppVariables.h"
#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QOperatingSystemVersion>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTextStream>

namespace {
const int ProgramTimeoutMsecs = 30000;
const QString Crlf = QStringLiteral("\r\n");

qint64 mebibytes(qint64 bytes)
{
    return bytes / 1048576;
}
} // namespace

const QString EnvironmentInformation::FileName = QStringLiteral("Environment.txt");

void EnvironmentInformation::CollectInformation(QString folder)
{
    QString text;
    text += QStringLiteral("version: ") + AppVariables::sm_stdVars.get(QStringLiteral("build"), QStringLiteral("Version"))
        + Crlf;
    text += QStringLiteral("build architecture: ") + QSysInfo::buildCpuArchitecture() + Crlf;
    text += QStringLiteral("current architecture: ") + QSysInfo::currentCpuArchitecture() + Crlf;
    text += QStringLiteral("OS: ") + QOperatingSystemVersion::current().name() + Crlf;
    text += QStringLiteral("product name: ") + QSysInfo::prettyProductName() + Crlf;
    text += QStringLiteral("ram: ") + getRamInfo() + Crlf;
    text += Crlf;
    text += QStringLiteral("storage:") + Crlf;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        text += volume.displayName() + QStringLiteral(" - ") + QString::fromLocal8Bit(volume.fileSystemType())
            + QStringLiteral(": ") + QString::number(mebibytes(volume.bytesAvailable())) + QLatin1Char('/')
            + QString::number(mebibytes(volume.bytesTotal())) + QStringLiteral("MB") + Crlf;
    }

    QFile file(QDir(folder).filePath(FileName));
    if (!file.open(QIODevice::ReadWrite))
        return;
    QTextStream stream(&file);
    // Volume names may be Cyrillic whatever the locale of the session.
    stream.setCodec("UTF-8");
    stream << text << Qt::endl;
}

QString EnvironmentInformation::getRamInfo()
{
    const ProgramRun awk(QStringLiteral("awk"), {QStringLiteral("/MemTotal/ { print $2 }"), QStringLiteral("/proc/meminfo")},
                         ProgramTimeoutMsecs);
    bool ok = false;
    const qlonglong kibibytes = QString::fromLocal8Bit(awk.standardOutput()).trimmed().toLongLong(&ok, 10);
    return QStringLiteral("; RAM: %1 MB").arg(ok ? kibibytes / 1024 : 0);
}
