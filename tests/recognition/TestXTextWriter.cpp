#include "KeyRecorderWindow.h"
#include "TestHome.h"
#include "TextWriter.h"
#include "XHotKeyConverter.h"
#include "XTestKeyboard.h"
#include "XTextWriter.h"

#include <QtTest>

#include <memory>

namespace {
constexpr unsigned shiftMask = 0x01;
constexpr unsigned controlMask = 0x04;
constexpr unsigned groupMask = 0x6000;
constexpr unsigned long returnKeysym = 0xff0d;

// Runs the body without a DISPLAY, so every X connection fails to open.
template<typename Body>
void withoutDisplay(Body body)
{
    const QByteArray saved = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    body();
    qputenv("DISPLAY", saved);
}
} // namespace

class TestXTextWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void typesAsciiAndPunctuation();
    void lineBreaksAreShiftReturn();
    void spareKeycodeTypesCharactersWithoutKey();
    void cyrillicOnTwoGroupLayout();
    void layoutChangeRebuildsKeyTable();
    void failsForUntypableCharacters();
    void failsForVanishedWindow();
    void keyChordsReplayedThroughXTest_data();
    void keyChordsReplayedThroughXTest();
    void heldModifierIsNotPressedAgain();
    void chordWithoutKeyFails();
    void focusedWindowAndGeometry();
    void everyEntryPointFailsWithoutDisplay();

private:
    bool typeAndWait(const QString& text, const QString& expected);

    std::unique_ptr<KeyRecorderWindow> recorder;
    std::unique_ptr<XTestKeyboard> keyboard;
    std::unique_ptr<XTextWriter> writer;
};

void TestXTextWriter::initTestCase()
{
    TestHome::wipe();
    TestHome::useApplicationIdentity();
    keyboard.reset(new XTestKeyboard);
    QVERIFY2(keyboard->isOpen(), "these tests need an X display");
    recorder.reset(new KeyRecorderWindow(QRect(40, 60, 300, 120)));
}

void TestXTextWriter::init()
{
    keyboard->setLayout(QStringLiteral("us"));
    keyboard->focus(recorder->windowId());
    recorder->clear();
    writer.reset(new XTextWriter);
    QVERIFY(writer->isOpen());
}

void TestXTextWriter::cleanup()
{
    writer.reset();
    keyboard->releaseAll();
    keyboard->restoreLayout();
}

bool TestXTextWriter::typeAndWait(const QString& text, const QString& expected)
{
    if (!writer->writeText(recorder->windowId(), text))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (recorder->text() != expected && timer.elapsed() < 5000)
        QTest::qWait(10);
    return recorder->text() == expected;
}

void TestXTextWriter::typesAsciiAndPunctuation()
{
    const QString text = QStringLiteral("Hello, World! 0123456789 ~`@#$%^&*()_+-=[]{};':\"\\|,./<>? end");
    QVERIFY(typeAndWait(text, text));
    for (const KeyRecorderWindow::KeyEvent& event : recorder->events())
        QVERIFY(event.synthetic);
}

void TestXTextWriter::lineBreaksAreShiftReturn()
{
    QVERIFY(typeAndWait(QStringLiteral("a\nb\u00b6c"), QStringLiteral("a\nb\nc")));
    const QList<KeyRecorderWindow::KeyEvent> presses = recorder->presses();
    QCOMPARE(presses.size(), 5);
    for (int i : {1, 3}) {
        QCOMPARE(presses[i].keysym, returnKeysym);
        QVERIFY(presses[i].state & shiftMask);
    }
    // The borrowed keycode is given back.
    QCOMPARE(keyboard->keysymAt(presses[1].keycode), 0ul);
}

void TestXTextWriter::spareKeycodeTypesCharactersWithoutKey()
{
    // Neither the euro sign nor Cyrillic has a key on a plain "us" keyboard.
    const QString text = QStringLiteral("a€яЖb");
    QVERIFY(typeAndWait(text, text));
    const QList<KeyRecorderWindow::KeyEvent> presses = recorder->presses();
    QCOMPARE(presses.size(), 5);
    const unsigned spare = presses[1].keycode;
    QCOMPARE(presses[2].keycode, spare);
    QCOMPARE(presses[3].keycode, spare);
    QVERIFY(presses[0].keycode != spare);
    QCOMPARE(keyboard->keysymAt(spare), 0ul);
}

void TestXTextWriter::cyrillicOnTwoGroupLayout()
{
    QVERIFY(keyboard->setLayout(QStringLiteral("us,ru")));
    writer.reset(new XTextWriter);
    const QString text = QStringLiteral("Съешь же ещё этих мягких французских булок, да выпей чаю. Ok!");
    QVERIFY(typeAndWait(text, text));
    // Every character has a key of its own: the second group is chosen by the event's state.
    const QList<KeyRecorderWindow::KeyEvent> presses = recorder->presses();
    QCOMPARE(presses.first().state & groupMask, 0x2000u);
    QCOMPARE(presses.last().state & groupMask, 0u);
    for (const KeyRecorderWindow::KeyEvent& event : presses)
        QVERIFY(keyboard->keysymAt(event.keycode) != 0);
}

void TestXTextWriter::layoutChangeRebuildsKeyTable()
{
    // The writer read the "us" map; on "ru" alone the Latin keys produce Cyrillic.
    QVERIFY(keyboard->setLayout(QStringLiteral("ru")));
    QVERIFY(typeAndWait(QStringLiteral("abc ф"), QStringLiteral("abc ф")));
    QVERIFY(keyboard->setLayout(QStringLiteral("us")));
    recorder->clear();
    QVERIFY(typeAndWait(QStringLiteral("xyz"), QStringLiteral("xyz")));
}

void TestXTextWriter::failsForUntypableCharacters()
{
    QTest::ignoreMessage(QtInfoMsg, "XTextWriter: Unknown char 1");
    QTest::ignoreMessage(QtWarningMsg, "XTextWriter: 1 of 3 characters could not be typed");
    QVERIFY(!writer->writeText(recorder->windowId(), QStringLiteral("a\u0001b")));
    // The rest of the text still arrives.
    QTRY_COMPARE(recorder->text(), QStringLiteral("ab"));
}

void TestXTextWriter::failsForVanishedWindow()
{
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
    QTest::ignoreMessage(QtInfoMsg, "XTextWriter: No window");
    QVERIFY(!writer->writeText(0, QStringLiteral("text")));
    // Still alive and typing.
    QVERIFY(typeAndWait(QStringLiteral("ok"), QStringLiteral("ok")));
}

void TestXTextWriter::keyChordsReplayedThroughXTest_data()
{
    QTest::addColumn<QString>("chord");
    QTest::addColumn<QStringList>("pressed");
    QTest::addColumn<unsigned>("stateAtKey");

    QTest::newRow("ctrl shift home") << QStringLiteral("Ctrl+Shift+Home")
                                     << QStringList{"Shift_L", "Control_L", "Home"} << (shiftMask | controlMask);
    QTest::newRow("plain letter") << QStringLiteral("a") << QStringList{"a"} << 0u;
    QTest::newRow("alt f4") << QStringLiteral("Alt+F4") << QStringList{"Alt_L", "F4"} << 0x08u;
}

void TestXTextWriter::keyChordsReplayedThroughXTest()
{
    QFETCH(QString, chord);
    QFETCH(QStringList, pressed);
    QFETCH(unsigned, stateAtKey);

    XHotKeyConverter converter;
    const HotKeyInfo info = converter.ConvertFromString(chord);
    QCOMPARE(converter.ConvertToString(info), chord);
    QVERIFY(writer->writeKey(recorder->windowId(), info));

    QTRY_COMPARE(recorder->events().size(), 2 * pressed.size());
    const QList<KeyRecorderWindow::KeyEvent> events = recorder->events();
    for (int i = 0; i < pressed.size(); ++i) {
        QVERIFY(events[i].press);
        QVERIFY(!events[i].synthetic);
        QCOMPARE(events[i].keycode, keyboard->keycodeOf(pressed[i].toLatin1().constData()));
        // Released in reverse order.
        QVERIFY(!events[events.size() - 1 - i].press);
        QCOMPARE(events[events.size() - 1 - i].keycode, events[i].keycode);
    }
    QCOMPARE(events[pressed.size() - 1].state & 0xff, stateAtKey);
}

void TestXTextWriter::heldModifierIsNotPressedAgain()
{
    keyboard->press("Control_R");
    QTRY_COMPARE(recorder->events().size(), 1);
    XHotKeyConverter converter;
    QVERIFY(writer->writeKey(recorder->windowId(), converter.ConvertFromString(QStringLiteral("Ctrl+a"))));
    QTRY_COMPARE(recorder->events().size(), 3);
    const QList<KeyRecorderWindow::KeyEvent> events = recorder->events();
    QCOMPARE(events[1].keycode, keyboard->keycodeOf("a"));
    QVERIFY(events[1].state & controlMask);
    keyboard->release("Control_R");
}

void TestXTextWriter::chordWithoutKeyFails()
{
    XHotKeyConverter converter;
    QVERIFY(!writer->writeKey(recorder->windowId(), converter.ConvertFromString(QStringLiteral("Ctrl+NoSuchKey"))));
    HotKeyInfo outOfRange;
    outOfRange.keycode = 3; // below every real keycode: the server refuses it
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^X error: BadValue")));
    QVERIFY(!writer->writeKey(recorder->windowId(), outOfRange));
    QTest::qWait(50);
    QVERIFY(recorder->events().isEmpty());
}

void TestXTextWriter::focusedWindowAndGeometry()
{
    QCOMPARE(writer->getFocusedWindow(), recorder->windowId());
    keyboard->focusNone();
    QCOMPARE(writer->getFocusedWindow(), 0ul);

    QRect rect;
    QVERIFY(writer->getWindowRect(recorder->windowId(), &rect));
    QCOMPARE(rect, QRect(40, 60, 300, 120));
}

void TestXTextWriter::everyEntryPointFailsWithoutDisplay()
{
    writer.reset();
    TextWriter::Cleanup();
    QVERIFY(!TextWriter::WriteText(recorder->windowId(), QStringLiteral("x")));
    QCOMPARE(TextWriter::GetFocusedWindow(), 0ul);

    withoutDisplay([this] {
        TextWriter::Init();
        QVERIFY(TextWriter::Writer);
        QRect rect;
        QVERIFY(!TextWriter::WriteText(recorder->windowId(), QStringLiteral("x")));
        QVERIFY(!TextWriter::WriteKey(recorder->windowId(), HotKeyInfo{38, 0}));
        QCOMPARE(TextWriter::GetFocusedWindow(), 0ul);
        QVERIFY(!TextWriter::GetWindowRect(recorder->windowId(), &rect));
        TextWriter::Cleanup();
    });
    QVERIFY(!TextWriter::Writer);
    QTest::qWait(50);
    QVERIFY(recorder->events().isEmpty());
}

QTEST_MAIN(TestXTextWriter)
#include "TestXTextWriter.moc"
