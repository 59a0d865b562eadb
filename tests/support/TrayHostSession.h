#pragma once

#include "ChildProcess.h"

#include <QString>

// A tray host on the test display for the lifetime of the object: the one
// already there (scripts/headless-services.sh starts trayer), or trayer started
// for the test.
class TrayHostSession
{
public:
    // False, with *error set, when there is none and trayer could not be started.
    bool start(QString* error);

private:
    ChildProcess process;
};
