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
    // The program is worked only through its screen (the application, not
    // the launcher): a run with neither a window nor a script is refused, as
    // nothing could drive it and it would run unseen until a signal ended it.
    bool workedOnScreen = false;
};

// Which options a program takes: the application all of them, the launcher,
// which has no screen and passes nothing on, only the device root.
enum class EntryOptionSet { Application, RootOnly };

// 1: options read; 0: help was asked for; -1: an error (`error` says which).
// An option word is never taken as a value: "--root --headless" is an error
// ("--root=PATH" takes PATH as it is). With RootOnly, --headless and --script
// are errors too.
int ParseEntryOptions(int argc, char** argv, EntryOptions& options, std::string& error,
                      EntryOptionSet set = EntryOptionSet::Application);
std::string EntryUsage(const std::string& programPath, EntryOptionSet set = EntryOptionSet::Application);
// What --help prints for the application: the usage line, the options, the
// device root it falls back to and the environment variables it reads.
std::string EntryHelp(const std::string& programPath);

// The device root the options choose (without choosing it).
std::string ChooseDeviceRoot(const EntryOptions& options);
// The device root the options choose when nothing is there yet (nothing is
// made, the per-user default either); empty when it exists. A program that
// needs files from its root refuses a missing one before RunEntry makes it.
std::string MissingDeviceRoot(const EntryOptions& options);
// The presenter the options and the environment choose.
PresenterKind ChoosePresenter(const EntryOptions& options);

// Loads the script, chooses root and presenter, runs `winMain` on the calling
// thread and stops the presenter. Returns WinMain's result, or 2 (with a line
// on standard error) when the script cannot be read (a folder, unreadable,
// not valid), a program worked on its screen would have neither a window nor
// a script (no display, or one on which no window opens: see StartPresenter),
// the device root is not a folder and cannot be made one, no presenter starts
// or the script failed on the way (InputScriptFailed). A refused script, and
// a run without a window or a script, are found before the device root is
// made: the presenter starts first.
int RunEntry(const EntryOptions& options, const std::function<int(HINSTANCE, LPWSTR)>& winMain);

}  // namespace qplat
