#pragma once

#include <QString>

// Asks, in a modal box over the focused window, whether a window with unsaved
// changes may close and lose them. GUI thread only.
class DiscardQuestion
{
public:
    // True when the user chose OK; Cancel is the default.
    static bool ask(const QString& title);
};
