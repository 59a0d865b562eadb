#include "RunGuard.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTextStream>
#include <QThread>

#include <csignal>

// Keeps a real client of this user running beside the test suite, the way one
// runs on a developer's desktop: same user, the runner's own TMPDIR and
// XDG_RUNTIME_DIR, so its single-instance guard is the one a test would meet
// without folders of its own.
// It needs no display, sound server or network.
//   RunningClient start <folder>   starts it (or finds the user's own) and returns once it holds the guard
//   RunningClient stop <folder>    ends it; fails when it did not live through the suite
namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString pidFile(const QDir& home)
{
    return home.filePath(QStringLiteral("client.pid"));
}

bool guardHeld()
{
    return RunGuard(RunGuard::clientKey()).isAnotherRunning();
}

bool isClient(qint64 pid)
{
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath()
        == QFileInfo(QStringLiteral(SCRIVORA_BINARY)).canonicalFilePath();
}

quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void writeSettings(const QDir& home)
{
    const QString folder = home.filePath(QStringLiteral("config/Orvanta Labs/Scrivora"));
    QDir().mkpath(folder);
    QSettings settings(folder + QStringLiteral("/settings.ini"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("BalancerConnection/Ip"), QStringLiteral("127.0.0.1"));
    settings.setValue(QStringLiteral("BalancerConnection/RestPort"), deadPort());
    settings.setValue(QStringLiteral("BalancerConnection/UseTls"), false);
    settings.setValue(QStringLiteral("ClientInfo/UseProxy"), false);
}

qint64 startedPid(const QDir& home)
{
    QFile file(pidFile(home));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toLongLong() : 0;
}

int start(const QDir& home)
{
    if (guardHeld()) {
        // Run again before its stop (ctest --repeat), the client started first
        // stays named for the stop, or nothing would end it.
        const qint64 pid = startedPid(home);
        if (pid > 0 && isClient(pid)) {
            err() << "RunningClient: client " << pid << " started earlier holds the guard" << Qt::endl;
            return 0;
        }
        QFile::remove(pidFile(home));
        err() << "RunningClient: a copy of this user already holds the guard; the suite runs beside it" << Qt::endl;
        return 0;
    }
    QFile::remove(pidFile(home));
    writeSettings(home);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + home.filePath(QStringLiteral("no-sound-server")));
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
    QFile file(pidFile(home));
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(pid)) <= 0) {
        ::kill(pid_t(pid), SIGKILL);
        return 1;
    }
    file.close();
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

int stop(const QDir& home)
{
    if (!QFileInfo::exists(pidFile(home)))
        return 0;
    const qint64 pid = startedPid(home);
    QFile::remove(pidFile(home));
    if (pid <= 0 || !isClient(pid)) {
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
