#include "LentKeys.h"

#include <QtTest>

namespace {
constexpr unsigned shift = 0x01;
constexpr unsigned mod5 = 0x80;
constexpr unsigned long ya = 0x100044f;
constexpr unsigned long euro = 0x10020ac;
constexpr unsigned long window = 5;

// Keycodes 8 and 9 free, 10 a letter, 11 a modifier without a symbol; 8 holding `on8` when given.
KeymapDescription keyboard(bool fourLevels, QVector<unsigned long> on8 = {})
{
    KeymapDescription map;
    map.types << KeymapDescription::KeyType{2, shift, {{true, shift, 1}}};
    if (fourLevels)
        map.types << KeymapDescription::KeyType{4, shift | mod5, {{true, shift, 1}, {true, mod5, 2}, {true, shift | mod5, 3}}};
    map.keys << KeymapDescription::Key{8, 0, {}} << KeymapDescription::Key{9, 0, {}}
             << KeymapDescription::Key{10, 0, {{0, {'a', 'A'}}}} << KeymapDescription::Key{11, 0x40, {}};
    if (!on8.isEmpty())
        map.keys[0].groups << KeymapDescription::Group{fourLevels ? 1 : 0, on8};
    return map;
}
} // namespace

// Which spare key a character gets, and when a key may take another one.
class TestLentKeys : public QObject
{
    Q_OBJECT

private slots:
    void slotsOfAMap();
    void emptyFirstThenTheLongestUnusedOnceRead();
    void aLayoutSwitchTakesWhatItOverwrote();
};

void TestLentKeys::slotsOfAMap()
{
    LentKeys keys;
    keys.update(keyboard(true));
    QCOMPARE(keys.size(), 8);
    QCOMPARE(keys.keyType(), 1);
    QCOMPARE(keys.levelState(3), shift | mod5);
    QVERIFY(keys.isSpareKeycode(9) && !keys.isSpareKeycode(10) && !keys.isSpareKeycode(11));
    keys.update(keyboard(false));
    QCOMPARE(keys.size(), 4);
    QCOMPARE(keys.keyType(), -1);
    QCOMPARE(keys.levelState(1), shift);
}

void TestLentKeys::emptyFirstThenTheLongestUnusedOnceRead()
{
    LentKeys keys;
    keys.update(keyboard(false));
    LentKeys::Receivers receivers;
    receivers.insert(window, ReceiverProgress());
    LentKeys::Lending lending = keys.lend({ya, euro}, receivers, 0, 50000);
    QCOMPARE(lending.keycodes, QVector<quint8>{8});
    QCOMPARE(keys.contents({8}).value(8), (QVector<unsigned long>{ya, euro}));
    QCOMPARE(keys.slot(keys.holding(euro)).readyAtUs, qint64(50000));
    // What is held is not lent again; the rest go on empty slots.
    keys.lend({euro, 'b', 'c'}, receivers, 0, 0);
    QCOMPARE(keys.contents({8, 9}), (LentKeys::Contents{{8, {ya, euro}}, {9, {'b', 'c'}}}));

    // Every slot typed with: none may change before the window has read it.
    for (unsigned long keysym : QVector<unsigned long>{ya, euro, 'b', 'c'})
        keys.used(keys.holding(keysym), keysym == euro ? 1 : 2, window);
    receivers[window].keySent(2, 0, true);
    lending = keys.lend({'d'}, receivers, 1000, 0);
    QVERIFY(lending.taken.isEmpty() && lending.waitMs > 0);
    const qint64 read = receivers[window].assumedReadAtUs(2);
    lending = keys.lend({'d', 'b'}, receivers, read, 0);
    QCOMPARE(lending.taken.size(), 1);
    QCOMPARE(keys.holding('d'), lending.taken[0]);
    QCOMPARE(keys.holding(euro), -1);

    keys.undo(lending);
    QCOMPARE(keys.holding(euro), lending.taken[0]);
    QCOMPARE(keys.takeBackAll().keys(), (QList<quint8>{8, 9}));
    QVERIFY(!keys.anyLent());
}

void TestLentKeys::aLayoutSwitchTakesWhatItOverwrote()
{
    LentKeys keys;
    keys.update(keyboard(true));
    keys.lend({ya, euro}, {}, 0, 0);
    keys.update(keyboard(true, {ya, euro, 0, 0}));
    QVERIFY(keys.isSpareKeycode(8));
    QCOMPARE(keys.holding(euro), 1);
    keys.update(keyboard(true, {'x', 'X', 0, 0}));
    QVERIFY(!keys.isSpareKeycode(8));
    QCOMPARE(keys.holding(ya), -1);
    QCOMPARE(keys.size(), 4);

    // What an ended copy left: only keycodes holding nothing else go back.
    const LentKeys::Contents left{{8, {ya, euro}}, {9, {ya}}, {10, {'a'}}};
    QCOMPARE(LentKeys::stillHolding(keyboard(true, {ya, euro, 0, 0}), left), QVector<quint8>{8});
    QCOMPARE(LentKeys::stillHolding(keyboard(true, {'x', 'X', 0, 0}), left), QVector<quint8>{});
}

QTEST_APPLESS_MAIN(TestLentKeys)
#include "TestLentKeys.moc"
