// The launcher: installs the measuring application's program file, shipped
// beside the launcher as "qav5.prg", as "\qav5.exe" and starts it, detached,
// on the launcher's own device root.
#pragma once

#include <string>

#include "platform/WinDef.h"

// What the launcher ended with: 0 when the program was installed and started.
constexpr int LAUNCHER_STARTED = 0;
constexpr int LAUNCHER_NO_SOURCE = 1;
constexpr int LAUNCHER_COPY_FAILED = 2;
constexpr int LAUNCHER_START_FAILED = 3;

int LauncherMain();
// The launcher's folder: its own path up to and including the last "\" (the
// first character alone when there is no "\" after it).
std::u16string GetLauncherFolder();
void ShowWaitCursor();
void ShowStartingCursor();
// The step the handheld's launcher makes before the copy; nothing here needs it.
void LauncherPreCopyStep();
