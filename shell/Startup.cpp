// Start-up of the measuring application: the single-instance check, the main
// window (whose procedure is the start screen) and the device set-up made
// once at start.
#include <cstdio>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinShell.h"
#include "platform/WinText.h"
#include "resources/ResourceIds.h"
#include "sensor/BTDeviceFile.h"
#include "settings/CatalogFiles.h"
#include "settings/DBJournal.h"
#include "settings/DeviceSetup.h"
#include "settings/ProgramFolder.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"

namespace {

constexpr int kTextChars = 150;
// A first copy that is still starting has claimed the program but not yet
// made its window; the second copy waits this long for it.
constexpr int kFindTries = 40;
constexpr DWORD kFindPauseMs = 50;

StartOutcome s_outcome = StartOutcome::Failed;

void RepaintOwner(HWND owner)
{
    if (owner && IsWindow(owner)) InvalidateRect(owner, nullptr, FALSE);
}

void BringOtherCopyToFront(LPCWSTR className, LPCWSTR title)
{
    for (int i = 0; i < kFindTries; ++i) {
        if (HWND other = FindWindowW(className, title)) {
            // The lowest bit brings the window's owned screens along.
            SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(other) | 1));
            return;
        }
        Sleep(kFindPauseMs);
    }
    // The other copy shows no window: it is asleep after closing its
    // windows, or ending. The operator learns why nothing came up.
    if (qplat::WakeOtherCopy(className))
        std::fprintf(stderr, "Qav5_PA: another copy of the program was asleep on this card and has been woken; "
                             "not starting a second one\n");
    else
        std::fprintf(stderr, "Qav5_PA: another copy of the program holds this card but shows no window; "
                             "not starting a second one\n");
}

bool IsFolder(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A device root that no card was laid out on shows every caption as its bare
// text id, and no screen can say why (the texts are what is missing): the
// one who started the program learns it on standard error.
void TellMissingProgramFiles()
{
    CProgramFolder programFolder;
    std::u16string missing = programFolder.GetPath();
    if (IsFolder(missing)) {
        missing += u"Language\\";
        if (IsFolder(missing)) return;
    }
    const std::string root = qplat::DeviceRoot();
    std::fprintf(stderr,
                 "Qav5_PA: the device root %s has no folder %s (%s), so the screens show text ids instead of "
                 "texts; lay out a demo card there with: build/<dir>/tools/democard/democard --root %s --data data\n",
                 root.c_str(), qplat::ToUtf8(missing).c_str(), qplat::HostPath(missing).c_str(), root.c_str());
}

}  // namespace

StartOutcome LastStartOutcome()
{
    return s_outcome;
}

ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = className;
    return RegisterClassW(&wc);
}

BOOL InitInstance(HINSTANCE instance, int show)
{
    s_outcome = StartOutcome::Failed;
    g_hInstance = instance;
    SHInitExtraControls();
    WCHAR title[kTextChars] = {};
    WCHAR className[kTextChars] = {};
    LoadStringW(instance, IDS_APP_TITLE, title, kTextChars);
    LoadStringW(instance, IDS_APP_CLASS, className, kTextChars);

    // The claim is held for the life of the process, so two copies started at
    // once cannot both pass the check.
    std::string why;
    qplat::InstanceClaim claim = qplat::ClaimProgramInstance(className, &why);
    if (claim == qplat::InstanceClaim::CannotClaim) {
        // A card whose platform folder cannot be written is no sign of a
        // second copy. The window check is then the only guard, taken now:
        // without it two copies could write one card.
        std::string guardWhy;
        claim = qplat::ClaimMainWindowName(className, &guardWhy);
        if (claim == qplat::InstanceClaim::CannotClaim) {
            std::fprintf(stderr, "Qav5_PA: %s, and %s: not starting\n", why.c_str(), guardWhy.c_str());
            s_outcome = StartOutcome::Unguarded;
            return FALSE;
        }
        if (claim == qplat::InstanceClaim::Claimed)
            std::fprintf(stderr, "Qav5_PA: %s; only the window check keeps a second copy away\n", why.c_str());
    }
    if (claim == qplat::InstanceClaim::HeldByAnother) {
        BringOtherCopyToFront(className, title);
        s_outcome = StartOutcome::AnotherInstance;
        return FALSE;
    }
    TellMissingProgramFiles();
    // A save that a kill or a power cut stopped half-way is undone before
    // anything reads the journals, catalogues or paired sensors; only now,
    // with the program claimed, is no other copy in the middle of one. Why
    // one stays held back goes with the notice: a read-only card and a
    // failing one want other steps.
    CFixedRecordFile::Refusal heldBy = CFixedRecordFile::Refusal::None;
    int heldBack = RollBackCutOffSaves(&heldBy);
    CBTDeviceFile sensors;
    if (!sensors.RollBackCutOff()) {
        ++heldBack;
        heldBy = CFixedRecordFile::Graver(heldBy, sensors.LastRefusal());
    }
    if (!RegisterMainWindowClass(instance, className)) return FALSE;
    SetLinkMonitorRepaintHook(RepaintOwner);
    HWND window = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!window) return FALSE;
    ShowWindow(window, show);
    UpdateWindow(window);
    if (heldBack > 0) PostMessageW(window, WM_CUT_OFF_SAVE_NOTICE, static_cast<WPARAM>(heldBy), 0);
    ApplyDeviceRegistry(&g_programFolder);
    EnableBluetoothCardMode();
    s_outcome = StartOutcome::Started;
    return TRUE;
}
