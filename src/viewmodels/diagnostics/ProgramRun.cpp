#include "ProgramRun.h"

#include <QProcess>

ProgramRun::ProgramRun(const QString& program, const QStringList& arguments, int timeoutMsecs)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    hasStarted = process.waitForStarted();
    if (!hasStarted) {
        errors = process.errorString();
        return;
    }
    if (!process.waitForFinished(timeoutMsecs)) {
        hasTimedOut = true;
        process.kill();
        process.waitForFinished();
    }
    normalExit = process.exitStatus() == QProcess::NormalExit;
    code = process.exitCode();
    output = process.readAllStandardOutput();
    errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
}
