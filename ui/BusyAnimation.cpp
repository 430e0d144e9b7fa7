#include "ui/BusyAnimation.h"

#include "ui/BufferedDC.h"

CBusyAnimation g_busyAnimation;

namespace {
// The longest Stop waits for the thread. A frame takes milliseconds; the bound
// only matters when the thread is stuck, and then the screen must not hang.
constexpr DWORD kJoinMs = 3000;
}  // namespace

CBusyAnimation::CBusyAnimation()
    : m_run(false), m_hInstance(nullptr), m_hWnd(nullptr), m_xOffset(0), m_yOffset(0), m_frame(0), m_frames{}
{
    LoadFrames();
}

CBusyAnimation::~CBusyAnimation()
{
    if (m_thread) Stop();
    for (HBITMAP& b : m_frames) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
    if (m_wake) CloseHandle(m_wake);
}

void CBusyAnimation::LoadFrames()
{
    for (int i = 0; i < BUSY_FRAMES; ++i) {
        if (m_frames[i]) continue;
        m_frames[i] = static_cast<HBITMAP>(
            LoadImageW(m_hInstance, MAKEINTRESOURCEW(BUSY_FIRST_FRAME_ID + i), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    }
}

void CBusyAnimation::Start(HINSTANCE instance, HWND window, int xOffset, int yOffset)
{
    if (m_run.load()) return;
    if (m_thread) Stop();  // a thread that ended on its own is joined first
    m_hInstance = instance;
    m_hWnd = window;
    m_xOffset = xOffset;
    m_yOffset = yOffset;
    m_frame = 0;
    LoadFrames();
    if (!m_wake) m_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_wake) ResetEvent(m_wake);
    m_run.store(true);
    m_thread = AfxBeginThread(BusyAnimationThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!m_thread) {
        m_run.store(false);
        return;
    }
    m_thread->m_bAutoDelete = FALSE;
    m_thread->ResumeThread();
}

void CBusyAnimation::Stop()
{
    m_run.store(false);
    if (m_wake) SetEvent(m_wake);
    if (m_thread) {
        WaitForSingleObject(m_thread->m_hThread, kJoinMs);
        delete m_thread;
        m_thread = nullptr;
    }
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CBusyAnimation::DrawFrame()
{
    HDC hdc = GetDC(m_hWnd);
    if (!hdc) return;
    RECT client{0, 0, 0, 0};
    GetClientRect(m_hWnd, &client);
    int x = client.right / 2 - BUSY_FRAME_SIZE / 2 + m_xOffset;
    int y = client.bottom / 2 - BUSY_FRAME_SIZE / 2 + m_yOffset;
    RECT square{x, y, x + BUSY_FRAME_SIZE, y + BUSY_FRAME_SIZE};
    CBufferedDC* dc = new CBufferedDC(hdc, square);
    m_paint.StretchBitmap(dc->m_hDC, m_frames[m_frame], x, y, 0, 0);
    delete dc;
    ReleaseDC(m_hWnd, hdc);
    m_framesDrawn.fetch_add(1);
}

UINT BusyAnimationThreadProc(LPVOID param)
{
    auto* self = static_cast<CBusyAnimation*>(param);
    while (self->m_run.load()) {
        self->DrawFrame();
        self->m_frame = (self->m_frame + 1) % BUSY_FRAMES;
        // A frame period, cut short by Stop.
        if (self->m_wake)
            WaitForSingleObject(self->m_wake, BUSY_FRAME_MS);
        else
            Sleep(BUSY_FRAME_MS);
    }
    return 0;
}

void StartBusyAnimation(HINSTANCE instance, HWND window, int xOffset, int yOffset)
{
    g_busyAnimation.Start(instance, window, xOffset, yOffset);
}

void StopBusyAnimation()
{
    g_busyAnimation.Stop();
}
