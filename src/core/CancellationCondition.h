#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <memory>

// The stop token a SubService shares with its worker. Held by shared pointer:
// a worker thread that outlives a timed-out stop keeps it alive while it runs.
class CancellationCondition : public std::enable_shared_from_this<CancellationCondition>
{
public:
    CancellationCondition();
    ~CancellationCondition();
    CancellationCondition(const CancellationCondition&) = delete;
    CancellationCondition& operator=(const CancellationCondition&) = delete;

    bool isCanceled() const { return canceled.load(); }
    void cancel();
    // Waits at most msecs unless canceled or woken earlier; returns at once when already canceled.
    void wait(unsigned long msecs);
    void wakeAll();

    std::atomic<bool> canceled{false};
    std::unique_ptr<QMutex> mutex;
    std::unique_ptr<QWaitCondition> waitCondition;
};
