#include "XTextWriter.h"

#include "TextWriterSettings.h"
#include "XErrorTrap.h"

#include <QDebug>
#include <QRect>
#include <QThread>
#include <QVector>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace {
// Synthetic events are read back on the server; syncing now and then bounds
// the errors (and log lines) a text sent to a vanished window can cause.
constexpr int syncEveryCharacters = 32;

unsigned long microseconds(int milliseconds)
{
    return milliseconds > 0 ? static_cast<unsigned long>(milliseconds) * 1000 : 0;
}

void pause(unsigned long us)
{
    if (us > 0)
        QThread::usleep(us);
}

// Every keysym of the Unicode range names a character, and XKeysymToString
// would hand back a freshly allocated name for most of them (a static one for
// the few with a legacy name, so its result cannot simply be freed): only
// the other keysyms are looked up, whose names are static.
bool isKnownKeysym(KeySym keysym)
{
    if (keysym >= 0x1000100 && keysym <= 0x110ffff)
        return true;
    return XKeysymToString(keysym) != nullptr;
}

XTextWriter::XKey shiftReturn(quint32 unicode)
{
    XTextWriter::XKey key;
    key.unicode = unicode;
    key.keysym = XK_Return;
    key.state = ShiftMask;
    key.mapped = false;
    return key;
}

unsigned ownModifierMask(const XModifierKeymap* modmap, int keycode)
{
    for (int row = 0; row < 8; ++row) {
        for (int i = 0; i < modmap->max_keypermod; ++i) {
            if (modmap->modifiermap[row * modmap->max_keypermod + i] == keycode)
                return 1u << row;
        }
    }
    return 0;
}

unsigned levelModifiers(const XkbKeyTypeRec* type, int level)
{
    for (int i = 0; i < type->map_count; ++i) {
        if (type->map[i].active && type->map[i].level == level)
            return type->map[i].mods.real_mods;
    }
    return 0;
}
} // namespace

XTextWriter::XTextWriter()
{
    TextWriterSettings settings;
    symbolDelay = microseconds(settings.SymbolDelay);
    enterDelay = microseconds(settings.EnterDelay);

    display = XOpenDisplay(nullptr);
    if (!display) {
        qWarning() << "XTextWriter: cannot open the X display; text cannot be typed";
        return;
    }
    XErrorTrap::installHandler();
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        xkbEventType = eventBase;
        const unsigned long mask = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
        XkbSelectEvents(display, XkbUseCoreKbd, mask, mask);
    }
    int dummy = 0;
    hasXTest = XTestQueryExtension(display, &dummy, &dummy, &dummy, &dummy);
    if (!hasXTest)
        qWarning() << "XTextWriter: the X server has no XTEST extension; key combinations cannot be pressed";
    buildKeyTable();
}

XTextWriter::~XTextWriter()
{
    if (display)
        XCloseDisplay(display);
}

void XTextWriter::buildKeyTable()
{
    keys.clear();
    // Both are typed as Shift+Return, which editors take as a line break inside a paragraph.
    keys << shiftReturn(0x0a) << shiftReturn(0xb6);

    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    XModifierKeymap* modmap = XGetModifierMapping(display);
    if (xkb && modmap) {
        for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
            const unsigned ownMask = ownModifierMask(modmap, keycode);
            const int groups = XkbKeyNumGroups(xkb, keycode);
            for (int group = 0; group < groups; ++group) {
                const XkbKeyTypeRec* type = XkbKeyKeyType(xkb, keycode, group);
                for (int level = 0; level < type->num_levels; ++level) {
                    const KeySym keysym = XkbKeySymEntry(xkb, keycode, level, group);
                    if (keysym == NoSymbol)
                        continue;
                    XKey key;
                    key.unicode = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
                    key.keycode = static_cast<quint8>(keycode);
                    key.keysym = keysym;
                    key.state = (static_cast<unsigned>(group) << 13) | ownMask | levelModifiers(type, level);
                    key.mapped = true;
                    keys << key;
                }
            }
        }
    } else {
        qWarning() << "XTextWriter: cannot read the keyboard map";
    }
    if (modmap)
        XFreeModifiermap(modmap);
    if (xkb)
        XkbFreeKeyboard(xkb, 0, True);
}

void XTextWriter::rebuildKeyTableIfMappingChanged()
{
    bool changed = false;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            changed = true;
        } else if (event.type == xkbEventType) {
            const int xkbType = reinterpret_cast<XkbAnyEvent*>(&event)->xkb_type;
            changed = changed || xkbType == XkbNewKeyboardNotify || xkbType == XkbMapNotify;
        }
    }
    if (changed)
        buildKeyTable();
}

XTextWriter::XKey XTextWriter::wchar2key(quint32 character) const
{
    for (const XKey& key : keys) {
        if (key.unicode == character)
            return key;
    }
    XKey key;
    key.unicode = character;
    const KeySym keysym = character <= 0xff ? character : character + 0x1000000;
    if (!isKnownKeysym(keysym))
        return key;
    for (const XKey& entry : keys) {
        if (entry.keysym == keysym)
            return entry;
    }
    key.keysym = keysym;
    return key;
}

quint8 XTextWriter::findSpareKeycode() const
{
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1,
                                          &perKeycode);
    quint8 spare = 0;
    if (keysyms) {
        for (int keycode = minKeycode; keycode <= maxKeycode && spare == 0; ++keycode) {
            if (keysyms[(keycode - minKeycode) * perKeycode] == NoSymbol)
                spare = static_cast<quint8>(keycode);
        }
        XFree(keysyms);
    }
    return spare;
}

void XTextWriter::remapKeycode(quint8 keycode, unsigned long keysym)
{
    KeySym symbol = keysym;
    XChangeKeyboardMapping(display, keycode, 1, &symbol, 1);
    XSync(display, False);
}

void XTextWriter::sendKey(unsigned long root, unsigned long window, unsigned long subwindow, const XKey& key,
                          bool press)
{
    XKeyEvent event{};
    event.type = press ? KeyPress : KeyRelease;
    event.display = display;
    event.window = window;
    event.root = root;
    event.subwindow = subwindow;
    event.time = CurrentTime;
    event.x = 1;
    event.y = 1;
    event.x_root = 1;
    event.y_root = 1;
    event.state = key.state;
    event.keycode = key.keycode;
    event.same_screen = True;
    XSendEvent(display, window, True, NoEventMask, reinterpret_cast<XEvent*>(&event));
    XFlush(display);
}

bool XTextWriter::writeText(unsigned long window, QString text)
{
    if (!display)
        return false;
    if (window == 0) {
        qInfo() << "XTextWriter: No window";
        return false;
    }
    XErrorTrap trap(display);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int childCount = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &childCount) || trap.errorCount() > 0)
        return false;
    if (children)
        XFree(children);

    rebuildKeyTableIfMappingChanged();
    const QVector<uint> characters = text.toUcs4();
    XFlush(display);

    quint8 spare = 0;
    bool spareSearched = false;
    int untyped = 0;
    int sent = 0;
    for (uint character : characters) {
        XKey key = wchar2key(character);
        if (key.mapped) {
            sendKey(root, window, None, key, true);
            pause(symbolDelay);
            sendKey(root, window, None, key, false);
            pause(symbolDelay);
        } else if (key.keysym == 0) {
            // A control character helps a diagnosis; a letter would be a piece of the dictated text.
            if (QChar::isLetterOrNumber(character))
                qInfo() << "XTextWriter: Unknown char";
            else
                qInfo().noquote() << QStringLiteral("XTextWriter: Unknown char %1").arg(character, 0, 16);
            ++untyped;
        } else {
            if (!spareSearched) {
                spare = findSpareKeycode();
                spareSearched = true;
            }
            if (spare == 0) {
                ++untyped;
                continue;
            }
            remapKeycode(spare, key.keysym);
            key.keycode = spare;
            // The receiver reloads its keyboard map before it can read the key.
            pause(enterDelay);
            sendKey(root, window, None, key, true);
            XSync(display, False);
            pause(enterDelay);
            sendKey(root, window, None, key, false);
            XSync(display, False);
            pause(enterDelay);
        }
        if (++sent % syncEveryCharacters == 0)
            XSync(display, False);
        if (trap.errorCount() > 0)
            break; // the window is gone
    }
    if (spare != 0)
        remapKeycode(spare, NoSymbol);

    if (spareSearched && spare == 0)
        qWarning() << "XTextWriter: no free keycode for characters that no key produces";
    if (untyped > 0)
        qWarning().noquote() << QStringLiteral("XTextWriter: %1 of %2 characters could not be typed")
                                    .arg(untyped)
                                    .arg(characters.size());
    if (trap.failed()) {
        qWarning() << "XTextWriter: typing into window" << window << "failed";
        return false;
    }
    return untyped == 0;
}

bool XTextWriter::writeKey(unsigned long, const HotKeyInfo& hotkey)
{
    if (!display || !hasXTest)
        return false;
    const KeyCode keycode = static_cast<KeyCode>(hotkey.keycode & 0xff);
    if (keycode == 0) {
        qInfo() << "XTextWriter: the key combination names no key";
        return false;
    }
    XErrorTrap trap(display);
    XSync(display, False);
    char keymap[32] = {};
    XQueryKeymap(display, keymap);
    auto isDown = [&](KeySym keysym) {
        const KeyCode code = XKeysymToKeycode(display, keysym);
        return code != 0 && (keymap[code / 8] & (1 << (code % 8)));
    };

    QVector<KeyCode> codes;
    struct Modifier
    {
        unsigned bit;
        KeySym left;
        KeySym right;
    };
    const Modifier modifiers[] = {
        {ShiftMask, XK_Shift_L, XK_Shift_R},
        {ControlMask, XK_Control_L, XK_Control_R},
        {Mod1Mask, XK_Alt_L, XK_Alt_R},
        {Mod4Mask, XK_Super_L, XK_Super_R},
    };
    for (const Modifier& modifier : modifiers) {
        if ((hotkey.modifiers & modifier.bit) && !isDown(modifier.left) && !isDown(modifier.right)) {
            const KeyCode code = XKeysymToKeycode(display, modifier.left);
            if (code != 0)
                codes << code;
        }
    }
    codes << keycode;

    for (KeyCode code : qAsConst(codes)) {
        qDebug().noquote() << QStringLiteral("push %1").arg(code);
        XTestFakeKeyEvent(display, code, True, 0);
    }
    for (auto it = codes.crbegin(); it != codes.crend(); ++it)
        XTestFakeKeyEvent(display, *it, False, 0);
    return !trap.failed();
}

unsigned long XTextWriter::getFocusedWindow()
{
    if (!display)
        return 0;
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus == None || focus == PointerRoot)
        return 0;
    return focus;
}

bool XTextWriter::getWindowRect(unsigned long window, QRect* rect)
{
    if (!display || window == 0 || !rect)
        return false;
    XErrorTrap trap(display);
    // The top-level window is the child of the root, normally the window manager's frame.
    Window current = window;
    for (;;) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int childCount = 0;
        if (!XQueryTree(display, current, &root, &parent, &children, &childCount))
            return false;
        if (children)
            XFree(children);
        if (parent == root || parent == None)
            break;
        current = parent;
    }
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, current, &attributes) || trap.failed())
        return false;
    *rect = QRect(attributes.x, attributes.y, attributes.width, attributes.height);
    return true;
}
