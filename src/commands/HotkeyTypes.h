#pragma once

#include "Enum.h"

#include <QDeadlineTimer>

// The double-press toggle hotkeys; settings store the invariant names of Enum<Hotkey>.
enum class Hotkey : int {
    DoubleCtrl = 0,
    DoubleCapsLock = 1,
};

// The push-to-talk keys; settings store the invariant names of Enum<Push2TalkKey>.
enum class Push2TalkKey : int {
    Ctrl = 0,
    Pause = 1,
};

// What the first number of HotKeyManager::activated means.
enum class HotkeyClass : int {
    Toggle = 0,
    PushToTalk = 1,
};

// When a key event counts for a hotkey; the third number of HotKeyManager::activated.
enum class KeyPressType : int {
    Counted = 0,
    Pressed = 1,
    Released = 2,
};

template<> Enum<Hotkey>::Container Enum<Hotkey>::Values;
template<> Enum<Push2TalkKey>::Container Enum<Push2TalkKey>::Values;

// The monotonic clock, in microseconds, on which key events are stamped as they are read.
inline qint64 hotkeyClockUs()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() / 1000;
}
