#pragma once

#include <sys/types.h>

// The client keeps medical and personal data (the settings with the feedback
// draft, the profile, logs, commands): what it makes is its user's alone.
// Process-wide; set once at start, before the first file is made.
class FileModes
{
public:
    // From now on the client's new folders are 0700 and its new files 0600;
    // its own folders made earlier, more open, are closed to others.
    static void makePrivate();
    // The mask the program was started with, for the programs it starts for
    // the user to make their files as the user would; -1 while it is unchanged.
    static int userMask() { return startMask; }

private:
    static int startMask;
};
