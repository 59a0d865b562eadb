#pragma once

#include <QFile>

#include <malloc.h>
#include <unistd.h>

// This process's resident memory, for tests that bound what a flood may take.
namespace ResidentMemory {

#if defined(__SANITIZE_ADDRESS__)
// Freed memory sits in the sanitizer's quarantine: resident size says nothing there.
constexpr bool tells = false;
#else
constexpr bool tells = true;
#endif

// In megabytes, once the heap has given back what is free.
inline qint64 megabytes()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

} // namespace ResidentMemory
