#pragma once

#include "BaseWorker.h"

// A worker whose process repeats one step at a fixed period until canceled.
class RepeatWorker : public BaseWorker
{
    Q_OBJECT

public:
    explicit RepeatWorker(unsigned long period, QObject* parent = nullptr);
    ~RepeatWorker() override;

    void process(CancellationCondition* cancellationCondition) override;
    virtual void repeatableWork(CancellationCondition* cancellationCondition) = 0;

    unsigned long getPeriod() const { return period; }

protected:
    unsigned long period;
};
