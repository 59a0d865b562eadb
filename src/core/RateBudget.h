#pragma once

#include <QElapsedTimer>

// A token bucket: up to `capacity` at once, refilled at `perSecond`. Not
// thread-safe: one per object, used in that object's thread.
class RateBudget
{
public:
    RateBudget(double capacity, double perSecond);

    // Takes `amount` when that much is left; false, taking nothing, otherwise.
    bool take(double amount = 1);

private:
    const double capacity;
    const double perSecond;
    double tokens;
    QElapsedTimer clock;
    qint64 refilledAt = 0;
};
