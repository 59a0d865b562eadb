#include "IniFileProbe.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

#include <exception>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" void __sanitizer_set_death_callback(void (*)()) __attribute__((weak));

namespace {
// Every value of the file read once, decoded as the program's readers decode it; throws what Qt throws.
void readEveryValue(const QString& path)
{
    QSettings probe(path, QSettings::IniFormat);
    probe.setIniCodec("UTF-8");
    for (const QString& key : probe.allKeys())
        probe.value(key);
}

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

} // namespace

// In a child process: some damaged values (a huge list of a GUI type) make Qt
// crash rather than throw, which no handler here could catch.
QString IniFileProbe::readProblem(const QString& path)
{
    struct stat file;
    if (::stat(QFile::encodeName(path).constData(), &file) != 0)
        return QString();
    if (!S_ISREG(file.st_mode))
        return QStringLiteral("it is not a regular file");
    // The child holds the write end until it ends: the read end wakes the parent then.
    int ends[2] = {-1, -1};
    const pid_t parent = ::getpid();
    const pid_t child = ::pipe2(ends, O_CLOEXEC) == 0 ? ::fork() : -1;
    if (child == 0) {
        // The child shares the single-instance lock: it must not outlive the program.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(3);
        // Only this thread lives on in the child: no logging, whose locks another thread may hold.
        qInstallMessageHandler(dropMessage);
        // A crash ends the child quietly: the program's own crash handling is the parent's.
        for (const int deadly : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
            ::signal(deadly, SIG_DFL);
        if (__sanitizer_set_death_callback)
            __sanitizer_set_death_callback(nullptr);
        const rlimit noCore = {0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            ::dup2(devNull, STDERR_FILENO);
        int code = 0;
        try {
            readEveryValue(path);
        } catch (...) {
            code = 2;
        }
        ::_exit(code);
    }
    if (ends[0] >= 0 && child != 0) // ours to close in the parent, also when fork failed
        ::close(ends[1]);
    if (child < 0) {
        if (ends[0] >= 0)
            ::close(ends[0]);
        try {
            readEveryValue(path);
            return QString();
        } catch (const std::exception& e) {
            return QString::fromLocal8Bit(e.what());
        }
    }
    QDeadlineTimer deadline(10000);
    pollfd end = {ends[0], POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&end, 1, int(deadline.remainingTime()))) < 0 && errno == EINTR) {
    }
    ::close(ends[0]);
    int status = 0;
    if (ready == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return QStringLiteral("reading it took longer than 10 s");
    }
    const pid_t done = ::waitpid(child, &status, 0);
    if (done < 0)
        return QString(); // not ours to judge: a handler reaped the child
    if (WIFSIGNALED(status))
        return QStringLiteral("reading it crashes (signal %1)").arg(WTERMSIG(status));
    if (WEXITSTATUS(status) == 2)
        return QStringLiteral("reading a value throws an exception");
    if (WEXITSTATUS(status) != 0)
        return QStringLiteral("reading it fails (exit code %1)").arg(WEXITSTATUS(status));
    return QString();
}

QString IniFileProbe::setAsideUnreadable(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return QString();
    const QString problem = readProblem(path);
    return problem.isEmpty() ? QString() : setAside(path, problem);
}

QString IniFileProbe::setAside(const QString& path, const QString& problem)
{
    qCritical().noquote() << "Error in IniFileProbe::setAsideUnreadable: " + path + ": " + problem;
    const QString base = path + QStringLiteral(".damaged");
    QString target = base;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('.') + QString::number(n);
    // Not QFile::rename: where the kernel refuses, it would copy, and block on a FIFO.
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0) {
        qCritical().noquote() << "The unreadable file" << path << "cannot be moved to" << target;
        return QString();
    }
    return target;
}
