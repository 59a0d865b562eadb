#include "XHotKeyConverter.h"

#include <QDebug>
#include <QKeyEvent>
#include <QStringList>

#include <X11/Xlib.h>
#include <X11/XKBlib.h>

namespace {
struct ModifierName
{
    unsigned bit;
    QLatin1String name;
};

// The fixed order of the text form.
const ModifierName modifierNames[] = {
    {HotKeyConverter::NativeControl, QLatin1String("Ctrl")},
    {HotKeyConverter::NativeAlt, QLatin1String("Alt")},
    {HotKeyConverter::NativeShift, QLatin1String("Shift")},
    {HotKeyConverter::NativeWin, QLatin1String("Win")},
};

constexpr unsigned eventModifierMask =
    HotKeyConverter::NativeShift | HotKeyConverter::NativeControl | HotKeyConverter::NativeAlt | HotKeyConverter::NativeWin;
} // namespace

XHotKeyConverter::XHotKeyConverter()
    : display(XOpenDisplay(nullptr))
    , keymapChanges(display)
{
    if (!display)
        qWarning() << "XHotKeyConverter: cannot open the X display; key names cannot be resolved";
}

XHotKeyConverter::~XHotKeyConverter()
{
    if (display)
        XCloseDisplay(display);
}

QString XHotKeyConverter::ConvertToString(const HotKeyInfo& info) const
{
    keymapChanges.drain();
    QStringList parts;
    for (const ModifierName& modifier : modifierNames) {
        if (info.modifiers & modifier.bit)
            parts << modifier.name;
    }
    if (info.keycode != 0) {
        KeySym keysym = NoSymbol;
        if (display) {
            const int level = (info.modifiers & NativeKeypadLevel) ? 1 : 0;
            keysym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(info.keycode & 0xff), 0, level);
        }
        const char* name = keysym != NoSymbol ? XKeysymToString(keysym) : nullptr;
        parts << (name ? QString::fromLatin1(name) : QString());
    }
    return parts.join(QLatin1Char('+'));
}

HotKeyInfo XHotKeyConverter::ConvertFromString(QString text) const
{
    keymapChanges.drain();
    HotKeyInfo info;
    const QStringList parts = text.split(QLatin1Char('+'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        bool isModifier = false;
        for (const ModifierName& modifier : modifierNames) {
            if (part.compare(modifier.name, Qt::CaseInsensitive) == 0) {
                info.modifiers |= modifier.bit;
                isModifier = true;
            }
        }
        if (isModifier)
            continue;
        // The last key part gives the key, and with it whether the keypad level applies.
        const KeySym keysym = XStringToKeysym(part.toUtf8().constData());
        info.keycode = (display && keysym != NoSymbol) ? XKeysymToKeycode(display, keysym) : 0;
        info.modifiers &= ~unsigned(NativeKeypadLevel);
        if (IsSymKeypadSpecial(static_cast<unsigned>(keysym)))
            info.modifiers |= NativeKeypadLevel;
    }
    return info;
}

HotKeyInfo XHotKeyConverter::HotKeyFromEvent(const QKeyEvent* event) const
{
    HotKeyInfo info;
    if (!event)
        return info;
    info.keycode = event->nativeScanCode();
    info.modifiers = event->nativeModifiers() & eventModifierMask;
    if (IsSymKeypadSpecial(event->nativeVirtualKey()))
        info.modifiers |= NativeKeypadLevel;

    const HotKeyInfo readBack = ConvertFromString(ConvertToString(info));
    qDebug().noquote() << QStringLiteral("RES:  %1/%2").arg(info.keycode).arg(info.modifiers, 0, 16);
    qDebug().noquote() << QStringLiteral("      %1/%2").arg(readBack.keycode).arg(readBack.modifiers, 0, 16);
    return info;
}
