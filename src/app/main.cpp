#include "QuickExit.h"
#include "ScrivoraMain.h"

int main(int argc, char** argv)
{
    quickExit(scrivoraMain(argc, argv));
}
