#include "CancellationCondition.h"

#include <QMutexLocker>

CancellationCondition::CancellationCondition()
    : mutex(new QMutex)
    , waitCondition(new QWaitCondition)
{
}

CancellationCondition::~CancellationCondition()
{
    waitCondition.reset();
    mutex.reset();
}

void CancellationCondition::cancel()
{
    canceled.store(true);
    wakeAll();
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
