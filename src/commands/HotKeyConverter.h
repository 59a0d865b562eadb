#pragma once

#include "HotKeyInfo.h"
#include "ITypeConverter.h"

#include <Qt>

class QKeyEvent;

// Converts key chords between their text form ("Ctrl+Shift+Home"), HotKeyInfo,
// Qt modifier flags and captured key events.
class HotKeyConverter : public ITypeConverter<HotKeyInfo>
{
public:
    ~HotKeyConverter() override;

    virtual HotKeyInfo HotKeyFromEvent(const QKeyEvent* event) const = 0;
    virtual Qt::KeyboardModifiers GetQtModifiers(const HotKeyInfo* info) const;
    // Sets (on) or clears the X11 bits of the given Qt modifiers; other bits stay.
    virtual void SetQtModifiers(HotKeyInfo* info, Qt::KeyboardModifiers modifiers, bool on) const;

    // X11 modifier bits of a chord.
    enum NativeModifier : unsigned {
        NativeShift = 0x01,
        NativeControl = 0x04,
        NativeAlt = 0x08,
        NativeKeypadLevel = 0x10,
        NativeWin = 0x40,
    };

    static unsigned QtToNativeModifiers(Qt::KeyboardModifiers modifiers);
    static Qt::KeyboardModifiers NativeToQtModifiers(unsigned modifiers);
    // Keypad keys taken at their second (Num Lock) level: the digits rather than the navigation.
    static bool IsSymKeypadSpecial(unsigned keysym);
};
