#pragma once

#include <QByteArray>
#include "ChildProcess.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// The real program (this build's, or the one at `binary`) started against the
// fakes of FakeServerSet, with its settings, data and TMPDIR (this process's
// too) under `home`; terminated when this object goes.
class BenchClient
{
public:
    struct Start
    {
        qint64 trayMs = -1;
        qint64 readyMs = -1;
    };

    explicit BenchClient(const QString& home, const QString& binary = QString());
    ~BenchClient();
    BenchClient(const BenchClient&) = delete;
    BenchClient& operator=(const BenchClient&) = delete;

    // Starts the program and waits (30 s at most) for its tray icon and the ready connection.
    Start start();
    // Keeps this program's event loop turning for a while.
    static void settle(int ms);
    qint64 pid() const { return process.processId(); }
    // From /proc: resident memory in kB (-1 when gone), the number of threads,
    // and the OpenGL drivers mapped (Mesa's software one comes with LLVM).
    long residentKb() const;
    int threads() const;
    QStringList openGlDrivers() const;
    // SIGTERM, as at logout.
    void terminate() { process.terminate(); }
    bool hasEnded() const { return process.state() == QProcess::NotRunning; }
    QByteArray output() const { return log; }

private:
    ChildProcess process;
    QString binary;
    QByteArray log;
};
