#pragma once

#include <QPair>
#include <QString>
#include <QVector>

struct _XDisplay;

// Presses keys through XTest, moves the keyboard focus and switches the
// keyboard layout for tests, on its own X connection. A layout it changed is
// put back when it is destroyed (later cases of the test expect the one they started with).
class XTestKeyboard
{
public:
    XTestKeyboard();
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    bool isOpen() const { return display != nullptr; }

    unsigned keycodeOf(const char* keysymName) const;
    // The first keysym on a keycode in the server's current map (0 for none).
    unsigned long keysymAt(unsigned keycode) const;
    // Every keysym of every keycode in the server's current map.
    QVector<unsigned long> keyboardMap() const;

    void press(const char* keysymName);
    void release(const char* keysymName);
    void tap(const char* keysymName);
    // Presses (true) and releases (false) keys in one request to the server, which
    // gives them all the same moment: a double press stays one however late this
    // process runs between two of its keys.
    void play(const QVector<QPair<const char*, bool>>& keys);
    void doubleTap(const char* keysymName);
    // Releases every key this object pressed and unlocks Caps Lock and Num Lock.
    void releaseAll();

    void focus(unsigned long window);
    // No window has the focus.
    void focusNone();

    // Gives every keycode without a symbol one, as a program that lent them
    // and never gave them back would leave them; setLayout or restoreLayout mends it.
    void fillFreeKeycodes();

    // Runs setxkbmap with the layout list ("us,ru"); false when it failed.
    bool setLayout(const QString& layouts);
    void restoreLayout();

private:
    void fake(unsigned keycode, bool press, bool sync = true);

    _XDisplay* display = nullptr;
    QString originalLayout;
    char pressed[32] = {};
};
