#include "IniFileProbe.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

#include <vector>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
// What the fresh copy of the program is asked to read, and by whom.
constexpr char PathVariable[] = "SCRIVORA_INI_PROBE";
constexpr char ParentVariable[] = "SCRIVORA_INI_PROBE_PARENT";
// The probe's report: Started before it reads, then Reads or Throws.
constexpr int ReportFd = 3;
constexpr char Started = 'S';
constexpr char Reads = 'R';
constexpr char Throws = 'T';
constexpr int LimitMs = 10000;

// Every value of the file read once, decoded as the program's readers decode it; throws what Qt throws.
void readEveryValue(const QString& path)
{
    QSettings probe(path, QSettings::IniFormat);
    probe.setIniCodec("UTF-8");
    for (const QString& key : probe.allKeys())
        probe.value(key);
}

void report(char what)
{
    while (::write(ReportFd, &what, 1) < 0 && errno == EINTR) {
    }
}

// Runs first in the fresh copy of the program that readProblem() starts, before
// any of the program's own code, and ends it; in every other start it returns.
__attribute__((constructor(101))) void probeWhenAsked()
{
    const char* path = std::getenv(PathVariable);
    const char* parent = std::getenv(ParentVariable);
    if (path == nullptr || parent == nullptr)
        return;
    // It must not outlive the program that waits for it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (std::strtol(parent, nullptr, 10) != long(::getppid()))
        ::_exit(3);
    const rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // File names decode as in the program, where QCoreApplication sets the locale.
    std::setlocale(LC_ALL, "");
    report(Started);
    char verdict = Reads;
    try {
        readEveryValue(QFile::decodeName(path));
    } catch (...) {
        verdict = Throws;
    }
    report(verdict);
    ::_exit(0);
}

// The environment of the program, with the probe's two variables for `path`.
std::vector<QByteArray> probeEnvironment(const QString& path)
{
    std::vector<QByteArray> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const QByteArray variable(*entry);
        if (!variable.startsWith(QByteArray(PathVariable) + '=') && !variable.startsWith(QByteArray(ParentVariable) + '='))
            variables.push_back(variable);
    }
    variables.push_back(QByteArray(PathVariable) + '=' + QFile::encodeName(path));
    variables.push_back(QByteArray(ParentVariable) + '=' + QByteArray::number(qint64(::getpid())));
    return variables;
}

// Starts the probe with its report on the write end `reportEnd`; the child's
// pid, or -1 with errno's text in `problem`.
pid_t startProbe(const QString& path, int reportEnd, QString* problem)
{
    std::vector<QByteArray> variables = probeEnvironment(path);
    std::vector<char*> envp;
    for (QByteArray& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    char name[] = "scrivora-ini-probe";
    char* argv[] = {name, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    // The report end first: the program may run without a standard stream, so it may be one of them.
    ::posix_spawn_file_actions_adddup2(&actions, reportEnd, ReportFd);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A crash must end the probe, whatever this thread blocks or the program ignores.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = -1;
    // A fresh program, not a fork: a fork of a program with threads inherits
    // the locks they held, and a child that needs one waits for ever.
    const int error = ::posix_spawn(&child, "/proc/self/exe", &actions, &attributes, argv, envp.data());
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        *problem = QString::fromLocal8Bit(std::strerror(error));
        return -1;
    }
    return child;
}

// The probe's report until it ends, or until the limit; false at the limit.
bool readReport(int readEnd, QByteArray* received)
{
    QDeadlineTimer deadline(LimitMs);
    for (;;) {
        pollfd end = {readEnd, POLLIN, 0};
        const int ready = ::poll(&end, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[16];
        const ssize_t got = ::read(readEnd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return true;
        // More than the probe ever says is not read on.
        if (received->size() < 2)
            received->append(buffer, int(got));
    }
}

QString readEndText(int status)
{
    if (WIFSIGNALED(status))
        return QStringLiteral("reading it crashes (signal %1)").arg(WTERMSIG(status));
    return QStringLiteral("reading it fails (exit code %1)").arg(WEXITSTATUS(status));
}

void leftInPlace(const QString& path, const QString& why)
{
    qWarning().noquote() << "The file" << path << "could not be probed (" + why + "); left where it is";
}
} // namespace

// In a fresh copy of the program: some damaged values (a huge list of a GUI
// type) make Qt crash rather than throw, which no handler here could catch.
QString IniFileProbe::readProblem(const QString& path)
{
    struct stat file;
    if (::stat(QFile::encodeName(path).constData(), &file) != 0)
        return QString();
    if (!S_ISREG(file.st_mode))
        return QStringLiteral("it is not a regular file");
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        leftInPlace(path, QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }
    QString problem;
    const pid_t child = startProbe(path, ends[1], &problem);
    ::close(ends[1]);
    if (child < 0) {
        ::close(ends[0]);
        leftInPlace(path, problem);
        return QString();
    }
    QByteArray received;
    const bool ended = readReport(ends[0], &received);
    ::close(ends[0]);
    if (!ended)
        ::kill(child, SIGKILL);
    int status = 0;
    pid_t done = -1;
    while ((done = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    const bool reaped = done == child;
    if (!ended) {
        leftInPlace(path, QStringLiteral("it took longer than %1 s").arg(LimitMs / 1000));
        return QString();
    }
    if (!received.startsWith(Started)) {
        const QString end = !reaped ? QString()
            : WIFSIGNALED(status)   ? QStringLiteral(", signal %1").arg(WTERMSIG(status))
                                    : QStringLiteral(", exit code %1").arg(WEXITSTATUS(status));
        leftInPlace(path, QStringLiteral("the probe did not start") + end);
        return QString();
    }
    if (received.size() == 2 && received[1] == Reads)
        return QString();
    if (received.size() == 2 && received[1] == Throws)
        return QStringLiteral("reading a value throws an exception");
    // Started and never finished: the read itself ended it.
    return reaped ? readEndText(status) : QStringLiteral("reading it crashes");
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
