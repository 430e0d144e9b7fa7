// The measuring launchers: the road of one measurement of the current device
// type, from the start screen's measure command.
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"

void RunMeasuringType1(HWND)
{
    ScreenNotBuilt("measuring");
}

void RunMeasuringType2And3(HWND)
{
    ScreenNotBuilt("measuring");
}

void RunMeasuringType4(HWND)
{
    ScreenNotBuilt("measuring");
}
