#include "BaseWorker.h"

#include "CancellationCondition.h"

#include <QDebug>
#include <QMetaObject>

#include <exception>

BaseWorker::BaseWorker(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<CancellationConditionPtr>("CancellationConditionPtr");
}

BaseWorker::~BaseWorker() = default;

QString BaseWorker::workerName()
{
    if (name.isEmpty())
        name = QString::fromLatin1(metaObject()->className());
    return name;
}

void BaseWorker::initialize()
{
    qDebug() << "initialize";
}

void BaseWorker::cleanUp()
{
    qDebug() << "cleanUp";
}

bool BaseWorker::isWorkDone(CancellationCondition*)
{
    return workDone.load();
}

void BaseWorker::onStop()
{
    workDone.store(true);
}

void BaseWorker::run(CancellationConditionPtr cancellationCondition)
{
    // Stopped before it began (a start at once followed by a stop, or a run
    // left queued by a stop that gave up): nothing to set up or clean up.
    if (!cancellationCondition || cancellationCondition->isCanceled()) {
        qDebug().noquote() << "Run skipped, already stopped:" << workerName();
        return;
    }
    workDone.store(false);

    if (startDelay != 0)
        cancellationCondition->wait(startDelay);

    try {
        initialize();
        process(cancellationCondition.get());
    } catch (const std::exception& e) {
        qCritical().noquote().nospace() << "External cycle error in subService [" << workerName() + "]: \n" << e.what();
    } catch (...) {
        qCritical().noquote().nospace() << "External cycle unknown error in subService [" << workerName() << "]";
    }

    try {
        cleanUp();
    } catch (const std::exception& e) {
        qCritical().noquote().nospace() << "CleanUp error in subService [" << workerName() + "]: \n" << e.what();
    } catch (...) {
        qCritical().noquote().nospace() << "CleanUp unknown error in subService [" << workerName() << "]";
    }
}

void BaseWorker::onStopWorker(CancellationConditionPtr)
{
    try {
        onStop();
    } catch (const std::exception& e) {
        qCritical().noquote().nospace() << "onStop errorin subService [" << workerName() + "]: \n" << e.what();
        workDone.store(true);
    } catch (...) {
        qCritical().noquote().nospace() << "onStop unknown error in subService [" << workerName() << "]";
        workDone.store(true);
    }
}
