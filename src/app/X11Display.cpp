#include "X11Display.h"

#include <QDebug>

#include <X11/Xlib.h>

namespace X11Display {

void* open(unsigned long* rootWindow)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        qWarning() << "Cannot open the X display" << qgetenv("DISPLAY")
                   << ": typing, hotkeys and window hints are unavailable";
        *rootWindow = 0;
        return nullptr;
    }
    *rootWindow = DefaultRootWindow(display);
    return display;
}

void close(void* display)
{
    if (display)
        XCloseDisplay(static_cast<Display*>(display));
}

} // namespace X11Display
