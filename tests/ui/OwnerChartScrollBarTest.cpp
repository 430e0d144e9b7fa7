// The chart's own scroll bars: they stand disabled while the content fits,
// zooming in enables them, and the stylus on them scrolls the content.
#include "platform/WinCtrl.h"
#include "tests/ui/ChartTestSupport.h"

using namespace qtest;

namespace {

constexpr COLORREF kThumbColor = RGB(0x6A, 0x7A, 0x8C);

class OwnerChartScrollBarTest : public ChartTest {
protected:
    // A point of the horizontal bar, `x` in client coordinates.
    static POINT OnHorzBar(HWND chart, int x)
    {
        RECT client{};
        GetClientRect(chart, &client);
        POINT p{x, client.bottom + GetSystemMetrics(SM_CYHSCROLL) / 2};
        ClientToScreen(chart, &p);
        return p;
    }
};

TEST_F(OwnerChartScrollBarTest, ZoomedChartScrollsByTappingItsHorizontalTrack)
{
    COwnerChart chart;
    HWND h = MakeChart(chart, 0, 40, 240, 150);
    ASSERT_NE(h, nullptr);
    RECT client{}, window{};
    GetClientRect(h, &client);
    GetWindowRect(h, &window);
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, 150);
    // The bars take their room beside the client even while disabled.
    EXPECT_GE(window.right - window.left, 240 + GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_GE(window.bottom - window.top, 150 + GetSystemMetrics(SM_CYHSCROLL));

    // Disabled: no thumb, and a tap neither scrolls nor reaches the chart.
    POINT track = OnHorzBar(h, 200);
    EXPECT_NE(Screen(track.x, track.y), kThumbColor);
    POINT nearLeft = OnHorzBar(h, 30);
    EXPECT_NE(Screen(nearLeft.x, nearLeft.y), kThumbColor);
    qplat::StylusTap(track.x, track.y);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.m_scrollOffsetX, 0);
    EXPECT_EQ(chart.m_mouseDown, 0);

    chart.ZoomIn(1, TRUE);
    qplat::ProcessPendingMessages();
    RECT after{};
    GetClientRect(h, &after);
    EXPECT_EQ(after.right, 240);
    EXPECT_EQ(after.bottom, 150);
    EXPECT_EQ(chart.m_scrollOffsetX, 0);
    EXPECT_EQ(Screen(nearLeft.x, nearLeft.y), kThumbColor);  // thumb at the left end
    EXPECT_NE(Screen(track.x, track.y), kThumbColor);

    // A tap on the track right of the thumb pages right.
    qplat::StylusTap(track.x, track.y);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.m_scrollOffsetX, -240);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), 240);
    EXPECT_EQ(chart.m_mouseDown, 0);  // the chart's own drag never started
    EXPECT_NE(Screen(nearLeft.x, nearLeft.y), kThumbColor);  // the thumb moved right

    // The left arrow steps back.
    POINT arrow = OnHorzBar(h, 3);
    qplat::StylusTap(arrow.x, arrow.y);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.m_scrollOffsetX, -220);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), 220);

    // Back to the window's size: the bar is disabled again.
    chart.ZoomIn(0, TRUE);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.m_scrollOffsetX, 0);
    EXPECT_NE(Screen(nearLeft.x, nearLeft.y), kThumbColor);
    qplat::StylusTap(arrow.x, arrow.y);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.m_scrollOffsetX, 0);
}

}  // namespace
