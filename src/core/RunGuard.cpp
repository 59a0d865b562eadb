#include "RunGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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

} // namespace

RunGuard::RunGuard(const QString& key)
    : key(key)
    , lockKey(generateKeyHash(key, QStringLiteral("_memLockKey")))
    , lockPath(QDir::tempPath() + QLatin1Char('/') + lockKey + QStringLiteral(".lock"))
{
}

RunGuard::~RunGuard()
{
    release();
}

QString RunGuard::clientKey()
{
    return QStringLiteral("Scrivora_Qt_%1").arg(::getuid());
}

int RunGuard::openLockFile() const
{
    const QByteArray path = QFile::encodeName(lockPath);
    // No symbolic links and nothing of another user's: the temporary folder may be shared.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qWarning().noquote() << "Single-instance guard: cannot open" << lockPath << ":" << std::strerror(errno);
        return -1;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::getuid()) {
        qWarning().noquote() << "Single-instance guard:" << lockPath << "is not a file of this user";
        ::close(fd);
        return -1;
    }
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
    const int fd = openLockFile();
    if (fd < 0) {
        qWarning() << "Single-instance guard undecided: going on as the only copy";
        return true;
    }
    struct flock lock = wholeFile();
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) {
        heldFd = fd;
        return true;
    }
    const int error = errno;
    ::close(fd);
    if (heldElsewhere(error))
        return false;
    qWarning().noquote() << "Single-instance guard: cannot lock" << lockPath << ":" << std::strerror(error)
                         << "- going on as the only copy";
    return true;
}

void RunGuard::release()
{
    // Closing the only descriptor of the description drops its lock.
    if (heldFd >= 0)
        ::close(heldFd);
    heldFd = -1;
}
