#pragma once

struct _XDisplay;

// Collects the X protocol errors of one display connection while it lives.
// Xlib's default handler ends the process on any error (a window that closed
// between two calls, a bad keycode); the handler installed here logs the error
// and lets the caller fail its call instead. Use a trap in the thread that owns
// the display.
class XErrorTrap
{
public:
    explicit XErrorTrap(_XDisplay* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to process every request sent so far, then tells
    // whether any of them failed since the trap was set.
    bool failed();
    // Errors already received, without a round trip.
    int errorCount() const;

    // Replaces Xlib's default handler, which ends the process, by the logging one.
    static void installHandler();

private:
    _XDisplay* display;
};
