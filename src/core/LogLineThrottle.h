#pragma once

#include <QElapsedTimer>
#include <QString>

// Keeps a line that an outside peer can make repeat at will from filling the
// log: the first few of each period are let through, the rest only counted,
// and the count goes with the next line let through. Not thread-safe: one per
// object that logs, in that object's thread.
class LogLineThrottle
{
public:
    explicit LogLineThrottle(int linesPerPeriod = 3, qint64 periodMs = 10000);

    // Whether this occurrence is logged; *summary then holds the count of those
    // that were not since the last one that was ("(12 more not logged)"), or
    // nothing when there were none.
    bool pass(QString* summary);

private:
    const int linesPerPeriod;
    const qint64 periodMs;
    QElapsedTimer period;
    int passed = 0;
    int heldBack = 0;
};
