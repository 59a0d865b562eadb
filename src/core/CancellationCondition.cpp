#include "CancellationCondition.h"

#include <QMutexLocker>

#include <sys/eventfd.h>
#include <unistd.h>

CancellationCondition::CancellationCondition()
    : mutex(new QMutex)
    , waitCondition(new QWaitCondition)
{
}

CancellationCondition::~CancellationCondition()
{
    if (descriptor >= 0)
        ::close(descriptor);
    waitCondition.reset();
    mutex.reset();
}

void CancellationCondition::cancel()
{
    canceled.store(true);
    QMutexLocker lock(mutex.get());
    waitCondition->wakeAll();
    signalDescriptorLocked();
}

int CancellationCondition::wakeDescriptor()
{
    QMutexLocker lock(mutex.get());
    if (descriptor < 0) {
        descriptor = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (canceled.load())
            signalDescriptorLocked();
    }
    return descriptor;
}

void CancellationCondition::signalDescriptorLocked()
{
    if (descriptor < 0)
        return;
    const eventfd_t one = 1;
    (void)!::write(descriptor, &one, sizeof one);
}

void CancellationCondition::wait(unsigned long msecs)
{
    QMutexLocker lock(mutex.get());
    // Checked under the mutex, and cancel() wakes under it, so no wake-up is missed.
    if (canceled.load())
        return;
    waitCondition->wait(mutex.get(), msecs);
}

void CancellationCondition::wakeAll()
{
    QMutexLocker lock(mutex.get());
    waitCondition->wakeAll();
}

qint64 CancellationCondition::waitSlice(const QDeadlineTimer& deadline, const CancellationCondition* condition)
{
    constexpr qint64 sliceMsecs = 50;
    const qint64 left = deadline.remainingTime();
    if (!condition)
        return left;
    return left < 0 || left > sliceMsecs ? sliceMsecs : left;
}
