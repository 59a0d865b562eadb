#pragma once

#include "CancellationCondition.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

// Runs work that may block (files, child programs) in a thread of its own, one
// piece after another in the order given, and hands each end back to the
// thread the runner lives in (the GUI thread). Going away, it cancels what is
// queued or running and waits a bounded time for the work to notice.
class BackgroundRunner : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultStopWaitMs = 3000;

    explicit BackgroundRunner(const QString& threadName, QObject* parent = nullptr);
    ~BackgroundRunner() override;
    BackgroundRunner(const BackgroundRunner&) = delete;
    BackgroundRunner& operator=(const BackgroundRunner&) = delete;

    // Canceled when the runner goes; long work checks it and ends its child programs.
    CancellationConditionPtr cancellation() const { return condition; }
    // Work queued, running, or whose end has not been handed back yet.
    bool isBusy() const { return pending > 0; }

    // `work` runs in the runner's thread; `done` then runs in the runner's own
    // thread, unless the runner has gone meanwhile.
    void post(std::function<void(const CancellationCondition&)> work, std::function<void()> done);

    template<typename Result>
    void run(std::function<Result(const CancellationCondition&)> work, std::function<void(Result)> done)
    {
        auto result = std::make_shared<Result>();
        post([work, result](const CancellationCondition& canceled) { *result = work(canceled); },
             [done, result] { done(std::move(*result)); });
    }

    // How long going away waits for running work; settable for tests.
    void setStopWait(int msecs) { stopWaitMs = msecs; }

private:
    void startThread();
    void finishOne(const std::function<void()>& done);

    QString threadName;
    QThread* thread = nullptr;
    // Lives in the runner's thread; the work is queued to it.
    QObject* context = nullptr;
    CancellationConditionPtr condition;
    int pending = 0;
    int stopWaitMs = DefaultStopWaitMs;
};
