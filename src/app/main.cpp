#include "ScrivoraMain.h"

int main(int argc, char** argv)
{
    return scrivoraMain(argc, argv);
}
