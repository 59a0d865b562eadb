#include "BaseWorker.h"

#include "CancellationCondition.h"

#include <QDebug>
#include <QMetaObject>

#include <exception>
#include <memory>

BaseWorker::BaseWorker(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<CancellationCondition*>("CancellationCondition*");
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

void BaseWorker::run(CancellationCondition* cancellationCondition)
{
    workDone.store(false);
    // Shared ownership for as long as this thread can touch the condition.
    const std::shared_ptr<CancellationCondition> keep = cancellationCondition->shared_from_this();

    if (startDelay != 0)
        cancellationCondition->wait(startDelay);

    try {
        initialize();
        process(cancellationCondition);
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

void BaseWorker::onStopWorker(CancellationCondition*)
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
