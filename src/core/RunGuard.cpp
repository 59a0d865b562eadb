#include "RunGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QtDebug>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString generateKeyHash(const QString& key, const QString& salt)
{
    QByteArray data = key.toUtf8();
    data.append(salt.toUtf8());
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

// The whole file, write-locked; l_pid must be 0 for open-file-description locks.
struct flock wholeFile()
{
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return lock;
}

bool heldElsewhere(int error)
{
    return error == EAGAIN || error == EACCES;
}

// A folder of this user in which no one else can create, rename or remove
// entries, and not a link another user could turn elsewhere.
bool isPrivateFolder(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A folder of our own in `parent`, made private when it is new.
QString ownFolderIn(const QString& parent, const QString& name)
{
    if (parent.isEmpty() || !parent.startsWith(QLatin1Char('/')))
        return QString();
    QDir().mkpath(parent);
    const QString own = parent + QLatin1Char('/') + name;
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
}

// The lock file's path for `key`: in the user's runtime folder where there is
// one. Else in a folder in the user's own cache, which no other user can take
// first; a home may be shared by several machines, so the file is named after
// this one too. Else in a folder in the temporary folder, which several users
// share. Empty when none is private.
QString lockFile(const QString& key, QString* problem)
{
    const QString file = key + QStringLiteral(".lock");
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (runtime.startsWith(QLatin1Char('/')) && isPrivateFolder(runtime))
        return runtime + QLatin1Char('/') + file;
    const QString name = QStringLiteral("scrivora-%1").arg(::geteuid());
    const QString cache = ownFolderIn(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), name);
    if (!cache.isEmpty()) {
        QString host = QSysInfo::machineHostName();
        host.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.-]")), QStringLiteral("_"));
        return cache + QLatin1Char('/') + key + QLatin1Char('@') + host + QStringLiteral(".lock");
    }
    const QString shared = ownFolderIn(QDir::tempPath(), name);
    if (!shared.isEmpty())
        return shared + QLatin1Char('/') + file;
    *problem = QStringLiteral("папка %1 не является личной папкой этого пользователя")
                   .arg(QDir::tempPath() + QLatin1Char('/') + name);
    return QString();
}

} // namespace

RunGuard::RunGuard(const QString& key)
    : key(key)
    , lockKey(generateKeyHash(key, QStringLiteral("_memLockKey")))
{
    lockPath = lockFile(lockKey, &lastProblem);
}

RunGuard::~RunGuard()
{
    release();
}

QString RunGuard::clientKey()
{
    return QStringLiteral("Scrivora_Qt_%1").arg(::getuid());
}

int RunGuard::openLockFile()
{
    if (lockPath.isEmpty()) {
        qWarning().noquote() << "Single-instance guard:" << lastProblem;
        return -1;
    }
    const QByteArray path = QFile::encodeName(lockPath);
    // O_NOFOLLOW: a link in the lock's place is refused, never followed.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        lastProblem =
            QStringLiteral("не удалось открыть %1: %2").arg(lockPath, QString::fromLocal8Bit(std::strerror(errno)));
        qWarning().noquote() << "Single-instance guard:" << lastProblem;
        return -1;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        lastProblem = QStringLiteral("%1 не является файлом этого пользователя").arg(lockPath);
        qWarning().noquote() << "Single-instance guard:" << lastProblem;
        ::close(fd);
        return -1;
    }
    lastProblem.clear();
    return fd;
}

bool RunGuard::isAnotherRunning()
{
    if (heldFd >= 0)
        return false;
    const int fd = openLockFile();
    if (fd < 0)
        return false;
    // Only asks: taking the lock, even briefly, could turn a starting copy away.
    struct flock lock = wholeFile();
    const bool asked = ::fcntl(fd, F_OFD_GETLK, &lock) == 0;
    if (!asked)
        qWarning().noquote() << "Single-instance guard: cannot test" << lockPath << ":" << std::strerror(errno);
    ::close(fd);
    return asked && lock.l_type != F_UNLCK;
}

bool RunGuard::tryToRun()
{
    if (heldFd >= 0)
        return true;
    // A lock that cannot be used cannot keep a second copy out: refuse rather than run twice.
    const int fd = openLockFile();
    if (fd < 0)
        return false;
    struct flock lock = wholeFile();
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) {
        heldFd = fd;
        return true;
    }
    const int error = errno;
    ::close(fd);
    if (!heldElsewhere(error)) {
        lastProblem = QStringLiteral("не удалось заблокировать %1: %2").arg(lockPath, QString::fromLocal8Bit(std::strerror(error)));
        qWarning().noquote() << "Single-instance guard:" << lastProblem;
    }
    return false;
}

void RunGuard::release()
{
    // Closing the only descriptor of the description drops its lock.
    if (heldFd >= 0)
        ::close(heldFd);
    heldFd = -1;
}
