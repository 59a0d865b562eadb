#include "ChildProcess.h"
#include "KeyRecorderWindow.h"
#include "RecognitionModeInfo.h"
#include "ResultManager.h"
#include "TestHome.h"
#include "TextReceiver.h"
#include "TextWriter.h"
#include "TextWriterSettings.h"
#include "TypingQueue.h"
#include "TypingText.h"
#include "XHotKeyConverter.h"
#include "XTestKeyboard.h"
#include "XTextWriter.h"

#include <QMenu>
#include <QtTest>

#include <memory>

namespace {
constexpr unsigned shiftMask = 0x01;
constexpr unsigned controlMask = 0x04;
constexpr unsigned mod5Mask = 0x80;
constexpr unsigned long returnKeysym = 0xff0d;

void setEnterDelay(int milliseconds)
{
    TextWriterSettings settings;
    settings.EnterDelay = milliseconds;
    settings.sync();
}

// Where the received text first differs from the sent one, for the failure message.
QByteArray difference(const QString& sent, const QString& received)
{
    int at = 0;
    while (at < sent.size() && at < received.size() && sent[at] == received[at])
        ++at;
    return QStringLiteral("%1 of %2 characters received; first difference at %3: sent \"%4\", received \"%5\"")
        .arg(received.size())
        .arg(sent.size())
        .arg(at)
        .arg(sent.mid(at, 20), received.mid(at, 20))
        .toUtf8();
}

bool waitForLine(ChildProcess& process, const QByteArray& line, int msecs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < msecs && process.state() == QProcess::Running) {
        if (process.canReadLine()) {
            if (process.readLine().trimmed() == line)
                return true;
        } else {
            process.waitForReadyRead(50);
        }
    }
    return false;
}

// A typing client of its own process, as the program types.
bool startTypingClient(ChildProcess& client, QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
{
    client.setProcessChannelMode(channels);
    client.start(QStringLiteral(SCRIVORA_TYPING_CLIENT), QStringList());
    return client.waitForStarted(TestHome::scaled(10000)) && waitForLine(client, "READY", TestHome::scaled(20000));
}

void typeThrough(ChildProcess& client, unsigned long window, const QString& text)
{
    client.write("type " + QByteArray::number(qulonglong(window)) + ' ' + text.toUtf8().toHex() + '\n');
}
} // namespace

class TestXTextWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestHome::wipe();
        TestHome::useApplicationIdentity();
        QVERIFY2(keyboard.isOpen(), "these tests need an X display");
    }
    void init()
    {
        keyboard.setLayout(QStringLiteral("us"));
        keyboard.focus(recorder.windowId());
        recorder.clear();
        writer.reset(new XTextWriter);
        QVERIFY(writer->isOpen());
    }
    void cleanup()
    {
        writer.reset();
        keyboard.releaseAll();
        keyboard.restoreLayout();
    }
    void asciiAndLineBreaks();
    void spareKeycodeTypesCharactersWithoutKey();
    void longMixedTextOnUsLayout_data();
    void longMixedTextOnUsLayout();
    void exactAtTheReceiversPace_data();
    void exactAtTheReceiversPace();
    void frozenForSixSecondsLosesNothing_data();
    void frozenForSixSecondsLosesNothing();
    void thirdLevelCharactersCarryTheirModifier();
    void stopFinishesTheWordAndGivesTheMapBack();
    void tkWaitsWhileTheProgramsMenuHoldsTheKeyboard();
    void tkEndsAtAWordWhenTheFocusGoesElsewhere();
    void controlCharactersLeaveTheDocumentAlone();
    void keysLeftByAKilledClientGoBackAtTheNextStart();
    void quitWhileTypingWaitsForTheWindow();
    void noFreeKeycode();
    void layoutChangeRebuildsKeyTable();
    void failuresAreReported();
    void keyChordReplayedThroughXTest();
    void focusedWindowAndGeometry();
    void everyEntryPointFailsWithoutDisplay();

private:
    bool typeAndWait(const QString& text, const QString& expected);
    bool typeIntoTk(TextReceiver& tk, const QStringList& texts);

    XTestKeyboard keyboard;
    KeyRecorderWindow recorder{QRect(40, 60, 300, 120)};
    std::unique_ptr<XTextWriter> writer;
};

bool TestXTextWriter::typeAndWait(const QString& text, const QString& expected)
{
    return writer->writeText(recorder.windowId(), text)
        && QTest::qWaitFor([&] { return recorder.text() == expected; }, TestHome::scaled(5000));
}

void TestXTextWriter::asciiAndLineBreaks()
{
    const QString text = QStringLiteral("Hello, World! 0123456789 ~`@#$%^&*()_+-=[]{};':\"\\|,./<>? end");
    QVERIFY(typeAndWait(text, text));
    for (const KeyRecorderWindow::KeyEvent& event : recorder.events())
        QVERIFY(event.synthetic);

    // Line feed and pilcrow are Shift+Return, on the keyboard's own Return key.
    recorder.clear();
    QVERIFY(typeAndWait(QStringLiteral("a\nb\u00b6c"), QStringLiteral("a\nb\nc")));
    const QList<KeyRecorderWindow::KeyEvent> presses = recorder.presses();
    QCOMPARE(presses.size(), 5);
    for (int i : {1, 3}) {
        QCOMPARE(presses[i].keysym, returnKeysym);
        QVERIFY(presses[i].state & shiftMask);
        QCOMPARE(presses[i].keycode, keyboard.keycodeOf("Return"));
    }
}

void TestXTextWriter::spareKeycodeTypesCharactersWithoutKey()
{
    // Neither the euro sign nor Cyrillic has a key on a plain "us" keyboard.
    const QVector<unsigned long> map = keyboard.keyboardMap();
    const QString text = QStringLiteral("a€яЖb");
    QVERIFY(typeAndWait(text, text));
    const QList<KeyRecorderWindow::KeyEvent> presses = recorder.presses();
    QCOMPARE(presses.size(), 5);
    for (int i : {1, 2, 3}) {
        QVERIFY(presses[i].keycode != presses[0].keycode);
        QCOMPARE(keyboard.keysymAt(presses[i].keycode), 0ul);
    }
    // The borrowed keycodes are given back.
    QCOMPARE(keyboard.keyboardMap(), map);
}

void TestXTextWriter::longMixedTextOnUsLayout_data()
{
    QTest::addColumn<int>("enterDelay");
    QTest::newRow("EnterDelay 50") << 50;
    QTest::newRow("EnterDelay 0") << 0;
}

// Far more characters without a key than there are keycodes to lend, typed
// as the program types (between turns of the event loop): every one arrives
// as itself, whatever EnterDelay says, and the keyboard map is as it was.
void TestXTextWriter::longMixedTextOnUsLayout()
{
    QFETCH(int, enterDelay);
    setEnterDelay(enterDelay);
    writer.reset(new XTextWriter);
    setEnterDelay(50);
    const QVector<unsigned long> map = keyboard.keyboardMap();
    const QString text = TypingText::mixed(2000);
    QSignalSpy idle(writer->queue(), &TypingQueue::idle);
    QVERIFY(writer->queue()->addText(recorder.windowId(), text));
    QVERIFY(idle.wait(TestHome::scaled(60000)));
    const bool complete = QTest::qWaitFor([&] { return recorder.text().size() >= text.size(); }, TestHome::scaled(5000));
    QVERIFY2(complete && recorder.text() == text, difference(text, recorder.text()).constData());
    QCOMPARE(keyboard.keyboardMap(), map);
}

void TestXTextWriter::exactAtTheReceiversPace_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("enterDelay");
    QTest::addColumn<int>("keyCostUs");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<int>("length");
    struct Row
    {
        TextReceiver::Kind kind;
        const char* layout;
        int enterDelay;
        int keyCostUs;
        int pauseMs;
    };
    const Row rows[] = {
        {TextReceiver::Xlib, "us", 50, 0, 300},   {TextReceiver::Xlib, "us", 0, 300, 0},
        {TextReceiver::Qt, "us", 0, 0, 300},      {TextReceiver::Tk, "us", 50, 0, 300},
        {TextReceiver::Xlib, "de", 50, 0, 300},   {TextReceiver::Qt, "de", 50, 0, 300},
        {TextReceiver::Tk, "de", 0, 0, 300},      {TextReceiver::Xlib, "us,ru", 50, 0, 300},
        {TextReceiver::Tk, "us,ru", 50, 0, 300},   {TextReceiver::Xlib, "us,ru", 50, 300, 0},
        // Slower than the writer goes: seconds behind when the text ends.
        {TextReceiver::Xlib, "us", 0, 2000, 0},
    };
    for (const Row& row : rows) {
        const QString pace = row.pauseMs > 0 ? QStringLiteral("paused %1 ms").arg(row.pauseMs)
                                             : QStringLiteral("%1 us a key").arg(row.keyCostUs);
        QTest::newRow(qPrintable(QStringLiteral("%1, %2, %3, EnterDelay %4")
                                     .arg(TextReceiver::name(row.kind), QLatin1String(row.layout), pace)
                                     .arg(row.enterDelay)))
            << int(row.kind) << QString::fromLatin1(row.layout) << row.enterDelay << row.keyCostUs << row.pauseMs
            << (row.keyCostUs >= 1000 ? 4000 : 2000);
    }
}

// Programs read their key events on their GUI thread, at their own pace, and
// decode each with the keyboard map they hold when they get to it: every
// character arrives as itself, and the map is as it was once all is read.
void TestXTextWriter::exactAtTheReceiversPace()
{
    QFETCH(int, kind);
    QFETCH(QString, layout);
    QFETCH(int, enterDelay);
    QFETCH(int, keyCostUs);
    QFETCH(int, pauseMs);
    QFETCH(int, length);
    if (!TextReceiver::isAvailable(TextReceiver::Kind(kind)))
        QSKIP("wish (Tk) is not installed");
    QVERIFY(keyboard.setLayout(layout));
    const QVector<unsigned long> map = keyboard.keyboardMap();
    const QString text = TypingText::mixed(length);
    TextReceiver receiver(TextReceiver::Kind(kind), {keyCostUs, pauseMs > 0 ? 700 : 0, pauseMs});
    QString error;
    QVERIFY2(receiver.start(&error), qPrintable(error));
    keyboard.focus(receiver.window());
    setEnterDelay(enterDelay);
    writer.reset(new XTextWriter);
    setEnterDelay(50);

    QVERIFY(writer->queue()->addText(receiver.window(), text));
    QString received;
    (void)QTest::qWaitFor([&] { return (received = receiver.text()).size() >= text.size(); }, TestHome::scaled(120000));
    QVERIFY2(received == text, difference(text, received).constData());
    // A window that does not answer keeps the keys lent for long: the end of the writer gives them back.
    writer.reset();
    QCOMPARE(keyboard.keyboardMap(), map);
}

void TestXTextWriter::frozenForSixSecondsLosesNothing_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("wide");
    QTest::newRow("answers no pings") << int(TextReceiver::Xlib) << false;
    // Its keys go at its pace; with more characters than lent keys they change meaning in mid-text.
    QTest::newRow("answers pings, wide text") << int(TextReceiver::XlibAnsweringPings) << true;
}

// A program that stops reading for longer than a few seconds still holds keys
// typed with lent keycodes: they keep their meaning until it has read them.
void TestXTextWriter::frozenForSixSecondsLosesNothing()
{
    QFETCH(int, kind);
    QFETCH(bool, wide);
    const int pauseMs = 6000;
    const QVector<unsigned long> map = keyboard.keyboardMap();
    const QString text = wide ? TypingText::wide(1200) : TypingText::mixed(1200);
    TextReceiver receiver(TextReceiver::Kind(kind), {0, 200, pauseMs});
    QString error;
    QVERIFY2(receiver.start(&error), qPrintable(error));
    keyboard.focus(receiver.window());
    QVERIFY(writer->queue()->addText(receiver.window(), text));
    // Asked while it sleeps, it would answer only then, and hold the writer up.
    QTest::qWait(pauseMs);
    QString received;
    (void)QTest::qWaitFor([&] { return (received = receiver.text()).size() >= text.size(); }, TestHome::scaled(20000));
    QVERIFY2(received == text, difference(text, received).constData());
    writer.reset();
    QCOMPARE(keyboard.keyboardMap(), map);
}

// On layouts with AltGr the third level is reached through a virtual
// modifier: the event carries the real one it stands for.
void TestXTextWriter::thirdLevelCharactersCarryTheirModifier()
{
    QVERIFY(keyboard.setLayout(QStringLiteral("de")));
    const QString text = QStringLiteral("a@b.ru|{}\\~€");
    QVERIFY(typeAndWait(text, text));
    const QList<KeyRecorderWindow::KeyEvent> presses = recorder.presses();
    QCOMPARE(presses[1].keycode, keyboard.keycodeOf("q"));
    QVERIFY(presses[1].state & mod5Mask);
}

// A stop ends typing at the end of the word and drops the rest, saying how
// much; the map goes back then, and when the writer goes in the middle of a text.
void TestXTextWriter::stopFinishesTheWordAndGivesTheMapBack()
{
    const QVector<unsigned long> map = keyboard.keyboardMap();
    const QString text = TypingText::mixed(3000);
    const QString next = QStringLiteral("второй текст");
    TypingQueue* queue = writer->queue();
    QSignalSpy idle(queue, &TypingQueue::idle);
    QSignalSpy stopped(queue, &TypingQueue::stopped);
    queue->addText(recorder.windowId(), text);
    queue->addText(recorder.windowId(), next);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.text().size() > 300, TestHome::scaled(5000));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Typing stopped: \\d+ characters")));
    queue->stopAfterWord();
    QVERIFY(idle.wait(TestHome::scaled(5000)));
    QCOMPARE(stopped.count(), 1);
    const int typed = text.size() + next.size() - stopped[0][0].toInt();
    QVERIFY(typed < text.size());
    QVERIFY(text[typed].isSpace() || text[typed - 1].isSpace());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.text().size(), typed, TestHome::scaled(5000));
    QCOMPARE(recorder.text(), text.left(typed));
    QVERIFY(!queue->isBusy());
    QCOMPARE(keyboard.keyboardMap(), map);

    queue->addText(recorder.windowId(), text);
    QVERIFY(keyboard.keyboardMap() != map);
    writer.reset();
    QCOMPARE(keyboard.keyboardMap(), map);
}

// Tk in the middle of the texts, some hundred characters in.
bool TestXTextWriter::typeIntoTk(TextReceiver& tk, const QStringList& texts)
{
    QString error;
    if (!tk.start(&error))
        return false;
    keyboard.focus(tk.window());
    for (const QString& text : texts)
        writer->queue()->addText(tk.window(), text);
    return QTest::qWaitFor([&] { return tk.text().size() > 300; }, TestHome::scaled(10000));
}

// Tk reads keys only while it has the focus, which a menu of this program
// takes with the keyboard: typing waits for the menu to close, and nothing is lost.
void TestXTextWriter::tkWaitsWhileTheProgramsMenuHoldsTheKeyboard()
{
    TextReceiver tk(TextReceiver::Tk, {});
    if (!TextReceiver::isAvailable(TextReceiver::Tk))
        QSKIP("wish (Tk) is not installed");
    const QString text = TypingText::mixed(4000);
    QSignalSpy stopped(writer->queue(), &TypingQueue::stopped);
    QVERIFY(typeIntoTk(tk, {text}));
    QMenu menu;
    menu.addAction(QStringLiteral("Выход"));
    // As the user does: looks at it for a while, then Escape.
    QTimer::singleShot(1500, [this] { keyboard.tap("Escape"); });
    QTimer::singleShot(TestHome::scaled(10000), &menu, &QMenu::close);
    menu.exec(QPoint(300, 300));
    QString received;
    (void)QTest::qWaitFor([&] { return (received = tk.text()).size() >= text.size(); }, TestHome::scaled(20000));
    QVERIFY2(received == text, difference(text, received).constData());
    QCOMPARE(stopped.count(), 0);
}

// Another program takes the focus: Tk has the text up to a word's end, the
// count told is what it lacks, and the other window gets nothing.
void TestXTextWriter::tkEndsAtAWordWhenTheFocusGoesElsewhere()
{
    TextReceiver tk(TextReceiver::Tk, {});
    if (!TextReceiver::isAvailable(TextReceiver::Tk))
        QSKIP("wish (Tk) is not installed");
    const QString text = TypingText::mixed(4000);
    const QString next = QStringLiteral("следующий текст");
    QSignalSpy stopped(writer->queue(), &TypingQueue::stopped);
    QVERIFY(typeIntoTk(tk, {text, next}));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Typing stopped, the window lost the focus")));
    keyboard.focus(recorder.windowId());
    QVERIFY(stopped.wait(TestHome::scaled(10000)));
    const int typed = text.size() + next.size() - stopped[0][0].toInt();
    QVERIFY(typed > 300 && typed < text.size());
    QVERIFY(text[typed].isSpace() && !text[typed - 1].isSpace());
    QString received;
    (void)QTest::qWaitFor([&] { return (received = tk.text()).size() >= typed; }, TestHome::scaled(10000));
    QTest::qWait(TestHome::scaled(300));
    QVERIFY2(tk.text() == text.left(typed), difference(text.left(typed), tk.text()).constData());
    QVERIFY(recorder.text().isEmpty());
}

// A result of BackSpace, Delete and Escape after a first one: the document keeps it.
void TestXTextWriter::controlCharactersLeaveTheDocumentAlone()
{
    TextReceiver field(TextReceiver::Qt, {});
    QString error;
    QVERIFY2(field.start(&error), qPrintable(error));
    keyboard.focus(field.window());
    writer.reset();
    TextWriter::Init();
    ResultManager results(nullptr, nullptr, nullptr, nullptr);
    RecognitionModeInfo started;
    started.setMode(RecognitionModeNamespace::Text);
    started.setState(Started);
    results.modeChanged(started);
    TextResult result;
    result.setIsFinal(true);
    result.setText(QStringLiteral("первая фраза"));
    results.resultReceived(result);
    result.setText(QString(10, QChar(0x08)) + QStringLiteral("\u007f\u007f\u001bвторая"));
    QTest::ignoreMessage(QtInfoMsg, "Recognised text: 13 control characters left out");
    results.resultReceived(result);
    const QString expected = QStringLiteral("Первая фраза вторая");
    QString received;
    (void)QTest::qWaitFor([&] { return (received = field.text()).size() >= expected.size(); }, TestHome::scaled(10000));
    TextWriter::Cleanup();
    QCOMPARE(received, expected);
}

// A client killed while typing leaves keys lent; the next start on the
// display gives them back before it types.
void TestXTextWriter::keysLeftByAKilledClientGoBackAtTheNextStart()
{
    const QVector<unsigned long> map = keyboard.keyboardMap();
    QString error;
    {
        TextReceiver busy(TextReceiver::Xlib, {300, 0, 0});
        QVERIFY2(busy.start(&error), qPrintable(error));
        keyboard.focus(busy.window());
        ChildProcess killed;
        QVERIFY(startTypingClient(killed));
        typeThrough(killed, busy.window(), TypingText::mixed(3000));
        QTRY_VERIFY_WITH_TIMEOUT(keyboard.keyboardMap() != map, TestHome::scaled(10000));
        killed.endGroup();
        killed.waitForFinished(TestHome::scaled(5000));
        QVERIFY(keyboard.keyboardMap() != map);
    }

    TextReceiver receiver(TextReceiver::Xlib, {0, 200, 300});
    QVERIFY2(receiver.start(&error), qPrintable(error));
    keyboard.focus(receiver.window());
    ChildProcess next;
    QVERIFY(startTypingClient(next));
    QCOMPARE(keyboard.keyboardMap(), map);
    const QString text = TypingText::mixed(600);
    typeThrough(next, receiver.window(), text);
    QString received;
    (void)QTest::qWaitFor([&] { return (received = receiver.text()).size() >= text.size(); }, TestHome::scaled(60000));
    QVERIFY2(received == text, difference(text, received).constData());
    next.closeWriteChannel();
    QVERIFY(next.waitToEnd(TestHome::scaled(10000)));
    QCOMPARE(keyboard.keyboardMap(), map);
}

// Quitting in the middle of a text drops what was not sent, and gives the
// lent keys back only once the window has read what was: no letter arrives as
// another, and the map is as it was.
void TestXTextWriter::quitWhileTypingWaitsForTheWindow()
{
    const QVector<unsigned long> map = keyboard.keyboardMap();
    // It stops reading for a while, as a program busy elsewhere does, and the quit comes then.
    TextReceiver busy(TextReceiver::Xlib, {0, 150, 1500});
    QString error;
    QVERIFY2(busy.start(&error), qPrintable(error));
    keyboard.focus(busy.window());
    ChildProcess client;
    QVERIFY(startTypingClient(client, QProcess::MergedChannels));
    const QString text = TypingText::mixed(3000);
    typeThrough(client, busy.window(), text);
    QTRY_VERIFY_WITH_TIMEOUT(busy.text().size() >= 150, TestHome::scaled(10000));
    client.closeWriteChannel();
    QVERIFY(client.waitToEnd(TestHome::scaled(15000)));
    QCOMPARE(keyboard.keyboardMap(), map);
    QString received;
    QTRY_VERIFY_WITH_TIMEOUT((received = busy.text()) == busy.text(), TestHome::scaled(5000));
    QVERIFY2(text.startsWith(received), difference(text, received).constData());

    // The count told is honest: what never arrived is counted as not typed or
    // as maybe not read, and nothing that arrived is counted as not typed.
    const QString said = QString::fromUtf8(client.readAll());
    const QRegularExpressionMatch counts =
        QRegularExpression(QStringLiteral("(\\d+) characters received were not typed, (\\d+) may not have reached"))
            .match(said);
    QVERIFY2(counts.hasMatch(), qPrintable(said));
    const int notTyped = counts.captured(1).toInt();
    const int unread = counts.captured(2).toInt();
    const int missing = text.size() - received.size();
    QVERIFY2(notTyped <= missing && missing <= notTyped + unread,
             qPrintable(QStringLiteral("%1 not typed, %2 maybe unread, %3 missing").arg(notTyped).arg(unread).arg(missing)));
}

void TestXTextWriter::noFreeKeycode()
{
    keyboard.fillFreeKeycodes();
    QTest::ignoreMessage(QtWarningMsg, "XTextWriter: the keyboard has no free keycode; characters of no key cannot be typed");
    writer.reset(new XTextWriter);
    QVERIFY(!writer->hasSpareKeys());
    QTest::ignoreMessage(QtWarningMsg, "XTextWriter: no free keycode for characters that no key produces");
    QTest::ignoreMessage(QtWarningMsg, "XTextWriter: 1 of 3 characters could not be typed");
    QVERIFY(!writer->writeText(recorder.windowId(), QStringLiteral("aяb")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.text(), QStringLiteral("ab"), TestHome::scaled(5000));
}

void TestXTextWriter::layoutChangeRebuildsKeyTable()
{
    // The writer read the "us" map; on "ru" alone the Latin keys produce Cyrillic.
    QVERIFY(keyboard.setLayout(QStringLiteral("ru")));
    QVERIFY(typeAndWait(QStringLiteral("abc ф"), QStringLiteral("abc ф")));
    QVERIFY(keyboard.setLayout(QStringLiteral("us")));
    recorder.clear();
    QVERIFY(typeAndWait(QStringLiteral("xyz"), QStringLiteral("xyz")));
}

// X errors, characters without a key and chords without a key fail the call; the writer lives on.
void TestXTextWriter::failuresAreReported()
{
    QTest::ignoreMessage(QtInfoMsg, "XTextWriter: Unknown char 1");
    QTest::ignoreMessage(QtWarningMsg, "XTextWriter: 1 of 3 characters could not be typed");
    QVERIFY(!writer->writeText(recorder.windowId(), QStringLiteral("a\u0001b")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.text(), QStringLiteral("ab"), TestHome::scaled(5000));

    unsigned long gone = 0;
    {
        KeyRecorderWindow closed(QRect(0, 0, 10, 10));
        gone = closed.windowId();
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^X error: BadWindow")));
    QVERIFY(!writer->writeText(gone, QStringLiteral("text")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^X error: BadWindow")));
    QRect rect;
    QVERIFY(!writer->getWindowRect(gone, &rect));
    // A result flood while nothing has the focus writes a few lines, not one a result.
    static int noWindowLines = 0;
    noWindowLines = 0;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& line) {
        noWindowLines += line.startsWith(QLatin1String("XTextWriter: No window"));
    });
    for (int i = 0; i < 1000; ++i)
        QVERIFY(!writer->writeText(0, QStringLiteral("text")));
    qInstallMessageHandler(previous);
    QVERIFY2(noWindowLines >= 1 && noWindowLines <= 20, qPrintable(QString::number(noWindowLines)));

    XHotKeyConverter converter;
    QVERIFY(!writer->writeKey(recorder.windowId(), converter.ConvertFromString(QStringLiteral("Ctrl+NoSuchKey"))));
    HotKeyInfo outOfRange;
    outOfRange.keycode = 3; // below every real keycode: the server refuses it
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^X error: BadValue")));
    QVERIFY(!writer->writeKey(recorder.windowId(), outOfRange));

    recorder.clear();
    QVERIFY(typeAndWait(QStringLiteral("ok"), QStringLiteral("ok")));
}

// Replayed through XTest as real presses, released in reverse order.
void TestXTextWriter::keyChordReplayedThroughXTest()
{
    const QString chord = QStringLiteral("Ctrl+Shift+Home");
    const QList<const char*> pressed{"Shift_L", "Control_L", "Home"};
    QVERIFY(writer->writeKey(recorder.windowId(), XHotKeyConverter().ConvertFromString(chord)));

    QTRY_COMPARE_WITH_TIMEOUT(recorder.events().size(), 2 * pressed.size(), TestHome::scaled(5000));
    const QList<KeyRecorderWindow::KeyEvent> events = recorder.events();
    for (int i = 0; i < pressed.size(); ++i) {
        QVERIFY(events[i].press && !events[i].synthetic);
        QCOMPARE(events[i].keycode, keyboard.keycodeOf(pressed[i]));
        QVERIFY(!events[events.size() - 1 - i].press);
        QCOMPARE(events[events.size() - 1 - i].keycode, events[i].keycode);
    }
    QCOMPARE(events[2].state & 0xff, shiftMask | controlMask);
}

void TestXTextWriter::focusedWindowAndGeometry()
{
    QCOMPARE(writer->getFocusedWindow(), recorder.windowId());
    keyboard.focusNone();
    QCOMPARE(writer->getFocusedWindow(), 0ul);

    QRect rect;
    QVERIFY(writer->getWindowRect(recorder.windowId(), &rect));
    QCOMPARE(rect, QRect(40, 60, 300, 120));
}

void TestXTextWriter::everyEntryPointFailsWithoutDisplay()
{
    writer.reset();
    TextWriter::Cleanup();
    QVERIFY(!TextWriter::WriteText(recorder.windowId(), QStringLiteral("x")));
    QCOMPARE(TextWriter::GetFocusedWindow(), 0ul);

    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    TextWriter::Init();
    const bool installed = TextWriter::Writer != nullptr;
    QRect rect;
    const bool anySucceeded = TextWriter::WriteText(recorder.windowId(), QStringLiteral("x"))
        || TextWriter::WriteKey(recorder.windowId(), HotKeyInfo{38, 0}) || TextWriter::GetFocusedWindow() != 0
        || TextWriter::GetWindowRect(recorder.windowId(), &rect);
    TextWriter::Cleanup();
    qputenv("DISPLAY", display);
    QVERIFY(installed);
    QVERIFY(!anySucceeded);
    QVERIFY(!TextWriter::Writer);
    QTest::qWait(50);
    QVERIFY(recorder.events().isEmpty());
}

QTEST_MAIN(TestXTextWriter)
#include "TestXTextWriter.moc"
