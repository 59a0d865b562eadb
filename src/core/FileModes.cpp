#include "FileModes.h"

#include <QFile>
#include <QStandardPaths>
#include <QtDebug>

#include <sys/stat.h>
#include <unistd.h>

int FileModes::startMask = -1;

void FileModes::makePrivate()
{
    const mode_t previous = ::umask(077);
    // A second call must not take the private mask for the user's.
    if (startMask < 0)
        startMask = int(previous);
    // Earlier versions made them 0755 and 0751: the files inside stay readable
    // to anyone who knows their names (a log's can be rebuilt from ps).
    for (const auto location : {QStandardPaths::AppConfigLocation, QStandardPaths::AppDataLocation}) {
        const QByteArray folder = QFile::encodeName(QStandardPaths::writableLocation(location));
        struct stat status;
        if (::lstat(folder.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid()
            && (status.st_mode & 077) != 0 && ::chmod(folder.constData(), 0700) != 0)
            qWarning().noquote() << "Cannot close the folder" << QFile::decodeName(folder) << "to other users";
    }
}
