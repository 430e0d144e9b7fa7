// One opening of the journal browser, timed from the opener's call until the
// first list is drawn and the screen composed; shared by the warm openings
// of bench_journal and the first opening of bench_journal_first_open.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

#include "journal/JournalViewDlg.h"
#include "platform/Presenter.h"
#include "platform/WinUser.h"

namespace qbench {

struct BrowserOpening {
    double seconds = 0;
    int rows = 0;
};

using BrowserClock = std::chrono::steady_clock;
inline BrowserClock::time_point g_browserDrawn;
inline int g_browserRows = 0;

// Ends the browser once its list has been drawn and the screen composed.
inline LRESULT CALLBACK BrowserActionProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_APP) return DefWindowProcW(hwnd, msg, wParam, lParam);
    HWND browser = GetActiveWindow();
    UpdateWindow(browser);
    HWND list = GetDlgItem(browser, CJournalViewDlg::kRecordListId);
    UpdateWindow(list);
    qplat::Surface screen = qplat::ComposeScreen();
    benchmark::DoNotOptimize(screen.pixels.data());
    g_browserDrawn = BrowserClock::now();
    g_browserRows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    PostMessageW(browser, WM_CLOSE, 0, 0);
    return 0;
}

// The owner the browser opens over, on a running headless presenter.
inline HWND MakeBrowserOwner()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = BrowserActionProc;
    wc.lpszClassName = u"QavBrowserBench";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, u"QavBrowserBench", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr,
                                 nullptr, nullptr);
    qplat::ProcessPendingMessages();
    return owner;
}

inline BrowserOpening OpenBrowser(HWND owner)
{
    // The posted action runs once the dialog's own loop is running, after
    // the dialog was built.
    g_browserRows = 0;
    PostMessageW(owner, WM_APP, 0, 0);
    const auto start = BrowserClock::now();
    RunScreen<CJournalViewDlg>(nullptr, owner);
    return BrowserOpening{std::chrono::duration<double>(g_browserDrawn - start).count(), g_browserRows};
}

}  // namespace qbench
