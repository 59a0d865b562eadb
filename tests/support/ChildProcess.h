#pragma once

#include "TestHome.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/types.h>

// A program a test starts. It leads a process group of its own and is killed
// when the thread that started it ends, so a test that fails, crashes or is
// killed at its time limit leaves nothing running; whatever is left of its
// group (its own children) is killed when it ends or with the object. Start
// it from the thread that outlives it, the test's main thread.
class ChildProcess : public QProcess
{
public:
    explicit ChildProcess(QObject* parent = nullptr);
    ~ChildProcess() override;

    // Keeps both output channels, merged, in output() as they come.
    void collectOutput();
    const QString& output() const { return collected; }
    // Whether, by its output, a sanitized program's leak check at exit died
    // without a verdict: gcc's checker itself crashes now and then while it
    // stops the threads, and the program then exits 1 having found no leak.
    bool leakCheckItselfFailed() const;

    // Waits up to msecs, the event loop running, for the program to end by
    // itself. When it does not (a sanitized program can hang at exit), its
    // group is killed, a warning says so, and the answer is false.
    bool waitToEnd(int msecs);
    // Kills the program and everything left in its group.
    void endGroup();

    // Starts a program that serves the test (a window manager, a tray host) and
    // waits up to msecs for `ready`; false, with *error set, when it did not
    // start, ended or was not ready in time.
    bool startServing(const QString& program, const QStringList& arguments, const std::function<bool()>& ready, int msecs,
                      QString* error);

    // Runs a program to its end, at most msecs, killed past that: its exit
    // code, or -1 when it did not start, crashed or had to be killed.
    static int execute(const QString& program, const QStringList& arguments, int msecs = TestHome::scaled(30000));

protected:
    void setupChildProcess() override;

private:
    const pid_t parentPid;
    // Its pid; 0 once the group was ended (the pid may be given out again).
    qint64 group = 0;
    QString collected;
};
