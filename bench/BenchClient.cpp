#include "BenchClient.h"

#include "FakeServerSet.h"
#include "RunGuard.h"
#include "X11Windows.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

BenchClient::BenchClient(const QString& home)
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
    process.start(QStringLiteral(SCRIVORA_BINARY), QStringList());
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

void BenchClient::settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}
