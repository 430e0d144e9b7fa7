// The painting helper's panel, captions, frames and bar graph, the status
// images' indexes, on memory bitmaps and on the composed screen.
#include <utility>

#include "tests/platform_ui/GdiTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/PaintHelper.h"
#include "ui/StatusImages.h"

using namespace qtest;

class PaintHelperTest : public UiTest {};

TEST_F(PaintHelperTest, PanelSeparatorsOnTheComposedScreen)
{
    Hooks().paint = [](HWND hwnd, HDC dc) { g_paintHelper.DrawPanel(hwnd, dc, 2.5f); };
    Keep(MakeScreen());
    // The lines at y 217 and 48, and the border of a non-zero n at x 0 and 479.
    const struct {
        int x, y;
        COLORREF colour;
    } probes[] = {{100, 217, kBlack}, {100, 216, kWhite}, {100, 218, kWhite}, {100, 48, kBlack}, {100, 100, kWhite},
                  {0, 100, kBlack},   {479, 100, kBlack}, {1, 217, kBlack},   {478, 217, kBlack}};
    for (const auto& p : probes) EXPECT_EQ(Screen(p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST_F(PaintHelperTest, PanelLinePositions)
{
    EXPECT_EQ(CPaintHelper::PanelLineY(2.5f), 217);
    EXPECT_EQ(CPaintHelper::PanelLineY(1.0f), 250);
    EXPECT_EQ(CPaintHelper::PanelLineY(0.0f), 272);
    Canvas c(480, 272, kRed);
    g_paintHelper.DrawPanel(nullptr, c.dc, 0.0f);
    // No border, and the line runs from x 1.
    c.ExpectPixels({{0, 100, kWhite}, {100, 48, kBlack}, {100, 271, kWhite}, {0, 48, kWhite}});
}

TEST_F(PaintHelperTest, CaptionStartsAtItsPointOrIsCentredInItsBox)
{
    Canvas c(300, 100);
    g_paintHelper.DrawCaption(nullptr, c.dc, 50, 30, 0, u"Journal", 18, 7, kBlack, TRUE, TRUE, 0);
    RECT ink = c.InkBox();
    EXPECT_GE(ink.left, 50);
    EXPECT_LE(ink.left, 52);
    EXPECT_GE(ink.top, 30);
    EXPECT_LE(ink.top, 36);
    EXPECT_EQ(GetTextColor(c.dc), kBlack);  // the colour given was set and then restored
    c.Fill(kWhite);
    SetTextColor(c.dc, kBlue);
    g_paintHelper.DrawCaption(nullptr, c.dc, 50, 30, 200, u"Journal", 18, 7, kRed, FALSE, TRUE, 0);
    ink = c.InkBox();
    EXPECT_NEAR((ink.left + ink.right) / 2, 150, 2);
    EXPECT_EQ(GetTextColor(c.dc), kBlue);
    // Long captions are cut, not overrun.
    std::u16string longText(400, u'i');
    g_paintHelper.DrawCaption(nullptr, c.dc, 0, 0, 0, longText.c_str(), 12, 4, kRed, FALSE, TRUE, 0);
}

TEST_F(PaintHelperTest, RoundFrameWithTitlePatch)
{
    Canvas c(200, 120, kRed);
    g_paintHelper.DrawRoundFrame(nullptr, c.dc, 20, 30, 150, 80, u"Options", kWhite, 10, 1);
    c.ExpectPixels({{90, 30, kBlack}, {90, 70, kWhite}, {20, 30, kRed}});  // (20, 30): a round corner
    // The title sits on a white patch across the top edge in blue.
    bool blue = false;
    for (int y = 22; y < 40; ++y)
        for (int x = 30; x < 80; ++x)
            if (GetBValue(c.At(x, y)) > 150 && GetRValue(c.At(x, y)) < 120 && GetGValue(c.At(x, y)) < 120) blue = true;
    EXPECT_TRUE(blue);
    EXPECT_EQ(c.At(31, 23), kWhite);
}

TEST_F(PaintHelperTest, FramedRectIsFilledWithoutOutline)
{
    Canvas c(50, 50);
    g_paintHelper.FillFramedRect(nullptr, c.dc, 10, 10, 5, 8, kRed, 1, kBlack);
    EXPECT_EQ(c.Ink(RECT{0, 0, 50, 50}, kWhite), 40);
    EXPECT_EQ(c.Ink(RECT{10, 10, 15, 18}, kRed), 0);
}

TEST_F(PaintHelperTest, SignalBarsUseTheSignedLevel)
{
    // Level byte and bars; 156 is -100, a dead link, not full strength.
    for (const auto& [level, bars] : {std::pair{0, 4}, {250, 4}, {244, 3}, {238, 2}, {232, 1}, {231, 1}, {156, 1},
                                      {127, 4}})
        EXPECT_EQ(CPaintHelper::SignalBarCount(level), bars) << level;
}

TEST_F(PaintHelperTest, BarGraphStandsOnTheBitmapsBottomLine)
{
    Canvas c(120, 60);
    HBITMAP link = LoadBitmapW(nullptr, MAKEINTRESOURCEW(161));
    SIZE s = GetBitmapSize(link);
    g_paintHelper.DrawBitmapScaled(nullptr, c.dc, link, 10, 10, 3, 6, 244, TRUE);  // 3 bars
    const COLORREF bar = 0xB8501B;
    int x0 = 10 + s.cx + 4, y0 = 10 + s.cy;
    // Three bars rising from the bottom line, one pixel between them, no fourth.
    c.ExpectPixels({{x0, y0 - 1, bar}, {x0, y0 - 6, bar}, {x0, y0 - 7, kWhite}, {x0 + 3, y0 - 1, kWhite},
                    {x0 + 4, y0 - 12, bar}, {x0 + 8, y0 - 18, bar}, {x0 + 12, y0 - 1, kWhite}, {x0, y0, kWhite}});
    DeleteObject(link);
}

TEST(StatusImages, BatteryIndexes)
{
    // Percentage and picture.
    for (const auto& [percent, index] : {std::pair{0, 0}, {10, 0}, {11, 1}, {20, 1}, {21, 2}, {90, 8}, {91, 9},
                                         {100, 9}, {150, 9}, {-3, 0}})
        EXPECT_EQ(CStatusImages::BatteryIconIndex(percent, TRUE), index) << percent;
    EXPECT_EQ(CStatusImages::BatteryIconIndex(255, FALSE), STATUS_BATTERY_UNKNOWN);
}

TEST(StatusImages, LoadOnceFreeTwice)
{
    CStatusImages images;
    images.Load(nullptr);
    ASSERT_EQ(images.m_loaded, 1);
    HBITMAP unknown = images.m_battery[STATUS_BATTERY_UNKNOWN];
    ASSERT_NE(unknown, nullptr);
    for (HBITMAP b : images.m_battery) EXPECT_NE(b, nullptr);
    EXPECT_NE(images.m_plug, nullptr);
    images.Load(nullptr);  // already loaded: the same handles
    EXPECT_EQ(images.m_battery[STATUS_BATTERY_UNKNOWN], unknown);
    images.Free();
    EXPECT_EQ(GetObjectType(unknown), 0u);
    EXPECT_EQ(images.m_loaded, 0);
    images.Free();
}
