#pragma once

// The X11 side of FixedWindow, kept apart so that Xlib's macros stay out of Qt code.
namespace FixedWindowX11 {
// Asks the window manager to keep the (not yet mapped) window out of the task
// bar and the pager and to show it on every desktop, logging the window's
// state before and after. Uses its own display connection, after a round trip
// on Qt's xcb connection (when given) so that the server knows the window;
// does nothing but log when the display or the window manager atoms are missing,
// and nothing at all when the window has every hint already.
void skipTaskbarAndPagerOnAllDesktops(unsigned long window, void* qtConnection = nullptr);
} // namespace FixedWindowX11
