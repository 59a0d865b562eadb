#pragma once

#include "ComponentInformation.h"

// Writes "Environment.txt": program version, architectures, system, memory and
// the mounted volumes, CR LF separated.
class EnvironmentInformation : public ComponentInformation
{
public:
    void CollectInformation(QString folder) override;
    // "; RAM: <MB> MB" from /proc/meminfo through awk; 0 when that fails.
    QString getRamInfo();

    static const QString FileName;
};
