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
#include <pwd.h>
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

// Host and display names as parts of a file name.
QString safeName(QString name)
{
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.-]")), QStringLiteral("_"));
    return name;
}

QString hostName()
{
    return safeName(QSysInfo::machineHostName());
}

QString ownName()
{
    return QStringLiteral("scrivora-%1").arg(::geteuid());
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
    const QString cache = ownFolderIn(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), ownName());
    if (!cache.isEmpty())
        return cache + QLatin1Char('/') + key + QLatin1Char('@') + hostName() + QStringLiteral(".lock");
    const QString shared = ownFolderIn(QDir::tempPath(), ownName());
    if (!shared.isEmpty())
        return shared + QLatin1Char('/') + file;
    *problem = QStringLiteral("папка %1 не является личной папкой этого пользователя")
                   .arg(QDir::tempPath() + QLatin1Char('/') + ownName());
    return QString();
}

// The user's home: HOME, which login, su, sudo, cron and remote sessions all
// set to it (and a test to a home of its own), else the user database's.
QString homeFolder()
{
    const QString home = QFile::decodeName(qgetenv("HOME"));
    if (home.startsWith(QLatin1Char('/')))
        return home;
    passwd entry;
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return QFile::decodeName(found->pw_dir);
    return QString();
}

// The display the client types into: ":0", "unix:0.0" and ":0.1" are one.
QString displayName()
{
    QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    if (display.isEmpty())
        return QStringLiteral("none");
    if (display.startsWith(QLatin1String("unix:")))
        display.remove(0, 4);
    const int colon = display.lastIndexOf(QLatin1Char(':'));
    const int screen = display.indexOf(QLatin1Char('.'), colon + 1);
    if (screen >= 0)
        display.truncate(screen);
    if (display.startsWith(QLatin1Char(':')))
        display.remove(0, 1);
    display.replace(QLatin1Char(':'), QLatin1Char('-'));
    return safeName(display);
}

// A second lock that no start can miss, whatever its runtime, temporary or
// cache folders: in a folder of the home's usual cache folder, named after the
// host and the display. Empty when that folder is not private.
QString homeLockFile(const QString& key)
{
    const QString home = homeFolder();
    if (home.isEmpty())
        return QString();
    const QString folder = ownFolderIn(home + QStringLiteral("/.cache"), ownName());
    if (folder.isEmpty())
        return QString();
    return folder + QLatin1Char('/') + key + QLatin1Char('@') + hostName() + QStringLiteral(".display-") + displayName()
        + QStringLiteral(".lock");
}

// An open descriptor of the lock file, or -1 with `problem` set (logged).
int openLockFile(const QString& path, QString* problem)
{
    const QByteArray encoded = QFile::encodeName(path);
    // O_NOFOLLOW: a link in the lock's place is refused, never followed.
    const int fd = ::open(encoded.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        *problem = QStringLiteral("не удалось открыть %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        qWarning().noquote() << "Single-instance guard:" << *problem;
        return -1;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        *problem = QStringLiteral("%1 не является файлом этого пользователя").arg(path);
        qWarning().noquote() << "Single-instance guard:" << *problem;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether another process holds the lock at `path`. Only asks: taking the
// lock, even briefly, could turn a starting copy away.
bool heldByAnother(const QString& path)
{
    QString problem;
    const int fd = path.isEmpty() ? -1 : openLockFile(path, &problem);
    if (fd < 0)
        return false;
    struct flock lock = wholeFile();
    const bool asked = ::fcntl(fd, F_OFD_GETLK, &lock) == 0;
    if (!asked)
        qWarning().noquote() << "Single-instance guard: cannot test" << path << ":" << std::strerror(errno);
    ::close(fd);
    return asked && lock.l_type != F_UNLCK;
}

constexpr int HeldByAnother = -1;
constexpr int Unusable = -2;

// The lock at `path` taken: its descriptor; HeldByAnother, or Unusable with `problem` set.
int takeLock(const QString& path, QString* problem)
{
    const int fd = openLockFile(path, problem);
    if (fd < 0)
        return Unusable;
    struct flock lock = wholeFile();
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return fd;
    const int error = errno;
    ::close(fd);
    if (heldElsewhere(error))
        return HeldByAnother;
    *problem = QStringLiteral("не удалось заблокировать %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
    qWarning().noquote() << "Single-instance guard:" << *problem;
    return Unusable;
}

} // namespace

RunGuard::RunGuard(const QString& key)
    : key(key)
    , lockKey(generateKeyHash(key, QStringLiteral("_memLockKey")))
{
    lockPath = lockFile(lockKey, &lastProblem);
    homeLockPath = homeLockFile(lockKey);
}

RunGuard::~RunGuard()
{
    release();
}

QString RunGuard::clientKey()
{
    return QStringLiteral("Scrivora_Qt_%1").arg(::getuid());
}

bool RunGuard::isAnotherRunning()
{
    if (heldFd >= 0)
        return false;
    if (lockPath.isEmpty()) {
        qWarning().noquote() << "Single-instance guard:" << lastProblem;
        return false;
    }
    return heldByAnother(lockPath) || heldByAnother(homeLockPath);
}

bool RunGuard::tryToRun()
{
    if (heldFd >= 0)
        return true;
    // A lock that cannot be used cannot keep a second copy out: refuse rather than run twice.
    if (lockPath.isEmpty()) {
        qWarning().noquote() << "Single-instance guard:" << lastProblem;
        return false;
    }
    lastProblem.clear();
    const int fd = takeLock(lockPath, &lastProblem);
    if (fd < 0)
        return false;
    // Taken second by every copy: of two that share only this one, one runs.
    QString homeProblem;
    const int homeFd = homeLockPath.isEmpty() ? Unusable : takeLock(homeLockPath, &homeProblem);
    if (homeFd == HeldByAnother) {
        ::close(fd);
        return false;
    }
    // A home without locks (read-only, a network share) must not keep the user out.
    if (homeFd == Unusable)
        qWarning().noquote() << "Single-instance guard: only" << lockPath
                             << "is held; a copy started with other runtime folders would not be seen";
    heldFd = fd;
    heldHomeFd = homeFd;
    return true;
}

void RunGuard::release()
{
    // Closing the only descriptor of a description drops its lock.
    for (int* fd : {&heldFd, &heldHomeFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}
