// Scroll bars of ordinary windows (WS_HSCROLL/WS_VSCROLL): the room they take,
// the codes the stylus on them sends, and how they look on the screen.
#include <tuple>
#include <utility>

#include "platform/WinCtrl.h"
#include "tests/platform_ui/WindowTestSupport.h"

namespace {

using qtest::Log;

constexpr int kW = 200, kH = 150;
// The colours the bars are drawn with.
constexpr COLORREF kTrackColor = RGB(0xDC, 0xE0, 0xE4);
constexpr COLORREF kThumbColor = RGB(0x6A, 0x7A, 0x8C);
constexpr COLORREF kButtonColor = RGB(0xD0, 0xD4, 0xD8);

class ScrollBarWindowTest : public qtest::WindowTest {
protected:
    HWND MakeScrolled()
    {
        return Keep(qtest::MakeTop(0, 0, kW, kH, WS_POPUP | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL));
    }
    static void SetBar(HWND h, int bar, int maxPos, UINT page, int pos = 0)
    {
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, maxPos, page, pos, 0};
        SetScrollInfo(h, bar, &si, TRUE);
    }
    // Both bars needed: 100 of 300 rows and 100 of 400 columns shown.
    static void SetBothBars(HWND h)
    {
        SetBar(h, SB_VERT, 299, 100);
        SetBar(h, SB_HORZ, 399, 100);
        Pump();
    }
    // The client area's width and height.
    using Size = std::pair<LONG, LONG>;
    static Size Client(HWND h)
    {
        RECT r{};
        GetClientRect(h, &r);
        return Size{r.right, r.bottom};
    }
    static void Pump() { qplat::ProcessPendingMessages(); }
    // (message, code, position) of the scroll messages the window received.
    static std::vector<std::tuple<UINT, int, int>> Scrolls(HWND h)
    {
        std::vector<std::tuple<UINT, int, int>> out;
        for (auto& e : Log().All())
            if (e.hwnd == h && (e.msg == WM_HSCROLL || e.msg == WM_VSCROLL)) {
                EXPECT_EQ(e.lParam, 0);
                out.emplace_back(e.msg, LOWORD(e.wParam), static_cast<SHORT>(HIWORD(e.wParam)));
            }
        return out;
    }
    static int ClientPresses(HWND h)
    {
        return Log().Count(h, WM_LBUTTONDOWN) + Log().Count(h, WM_LBUTTONUP) + Log().Count(h, WM_MOUSEMOVE);
    }
};

TEST_F(ScrollBarWindowTest, MetricsGiveTheBarThickness)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 13);
    EXPECT_EQ(GetSystemMetrics(SM_CYHSCROLL), 13);
}

TEST_F(ScrollBarWindowTest, ClientShrinksWhileARangeNeedsScrollingAndGrowsBack)
{
    HWND h = MakeScrolled();
    Pump();
    EXPECT_EQ(Client(h), Size(kW - 2, kH - 2));

    // A range that fits its page needs no bar.
    Log().Clear();
    SetBar(h, SB_VERT, 99, 100);
    EXPECT_EQ(Client(h).first, kW - 2);
    EXPECT_EQ(Log().Count(h, WM_SIZE), 0);

    Log().Clear();
    SetBar(h, SB_VERT, 299, 100);
    const Size c = Client(h);
    EXPECT_EQ(c, Size(kW - 2 - GetSystemMetrics(SM_CXVSCROLL), kH - 2));
    ASSERT_EQ(Log().Count(h, WM_SIZE), 1);
    for (auto& e : Log().All())
        if (e.hwnd == h && e.msg == WM_SIZE) {
            EXPECT_EQ(Size(LOWORD(e.lParam), HIWORD(e.lParam)), c);
        }

    // Setting the same need again changes nothing.
    Log().Clear();
    SetBar(h, SB_VERT, 299, 100, 50);
    EXPECT_EQ(Log().Count(h, WM_SIZE), 0);

    SetBar(h, SB_HORZ, 399, 100);
    EXPECT_EQ(Client(h), Size(kW - 2 - 13, kH - 2 - 13));
    EXPECT_EQ(Log().Count(h, WM_SIZE), 1);

    // Without a page, any range longer than one position scrolls.
    SCROLLINFO noPage{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    SetScrollInfo(h, SB_VERT, &noPage, TRUE);
    EXPECT_EQ(Client(h).first, kW - 2);
    SetScrollRange(h, SB_VERT, 0, 5, TRUE);
    EXPECT_EQ(Client(h).first, kW - 2 - 13);

    Log().Clear();
    SetBar(h, SB_VERT, 50, 100);
    SetBar(h, SB_HORZ, 50, 100);
    EXPECT_EQ(Client(h), Size(kW - 2, kH - 2));
    EXPECT_EQ(Log().Count(h, WM_SIZE), 2);

    // The client origin stays where it was.
    POINT o{0, 0};
    ClientToScreen(h, &o);
    EXPECT_EQ(o.x, 1);
    EXPECT_EQ(o.y, 1);
}

TEST_F(ScrollBarWindowTest, DisableNoScrollKeepsTheBarWithoutAThumb)
{
    HWND h = MakeScrolled();
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, 99, 100, 0, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    Pump();
    EXPECT_EQ(Client(h), Size(kW - 2 - 13, kH - 2));
    // Nothing to scroll: no thumb, and the stylus on the bar sends nothing and
    // does not reach the client.
    EXPECT_EQ(qplat::ScreenPixel(192, 30), kTrackColor);
    Log().Clear();
    Tap(192, 5);
    Tap(192, 60);
    EXPECT_TRUE(Scrolls(h).empty());
    EXPECT_EQ(ClientPresses(h), 0);

    // Enabled once the range outgrows the page.
    si.nMax = 299;
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    Pump();
    EXPECT_EQ(Client(h).first, kW - 2 - 13);
    EXPECT_EQ(qplat::ScreenPixel(192, 30), kThumbColor);
    Tap(192, 5);
    EXPECT_EQ(Scrolls(h).size(), 2u);

    // Without the flag the unneeded bar goes.
    SetBar(h, SB_VERT, 99, 100);
    EXPECT_EQ(Client(h).first, kW - 2);
}

TEST_F(ScrollBarWindowTest, WindowWithoutTheStyleGetsNoBar)
{
    HWND h = Keep(qtest::MakeTop(0, 0, kW, kH, WS_POPUP | WS_VISIBLE | WS_BORDER));
    SetBar(h, SB_VERT, 299, 100);
    SetBar(h, SB_HORZ, 299, 100);
    EXPECT_EQ(Client(h), Size(kW - 2, kH - 2));
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);
}

TEST_F(ScrollBarWindowTest, TapsOnArrowsAndTrackSendLineAndPageCodes)
{
    HWND h = MakeScrolled();
    SetBothBars(h);
    Log().Clear();

    // Vertical bar: x 186..198, arrows 13 px at both ends of y 1..135.
    Tap(192, 5);
    Tap(192, 130);
    Tap(192, 100);
    // Horizontal bar: y 136..148, x 1..185.
    Tap(5, 142);
    Tap(180, 142);
    Tap(150, 142);

    std::vector<std::tuple<UINT, int, int>> want{
        {WM_VSCROLL, SB_LINEUP, 0},    {WM_VSCROLL, SB_ENDSCROLL, 0}, {WM_VSCROLL, SB_LINEDOWN, 0},
        {WM_VSCROLL, SB_ENDSCROLL, 0}, {WM_VSCROLL, SB_PAGEDOWN, 0},  {WM_VSCROLL, SB_ENDSCROLL, 0},
        {WM_HSCROLL, SB_LINELEFT, 0},  {WM_HSCROLL, SB_ENDSCROLL, 0}, {WM_HSCROLL, SB_LINERIGHT, 0},
        {WM_HSCROLL, SB_ENDSCROLL, 0}, {WM_HSCROLL, SB_PAGERIGHT, 0}, {WM_HSCROLL, SB_ENDSCROLL, 0},
    };
    EXPECT_EQ(Scrolls(h), want);
    EXPECT_EQ(ClientPresses(h), 0);

    // The track above a thumb that moved down pages up.
    SetBar(h, SB_VERT, 299, 100, 200);
    Log().Clear();
    Tap(192, 30);
    std::vector<std::tuple<UINT, int, int>> up{{WM_VSCROLL, SB_PAGEUP, 0}, {WM_VSCROLL, SB_ENDSCROLL, 0}};
    EXPECT_EQ(Scrolls(h), up);

    // The client still gets its own taps.
    Log().Clear();
    Tap(50, 50);
    EXPECT_EQ(Log().Count(h, WM_LBUTTONDOWN), 1);
    EXPECT_TRUE(Scrolls(h).empty());
}

TEST_F(ScrollBarWindowTest, DraggingTheThumbTracksThenSetsThePosition)
{
    HWND h = MakeScrolled();
    SetBothBars(h);
    Log().Clear();

    // The thumb of a 100-of-300 page starts at the top of the track (y 14).
    qplat::StylusDown(192, 20);
    Pump();
    EXPECT_TRUE(Scrolls(h).empty());
    qplat::StylusMove(192, 50);
    Pump();
    auto got = Scrolls(h);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(std::get<1>(got[0]), SB_THUMBTRACK);
    int tracked = std::get<2>(got[0]);
    EXPECT_GT(tracked, 50);
    EXPECT_LT(tracked, 120);
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_TRACKPOS | SIF_POS, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(h, SB_VERT, &si));
    EXPECT_EQ(si.nTrackPos, tracked);
    EXPECT_EQ(si.nPos, 0);  // the window itself decides where the bar stands

    qplat::StylusMove(192, 500);  // far past the end: the last position
    Pump();
    got = Scrolls(h);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(std::get<1>(got[1]), SB_THUMBTRACK);
    EXPECT_EQ(std::get<2>(got[1]), 200);

    qplat::StylusUp(192, 500);
    Pump();
    std::vector<std::tuple<UINT, int, int>> want{{WM_VSCROLL, SB_THUMBTRACK, tracked},
                                                 {WM_VSCROLL, SB_THUMBTRACK, 200},
                                                 {WM_VSCROLL, SB_THUMBPOSITION, 200},
                                                 {WM_VSCROLL, SB_ENDSCROLL, 0}};
    EXPECT_EQ(Scrolls(h), want);
    EXPECT_EQ(ClientPresses(h), 0);

    // A horizontal drag reports through WM_HSCROLL.
    Log().Clear();
    qplat::StylusDown(20, 142);
    qplat::StylusMove(60, 142);
    qplat::StylusUp(60, 142);
    Pump();
    got = Scrolls(h);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(std::get<0>(got[0]), static_cast<UINT>(WM_HSCROLL));
    EXPECT_EQ(std::get<1>(got[0]), SB_THUMBTRACK);
    EXPECT_GT(std::get<2>(got[0]), 0);
    EXPECT_EQ(std::get<1>(got[1]), SB_THUMBPOSITION);
    EXPECT_EQ(std::get<2>(got[1]), std::get<2>(got[0]));
    EXPECT_EQ(std::get<1>(got[2]), SB_ENDSCROLL);
}

TEST_F(ScrollBarWindowTest, BarsAreDrawnInTheNonClientArea)
{
    HWND h = MakeScrolled();
    Pump();
    EXPECT_NE(qplat::ScreenPixel(192, 100), kTrackColor);

    SetBothBars(h);
    EXPECT_EQ(qplat::ScreenPixel(192, 100), kTrackColor);  // vertical track below the thumb
    EXPECT_EQ(qplat::ScreenPixel(192, 30), kThumbColor);   // vertical thumb at the top
    EXPECT_EQ(qplat::ScreenPixel(188, 3), kButtonColor);   // up arrow
    EXPECT_EQ(qplat::ScreenPixel(150, 142), kTrackColor);  // horizontal track
    EXPECT_EQ(qplat::ScreenPixel(30, 142), kThumbColor);   // horizontal thumb at the left
    EXPECT_EQ(qplat::ScreenPixel(192, 142), kButtonColor);  // the corner between them

    // Moving the position redraws the thumb at its new place.
    SetBar(h, SB_VERT, 299, 100, 200);
    Pump();
    EXPECT_EQ(qplat::ScreenPixel(192, 30), kTrackColor);
    EXPECT_EQ(qplat::ScreenPixel(192, 110), kThumbColor);

    // Painting the client does not cover the bars.
    HDC dc = GetDC(h);
    qtest::FillWith(dc, RECT{-50, -50, 500, 500}, RGB(255, 0, 0));
    ReleaseDC(h, dc);
    EXPECT_EQ(qplat::ScreenPixel(192, 110), kThumbColor);
    EXPECT_EQ(qplat::ScreenPixel(100, 60), RGB(255, 0, 0));

    // A bar no longer needed gives its room back to the client.
    SetBar(h, SB_VERT, 50, 100);
    Pump();
    EXPECT_NE(qplat::ScreenPixel(192, 110), kThumbColor);
    EXPECT_NE(qplat::ScreenPixel(192, 100), kTrackColor);
}

}  // namespace
