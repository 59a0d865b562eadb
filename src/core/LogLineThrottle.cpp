#include "LogLineThrottle.h"

LogLineThrottle::LogLineThrottle(int linesPerPeriod, qint64 periodMs)
    : linesPerPeriod(linesPerPeriod)
    , periodMs(periodMs)
{
}

bool LogLineThrottle::pass(QString* summary)
{
    if (!period.isValid() || period.elapsed() >= periodMs) {
        period.start();
        passed = 0;
    }
    if (passed >= linesPerPeriod) {
        ++heldBack;
        return false;
    }
    ++passed;
    *summary = heldBack > 0 ? QStringLiteral("(%1 more not logged)").arg(heldBack) : QString();
    heldBack = 0;
    return true;
}
