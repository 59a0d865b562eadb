#pragma once

#include "RecognitionModeInfo.h"
#include "TextResult.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <variant>

// The results and mode reports of the link on their way to the result
// handling, in the order they came. A partial result (without a command)
// that a newer result follows before it was handed on is dropped: only the
// newest can be seen. Partials are handed on at most every MinPartialGapMs,
// the rest a few milliseconds' worth per turn of the event loop, so that the
// GUI thread does what it can show, not what the server sends, and hears
// hotkeys and clicks in between. Lives in the GUI thread; pushed from any.
class ResultQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int MinPartialGapMs = 50;
    static constexpr int TurnBudgetMs = 10;

    struct Handlers
    {
        std::function<void(const TextResult&)> result;
        std::function<void(const RecognitionModeInfo&)> mode;
        std::function<void()> flush;
    };

    explicit ResultQueue(Handlers handlers, QObject* parent = nullptr);
    ~ResultQueue() override;

    // Any thread.
    void pushResult(const TextResult& result);
    void pushMode(const RecognitionModeInfo& info);
    // Runs the flush handler once what waits now is handed on; false, running
    // nothing, when nothing waits.
    bool pushFlush();
    // Drops the results that wait; the mode reports and flushes stay. Answers
    // how many were dropped.
    int dropResults();
    // Drops the partials that wait, but for one a flush waits behind (the
    // link dropped after it came).
    void dropUnflushedPartials();
    bool isEmpty() const;

private:
    struct Flush
    {
    };
    using Item = std::variant<TextResult, RecognitionModeInfo, Flush>;
    enum class Wakeup { None, Posted, Timed };

    static bool isPlainPartial(const Item& item);
    void push(Item item);
    // Under the mutex: makes sure what waits is handed on.
    void wake();
    void deliver();
    void handle(const Item& item);

    const Handlers handlers;
    mutable QMutex mutex;
    std::deque<Item> items;
    Wakeup wakeup = Wakeup::None;
    // GUI thread only.
    QElapsedTimer sincePartial;
    QTimer gapTimer;
};
