#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

// How long the event loop of the thread that made it went without turning:
// the longest gap between two ticks of a short timer, up to now.
class EventLoopProbe
{
public:
    EventLoopProbe()
    {
        clock.start();
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        timer.start();
    }

    qint64 longestStall() const { return std::max(longest, clock.elapsed() - last); }
    qint64 elapsed() const { return clock.elapsed(); }

    // How long `step` held the calling thread.
    static qint64 timed(const std::function<void()>& step)
    {
        QElapsedTimer held;
        held.start();
        step();
        return held.elapsed();
    }

private:
    QElapsedTimer clock;
    QTimer timer;
    qint64 last = 0;
    qint64 longest = 0;
};
