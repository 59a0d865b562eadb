#include "XTextWriter.h"

#include "TextWriterSettings.h"
#include "XErrorTrap.h"

#include <QDebug>
#include <QGuiApplication>
#include <QRect>
#include <QThread>
#include <QWindow>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>

namespace {
// Synthetic events are read back on the server; syncing now and then bounds
// the errors (and log lines) a text sent to a vanished window can cause.
constexpr int syncEveryCharacters = 32;
// How long one typing step may hold the GUI thread.
constexpr qint64 sliceUs = 15000;
// A window that answers pings is never more than this many keys behind: typing
// goes at its pace, and a stop is seen there soon after it is made.
constexpr quint64 maxUnreadKeys = 400;
// How far ahead a text is read for the characters the next lent keys must hold.
constexpr int lookAhead = 4096;
constexpr int noSpareKey = -1;
constexpr int needsLending = -2;
// Keys sent in one go while the server serves the writer alone.
constexpr int batchKeys = 32;
// How often a paused text looks whether the keyboard is free again.
constexpr int pausePollMs = 20;

unsigned long microseconds(int milliseconds)
{
    return milliseconds > 0 ? static_cast<unsigned long>(milliseconds) * 1000 : 0;
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

// The window's parent (its root in *root); 0 when the window is gone.
Window parentOf(Display* display, Window window, Window* root)
{
    Window parent = 0;
    Window* children = nullptr;
    unsigned int childCount = 0;
    if (!XQueryTree(display, window, root, &parent, &children, &childCount))
        return 0;
    if (children)
        XFree(children);
    return parent;
}

// The keyboard map as plain values; empty when the server did not give it.
KeymapDescription describe(XkbDescPtr xkb, const XModifierKeymap* modmap)
{
    KeymapDescription map;
    for (int index = 0; index < xkb->map->num_types; ++index) {
        const XkbKeyTypeRec& type = xkb->map->types[index];
        KeymapDescription::KeyType described;
        described.levels = type.num_levels;
        described.modifiers = type.mods.mask;
        for (int i = 0; i < type.map_count; ++i)
            described.entries << KeymapDescription::TypeEntry{bool(type.map[i].active), type.map[i].mods.mask, type.map[i].level};
        map.types << described;
    }
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        KeymapDescription::Key key;
        key.keycode = keycode;
        key.modifiers = ownModifierMask(modmap, keycode);
        for (int group = 0; group < XkbKeyNumGroups(xkb, keycode); ++group) {
            KeymapDescription::Group keysyms;
            keysyms.type = XkbKeyKeyTypeIndex(xkb, keycode, group);
            for (int level = 0; level < XkbKeyGroupWidth(xkb, keycode, group); ++level)
                keysyms.keysyms << XkbKeySymEntry(xkb, keycode, level, group);
            key.groups << keysyms;
        }
        map.keys << key;
    }
    return map;
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
    if (lent.isEmpty())
        qWarning() << "XTextWriter: the keyboard has no free keycode; characters of no key cannot be typed";
}

XTextWriter::~XTextWriter()
{
    if (!display)
        return;
    releaseBorrowed(EndingWaitMs);
    XCloseDisplay(display);
}

KeymapDescription XTextWriter::readKeymap() const
{
    KeymapDescription map;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
    XModifierKeymap* modmap = XGetModifierMapping(display);
    if (xkb && modmap)
        map = describe(xkb, modmap);
    if (modmap)
        XFreeModifiermap(modmap);
    if (xkb)
        XkbFreeKeyboard(xkb, 0, True);
    return map;
}

void XTextWriter::giveBackWhatEndedCopiesLeft()
{
    const LentKeysRecord::Keys left = LentKeysRecord::takeLeftByEndedCopies(QString::fromLocal8Bit(DisplayString(display)));
    if (left.isEmpty())
        return;
    LentKeys::Contents back;
    for (quint8 keycode : LentKeys::stillHolding(readKeymap(), left))
        back.insert(keycode, {});
    if (!back.isEmpty() && writeKeycodes(back))
        qInfo().noquote() << QStringLiteral("XTextWriter: gave back %1 keycodes that an earlier copy left lent")
                                 .arg(back.size());
}

void XTextWriter::buildKeyTable()
{
    const KeymapDescription map = readKeymap();
    if (map.isEmpty())
        qWarning() << "XTextWriter: cannot read the keyboard map";
    else
        lent.update(map);
    keyTable.build(map, [this](int keycode) { return lent.isSpareKeycode(keycode); });
}

bool XTextWriter::drainEvents()
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
        } else if ((event.type == FocusIn || event.type == FocusOut) && event.xfocus.window == watchedWindow) {
            // A grab of the keyboard takes the focus from the window until it ends.
            if (event.type == FocusOut && event.xfocus.mode == NotifyGrab)
                keyboardGrabbed = true;
            else if (event.type == FocusIn && event.xfocus.mode != NotifyWhileGrabbed)
                keyboardGrabbed = false;
        }
    }
    if (changed)
        buildKeyTable();
    return changed;
}

void XTextWriter::watchFocusOf(unsigned long window)
{
    if (window == watchedWindow)
        return;
    // The window watched before is left selected: it may be gone, and its events are dropped here.
    watchedWindow = window;
    keyboardGrabbed = false;
    XSelectInput(display, window, FocusChangeMask);
}

// Every keycode goes in one request, so the receivers reload the map once.
bool XTextWriter::writeKeycodes(const LentKeys::Contents& contents)
{
    if (contents.isEmpty())
        return true;
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!xkb)
        return false;
    const int typeIndex = lent.keyType() >= 0 ? lent.keyType() : XkbTwoLevelIndex;
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

bool XTextWriter::recordBeforeChange(const LentKeys::Contents& contents)
{
    for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
        QVector<unsigned long>& keysyms = recorded[it.key()];
        for (int i = 0; i < lent.size(); ++i) {
            const LentKeys::Slot& slot = lent.slot(i);
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
    if (!writeKeycodes(lent.takeBackAll())) {
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
        const Window parent = parentOf(display, current, &root);
        if (parent == 0 || parent == root)
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

int XTextWriter::lendKeysFor(const Typing& typing)
{
    // The keysyms the text needs next, in the order it needs them, as many as there are keys to lend.
    QVector<unsigned long> needed;
    const int stop = std::min(typing.end, typing.next + lookAhead);
    for (int i = typing.next; i < stop && needed.size() < lent.size(); ++i) {
        const XKey key = wchar2key(typing.characters[i]);
        if (!key.mapped && key.keysym != NoSymbol && !needed.contains(key.keysym))
            needed << key.keysym;
    }
    const qint64 now = nowUs();
    const LentKeys::Lending lending = lent.lend(needed, receivers, now, now + static_cast<qint64>(enterDelay));
    if (lending.waitMs > 0) {
        // Every key that could take the character may still be unread by a receiver: ask them.
        pingUnread(now);
        return lending.waitMs;
    }
    const LentKeys::Contents contents = lent.contents(lending.keycodes);
    recordBeforeChange(contents);
    if (!writeKeycodes(contents)) {
        if (!noSpareKeyLogged)
            qWarning() << "XTextWriter: the spare keycodes could not be remapped";
        noSpareKeyLogged = true;
        lent.undo(lending);
        return noSpareKey;
    }
    return 0;
}

int XTextWriter::strokeFor(uint character, Stroke* stroke)
{
    stroke->key = wchar2key(character);
    if (stroke->key.mapped)
        return 0;
    if (stroke->key.keysym == NoSymbol) {
        stroke->skip = true;
        return 0;
    }
    if (lent.isEmpty()) {
        if (!noSpareKeyLogged)
            qWarning() << "XTextWriter: no free keycode for characters that no key produces";
        noSpareKeyLogged = true;
        stroke->skip = true;
        return 0;
    }
    const int index = lent.holding(stroke->key.keysym);
    if (index < 0)
        return needsLending;
    const LentKeys::Slot& holder = lent.slot(index);
    if (holder.readyAtUs > nowUs())
        return LentKeys::waitMs(holder.readyAtUs - nowUs());
    stroke->key.keycode = holder.keycode;
    stroke->key.state = lent.levelState(holder.level);
    stroke->slot = index;
    return 0;
}

int XTextWriter::paceWait(const ReceiverProgress& receiver) const
{
    // Typing goes at the receiver's pace.
    if (receiver.canPing() && receiver.lastKeySent() - receiver.readUpTo(nowUs()) >= maxUnreadKeys)
        return LentKeys::AnswerPollMs;
    if (const qint64 paced = receiver.paceWaitUs(nowUs()))
        return LentKeys::waitMs(paced);
    return 0;
}

// More characters without a key than all the lent keys hold at once.
bool XTextWriter::wordOutgrowsLentKeys(const Typing& typing, int from, int to) const
{
    QVector<unsigned long> keysyms;
    for (int i = from; i < to; ++i) {
        const XKey key = wchar2key(typing.characters[i]);
        if (!key.mapped && key.keysym != NoSymbol && !keysyms.contains(key.keysym))
            keysyms << key.keysym;
    }
    return keysyms.size() > lent.size();
}

int XTextWriter::planBatch(const Typing& typing, const ReceiverProgress& receiver, Batch* batch)
{
    if (const int wait = paceWait(receiver))
        return wait;
    const int most = symbolDelay > 0 ? 1 : batchKeys;
    int at = typing.next;
    for (int lendings = 0; at < typing.end && batch->strokes.size() < most;) {
        const int wordEnd = symbolDelay > 0 ? at + 1 : typing.wordEnd(at);
        QVector<Stroke> word;
        int wait = 0;
        int i = at;
        for (; i < wordEnd; ++i) {
            Stroke stroke;
            if ((wait = strokeFor(typing.characters[i], &stroke)) != 0)
                break;
            word << stroke;
        }
        if (wait == 0) {
            batch->strokes += word;
            at = wordEnd;
            continue;
        }
        // The words whose keys are ready go now, the next one after.
        if (!batch->strokes.isEmpty())
            break;
        // A word goes whole, so that the focus cannot leave in the middle of
        // it; only one wider than the lent keys goes in parts.
        const bool inParts = !word.isEmpty() && wordOutgrowsLentKeys(typing, at, wordEnd);
        if (wait == needsLending && !inParts && lendings++ == 0)
            wait = lendKeysFor(typing);
        if (wait == 0)
            continue;
        if (wait == noSpareKey) {
            Stroke skipped;
            skipped.key = wchar2key(typing.characters[i]);
            skipped.skip = true;
            batch->strokes = word << skipped;
            at = i + 1;
            break;
        }
        if (!inParts)
            return wait == needsLending ? LentKeys::AnswerPollMs : wait;
        batch->strokes = word;
        at = i;
        break;
    }
    batch->end = at;
    return 0;
}

bool XTextWriter::ownPopupShown() const
{
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [](const QWindow* window) { return window->type() == Qt::Popup && window->isVisible(); });
}

bool XTextWriter::isOwnWindow(unsigned long window) const
{
    const QWindowList windows = QGuiApplication::allWindows();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [window](QWindow* own) { return own->handle() && own->winId() == window; });
}

unsigned long XTextWriter::topLevelOf(unsigned long window)
{
    Window current = window;
    for (int depth = 0; depth < 32; ++depth) {
        Window root = 0;
        const Window parent = parentOf(display, current, &root);
        if (parent == 0)
            return root == current ? current : 0;
        if (parent == root)
            break;
        current = parent;
    }
    return current;
}

unsigned long XTextWriter::focusTopLevel(unsigned long focus)
{
    if (focus == None)
        return 0;
    if (focus == PointerRoot) {
        // The keyboard goes to the window under the pointer.
        Window root = 0;
        Window child = 0;
        int x = 0;
        int y = 0;
        unsigned int mask = 0;
        return XQueryPointer(display, typingRoot, &root, &child, &x, &y, &x, &y, &mask) ? child : 0;
    }
    if (focus != lastFocus) {
        lastFocus = focus;
        lastFocusTop = topLevelOf(focus);
    }
    return lastFocusTop;
}

XTextWriter::Verdict XTextWriter::focusVerdict(const Typing& typing, unsigned long focus)
{
    // A program that reads keys only while it has the focus drops them while
    // a menu, a dialog or another program's grab holds the keyboard.
    if (keyboardGrabbed || ownPopupShown())
        return Verdict::Pause;
    const unsigned long top = focusTopLevel(focus);
    if (top != 0 && top == targetTop)
        return Verdict::Type;
    if (focus != PointerRoot && isOwnWindow(focus))
        return Verdict::Pause;
    return typing.followsFocus ? Verdict::Stop : Verdict::Type;
}

int XTextWriter::sendBatch(Typing& typing, ReceiverProgress& receiver, const Batch& batch)
{
    // While the server serves this connection alone, the focus stays where it
    // was asked for: the whole batch reaches the window that has it, or none.
    XGrabServer(display);
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    // The map changed since the batch was chosen: its keys may mean other characters now.
    const Verdict verdict = drainEvents() ? Verdict::Replan : focusVerdict(typing, focus);
    typing.paused = verdict == Verdict::Pause;
    if (verdict == Verdict::Type) {
        for (const Stroke& stroke : batch.strokes) {
            if (stroke.skip) {
                skipCharacter(typing, stroke.key);
                continue;
            }
            sendKey(typing.window, stroke.key, true);
            if (symbolDelay > 0) {
                XUngrabServer(display);
                XFlush(display);
                QThread::usleep(symbolDelay);
            }
            sendKey(typing.window, stroke.key, false);
            keySent(typing.window, receiver, stroke.slot);
        }
        typing.next = batch.end;
    }
    XUngrabServer(display);
    XFlush(display);
    switch (verdict) {
    case Verdict::Type:
        return symbolDelay > 0 ? LentKeys::waitMs(static_cast<qint64>(symbolDelay)) : 0;
    case Verdict::Pause:
        return pausePollMs;
    case Verdict::Stop:
        typing.focusLost = true;
        qInfo() << "XTextWriter: the focus went to another window; typing into" << typing.window << "ends here";
        return 0;
    case Verdict::Replan:
        break;
    }
    return 0;
}

void XTextWriter::skipCharacter(Typing& typing, const XKey& key)
{
    // A control character helps a diagnosis; a letter would be a piece of the dictated text.
    if (key.keysym == NoSymbol) {
        if (QChar::isLetterOrNumber(key.unicode))
            qInfo() << "XTextWriter: Unknown char";
        else
            qInfo().noquote() << QStringLiteral("XTextWriter: Unknown char %1").arg(key.unicode, 0, 16);
    }
    ++typing.untyped;
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

void XTextWriter::keySent(unsigned long window, ReceiverProgress& receiver, int slot)
{
    ++keysSent;
    lastKeyUs = nowUs();
    receiver.keySent(keysSent, lastKeyUs, slot >= 0);
    if (slot >= 0)
        lent.used(slot, keysSent, window);
    if (keysSent % syncEveryCharacters == 0)
        XSync(display, False);
}

bool XTextWriter::beginTyping(Typing& typing)
{
    typing.begun = true;
    if (!display)
        return false;
    if (typing.window == 0) {
        // Every result finds no window while nothing has the focus: a flood of them must not fill the log.
        QString more;
        if (noWindowLog.pass(&more))
            qInfo().noquote() << QStringLiteral("XTextWriter: No window") + (more.isEmpty() ? QString() : ' ' + more);
        return false;
    }
    XErrorTrap trap(display);
    Window root = 0;
    // The root has no parent: 0 then too.
    if ((parentOf(display, typing.window, &root) == 0 && root != typing.window) || trap.errorCount() > 0)
        return false;
    if (typingRoot != root)
        listenForPongs(false);
    typingRoot = root;
    noSpareKeyLogged = false;
    receiverOf(typing.window);
    targetTop = topLevelOf(typing.window);
    // A window id may have been taken by another window since.
    lastFocus = 0;
    watchFocusOf(typing.window);
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
    while (!typing.done() && wait == 0 && nowUs() < sliceEnd && trap.errorCount() == 0) {
        Batch batch;
        wait = planBatch(typing, receiver, &batch);
        if (batch.strokes.isEmpty())
            break;
        wait = sendBatch(typing, receiver, batch);
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
    if (!lent.anyLent()) {
        listenForPongs(false);
        receivers.clear();
        return 0;
    }
    const qint64 now = nowUs();
    // Asked now, the receivers have answered by the time the keys may go back.
    pingUnread(now);
    const qint64 keepUntil = lastKeyUs + KeepLentMs * 1000;
    if (now < keepUntil)
        return LentKeys::waitMs(keepUntil - now);
    if (const int wait = lent.msUntilAllFree(receivers, now))
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
        if (!lent.anyLent())
            break;
        const qint64 now = nowUs();
        pingUnread(now);
        const int wait = lent.msUntilAllFree(receivers, now);
        const qint64 left = maxWaitMs - waited.elapsed();
        if (wait == 0 || left <= 0)
            break;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(wait, left)));
    }
    int unread = 0;
    const qint64 now = nowUs();
    for (ReceiverProgress& receiver : receivers)
        unread += receiver.unreadLentKeys(now);
    if (lent.anyLent())
        giveBack();
    listenForPongs(false);
    receivers.clear();
    return unread;
}

bool XTextWriter::writeText(unsigned long window, QString text)
{
    Typing typing(window, text);
    QElapsedTimer paused;
    while (!typing.done()) {
        const int wait = typeSome(typing);
        // Nothing turns the event loop here that could close a menu of this program.
        if (!typing.paused)
            paused.invalidate();
        else if (!paused.isValid())
            paused.start();
        else if (paused.hasExpired(EndingWaitMs))
            typing.failed = true;
        if (wait > 0)
            QThread::msleep(static_cast<unsigned long>(wait));
    }
    const int unread = releaseBorrowed(EndingWaitMs);
    return !typing.failed && !typing.focusLost && typing.untyped == 0 && unread == 0;
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
    const Window top = topLevelOf(window);
    XWindowAttributes attributes;
    if (top == 0 || !XGetWindowAttributes(display, top, &attributes) || trap.failed())
        return false;
    *rect = QRect(attributes.x, attributes.y, attributes.width, attributes.height);
    return true;
}
