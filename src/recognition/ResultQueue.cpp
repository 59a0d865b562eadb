#include "ResultQueue.h"

#include <QMutexLocker>

#include <algorithm>
#include <utility>

ResultQueue::ResultQueue(Handlers handlers, QObject* parent)
    : QObject(parent)
    , handlers(std::move(handlers))
{
    gapTimer.setSingleShot(true);
    connect(&gapTimer, &QTimer::timeout, this, &ResultQueue::deliver);
}

ResultQueue::~ResultQueue() = default;

bool ResultQueue::isPlainPartial(const Item& item)
{
    const auto* result = std::get_if<TextResult>(&item);
    return result && !result->isFinal() && result->commandId().isEmpty();
}

void ResultQueue::pushResult(const TextResult& result)
{
    push(result);
}

void ResultQueue::pushMode(const RecognitionModeInfo& info)
{
    push(info);
}

bool ResultQueue::pushFlush()
{
    QMutexLocker lock(&mutex);
    if (items.empty())
        return false;
    items.emplace_back(Flush());
    wake();
    return true;
}

void ResultQueue::push(Item item)
{
    QMutexLocker lock(&mutex);
    // Plain partials are only ever last: a newer result takes the place of one.
    if (std::holds_alternative<TextResult>(item) && !items.empty() && isPlainPartial(items.back()))
        items.back() = std::move(item);
    else
        items.push_back(std::move(item));
    wake();
}

void ResultQueue::wake()
{
    if (wakeup == Wakeup::Posted)
        return;
    // The gap timer hands on a partial that waits alone.
    if (wakeup == Wakeup::Timed && items.size() == 1 && isPlainPartial(items.front()))
        return;
    wakeup = Wakeup::Posted;
    QMetaObject::invokeMethod(this, &ResultQueue::deliver, Qt::QueuedConnection);
}

int ResultQueue::dropResults()
{
    QMutexLocker lock(&mutex);
    const auto kept = std::remove_if(items.begin(), items.end(),
                                     [](const Item& item) { return std::holds_alternative<TextResult>(item); });
    const int count = int(items.end() - kept);
    items.erase(kept, items.end());
    return count;
}

void ResultQueue::dropUnflushedPartials()
{
    QMutexLocker lock(&mutex);
    const auto flush = std::find_if(items.rbegin(), items.rend(),
                                    [](const Item& item) { return std::holds_alternative<Flush>(item); });
    items.erase(std::remove_if(flush.base(), items.end(), isPlainPartial), items.end());
}

bool ResultQueue::isEmpty() const
{
    QMutexLocker lock(&mutex);
    return items.empty();
}

void ResultQueue::deliver()
{
    QElapsedTimer turn;
    turn.start();
    {
        // What is pushed from here on posts again, once.
        QMutexLocker lock(&mutex);
        wakeup = Wakeup::None;
    }
    for (;;) {
        Item item;
        {
            QMutexLocker lock(&mutex);
            if (items.empty())
                return;
            const bool partial = isPlainPartial(items.front());
            if (partial && items.size() == 1 && sincePartial.isValid() && sincePartial.elapsed() < MinPartialGapMs) {
                wakeup = Wakeup::Timed;
                gapTimer.start(int(MinPartialGapMs - sincePartial.elapsed()));
                return;
            }
            if (turn.elapsed() >= TurnBudgetMs) {
                wake();
                return;
            }
            item = std::move(items.front());
            items.pop_front();
            if (partial)
                sincePartial.start();
        }
        handle(item);
    }
}

void ResultQueue::handle(const Item& item)
{
    if (const auto* result = std::get_if<TextResult>(&item)) {
        if (handlers.result)
            handlers.result(*result);
    } else if (const auto* info = std::get_if<RecognitionModeInfo>(&item)) {
        if (handlers.mode)
            handlers.mode(*info);
    } else if (handlers.flush) {
        handlers.flush();
    }
}
