#pragma once

#include <QObject>
#include <QString>

#include <atomic>

#include "CancellationCondition.h"

// A worker with a fixed life cycle (initialize, process, clean up) that runs
// in the thread of the SubService owning it.
class BaseWorker : public QObject
{
    Q_OBJECT

public:
    explicit BaseWorker(QObject* parent = nullptr);
    ~BaseWorker() override;

    // The name, set to the class name on first use when it was empty.
    QString workerName();

    // Called by the SubService before it queues a run: a stop that follows at
    // once must wait for that run instead of trusting the last run's flag.
    void prepareRun() { workDone.store(false); }

    virtual void initialize();
    virtual void process(CancellationCondition* cancellationCondition) = 0;
    virtual void cleanUp();

public slots:
    void run(CancellationConditionPtr cancellationCondition);
    void onStopWorker(CancellationConditionPtr cancellationCondition);
    virtual bool isWorkDone(CancellationCondition* cancellationCondition);
    virtual void onStop();

protected:
    QString name;
    unsigned long startDelay = 0;
    std::atomic<bool> workDone{false};
};

Q_DECLARE_METATYPE(CancellationConditionPtr)
