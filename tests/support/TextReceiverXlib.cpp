// A window of its own process that reads its key events on its main thread
// with plain Xlib, as xterm and Tk do, decoding each with the keyboard map
// Xlib holds when it gets to it. Its pace can be set: a cost per key, one
// pause in mid-text. Driven by TextReceiver: prints "WINDOW <id>" once mapped,
// answers "text" on stdin with "TEXT <hex of UTF-8>".
//   TextReceiverXlib [--ping] [--key-cost-us N] [--pause-after N --pause-ms N]

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstring>
#include <string>

#include <poll.h>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace {
struct Options
{
    bool ping = false;
    long keyCostUs = 0;
    long pauseAfter = 0;
    long pauseMs = 0;
};

Options readOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const long value = i + 1 < argc ? std::atol(argv[i + 1]) : 0;
        if (arg == "--ping")
            options.ping = true;
        else if (arg == "--key-cost-us")
            options.keyCostUs = value, ++i;
        else if (arg == "--pause-after")
            options.pauseAfter = value, ++i;
        else if (arg == "--pause-ms")
            options.pauseMs = value, ++i;
    }
    return options;
}
} // namespace

int main(int argc, char** argv)
{
    const Options options = readOptions(argc, argv);
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    XSetWindowAttributes attributes{};
    attributes.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
    const Window window = XCreateWindow(display, DefaultRootWindow(display), 20, 20, 400, 200, 0, CopyFromParent,
                                        InputOutput, CopyFromParent, CWEventMask, &attributes);
    XStoreName(display, window, "text receiver");
    const Atom wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    Atom protocols[] = {XInternAtom(display, "WM_DELETE_WINDOW", False), ping};
    XSetWMProtocols(display, window, protocols, options.ping ? 2 : 1);
    XMapWindow(display, window);
    // Loads the keyboard map now, as programs do as they start (xterm and Tk
    // read their modifier keys): Xlib otherwise loads it at the first key.
    XkbKeycodeToKeysym(display, 38, 0, 0);
    XSync(display, False);

    QString text;
    long received = 0;
    bool announced = false;
    std::string input;
    pollfd descriptors[] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !announced) {
                std::printf("WINDOW %lu\n", window);
                std::fflush(stdout);
                announced = true;
            } else if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
            } else if (event.type == ClientMessage && event.xclient.message_type == wmProtocols
                       && static_cast<Atom>(event.xclient.data.l[0]) == ping) {
                event.xclient.window = DefaultRootWindow(display);
                XSendEvent(display, event.xclient.window, False, SubstructureNotifyMask | SubstructureRedirectMask,
                           &event);
            } else if (event.type == KeyPress) {
                if (options.keyCostUs > 0)
                    usleep(static_cast<useconds_t>(options.keyCostUs));
                KeySym keysym = NoSymbol;
                char buffer[32];
                XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
                const uint unicode = keysym == XK_Return ? '\n' : xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
                if (unicode == '\n' || (unicode >= 0x20 && unicode != 0x7f))
                    text += QString::fromUcs4(&unicode, 1);
                // As a program busy elsewhere for a while (an autosave, a swap-in) does.
                if (++received == options.pauseAfter)
                    usleep(static_cast<useconds_t>(options.pauseMs * 1000));
            }
        }
        XFlush(display);
        if (poll(descriptors, 2, -1) < 0)
            continue;
        if (descriptors[1].revents & (POLLIN | POLLHUP)) {
            char chunk[256];
            const ssize_t count = read(STDIN_FILENO, chunk, sizeof chunk);
            if (count <= 0)
                break;
            input.append(chunk, static_cast<size_t>(count));
            for (size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1)) {
                if (input.compare(0, end, "text") == 0) {
                    std::printf("TEXT %s\n", text.toUtf8().toHex().constData());
                    std::fflush(stdout);
                }
            }
        }
    }
    XCloseDisplay(display);
    return 0;
}
