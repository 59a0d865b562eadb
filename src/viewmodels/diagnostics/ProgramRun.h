#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// One run of an external program, waited for in the calling thread; a program
// that outlives the time-out is killed.
class ProgramRun
{
public:
    ProgramRun(const QString& program, const QStringList& arguments, int timeoutMsecs);

    bool started() const { return hasStarted; }
    bool timedOut() const { return hasTimedOut; }
    // True only for a normal exit with code 0.
    bool succeeded() const { return hasStarted && !hasTimedOut && normalExit && code == 0; }
    int exitCode() const { return code; }
    QByteArray standardOutput() const { return output; }
    QString errorOutput() const { return errors; }

private:
    bool hasStarted = false;
    bool hasTimedOut = false;
    bool normalExit = false;
    int code = -1;
    QByteArray output;
    QString errors;
};
