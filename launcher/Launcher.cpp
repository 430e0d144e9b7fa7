#include "launcher/Launcher.h"

#include <cstdio>

#include "platform/WinKernel.h"
#include "platform/WinShell.h"
#include "platform/WinText.h"
#include "platform/WinUser.h"

namespace {

constexpr const char16_t* kSourceName = u"qav5.prg";
constexpr const char16_t* kDestination = u"\\qav5.exe";

// The running program's path, however long it is.
std::u16string OwnPath()
{
    std::u16string path(512, u'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got < path.size()) {
            path.resize(got);
            return path;
        }
        path.assign(path.size() * 2, u'\0');
    }
}

void CentreCursor()
{
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
}

void Report(const char* what, const std::u16string& path)
{
    std::fprintf(stderr, "RunQav5: %s: %s\n", what, qplat::ToUtf8(path).c_str());
}

}  // namespace

std::u16string GetLauncherFolder()
{
    const std::u16string path = OwnPath();
    // Scanning back from the last character; a path whose only "\" is its
    // first character (or that has none) gives its first character.
    const size_t slash = path.size() > 1 ? path.find_last_of(u'\\') : std::u16string::npos;
    if (slash == std::u16string::npos || slash == 0) return path.substr(0, 1);
    return path.substr(0, slash + 1);
}

void ShowWaitCursor()
{
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    CentreCursor();
    ShowCursor(TRUE);
}

void ShowStartingCursor()
{
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    CentreCursor();
    ShowCursor(FALSE);
}

void LauncherPreCopyStep()
{
}

int LauncherMain()
{
    const std::u16string source = GetLauncherFolder() + kSourceName;
    ShowWaitCursor();
    LauncherPreCopyStep();
    int result = LAUNCHER_STARTED;
    if (GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Report("no program file to install", source);
        result = LAUNCHER_NO_SOURCE;
    } else if (!CopyFileW(source.c_str(), kDestination, FALSE)) {
        // The copy goes through a temporary file: the installed program, if
        // any, is still whole.
        Report("the program file could not be installed", kDestination);
        result = LAUNCHER_COPY_FAILED;
    } else {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpFile = kDestination;
        info.lpParameters = u"";
        info.nShow = SW_SHOW;
        if (!ShellExecuteExW(&info)) {
            Report("the installed program could not be started", kDestination);
            result = LAUNCHER_START_FAILED;
        }
    }
    ShowStartingCursor();
    return result;
}
