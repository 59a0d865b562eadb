#pragma once

struct _XDisplay;
union _XEvent;

// Tells a display connection's reader when the keyboard map changed. Xlib
// keeps a copy of the map for keysym and keycode lookups; an XKB-aware
// connection (any that has made such a lookup) hears of no change unless it
// asks for XKB's notices, and Xlib renews its copy when it reads one.
// Use it in the thread that owns the display.
class XKeymapChanges
{
public:
    explicit XKeymapChanges(_XDisplay* display);

    // True when the event announces a new keyboard map; a core notice also renews Xlib's copy.
    bool isChange(_XEvent* event) const;
    // Reads every pending event; true when one of them announced a new map.
    bool drain() const;

private:
    _XDisplay* display;
    int xkbEventType = -1;
};
