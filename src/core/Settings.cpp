#include "Settings.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QDeadlineTimer>
#include <QtDebug>

#include <exception>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct SettingsConfiguration
{
    QString organizationName;
    QString applicationName;
    QString fileName;
    QString iniCodec = QStringLiteral("UTF-8");
    QSettings::Format defaultFormat = QSettings::IniFormat;
    QSettings::Scope scope = QSettings::UserScope;
};

QMutex& configurationMutex()
{
    static QMutex mutex;
    return mutex;
}

SettingsConfiguration& configuration()
{
    static SettingsConfiguration config;
    return config;
}

SettingsConfiguration snapshot()
{
    QMutexLocker lock(&configurationMutex());
    return configuration();
}

} // namespace

QString Settings::applicationPart()
{
    const SettingsConfiguration config = snapshot();
    QString application = config.applicationName.isEmpty() ? QCoreApplication::applicationName()
                                                           : config.applicationName;
    if (!application.isEmpty() && !config.fileName.isEmpty())
        application += QLatin1Char('/') + config.fileName;
    return application;
}

QString Settings::organizationPart()
{
    const SettingsConfiguration config = snapshot();
    return config.organizationName.isEmpty() ? QCoreApplication::organizationName()
                                             : config.organizationName;
}

Settings::Settings(const QString& group)
    : QSettings(snapshot().defaultFormat, snapshot().scope, organizationPart(), applicationPart(), nullptr)
{
    QSettings::setIniCodec(snapshot().iniCodec.toLatin1().constData());
    if (!group.isEmpty())
        beginGroup(group);
}

Settings::~Settings() = default;

bool Settings::event(QEvent* event)
{
    if (event->type() == QEvent::UpdateRequest)
        return true;
    return QSettings::event(event);
}

void Settings::setOrganizationName(const QString& name)
{
    QMutexLocker lock(&configurationMutex());
    configuration().organizationName = name;
}

void Settings::setApplicationName(const QString& name)
{
    QMutexLocker lock(&configurationMutex());
    configuration().applicationName = name;
}

void Settings::setFileName(const QString& name)
{
    QMutexLocker lock(&configurationMutex());
    configuration().fileName = name;
}

void Settings::setIniCodec(const QString& codec)
{
    QMutexLocker lock(&configurationMutex());
    configuration().iniCodec = codec;
}

void Settings::setDefaultFormat(QSettings::Format format)
{
    QMutexLocker lock(&configurationMutex());
    configuration().defaultFormat = format;
}

void Settings::setScope(QSettings::Scope scope)
{
    QMutexLocker lock(&configurationMutex());
    configuration().scope = scope;
}

extern "C" void __sanitizer_set_death_callback(void (*)()) __attribute__((weak));

namespace {
// Every value of the file read once; throws what Qt throws.
void readEveryValue()
{
    Settings probe{QString()};
    for (const QString& key : probe.allKeys())
        probe.value(key);
}

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

// Reads the file in a child process: some damaged values (a huge list of a
// GUI type) make Qt crash rather than throw, which no handler here could catch.
// Returns what went wrong, empty when the file reads.
QString readProblem()
{
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
            readEveryValue();
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
            readEveryValue();
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
} // namespace

QString Settings::setAsideUnreadableFile()
{
    const QString path = Settings{QString()}.fileName();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return QString();
    const QString problem = readProblem();
    if (problem.isEmpty())
        return QString();
    qCritical().noquote() << "Error in Settings::setAsideUnreadableFile: " + problem;
    const QString base = path + QStringLiteral(".damaged");
    QString target = base;
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('.') + QString::number(n);
    if (!QFile::rename(path, target)) {
        qCritical().noquote() << "The settings file" << path << "cannot be moved to" << target;
        return QString();
    }
    qWarning().noquote() << "The settings file could not be read; kept as" << target << "and started with defaults";
    return target;
}
