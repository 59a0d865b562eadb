#pragma once

#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <memory>

// The stop token a SubService shares with its worker. Only ever held by shared
// pointer (queued run and stop requests included): a request still queued after
// a stop, or a worker that outlives a timed-out stop, keeps it alive.
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
    // A descriptor that turns readable once canceled, for a worker that sleeps
    // in poll() on descriptors of its own; -1 when the system has none to give.
    int wakeDescriptor();
    // How long a wait that the condition cannot wake (a child program's
    // output, its end) may last before the flag is looked at again: what is
    // left of the deadline, at most a short slice when there is a condition.
    static qint64 waitSlice(const QDeadlineTimer& deadline, const CancellationCondition* condition);

    std::atomic<bool> canceled{false};
    std::unique_ptr<QMutex> mutex;
    std::unique_ptr<QWaitCondition> waitCondition;

private:
    void signalDescriptorLocked();

    int descriptor = -1;
};

using CancellationConditionPtr = std::shared_ptr<CancellationCondition>;
