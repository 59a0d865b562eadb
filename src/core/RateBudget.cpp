#include "RateBudget.h"

#include <algorithm>

RateBudget::RateBudget(double capacity, double perSecond)
    : capacity(capacity)
    , perSecond(perSecond)
    , tokens(capacity)
{
    clock.start();
}

bool RateBudget::take(double amount)
{
    // In nanoseconds: taken thousands of times a second, whole milliseconds would round the refill away.
    const qint64 now = clock.nsecsElapsed();
    tokens = std::min(capacity, tokens + double(now - refilledAt) * perSecond / 1e9);
    refilledAt = now;
    if (tokens < amount)
        return false;
    tokens -= amount;
    return true;
}
