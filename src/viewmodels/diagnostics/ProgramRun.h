#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class CancellationCondition;

// One run of an external program, waited for in the calling thread; a program
// that outlives the time-out, or the cancellation when one is given, is killed.
class ProgramRun
{
public:
    ProgramRun(const QString& program, const QStringList& arguments, int timeoutMsecs,
               const CancellationCondition* cancellation = nullptr);

    bool started() const { return hasStarted; }
    bool timedOut() const { return hasTimedOut; }
    bool canceled() const { return wasCanceled; }
    // True only for a normal exit with code 0.
    bool succeeded() const { return hasStarted && !hasTimedOut && !wasCanceled && normalExit && code == 0; }
    int exitCode() const { return code; }
    QByteArray standardOutput() const { return output; }
    QString errorOutput() const { return errors; }

private:
    bool hasStarted = false;
    bool hasTimedOut = false;
    bool wasCanceled = false;
    bool normalExit = false;
    int code = -1;
    QByteArray output;
    QString errors;
};
