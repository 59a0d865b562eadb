#include "PulseTestServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace PulseTestServer {

namespace {
int indexOf(const QString& kind, const QString& name)
{
    const QString listing = pactl({QStringLiteral("list"), QStringLiteral("short"), kind});
    for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() > 1 && fields.at(1) == name)
            return fields.at(0).toInt();
    }
    return -1;
}

pid_t daemonPid()
{
    QFile file(runtimeDir() + QStringLiteral("/pulse/pid"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<pid_t>(file.readAll().trimmed().toLong());
}

bool processExists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}
} // namespace

QString runtimeDir()
{
    return QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
}

QString pactl(const QStringList& args, int timeoutMsecs)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("pactl"), args);
    if (!process.waitForFinished(timeoutMsecs)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString();
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    return out.isNull() ? QStringLiteral("") : out;
}

bool isRunning()
{
    return !pactl({QStringLiteral("info")}, 3000).isNull();
}

bool waitUntilRunning(int timeoutMsecs)
{
    QDeadlineTimer deadline(timeoutMsecs);
    while (!deadline.hasExpired()) {
        if (isRunning())
            return true;
        QThread::msleep(50);
    }
    return false;
}

int sourceIndex(const QString& name)
{
    return indexOf(QStringLiteral("sources"), name);
}

int sinkIndex(const QString& name)
{
    return indexOf(QStringLiteral("sinks"), name);
}

bool kill()
{
    const pid_t pid = daemonPid();
    if (pid <= 0 || ::kill(pid, SIGKILL) != 0)
        return false;
    QDeadlineTimer deadline(10000);
    while (processExists(pid)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool start()
{
    const QString dir = runtimeDir();
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("pulseaudio"),
        {QStringLiteral("--daemonize=yes"), QStringLiteral("-n"), QStringLiteral("-F"), dir + QStringLiteral("/test.pa"),
            QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--log-target=file:") + dir + QStringLiteral("/pulse.log")});
    if (!process.waitForFinished(15000) || process.exitCode() != 0)
        return false;
    return waitUntilRunning();
}

bool ensureRunning()
{
    return isRunning() || start();
}

} // namespace PulseTestServer
