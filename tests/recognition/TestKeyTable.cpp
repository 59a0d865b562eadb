#include "KeyTable.h"

#include <QtTest>

namespace {
constexpr unsigned shift = 0x01;
constexpr unsigned lock = 0x02;
constexpr unsigned mod5 = 0x80;

// Types as a "us,ru" keyboard with AltGr has them: two levels; four levels
// where level three comes through LevelThree (resolved to Mod5), also with
// Lock, and the fourth is out of reach; Return on both levels.
KeymapDescription keyboard()
{
    KeymapDescription map;
    map.types << KeymapDescription::KeyType{1, 0, {}}
              << KeymapDescription::KeyType{2, shift, {{true, shift, 1}}}
              << KeymapDescription::KeyType{4, shift | mod5, {{true, shift, 1}, {true, mod5 | lock, 2}, {true, mod5, 2}, {false, shift | mod5, 3}}};
    auto key = [&map](int keycode, unsigned modifiers, QVector<KeymapDescription::Group> groups) {
        map.keys << KeymapDescription::Key{keycode, modifiers, groups};
    };
    key(8, 0, {});
    key(9, 0, {{0, {0xff1b}}});
    key(22, 0, {{0, {0xff08}}});
    key(24, 0, {{2, {'q', 'Q', '@', 0x10003a9}}});
    key(36, 0, {{1, {0xff0d, 0xff0d}}});
    key(38, 0, {{1, {'a', 'A'}}, {1, {0x6c6, 0x6e6}}}); // second group: Cyrillic ф Ф
    key(93, 0, {{1, {0x100044f, 0}}}); // lent: holds я
    key(119, 0, {{0, {0xffff}}});
    return map;
}
} // namespace

class TestKeyTable : public QObject
{
    Q_OBJECT

private slots:
    void keysAndTheirState_data();
    void keysAndTheirState();
};

void TestKeyTable::keysAndTheirState_data()
{
    QTest::addColumn<uint>("character");
    QTest::addColumn<bool>("mapped");
    QTest::addColumn<int>("keycode");
    QTest::addColumn<uint>("state");
    QTest::addColumn<qulonglong>("keysym");
    QTest::newRow("first level") << uint('a') << true << 38 << 0u << 0x61ull;
    QTest::newRow("Shift") << uint('A') << true << 38 << shift << 0x41ull;
    QTest::newRow("third level carries Mod5") << uint('@') << true << 24 << mod5 << 0x40ull;
    QTest::newRow("a level no modifier reaches") << uint(0x3a9) << false << 0 << 0u << 0x10003a9ull;
    QTest::newRow("second group") << uint(0x444) << true << 38 << (1u << 13) << 0x6c6ull;
    QTest::newRow("second group, Shift") << uint(0x424) << true << 38 << ((1u << 13) | shift) << 0x6e6ull;
    QTest::newRow("line feed is Shift+Return") << uint('\n') << true << 36 << shift << 0xff0dull;
    QTest::newRow("pilcrow too") << uint(0xb6) << true << 36 << shift << 0xff0dull;
    QTest::newRow("a lent key is none of the keyboard's") << uint(0x44f) << false << 0 << 0u << 0x100044full;
    QTest::newRow("no key: the Unicode keysym") << uint(0x20ac) << false << 0 << 0u << 0x10020acull;
    QTest::newRow("Latin-1 without a key") << uint(0xe9) << false << 0 << 0u << 0xe9ull;
    QTest::newRow("no keysym at all") << uint(0x1f) << false << 0 << 0u << 0ull;
    QTest::newRow("carriage return is Return") << uint('\r') << true << 36 << 0u << 0xff0dull;
    // Editing keys would change what the document holds.
    QTest::newRow("not BackSpace") << uint(0x08) << false << 0 << 0u << 0ull;
    QTest::newRow("not Escape") << uint(0x1b) << false << 0 << 0u << 0ull;
    QTest::newRow("not Delete") << uint(0x7f) << false << 0 << 0u << 0ull;
}

void TestKeyTable::keysAndTheirState()
{
    QFETCH(uint, character);
    QFETCH(bool, mapped);
    QFETCH(int, keycode);
    QFETCH(uint, state);
    QFETCH(qulonglong, keysym);
    KeyTable table;
    table.build(keyboard(), [](int code) { return code == 93; });
    const KeyTable::Key key = table.keyFor(character);
    QCOMPARE(key.mapped, mapped);
    QCOMPARE(int(key.keycode), keycode);
    QCOMPARE(key.state, state);
    QCOMPARE(qulonglong(key.keysym), keysym);
}

QTEST_APPLESS_MAIN(TestKeyTable)
#include "TestKeyTable.moc"
