#pragma once

struct _XDisplay;

// Another X client that holds an active keyboard grab while it lives, as an
// open menu or a remote viewer does.
class KeyboardGrab
{
public:
    KeyboardGrab();
    ~KeyboardGrab();
    KeyboardGrab(const KeyboardGrab&) = delete;
    KeyboardGrab& operator=(const KeyboardGrab&) = delete;

    bool isHeld() const { return held; }

private:
    _XDisplay* display = nullptr;
    unsigned long window = 0;
    bool held = false;
};
