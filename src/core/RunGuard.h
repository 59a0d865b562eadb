#pragma once

#include <QString>

// Keeps a second copy of the client from running for the same desktop user.
// The guard is an open-file-description lock on a file in a folder that only
// this user can create files in: the user's runtime folder (XDG_RUNTIME_DIR),
// else a private folder in the user's cache folder, else one in the temporary
// folder (which another user could take first). The kernel
// drops the lock when its holder ends, however it ends, so neither a killed
// copy nor files left behind can keep the next one out, and no call ever
// waits. Only a regular file of this user is taken as the lock: anything else
// at its path, or no private folder at all, refuses the start (problem() says
// why) rather than let a second copy run. Beside it, a second lock in the
// user's home, named after the host and display, catches a copy started with
// other runtime or temporary folders (su, sudo, cron); a home where it cannot
// be kept only costs that. Used on the thread that starts the program.
class RunGuard
{
public:
    explicit RunGuard(const QString& key);
    ~RunGuard();
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    bool isAnotherRunning();
    bool tryToRun();
    void release();

    // Why the last tryToRun() could not use the lock at all, in Russian for the
    // user; empty when it could.
    QString problem() const { return lastProblem; }

    // The client's key, made per user so another desktop user is never refused.
    static QString clientKey();
    // Empty when no private folder could be found.
    QString lockFilePath() const { return lockPath; }
    QString homeLockFilePath() const { return homeLockPath; }

private:
    const QString key;
    const QString lockKey;
    QString lockPath;
    QString homeLockPath;
    QString lastProblem;
    int heldFd = -1;
    int heldHomeFd = -1;
};
