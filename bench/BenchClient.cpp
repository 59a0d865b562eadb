#include "BenchClient.h"

#include "FakeServerSet.h"
#include "RunGuard.h"
#include "X11Windows.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

BenchClient::BenchClient(const QString& home, const QString& binary)
    : binary(binary.isEmpty() ? QStringLiteral(SCRIVORA_BINARY) : binary)
{
    // The single-instance guard keeps its key files in TMPDIR: a private one
    // keeps the benchmark's copy apart from any other running on the machine.
    const QString temporary = home + QStringLiteral("/tmp");
    QDir().mkpath(temporary);
    qputenv("TMPDIR", temporary.toLocal8Bit());
    QProcessEnvironment environment = FakeServerSet::clientEnvironment(home);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process, &QProcess::readyRead, [this] { log += process.readAll(); });
}

BenchClient::~BenchClient()
{
    process.terminate();
    process.waitForFinished(10000);
    // Frees the guard of the terminated copy.
    while (RunGuard(RunGuard::clientKey()).isAnotherRunning())
        QThread::msleep(50);
}

BenchClient::Start BenchClient::start()
{
    Start run;
    QElapsedTimer timer;
    timer.start();
    process.start(binary, QStringList());
    while (timer.elapsed() < 30000 && (run.trayMs < 0 || run.readyMs < 0)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (run.trayMs < 0 && X11Windows::trayIcon(QStringLiteral("scrivora")))
            run.trayMs = timer.elapsed();
        if (run.readyMs < 0 && log.contains("stateChanged from 9 to 14"))
            run.readyMs = timer.elapsed();
        QThread::msleep(5);
    }
    return run;
}

namespace {
QByteArray procFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

long statusValue(qint64 pid, const QByteArray& key)
{
    for (const QByteArray& line : procFile(pid, "status").split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}
} // namespace

long BenchClient::residentKb() const
{
    return statusValue(pid(), "VmRSS:");
}

int BenchClient::threads() const
{
    return int(statusValue(pid(), "Threads:"));
}

QStringList BenchClient::openGlDrivers() const
{
    QStringList drivers;
    for (const QByteArray& line : procFile(pid(), "maps").split('\n')) {
        const QString path = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
        const QString name = path.section(QLatin1Char('/'), -1);
        const bool driver = path.contains(QLatin1String("/dri/")) || name.startsWith(QLatin1String("libLLVM"));
        if (driver && !drivers.contains(name))
            drivers << name;
    }
    return drivers;
}

void BenchClient::settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}
