// The process entry, split so that tests can drive it: command-line parsing,
// the choice of device root and presenter, and the run of the program's
// WinMain.
#pragma once

#include <functional>
#include <string>

#include "platform/Presenter.h"
#include "platform/WinDef.h"

namespace qplat {

struct EntryOptions {
    std::string root;     // empty: $QAV5_ROOT, else the per-user default
    bool headless = false;
    std::string script;   // empty: no scripted input
};

// 1: options read; 0: help was asked for; -1: an error (`error` says which).
// An option word is never taken as a value: "--root --headless" is an error
// ("--root=PATH" takes PATH as it is).
int ParseEntryOptions(int argc, char** argv, EntryOptions& options, std::string& error);
std::string EntryUsage(const std::string& programPath);

// The device root the options choose (without choosing it).
std::string ChooseDeviceRoot(const EntryOptions& options);
// The presenter the options and the environment choose.
PresenterKind ChoosePresenter(const EntryOptions& options);

// Chooses root and presenter, loads the script, runs `winMain` on the calling
// thread and stops the presenter. Returns WinMain's result, or 2 (with a line
// on standard error) when the device root is not a folder and cannot be made
// one, the script cannot be read (a folder, unreadable, not valid), no
// presenter starts or the script failed on the way (InputScriptFailed).
int RunEntry(const EntryOptions& options, const std::function<int(HINSTANCE, LPWSTR)>& winMain);

}  // namespace qplat
