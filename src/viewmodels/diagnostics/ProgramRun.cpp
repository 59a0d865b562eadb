#include "ProgramRun.h"

#include "CancellationCondition.h"

#include <QDeadlineTimer>
#include <QProcess>

ProgramRun::ProgramRun(const QString& program, const QStringList& arguments, int timeoutMsecs,
                       const CancellationCondition* cancellation)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    hasStarted = process.waitForStarted();
    if (!hasStarted) {
        errors = process.errorString();
        return;
    }
    const QDeadlineTimer deadline(timeoutMsecs);
    for (;;) {
        if (process.waitForFinished(int(CancellationCondition::waitSlice(deadline, cancellation)))
            || process.state() == QProcess::NotRunning)
            break;
        if (cancellation && cancellation->isCanceled()) {
            wasCanceled = true;
            break;
        }
        if (deadline.hasExpired()) {
            hasTimedOut = true;
            break;
        }
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    normalExit = process.exitStatus() == QProcess::NormalExit;
    code = process.exitCode();
    output = process.readAllStandardOutput();
    errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
}
