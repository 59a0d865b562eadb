#pragma once

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

// Keeps a second copy of the client from running for the same desktop user.
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

private:
    const QString key;
    const QString memLockKey;
    const QString sharedmemKey;
    QSharedMemory sharedMem;
    QSystemSemaphore memLock;
};
