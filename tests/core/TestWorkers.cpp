#include "BaseWorker.h"
#include "CancellationCondition.h"
#include "Exception.h"
#include "RepeatWorker.h"
#include "SubService.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>

#include <atomic>
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
    explicit CountingWorker(unsigned long period) : RepeatWorker(period) {}
    void initialize() override
    {
        ++initialized;
        if (throwOnInitialize)
            throw Exception("init failed");
    }
    void cleanUp() override { ++cleanedUp; }
    void repeatableWork(CancellationCondition* condition) override
    {
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
    QTRY_COMPARE_WITH_TIMEOUT(worker->steps.load(), 1, 150); // first step at once
    QTest::qWait(650);
    const int steps = worker->steps.load();
    QVERIFY2(steps >= 3 && steps <= 5, qPrintable(QString::number(steps)));

    QElapsedTimer stopping;
    stopping.start();
    service.Stop();
    QVERIFY2(stopping.elapsed() < 400, qPrintable(QString::number(stopping.elapsed())));
    QVERIFY(!service.isStarted());
    QCOMPARE(worker->cleanedUp.load(), 1);
    QVERIFY(countLog(QStringLiteral("cancellationCondition->isCanceled() - 1")) >= 1);
}

void TestWorkers::restartRunsAgainWithFreshCondition()
{
    auto* worker = new CountingWorker(50);
    SubService service(worker, false);
    service.Start();
    QTRY_VERIFY(worker->steps.load() > 0);
    const int stopsBefore = countLog(QStringLiteral("Stop end:"));
    service.Start();
    QCOMPARE(countLog(QStringLiteral("Stop end:")), stopsBefore + 1);
    QTRY_COMPARE(worker->initialized.load(), 2);
    const int stepsAfterRestart = worker->steps.load();
    QTRY_VERIFY(worker->steps.load() > stepsAfterRestart);
    service.Stop();
}

void TestWorkers::failingStepIsThrottled()
{
    auto* worker = new CountingWorker(0);
    worker->throwOnStep = true;
    SubService service(worker, false);
    service.Start();
    QTest::qWait(550);
    service.Stop();
    const int steps = worker->steps.load();
    QVERIFY2(steps >= 2 && steps <= 8, qPrintable(QString::number(steps)));
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
    QTRY_COMPARE(worker->cleanedUp.load(), 1);
    QCOMPARE(worker->steps.load(), steps);
    QVERIFY(service.isStarted());
    if (failInitialize)
        QTRY_COMPARE(countLog(QStringLiteral("External cycle error in subService [CountingWorker]: \ninit failed")), 1);
    service.Stop();
}

void TestWorkers::stubbornWorkerIsNotWaitedForever()
{
    auto* worker = new StopCountingWorker;
    worker->stubbornMs = 1500;
    auto* service = new SubService(worker, false);
    service->setStopTimeout(200);
    service->setPollInterval(20);
    service->Start();
    QTRY_VERIFY(worker->entered.load());
    QElapsedTimer stopping;
    stopping.start();
    service->Stop();
    QVERIFY2(stopping.elapsed() < 700, qPrintable(QString::number(stopping.elapsed())));
    QVERIFY(!worker->finished.load());
    // The worker still reads its condition after the stop gave up: it must still exist.
    QTRY_VERIFY_WITH_TIMEOUT(worker->finished.load(), 3000);
    QVERIFY(worker->stillSawCondition.load());
    QThread* thread = service->getThread();
    QTRY_VERIFY(thread->isFinished() || !thread->isRunning());
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
    QTRY_COMPARE(worker->initialized.load(), runs + 1);
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
        QTRY_COMPARE(worker->initialized.load(), 1);
    }
    if (stop)
        service->Stop();
    service.reset();
    QVERIFY(destroyed);
    QCOMPARE(destroyedIn, workerThread);
}

QTEST_GUILESS_MAIN(TestWorkers)
#include "TestWorkers.moc"
