// The shared off-screen surface: growth, reuse, the single copy to the window,
// and one painter at a time.
#include <atomic>
#include <thread>

#include "tests/platform_ui/GdiTestSupport.h"
#include "ui/BufferedDC.h"

using namespace qtest;

namespace {

SIZE SharedSize()
{
    BITMAP bm{};
    if (!g_bufferedDCStatics.sharedBitmap ||
        GetObjectW(g_bufferedDCStatics.sharedBitmap, sizeof bm, &bm) != static_cast<int>(sizeof bm))
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

class BufferedDCTest : public ::testing::Test {
protected:
    void SetUp() override { CBufferedDC::FreeStatics(); }
    void TearDown() override { CBufferedDC::FreeStatics(); }
};

}  // namespace

TEST_F(BufferedDCTest, SurfaceGrowsOnlyWhenAPaintingReachesBeyondIt)
{
    Canvas target(480, 300);
    delete new CBufferedDC(target.dc, RECT{0, 0, 480, 272});
    HBITMAP first = g_bufferedDCStatics.sharedBitmap;
    HDC memory = g_bufferedDCStatics.memoryDC;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SharedSize().cx, 480);
    EXPECT_EQ(SharedSize().cy, 272);

    delete new CBufferedDC(target.dc, RECT{0, 0, 300, 200});
    EXPECT_EQ(g_bufferedDCStatics.sharedBitmap, first);

    delete new CBufferedDC(target.dc, RECT{0, 0, 480, 300});
    EXPECT_NE(g_bufferedDCStatics.sharedBitmap, first);
    EXPECT_EQ(GetObjectType(first), 0u);  // the old one is gone
    EXPECT_EQ(SharedSize().cx, 480);
    EXPECT_EQ(SharedSize().cy, 300);
    EXPECT_EQ(g_bufferedDCStatics.memoryDC, memory);  // one memory context for the run
}

TEST_F(BufferedDCTest, SquareAwayFromTheOriginNeedsRightByBottom)
{
    Canvas target(300, 200);
    delete new CBufferedDC(target.dc, RECT{200, 100, 240, 140});
    EXPECT_EQ(SharedSize().cx, 240);
    EXPECT_EQ(SharedSize().cy, 140);
    HBITMAP kept = g_bufferedDCStatics.sharedBitmap;
    delete new CBufferedDC(target.dc, RECT{100, 50, 140, 90});
    EXPECT_EQ(g_bufferedDCStatics.sharedBitmap, kept);
}

TEST_F(BufferedDCTest, EmptyRectangleFirstSelectsAndCopiesNothing)
{
    Canvas target(50, 50, kRed);
    CBufferedDC* dc = new CBufferedDC(target.dc, RECT{0, 0, 0, 0});
    EXPECT_EQ(g_bufferedDCStatics.sharedBitmap, nullptr);
    EXPECT_EQ(g_bufferedDCStatics.keptWidth, 0);
    delete dc;
    EXPECT_EQ(target.Ink(RECT{0, 0, 50, 50}, kRed), 0);
}

TEST_F(BufferedDCTest, DrawingReachesTheWindowInOneCopyOfTheRectangle)
{
    Canvas target(100, 100);
    CBufferedDC* dc = new CBufferedDC(target.dc, RECT{10, 10, 60, 60});
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{0, 0, 100, 100};
    FillRect(dc->m_hDC, &all, red);
    DeleteObject(red);
    EXPECT_EQ(target.At(20, 20), kWhite);  // nothing shown before the copy
    delete dc;
    target.ExpectPixels({{10, 10, kRed}, {59, 59, kRed}, {60, 60, kWhite}, {9, 30, kWhite}});
    EXPECT_EQ(target.Ink(all), 2500);
}

TEST_F(BufferedDCTest, DestructionLeavesTheContextWithItsBitmapDeselected)
{
    Canvas target(64, 64);
    delete new CBufferedDC(target.dc, RECT{0, 0, 64, 64});
    HDC memory = g_bufferedDCStatics.memoryDC;
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(GetObjectType(memory), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_NE(GetCurrentObject(memory, OBJ_BITMAP), g_bufferedDCStatics.sharedBitmap);
    CBufferedDC* next = new CBufferedDC(target.dc, RECT{0, 0, 32, 32});
    EXPECT_EQ(next->m_hDC, memory);
    EXPECT_EQ(GetCurrentObject(memory, OBJ_BITMAP), g_bufferedDCStatics.sharedBitmap);
    delete next;
}

TEST_F(BufferedDCTest, OnePainterAtATime)
{
    Canvas a(64, 64), b(64, 64);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto paint = [&](HDC target, COLORREF color) {
        for (int i = 0; i < 50; ++i) {
            CBufferedDC* dc = new CBufferedDC(target, RECT{0, 0, 64, 64});
            if (inside.fetch_add(1) != 0) overlapped = true;
            HBRUSH brush = CreateSolidBrush(color);
            RECT r{0, 0, 64, 64};
            FillRect(dc->m_hDC, &r, brush);
            DeleteObject(brush);
            std::this_thread::yield();
            inside.fetch_sub(1);
            delete dc;
        }
    };
    std::thread t1(paint, a.dc, kRed), t2(paint, b.dc, kBlue);
    t1.join();
    t2.join();
    EXPECT_FALSE(overlapped.load());
    // Each window got only its own painter's colour.
    EXPECT_EQ(a.Ink(RECT{0, 0, 64, 64}, kRed), 0);
    EXPECT_EQ(b.Ink(RECT{0, 0, 64, 64}, kBlue), 0);
}
