#include "FixedWindowX11.h"

#include "XErrorTrap.h"

#include <QDebug>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace {

// One whole property as read from the server; freed with it.
class WindowProperty
{
public:
    WindowProperty(Display* display, Window window, Atom property)
    {
        if (property == None)
            return;
        unsigned long remaining = 0;
        const int status = XGetWindowProperty(display, window, property, 0, LONG_MAX / 4, False, AnyPropertyType,
                                              &type, &format, &count, &remaining, &data);
        ok = status == Success;
        if (!ok)
            data = nullptr;
    }
    ~WindowProperty()
    {
        if (data)
            XFree(data);
    }
    WindowProperty(const WindowProperty&) = delete;
    WindowProperty& operator=(const WindowProperty&) = delete;

    bool read() const { return ok; }
    QString text() const
    {
        return data && format == 8 ? QString::fromUtf8(reinterpret_cast<const char*>(data), int(count)) : QString();
    }
    // Xlib hands 32-bit items as longs.
    unsigned long item(unsigned long i) const
    {
        switch (format) {
        case 8:
            return data[i];
        case 16:
            return reinterpret_cast<const unsigned short*>(data)[i];
        case 32:
            return reinterpret_cast<const unsigned long*>(data)[i];
        default:
            return 0;
        }
    }
    unsigned long size() const { return data ? count : 0; }
    bool contains(unsigned long value) const
    {
        for (unsigned long i = 0; i < size(); ++i) {
            if (item(i) == value)
                return true;
        }
        return false;
    }
    bool isAtomList() const { return type == XA_ATOM && format == 32; }

private:
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;
    bool ok = false;
};

Atom existingAtom(Display* display, const char* name)
{
    return XInternAtom(display, name, True);
}

QString atomName(Display* display, Atom atom)
{
    char* name = XGetAtomName(display, atom);
    if (!name)
        return QString::number(atom);
    const QString text = QString::fromUtf8(name);
    XFree(name);
    return text;
}

void logProperty(Display* display, Window window, const char* name)
{
    qInfo().noquote() << QStringLiteral("%1:").arg(QLatin1String(name));
    const WindowProperty property(display, window, existingAtom(display, name));
    for (unsigned long i = 0; i < property.size(); ++i) {
        const unsigned long item = property.item(i);
        qInfo().noquote() << QStringLiteral("  ") + (property.isAtomList() ? atomName(display, item) : QString::number(item));
    }
}

void logState(Display* display, Window window, const QString& name, const char* when)
{
    qInfo().noquote() << QStringLiteral("FixedWindow '%1' #%2(%3) Properties %4:")
                             .arg(name)
                             .arg(window, 0, 16)
                             .arg(window)
                             .arg(QLatin1String(when));
    logProperty(display, window, "_NET_WM_STATE");
    logProperty(display, window, "_NET_WM_ALLOWED_ACTIONS");
}

void applyHints(Display* display, Window window)
{
    const Atom state = existingAtom(display, "_NET_WM_STATE");
    if (state == None) {
        qInfo() << "FixedWindow: the window manager offers no window state hints";
        return;
    }
    // A hint the display does not know is left out rather than written as None,
    // and one the window has already is not written twice.
    std::vector<Atom> missing;
    {
        const WindowProperty current(display, window, state);
        for (const char* hint : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_STICKY"}) {
            const Atom atom = existingAtom(display, hint);
            if (atom != None && !(current.isAtomList() && current.contains(atom)))
                missing.push_back(atom);
        }
    }
    if (missing.empty())
        return;

    QString name = QStringLiteral("<unknown>");
    const WindowProperty netWmName(display, window, existingAtom(display, "_NET_WM_NAME"));
    if (netWmName.read())
        name = netWmName.text();

    logState(display, window, name, "BEFORE");
    for (const Atom hint : missing) {
        XChangeProperty(display, window, state, XA_ATOM, 32, PropModeAppend, reinterpret_cast<const unsigned char*>(&hint),
                        1);
    }
    logState(display, window, name, "AFTER");
}

} // namespace

namespace FixedWindowX11 {

void skipTaskbarAndPagerOnAllDesktops(unsigned long window, void* qtConnection)
{
    if (auto* connection = static_cast<xcb_connection_t*>(qtConnection)) {
        // A reply means the server has done every earlier request, the window's
        // creation included; unlike QGuiApplication::sync, no events are processed.
        free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        qWarning() << "FixedWindow: no X display, the window stays in the task bar";
        return;
    }
    {
        XErrorTrap trap(display);
        applyHints(display, window);
        if (trap.failed())
            qWarning() << "FixedWindow: the window manager hints could not be set on window" << window;
    }
    XCloseDisplay(display);
}

} // namespace FixedWindowX11
