#include "XTextWriter.h"

#include "TextWriterSettings.h"
#include "XErrorTrap.h"

#include <QDebug>
#include <QRect>
#include <QThread>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <bitset>

namespace {
// Synthetic events are read back on the server; syncing now and then bounds
// the errors (and log lines) a text sent to a vanished window can cause.
constexpr int syncEveryCharacters = 32;
// How long one typing step may hold the GUI thread.
constexpr qint64 sliceUs = 15000;
// A window that answers pings is never more than this many keys behind: typing
// goes at its pace, and a stop is seen there soon after it is made.
constexpr quint64 maxUnreadKeys = 400;
// How often a writer waiting for an answer looks for it.
constexpr int answerPollMs = 5;
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

// The modifiers a receiver needs to see to pick the level; -1 when none
// reaches it. The resolved mask, not the real modifiers alone: level three
// is reached through a virtual modifier (LevelThree) bound to Mod5.
int levelModifiers(const XkbKeyTypeRec* type, int level)
{
    if (level == 0)
        return 0;
    int best = -1;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& entry = type->map[i];
        if (!entry.active || entry.level != level || entry.mods.mask == 0)
            continue;
        if (best < 0 || std::bitset<8>(entry.mods.mask).count() < std::bitset<8>(unsigned(best)).count())
            best = entry.mods.mask;
    }
    return best;
}

int shiftLevel(const XkbKeyTypeRec* type)
{
    for (int i = 0; i < type->map_count; ++i) {
        if (type->map[i].active && type->map[i].mods.mask == ShiftMask)
            return type->map[i].level;
    }
    return 0;
}

// A key type of four levels picked by Shift and one more modifier that no
// program takes for a shortcut (Mod3 or Mod5): a spare keycode of that type
// holds four characters. -1 when the map has none.
int fourLevelType(XkbDescPtr xkb, unsigned* thirdLevelMask)
{
    for (int index = 0; index < xkb->map->num_types; ++index) {
        const XkbKeyTypeRec& type = xkb->map->types[index];
        if (type.num_levels != 4)
            continue;
        const unsigned other = type.mods.mask & ~unsigned(ShiftMask);
        if (other != Mod5Mask && other != Mod3Mask)
            continue;
        int reached = 0;
        for (int i = 0; i < type.map_count; ++i) {
            const XkbKTMapEntryRec& entry = type.map[i];
            if (!entry.active)
                continue;
            if ((entry.mods.mask == ShiftMask && entry.level == 1) || (entry.mods.mask == other && entry.level == 2)
                || (entry.mods.mask == (ShiftMask | other) && entry.level == 3))
                ++reached;
        }
        if (reached == 3) {
            *thirdLevelMask = other;
            return index;
        }
    }
    return -1;
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

// The keysyms of a keycode's first group, when it has one group only.
QVector<unsigned long> singleGroupKeysyms(XkbDescPtr xkb, int keycode)
{
    QVector<unsigned long> keysyms;
    if (XkbKeyNumGroups(xkb, keycode) != 1)
        return keysyms;
    for (int level = 0; level < XkbKeyGroupWidth(xkb, keycode, 0); ++level)
        keysyms << XkbKeySymEntry(xkb, keycode, level, 0);
    return keysyms;
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
    wmProtocolsAtom = XInternAtom(display, "WM_PROTOCOLS", False);
    pingAtom = XInternAtom(display, "_NET_WM_PING", False);
    record.reset(new LentKeysRecord(QString::fromLocal8Bit(DisplayString(display))));
    XErrorTrap trap(display);
    giveBackWhatEndedCopiesLeft();
    buildKeyTable();
    if (spareKeys.isEmpty())
        qWarning() << "XTextWriter: the keyboard has no free keycode; characters of no key cannot be typed";
}

XTextWriter::~XTextWriter()
{
    if (!display)
        return;
    releaseBorrowed(EndingWaitMs);
    XCloseDisplay(display);
}

void XTextWriter::giveBackWhatEndedCopiesLeft()
{
    const LentKeysRecord::Keys left = LentKeysRecord::takeLeftByEndedCopies(QString::fromLocal8Bit(DisplayString(display)));
    if (left.isEmpty())
        return;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return;
    // Only keycodes that still hold nothing but what the record names: the
    // layout may have been switched since, giving them keys of its own.
    KeyContents back;
    for (auto it = left.cbegin(); it != left.cend(); ++it) {
        if (it.key() < xkb->min_key_code || it.key() > xkb->max_key_code)
            continue;
        const QVector<unsigned long> held = singleGroupKeysyms(xkb, it.key());
        const bool ours = std::any_of(held.cbegin(), held.cend(), [](unsigned long k) { return k != NoSymbol; })
            && std::all_of(held.cbegin(), held.cend(),
                           [&it](unsigned long k) { return k == NoSymbol || it.value().contains(k); });
        if (ours)
            back.insert(it.key(), {});
    }
    XkbFreeKeyboard(xkb, 0, True);
    if (!back.isEmpty() && writeKeycodes(back))
        qInfo().noquote() << QStringLiteral("XTextWriter: gave back %1 keycodes that an earlier copy left lent")
                                 .arg(back.size());
}

bool XTextWriter::isSpareKeycode(int keycode) const
{
    return std::any_of(spareKeys.cbegin(), spareKeys.cend(),
                       [keycode](const SpareKey& slot) { return slot.keycode == keycode; });
}

unsigned XTextWriter::levelState(int level) const
{
    return ((level & 1) ? ShiftMask : 0) | ((level & 2) ? levelThreeMask : 0);
}

void XTextWriter::findSpareKeys(XkbDescPtr xkb)
{
    fourLevelType = ::fourLevelType(xkb, &levelThreeMask);
    const int levels = fourLevelType >= 0 ? 4 : 2;
    // A lent keycode stays lent while it holds what was put there: a new map
    // (a layout switch) may have taken it, a keyboard switch keeps it.
    QVector<SpareKey> found;
    QVector<quint8> kept;
    for (const SpareKey& slot : qAsConst(spareKeys)) {
        if (slot.keysym == NoSymbol || kept.contains(slot.keycode))
            continue;
        const QVector<unsigned long> held = singleGroupKeysyms(xkb, slot.keycode);
        const bool holds = std::all_of(spareKeys.cbegin(), spareKeys.cend(), [&](const SpareKey& sibling) {
            return sibling.keycode != slot.keycode || sibling.keysym == NoSymbol
                || held.value(sibling.level, NoSymbol) == sibling.keysym;
        });
        if (!holds)
            continue;
        kept << slot.keycode;
        for (const SpareKey& sibling : qAsConst(spareKeys)) {
            if (sibling.keycode == slot.keycode)
                found << sibling;
        }
    }
    // Keycodes with no symbol and no modifier (XKB's modifier map is the core
    // one) are free to lend. What was typed with them before is remembered: a
    // receiver may still hold it.
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        if (XkbKeyNumGroups(xkb, keycode) != 0 || xkb->map->modmap[keycode] != 0)
            continue;
        for (int level = 0; level < levels; ++level) {
            SpareKey slot;
            slot.keycode = static_cast<quint8>(keycode);
            slot.level = static_cast<quint8>(level);
            for (const SpareKey& before : qAsConst(spareKeys)) {
                if (before.keycode == slot.keycode && before.level == slot.level) {
                    slot.lastUse = before.lastUse;
                    slot.lastUseWindow = before.lastUseWindow;
                }
            }
            found << slot;
        }
    }
    spareKeys = found;
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
                    const int modifiers = levelModifiers(type, level);
                    if (keysym == NoSymbol || modifiers < 0)
                        continue;
                    XKey key;
                    key.unicode = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
                    key.keycode = static_cast<quint8>(keycode);
                    key.keysym = keysym;
                    key.state = (static_cast<unsigned>(group) << 13) | ownMask | static_cast<unsigned>(modifiers);
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

void XTextWriter::drainEvents()
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
        } else if (event.type == ClientMessage && event.xclient.message_type == wmProtocolsAtom
                   && event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == pingAtom) {
            // An answer names the window pinged; answers to the window manager's pings are ignored by id.
            const unsigned long answered = static_cast<unsigned long>(event.xclient.data.l[2]);
            for (ReceiverProgress& receiver : receivers) {
                if (receiver.pingWindow() == answered)
                    receiver.pongReceived(static_cast<quint32>(event.xclient.data.l[1]));
            }
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

bool XTextWriter::anyLent() const
{
    return std::any_of(spareKeys.cbegin(), spareKeys.cend(), [](const SpareKey& slot) { return slot.keysym != NoSymbol; });
}

XTextWriter::KeyContents XTextWriter::lentContents(const QVector<quint8>& keycodes) const
{
    KeyContents contents;
    for (quint8 keycode : keycodes)
        contents.insert(keycode, {});
    for (const SpareKey& slot : spareKeys) {
        auto it = contents.find(slot.keycode);
        if (it == contents.end() || slot.keysym == NoSymbol)
            continue;
        if (it->size() <= slot.level)
            it->resize(slot.level + 1);
        (*it)[slot.level] = slot.keysym;
    }
    return contents;
}

// Every keycode goes in one request, so the receivers reload the map once.
bool XTextWriter::writeKeycodes(const KeyContents& contents)
{
    if (contents.isEmpty())
        return true;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return false;
    const int typeIndex = fourLevelType >= 0 ? fourLevelType : XkbTwoLevelIndex;
    int types[XkbNumKbdGroups] = {typeIndex, typeIndex, typeIndex, typeIndex};
    for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
        const bool empty = std::all_of(it->cbegin(), it->cend(), [](unsigned long k) { return k == NoSymbol; });
        if (XkbChangeTypesOfKey(xkb, it.key(), empty ? 0 : 1, XkbGroup1Mask, types, nullptr) != Success) {
            XkbFreeKeyboard(xkb, 0, True);
            return false;
        }
        if (empty)
            continue;
        KeySym* symbols = XkbKeySymsPtr(xkb, it.key());
        const int width = XkbKeyGroupWidth(xkb, it.key(), 0);
        for (int level = 0; level < width; ++level)
            symbols[level] = it->value(level, NoSymbol);
    }
    // The keys in between go back as they were read.
    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = static_cast<KeyCode>(contents.firstKey());
    changes.num_key_syms = static_cast<unsigned char>(contents.lastKey() - contents.firstKey() + 1);
    const bool sent = XkbChangeMap(display, xkb, &changes);
    XkbFreeKeyboard(xkb, 0, True);
    // Once the server has made the change, every client's notice of it is
    // queued ahead of any key event sent after this.
    XSync(display, False);
    return sent;
}

bool XTextWriter::recordBeforeChange(const KeyContents& contents)
{
    for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
        QVector<unsigned long>& keysyms = recorded[it.key()];
        for (const SpareKey& slot : qAsConst(spareKeys)) {
            if (slot.keycode == it.key() && slot.keysym != NoSymbol && !keysyms.contains(slot.keysym))
                keysyms << slot.keysym;
        }
        for (unsigned long keysym : it.value()) {
            if (keysym != NoSymbol && !keysyms.contains(keysym))
                keysyms << keysym;
        }
    }
    return record->save(recorded);
}

void XTextWriter::giveBack()
{
    QVector<quint8> lent;
    for (SpareKey& slot : spareKeys) {
        if (slot.keysym == NoSymbol)
            continue;
        slot.keysym = NoSymbol;
        if (!lent.contains(slot.keycode))
            lent << slot.keycode;
    }
    if (!writeKeycodes(lentContents(lent))) {
        qWarning() << "XTextWriter: the keyboard map could not be put back";
        return;
    }
    recorded.clear();
    record->remove();
}

ReceiverProgress& XTextWriter::receiverOf(unsigned long window)
{
    auto it = receivers.find(window);
    if (it == receivers.end())
        it = receivers.insert(window, ReceiverProgress(findPingWindow(window)));
    return *it;
}

// The program's top-level window holds WM_PROTOCOLS: the target itself or one above it.
unsigned long XTextWriter::findPingWindow(unsigned long window)
{
    Window current = window;
    for (int depth = 0; current != None && depth < 32; ++depth) {
        Atom* protocols = nullptr;
        int count = 0;
        if (XGetWMProtocols(display, current, &protocols, &count)) {
            const bool answers = std::find(protocols, protocols + count, pingAtom) != protocols + count;
            XFree(protocols);
            return answers ? current : 0;
        }
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int childCount = 0;
        if (!XQueryTree(display, current, &root, &parent, &children, &childCount))
            return 0;
        if (children)
            XFree(children);
        if (parent == root)
            return 0;
        current = parent;
    }
    return 0;
}

void XTextWriter::listenForPongs(bool listen)
{
    if (listen == listeningForPongs || typingRoot == 0)
        return;
    // Answers go to the root window, to whoever listens to its changes (Qt)
    // or its children's (as the window manager specification says).
    XSelectInput(display, typingRoot, listen ? StructureNotifyMask | SubstructureNotifyMask : NoEventMask);
    listeningForPongs = listen;
}

void XTextWriter::ping(ReceiverProgress& receiver)
{
    if (!receiver.wantsPing())
        return;
    listenForPongs(true);
    XClientMessageEvent event{};
    event.type = ClientMessage;
    event.display = display;
    event.window = receiver.pingWindow();
    event.message_type = wmProtocolsAtom;
    event.format = 32;
    event.data.l[0] = static_cast<long>(pingAtom);
    // Not a server time: the id only has to come back.
    event.data.l[1] = static_cast<long>(++lastPingId);
    event.data.l[2] = static_cast<long>(receiver.pingWindow());
    XSendEvent(display, receiver.pingWindow(), False, NoEventMask, reinterpret_cast<XEvent*>(&event));
    receiver.pingSent(lastPingId);
}

void XTextWriter::pingUnread(qint64 now)
{
    for (ReceiverProgress& receiver : receivers) {
        if (receiver.readUpTo(now) < receiver.lastKeySent())
            ping(receiver);
    }
    XFlush(display);
}

int XTextWriter::msUntilFree(const SpareKey& slot, qint64 now) const
{
    if (slot.lastUse == 0)
        return 0;
    const auto it = receivers.constFind(slot.lastUseWindow);
    if (it == receivers.cend() || it->readUpTo(now) >= slot.lastUse)
        return 0;
    const int assumed = millisecondsUntil(it->assumedReadAtUs(slot.lastUse) - now);
    return it->canPing() ? std::min(answerPollMs, assumed) : assumed;
}

int XTextWriter::msUntilAllLentFree(qint64 now) const
{
    int wait = 0;
    for (const SpareKey& slot : spareKeys) {
        if (slot.keysym != NoSymbol)
            wait = std::max(wait, msUntilFree(slot, now));
    }
    return wait;
}

int XTextWriter::lendKeysFor(const Typing& typing)
{
    // The keysyms the text needs next, in the order it needs them, as many as there are keys to lend.
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
    // Keys holding nothing needed: the empty ones first, then the longest unused.
    QVector<SpareKey*> candidates;
    for (SpareKey& slot : spareKeys) {
        if (!needed.contains(slot.keysym))
            candidates << &slot;
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const SpareKey* a, const SpareKey* b) {
        return std::make_pair(a->keysym != NoSymbol, a->lastUse) < std::make_pair(b->keysym != NoSymbol, b->lastUse);
    });
    const qint64 now = nowUs();
    QVector<SpareKey*> lent;
    int wait = 0;
    for (SpareKey* candidate : qAsConst(candidates)) {
        if (lent.size() == missing.size())
            break;
        const int untilFree = msUntilFree(*candidate, now);
        if (untilFree == 0)
            lent << candidate;
        else
            wait = wait == 0 ? untilFree : std::min(wait, untilFree);
    }
    if (lent.isEmpty()) {
        // Every key that could take the character may still be unread by a receiver: ask them.
        pingUnread(now);
        return std::max(wait, 1);
    }
    QVector<quint8> keycodes;
    for (SpareKey* slot : qAsConst(lent)) {
        if (!keycodes.contains(slot->keycode))
            keycodes << slot->keycode;
    }
    const QVector<unsigned long> before = [&] {
        QVector<unsigned long> held;
        for (const SpareKey* slot : qAsConst(lent))
            held << slot->keysym;
        return held;
    }();
    for (int i = 0; i < lent.size(); ++i) {
        lent[i]->keysym = missing[i];
        lent[i]->readyAtUs = now + static_cast<qint64>(enterDelay);
    }
    const KeyContents contents = lentContents(keycodes);
    recordBeforeChange(contents);
    if (!writeKeycodes(contents)) {
        if (!noSpareKeyLogged)
            qWarning() << "XTextWriter: the spare keycodes could not be remapped";
        noSpareKeyLogged = true;
        for (int i = 0; i < lent.size(); ++i)
            lent[i]->keysym = before[i];
        return noSpareKey;
    }
    return 0;
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
    if (!slot) {
        const int wait = lendKeysFor(typing);
        if (wait != 0)
            return wait;
        slot = spareKeyHolding(key->keysym);
        if (!slot)
            return noSpareKey;
    }
    if (slot->readyAtUs > nowUs())
        return millisecondsUntil(slot->readyAtUs - nowUs());
    key->keycode = slot->keycode;
    key->state = levelState(slot->level);
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

void XTextWriter::typeKey(unsigned long window, ReceiverProgress& receiver, const XKey& key, SpareKey* lent)
{
    sendKey(window, key, true);
    if (symbolDelay > 0) {
        XFlush(display);
        QThread::usleep(symbolDelay);
    }
    sendKey(window, key, false);
    ++keysSent;
    lastKeyUs = nowUs();
    receiver.keySent(keysSent, lastKeyUs, lent != nullptr);
    if (lent) {
        lent->lastUse = keysSent;
        lent->lastUseWindow = window;
    }
    if (keysSent % syncEveryCharacters == 0)
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
    if (typingRoot != root)
        listenForPongs(false);
    typingRoot = root;
    noSpareKeyLogged = false;
    receiverOf(typing.window);
    return !trap.failed();
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
    drainEvents();
    ReceiverProgress& receiver = receiverOf(typing.window);
    const qint64 sliceEnd = nowUs() + sliceUs;
    int wait = 0;
    while (typing.next < typing.end && wait == 0 && nowUs() < sliceEnd) {
        if (receiver.canPing() && receiver.lastKeySent() - receiver.readUpTo(nowUs()) >= maxUnreadKeys) {
            // Typing goes at the receiver's pace.
            wait = answerPollMs;
            break;
        }
        if (const qint64 paced = receiver.paceWaitUs(nowUs())) {
            wait = millisecondsUntil(paced);
            break;
        }
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
        typeKey(typing.window, receiver, key, lent);
        ++typing.next;
        if (trap.errorCount() > 0)
            break; // the window is gone
        if (symbolDelay > 0)
            wait = millisecondsUntil(static_cast<qint64>(symbolDelay));
    }
    ping(receiver);
    XFlush(display);
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
    XErrorTrap trap(display);
    drainEvents();
    if (!anyLent()) {
        listenForPongs(false);
        receivers.clear();
        return 0;
    }
    const qint64 now = nowUs();
    // Asked now, the receivers have answered by the time the keys may go back.
    pingUnread(now);
    const qint64 keepUntil = lastKeyUs + KeepLentMs * 1000;
    if (now < keepUntil)
        return millisecondsUntil(keepUntil - now);
    if (const int wait = msUntilAllLentFree(now))
        return wait;
    giveBack();
    listenForPongs(false);
    receivers.clear();
    return 0;
}

int XTextWriter::releaseBorrowed(int maxWaitMs)
{
    if (!display)
        return 0;
    XErrorTrap trap(display);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        drainEvents();
        if (!anyLent())
            break;
        const qint64 now = nowUs();
        pingUnread(now);
        const int wait = msUntilAllLentFree(now);
        const qint64 left = maxWaitMs - waited.elapsed();
        if (wait == 0 || left <= 0)
            break;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(wait, left)));
    }
    int unread = 0;
    const qint64 now = nowUs();
    for (ReceiverProgress& receiver : receivers)
        unread += receiver.unreadLentKeys(now);
    if (anyLent())
        giveBack();
    listenForPongs(false);
    receivers.clear();
    return unread;
}

bool XTextWriter::writeText(unsigned long window, QString text)
{
    Typing typing(window, text);
    while (!typing.done()) {
        const int wait = typeSome(typing);
        if (wait > 0)
            QThread::msleep(static_cast<unsigned long>(wait));
    }
    const int unread = releaseBorrowed(EndingWaitMs);
    return !typing.failed && typing.untyped == 0 && unread == 0;
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
