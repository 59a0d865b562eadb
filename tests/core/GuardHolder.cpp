// Takes the single-instance guard of the key given first and prints "held" or
// "refused"; with "hold" as second argument it keeps the guard until killed.
#include "RunGuard.h"

#include <cstdio>
#include <cstring>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    RunGuard guard(QString::fromLocal8Bit(argv[1]));
    const bool held = guard.tryToRun();
    std::printf("%s\n", held ? "held" : "refused");
    std::fflush(stdout);
    if (held && argc > 2 && std::strcmp(argv[2], "hold") == 0) {
        for (;;)
            ::pause();
    }
    return held ? 0 : 1;
}
