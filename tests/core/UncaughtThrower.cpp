// Throws an exception nobody catches, for the terminate handler test.
#include "UnhandledCatcher.h"

#include <cstring>
#include <stdexcept>

int main(int argc, char** argv)
{
    set_unhandled_catcher();
    if (argc > 1 && std::strcmp(argv[1], "int") == 0)
        throw 42;
    throw std::runtime_error("boom");
}
