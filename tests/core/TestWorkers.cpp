#include "BaseWorker.h"
#include "CancellationCondition.h"
#include "Exception.h"
#include "RepeatWorker.h"
#include "SubService.h"
#include "TestHome.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>
#include <QVector>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>

namespace {

QMutex logMutex;
QStringList capturedLog;
QtMessageHandler previousHandler = nullptr;

void captureHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        QMutexLocker lock(&logMutex);
        capturedLog << message;
    }
    if (type != QtDebugMsg)
        previousHandler(type, context, message);
}

int countLog(const QString& text)
{
    QMutexLocker lock(&logMutex);
    int n = 0;
    for (const QString& line : capturedLog)
        n += line.contains(text) ? 1 : 0;
    return n;
}

class CountingWorker : public RepeatWorker
{
    Q_OBJECT
public:
    explicit CountingWorker(unsigned long period) : RepeatWorker(period) { clock.start(); }
    void initialize() override
    {
        ++initialized;
        if (throwOnInitialize)
            throw Exception("init failed");
    }
    void cleanUp() override { ++cleanedUp; }
    void repeatableWork(CancellationCondition* condition) override
    {
        {
            QMutexLocker lock(&timesMutex);
            stepTimes << clock.elapsed();
        }
        ++steps;
        if (throwOnStep)
            throw Exception("x");
        if (cancelAfter > 0 && steps.load() >= cancelAfter)
            condition->cancel();
    }
    std::atomic<int> steps{0};
    std::atomic<int> initialized{0};
    std::atomic<int> cleanedUp{0};
    bool throwOnStep = false;
    bool throwOnInitialize = false;
    int cancelAfter = 0;

    // The shortest time between two steps, in ms.
    qint64 shortestGap()
    {
        QMutexLocker lock(&timesMutex);
        qint64 shortest = std::numeric_limits<qint64>::max();
        for (int i = 1; i < stepTimes.size(); ++i)
            shortest = std::min(shortest, stepTimes.at(i) - stepTimes.at(i - 1));
        return shortest;
    }

private:
    // Taken on the worker's thread: the test's own thread may be held up under load.
    QElapsedTimer clock;
    QMutex timesMutex;
    QVector<qint64> stepTimes;
};

// Counts the stops it handled; each run reads its condition until canceled. A
// stubborn one ignores cancellation for a while, like a step blocked in a system call.
class StopCountingWorker : public BaseWorker
{
    Q_OBJECT
public:
    void initialize() override { ++initialized; }
    void process(CancellationCondition* condition) override
    {
        if (stubbornMs) {
            entered = true;
            QThread::msleep(stubbornMs);
            stillSawCondition = !condition->isCanceled() || condition->isCanceled();
            finished = true;
        }
        while (!condition->isCanceled())
            condition->wait(5);
    }
    void cleanUp() override { ++cleanedUp; }
    void onStop() override
    {
        ++stops;
        BaseWorker::onStop();
    }
    std::atomic<int> initialized{0};
    std::atomic<int> cleanedUp{0};
    std::atomic<int> stops{0};
    unsigned long stubbornMs = 0;
    std::atomic<bool> entered{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> stillSawCondition{false};
};

} // namespace

class TestWorkers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stopWithoutStartIsSilent();
    void repeatsAtPeriodAndStopsPromptly();
    void restartRunsAgainWithFreshCondition();
    void failingStepIsThrottled();
    void runEndingByItselfIsCleanedUp_data();
    void runEndingByItselfIsCleanedUp();
    void stubbornWorkerIsNotWaitedForever();
    void quickStartStopCycles();
    void workerIsDestroyedInItsThread_data();
    void workerIsDestroyedInItsThread();
};

void TestWorkers::initTestCase()
{
    previousHandler = qInstallMessageHandler(captureHandler);
}

void TestWorkers::stopWithoutStartIsSilent()
{
    SubService service(new CountingWorker(100), true);
    const int before = countLog(QStringLiteral("Stop begin"));
    service.Stop();
    QCOMPARE(countLog(QStringLiteral("Stop begin")), before);
}

void TestWorkers::repeatsAtPeriodAndStopsPromptly()
{
    auto* worker = new CountingWorker(200);
    SubService service(worker, false);
    service.Start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->steps.load() >= 1, TestHome::scaled(150)); // first step at once
    QTRY_VERIFY_WITH_TIMEOUT(worker->steps.load() >= 4, TestHome::scaled(800));
    // Never sooner than the period (the clock counts whole ms).
    QVERIFY2(worker->shortestGap() >= 199, qPrintable(QString::number(worker->shortestGap())));

    QElapsedTimer stopping;
    stopping.start();
    service.Stop();
    QVERIFY2(stopping.elapsed() < TestHome::scaled(400), qPrintable(QString::number(stopping.elapsed())));
    QVERIFY(!service.isStarted());
    QCOMPARE(worker->cleanedUp.load(), 1);
    QVERIFY(countLog(QStringLiteral("cancellationCondition->isCanceled() - 1")) >= 1);
}

void TestWorkers::restartRunsAgainWithFreshCondition()
{
    auto* worker = new CountingWorker(50);
    SubService service(worker, false);
    service.Start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->steps.load() > 0, TestHome::scaled(5000));
    const int stopsBefore = countLog(QStringLiteral("Stop end:"));
    service.Start();
    QCOMPARE(countLog(QStringLiteral("Stop end:")), stopsBefore + 1);
    QTRY_COMPARE_WITH_TIMEOUT(worker->initialized.load(), 2, TestHome::scaled(5000));
    const int stepsAfterRestart = worker->steps.load();
    QTRY_VERIFY_WITH_TIMEOUT(worker->steps.load() > stepsAfterRestart, TestHome::scaled(5000));
    service.Stop();
}

void TestWorkers::failingStepIsThrottled()
{
    auto* worker = new CountingWorker(0);
    worker->throwOnStep = true;
    SubService service(worker, false);
    service.Start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->steps.load() >= 3, TestHome::scaled(800));
    service.Stop();
    QVERIFY2(worker->shortestGap() >= 99, qPrintable(QString::number(worker->shortestGap())));
    QVERIFY(countLog(QStringLiteral("Error in subService [CountingWorker]: \nx")) >= 2);
}

// A run that ends by itself (cancelled by its step, or failing to initialise)
// is cleaned up and leaves the service started.
void TestWorkers::runEndingByItselfIsCleanedUp_data()
{
    QTest::addColumn<bool>("failInitialize");
    QTest::addColumn<int>("steps");
    QTest::newRow("step cancels") << false << 3;
    QTest::newRow("initialize throws") << true << 0;
}

void TestWorkers::runEndingByItselfIsCleanedUp()
{
    QFETCH(bool, failInitialize);
    QFETCH(int, steps);
    auto* worker = new CountingWorker(10);
    worker->cancelAfter = 3;
    worker->throwOnInitialize = failInitialize;
    SubService service(worker, false);
    service.Start();
    QTRY_COMPARE_WITH_TIMEOUT(worker->cleanedUp.load(), 1, TestHome::scaled(5000));
    QCOMPARE(worker->steps.load(), steps);
    QVERIFY(service.isStarted());
    if (failInitialize)
        QTRY_COMPARE_WITH_TIMEOUT(countLog(QStringLiteral("External cycle error in subService [CountingWorker]: \ninit failed")), 1,
                                  TestHome::scaled(5000));
    service.Stop();
}

void TestWorkers::stubbornWorkerIsNotWaitedForever()
{
    auto* worker = new StopCountingWorker;
    // Longer than the stop's give-up time, however slow the machine.
    worker->stubbornMs = TestHome::scaled(1500);
    auto* service = new SubService(worker, false);
    service->setStopTimeout(200);
    service->setPollInterval(20);
    service->Start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->entered.load(), TestHome::scaled(5000));
    QElapsedTimer stopping;
    stopping.start();
    service->Stop();
    QVERIFY2(stopping.elapsed() < TestHome::scaled(700), qPrintable(QString::number(stopping.elapsed())));
    QVERIFY(!worker->finished.load());
    // The worker still reads its condition after the stop gave up: it must still exist.
    QTRY_VERIFY_WITH_TIMEOUT(worker->finished.load(), int(worker->stubbornMs) + TestHome::scaled(1500));
    QVERIFY(worker->stillSawCondition.load());
    QThread* thread = service->getThread();
    QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished() || !thread->isRunning(), TestHome::scaled(5000));
    delete service;
}

void TestWorkers::quickStartStopCycles()
{
    auto* worker = new StopCountingWorker;
    SubService service(worker, false);
    service.setPollInterval(1);
    for (int cycle = 1; cycle <= 2000; ++cycle) {
        service.Start();
        service.Stop();
        // A stop that returns before its worker took it leaves the run queued
        // for the next start, holding the condition this stop released.
        if (worker->stops.load() != cycle)
            QFAIL(qPrintable(QStringLiteral("cycle %1: %2 stops handled").arg(cycle).arg(worker->stops.load())));
        QCOMPARE(worker->initialized.load(), worker->cleanedUp.load());
    }
    const int runs = worker->initialized.load();
    service.Start();
    QTRY_COMPARE_WITH_TIMEOUT(worker->initialized.load(), runs + 1, TestHome::scaled(5000));
    service.Stop();
    QCOMPARE(worker->cleanedUp.load(), runs + 1);
}

void TestWorkers::workerIsDestroyedInItsThread_data()
{
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("stop");
    QTest::newRow("never started") << false << false;
    QTest::newRow("stopped") << true << true;
    QTest::newRow("running") << true << false;
}

void TestWorkers::workerIsDestroyedInItsThread()
{
    QFETCH(bool, start);
    QFETCH(bool, stop);
    auto* worker = new StopCountingWorker;
    QThread* destroyedIn = nullptr;
    bool destroyed = false;
    connect(worker, &QObject::destroyed, [&] {
        destroyed = true;
        destroyedIn = QThread::currentThread();
    });
    auto service = std::make_unique<SubService>(worker, false);
    QThread* workerThread = service->getThread();
    if (start) {
        service->Start();
        QTRY_COMPARE_WITH_TIMEOUT(worker->initialized.load(), 1, TestHome::scaled(5000));
    }
    if (stop)
        service->Stop();
    service.reset();
    QVERIFY(destroyed);
    QCOMPARE(destroyedIn, workerThread);
}

QTEST_GUILESS_MAIN(TestWorkers)
#include "TestWorkers.moc"
