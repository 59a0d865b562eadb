#include "XHotKeyConverter.h"
#include "XTestKeyboard.h"

#include <QKeyEvent>
#include <QtTest>

namespace {
XTestKeyboard* keyboard = nullptr;

quint32 keycode(const char* keysymName)
{
    return keysymName ? keyboard->keycodeOf(keysymName) : 0;
}
} // namespace

class TestXHotKeyConverter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void parseAndPrint_data();
    void parseAndPrint();
    void keypadLevelPrints();
    void fromEvent_data();
    void fromEvent();
    void qtModifiers();
    void withoutDisplay();
};

void TestXHotKeyConverter::initTestCase()
{
    keyboard = new XTestKeyboard;
    QVERIFY2(keyboard->isOpen(), "these tests need an X display");
    keyboard->setLayout(QStringLiteral("us"));
}

void TestXHotKeyConverter::cleanupTestCase()
{
    delete keyboard;
    keyboard = nullptr;
}

void TestXHotKeyConverter::parseAndPrint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<uint>("modifiers");
    QTest::addColumn<QString>("printed");

    QTest::newRow("ctrl shift a") << "Ctrl+Shift+a" << QByteArray("a") << 0x05u << "Ctrl+Shift+a";
    QTest::newRow("any case, any order") << "shift+CTRL+a" << QByteArray("a") << 0x05u << "Ctrl+Shift+a";
    QTest::newRow("all modifiers") << "Win+Shift+Alt+Ctrl+Home" << QByteArray("Home") << 0x4du
                                   << "Ctrl+Alt+Shift+Win+Home";
    QTest::newRow("modifiers only") << "Ctrl+Alt" << QByteArray() << 0x0cu << "Ctrl+Alt";
    QTest::newRow("empty") << "" << QByteArray() << 0u << "";
    QTest::newRow("lone plus") << "+" << QByteArray() << 0u << "";
    QTest::newRow("keypad digit") << "KP_7" << QByteArray("KP_7") << 0x10u << "KP_7";
    QTest::newRow("keypad delete is not special") << "KP_Delete" << QByteArray("KP_Delete") << 0u << "KP_Delete";
    QTest::newRow("unknown key name") << "Ctrl+NoSuchKey" << QByteArray() << 0x04u << "Ctrl";
    QTest::newRow("key names are case-sensitive") << "Ctrl+HOME" << QByteArray() << 0x04u << "Ctrl";
    QTest::newRow("last key wins") << "Ctrl+a+b" << QByteArray("b") << 0x04u << "Ctrl+b";
    QTest::newRow("keypad level follows the last key") << "KP_7+a" << QByteArray("a") << 0u << "a";
}

void TestXHotKeyConverter::parseAndPrint()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, key);
    QFETCH(uint, modifiers);
    QFETCH(QString, printed);

    XHotKeyConverter converter;
    const HotKeyInfo info = converter.ConvertFromString(text);
    QCOMPARE(info.keycode, keycode(key.isEmpty() ? nullptr : key.constData()));
    QCOMPARE(info.modifiers, modifiers);
    QCOMPARE(converter.ConvertToString(info), printed);
    QCOMPARE(converter.ConvertFromString(printed), info);
}

void TestXHotKeyConverter::keypadLevelPrints()
{
    XHotKeyConverter converter;
    QCOMPARE(converter.ConvertToString(HotKeyInfo{keycode("KP_7"), 0x10}), QStringLiteral("KP_7"));
    QCOMPARE(converter.ConvertToString(HotKeyInfo{keycode("KP_7"), 0}), QStringLiteral("KP_Home"));
}

void TestXHotKeyConverter::fromEvent_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<quint32>("nativeKeysym");
    QTest::addColumn<quint32>("nativeModifiers");
    QTest::addColumn<uint>("modifiers");

    // Caps Lock 0x02, Num Lock 0x10 and Mod5 0x80 of the event are dropped.
    QTest::newRow("locks dropped") << QByteArray("a") << 0x61u << (0x01u | 0x02 | 0x04 | 0x10 | 0x80) << 0x05u;
    QTest::newRow("win and alt") << QByteArray("Home") << 0xff50u << (0x08u | 0x40) << 0x48u;
    QTest::newRow("keypad digit") << QByteArray("KP_7") << 0xffb7u << 0x10u << 0x10u;
    QTest::newRow("keypad navigation") << QByteArray("KP_7") << 0xff95u << 0u << 0x10u;
    QTest::newRow("keypad delete") << QByteArray("KP_Delete") << 0xff9fu << 0x10u << 0u;
}

void TestXHotKeyConverter::fromEvent()
{
    QFETCH(QByteArray, key);
    QFETCH(quint32, nativeKeysym);
    QFETCH(quint32, nativeModifiers);
    QFETCH(uint, modifiers);

    XHotKeyConverter converter;
    const QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, keycode(key.constData()), nativeKeysym,
                          nativeModifiers);
    const HotKeyInfo info = converter.HotKeyFromEvent(&event);
    QCOMPARE(info.keycode, keycode(key.constData()));
    QCOMPARE(info.modifiers, modifiers);
}

void TestXHotKeyConverter::qtModifiers()
{
    XHotKeyConverter converter;
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;
    QCOMPARE(XHotKeyConverter::QtToNativeModifiers(all | Qt::KeypadModifier), 0x4du);
    QCOMPARE(XHotKeyConverter::NativeToQtModifiers(0xff), all);

    HotKeyInfo info{keycode("a"), 0x10 | 0x01};
    converter.SetQtModifiers(&info, Qt::ControlModifier | Qt::MetaModifier, true);
    QCOMPARE(info.modifiers, 0x55u);
    converter.SetQtModifiers(&info, Qt::ShiftModifier | Qt::MetaModifier, false);
    QCOMPARE(info.modifiers, 0x14u);
    QCOMPARE(converter.GetQtModifiers(&info), Qt::KeyboardModifiers(Qt::ControlModifier));
}

void TestXHotKeyConverter::withoutDisplay()
{
    const QByteArray saved = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    QTest::ignoreMessage(QtWarningMsg, "XHotKeyConverter: cannot open the X display; key names cannot be resolved");
    XHotKeyConverter converter;
    qputenv("DISPLAY", saved);

    QVERIFY(!converter.hasDisplay());
    QCOMPARE(converter.ConvertFromString(QStringLiteral("Ctrl+a")), (HotKeyInfo{0, 0x04}));
    QCOMPARE(converter.ConvertToString(HotKeyInfo{38, 0x04}), QStringLiteral("Ctrl+"));
}

QTEST_MAIN(TestXHotKeyConverter)
#include "TestXHotKeyConverter.moc"
