#include "XTestKeyboard.h"

#include "ChildProcess.h"
#include "TestHome.h"

#include <QStringList>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>

namespace {
// setxkbmap -query prints "layout:     us,ru" among other lines.
QString queryLayout()
{
    ChildProcess process;
    process.start(QStringLiteral("setxkbmap"), {QStringLiteral("-query")});
    if (!process.waitForFinished(TestHome::scaled(10000)))
        return QString();
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("layout:")))
            return line.mid(7).trimmed();
    }
    return QString();
}
} // namespace

XTestKeyboard::XTestKeyboard()
    : display(XOpenDisplay(nullptr))
{
}

XTestKeyboard::~XTestKeyboard()
{
    if (!display)
        return;
    releaseAll();
    restoreLayout();
    XCloseDisplay(display);
}

unsigned XTestKeyboard::keycodeOf(const char* keysymName) const
{
    return display ? XKeysymToKeycode(display, XStringToKeysym(keysymName)) : 0;
}

unsigned long XTestKeyboard::keysymAt(unsigned keycode) const
{
    if (!display)
        return 0;
    int perKeycode = 0;
    KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(keycode), 1, &perKeycode);
    const unsigned long keysym = keysyms && perKeycode > 0 ? keysyms[0] : 0;
    if (keysyms)
        XFree(keysyms);
    return keysym;
}

QVector<unsigned long> XTestKeyboard::keyboardMap() const
{
    QVector<unsigned long> map;
    if (!display)
        return map;
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1,
                                          &perKeycode);
    if (!keysyms)
        return map;
    for (int i = 0; i < (maxKeycode - minKeycode + 1) * perKeycode; ++i)
        map << keysyms[i];
    XFree(keysyms);
    return map;
}

void XTestKeyboard::fake(unsigned keycode, bool press, bool sync)
{
    if (!display || keycode == 0)
        return;
    if (press)
        pressed[keycode / 8] |= char(1 << (keycode % 8));
    else
        pressed[keycode / 8] &= char(~(1 << (keycode % 8)));
    XTestFakeKeyEvent(display, keycode, press ? True : False, 0);
    if (sync)
        XSync(display, False);
}

void XTestKeyboard::press(const char* keysymName)
{
    fake(keycodeOf(keysymName), true);
}

void XTestKeyboard::release(const char* keysymName)
{
    fake(keycodeOf(keysymName), false);
}

void XTestKeyboard::tap(const char* keysymName)
{
    press(keysymName);
    release(keysymName);
}

void XTestKeyboard::play(const QVector<QPair<const char*, bool>>& keys)
{
    for (const auto& key : keys)
        fake(keycodeOf(key.first), key.second, false);
    if (display)
        XSync(display, False);
}

void XTestKeyboard::doubleTap(const char* keysymName)
{
    play({{keysymName, true}, {keysymName, false}, {keysymName, true}, {keysymName, false}});
}

void XTestKeyboard::releaseAll()
{
    if (!display)
        return;
    for (unsigned keycode = 0; keycode < 256; ++keycode) {
        if (pressed[keycode / 8] & (1 << (keycode % 8)))
            fake(keycode, false);
    }
    XkbLockModifiers(display, XkbUseCoreKbd, LockMask | Mod2Mask, 0);
    XSync(display, False);
}

void XTestKeyboard::focus(unsigned long window)
{
    if (!display)
        return;
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
}

void XTestKeyboard::focusNone()
{
    focus(None);
}

bool XTestKeyboard::setLayout(const QString& layouts)
{
    if (originalLayout.isEmpty())
        originalLayout = queryLayout();
    return ChildProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layouts}) == 0;
}

void XTestKeyboard::restoreLayout()
{
    if (originalLayout.isEmpty())
        return;
    ChildProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), originalLayout});
    originalLayout.clear();
}

void XTestKeyboard::fillFreeKeycodes()
{
    if (!display)
        return;
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    if (!keysyms)
        return;
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        const KeySym* row = keysyms + (keycode - minKeycode) * perKeycode;
        if (std::all_of(row, row + perKeycode, [](KeySym k) { return k == NoSymbol; })) {
            KeySym taken = XK_F35;
            XChangeKeyboardMapping(display, keycode, 1, &taken, 1);
        }
    }
    XFree(keysyms);
    XSync(display, False);
}
