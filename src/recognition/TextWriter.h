#pragma once

#include "HotKeyInfo.h"

#include <QString>

class QRect;

// Types text and key chords into other applications. The static operations
// forward to the one instance and answer false or 0 before Init and after
// Cleanup. Used from the GUI thread only; typing blocks the caller.
class TextWriter
{
public:
    virtual ~TextWriter();

    // False when the window is gone or some character could not be typed.
    virtual bool writeText(unsigned long window, QString text) = 0;
    // Presses the chord in the window that has the keyboard focus.
    virtual bool writeKey(unsigned long window, const HotKeyInfo& hotkey) = 0;
    // 0 when no window has the focus.
    virtual unsigned long getFocusedWindow() = 0;
    // The geometry of the top-level window that holds the window.
    virtual bool getWindowRect(unsigned long window, QRect* rect) = 0;

    static TextWriter* Writer;

    static void Init();
    static void Cleanup();
    static bool WriteText(unsigned long window, QString text);
    static bool WriteKey(unsigned long window, const HotKeyInfo& hotkey);
    static unsigned long GetFocusedWindow();
    static bool GetWindowRect(unsigned long window, QRect* rect);
};
