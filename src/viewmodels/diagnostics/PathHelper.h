#pragma once

#include <QString>

class CancellationCondition;

class PathHelper
{
public:
    // Copies a file, or a folder with everything below it except hidden entries;
    // existing targets are kept and failures are skipped. Folder links are not
    // followed, so a link loop cannot recurse forever. A cancellation stops it
    // between two files.
    static void copyPath(const QString& source, const QString& target,
                         const CancellationCondition* cancellation = nullptr);
};
