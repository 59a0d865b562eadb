#pragma once

#include <QMetaType>
#include <QtGlobal>

// One key chord as X11 sees it: a keycode (low 8 bits used, 0 = no key) and an
// X11 modifier mask (Shift 0x01, Control 0x04, Alt 0x08, keypad level 0x10, Win 0x40).
struct HotKeyInfo
{
    quint32 keycode = 0;
    quint32 modifiers = 0;

    bool operator==(const HotKeyInfo& other) const
    {
        return keycode == other.keycode && modifiers == other.modifiers;
    }
    bool operator!=(const HotKeyInfo& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(HotKeyInfo)
