#pragma once

// The X11 display connection of the composition root, kept behind a plain
// interface so that Xlib's macros stay out of Qt code.
namespace X11Display {
// The default display, or null (logged) when it cannot be opened; *rootWindow is 0 then.
void* open(unsigned long* rootWindow);
void close(void* display);
} // namespace X11Display
