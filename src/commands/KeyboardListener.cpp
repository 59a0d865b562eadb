#include "KeyboardListener.h"

#include "CancellationCondition.h"
#include "LogCategories.h"
#include "XErrorTrap.h"
#include "XKeymapChanges.h"

#include <QDebug>
#include <QMutexLocker>

#include <climits>

#include <poll.h>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace {
// Only where the system gives no wake-up descriptor: the longest a wait for
// keyboard input lasts before the stop flag is seen again.
constexpr int inputWaitMs = 20;
constexpr qint64 offsetLifetimeUs = Q_INT64_C(60000000);

QList<KeySym> keysymsFor(Qt::Key key)
{
    switch (key) {
    case Qt::Key_Control:
        return {XK_Control_L, XK_Control_R};
    case Qt::Key_CapsLock:
        return {XK_Caps_Lock};
    case Qt::Key_Pause:
        return {XK_Pause};
    default:
        return {};
    }
}

// Asks for raw key presses and releases of every master keyboard; false (logged) when the server cannot.
bool selectRawKeyEvents(Display* display, int* xinputOpcode)
{
    XErrorTrap trap(display);
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display, "XInputExtension", xinputOpcode, &event, &error)) {
        qCWarning(lcKbd) << "KeyboardListener: the X server has no XInput extension; hotkeys are off";
        return false;
    }
    // Under 2.0 the server withholds raw events while another client grabs
    // the keyboard (an open menu, a remote viewer); 2.2 delivers them anyway.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success || major < 2) {
        qCWarning(lcKbd).noquote()
            << QStringLiteral("KeyboardListener: XInput 2.0 is needed, the X server offers %1.%2; hotkeys are off")
                   .arg(major)
                   .arg(minor);
        return false;
    }
    unsigned char mask[4] = {};
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawKeyRelease);
    XIEventMask eventMask;
    eventMask.deviceid = XIAllMasterDevices;
    eventMask.mask_len = sizeof mask;
    eventMask.mask = mask;
    if (XISelectEvents(display, DefaultRootWindow(display), &eventMask, 1) != Success || trap.failed()) {
        qCWarning(lcKbd) << "KeyboardListener: cannot select raw key events; hotkeys are off";
        return false;
    }
    return true;
}
} // namespace

KeyboardListener::KeyEntry::KeyEntry(Qt::Key qtKey, int modifiers)
    : qtKey(qtKey)
    , modifiers(modifiers)
{
}

KeyboardListener::KeyboardListener()
    : RepeatWorker(0)
{
}

KeyboardListener::~KeyboardListener()
{
    QMutexLocker lock(&mutex);
    closeDisplayLocked();
}

void KeyboardListener::AddKey(Qt::Key key, int modifiers)
{
    QMutexLocker lock(&mutex);
    for (const KeyEntry& entry : qAsConst(keys)) {
        if (entry.qtKey == key)
            return;
    }
    for (KeySym keysym : keysymsFor(key)) {
        KeyEntry entry(key, modifiers);
        entry.keysym = keysym;
        keys.append(entry);
    }
}

void KeyboardListener::ResetKeys(bool pushToTalk)
{
    QMutexLocker lock(&mutex);
    this->pushToTalk = pushToTalk;
    keys.clear();
}

bool KeyboardListener::IsInitialized() const
{
    QMutexLocker lock(&mutex);
    return display != nullptr;
}

int KeyboardListener::getQtKey(int keycode)
{
    QMutexLocker lock(&mutex);
    return qtKeyLocked(static_cast<unsigned int>(keycode));
}

int KeyboardListener::qtKeyLocked(unsigned int keycode) const
{
    for (const KeyEntry& entry : keys) {
        if (entry.keycode != 0 && entry.keycode == keycode)
            return entry.qtKey;
    }
    return -1;
}

void KeyboardListener::initialize()
{
    qCDebug(lcKbd) << "KeyboardListener::initialize";
    Display* opened = XOpenDisplay(nullptr);
    if (!opened) {
        qCWarning(lcKbd) << "KeyboardListener: cannot open the X display; hotkeys are off";
        return;
    }
    int opcode = 0;
    if (!selectRawKeyEvents(opened, &opcode)) {
        XCloseDisplay(opened);
        return;
    }
    QMutexLocker lock(&mutex);
    closeDisplayLocked();
    display = opened;
    keymapChanges = std::make_unique<XKeymapChanges>(opened);
    xinputOpcode = opcode;
    heldKeycode = 0;
    resolveKeycodesLocked();
}

void KeyboardListener::resolveKeycodesLocked()
{
    for (KeyEntry& entry : keys)
        entry.keycode = XKeysymToKeycode(display, entry.keysym);
}

void KeyboardListener::cleanUp()
{
    qCDebug(lcKbd) << "KeyboardListener::cleanUp";
    QMutexLocker lock(&mutex);
    closeDisplayLocked();
}

void KeyboardListener::closeDisplayLocked()
{
    keymapChanges.reset();
    if (display)
        XCloseDisplay(display);
    display = nullptr;
}

void KeyboardListener::repeatableWork(CancellationCondition* cancellationCondition)
{
    // Only this thread opens and closes the display, so it may use it unlocked.
    Display* dpy = nullptr;
    {
        QMutexLocker lock(&mutex);
        dpy = display;
    }
    if (!dpy) {
        // Nothing to listen to: sleep until stopped.
        cancellationCondition->wait(ULONG_MAX);
        return;
    }
    if (XPending(dpy) == 0) {
        // Sleeps on the X connection and the stop together: a key event or a
        // stop wakes the thread at once, and nothing else does.
        const int wake = cancellationCondition->wakeDescriptor();
        pollfd descriptors[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {wake, POLLIN, 0}};
        ::poll(descriptors, wake >= 0 ? 2 : 1, wake >= 0 ? -1 : inputWaitMs);
        return;
    }

    XEvent event;
    XNextEvent(dpy, &event);
    if (keymapChanges->isChange(&event)) {
        // A layout change may move the watched keys.
        QMutexLocker lock(&mutex);
        resolveKeycodesLocked();
        return;
    }
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != xinputOpcode || !XGetEventData(dpy, cookie))
        return;
    const qint64 readAt = hotkeyClockUs();
    const int type = cookie->evtype;
    const bool isKey = type == XI_RawKeyPress || type == XI_RawKeyRelease;
    const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
    const unsigned int keycode = isKey ? static_cast<unsigned int>(raw->detail) : 0;
    const quint32 serverTime = isKey ? static_cast<quint32>(raw->time) : 0;
    XFreeEventData(dpy, cookie);
    if (isKey)
        onRawKey(type == XI_RawKeyPress, keycode, serverTime, localTimeOf(serverTime, readAt));
}

qint64 KeyboardListener::localTimeOf(quint32 serverTime, qint64 readAt)
{
    // The server's clock counts milliseconds in 32 bits; carried on past each wrap.
    if (serverTime < lastServerTime && lastServerTime - serverTime > 0x80000000u)
        serverTimeWraps += Q_INT64_C(1) << 32;
    lastServerTime = serverTime;
    const qint64 serverUs = (serverTimeWraps + serverTime) * 1000;
    // The least gap between the two clocks is the one with no delay in reading;
    // taken afresh now and then, should the clocks drift apart.
    const qint64 offset = readAt - serverUs;
    if (offsetTakenAt == 0 || offset < clockOffsetUs || readAt - offsetTakenAt > offsetLifetimeUs) {
        clockOffsetUs = offset;
        offsetTakenAt = readAt;
    }
    return serverUs + clockOffsetUs;
}

void KeyboardListener::onRawKey(bool isPress, unsigned int keycode, quint32 serverTime, qint64 happenedAt)
{
    bool report = false;
    bool isUp = false;
    int qtKey = -1;
    {
        QMutexLocker lock(&mutex);
        if (heldKeycode == 0) {
            if (isPress) {
                heldKeycode = keycode;
                report = true;
                qtKey = qtKeyLocked(keycode);
            }
        } else if (!isPress && keycode == heldKeycode) {
            heldKeycode = 0;
            report = true;
            isUp = true;
            qtKey = qtKeyLocked(keycode);
        } else if (isPress && keycode != heldKeycode && !pushToTalk) {
            // A chord breaks any double press; the release of the first key is then not reported.
            heldKeycode = 0;
            report = true;
            isUp = true;
        }
    }
    if (report)
        emit keyEventAction(isUp, qtKey, serverTime, happenedAt);
}

void KeyboardListener::LogKey(_XEvent* event)
{
    if (!event || (event->type != KeyPress && event->type != KeyRelease))
        return;
    const XKeyEvent& key = event->xkey;
    QString down;
    if (key.display) {
        char keymap[32] = {};
        XQueryKeymap(key.display, keymap);
        for (int code = 0; code < 256; ++code) {
            if (keymap[code / 8] & (1 << (code % 8)))
                down += QString::number(code) + QLatin1Char(' ');
        }
    }
    qCInfo(lcKbd).noquote() << QStringLiteral("event %1 [%2] window:0x%3 root:0x%4 child:0x%5 state:%6 samescreen:%7 "
                                              "serial:%8 [%9] x:%10 y:%11 x_root:%12 y_root:%13")
                                   .arg(key.type == KeyPress ? QStringLiteral("press  ") : QStringLiteral("release"))
                                   .arg(down.trimmed())
                                   .arg(key.window, 0, 16)
                                   .arg(key.root, 0, 16)
                                   .arg(key.subwindow, 0, 16)
                                   .arg(key.state)
                                   .arg(key.same_screen)
                                   .arg(key.serial)
                                   .arg(key.keycode)
                                   .arg(key.x)
                                   .arg(key.y)
                                   .arg(key.x_root)
                                   .arg(key.y_root);
}
