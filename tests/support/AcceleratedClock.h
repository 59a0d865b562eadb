#pragma once

#include <QDateTime>
#include <QElapsedTimer>

#include <functional>
#include <memory>

// A UTC clock that starts now and runs `factor` times faster than real time,
// so that a test passes the heartbeat's 10 s limit in a fraction of a second.
inline std::function<QDateTime()> acceleratedClock(double factor)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    const QDateTime origin = QDateTime::currentDateTimeUtc();
    return [timer, origin, factor] { return origin.addMSecs(qint64(double(timer->elapsed()) * factor)); };
}
