#pragma once

#include "ChildProcess.h"

#include <QString>
#include <QStringList>

// An EWMH window manager (openbox) on the test display for the lifetime of the
// object, for tests of what a window manager makes of the program's windows.
class WindowManagerSession
{
public:
    // Starts it and waits until it has announced itself; false, with *error
    // set, when it could not, or when the display has a window manager already.
    bool start(QString* error);
    ~WindowManagerSession();

    // Those of the hints that the running window manager supports.
    static QStringList supported(const QStringList& hints);

private:
    ChildProcess process;
};
