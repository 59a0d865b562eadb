#include "HotKeyConverter.h"

namespace {
struct ModifierPair
{
    Qt::KeyboardModifier qt;
    unsigned native;
};

constexpr ModifierPair modifierPairs[] = {
    {Qt::ControlModifier, HotKeyConverter::NativeControl},
    {Qt::AltModifier, HotKeyConverter::NativeAlt},
    {Qt::ShiftModifier, HotKeyConverter::NativeShift},
    {Qt::MetaModifier, HotKeyConverter::NativeWin},
};
} // namespace

HotKeyConverter::~HotKeyConverter() = default;

Qt::KeyboardModifiers HotKeyConverter::GetQtModifiers(const HotKeyInfo* info) const
{
    return info ? NativeToQtModifiers(info->modifiers) : Qt::NoModifier;
}

void HotKeyConverter::SetQtModifiers(HotKeyInfo* info, Qt::KeyboardModifiers modifiers, bool on) const
{
    if (!info)
        return;
    const unsigned bits = QtToNativeModifiers(modifiers);
    if (on)
        info->modifiers |= bits;
    else
        info->modifiers &= ~bits;
}

unsigned HotKeyConverter::QtToNativeModifiers(Qt::KeyboardModifiers modifiers)
{
    unsigned native = 0;
    for (const ModifierPair& pair : modifierPairs) {
        if (modifiers.testFlag(pair.qt))
            native |= pair.native;
    }
    return native;
}

Qt::KeyboardModifiers HotKeyConverter::NativeToQtModifiers(unsigned modifiers)
{
    Qt::KeyboardModifiers qt = Qt::NoModifier;
    for (const ModifierPair& pair : modifierPairs) {
        if (modifiers & pair.native)
            qt |= pair.qt;
    }
    return qt;
}

bool HotKeyConverter::IsSymKeypadSpecial(unsigned keysym)
{
    // KP_Home..KP_Insert and KP_0..KP_9; KP_Delete is left out.
    return (keysym >= 0xff95 && keysym <= 0xff9e) || (keysym >= 0xffb0 && keysym <= 0xffb9);
}
