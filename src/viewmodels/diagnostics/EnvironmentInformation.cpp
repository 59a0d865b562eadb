#include "EnvironmentInformation.h"

#include "AppVariables.h"
#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QOperatingSystemVersion>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTextStream>

#include <sys/statvfs.h>

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
    for (const Volume& volume : mountedVolumes()) {
        text += volume.name + QStringLiteral(" - ") + volume.type + QStringLiteral(": ")
            + QString::number(mebibytes(volume.available)) + QLatin1Char('/') + QString::number(mebibytes(volume.total))
            + QStringLiteral("MB") + Crlf;
    }

    QFile file(QDir(folder).filePath(FileName));
    if (!file.open(QIODevice::ReadWrite))
        return;
    QTextStream stream(&file);
    // Volume names may be Cyrillic whatever the locale of the session.
    stream.setCodec("UTF-8");
    stream << text << Qt::endl;
}

QList<EnvironmentInformation::Volume> EnvironmentInformation::mountedVolumes()
{
    // Qt leaves out pseudo file systems (proc, tmpfs, cgroup…); support wants to see them all.
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (!mounts.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<Volume> volumes;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        const QString mountPoint = QFile::decodeName(unescapeMountField(fields.at(1)));
        Volume volume{mountPoint, QString::fromLocal8Bit(fields.at(2)), 0, 0};
        struct statvfs sizes;
        if (::statvfs(QFile::encodeName(mountPoint).constData(), &sizes) == 0) {
            volume.available = qint64(sizes.f_bavail) * qint64(sizes.f_frsize);
            volume.total = qint64(sizes.f_blocks) * qint64(sizes.f_frsize);
        }
        // A labelled disk is known by its label, as Qt names it.
        const QStorageInfo info(mountPoint);
        if (info.isValid() && info.rootPath() == mountPoint && !info.name().isEmpty())
            volume.name = info.name();
        volumes.append(volume);
    }
    return volumes;
}

// The kernel writes blanks, tabs, line ends and backslashes in mount points as \ooo.
QByteArray EnvironmentInformation::unescapeMountField(const QByteArray& field)
{
    QByteArray result;
    for (int i = 0; i < field.size(); ++i) {
        bool octal = false;
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            const int value = field.mid(i + 1, 3).toInt(&octal, 8);
            if (octal) {
                result += char(value);
                i += 3;
                continue;
            }
        }
        result += field.at(i);
    }
    return result;
}

QString EnvironmentInformation::getRamInfo()
{
    const ProgramRun awk(QStringLiteral("awk"), {QStringLiteral("/MemTotal/ { print $2 }"), QStringLiteral("/proc/meminfo")},
                         ProgramTimeoutMsecs, cancellation);
    bool ok = false;
    const qlonglong kibibytes = QString::fromLocal8Bit(awk.standardOutput()).trimmed().toLongLong(&ok, 10);
    return QStringLiteral("; RAM: %1 MB").arg(ok ? kibibytes / 1024 : 0);
}
