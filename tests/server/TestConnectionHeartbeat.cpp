#include "ConnectionHeartbeat.h"
#include "SubService.h"
#include "TestHome.h"
#include "WebSocketClient.h"

#include <QtTest>

#include <QTimer>

namespace {
constexpr unsigned long Period = 20;
constexpr qint64 TimeoutDelay = 400;
} // namespace

class TestConnectionHeartbeat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void slowButAnsweredPingsKeepTheLink();
    void unansweredPingTimesOutAndStops();

private:
    // Answers every ping of the heartbeat after `delayMs`, as a server would.
    static void answerPings(ConnectionHeartbeat* heartbeat, WebSocketClient* client, int delayMs, bool* answering);
};

void TestConnectionHeartbeat::initTestCase()
{
    TestHome::useApplicationIdentity();
    TestHome::wipe();
}

void TestConnectionHeartbeat::answerPings(ConnectionHeartbeat* heartbeat, WebSocketClient* client, int delayMs,
                                          bool* answering)
{
    connect(heartbeat, &ConnectionHeartbeat::ping, client, [client, delayMs, answering] {
        QTimer::singleShot(delayMs, client, [client, answering] {
            if (*answering)
                QMetaObject::invokeMethod(client, "onPong");
        });
    }, Qt::QueuedConnection);
}

// Every answer comes well within the limit but late enough that a step sees
// the ping still open; measured from the start alone this would drop the link
// as soon as the session is older than the limit.
void TestConnectionHeartbeat::slowButAnsweredPingsKeepTheLink()
{
    WebSocketClient client;
    auto* heartbeat = new ConnectionHeartbeat(&client, Period, TimeoutDelay);
    bool answering = true;
    answerPings(heartbeat, &client, 150, &answering);
    QSignalSpy pings(heartbeat, &ConnectionHeartbeat::ping);
    QSignalSpy timeouts(heartbeat, &ConnectionHeartbeat::timeout);

    SubService service(heartbeat, true);
    service.setPollInterval(10);
    service.Start();
    // Six answered round trips take well over the time-out delay.
    QTRY_VERIFY_WITH_TIMEOUT(pings.count() >= 6, 10000);
    QCOMPARE(timeouts.count(), 0);

    // Then the server falls silent: the link is dropped once, and the worker ends.
    answering = false;
    QTRY_COMPARE_WITH_TIMEOUT(timeouts.count(), 1, 5000);
    const int pingsAtTimeout = pings.count();
    service.Stop();
    QCOMPARE(timeouts.count(), 1);
    QCOMPARE(pings.count(), pingsAtTimeout);
}

void TestConnectionHeartbeat::unansweredPingTimesOutAndStops()
{
    WebSocketClient client;
    auto* heartbeat = new ConnectionHeartbeat(&client, Period, TimeoutDelay);
    QSignalSpy pings(heartbeat, &ConnectionHeartbeat::ping);
    QSignalSpy timeouts(heartbeat, &ConnectionHeartbeat::timeout);
    QElapsedTimer elapsed;
    elapsed.start();

    SubService service(heartbeat, true);
    service.setPollInterval(10);
    service.Start();
    QTRY_COMPARE_WITH_TIMEOUT(timeouts.count(), 1, 5000);
    QVERIFY(elapsed.elapsed() >= TimeoutDelay);
    // One ping at the start, none while it stays unanswered.
    QCOMPARE(pings.count(), 1);
    QVERIFY(service.getThread()->isRunning());
    service.Stop();
    QCOMPARE(timeouts.count(), 1);
}

QTEST_GUILESS_MAIN(TestConnectionHeartbeat)
#include "TestConnectionHeartbeat.moc"
