#pragma once

#include <QByteArray>
#include "ChildProcess.h"

#include <QProcess>
#include <QString>

// The real program started against the fakes of FakeServerSet, with its
// settings, data and TMPDIR (this process's too) under `home`; terminated
// when this object goes.
class BenchClient
{
public:
    struct Start
    {
        qint64 trayMs = -1;
        qint64 readyMs = -1;
    };

    explicit BenchClient(const QString& home);
    ~BenchClient();
    BenchClient(const BenchClient&) = delete;
    BenchClient& operator=(const BenchClient&) = delete;

    // Starts the program and waits (30 s at most) for its tray icon and the ready connection.
    Start start();
    // Keeps this program's event loop turning for a while.
    static void settle(int ms);
    qint64 pid() const { return process.processId(); }
    // SIGTERM, as at logout.
    void terminate() { process.terminate(); }
    bool hasEnded() const { return process.state() == QProcess::NotRunning; }
    QByteArray output() const { return log; }

private:
    ChildProcess process;
    QByteArray log;
};
