#pragma once

#include "KeymapDescription.h"
#include "ReceiverProgress.h"

#include <QHash>
#include <QMap>
#include <QVector>
#include <QtGlobal>

// The keyboard's free keycodes, each level of each one a slot that the writer
// lends to a character no key produces, and what each holds now. A receiver
// decodes a key with the map it holds when it reads the event, so a slot
// takes another character only once every window that got a key typed with
// it has read that key. Only the choice is made here; the writer changes the
// map. Lives in the GUI thread, owned by the writer.
class LentKeys
{
public:
    // Keycode and the keysyms of its levels.
    using Contents = QMap<quint8, QVector<unsigned long>>;
    // Receivers of typed keys by window.
    using Receivers = QHash<unsigned long, ReceiverProgress>;

    struct Slot
    {
        quint8 keycode = 0;
        quint8 level = 0;
        // 0: holds nothing.
        unsigned long keysym = 0;
        // The last key typed with it, and the window it went to (0: none yet).
        quint64 lastUse = 0;
        unsigned long lastUseWindow = 0;
        // Not typed with before then (EnterDelay after it was lent).
        qint64 readyAtUs = 0;
    };
    // Keysyms put on slots: the keycodes to write, and how to undo it.
    struct Lending
    {
        // When no slot could be had, how long until one may be (milliseconds).
        int waitMs = 0;
        QVector<int> taken;
        QVector<unsigned long> before;
        QVector<quint8> keycodes;
    };

    // The slots a map offers: keycodes with no symbol and no modifier, and
    // those lent before that still hold what was put there (a layout switch
    // may have taken them). What was typed with each is remembered.
    void update(const KeymapDescription& map);

    int size() const { return spare.size(); }
    bool isEmpty() const { return spare.isEmpty(); }
    bool isSpareKeycode(int keycode) const;
    // The map's key type of four levels (Shift, a third-level modifier) the slots take, -1: two levels.
    int keyType() const { return fourLevelType; }
    // The modifiers that reach a slot's level.
    unsigned levelState(int level) const;
    const Slot& slot(int index) const { return spare[index]; }
    // The slot holding the keysym, -1 for none.
    int holding(unsigned long keysym) const;
    bool anyLent() const;
    void used(int index, quint64 key, unsigned long window);

    // Puts the keysyms not held yet on slots (needed in the order the text
    // needs them): empty slots first, then the longest unused of those free to
    // change. Fewer than asked when fewer are free; none and a wait when none is.
    Lending lend(const QVector<unsigned long>& needed, const Receivers& receivers, qint64 nowUs, qint64 readyAtUs);
    void undo(const Lending& lending);
    // What the keycodes hold now, every level.
    Contents contents(const QVector<quint8>& keycodes) const;
    // Empties every slot; answers the keycodes to clear (each with nothing on it).
    Contents takeBackAll();

    // 0 when the slot may change its meaning now, else how many milliseconds until it may.
    int msUntilFree(const Slot& slot, const Receivers& receivers, qint64 nowUs) const;
    int msUntilAllFree(const Receivers& receivers, qint64 nowUs) const;

    // The keycodes of an ended writer's record that still hold nothing but
    // what the record names, so that giving them back takes no key of a layout.
    static QVector<quint8> stillHolding(const KeymapDescription& map, const Contents& left);
    // Whole milliseconds until a time that many microseconds ahead, at least 1.
    static int waitMs(qint64 us);

    // How often a writer waiting for an answer looks for it.
    static constexpr int AnswerPollMs = 5;

private:
    QVector<Slot> spare;
    int fourLevelType = -1;
    unsigned levelThreeMask = 0;
};
