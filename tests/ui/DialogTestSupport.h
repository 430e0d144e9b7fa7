// Helpers of the modal-dialog tests: a device root with a program folder and
// language files, and a queue of actions that run inside a dialog's modal
// loop (each action runs when the loop dispatches the message posted for it).
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Presenter.h"
#include "platform/WinText.h"
#include "platform/WinCtrl.h"
#include "platform/WinGdi.h"
#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "platform/gdi/Surface.h"
#include "settings/ProgramFolder.h"
#include "tests/support/TempDeviceRoot.h"

namespace qtest {

inline std::deque<std::function<void()>>& Actions()
{
    static std::deque<std::function<void()>> actions;
    return actions;
}

inline LRESULT CALLBACK ActionProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_APP) {
        if (!Actions().empty()) {
            auto action = Actions().front();
            Actions().pop_front();
            action();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A hidden window that runs the queued actions.
inline HWND ActionWindow()
{
    static HWND hwnd = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ActionProc;
        wc.lpszClassName = u"QavTestActions";
        RegisterClassW(&wc);
        return CreateWindowExW(0, u"QavTestActions", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }();
    return hwnd;
}

// Queues an action for the next modal loop.
inline void Then(std::function<void()> action)
{
    Actions().push_back(std::move(action));
    PostMessageW(ActionWindow(), WM_APP, 0, 0);
}

// Taps the middle of a window on the screen and lets the taps be handled.
inline void TapWindow(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    qplat::StylusTap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// The window in front (the dialog being shown).
inline HWND FrontDialog()
{
    return GetActiveWindow();
}

// Runs the steps one after another, each inside the modal loop in front when
// it runs. A step's input must be posted (taps, PostMessageW): the next step
// is queued after it, so a box that input opens runs the next step.
using Step = std::function<void(HWND)>;
inline void Steps(std::vector<Step> steps, size_t i = 0)
{
    if (i >= steps.size()) return;
    Then([steps, i] {
        steps[i](FrontDialog());
        Steps(steps, i + 1);
    });
}

// Whether any pixel of the rectangle of a picture of the screen passes.
inline bool AnyPixel(const qplat::Surface& picture, RECT r, const std::function<bool(COLORREF)>& test)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (picture.Contains(x, y) && test(qplat::PixelToColor(picture.At(x, y)))) return true;
    return false;
}
// The same of the screen, composed once.
inline bool AnyPixel(RECT r, const std::function<bool(COLORREF)>& test)
{
    return AnyPixel(qplat::ComposeScreen(), r, test);
}

// Whether a list row's highlight stops short of the list's frame (or its
// scroll strip): white background anywhere on the row's middle line from past
// the mark at the start of its last column to the frame.
inline bool HighlightStopsShort(HWND list, int row, int lastColumn)
{
    qplat::ProcessPendingMessages();
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    for (int c = 0; c < lastColumn; ++c) r.left += static_cast<LONG>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
    RECT client{};
    GetClientRect(list, &client);
    POINT from{r.left + 22, (r.top + r.bottom) / 2}, to{client.right, from.y + 1};
    ClientToScreen(list, &from);
    ClientToScreen(list, &to);
    return AnyPixel(RECT{from.x, from.y, to.x, to.y}, [](COLORREF c) { return c == RGB(255, 255, 255); });
}

inline bool Dark(COLORREF c)
{
    return GetRValue(c) < 90 && GetGValue(c) < 90 && GetBValue(c) < 90;
}

inline bool Blue(COLORREF c)
{
    return GetBValue(c) > 150 && GetBValue(c) > GetRValue(c) + 60 && GetBValue(c) > GetGValue(c) + 60;
}

// Whether a text shows whole in a list column, in the list's font: a cell
// keeps 4 pixels free on either side of its text.
inline bool FitsColumn(HWND list, int column, const std::u16string& text)
{
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    return size.cx <= static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)) - 8;
}

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.UseUtcZone();
        qtest::SetCardFolder();
        WriteLanguage("ENG.LNG", "English",
                      "40100=Profile gauge\r\n50100=Yes\r\n50101=No\r\n50102=OK\r\n50044=Text entry\r\n");
        WriteLanguage("RUS.LNG", "Russian", "40100=Gauge RU\r\n50100=Da\r\n50101=Net\r\n50102=Ok RU\r\n");
        UseLanguage("ENG.LNG");
        ActionWindow();
        Actions().clear();
        owner = CreateWindowExW(0, u"QavTestActions", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, ActionWindow(),
                                nullptr, nullptr, nullptr);
        qplat::ProcessPendingMessages();
    }
    void TearDown() override
    {
        if (IsWindow(owner)) DestroyWindow(owner);
        Actions().clear();
        qplat::ProcessPendingMessages();
    }
    void WriteLanguage(const char* file, const char* name, const std::string& lines)
    {
        root.WriteFile(u"\\SDMMC\\Autorun\\Language\\" + std::u16string(file, file + std::char_traits<char>::length(file)),
                       std::string("[Texts]\r\n10000=") + name + "\r\n" + lines);
    }
    void UseLanguage(const char* file)
    {
        root.WriteFile(u"\\SDMMC\\Autorun\\Language\\Language.ini", std::string("File_Language=") + file + "\r\n");
    }
    // The program's own language files in place of the test's, `file` current.
    void UseRealLanguage(const char* file)
    {
        for (const char* name : {"ENG.LNG", "RUS.LNG"})
            root.WriteFile(u"\\SDMMC\\Autorun\\Language\\" + qplat::FromUtf8(name),
                           ReadSourceFile(std::filesystem::path("data/Language") / name));
        UseLanguage(file);
    }

    TempDeviceRoot root;
    HWND owner = nullptr;
};

}  // namespace qtest
