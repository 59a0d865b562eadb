#include "BackgroundRunner.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>

#include <exception>

BackgroundRunner::BackgroundRunner(const QString& threadName, QObject* parent)
    : QObject(parent)
    , threadName(threadName)
    , condition(std::make_shared<CancellationCondition>())
{
}

BackgroundRunner::~BackgroundRunner()
{
    // Under the condition's mutex: once it is canceled no work hands its end back to this object.
    condition->cancel();
    if (!thread)
        return;
    thread->quit();
    if (!thread->wait(QDeadlineTimer(qint64(stopWaitMs)))) {
        // Deleting a running QThread aborts the process; it ends with the process.
        qCritical().noquote() << "Thread" << threadName << "did not end within" << stopWaitMs << "ms; it is left behind";
        return;
    }
    delete thread;
}

void BackgroundRunner::startThread()
{
    thread = new QThread;
    thread->setObjectName(threadName);
    context = new QObject;
    context->moveToThread(thread);
    // Deleted in its own thread as that ends; work still queued is dropped with the thread's events.
    QObject* doomed = context;
    connect(thread, &QThread::finished, thread, [doomed] { delete doomed; }, Qt::DirectConnection);
    thread->start();
}

void BackgroundRunner::post(std::function<void(const CancellationCondition&)> work, std::function<void()> done)
{
    if (condition->isCanceled())
        return;
    if (!thread)
        startThread();
    ++pending;
    const CancellationConditionPtr canceled = condition;
    // By value: a thread left behind must not reach into the runner.
    const QString name = threadName;
    QMetaObject::invokeMethod(
        context,
        [this, work = std::move(work), done = std::move(done), canceled, name] {
            if (!canceled->isCanceled()) {
                try {
                    work(*canceled);
                } catch (const std::exception& e) {
                    qWarning().noquote() << "Error in BackgroundRunner" << name << ":" << e.what();
                } catch (...) {
                    qWarning().noquote() << "Error in BackgroundRunner" << name << ": unknown exception";
                }
            }
            QMutexLocker lock(canceled->mutex.get());
            if (!canceled->isCanceled())
                QMetaObject::invokeMethod(this, [this, done] { finishOne(done); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void BackgroundRunner::finishOne(const std::function<void()>& done)
{
    --pending;
    try {
        done();
    } catch (const std::exception& e) {
        qWarning().noquote() << "Error in BackgroundRunner" << threadName << ":" << e.what();
    } catch (...) {
        qWarning().noquote() << "Error in BackgroundRunner" << threadName << ": unknown exception";
    }
}
