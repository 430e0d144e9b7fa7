// Helpers of the toolkit tests: a screen-sized window whose painting and
// owner-drawn items a test supplies, and probes of the composed screen.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/Presenter.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "ui/BufferedDC.h"
#include "ui/OwnerButton.h"

namespace qtest {

struct UiHooks {
    std::function<void(HWND, HDC)> paint;                   // draws into the buffered context
    std::function<void(const DRAWITEMSTRUCT*)> drawItem;    // WM_DRAWITEM
};

inline UiHooks& Hooks()
{
    static UiHooks hooks;
    return hooks;
}

inline LRESULT CALLBACK UiTestProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        CBufferedDC* dc = new CBufferedDC(hdc, client);
        if (Hooks().paint) Hooks().paint(hwnd, dc->m_hDC);
        delete dc;
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        if (Hooks().drawItem) Hooks().drawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline HWND MakeScreen(int w = 480, int h = 272)
{
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = UiTestProc;
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = u"QavUiTestScreen";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    HWND hwnd = CreateWindowExW(0, u"QavUiTestScreen", u"", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr,
                             nullptr, nullptr);
    UpdateWindow(hwnd);
    return hwnd;
}

class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Hooks() = UiHooks{};
        qplat::ProcessPendingMessages();
    }
    void TearDown() override
    {
        for (HWND h : made_)
            if (IsWindow(h)) DestroyWindow(h);
        Hooks() = UiHooks{};
        qplat::ProcessPendingMessages();
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND Keep(HWND h)
    {
        made_.push_back(h);
        return h;
    }
    // Paints what is pending and returns a pixel of the composed screen.
    static COLORREF Screen(int x, int y)
    {
        qplat::ProcessPendingMessages();
        return qplat::ScreenPixel(x, y);
    }

private:
    std::vector<HWND> made_;
};

}  // namespace qtest
