// Measures the real program against loopback fakes: the time from starting the
// process to its tray icon being shown on the tray host and to the connection
// being ready, the resident memory once ready, and the CPU used and the
// wake-ups of each thread while idle and connected. Needs an X display with a
// tray host and the sound server:
//   bash -c 'source scripts/headless-services.sh; build/bench/StartupBenchmark [idle-seconds] [runs]'

#include "BenchClient.h"
#include "FakeServerSet.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <unistd.h>

namespace {

QByteArray procFile(const QString& folder, const char* name)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString processFolder(qint64 pid)
{
    return QStringLiteral("/proc/%1").arg(pid);
}

struct Usage
{
    QString name;
    long long ticks = 0;  // user plus system time in clock ticks
    long long sleeps = 0; // voluntary context switches: each one a sleep and a wake-up
    long long preempted = 0;
};

Usage usage(const QString& folder)
{
    Usage result;
    result.name = QString::fromLocal8Bit(procFile(folder, "comm")).trimmed();
    const QByteArray stat = procFile(folder, "stat");
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    result.ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
    for (const QByteArray& line : procFile(folder, "status").split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:"))
            result.sleeps = line.mid(24).trimmed().toLongLong();
        else if (line.startsWith("nonvoluntary_ctxt_switches:"))
            result.preempted = line.mid(27).trimmed().toLongLong();
    }
    return result;
}

// Every thread of the process by thread id, and the whole process under 0.
QMap<qint64, Usage> usages(qint64 pid)
{
    QMap<qint64, Usage> result;
    result.insert(0, usage(processFolder(pid)));
    const QDir tasks(processFolder(pid) + QStringLiteral("/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        result.insert(task.toLongLong(), usage(tasks.filePath(task)));
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, QString::fromLatin1(argv[1]).toInt()) : 60;
    const int runs = argc > 2 ? std::max(1, QString::fromLatin1(argv[2]).toInt()) : 3;
    QTextStream out(stdout);

    QTemporaryDir home;
    FakeServerSet servers;
    servers.writeClientSettings(FakeServerSet::clientSettingsFile(home.path()), true);

    for (int i = 0; i < runs; ++i) {
        BenchClient client(home.path());
        const BenchClient::Start run = client.start();
        BenchClient::settle(2000);
        out << "run " << i + 1 << ": tray icon shown " << run.trayMs << " ms, ready " << run.readyMs
            << " ms, resident " << client.residentKb() / 1024.0 << " MB" << Qt::endl;
        if (i + 1 < runs)
            continue;
        const qint64 pid = client.pid();
        const QMap<qint64, Usage> before = usages(pid);
        BenchClient::settle(idleSeconds * 1000);
        const QMap<qint64, Usage> after = usages(pid);
        const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
        const long long used = after.value(0).ticks - before.value(0).ticks;
        out << "idle and connected for " << idleSeconds << " s: " << used << " ticks, "
            << 100.0 * double(used) / ticksPerSecond / idleSeconds << " % of one core; resident "
            << client.residentKb() / 1024.0 << " MB" << Qt::endl;
        out << "  thread            CPU %   wake-ups/s   preempted/s" << Qt::endl;
        for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
            if (it.key() == 0)
                continue;
            const Usage start = before.value(it.key());
            const double sleeps = double(it->sleeps - start.sleeps) / idleSeconds;
            const double cpu = 100.0 * double(it->ticks - start.ticks) / ticksPerSecond / idleSeconds;
            if (sleeps < 0.05 && cpu <= 0.0)
                continue;
            out << "  " << it->name.leftJustified(16) << qSetFieldWidth(8) << qSetRealNumberPrecision(3) << cpu
                << qSetFieldWidth(13) << sleeps << qSetFieldWidth(14)
                << double(it->preempted - start.preempted) / idleSeconds << qSetFieldWidth(0) << Qt::endl;
        }
    }
    return 0;
}
