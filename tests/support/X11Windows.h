#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The X display's window tree as another client sees it, for tests that
// check what a program shows (tray icons, message boxes, menus) and act on it.
namespace X11Windows {

struct Window
{
    unsigned long id = 0;
    QString name;          // _NET_WM_NAME
    QString instanceName;  // WM_CLASS
    QString className;     // WM_CLASS
    QString topLevelClass; // WM_CLASS class of the root's child that holds it
    QRect geometry;        // in root coordinates
    bool viewable = false;
    qint64 pid = 0;        // _NET_WM_PID; 0 when not set
};

// Every window below the root, depth first; empty without a display.
QList<Window> list();
std::optional<Window> find(const std::function<bool(const Window&)>& match);
// The shown tray icon of a program (by WM_CLASS instance) embedded in the tray host;
// with a pid, only that process's (another copy of the program may show one too).
std::optional<Window> trayIcon(const QString& instanceName, qint64 pid = 0);
// Asks the window to close as a window manager would (WM_DELETE_WINDOW).
bool requestClose(unsigned long window);
// Presses and releases a pointer button at a root position through XTest.
void click(int x, int y, int button);
// The atom names of an ATOM-list property (_NET_WM_STATE) of a window, or of
// the root window for 0 (_NET_SUPPORTED); empty when unset.
QStringList atomNames(unsigned long window, const char* property);
// Whether an EWMH window manager has announced itself and what it supports on
// the root window.
bool windowManagerRunning();
// The window the keyboard focus is set to: 0 for none, 1 for whichever
// window the pointer is over.
unsigned long inputFocus();
// Whether the window manager maps a new window; one that has only announced
// itself may still drop the windows mapped while it starts up.
bool windowManagerTakesWindows();
// Makes the atoms known to the display, as the first EWMH client (a panel, a
// tray host) on a desktop's display has done long before any program starts.
void internAtoms(const QStringList& names);
// Whether a tray host owns the display's system tray selection.
bool trayHostRunning();

} // namespace X11Windows
