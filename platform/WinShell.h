// The shell functions the programs call: the extra-controls initialisation
// and the activation and setting-change handlers of the main window (the
// handheld's shell manages its input panel through them; there is no input
// panel here, so they only answer), starting a program file, and the claim
// that makes one copy of a program the only one on a device root.
#pragma once

#include <string>

#include "platform/WinDef.h"

// ---- the shell's window helpers
struct SHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
};

BOOL SHInitExtraControls();
BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);

// ---- starting a program
#define SEE_MASK_NOCLOSEPROCESS 0x00000040

struct SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    LPVOID lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
};

// Starts the program file `lpFile` (a handheld path) as a process of its own,
// detached: it is not waited for and outlives the caller. The new program
// runs on the caller's device root; `lpParameters` become its arguments (split
// at blanks; empty: none). A file without the execute permission is given it
// first, as a program file on the handheld needs none. FALSE (and the last
// error) when the file is missing or cannot be started. With
// SEE_MASK_NOCLOSEPROCESS, hProcess receives a handle the caller may ignore.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

namespace qplat {

enum class InstanceClaim {
    Claimed,        // this process holds it now, for the rest of its life
    HeldByAnother,  // a running copy holds it
    CannotClaim,    // it cannot be taken at all (`why` says why)
};

// Claims the single-instance lock of the program named `name` on the current
// device root: a locked file in the root's platform folder. A platform folder
// that cannot be written (a read-only card, a root of another user, a file in
// its place) cannot hold the lock. The lock is released by the system when
// the process ends, however it ends.
InstanceClaim ClaimProgramInstance(LPCWSTR name, std::string* why = nullptr);

// The second guard: the name under which the main window of `className` on
// this device root answers other copies (what FindWindowW asks), taken now
// rather than when the window is made, so that two copies starting at once
// cannot both pass. Needs nothing written to the device root.
InstanceClaim ClaimMainWindowName(LPCWSTR className, std::string* why = nullptr);

// Wakes the copy that holds the window name of `className` on this device
// root when it is asleep. True when it was asleep and has been woken.
bool WakeOtherCopy(LPCWSTR className);

}  // namespace qplat
