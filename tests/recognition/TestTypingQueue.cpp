#include "TestHome.h"
#include "TextWriter.h"
#include "TypingQueue.h"

#include <QRect>
#include <QtTest>

namespace {
// Types into a string, as many characters as its budget allows.
class BudgetWriter : public TextWriter
{
public:
    bool writeText(unsigned long, QString text) override
    {
        typed += text;
        return true;
    }
    bool writeKey(unsigned long, const HotKeyInfo& hotkey) override
    {
        typed += QStringLiteral("<%1>").arg(hotkey.keycode);
        return true;
    }
    unsigned long getFocusedWindow() override { return 0; }
    bool getWindowRect(unsigned long, QRect*) override { return false; }
    int typeSome(Typing& typing) override
    {
        typing.begun = true;
        const int end = typing.window == lostWindow ? std::min(typing.end, lostAt) : typing.end;
        for (; budget > 0 && typing.next < end; --budget)
            typed += QString::fromUcs4(&typing.characters[typing.next++], 1);
        typing.focusLost = typing.next < typing.end && typing.next == end;
        return budget > 0 ? 0 : 1;
    }

    QString typed;
    int budget = 0;
    // The focus leaves this window once that many of its characters are typed.
    unsigned long lostWindow = 0;
    int lostAt = 0;
};
} // namespace

// What a stop keeps of the queue, through a writer that types on command.
class TestTypingQueue : public QObject
{
    Q_OBJECT

private slots:
    void stopKeepsTheWord_data();
    void stopKeepsTheWord();
    void chordsWaitForTheTextBeforeThem();
    void focusLossDropsWhatWaitsForThatWindow();
};

void TestTypingQueue::stopKeepsTheWord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("typedBefore");
    QTest::addColumn<QString>("expected");
    QTest::newRow("in a word") << "один два три" << 6 << "один два";
    QTest::newRow("between words") << "один два три" << 5 << "один ";
    QTest::newRow("before the first") << "один два три" << 0 << "";
    QTest::newRow("a long word is cut") << QString(200, 'x') + " конец" << 10 << QString(10 + TypingQueue::MaxWordAfterStop, 'x');
}

// The word being typed is finished; what follows, later texts and chords
// included, is dropped and counted.
void TestTypingQueue::stopKeepsTheWord()
{
    QFETCH(QString, text);
    QFETCH(int, typedBefore);
    QFETCH(QString, expected);
    BudgetWriter writer;
    TypingQueue* queue = writer.queue();
    QSignalSpy stopped(queue, &TypingQueue::stopped);
    QSignalSpy idle(queue, &TypingQueue::idle);
    writer.budget = typedBefore;
    QVERIFY(queue->addText(1, text));
    QVERIFY(queue->addKey(1, HotKeyInfo{36, 0}));
    QVERIFY(queue->addText(1, QStringLiteral("потом")));
    QTRY_COMPARE_WITH_TIMEOUT(writer.typed.size(), typedBefore, TestHome::scaled(5000));

    writer.budget = 1000;
    queue->stopAfterWord();
    QVERIFY(idle.wait(TestHome::scaled(5000)));
    QCOMPARE(writer.typed, expected);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(stopped[0][0].toInt(), text.size() + 5 - expected.size());
    QVERIFY(!queue->isBusy());
}

void TestTypingQueue::chordsWaitForTheTextBeforeThem()
{
    BudgetWriter writer;
    TypingQueue* queue = writer.queue();
    // Nothing waits: pressed at once.
    QVERIFY(queue->addKey(1, HotKeyInfo{36, 0}));
    QCOMPARE(writer.typed, QStringLiteral("<36>"));
    writer.budget = 2;
    queue->addText(1, QStringLiteral("абв"));
    queue->addKey(1, HotKeyInfo{22, 0});
    queue->addText(1, QStringLiteral("г"));
    QCOMPARE(writer.typed, QStringLiteral("<36>аб"));
    writer.budget = 1000;
    QSignalSpy idle(queue, &TypingQueue::idle);
    QVERIFY(idle.wait(TestHome::scaled(5000)));
    QCOMPARE(writer.typed, QStringLiteral("<36>абв<22>г"));
}

// Texts and chords for the window that lost the focus are dropped and
// counted; another window's text still goes.
void TestTypingQueue::focusLossDropsWhatWaitsForThatWindow()
{
    BudgetWriter writer;
    writer.budget = 2;
    writer.lostWindow = 1;
    writer.lostAt = 4;
    TypingQueue* queue = writer.queue();
    QSignalSpy stopped(queue, &TypingQueue::stopped);
    QSignalSpy idle(queue, &TypingQueue::idle);
    QTest::ignoreMessage(QtWarningMsg, "Typing stopped, the window lost the focus: 13 characters received were not typed");
    queue->addText(1, QStringLiteral("один два три"));
    queue->addKey(1, HotKeyInfo{36, 0});
    queue->addText(2, QStringLiteral("другое"));
    queue->addText(1, QStringLiteral("потом"));
    writer.budget = 1000;
    QVERIFY(idle.wait(TestHome::scaled(5000)));
    QCOMPARE(writer.typed, QStringLiteral("одиндругое"));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(stopped[0][0].toInt(), 13);
}

QTEST_GUILESS_MAIN(TestTypingQueue)
#include "TestTypingQueue.moc"
