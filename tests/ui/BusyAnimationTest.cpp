// The busy animation's thread: one at a time, stopped and joined, the window
// repainted without the animation square.
#include <chrono>
#include <thread>

#include "tests/platform_ui/GdiTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/BusyAnimation.h"

using namespace qtest;

namespace {

void WaitForFrames(const CBusyAnimation& a, unsigned n)
{
    for (int i = 0; i < 400 && a.FramesDrawn() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

class BusyAnimationTest : public UiTest {};

TEST_F(BusyAnimationTest, DrawsCentredAndStopsClean)
{
    Hooks().paint = [](HWND hwnd, HDC dc) { g_paintHelper.FillClient(hwnd, dc, kRed); };
    HWND screen = Keep(MakeScreen());
    ASSERT_EQ(Screen(240, 136), kRed);
    CBusyAnimation busy;
    busy.Start(nullptr, screen, 0, 0);
    EXPECT_TRUE(busy.IsRunning());
    WaitForFrames(busy, 1);
    ASSERT_GE(busy.FramesDrawn(), 1u);
    // The 40 x 40 square around the centre shows the frame (white background).
    EXPECT_EQ(qplat::ScreenPixel(221, 117), kWhite);
    EXPECT_EQ(qplat::ScreenPixel(219, 136), kRed);
    EXPECT_EQ(qplat::ScreenPixel(260, 136), kRed);
    busy.Stop();
    EXPECT_FALSE(busy.IsRunning());
    unsigned frames = busy.FramesDrawn();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(busy.FramesDrawn(), frames);  // the thread has ended
    EXPECT_EQ(Screen(221, 117), kRed);      // repainted without the square
}

TEST_F(BusyAnimationTest, StartTwiceRunsOneThreadAndKeepsTheWindow)
{
    HWND a = Keep(MakeScreen());
    HWND b = Keep(MakeScreen(200, 100));
    CBusyAnimation busy;
    busy.Start(nullptr, a, 0, 0);
    busy.Start(nullptr, b, 10, 10);
    EXPECT_EQ(busy.m_hWnd, a);
    EXPECT_EQ(busy.m_xOffset, 0);
    busy.Stop();
    // Start after Stop runs again, from frame 0.
    unsigned before = busy.FramesDrawn();
    busy.Start(nullptr, b, 0, 0);
    EXPECT_EQ(busy.m_hWnd, b);
    WaitForFrames(busy, before + 1);
    EXPECT_GT(busy.FramesDrawn(), before);
    busy.Stop();
    busy.Stop();  // a second stop is harmless
}

TEST_F(BusyAnimationTest, ProgramWideAnimationAndFrames)
{
    for (HBITMAP f : g_busyAnimation.m_frames) {
        SIZE s = GetBitmapSize(f);
        EXPECT_EQ(s.cx, 40);
        EXPECT_EQ(s.cy, 40);
    }
    HWND screen = Keep(MakeScreen());
    StartBusyAnimation(nullptr, screen, 0, 0);
    EXPECT_TRUE(g_busyAnimation.IsRunning());
    StopBusyAnimation();
    EXPECT_FALSE(g_busyAnimation.IsRunning());
}
