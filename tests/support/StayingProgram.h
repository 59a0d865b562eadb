#pragma once

#include <QFile>
#include <QString>
#include <QTest>

#include <signal.h>
#include <sys/types.h>

// A stand-in for a child program of the client that tells its process id and
// then stays until it is killed, for tests of what ends it.
namespace StayingProgram {

// The script lines: write the id to `pidFile`, then sleep in the same process.
inline QByteArray script(const QString& pidFile)
{
    return "echo $$ > '" + QFile::encodeName(pidFile) + "'\nexec sleep 30";
}

// The id the stand-in wrote, once it has; 0 when none came within `msecs`.
inline pid_t waitForPid(const QString& pidFile, int msecs)
{
    pid_t pid = 0;
    const bool told = QTest::qWaitFor(
        [&] {
            QFile file(pidFile);
            pid = file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : 0;
            return pid > 0;
        },
        msecs);
    return told ? pid : 0;
}

inline bool isRunning(pid_t pid)
{
    return ::kill(pid, 0) == 0;
}

} // namespace StayingProgram
