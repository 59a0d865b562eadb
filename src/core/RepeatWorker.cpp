#include "RepeatWorker.h"

#include "CancellationCondition.h"

#include <QDebug>

#include <algorithm>
#include <exception>

namespace {
// A failing step waits before it is tried again, so it cannot spin a core or flood the log.
constexpr unsigned long MinimumRetryDelay = 100;
}

RepeatWorker::RepeatWorker(unsigned long period, QObject* parent)
    : BaseWorker(parent)
    , period(period)
{
}

RepeatWorker::~RepeatWorker() = default;

void RepeatWorker::process(CancellationCondition* cancellationCondition)
{
    for (;;) {
        if (cancellationCondition->isCanceled()) {
            qDebug() << "cancellationCondition->isCanceled() - 1";
            return;
        }

        bool failed = false;
        try {
            repeatableWork(cancellationCondition);
        } catch (const std::exception& e) {
            qCritical().noquote().nospace() << "Error in subService [" << workerName() + "]: \n" << e.what();
            failed = true;
        } catch (...) {
            qCritical().noquote().nospace() << "Unknown error in subService [" << workerName() << "]";
            failed = true;
        }

        if (cancellationCondition->isCanceled()) {
            qDebug() << "cancellationCondition->isCanceled() - 2";
            return;
        }

        if (failed)
            cancellationCondition->wait(std::max(period, MinimumRetryDelay));
        else if (period != 0)
            cancellationCondition->wait(period);
    }
}
