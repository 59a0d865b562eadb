#include "KeyboardGrab.h"

#include <X11/Xlib.h>

KeyboardGrab::KeyboardGrab()
    : display(XOpenDisplay(nullptr))
{
    if (!display)
        return;
    // Only a viewable window can take a grab.
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    held = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    XSync(display, False);
}

KeyboardGrab::~KeyboardGrab()
{
    if (!display)
        return;
    if (held)
        XUngrabKeyboard(display, CurrentTime);
    if (window)
        XDestroyWindow(display, window);
    XCloseDisplay(display);
}
