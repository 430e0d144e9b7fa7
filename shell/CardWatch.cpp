#include "shell/CardWatch.h"

#include "platform/AfxThread.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "settings/DeviceSetup.h"
#include "ui/BufferedDC.h"
#include "ui/ModalDialog.h"
#include "ui/OwnerButton.h"
#include "ui/PaintHelper.h"

CCardMissingDlg* g_cardMissingDlg = nullptr;

namespace {

constexpr int kTemplateId = 473;
constexpr int kPictureId = 735;
constexpr int kPictureControl = 110;
constexpr UINT_PTR kTimer = 6;
constexpr UINT kTimerMs = 100;
constexpr int kTextStartX = 50;
constexpr int kTextY = 172;
constexpr int kTextStep = 10;
constexpr int kTextWrapX = 380;
constexpr COLORREF kTextColour = 0x0082C3;

constexpr DWORD kCycleMs = 1000;
// A card test takes microseconds; the bound only matters when the file system
// hangs, and then the program must still end.
constexpr DWORD kJoinMs = 5000;
constexpr UINT kShowRequest = WM_APP + 0x31;
constexpr const char16_t* kRequestClass = u"QavCardWatchRequests";

}  // namespace

// ---- the card-missing screen

CCardMissingDlg::CCardMissingDlg()
    : m_busy(0), m_hInstance(nullptr), m_textX(kTextStartX), m_textY(kTextY), m_cardPresent(FALSE), m_hWnd(nullptr),
      m_picture(nullptr)
{
}

CCardMissingDlg::~CCardMissingDlg()
{
    if (m_picture) DeleteObject(m_picture);
}

BOOL CCardMissingDlg::DoModal(HINSTANCE instance, HWND parent)
{
    if (m_busy) return FALSE;
    m_hInstance = instance;
    g_cardMissingDlg = this;
    INT_PTR end = 0;
    if (!RunDialogTemplate(instance, kTemplateId, parent, StaticDlgProc, end)) end = 0;
    g_cardMissingDlg = nullptr;
    m_busy = 0;
    m_hWnd = nullptr;
    if (m_picture) {
        DeleteObject(m_picture);
        m_picture = nullptr;
    }
    return DialogAnswered(end);
}

INT_PTR CALLBACK CCardMissingDlg::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return RouteDialogMessage(g_cardMissingDlg, hwnd, msg, wParam, lParam);
}

INT_PTR CCardMissingDlg::DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: {
        m_hWnd = hwnd;
        if (!m_picture)
            m_picture = static_cast<HBITMAP>(
                LoadImageW(m_hInstance, MAKEINTRESOURCEW(kPictureId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
        const SIZE size = GetBitmapSize(m_picture);
        HWND picture = CreateWindowExW(0, u"STATIC", nullptr, 0x5000010E, (qplat::kScreenWidth - size.cx) / 2,
                                       (qplat::kScreenHeight - size.cy) / 3, 0, 0, hwnd,
                                       reinterpret_cast<HMENU>(static_cast<intptr_t>(kPictureControl)), m_hInstance,
                                       nullptr);
        if (picture && m_picture) SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_picture));
        m_textX = kTextStartX;
        m_textY = kTextY;
        SetTimer(hwnd, kTimer, kTimerMs, nullptr);
        m_busy = 1;
        return TRUE;
    }
    case WM_TIMER:
        if (wParam != kTimer) return FALSE;
        m_cardPresent = IsStorageCardPresent();
        if (m_cardPresent) {
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        } else {
            m_textX += kTextStep;
            if (m_textX >= kTextWrapX) m_textX = kTextStartX;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return FALSE;
    case WM_PAINT:
        Paint(hwnd);
        return FALSE;
    case WM_CLOSE:
        m_busy = 0;
        KillTimer(hwnd, kTimer);
        EndDialog(hwnd, 1);
        return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: return ScreenColourBrush(msg, wParam);
    default: return FALSE;
    }
}

void CCardMissingDlg::Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    {
        CBufferedDC buffered(hdc, RECT{0, 0, client.right, client.bottom});
        CPaintHelper paint;
        paint.FillClient(hwnd, buffered.m_hDC, 0x000000);
        paint.DrawCaption(hwnd, buffered.m_hDC, m_textX, m_textY, 0, u"...", 80, 0, kTextColour, TRUE, TRUE, 0);
    }
    EndPaint(hwnd, &ps);
}

// ---- the watch

CCardWatch::CCardWatch()
    : m_hInstance(nullptr), m_hOwner(nullptr), m_run(0), m_cardPresent(1), m_thread(nullptr), m_wake(nullptr),
      m_screenDone(nullptr), m_requestWindow(nullptr), m_generation(0), m_tests(0), m_requests(0), m_alive(0)
{
}

CCardWatch::~CCardWatch()
{
    Stop();
    if (m_requestWindow && IsWindow(m_requestWindow)) DestroyWindow(m_requestWindow);
    if (m_wake) CloseHandle(m_wake);
    if (m_screenDone) CloseHandle(m_screenDone);
}

void CCardWatch::Start(HINSTANCE instance, HWND owner)
{
    if (m_run.load()) return;
    if (m_thread) Stop();
    m_hInstance = instance;
    m_hOwner = owner;
    if (!m_wake) m_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_screenDone) m_screenDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_requestWindow || !IsWindow(m_requestWindow)) {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = RequestWndProc;
            wc.lpszClassName = kRequestClass;
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        // Owned by the start window, so it is never taken for the program's
        // main window; never shown.
        m_requestWindow = CreateWindowExW(0, kRequestClass, u"", WS_POPUP, 0, 0, 0, 0, owner, nullptr, instance, nullptr);
        if (m_requestWindow) SetWindowLongW(m_requestWindow, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    if (!m_wake || !m_screenDone || !m_requestWindow) return;
    ResetEvent(m_wake);
    ResetEvent(m_screenDone);
    m_run.store(1);
    m_thread = AfxBeginThread(CardWatchThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!m_thread) {
        m_run.store(0);
        return;
    }
    m_thread->m_bAutoDelete = FALSE;
    m_thread->ResumeThread();
}

void CCardWatch::Stop()
{
    m_run.store(0);
    ++m_generation;
    if (m_wake) SetEvent(m_wake);
    if (m_screenDone) SetEvent(m_screenDone);
    if (m_screen.m_busy && m_screen.m_hWnd && IsWindow(m_screen.m_hWnd)) SendMessageW(m_screen.m_hWnd, WM_CLOSE, 0, 0);
    if (m_thread) {
        // The thread uses this object to its last step: freeing it under a
        // thread that a hung card still holds in a file test would corrupt
        // memory, so past the usual bound the stop waits it out.
        if (WaitForSingleObject(m_thread->m_hThread, kJoinMs) == WAIT_TIMEOUT)
            WaitForSingleObject(m_thread->m_hThread, INFINITE);
        delete m_thread;
        m_thread = nullptr;
    }
}

UINT CCardWatch::CardWatchThreadProc(LPVOID param)
{
    auto* watch = static_cast<CCardWatch*>(param);
    ++watch->m_alive;
    while (watch->m_run.load()) {
        ++watch->m_tests;
        const BYTE present = IsStorageCardPresent() ? 1 : 0;
        watch->m_cardPresent.store(present);
        if (!present) {
            const unsigned generation = watch->m_generation.load();
            ResetEvent(watch->m_screenDone);
            if (watch->m_run.load() && PostMessageW(watch->m_requestWindow, kShowRequest, generation, 0)) {
                ++watch->m_requests;
                WaitForSingleObject(watch->m_screenDone, INFINITE);
            }
        }
        if (!watch->m_run.load()) break;
        WaitForSingleObject(watch->m_wake, kCycleMs);
    }
    --watch->m_alive;
    return 0;
}

LRESULT CALLBACK CCardWatch::RequestWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kShowRequest) {
        auto* watch = reinterpret_cast<CCardWatch*>(GetWindowLongW(hwnd, GWL_USERDATA));
        if (watch) watch->ShowScreen(static_cast<unsigned>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void CCardWatch::ShowScreen(unsigned generation)
{
    // A request from before the last Stop: its thread has been released.
    if (!m_run.load() || generation != m_generation.load()) return;
    HWND front = GetActiveWindow();
    HWND parent = (front && IsWindow(front)) ? front : m_hOwner;
    m_screen.DoModal(m_hInstance, parent);
    if (m_screenDone) SetEvent(m_screenDone);
}
