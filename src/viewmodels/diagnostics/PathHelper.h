#pragma once

#include <QString>

class PathHelper
{
public:
    // Copies a file, or a folder with everything below it except hidden entries;
    // existing targets are kept and failures are skipped. Folder links are not
    // followed, so a link loop cannot recurse forever.
    static void copyPath(const QString& source, const QString& target);
};
