#include "SubService.h"

#include "BaseWorker.h"
#include "CancellationCondition.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QThread>

SubService::SubService(BaseWorker* worker, bool autoStart)
    : QObject(nullptr)
    , lock(new QRecursiveMutex)
    , autoStart(autoStart)
{
    if (!worker) {
        qWarning() << "SubService created without a worker";
        return;
    }
    this->worker = worker;
    thread = new QThread;
    thread->setObjectName(worker->workerName());
    worker->moveToThread(thread);
    connect(this, &SubService::runService, worker, &BaseWorker::run, Qt::QueuedConnection);
    connect(this, &SubService::stopService, worker, &BaseWorker::onStopWorker, Qt::QueuedConnection);
}

SubService::~SubService()
{
    {
        QMutexLocker locker(lock.get());
        if (started)
            stopLocked();
    }
    if (worker)
        destroyWorker();
    worker = nullptr;
    thread = nullptr;
}

void SubService::destroyWorker()
{
    if (thread->isRunning()) {
        // Deleting a running QThread aborts the process; leave it and its worker.
        qCritical().noquote() << "Thread of" << worker->workerName() << "is still running; it is left behind";
        return;
    }
    // The worker's sockets and timers belong to its thread, so it is deleted
    // there, as the thread finishes. Not by deleteLater: a deleteLater to an
    // ended thread is lost, and without an application object (a service held
    // by a static, destroyed after main) no event is delivered at all.
    BaseWorker* doomed = worker;
    connect(thread, &QThread::finished, thread, [doomed] { delete doomed; }, Qt::DirectConnection);
    thread->start(QThread::InheritPriority);
    thread->quit();
    if (!thread->wait(QDeadlineTimer(qint64(stopTimeout)))) {
        qCritical().noquote() << "Thread of" << thread->objectName() << "did not end; it is left behind";
        return;
    }
    delete thread;
}

void SubService::Start()
{
    QMutexLocker locker(lock.get());
    if (!worker)
        return;
    if (started)
        stopLocked();
    qDebug().noquote() << "Start begin:" << worker->workerName();
    condition = std::make_shared<CancellationCondition>();
    worker->prepareRun();
    thread->start(QThread::InheritPriority);
    emit runService(condition);
    started = true;
    qDebug().noquote() << "Start end:" << worker->workerName();
}

void SubService::Stop()
{
    QMutexLocker locker(lock.get());
    if (!started)
        return;
    stopLocked();
}

void SubService::stopLocked()
{
    qDebug().noquote() << "Stop begin:" << worker->workerName();
    condition->cancel();
    // A worker inside a blocking call (a REST request) hears the stop only
    // there: without this its thread, and this one, would wait the call out.
    thread->requestInterruption();
    emit stopService(condition);

    unsigned long elapsed = 0;
    while (!worker->isWorkDone(condition.get()) && elapsed < stopTimeout) {
        QThread::msleep(pollInterval);
        elapsed += pollInterval;
    }

    thread->quit();
    if (!thread->wait(QDeadlineTimer(qint64(stopTimeout)))) {
        qCritical().noquote() << "Worker" << worker->workerName() << "did not stop within"
                              << stopTimeout << "ms";
    }
    condition.reset();
    started = false;
    qDebug().noquote() << "Stop end:" << worker->workerName();
}
