#pragma once

#include "KeymapDescription.h"

#include <QVector>
#include <QtGlobal>

#include <functional>

// Which key and modifiers type each character on a keyboard map. Built from
// the map's every group and level; line feed and the pilcrow are Shift+Return.
// Keycodes the writer lent are left out: they are none of the keyboard's own.
// Lives in the GUI thread, owned by the writer.
class KeyTable
{
public:
    struct Key
    {
        quint32 unicode = 0;
        quint8 keycode = 0;
        unsigned long keysym = 0;
        // X modifier and group state of the event that produces the character.
        unsigned int state = 0;
        // The key exists on the keyboard map.
        bool mapped = false;
    };

    KeyTable();

    void build(const KeymapDescription& map, const std::function<bool(int keycode)>& isLent);
    // The key that types a character: a mapped one, else an unmapped key with
    // the character's keysym, or keysym 0 when X has none for it or it is a
    // control character other than tab and the line ends.
    Key keyFor(quint32 character) const;
    int size() const { return keys.size(); }

    // The modifiers a receiver needs to see to pick the level of a key type; -1 when none reaches it.
    static int levelModifiers(const KeymapDescription::KeyType& type, int level);

private:
    QVector<Key> keys;
};
