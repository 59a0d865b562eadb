#include "QuickExit.h"
#include "ScrivoraMain.h"
#include "SoftwareRendering.h"

int main(int argc, char** argv)
{
    SoftwareRendering::chooseUnlessAsked();
    quickExit(scrivoraMain(argc, argv));
}
