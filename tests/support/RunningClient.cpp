#include "FakeServerSet.h"
#include "RunGuard.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTextStream>
#include <QThread>

#include <csignal>

// Keeps a real client of this user running beside the test suite, the way one
// runs on a developer's desktop: same user, the runner's own TMPDIR and
// XDG_RUNTIME_DIR, so its single-instance guard is the one a test would meet
// without folders of its own.
// Under scripts/headless-services.sh, whose display and sound server are the
// run's own (SCRIVORA_RUN_MARK), it runs on them as a user's client does,
// connected to a fake server that recognises what it hears: a double Ctrl a
// test pressed on that display would start it dictating into the test's
// window. Elsewhere, beside a developer's desktop, it needs no display, sound
// server or network.
//   RunningClient start <folder>   starts it (or finds the user's own) and returns once it holds the guard
//   RunningClient stop <folder>    ends it; fails when it did not live through the suite
namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

const char* const clientPid = "client.pid";
const char* const fakeServerPid = "fake-server.pid";

QString pidFile(const QDir& home, const char* name)
{
    return home.filePath(QLatin1String(name));
}

qint64 readPid(const QDir& home, const char* name)
{
    QFile file(pidFile(home, name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toLongLong() : 0;
}

bool writePid(const QDir& home, const char* name, qint64 pid)
{
    QFile file(pidFile(home, name));
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(pid)) > 0;
}

bool onTheRunsDesktop()
{
    return qEnvironmentVariableIsSet("SCRIVORA_RUN_MARK") && qEnvironmentVariableIsSet("DISPLAY");
}

bool guardHeld()
{
    return RunGuard(RunGuard::clientKey()).isAnotherRunning();
}

bool runs(qint64 pid, const char* program)
{
    return pid > 0
        && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath()
        == QFileInfo(QString::fromLocal8Bit(program)).canonicalFilePath();
}

bool isClient(qint64 pid)
{
    return runs(pid, SCRIVORA_BINARY);
}

quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The fake balancer and recognition server (FakeServerMain.cpp), detached as the
// client is; the port of its balancer, 0 when it did not start.
quint16 startFakeServer(const QDir& home)
{
    const QString out = home.filePath(QStringLiteral("fake-server.out"));
    QFile::remove(out);
    QProcess server;
    server.setProgram(QStringLiteral(SCRIVORA_FAKE_SERVER));
    server.setArguments({QStringLiteral("0"), QStringLiteral("0")});
    server.setStandardInputFile(QProcess::nullDevice());
    server.setStandardOutputFile(out);
    server.setStandardErrorFile(out, QIODevice::Append);
    qint64 pid = 0;
    if (!server.startDetached(&pid) || !writePid(home, fakeServerPid, pid))
        return 0;
    const QRegularExpression listening(QStringLiteral("Fake balancer on 127\\.0\\.0\\.1:(\\d+),"));
    QDeadlineTimer deadline(TestHome::scaled(10000));
    while (!deadline.hasExpired() && runs(pid, SCRIVORA_FAKE_SERVER)) {
        QFile file(out);
        const QRegularExpressionMatch match =
            listening.match(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
        if (match.hasMatch())
            return quint16(match.captured(1).toUInt());
        QThread::msleep(50);
    }
    return 0;
}

void endFakeServer(const QDir& home)
{
    const qint64 pid = readPid(home, fakeServerPid);
    QFile::remove(pidFile(home, fakeServerPid));
    if (runs(pid, SCRIVORA_FAKE_SERVER))
        ::kill(pid_t(pid), SIGKILL);
}

void writeSettings(const QDir& home, quint16 balancerPort)
{
    const QString folder = home.filePath(QStringLiteral("config/Orvanta Labs/Scrivora"));
    QDir().mkpath(folder);
    QSettings settings(folder + QStringLiteral("/settings.ini"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("BalancerConnection/Ip"), QStringLiteral("127.0.0.1"));
    settings.setValue(QStringLiteral("BalancerConnection/RestPort"), balancerPort);
    settings.setValue(QStringLiteral("BalancerConnection/UseTls"), false);
    settings.setValue(QStringLiteral("ClientInfo/UseProxy"), false);
    // A user who chose a theme and filled in the profile long ago: no window waits.
    settings.setValue(QStringLiteral("ASR/IsThemeAutoSelect"), true);
    FakeServerSet::writeCompleteProfile(folder);
}

int start(const QDir& home)
{
    if (guardHeld()) {
        // Run again before its stop (ctest --repeat), the client started first
        // stays named for the stop, or nothing would end it.
        const qint64 pid = readPid(home, clientPid);
        if (isClient(pid)) {
            err() << "RunningClient: client " << pid << " started earlier holds the guard" << Qt::endl;
            return 0;
        }
        QFile::remove(pidFile(home, clientPid));
        err() << "RunningClient: a copy of this user already holds the guard; the suite runs beside it" << Qt::endl;
        return 0;
    }
    QFile::remove(pidFile(home, clientPid));
    const bool desktop = onTheRunsDesktop();
    const quint16 balancerPort = desktop ? startFakeServer(home) : deadPort();
    if (balancerPort == 0) {
        err() << "RunningClient: the fake server did not start; see " << home.filePath("fake-server.out") << Qt::endl;
        endFakeServer(home);
        return 1;
    }
    writeSettings(home, balancerPort);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!desktop) {
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        environment.insert(QStringLiteral("PULSE_SERVER"),
                           QStringLiteral("unix:") + home.filePath(QStringLiteral("no-sound-server")));
    }
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));

    QProcess client;
    client.setProgram(QStringLiteral(SCRIVORA_BINARY));
    client.setProcessEnvironment(environment);
    // CTest waits for every holder of the test's output to let go of it.
    client.setStandardInputFile(QProcess::nullDevice());
    client.setStandardOutputFile(home.filePath(QStringLiteral("client.out")));
    client.setStandardErrorFile(home.filePath(QStringLiteral("client.out")), QIODevice::Append);
    qint64 pid = 0;
    if (!client.startDetached(&pid)) {
        err() << "RunningClient: cannot start " << client.program() << ": " << client.errorString() << Qt::endl;
        return 1;
    }
    if (!writePid(home, clientPid, pid)) {
        ::kill(pid_t(pid), SIGKILL);
        return 1;
    }
    QDeadlineTimer deadline(TestHome::scaled(30000));
    while (!guardHeld()) {
        if (deadline.hasExpired() || !isClient(pid)) {
            err() << "RunningClient: the client did not take the guard; see " << home.filePath("client.out") << Qt::endl;
            return 1;
        }
        QThread::msleep(100);
    }
    err() << "RunningClient: client " << pid << " holds the guard" << Qt::endl;
    return 0;
}

int stopClient(const QDir& home)
{
    if (!QFileInfo::exists(pidFile(home, clientPid)))
        return 0;
    const qint64 pid = readPid(home, clientPid);
    QFile::remove(pidFile(home, clientPid));
    if (!isClient(pid)) {
        err() << "RunningClient: the client did not live through the suite; see " << home.filePath("client.out") << Qt::endl;
        return 1;
    }
    // Detached, it leads a process group of its own: the last signal ends its children too.
    const int waitMs = TestHome::scaled(10000);
    for (pid_t target : {pid_t(pid), pid_t(-pid)}) {
        ::kill(target, target > 0 ? SIGTERM : SIGKILL);
        QDeadlineTimer deadline(waitMs);
        while (isClient(pid) && !deadline.hasExpired())
            QThread::msleep(50);
        if (!isClient(pid))
            break;
        err() << "RunningClient: the client did not end within " << waitMs / 1000 << " s of SIGTERM: its process group is killed"
              << Qt::endl;
    }
    return 0;
}

int stop(const QDir& home)
{
    const int result = stopClient(home);
    endFakeServer(home);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || (args.at(1) != QLatin1String("start") && args.at(1) != QLatin1String("stop"))) {
        err() << "usage: RunningClient start|stop <folder>" << Qt::endl;
        return 2;
    }
    QDir home(args.at(2));
    if (!home.mkpath(QStringLiteral("."))) {
        err() << "RunningClient: cannot create " << home.path() << Qt::endl;
        return 1;
    }
    return args.at(1) == QLatin1String("start") ? start(home) : stop(home);
}
