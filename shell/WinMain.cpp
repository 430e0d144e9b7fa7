// The entry of Qav5_PA. Until the start screen exists it shows a small demo
// screen built from the toolkit: the white panel with its separator lines, the
// corner logo and a title, the status images with the signal bars, bitmap
// buttons with captions and a back button. "Start" runs the busy animation
// for two seconds, "Ask" puts a question through the message box, "Text"
// takes a text through the on-screen keyboard; the back button or the power
// key ends the program.
#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "resources/ResourceIds.h"
#include "ui/BufferedDC.h"
#include "ui/BusyAnimation.h"
#include "ui/KeyboardDlg.h"
#include "ui/MessageDlg.h"
#include "ui/OwnerButton.h"
#include "ui/PaintHelper.h"
#include "ui/StatusImages.h"

namespace {

constexpr int kStartId = 1001;
constexpr int kAskId = 1002;
constexpr int kTextId = 1003;
constexpr int kBackId = 1004;
constexpr UINT_PTR kBusyTimer = 1;
constexpr int kButtonCount = 4;

HINSTANCE g_instance = nullptr;
COwnerButton g_demoButtons[kButtonCount];
int g_battery = 70;  // what the demo shows: a sensor at 70 %, link up, level -10
WCHAR g_frameText[160] = u"Wheel profile head, connected over Bluetooth";

void CreateButtons(HWND hwnd)
{
    g_demoButtons[0].Create(hwnd, g_instance, 10, 224, 141, 41, kStartId, 210, 211, 212);
    g_demoButtons[0].SetCaption(u"Start", 0xFFFFFF, FALSE, FALSE, FALSE, 0, 0);
    g_demoButtons[1].Create(hwnd, g_instance, 170, 226, 0, 0, kAskId, 317, 318, 0);
    g_demoButtons[1].SetCaption(u"Ask", 0xFFFFFF, FALSE, FALSE, FALSE, 0, 0);
    g_demoButtons[2].Create(hwnd, g_instance, 290, 226, 0, 0, kTextId, 314, 315, 0);
    g_demoButtons[2].SetCaption(u"Text", 0xFFFFFF, FALSE, FALSE, FALSE, 0, 0);
    g_demoButtons[3].Create(hwnd, g_instance, 435, 7, 0, 0, kBackId, 173, 174, 0);
}

void CopyText(const WCHAR* text)
{
    qplat::CopyField(g_frameText, sizeof g_frameText / sizeof g_frameText[0], text);
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    CBufferedDC* dc = new CBufferedDC(hdc, client);
    HDC out = dc->m_hDC;
    g_paintHelper.DrawPanel(hwnd, out, 2.5f);
    g_paintHelper.DrawBitmapTopLeft(g_instance, out);
    g_paintHelper.DrawCaption(hwnd, out, 65, 12, 0, u"Qav5 profile gauge", 24, 9, 0x000000, TRUE, TRUE, 0);
    g_paintHelper.DrawRoundFrame(hwnd, out, 20, 70, 250, 120, u"Sensor", 0xFFFFFF, 12, 1);
    g_paintHelper.DrawCaption(hwnd, out, 30, 90, 230, g_frameText, 18, 7,
                              0x000000, FALSE, TRUE, 0);
    int index = CStatusImages::BatteryIconIndex(g_battery, TRUE);
    g_paintHelper.StretchBitmap(out, g_statusImages.m_battery[index], 300, 125, 48, 48);
    g_paintHelper.StretchBitmap(out, g_statusImages.m_plug, 339, 163, 0, 0);
    g_paintHelper.DrawBitmapScaled(hwnd, out, g_statusImages.m_link[0], 310, 70, 3, 6, static_cast<BYTE>(-10), TRUE);
    g_paintHelper.DrawCaption(hwnd, out, 370, 80, 0, u"70 %", 18, 7, 0x000000, TRUE, TRUE, 0);
    delete dc;
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK DemoWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        g_statusImages.Load(g_instance);
        CreateButtons(hwnd);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM: {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (COwnerButton& b : g_demoButtons)
            if (b.m_hWnd == dis->hwndItem) b.DrawItem(dis);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kStartId:
            StartBusyAnimation(g_instance, hwnd, 0, 0);
            SetTimer(hwnd, kBusyTimer, 2000, nullptr);
            return 0;
        case kAskId: {
            CMessageDlg box;
            const int yes = box.Show(g_instance, hwnd, MESSAGE_QUESTION, u"Is the wheel clean and the head on the rim?");
            CopyText(yes ? u"Answered yes" : u"Answered no");
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        }
        case kTextId:
            CopyText(PromptForText(g_instance, hwnd, u"Car number", u"", 0));
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case kBackId:
            DestroyWindow(hwnd);
            return 0;
        default:
            return 0;
        }
    case WM_TIMER:
        KillTimer(hwnd, static_cast<UINT_PTR>(wParam));
        if (wParam == kBusyTimer) StopBusyAnimation();
        return 0;
    case WM_POWERKEY:
    case WM_POWERKEY_SHELL:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kBusyTimer);
        StopBusyAnimation();
        for (COwnerButton& b : g_demoButtons) b.Destroy();
        g_statusImages.Free();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show)
{
    g_instance = instance;
    WCHAR title[64] = {};
    WCHAR className[64] = {};
    LoadStringW(instance, IDS_APP_TITLE, title, 64);
    if (LoadStringW(instance, IDS_APP_CLASS, className, 64) == 0) return 0;

    WNDCLASSW wc{};
    wc.lpfnWndProc = DemoWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = className;
    if (!RegisterClassW(&wc)) return 0;
    HWND hwnd = CreateWindowExW(0, className, title, WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 0;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
