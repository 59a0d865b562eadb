#pragma once

#include <QString>

// Keeps a second copy of the client from running for the same desktop user.
// The guard is an open-file-description lock on a file in the temporary folder:
// the kernel drops it when its holder ends, however it ends, so neither a
// killed copy nor files left behind can keep the next one out, and no call
// ever waits. When the lock cannot be taken or tested at all, the guard says
// so in the log and lets the program run as the only copy.
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

    // The client's key, made per user so another desktop user is never refused.
    static QString clientKey();
    QString lockFilePath() const { return lockPath; }

private:
    // An open descriptor of the lock file, or -1 (logged) when it cannot be used.
    int openLockFile() const;

    const QString key;
    const QString lockKey;
    const QString lockPath;
    int heldFd = -1;
};
