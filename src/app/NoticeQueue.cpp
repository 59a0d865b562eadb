#include "NoticeQueue.h"

#include <QtDebug>

#include <algorithm>

namespace {
// A flood of server notices must not grow the queue without bound.
const int MaxWaiting = 16;

int rank(QSystemTrayIcon::MessageIcon icon)
{
    switch (icon) {
    case QSystemTrayIcon::Critical:
        return 3;
    case QSystemTrayIcon::Warning:
        return 2;
    case QSystemTrayIcon::Information:
        return 1;
    default:
        return 0;
    }
}

bool same(const NoticeQueue::Notice& a, const NoticeQueue::Notice& b)
{
    return a.title == b.title && a.text == b.text;
}
} // namespace

NoticeQueue::NoticeQueue(int displayTime, QObject* parent)
    : QObject(parent)
    , displayTime(displayTime)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &NoticeQueue::showNext);
}

NoticeQueue::~NoticeQueue() = default;

void NoticeQueue::post(const Notice& notice)
{
    const auto isNotice = [&notice](const Notice& n) { return same(n, notice); };
    if ((current && same(*current, notice)) || std::any_of(waiting.cbegin(), waiting.cend(), isNotice)
        || std::any_of(setAside.cbegin(), setAside.cend(), isNotice))
        return;
    if (opened && !current && !monitorShown) {
        display(notice);
        return;
    }
    if (opened && current && rank(notice.icon) > rank(current->icon)) {
        putBack(*current);
        display(notice);
        return;
    }
    enqueue(notice);
}

void NoticeQueue::open()
{
    opened = true;
    if (!current)
        showNext();
}

void NoticeQueue::dismissCurrent()
{
    if (!current)
        return;
    timer.stop();
    showNext();
}

void NoticeQueue::setMonitorShown(bool shown)
{
    if (shown == monitorShown)
        return;
    monitorShown = shown;
    if (shown) {
        // What was up or waiting comes after dictation, in the same order.
        if (current) {
            timer.stop();
            setAside << *current;
            current.reset();
            emit hide();
        }
        setAside << waiting;
        waiting.clear();
        return;
    }
    for (auto it = setAside.crbegin(); it != setAside.crend(); ++it)
        putBack(*it);
    setAside.clear();
    if (opened && !current)
        showNext();
}

void NoticeQueue::display(const Notice& notice)
{
    current = notice;
    timer.start(displayTime);
    emit show(notice.title, notice.text, notice.icon, displayTime);
}

void NoticeQueue::showNext()
{
    current.reset();
    if (!waiting.isEmpty() && !monitorShown)
        display(waiting.takeFirst());
}

void NoticeQueue::enqueue(const Notice& notice)
{
    const int r = rank(notice.icon);
    const auto at = std::find_if(waiting.begin(), waiting.end(), [r](const Notice& n) { return rank(n.icon) < r; });
    waiting.insert(at, notice);
    if (waiting.size() > MaxWaiting) {
        waiting.removeLast();
        qWarning() << "Too many notices waiting: the least important is not shown";
    }
}

void NoticeQueue::putBack(const Notice& notice)
{
    const int r = rank(notice.icon);
    const auto at = std::find_if(waiting.begin(), waiting.end(), [r](const Notice& n) { return rank(n.icon) <= r; });
    waiting.insert(at, notice);
}
