#include "KeyTable.h"

#include <xkbcommon/xkbcommon.h>

#include <bitset>

namespace {
constexpr unsigned shiftMask = 0x01;
constexpr unsigned long returnKeysym = 0xff0d;
constexpr int groupShift = 13;

KeyTable::Key shiftReturn(quint32 unicode)
{
    KeyTable::Key key;
    key.unicode = unicode;
    key.keysym = returnKeysym;
    key.state = shiftMask;
    return key;
}

int shiftLevel(const KeymapDescription::KeyType& type)
{
    for (const KeymapDescription::TypeEntry& entry : type.entries) {
        if (entry.active && entry.modifiers == shiftMask)
            return entry.level;
    }
    return 0;
}

// A key whose first group gives Return with and without Shift: line breaks
// are typed on it as Shift+Return, with no keycode to lend.
int shiftReturnKeycode(const KeymapDescription& map)
{
    for (const KeymapDescription::Key& key : map.keys) {
        if (key.groups.isEmpty() || key.groups[0].keysyms.value(0) != returnKeysym)
            continue;
        const KeymapDescription::Group& group = key.groups[0];
        if (group.type < 0 || group.type >= map.types.size())
            continue;
        if (group.keysyms.value(shiftLevel(map.types[group.type])) == returnKeysym)
            return key.keycode;
    }
    return 0;
}

// Control characters other than tab and the line ends would be editing keys
// (BackSpace, Delete, Escape) in the receiving document.
bool isEditingControl(quint32 character)
{
    if (character < 0x20)
        return character != '\t' && character != '\n' && character != '\r';
    return character >= 0x7f && character <= 0x9f;
}

// X names every keysym of the Unicode range and the printable Latin-1 ones;
// a character of no other keysym has none.
bool hasKeysym(quint32 character)
{
    return (character >= 0x20 && character <= 0x7e) || (character >= 0xa0 && character <= 0x10ffff);
}
} // namespace

KeyTable::KeyTable()
{
    build(KeymapDescription(), [](int) { return false; });
}

int KeyTable::levelModifiers(const KeymapDescription::KeyType& type, int level)
{
    // The resolved mask, not the real modifiers alone: level three is
    // reached through a virtual modifier (LevelThree) bound to Mod5.
    if (level == 0)
        return 0;
    int best = -1;
    for (const KeymapDescription::TypeEntry& entry : type.entries) {
        if (!entry.active || entry.level != level || entry.modifiers == 0)
            continue;
        if (best < 0 || std::bitset<8>(entry.modifiers).count() < std::bitset<8>(unsigned(best)).count())
            best = static_cast<int>(entry.modifiers);
    }
    return best;
}

void KeyTable::build(const KeymapDescription& map, const std::function<bool(int)>& isLent)
{
    keys.clear();
    // Both are typed as Shift+Return, which editors take as a line break inside a paragraph.
    keys << shiftReturn(0x0a) << shiftReturn(0xb6);
    if (const int returnKeycode = shiftReturnKeycode(map)) {
        for (Key& key : keys) {
            key.keycode = static_cast<quint8>(returnKeycode);
            key.mapped = true;
        }
    }
    for (const KeymapDescription::Key& entry : map.keys) {
        if (isLent(entry.keycode))
            continue;
        for (int group = 0; group < entry.groups.size(); ++group) {
            const KeymapDescription::Group& keysyms = entry.groups[group];
            if (keysyms.type < 0 || keysyms.type >= map.types.size())
                continue;
            const KeymapDescription::KeyType& type = map.types[keysyms.type];
            for (int level = 0; level < type.levels; ++level) {
                const unsigned long keysym = keysyms.keysyms.value(level);
                const int modifiers = levelModifiers(type, level);
                if (keysym == 0 || modifiers < 0)
                    continue;
                Key key;
                key.unicode = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
                key.keycode = static_cast<quint8>(entry.keycode);
                key.keysym = keysym;
                key.state = (static_cast<unsigned>(group) << groupShift) | entry.modifiers | static_cast<unsigned>(modifiers);
                key.mapped = true;
                keys << key;
            }
        }
    }
}

KeyTable::Key KeyTable::keyFor(quint32 character) const
{
    Key key;
    key.unicode = character;
    if (isEditingControl(character))
        return key;
    for (const Key& entry : keys) {
        if (entry.unicode == character)
            return entry;
    }
    if (!hasKeysym(character))
        return key;
    const unsigned long keysym = character <= 0xff ? character : character + 0x1000000;
    for (const Key& entry : keys) {
        if (entry.keysym == keysym)
            return entry;
    }
    key.keysym = keysym;
    return key;
}
