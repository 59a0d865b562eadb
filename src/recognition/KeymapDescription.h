#pragma once

#include <QVector>

// A keyboard map as the writer needs it, in plain values: read from the X
// server's XKB description and modifier map, or written by hand. Keysyms and
// modifier masks are X's. A plain value, used in any thread.
struct KeymapDescription
{
    struct TypeEntry
    {
        bool active = true;
        // The modifiers (resolved mask) that pick the level.
        unsigned modifiers = 0;
        int level = 0;
    };
    struct KeyType
    {
        int levels = 1;
        // Every modifier the type looks at.
        unsigned modifiers = 0;
        QVector<TypeEntry> entries;
    };
    struct Group
    {
        // Index into types.
        int type = 0;
        // One keysym a level, 0 (NoSymbol) for none.
        QVector<unsigned long> keysyms;
    };
    struct Key
    {
        int keycode = 0;
        // The first row of the modifier map that holds the keycode, as a mask; 0 for none.
        unsigned modifiers = 0;
        QVector<Group> groups;
    };

    QVector<KeyType> types;
    // In keycode order, every keycode of the keyboard.
    QVector<Key> keys;

    bool isEmpty() const { return keys.isEmpty(); }
    const Key* key(int keycode) const
    {
        if (keys.isEmpty() || keycode < keys.first().keycode || keycode > keys.last().keycode)
            return nullptr;
        return &keys[keycode - keys.first().keycode];
    }
};
