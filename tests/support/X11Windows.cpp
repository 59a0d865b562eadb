#include "X11Windows.h"

#include "TestHome.h"

#include <QDeadlineTimer>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

namespace X11Windows {
namespace {

class Connection
{
public:
    Connection() : display(XOpenDisplay(nullptr)) {}
    ~Connection()
    {
        if (display)
            XCloseDisplay(display);
    }
    Display* display;
};

// One window property as read from the server, freed with this object.
struct PropertyData
{
    PropertyData(Display* display, ::Window window, const char* property, Atom type, long length)
    {
        ok = XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, length, False, type,
                                &actualType, &format, &count, &after, &data)
                == Success
            && data;
    }
    ~PropertyData()
    {
        if (data)
            XFree(data);
    }
    PropertyData(const PropertyData&) = delete;
    PropertyData& operator=(const PropertyData&) = delete;

    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool ok = false;
};

QString utf8Property(Display* display, ::Window window, const char* property)
{
    const PropertyData text(display, window, property, XInternAtom(display, "UTF8_STRING", False), 1024);
    return text.ok ? QString::fromUtf8(reinterpret_cast<const char*>(text.data), int(text.count)) : QString();
}

qint64 pidProperty(Display* display, ::Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    qint64 pid = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data)
            == Success
        && data && format == 32 && count == 1) {
        pid = qint64(*reinterpret_cast<unsigned long*>(data));
    }
    if (data)
        XFree(data);
    return pid;
}

void walk(Display* display, ::Window window, const QString& topLevelClass, QList<Window>* out)
{
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        Window info;
        info.id = children[i];
        info.name = utf8Property(display, children[i], "_NET_WM_NAME");
        info.pid = pidProperty(display, children[i]);
        XClassHint hint{nullptr, nullptr};
        if (XGetClassHint(display, children[i], &hint)) {
            info.instanceName = QString::fromLocal8Bit(hint.res_name);
            info.className = QString::fromLocal8Bit(hint.res_class);
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        // Root's children pass their own class down; a null text marks them.
        info.topLevelClass = topLevelClass.isNull() ? info.className : topLevelClass;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes)) {
            int x = 0;
            int y = 0;
            ::Window child = 0;
            XTranslateCoordinates(display, children[i], root, 0, 0, &x, &y, &child);
            info.geometry = QRect(x, y, attributes.width, attributes.height);
            info.viewable = attributes.map_state == IsViewable;
        }
        out->append(info);
        walk(display, children[i], info.topLevelClass.isNull() ? QStringLiteral("") : info.topLevelClass, out);
    }
    if (children)
        XFree(children);
}

} // namespace

QList<Window> list()
{
    Connection connection;
    QList<Window> windows;
    if (connection.display)
        walk(connection.display, DefaultRootWindow(connection.display), QString(), &windows);
    return windows;
}

std::optional<Window> find(const std::function<bool(const Window&)>& match)
{
    for (const Window& window : list()) {
        if (match(window))
            return window;
    }
    return std::nullopt;
}

std::optional<Window> trayIcon(const QString& instanceName, qint64 pid)
{
    return find([&instanceName, pid](const Window& w) {
        return w.instanceName == instanceName && w.topLevelClass == QLatin1String("trayer") && w.viewable
            && (pid == 0 || w.pid == pid);
    });
}

bool requestClose(unsigned long window)
{
    Connection connection;
    if (!connection.display)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection.display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(connection.display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(connection.display, window, False, NoEventMask, &event);
    XFlush(connection.display);
    return sent;
}

void click(int x, int y, int button)
{
    Connection connection;
    if (!connection.display)
        return;
    XTestFakeMotionEvent(connection.display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(connection.display, unsigned(button), True, CurrentTime);
    XTestFakeButtonEvent(connection.display, unsigned(button), False, 20);
    XFlush(connection.display);
}

QStringList atomNames(unsigned long window, const char* property)
{
    Connection connection;
    QStringList names;
    if (!connection.display)
        return names;
    const PropertyData atoms(connection.display, window ? window : DefaultRootWindow(connection.display), property,
                             XA_ATOM, 1024);
    for (unsigned long i = 0; atoms.ok && atoms.format == 32 && i < atoms.count; ++i) {
        char* name = XGetAtomName(connection.display, reinterpret_cast<const Atom*>(atoms.data)[i]);
        names << QString::fromLatin1(name);
        XFree(name);
    }
    return names;
}

bool windowManagerRunning()
{
    Connection connection;
    if (!connection.display)
        return false;
    const PropertyData check(connection.display, DefaultRootWindow(connection.display), "_NET_SUPPORTING_WM_CHECK",
                             XA_WINDOW, 1);
    if (!check.ok || check.count != 1)
        return false;
    // A window manager that has ended leaves the root's property behind, but
    // not its check window (asked for among the root's children: a request on
    // a window that is gone would be an X error).
    const ::Window checkWindow = *reinterpret_cast<const ::Window*>(check.data);
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    bool alive = false;
    if (XQueryTree(connection.display, DefaultRootWindow(connection.display), &root, &parent, &children, &count)) {
        alive = std::find(children, children + count, checkWindow) != children + count;
        XFree(children);
    }
    // A window manager started after another may get the same id for its
    // check window before it lists what it supports (openbox: as often as not).
    return alive && !atomNames(0, "_NET_SUPPORTED").isEmpty();
}

unsigned long inputFocus()
{
    Connection connection;
    if (!connection.display)
        return 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(connection.display, &focus, &revert);
    return focus;
}

bool windowManagerTakesWindows()
{
    Connection connection;
    if (!connection.display)
        return false;
    Display* display = connection.display;
    const ::Window probe = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(display, probe);
    XSync(display, False);
    bool viewable = false;
    const QDeadlineTimer deadline(TestHome::scaled(500));
    for (;;) {
        XWindowAttributes attributes;
        viewable = XGetWindowAttributes(display, probe, &attributes) && attributes.map_state == IsViewable;
        if (viewable || deadline.hasExpired())
            break;
        QThread::msleep(10);
    }
    XDestroyWindow(display, probe);
    XSync(display, False);
    return viewable;
}

void internAtoms(const QStringList& names)
{
    Connection connection;
    if (!connection.display)
        return;
    for (const QString& name : names)
        XInternAtom(connection.display, name.toLatin1().constData(), False);
    XSync(connection.display, False);
}

bool trayHostRunning()
{
    Connection connection;
    if (!connection.display)
        return false;
    const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(connection.display));
    return XGetSelectionOwner(connection.display, XInternAtom(connection.display, selection.constData(), False)) != None;
}

} // namespace X11Windows
