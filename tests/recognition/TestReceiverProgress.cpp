#include "ReceiverProgress.h"

#include <QtTest>

// How far a receiver has read: answers to pings, and the time rule for
// windows that do not answer, never going back.
class TestReceiverProgress : public QObject
{
    Q_OBJECT

private slots:
    void answersMoveTheReadMark();
    void timeRuleWithoutAnswers();
    void paceWithoutAnswers();
};

void TestReceiverProgress::answersMoveTheReadMark()
{
    ReceiverProgress receiver(42);
    QVERIFY(!receiver.wantsPing());
    receiver.keySent(1, 0, true);
    receiver.keySent(2, 10, false);
    QVERIFY(receiver.wantsPing());
    receiver.pingSent(7);
    QVERIFY(!receiver.wantsPing());
    receiver.keySent(3, 20000, true);
    receiver.pingSent(8);
    QCOMPARE(receiver.readUpTo(30000), quint64(0));

    // An answer to someone else's ping changes nothing; answers come in order.
    receiver.pongReceived(99);
    QCOMPARE(receiver.readUpTo(30000), quint64(0));
    receiver.pongReceived(7);
    QCOMPARE(receiver.readUpTo(30000), quint64(2));
    QCOMPARE(receiver.unreadLentKeys(30000), 1);
    receiver.pongReceived(8);
    QCOMPARE(receiver.readUpTo(30000), quint64(3));
    QCOMPARE(receiver.unreadLentKeys(30000), 0);
    QCOMPARE(receiver.assumedReadAtUs(3), qint64(0));
}

void TestReceiverProgress::timeRuleWithoutAnswers()
{
    const qint64 after = ReceiverProgress::AssumedReadAfterUs;
    ReceiverProgress receiver;
    QVERIFY(!receiver.canPing());
    receiver.keySent(1, 0, true);
    receiver.keySent(2, 5000, true);
    QVERIFY(!receiver.wantsPing());
    QCOMPARE(receiver.readUpTo(after - 1), quint64(0));
    QCOMPARE(receiver.readUpTo(after), quint64(1));
    QCOMPARE(receiver.assumedReadAtUs(2), 5000 + after);
    // Forgetting what was read (as sending more does) keeps the mark where it was.
    receiver.keySent(3, after + 6000, false);
    QCOMPARE(receiver.readUpTo(after + 6000), quint64(2));
    QCOMPARE(receiver.unreadLentKeys(after + 6000), 0);
    QCOMPARE(receiver.readUpTo(2 * after + 6000), quint64(3));

    // A long text sent faster than a slow program reads it: its end is not
    // taken as read a few seconds after it went, but when such a program gets there.
    ReceiverProgress slow;
    const qint64 perKey = 1000000 / ReceiverProgress::AssumedReadKeysPerSecond;
    const int keys = static_cast<int>(2 * after / perKey);
    for (int key = 1; key <= keys; ++key)
        slow.keySent(key, key * 500, true);
    QVERIFY(slow.readUpTo(keys * 500 + after) < quint64(keys));
    QVERIFY(slow.assumedReadAtUs(keys) >= keys * perKey);
    QCOMPARE(slow.readUpTo(keys * perKey + 500 + after), quint64(keys));
    QCOMPARE(slow.unreadLentKeys(keys * perKey + 500 + after), 0);
}

// A first burst at once, then a steady pace; a window that answers sets its own.
void TestReceiverProgress::paceWithoutAnswers()
{
    ReceiverProgress silent;
    ReceiverProgress answering(42);
    const int burst = ReceiverProgress::UnansweredBurst;
    for (int key = 1; key <= burst + 1; ++key) {
        QCOMPARE(silent.paceWaitUs(1000000), qint64(0));
        silent.keySent(key, 1000000, false);
        answering.keySent(key, 1000000, false);
    }
    QVERIFY(silent.paceWaitUs(1000000) > 0);
    QCOMPARE(answering.paceWaitUs(1000000), qint64(0));
    const qint64 second = 1000000;
    QCOMPARE(silent.paceWaitUs(1000000 + second / ReceiverProgress::UnansweredKeysPerSecond), qint64(0));
}

QTEST_APPLESS_MAIN(TestReceiverProgress)
#include "TestReceiverProgress.moc"
