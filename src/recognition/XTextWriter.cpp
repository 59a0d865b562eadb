#include "XTextWriter.h"

#include "TextWriterSettings.h"
#include "XErrorTrap.h"

#include <QDebug>
#include <QRect>
#include <QThread>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace {
// Synthetic events are read back on the server; syncing now and then bounds
// the errors (and log lines) a text sent to a vanished window can cause.
constexpr int syncEveryCharacters = 32;
// How long one typing step may hold the GUI thread.
constexpr qint64 sliceUs = 15000;
// What a receiver is allowed per key event it reads: a remapped key is not
// changed again before the receiver has worked through the events before it.
constexpr qint64 receiverKeyCostUs = 200;
// How far ahead a text is read for the characters the next lent keys must hold.
constexpr int lookAhead = 4096;
constexpr int noSpareKey = -1;

unsigned long microseconds(int milliseconds)
{
    return milliseconds > 0 ? static_cast<unsigned long>(milliseconds) * 1000 : 0;
}

int millisecondsUntil(qint64 us)
{
    return static_cast<int>(std::max<qint64>(1, (us + 999) / 1000));
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

int shiftLevel(const XkbKeyTypeRec* type)
{
    for (int i = 0; i < type->map_count; ++i) {
        if (type->map[i].active && type->map[i].mods.mask == ShiftMask)
            return type->map[i].level;
    }
    return 0;
}

// A key whose first group gives Return with and without Shift: line breaks
// are typed on it as Shift+Return, with no keycode to lend.
int shiftReturnKeycode(XkbDescPtr xkb)
{
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        if (XkbKeyNumGroups(xkb, keycode) == 0 || XkbKeySymEntry(xkb, keycode, 0, 0) != XK_Return)
            continue;
        if (XkbKeySymEntry(xkb, keycode, shiftLevel(XkbKeyKeyType(xkb, keycode, 0)), 0) == XK_Return)
            return keycode;
    }
    return 0;
}
} // namespace

XTextWriter::XTextWriter()
{
    clock.start();
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
    if (!display)
        return;
    // Nothing is typed any more: the map goes back at once.
    restoreSpareKeys();
    XCloseDisplay(display);
}

qint64 XTextWriter::receiverWaitUs() const
{
    return std::max<qint64>(static_cast<qint64>(enterDelay), MinimumReceiverWaitMs * 1000);
}

bool XTextWriter::isSpareKeycode(int keycode) const
{
    for (const SpareKey& slot : spareKeys) {
        if (slot.keycode == keycode)
            return true;
    }
    return false;
}

void XTextWriter::findSpareKeys(XkbDescPtr xkb)
{
    // A lent key stays lent while it holds what was put there: a new map (a
    // layout switch) may have taken it, a keyboard switch keeps it.
    QVector<SpareKey> kept;
    for (const SpareKey& slot : qAsConst(spareKeys)) {
        const bool holds = slot.keysym != NoSymbol && XkbKeyNumGroups(xkb, slot.keycode) > 0
            && XkbKeyGroupWidth(xkb, slot.keycode, 0) > (slot.shifted ? 1 : 0)
            && XkbKeySymEntry(xkb, slot.keycode, slot.shifted ? 1 : 0, 0) == slot.keysym;
        if (!holds)
            continue;
        for (const SpareKey& sibling : qAsConst(spareKeys)) {
            if (sibling.keycode == slot.keycode && !kept.contains(sibling))
                kept << sibling;
        }
    }
    // Keycodes with no symbol and no modifier (XKB's modifier map is the core
    // one) are free to lend, each with two levels.
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        if (XkbKeyNumGroups(xkb, keycode) != 0 || xkb->map->modmap[keycode] != 0)
            continue;
        for (bool shifted : {false, true}) {
            SpareKey slot;
            slot.keycode = static_cast<quint8>(keycode);
            slot.shifted = shifted;
            kept << slot;
        }
    }
    spareKeys = kept;
}

void XTextWriter::buildKeyTable()
{
    keys.clear();
    // Both are typed as Shift+Return, which editors take as a line break inside a paragraph.
    keys << shiftReturn(0x0a) << shiftReturn(0xb6);

    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    XModifierKeymap* modmap = XGetModifierMapping(display);
    if (xkb && modmap) {
        findSpareKeys(xkb);
        if (const int returnKeycode = shiftReturnKeycode(xkb)) {
            for (int i = 0; i < 2; ++i) {
                keys[i].keycode = static_cast<quint8>(returnKeycode);
                keys[i].mapped = true;
            }
        }
        for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
            // What the writer lent is no key of the keyboard's own.
            if (isSpareKeycode(keycode))
                continue;
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

XTextWriter::SpareKey* XTextWriter::spareKeyHolding(unsigned long keysym)
{
    for (SpareKey& slot : spareKeys) {
        if (slot.keysym == keysym)
            return &slot;
    }
    return nullptr;
}

// Both levels of each keycode go in one request, so the receivers reload the map once.
bool XTextWriter::remapSpareKeys(const QVector<quint8>& keycodes)
{
    if (keycodes.isEmpty())
        return true;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return false;
    int first = 255;
    int last = 0;
    int types[XkbNumKbdGroups] = {XkbTwoLevelIndex, XkbTwoLevelIndex, XkbTwoLevelIndex, XkbTwoLevelIndex};
    for (quint8 keycode : keycodes) {
        KeySym levels[2] = {NoSymbol, NoSymbol};
        for (const SpareKey& slot : qAsConst(spareKeys)) {
            if (slot.keycode == keycode)
                levels[slot.shifted ? 1 : 0] = slot.keysym;
        }
        const bool empty = levels[0] == NoSymbol && levels[1] == NoSymbol;
        if (XkbChangeTypesOfKey(xkb, keycode, empty ? 0 : 1, XkbGroup1Mask, types, nullptr) != Success) {
            XkbFreeKeyboard(xkb, 0, True);
            return false;
        }
        if (!empty) {
            KeySym* symbols = XkbKeySymsPtr(xkb, keycode);
            symbols[0] = levels[0];
            symbols[1] = levels[1];
        }
        first = std::min<int>(first, keycode);
        last = std::max<int>(last, keycode);
    }
    // The keys in between go back as they were read.
    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = static_cast<KeyCode>(first);
    changes.num_key_syms = static_cast<unsigned char>(last - first + 1);
    const bool sent = XkbChangeMap(display, xkb, &changes);
    XkbFreeKeyboard(xkb, 0, True);
    // Once the server has made the change, every client's notice of it is
    // queued ahead of any key event sent after this.
    XSync(display, False);
    return sent;
}

void XTextWriter::restoreSpareKeys()
{
    QVector<quint8> lent;
    for (SpareKey& slot : spareKeys) {
        if (slot.keysym == NoSymbol)
            continue;
        slot.keysym = NoSymbol;
        if (!lent.contains(slot.keycode))
            lent << slot.keycode;
    }
    if (!remapSpareKeys(lent))
        qWarning() << "XTextWriter: the keyboard map could not be put back";
}

int XTextWriter::lendKeysFor(const Typing& typing)
{
    // The keysyms the text needs next, as many as there are keys to lend.
    QVector<unsigned long> needed;
    const int stop = std::min(typing.end, typing.next + lookAhead);
    for (int i = typing.next; i < stop && needed.size() < spareKeys.size(); ++i) {
        const XKey key = wchar2key(typing.characters[i]);
        if (!key.mapped && key.keysym != NoSymbol && !needed.contains(key.keysym))
            needed << key.keysym;
    }
    QVector<unsigned long> missing;
    for (unsigned long keysym : qAsConst(needed)) {
        if (!spareKeyHolding(keysym))
            missing << keysym;
    }
    // Keys holding nothing needed, the unused and the longest idle first.
    QVector<SpareKey*> victims;
    for (SpareKey& slot : spareKeys) {
        if (!needed.contains(slot.keysym))
            victims << &slot;
    }
    std::stable_sort(victims.begin(), victims.end(), [](const SpareKey* a, const SpareKey* b) {
        return std::make_pair(a->keysym != NoSymbol, a->busyUntilUs)
            < std::make_pair(b->keysym != NoSymbol, b->busyUntilUs);
    });
    victims.resize(missing.size());

    qint64 allowedAt = nowUs();
    for (const SpareKey* victim : qAsConst(victims))
        allowedAt = std::max(allowedAt, victim->busyUntilUs);
    if (allowedAt > nowUs())
        return millisecondsUntil(allowedAt - nowUs());

    QVector<quint8> changed;
    for (int i = 0; i < victims.size(); ++i) {
        victims[i]->keysym = missing[i];
        if (!changed.contains(victims[i]->keycode))
            changed << victims[i]->keycode;
    }
    if (!remapSpareKeys(changed)) {
        if (!noSpareKeyLogged)
            qWarning() << "XTextWriter: the spare keycodes could not be remapped";
        noSpareKeyLogged = true;
        for (SpareKey* victim : qAsConst(victims))
            victim->keysym = NoSymbol;
        return noSpareKey;
    }
    const qint64 readyAt = nowUs() + receiverWaitUs();
    for (SpareKey* victim : qAsConst(victims))
        victim->readyAtUs = readyAt;
    return millisecondsUntil(receiverWaitUs());
}

int XTextWriter::lendKey(const Typing& typing, XKey* key, SpareKey** lent)
{
    if (spareKeys.isEmpty()) {
        if (!noSpareKeyLogged)
            qWarning() << "XTextWriter: no free keycode for characters that no key produces";
        noSpareKeyLogged = true;
        return noSpareKey;
    }
    SpareKey* slot = spareKeyHolding(key->keysym);
    if (!slot)
        return lendKeysFor(typing);
    if (slot->readyAtUs > nowUs())
        return millisecondsUntil(slot->readyAtUs - nowUs());
    key->keycode = slot->keycode;
    key->state = slot->shifted ? ShiftMask : 0;
    *lent = slot;
    return 0;
}

void XTextWriter::sendKey(unsigned long window, const XKey& key, bool press)
{
    XKeyEvent event{};
    event.type = press ? KeyPress : KeyRelease;
    event.display = display;
    event.window = window;
    event.root = typingRoot;
    event.subwindow = None;
    event.time = CurrentTime;
    event.x = 1;
    event.y = 1;
    event.x_root = 1;
    event.y_root = 1;
    event.state = key.state;
    event.keycode = key.keycode;
    event.same_screen = True;
    XSendEvent(display, window, True, NoEventMask, reinterpret_cast<XEvent*>(&event));
}

void XTextWriter::typeKey(unsigned long window, const XKey& key, SpareKey* lent)
{
    sendKey(window, key, true);
    if (symbolDelay > 0) {
        XFlush(display);
        QThread::usleep(symbolDelay);
    }
    sendKey(window, key, false);
    receiverBusyUntilUs = std::max(receiverBusyUntilUs, nowUs()) + receiverKeyCostUs;
    if (lent)
        lent->busyUntilUs = receiverBusyUntilUs + receiverWaitUs();
    if (++sentSinceSync % syncEveryCharacters == 0)
        XSync(display, False);
}

bool XTextWriter::beginTyping(Typing& typing)
{
    typing.begun = true;
    if (!display)
        return false;
    if (typing.window == 0) {
        qInfo() << "XTextWriter: No window";
        return false;
    }
    XErrorTrap trap(display);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int childCount = 0;
    if (!XQueryTree(display, typing.window, &root, &parent, &children, &childCount) || trap.errorCount() > 0)
        return false;
    if (children)
        XFree(children);
    typingRoot = root;
    noSpareKeyLogged = false;
    return true;
}

void XTextWriter::endTyping(const Typing& typing)
{
    if (typing.untyped > 0)
        qWarning().noquote() << QStringLiteral("XTextWriter: %1 of %2 characters could not be typed")
                                    .arg(typing.untyped)
                                    .arg(typing.characters.size());
    if (typing.failed && typing.window != 0 && display)
        qWarning() << "XTextWriter: typing into window" << typing.window << "failed";
}

int XTextWriter::typeSome(Typing& typing)
{
    if (!typing.begun && !beginTyping(typing))
        typing.failed = true;
    if (typing.done()) {
        endTyping(typing);
        return 0;
    }
    XErrorTrap trap(display);
    rebuildKeyTableIfMappingChanged();
    const qint64 sliceEnd = nowUs() + sliceUs;
    int wait = 0;
    while (typing.next < typing.end && wait == 0 && nowUs() < sliceEnd) {
        const uint character = typing.characters[typing.next];
        XKey key = wchar2key(character);
        SpareKey* lent = nullptr;
        if (!key.mapped && key.keysym == NoSymbol) {
            // A control character helps a diagnosis; a letter would be a piece of the dictated text.
            if (QChar::isLetterOrNumber(character))
                qInfo() << "XTextWriter: Unknown char";
            else
                qInfo().noquote() << QStringLiteral("XTextWriter: Unknown char %1").arg(character, 0, 16);
            ++typing.untyped;
            ++typing.next;
            continue;
        }
        if (!key.mapped) {
            wait = lendKey(typing, &key, &lent);
            if (wait == noSpareKey) {
                wait = 0;
                ++typing.untyped;
                ++typing.next;
                continue;
            }
            if (wait > 0)
                break;
        }
        typeKey(typing.window, key, lent);
        ++typing.next;
        if (trap.errorCount() > 0)
            break; // the window is gone
        if (symbolDelay > 0)
            wait = millisecondsUntil(static_cast<qint64>(symbolDelay));
    }
    if (trap.failed())
        typing.failed = true;
    if (typing.done()) {
        endTyping(typing);
        return 0;
    }
    return wait;
}

int XTextWriter::finishTyping()
{
    if (!display)
        return 0;
    qint64 allowedAt = nowUs();
    bool lent = false;
    for (const SpareKey& slot : qAsConst(spareKeys)) {
        if (slot.keysym == NoSymbol)
            continue;
        lent = true;
        allowedAt = std::max(allowedAt, slot.busyUntilUs);
    }
    if (!lent)
        return 0;
    if (allowedAt > nowUs())
        return millisecondsUntil(allowedAt - nowUs());
    XErrorTrap trap(display);
    restoreSpareKeys();
    return 0;
}

bool XTextWriter::writeText(unsigned long window, QString text)
{
    Typing typing(window, text);
    while (!typing.done()) {
        const int wait = typeSome(typing);
        if (wait > 0)
            QThread::msleep(static_cast<unsigned long>(wait));
    }
    for (int wait = finishTyping(); wait > 0; wait = finishTyping())
        QThread::msleep(static_cast<unsigned long>(wait));
    return !typing.failed && typing.untyped == 0;
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
