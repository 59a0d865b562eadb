#include "KeyRecorderWindow.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <thread>

#include <poll.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

struct KeyRecorderWindow::Private
{
    Display* display = nullptr;
    Window window = 0;
    int xkbEventType = -1;
    Atom wmProtocols = 0;
    Atom ping = 0;
    std::thread reader;
    std::atomic<bool> stop{false};

    mutable QMutex mutex;
    QList<KeyEvent> events;
    QString text;

    void run();
    void handle(XEvent& event);
};

namespace {
Bool isMapNotify(Display*, XEvent* event, XPointer window)
{
    return event->type == MapNotify && event->xmap.window == *reinterpret_cast<Window*>(window);
}
} // namespace

KeyRecorderWindow::KeyRecorderWindow(const QRect& geometry)
    : d(new Private)
{
    d->display = XOpenDisplay(nullptr);
    if (!d->display)
        return;
    Display* display = d->display;
    int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        // Keeps Xlib's own copy of the keyboard map fresh when keycodes are remapped.
        d->xkbEventType = eventBase;
        const unsigned long mask = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
        XkbSelectEvents(display, XkbUseCoreKbd, mask, mask);
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
    d->window = XCreateWindow(display, DefaultRootWindow(display), geometry.x(), geometry.y(),
                              static_cast<unsigned>(geometry.width()), static_cast<unsigned>(geometry.height()), 0,
                              CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask,
                              &attributes);
    XStoreName(display, d->window, "key recorder");
    // It answers pings, as the windows of most programs do, after the keys before them.
    d->wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    d->ping = XInternAtom(display, "_NET_WM_PING", False);
    XSetWMProtocols(display, d->window, &d->ping, 1);
    XMapWindow(display, d->window);
    XEvent event;
    XIfEvent(display, &event, isMapNotify, reinterpret_cast<XPointer>(&d->window));
    d->reader = std::thread([this] { d->run(); });
}

KeyRecorderWindow::~KeyRecorderWindow()
{
    if (!d->display)
        return;
    d->stop = true;
    d->reader.join();
    XDestroyWindow(d->display, d->window);
    XCloseDisplay(d->display);
}

bool KeyRecorderWindow::isOpen() const
{
    return d->display != nullptr;
}

unsigned long KeyRecorderWindow::windowId() const
{
    return d->window;
}

QString KeyRecorderWindow::text() const
{
    QMutexLocker lock(&d->mutex);
    return d->text;
}

QList<KeyRecorderWindow::KeyEvent> KeyRecorderWindow::events() const
{
    QMutexLocker lock(&d->mutex);
    return d->events;
}

QList<KeyRecorderWindow::KeyEvent> KeyRecorderWindow::presses() const
{
    QList<KeyEvent> result;
    for (const KeyEvent& event : events()) {
        if (event.press)
            result << event;
    }
    return result;
}

void KeyRecorderWindow::clear()
{
    QMutexLocker lock(&d->mutex);
    d->events.clear();
    d->text.clear();
}

void KeyRecorderWindow::Private::run()
{
    pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
    while (!stop) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            handle(event);
        }
        poll(&descriptor, 1, 10);
    }
}

void KeyRecorderWindow::Private::handle(XEvent& event)
{
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    if (event.type == xkbEventType) {
        auto* xkb = reinterpret_cast<XkbEvent*>(&event);
        if (xkb->any.xkb_type == XkbMapNotify)
            XkbRefreshKeyboardMapping(&xkb->map);
        return;
    }
    if (event.type == ClientMessage && event.xclient.message_type == wmProtocols
        && static_cast<Atom>(event.xclient.data.l[0]) == ping) {
        XEvent answer = event;
        answer.xclient.window = DefaultRootWindow(display);
        XSendEvent(display, answer.xclient.window, False, SubstructureNotifyMask | SubstructureRedirectMask, &answer);
        XFlush(display);
        return;
    }
    if (event.type != KeyPress && event.type != KeyRelease)
        return;

    KeySym keysym = NoSymbol;
    char buffer[32];
    XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
    KeyEvent key;
    key.press = event.type == KeyPress;
    key.keycode = event.xkey.keycode;
    key.state = event.xkey.state;
    key.keysym = keysym;
    key.synthetic = event.xkey.send_event;
    key.received = QDeadlineTimer::current().deadline();

    QString character;
    if (key.press) {
        if (keysym == XK_Return || keysym == XK_KP_Enter) {
            character = QStringLiteral("\n");
        } else {
            const uint unicode = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
            if (unicode >= 0x20 && unicode != 0x7f)
                character = QString::fromUcs4(&unicode, 1);
        }
    }
    QMutexLocker lock(&mutex);
    events << key;
    text += character;
}
