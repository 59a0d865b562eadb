#pragma once

#include "CancellationCondition.h"

#include <QObject>

#include <memory>

class BaseWorker;
class QRecursiveMutex;
class QThread;

// Owns one worker and the thread it runs in; starts and stops it.
// Start, Stop and the destructor run in the caller's thread (the GUI thread).
class SubService : public QObject
{
    Q_OBJECT

public:
    SubService(BaseWorker* worker, bool autoStart);
    ~SubService() override;

    bool isAutoStart() const { return autoStart; }
    bool isStarted() const { return started; }
    BaseWorker* getWorker() const { return worker; }
    QThread* getThread() const { return thread; }

    // Limits of the stop protocol, settable for tests.
    void setStopTimeout(unsigned long msecs) { stopTimeout = msecs; }
    void setPollInterval(unsigned long msecs) { pollInterval = msecs; }

signals:
    void runService(CancellationConditionPtr cancellationCondition);
    void stopService(CancellationConditionPtr cancellationCondition);

public slots:
    void Start();
    void Stop();

private:
    void stopLocked();
    void destroyWorker();

    unsigned long stopTimeout = 5000;
    unsigned long pollInterval = 100;
    std::unique_ptr<QRecursiveMutex> lock;
    QThread* thread = nullptr;
    BaseWorker* worker = nullptr;
    CancellationConditionPtr condition;
    bool started = false;
    bool autoStart;
};
