// An eight-frame animation drawn over a window by a worker thread while the
// user-interface thread is busy with a long operation.
#pragma once

#include <atomic>

#include "platform/AfxThread.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "ui/PaintHelper.h"

constexpr int BUSY_FRAMES = 8;
constexpr int BUSY_FIRST_FRAME_ID = 717;
constexpr int BUSY_FRAME_SIZE = 40;
constexpr DWORD BUSY_FRAME_MS = 100;

class CBusyAnimation {
public:
    CBusyAnimation();
    ~CBusyAnimation();
    CBusyAnimation(const CBusyAnimation&) = delete;
    CBusyAnimation& operator=(const CBusyAnimation&) = delete;

    void Start(HINSTANCE instance, HWND window, int xOffset, int yOffset);
    // Stops the thread, waits for it to end and repaints the window without
    // the animation.
    void Stop();
    bool IsRunning() const { return m_run.load(); }
    // Frames drawn since the object was built (for tests).
    unsigned FramesDrawn() const { return m_framesDrawn.load(); }

    std::atomic<bool> m_run;
    HINSTANCE m_hInstance;
    HWND m_hWnd;
    int m_xOffset;
    int m_yOffset;
    CPaintHelper m_paint;
    int m_frame;
    HBITMAP m_frames[BUSY_FRAMES];

private:
    friend UINT BusyAnimationThreadProc(LPVOID param);
    void LoadFrames();
    void DrawFrame();

    CWinThread* m_thread = nullptr;
    HANDLE m_wake = nullptr;
    std::atomic<unsigned> m_framesDrawn{0};
};

UINT BusyAnimationThreadProc(LPVOID param);

extern CBusyAnimation g_busyAnimation;
void StartBusyAnimation(HINSTANCE instance, HWND window, int xOffset, int yOffset);
void StopBusyAnimation();
