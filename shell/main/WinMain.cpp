// The entry of the measuring application.
#include <cstdio>

#include "platform/WinKernel.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
    // A rewrite that was cut off (the handheld switched off, the program
    // killed) leaves its temporary file; the next start clears them away.
    qplat::RemoveStaleTemporaries();
    BuildProgramObjects();
    // Switching the handheld off ends the program here: the worker threads
    // are stopped first, so none of them outlives the objects it uses.
    qplat::AddShutdownHook(StopProgramThreads);
    int status = 0;
    if (InitInstance(instance, show)) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        status = static_cast<int>(msg.wParam);
    } else if (LastStartOutcome() == StartOutcome::Failed) {
        std::fprintf(stderr, "Qav5_PA: the main window could not be created\n");
        status = 1;
    } else if (LastStartOutcome() == StartOutcome::Unguarded) {
        status = 3;
    }
    DestroyProgramObjects();
    return status;
}
