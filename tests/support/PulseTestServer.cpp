#include "PulseTestServer.h"

#include "ChildProcess.h"
#include "PulseModule.h"
#include "TestHome.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>
#include <sys/types.h>

namespace PulseTestServer {
namespace {

// The server of usePrivateServer(): a child of the test, so that it ends with
// the test whatever becomes of it.
struct PrivateServer
{
    bool used = false;
    std::unique_ptr<ChildProcess> daemon;
};

PrivateServer& privateServer()
{
    static PrivateServer server;
    return server;
}

} // namespace

QString runtimeDir()
{
    // Each test has a runtime folder of its own; the daemon's is named by its socket.
    const QString server = QString::fromLocal8Bit(qgetenv("PULSE_SERVER"));
    const QString prefix = QStringLiteral("unix:");
    const QString socket = QStringLiteral("/pulse/native");
    if (server.startsWith(prefix) && server.endsWith(socket))
        return server.mid(prefix.size(), server.size() - prefix.size() - socket.size());
    return QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
}

// The daemon keeps its sockets in its runtime folder; pacmd looks for them there.
QProcessEnvironment daemonEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    return environment;
}

QString pactl(const QStringList& args, int timeoutMsecs)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    QDeadlineTimer deadline(timeoutMsecs);
    for (;;) {
        ChildProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral("pactl"), args);
        const qint64 left = deadline.remainingTime();
        if (!process.waitForFinished(left < 0 ? -1 : int(std::max<qint64>(1, left))))
            return QString();
        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
            const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
            return out.isNull() ? QStringLiteral("") : out;
        }
        // Starved, the server refuses connections past its listen backlog of 5, as a
        // desktop's does at login; the command never reached it and is tried again.
        const bool refused = process.readAllStandardError().contains("Connection refused");
        const pid_t daemon = pid();
        if (!refused || daemon <= 0 || ::kill(daemon, 0) != 0 || deadline.hasExpired())
            return QString();
        QThread::msleep(20);
    }
}

bool isRunning()
{
    return !pactl({QStringLiteral("info")}, TestHome::scaled(3000)).isNull();
}

pid_t pid()
{
    if (privateServer().daemon)
        return static_cast<pid_t>(privateServer().daemon->processId());
    QFile file(runtimeDir() + QStringLiteral("/pulse/pid"));
    return file.open(QIODevice::ReadOnly) ? static_cast<pid_t>(file.readAll().trimmed().toLong()) : 0;
}

bool kill()
{
    if (std::unique_ptr<ChildProcess> daemon = std::move(privateServer().daemon)) {
        daemon->endGroup();
        return true;
    }
    const pid_t pid = PulseTestServer::pid();
    if (pid <= 0 || ::kill(pid, SIGKILL) != 0)
        return false;
    QDeadlineTimer deadline(TestHome::scaled(10000));
    while (::kill(pid, 0) == 0 || errno != ESRCH) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool start()
{
    const QString dir = runtimeDir();
    auto process = std::make_unique<ChildProcess>();
    process->setProcessEnvironment(daemonEnvironment());
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // The run's own server outlives the test that restarts it, as a daemon.
    const bool own = privateServer().used;
    process->start(QStringLiteral("pulseaudio"),
        {own ? QStringLiteral("--daemonize=no") : QStringLiteral("--daemonize=yes"), QStringLiteral("-n"), QStringLiteral("-F"),
            dir + QStringLiteral("/test.pa"), QStringLiteral("--exit-idle-time=-1"),
            QStringLiteral("--log-target=file:") + dir + QStringLiteral("/pulse.log")});
    if (own) {
        if (!process->waitForStarted(TestHome::scaled(30000)))
            return false;
        privateServer().daemon = std::move(process);
    } else if (!process->waitForFinished(TestHome::scaled(15000)) || process->exitCode() != 0) {
        return false;
    }
    QDeadlineTimer deadline(TestHome::scaled(10000));
    while (!isRunning()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

bool ensureRunning()
{
    return isRunning() || start();
}

bool usePrivateServer(const QString& dir, const QStringList& configuration)
{
    QFile config(dir + QStringLiteral("/test.pa"));
    if (!QDir().mkpath(dir)
        || !QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
        || !config.open(QIODevice::WriteOnly))
        return false;
    config.write(configuration.join(QLatin1Char('\n')).toUtf8() + '\n');
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir) + "/pulse/native");
    privateServer().used = true;
    return config.flush();
}

QStringList sinkOnlyConfiguration()
{
    return {QStringLiteral("load-module module-native-protocol-unix auth-anonymous=1"),
        QStringLiteral("load-module module-null-sink sink_name=test_sink"), QStringLiteral("set-default-sink test_sink")};
}

bool killClient(const QString& name)
{
    // Only the command-line interface can throw a client out.
    PulseModule cli(QStringLiteral("module-cli-protocol-unix"), {});
    if (!cli.isLoaded())
        return false;
    const QJsonArray clients = QJsonDocument::fromJson(
        pactl({QStringLiteral("-f"), QStringLiteral("json"), QStringLiteral("list"), QStringLiteral("clients")}).toUtf8())
                                   .array();
    for (const QJsonValue& client : clients) {
        if (client[QStringLiteral("properties")][QStringLiteral("application.name")].toString() != name)
            continue;
        ChildProcess pacmd;
        pacmd.setProcessEnvironment(daemonEnvironment());
        pacmd.setStandardInputFile(QProcess::nullDevice());
        pacmd.start(QStringLiteral("pacmd"),
            {QStringLiteral("kill-client"), QString::number(client[QStringLiteral("index")].toInt())});
        return pacmd.waitForFinished(TestHome::scaled(10000)) && pacmd.exitStatus() == QProcess::NormalExit
            && pacmd.exitCode() == 0;
    }
    return false;
}

} // namespace PulseTestServer
