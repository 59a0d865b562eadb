// Measures the real program against loopback fakes: the time from starting the
// process to its tray icon being shown on the tray host and to the connection
// being ready, the resident memory once ready, and the CPU used while idle and
// connected. Needs an X display with a tray host and the sound server:
//   bash -c 'source scripts/headless-services.sh; build/bench/StartupBenchmark [idle-seconds] [runs]'

#include "ChildProcess.h"
#include "FakeServerSet.h"
#include "RunGuard.h"
#include "X11Windows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <unistd.h>

namespace {

QByteArray procFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

long residentKb(qint64 pid)
{
    for (const QByteArray& line : procFile(pid, "status").split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// User plus system time in clock ticks.
long long cpuTicks(qint64 pid)
{
    const QByteArray stat = procFile(pid, "stat");
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

struct Run
{
    qint64 trayMs = -1;
    qint64 readyMs = -1;
    long rssKb = -1;
};

class Client
{
public:
    explicit Client(const QString& home)
    {
        QProcessEnvironment environment = FakeServerSet::clientEnvironment(home);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyRead, [this] { output += process.readAll(); });
    }
    ~Client()
    {
        process.terminate();
        process.waitForFinished(10000);
        // Frees the guard of the terminated copy.
        while (RunGuard(RunGuard::clientKey()).isAnotherRunning())
            QThread::msleep(50);
    }

    Run start()
    {
        Run run;
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(SCRIVORA_BINARY), QStringList());
        while (timer.elapsed() < 30000 && (run.trayMs < 0 || run.readyMs < 0)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (run.trayMs < 0 && X11Windows::trayIcon(QStringLiteral("scrivora")))
                run.trayMs = timer.elapsed();
            if (run.readyMs < 0 && output.contains("stateChanged from 9 to 14"))
                run.readyMs = timer.elapsed();
            QThread::msleep(5);
        }
        settle(2000);
        run.rssKb = residentKb(process.processId());
        return run;
    }

    void settle(int ms)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(20);
        }
    }

    ChildProcess process;
    QByteArray output;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 60;
    const int runs = argc > 2 ? std::max(1, QString::fromLatin1(argv[2]).toInt()) : 3;
    QTextStream out(stdout);

    QTemporaryDir home;
    FakeServerSet servers;
    servers.writeClientSettings(FakeServerSet::clientSettingsFile(home.path()), true);

    for (int i = 0; i < runs; ++i) {
        Client client(home.path());
        const Run run = client.start();
        out << "run " << i + 1 << ": tray icon shown " << run.trayMs << " ms, ready " << run.readyMs
            << " ms, resident " << run.rssKb / 1024.0 << " MB" << Qt::endl;
        if (i + 1 < runs)
            continue;
        const qint64 pid = client.process.processId();
        const long long before = cpuTicks(pid);
        client.settle(idleSeconds * 1000);
        const long long used = cpuTicks(pid) - before;
        const double percent = 100.0 * double(used) / double(sysconf(_SC_CLK_TCK)) / idleSeconds;
        out << "idle and connected for " << idleSeconds << " s: " << used << " ticks, " << percent
            << " % of one core; resident " << residentKb(pid) / 1024.0 << " MB" << Qt::endl;
    }
    return 0;
}
