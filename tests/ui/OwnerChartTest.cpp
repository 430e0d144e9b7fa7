// The chart window: axis numbers, layout and mapping in each y mode, series
// storage and the point window, bands, zoom, scrolling, dragging, following a
// growing series, and ranges that collapse.
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/WinCtrl.h"
#include "tests/support/Fields.h"
#include "tests/ui/ChartTestSupport.h"

using namespace qtest;

namespace {

std::u16string Axis(double v, BYTE decimals)
{
    WCHAR text[64];
    FormatAxisNumber(text, 64, v, decimals);
    return text;
}

}  // namespace

// ---------------------------------------------------------------- axis numbers

TEST(FormatAxisNumberTest, TrailingZerosGoAndSmallValuesKeepTheirDecimals)
{
    // Value, decimals, text; one decimal fewer from 10 up.
    const std::tuple<double, BYTE, const char16_t*> cases[] = {
        {12.5, 2, u"12.5"},  {3.0, 2, u"3"},     {0.5, 2, u"0.50"},    {0.0, 2, u"0"},
        {0.125, 3, u"0.125"}, {20.0, 3, u"20"},    {-12.5, 2, u"-12.5"}, {-0.25, 2, u"-0.25"},
        {1.25, 2, u"1.25"},  {12.34, 2, u"12.3"}, {-0.0, 2, u"0"},      {0.5, 0, u"0.500"}};
    for (const auto& [value, decimals, text] : cases) EXPECT_EQ(Axis(value, decimals), text) << value;
}

TEST(FormatAxisNumberTest, DecimalsNeverGoBelowZero)
{
    // Zero decimals on a value from 10 up would ask for -1 decimals.
    for (const auto& [value, text] : {std::pair{12.0, u"12"}, {120.0, u"120"}, {12.6, u"13"}, {3.0, u"3"}})
        EXPECT_EQ(Axis(value, 0), text) << value;
}

TEST(FormatAxisNumberTest, StaysWithinTheBuffer)
{
    WCHAR text[3] = {u'x', u'x', u'x'};
    EXPECT_EQ(FormatAxisNumber(text, 3, 12.5, 2), 2);
    EXPECT_EQ(std::u16string(text), u"12");
    WCHAR one[1] = {u'x'};
    EXPECT_EQ(FormatAxisNumber(one, 1, 5.0, 2), 0);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(FormatAxisNumber(nullptr, 10, 5.0, 2), 0);
    WCHAR big[64];
    EXPECT_GT(FormatAxisNumber(big, 64, 1e300, 255), 0);
    EXPECT_EQ(std::u16string(big).size(), 63u);
}

// ---------------------------------------------------------------- defaults and setters

TEST(OwnerChartModelTest, DefaultsBeforeTheWindowExists)
{
    COwnerChart chart;
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(chart.m_backColor, 0u), FIELD_IS(chart.m_seriesColor[0], 0x0000FFu),
                                 FIELD_IS(chart.m_seriesColor[9], 0x8000FFu),
                                 FIELD_IS(chart.m_vertGridColor, 0x808080u), FIELD_IS(chart.m_xAxisColor, 0xC0C0C0u),
                                 FIELD_IS(chart.m_xDivisions, 5), FIELD_IS(chart.m_fixedWidth, -1),
                                 FIELD_IS(chart.m_xMin, -1.0), FIELD_IS(chart.m_yMax, 1.0),
                                 FIELD_IS(chart.m_hScroll.cbSize, 28u), FIELD_IS(chart.m_hScroll.fMask, 15u),
                                 FIELD_IS(chart.m_logFont.lfHeight, 12), FIELD_IS(chart.m_logFont.lfCharSet, 134),
                                 FIELD_IS(chart.m_logFont.lfFaceName, u"Calibri"), FIELD_IS(chart.m_xUnit, u"Единица"),
                                 FIELD_IS(chart.m_labelDecimals, 2), FIELD_IS(chart.m_zeroLines, 1)));
    for (int s = 0; s < CHART_SERIES; ++s) EXPECT_EQ(chart.m_visible[s], 0);
}

TEST(OwnerChartModelTest, XRangeMinimumOfMinusOneKeepsTheMinimum)
{
    COwnerChart chart;
    chart.SetXRange(2.0, 8.0, FALSE);
    chart.m_windowStart = 7;
    chart.SetXRange(-1.0, 12.0, FALSE);
    EXPECT_EQ(chart.m_xMin, 2.0);
    EXPECT_EQ(chart.m_xMax, 12.0);
    EXPECT_EQ(chart.m_windowStart, 0);
    chart.SetXRange(-1.5, 3.0, FALSE);
    EXPECT_EQ(chart.m_xMin, -1.5);
}

TEST(OwnerChartModelTest, SeriesOutsideZeroToNineAreRefused)
{
    COwnerChart chart;
    const double x[2] = {1, 2}, y[2] = {3, 4};
    for (int s : {-1, 10, 1000}) {
        EXPECT_EQ(chart.SetSeriesData(s, 2, x, y), 0);
        EXPECT_EQ(chart.AttachSeries(s, 2, x, y), 0);
        EXPECT_EQ(chart.AppendPoint(s, 1, 1), 0);
        EXPECT_EQ(chart.AppendPointFollow(s, 1, 1, TRUE), 0);
        chart.ShowSeries(s, TRUE, FALSE);
        chart.SetSeriesMarkers(s, 1, FALSE);
        chart.SetSeriesPen(s, 0x123456, 2, FALSE);
        chart.ClearSeries(s, FALSE);
    }
    for (int s = 0; s < CHART_SERIES; ++s) {
        EXPECT_EQ(chart.m_visible[s], 0);
        EXPECT_EQ(chart.m_style[s], 0);
        EXPECT_EQ(chart.m_count[s], 0);
    }
    EXPECT_EQ(chart.m_seriesColor[9], 0x8000FFu);
    EXPECT_EQ(chart.SetSeriesData(9, 2, x, y), 1);
    EXPECT_EQ(chart.SetSeriesData(0, -3, x, y), 0);
    EXPECT_EQ(chart.SetSeriesData(0, 2, nullptr, y), 0);
}

TEST(OwnerChartModelTest, CapacityIsKeptPerSeries)
{
    COwnerChart chart;
    chart.AllocPoints(3);
    std::vector<double> x(100, 1.0), y(100, 2.0);
    // A longer series loaded into another slot must not let series 0 grow
    // past the three points its own arrays take.
    ASSERT_EQ(chart.SetSeriesData(1, 100, x.data(), y.data()), 1);
    EXPECT_EQ(chart.m_capacity[0], 3);
    EXPECT_EQ(chart.m_capacity[1], 100);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(chart.AppendPoint(0, i, i), 1);
    EXPECT_EQ(chart.AppendPoint(0, 9, 9), 0);
    EXPECT_EQ(chart.AppendPointFollow(0, 9, 9, FALSE), 0);
    EXPECT_EQ(chart.m_count[0], 3);
    EXPECT_EQ(chart.AppendPoint(1, 5, 5), 0);  // loaded series are full
    EXPECT_EQ(chart.m_longestCount, 100);
    // A series never allocated takes nothing.
    COwnerChart empty;
    EXPECT_EQ(empty.AppendPoint(4, 1, 1), 0);
    EXPECT_EQ(empty.AppendPointFollow(4, 1, 1, TRUE), 0);
    // Loading copies, and releases what the series held before.
    ASSERT_EQ(chart.SetSeriesData(0, 2, x.data(), y.data()), 1);
    x[0] = 42.0;
    EXPECT_EQ(chart.m_ownX[0][0], 1.0);
    EXPECT_EQ(chart.m_count[0], 2);
    EXPECT_EQ(chart.m_capacity[0], 2);
    EXPECT_EQ(chart.m_simpleMode, 0);
    chart.ClearSeries(1, FALSE);
    EXPECT_EQ(chart.m_count[1], 0);
    EXPECT_EQ(chart.AppendPoint(1, 3, 3), 1);
}

TEST(OwnerChartModelTest, UnitTextsAreCutTo19Characters)
{
    COwnerChart chart;
    chart.SetAxisUnits(u"abcdefghijklmnopqrstuvwxyz", nullptr, FALSE);
    EXPECT_EQ(std::u16string(chart.m_xUnit), u"abcdefghijklmnopqrs");
    EXPECT_EQ(chart.m_yUnit[0], 0);
}

TEST(OwnerChartModelTest, BandsStayWithinTheirCapacity)
{
    COwnerChart chart;
    EXPECT_EQ(chart.AddBand(0, 1, 0xFF, FALSE), 0);
    chart.AllocBands(2);
    EXPECT_EQ(chart.SetBand(0, 0, 1, 0xFF), 0);  // index equal to the count
    EXPECT_EQ(chart.AddBand(0.0, 0.5, 0x00FF00, FALSE), 1);
    EXPECT_EQ(chart.AddBand(0.5, 0.9, 0x0000FF, FALSE), 1);
    EXPECT_EQ(chart.AddBand(0.9, 1.0, 0xFF0000, FALSE), 0);
    EXPECT_EQ(chart.m_bandCount, 2);
    EXPECT_EQ(chart.SetBand(1, 0.2, 0.3, 0x123456), 1);
    EXPECT_EQ(chart.m_bands[1].color, 0x123456u);
    EXPECT_EQ(chart.SetBand(2, 0, 1, 0), 0);
    EXPECT_EQ(chart.SetBand(-1, 0, 1, 0), 0);
    chart.AllocBands(1);
    EXPECT_EQ(chart.m_bandCount, 0);
    EXPECT_EQ(chart.m_bandCapacity, 1);
}

TEST(OwnerChartModelTest, PixelConversionIsDefinedForAnyValue)
{
    EXPECT_EQ(COwnerChart::ToPixel(12.9), 12);
    EXPECT_EQ(COwnerChart::ToPixel(-12.9), -12);
    EXPECT_EQ(COwnerChart::ToPixel(std::nan("")), 0);
    EXPECT_GT(COwnerChart::ToPixel(1e300), 1000000);
    EXPECT_LT(COwnerChart::ToPixel(-HUGE_VAL), -1000000);
}

// ---------------------------------------------------------------- window, layout, mapping

class OwnerChartTest : public ChartTest {};

TEST_F(OwnerChartTest, StandardLayoutAndMapping)
{
    COwnerChart chart;
    HWND h = MakeChart(chart);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetWindowLongW(h, GWL_USERDATA), reinterpret_cast<LONG_PTR>(&chart));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)), 0x50B00000u);
    EXPECT_EQ(chart.m_client.right, 355);
    EXPECT_EQ(chart.m_client.bottom, 180);
    EXPECT_EQ(chart.m_content.right, 355);
    ASSERT_NE(chart.m_hMemDC, nullptr);
    EXPECT_GT(chart.m_textMetric.tmHeight, 0);
    EXPECT_GE(chart.m_titleHeight, 10);
    EXPECT_GE(chart.m_xLabelWidth, 10);

    const int yw = chart.m_yLabelWidth, th = chart.m_titleHeight, xh = chart.m_xLabelHeight;
    EXPECT_EQ(chart.m_plot.left, yw + 16);
    EXPECT_EQ(chart.m_plot.top, th + 6);
    EXPECT_EQ(chart.m_plot.right, 355 - 16);
    EXPECT_EQ(chart.m_plot.bottom, 180 - 1 - xh - 5);
    EXPECT_EQ(chart.m_rightStrip.bottom, chart.m_bottomStrip.top - 1);
    EXPECT_EQ(chart.m_topStrip.right, chart.m_rightStrip.left - 1);

    const int w = chart.m_plot.right - chart.m_plot.left - 2;
    const int hh = chart.m_plot.bottom - chart.m_plot.top - 2;
    EXPECT_EQ(chart.m_plotW, w);
    EXPECT_EQ(chart.MapX(-1.0), chart.m_plot.left + 1);
    EXPECT_EQ(chart.MapX(1.0), chart.m_plot.left + 1 + w);
    EXPECT_EQ(chart.MapY(1.0), chart.m_plot.top + 1);  // y grows upward
    EXPECT_EQ(chart.MapY(-1.0), chart.m_plot.top + 1 + hh);
    EXPECT_EQ(chart.m_xGridStep, 0.4);

    // Both zero lines cross the middle of the plot.
    chart.Redraw();
    const int midX = chart.m_xZeroPixel, midY = chart.m_yZeroPixel - 1;
    EXPECT_NEAR(midX, (chart.m_plot.left + chart.m_plot.right) / 2, 2);
    EXPECT_NEAR(midY, (chart.m_plot.top + chart.m_plot.bottom) / 2, 2);
    EXPECT_EQ(Buffer(chart, midX, chart.m_plot.top + 10), 0xC0C0C0u);
    EXPECT_EQ(Buffer(chart, chart.m_plot.left + 10, midY), 0xC0C0C0u);
    EXPECT_EQ(Buffer(chart, chart.m_plot.left + 10, chart.m_plot.top + 10), 0u);  // background

    // Painting copies the buffer to the window.
    chart.Refresh();
    EXPECT_EQ(OnScreen(h, midX, chart.m_plot.top + 10), 0xC0C0C0u);
    EXPECT_EQ(SendMessageW(h, WM_ERASEBKGND, 0, 0), 0);

    // A y range that does not straddle 0 draws no y = 0 line.
    chart.SetYRange(0.0, 2.0, TRUE);
    int lit = 0;
    for (int x = chart.m_plot.left + 2; x < chart.m_plot.right - 2; ++x)
        if (Buffer(chart, x, chart.m_yZeroPixel - 1) == 0xC0C0C0u) ++lit;
    EXPECT_LE(lit, 1);  // only where the x = 0 line crosses
}

TEST_F(OwnerChartTest, DownwardLayoutAndTheThreeYMappings)
{
    COwnerChart chart;
    chart.SetYDownward(TRUE);
    chart.SetYRange(0.0, 50.0, FALSE);
    chart.SetXRange(0.0, 140.0, FALSE);
    ASSERT_NE(MakeChart(chart), nullptr);
    const int yw = chart.m_yLabelWidth, th = chart.m_titleHeight, xw = chart.m_xLabelWidth,
              xh = chart.m_xLabelHeight;
    EXPECT_EQ(chart.m_plot.left, yw + 25);
    EXPECT_EQ(chart.m_plot.top, th + 6);
    EXPECT_EQ(chart.m_plot.right, 355 - xw + 1);
    EXPECT_EQ(chart.m_plot.bottom, 180 - xh + 1);
    EXPECT_EQ(chart.m_rightStrip.top, chart.m_topStrip.bottom + 1);

    const int hh = chart.m_plot.bottom - chart.m_plot.top - 2;
    EXPECT_EQ(chart.MapY(0.0), chart.m_plot.top + 1);  // grows downward from the top edge
    EXPECT_EQ(chart.MapY(50.0), chart.m_plot.top + 1 + hh);
    EXPECT_EQ(chart.BarBase(), chart.m_plot.top + 1 + hh);

    // Shifted alone: downward from -y max; the layout comes back to standard
    // at the next measurement.
    chart.SetYDownward(FALSE);
    chart.SetYDownwardShifted(TRUE);
    chart.SetYRange(-20.0, 30.0, FALSE);
    const int hs = chart.m_plot.bottom - chart.m_plot.top - 2;
    EXPECT_EQ(chart.m_plot.left, chart.m_yLabelWidth + 16);
    EXPECT_EQ(chart.MapY(-30.0), chart.m_plot.top + 1);
    EXPECT_EQ(chart.MapY(20.0), chart.m_plot.top + 1 + hs);
    // Both flags: the y-downward mapping wins, in the standard layout.
    chart.SetYDownward(TRUE);
    chart.SetYRange(0.0, 50.0, FALSE);
    EXPECT_EQ(chart.m_plot.left, chart.m_yLabelWidth + 16);
    EXPECT_EQ(chart.MapY(0.0), chart.m_plot.top + 1);
}

TEST_F(OwnerChartTest, PointWindowDrawsTheLastPointsOfEverySeries)
{
    COwnerChart chart;
    chart.SetXRange(0.0, 100.0, FALSE);
    ASSERT_NE(MakeChart(chart), nullptr);
    std::vector<double> x(100), y0(100, 0.5), y1(100, -0.5), y2(100, 0.3);
    for (int i = 0; i < 100; ++i) x[i] = i;
    chart.SetSeriesData(0, 100, x.data(), y0.data());
    chart.SetSeriesData(1, 80, x.data(), y1.data());
    chart.SetSeriesData(2, 50, x.data(), y2.data());
    for (int s = 0; s < 3; ++s) chart.ShowSeries(s, TRUE, FALSE);
    EXPECT_EQ(chart.m_longestCount, 100);
    chart.m_windowStart = 40;
    chart.Redraw();
    const COLORREF c0 = chart.m_seriesColor[0], c1 = chart.m_seriesColor[1], c2 = chart.m_seriesColor[2];
    EXPECT_NE(Buffer(chart, chart.MapX(30), chart.MapY(0.5)), c0);  // before point 40
    EXPECT_EQ(Buffer(chart, chart.MapX(70), chart.MapY(0.5)), c0);
    EXPECT_NE(Buffer(chart, chart.MapX(10), chart.MapY(-0.5)), c1);  // before point 20
    EXPECT_EQ(Buffer(chart, chart.MapX(30), chart.MapY(-0.5)), c1);
    EXPECT_EQ(Buffer(chart, chart.MapX(10), chart.MapY(0.3)), c2);  // whole
    // A window start beyond every series draws none of them.
    chart.m_windowStart = 200;
    chart.Redraw();
    EXPECT_NE(Buffer(chart, chart.MapX(70), chart.MapY(0.5)), c0);
    chart.ResetPointWindow();
    EXPECT_EQ(chart.m_longestCount, 0);
}

TEST_F(OwnerChartTest, CirclesBarsAndBands)
{
    COwnerChart chart;
    chart.SetBackColor(0xFFFFFF, FALSE);
    chart.SetYDownward(TRUE);
    chart.SetXRange(0.0, 10.0, FALSE);
    chart.SetYRange(0.0, 10.0, FALSE);
    ASSERT_NE(MakeChart(chart), nullptr);
    const double x[3] = {0.0, 5.0, 7.0}, y[3] = {5.0, 0.0, 7.0};
    chart.SetSeriesData(3, 3, x, y);
    chart.SetSeriesPen(3, 0x0000FF, 1, FALSE);
    chart.SetSeriesMarkers(3, CHART_STYLE_CIRCLES, FALSE);
    chart.ShowSeries(3, TRUE, TRUE);
    // Points on x = 0 or y = 0 get no circle in the y-downward mode.
    EXPECT_FALSE(BufferNear(chart, chart.MapX(0.0) - 3 + 1, chart.MapY(5.0), 0x0000FF));
    EXPECT_FALSE(BufferNear(chart, chart.MapX(5.0) - 3, chart.MapY(0.0) + 1, 0x0000FF));
    EXPECT_TRUE(BufferNear(chart, chart.MapX(7.0) - 3, chart.MapY(7.0), 0x0000FF));

    // Bars reach from each point down to the base line at y max.
    chart.SetYDownward(FALSE);
    chart.SetSeriesMarkers(3, CHART_STYLE_BARS, TRUE);
    EXPECT_EQ(chart.BarBase(), chart.MapY(0.0));
    EXPECT_EQ(Buffer(chart, chart.MapX(1.0), chart.MapY(2.5)), 0x0000FFu);  // point 0 to point 1
    EXPECT_NE(Buffer(chart, chart.MapX(1.0), chart.MapY(7.0)), 0x0000FFu);      // above point 0

    // A band under the grid, cut to the plot.
    chart.ShowSeries(3, FALSE, FALSE);
    chart.AllocBands(2);
    chart.AddBand(2.0, 3.0, 0x00FF00, FALSE);
    chart.AddBand(-50.0, 0.5, 0xFF00FF, TRUE);
    const int mid = (chart.m_plot.top + chart.m_plot.bottom) / 2 + 3;
    EXPECT_EQ(Buffer(chart, chart.MapX(2.5), mid), 0x00FF00u);
    EXPECT_EQ(Buffer(chart, chart.MapX(0.25), mid), 0xFF00FFu);
    EXPECT_NE(Buffer(chart, chart.m_plot.left - 2, mid), 0xFF00FFu);
}

TEST_F(OwnerChartTest, CollapsedRangesAndZeroDivisionsDrawWithoutDividingByZero)
{
    COwnerChart chart;
    ASSERT_NE(MakeChart(chart), nullptr);
    const double x[3] = {1.0, 2.0, 3.0}, y[3] = {1.0, 2.0, 3.0};
    chart.SetSeriesData(0, 3, x, y);
    chart.ShowSeries(0, TRUE, FALSE);
    chart.SetSeriesMarkers(0, CHART_STYLE_BARS, FALSE);
    chart.SetXRange(2.0, 2.0, FALSE);
    chart.SetYRange(3.0, 3.0, FALSE);
    chart.SetXDivisions(0, FALSE);
    chart.SetYDivisions(0, FALSE);
    chart.Repaint();
    EXPECT_EQ(chart.m_xScale, 0.0);
    EXPECT_EQ(chart.m_yScale, 0.0);
    EXPECT_EQ(chart.m_xGridStep, 0.0);
    EXPECT_EQ(chart.m_yGridStep, 0.0);
    EXPECT_EQ(chart.MapX(123.0), chart.m_plot.left + 1);
    // Negative and absurd division counts neither divide by zero nor stall.
    chart.SetXRange(0.0, 1.0, FALSE);
    chart.SetXDivisions(-4, FALSE);
    chart.SetYDivisions(2000000000, FALSE);
    chart.ZoomOut(1, TRUE);
    chart.Repaint();
    EXPECT_TRUE(std::isfinite(chart.m_yGridStep));
    // Values far outside the range still map to defined pixels.
    chart.SetXDivisions(5, FALSE);
    chart.SetYDivisions(5, FALSE);
    chart.SetYRange(0.0, 1.0, FALSE);
    const double fx[2] = {1e300, -1e300}, fy[2] = {std::nan(""), 1e308};
    chart.SetSeriesData(1, 2, fx, fy);
    chart.ShowSeries(1, TRUE, TRUE);
    chart.SetSeriesMarkers(1, CHART_STYLE_CIRCLES, TRUE);
    EXPECT_EQ(chart.m_count[1], 2);
    EXPECT_EQ(Buffer(chart, chart.m_plot.left + 5, chart.m_plot.top + 5), chart.m_backColor);
}

TEST_F(OwnerChartTest, DestroyingTheWindowReleasesItsObjectsAndTheObjectItsWindow)
{
    HWND h = nullptr;
    {
        COwnerChart chart;
        h = MakeChart(chart);
        ASSERT_NE(h, nullptr);
        HBITMAP buffer = chart.m_hBitmap;
        HPEN pen = chart.m_hPen[0];
        DestroyWindow(h);
        EXPECT_EQ(chart.m_hMemDC, nullptr);
        EXPECT_EQ(chart.m_hPen[0], nullptr);
        EXPECT_EQ(GetObjectType(buffer), 0u);
        EXPECT_EQ(GetObjectType(pen), 0u);
        // Calls after the window went only store their values.
        chart.SetXRange(0, 5, TRUE);
        chart.Repaint();
        chart.ZoomIn(1, TRUE);
    }
    {
        COwnerChart chart;
        h = MakeChart(chart);
        ASSERT_NE(h, nullptr);
    }
    EXPECT_FALSE(IsWindow(h));  // the object took its window along
    // A second chart registers the class again harmlessly.
    COwnerChart a, b;
    EXPECT_NE(MakeChart(a), nullptr);
    EXPECT_NE(MakeChart(b), nullptr);
}

// ---------------------------------------------------------------- zoom

TEST_F(OwnerChartTest, ZoomInDoublesTheContentUpTo16)
{
    COwnerChart chart;
    HWND h = MakeChart(chart, 0, 40, 480, 150);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(chart.m_content.right, 480);
    const LONG widths[4] = {960, 1920, 3840, 7680};
    for (int i = 0; i < 4; ++i) {
        chart.ZoomIn(1, TRUE);
        EXPECT_EQ(chart.m_xZoom, 2u << i);
        EXPECT_EQ(chart.m_content.right, widths[i]);
        EXPECT_EQ(chart.m_fixedWidth, widths[i]);
        EXPECT_EQ(chart.m_minScrollX, 480 - widths[i]);
    }
    chart.ZoomIn(1, TRUE);
    EXPECT_EQ(chart.m_xZoom, 16u);
    EXPECT_EQ(chart.m_content.right, 7680);
    BITMAP bm{};
    GetObjectW(chart.m_hBitmap, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 7680);
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(h, SB_HORZ, &si);
    EXPECT_EQ(si.nMax, 7679);
    EXPECT_EQ(si.nPage, 480u);
    // More grid lines with finer values.
    EXPECT_DOUBLE_EQ(chart.m_xGridStep, 2.0 / 80);

    // The y axis zooms alone.
    chart.ZoomOut(1, TRUE);
    EXPECT_EQ(chart.m_yZoom, 2u);
    EXPECT_EQ(chart.m_content.bottom, 300);
    EXPECT_EQ(chart.m_minScrollY, -150);

    // The reset goes back to following the window.
    chart.ZoomIn(0, FALSE);
    chart.ZoomOut(0, TRUE);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(chart.m_xZoom, 1u), FIELD_IS(chart.m_yZoom, 1u),
                                 FIELD_IS(chart.m_fixedWidth, -1), FIELD_IS(chart.m_content.right, 480),
                                 FIELD_IS(chart.m_content.bottom, 150), FIELD_IS(chart.m_minScrollX, 0)));
}

TEST_F(OwnerChartTest, ZoomStopsTheBufferAt12800ButStillDoublesTheLevel)
{
    COwnerChart chart;
    ASSERT_NE(MakeChart(chart, 0, 0, 1000, 60), nullptr);
    for (int i = 0; i < 4; ++i) chart.ZoomIn(1, FALSE);
    EXPECT_EQ(chart.m_xZoom, 16u);
    EXPECT_EQ(chart.m_content.right, 12800);
    EXPECT_EQ(chart.m_minScrollX, 1000 - 12800);
    chart.ZoomIn(-1, TRUE);
    EXPECT_EQ(chart.m_xZoom, 8u);
    EXPECT_EQ(chart.m_content.right, 6400);
}

TEST_F(OwnerChartTest, ZoomOutToTheWindowResetsZoomAndOffsets)
{
    COwnerChart chart;
    ASSERT_NE(MakeChart(chart, 0, 40, 480, 150), nullptr);
    chart.ZoomIn(1, TRUE);
    chart.ZoomIn(1, TRUE);
    SendMessageW(chart.m_hWnd, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 1400), 0);
    EXPECT_EQ(chart.m_scrollOffsetX, -1400);
    chart.ZoomIn(-1, TRUE);  // 1920 to 960: the offset comes back within reach
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(chart.m_xZoom, 2u), FIELD_IS(chart.m_content.right, 960),
                                 FIELD_IS(chart.m_scrollOffsetX, -480), FIELD_IS(chart.m_paintOffsetX, -480),
                                 FIELD_IS(chart.m_hScroll.nPos, 480)));
    chart.ZoomIn(-1, TRUE);
    EXPECT_EQ(chart.m_xZoom, 1u);
    EXPECT_EQ(chart.m_fixedWidth, -1);
    EXPECT_EQ(chart.m_scrollOffsetX, 0);
    EXPECT_EQ(chart.m_paintOffsetX, 0);
    chart.ZoomIn(-1, TRUE);  // nothing below 1
    EXPECT_EQ(chart.m_xZoom, 1u);
}

// ---------------------------------------------------------------- scrolling and dragging

TEST_F(OwnerChartTest, ScrollBarCodesMoveTheCopyWithinTheEnds)
{
    COwnerChart chart;
    HWND h = MakeChart(chart, 0, 40, 480, 150);
    ASSERT_NE(h, nullptr);
    chart.ZoomIn(1, TRUE);  // content 960, minimum -480
    auto scroll = [&](int code, int pos = 0) {
        SendMessageW(h, WM_HSCROLL, MAKEWPARAM(code, pos), 0);
        return chart.m_scrollOffsetX;
    };
    EXPECT_EQ(scroll(SB_LINEUP), 0);  // already at the start
    EXPECT_EQ(scroll(SB_LINEDOWN), -20);
    chart.m_scrollOffsetX = chart.m_paintOffsetX = -470;
    chart.m_hScroll.nPos = 470;
    EXPECT_EQ(scroll(SB_LINEDOWN), -480);
    EXPECT_EQ(scroll(SB_LINEDOWN), -480);
    EXPECT_EQ(scroll(SB_LINEUP), -460);
    EXPECT_EQ(scroll(SB_PAGEUP), 0);
    EXPECT_EQ(scroll(SB_PAGEDOWN), -480);
    EXPECT_EQ(scroll(SB_PAGEUP), 0);
    EXPECT_EQ(scroll(SB_THUMBPOSITION, 300), 0);
    EXPECT_EQ(scroll(SB_ENDSCROLL, 300), 0);
    EXPECT_EQ(scroll(SB_THUMBTRACK, 300), -300);
    EXPECT_EQ(chart.m_paintOffsetX, -300);
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(h, SB_HORZ, &si);
    EXPECT_EQ(si.nPos, 300);
    // A thumb from beyond the bar stops at the end.
    EXPECT_EQ(scroll(SB_THUMBTRACK, 5000), -480);

    // The window shows the buffer from the offset on.
    chart.SetBackColor(0xFFFFFF, TRUE);
    scroll(SB_THUMBTRACK, 300);
    const int y = (chart.m_plot.top + chart.m_plot.bottom) / 2 + 2;
    for (int x : {10, 100, 250})
        EXPECT_EQ(OnScreen(h, x, y), Buffer(chart, x + 300, y)) << x;

    // The y bar with the client height as page.
    chart.ZoomOut(1, TRUE);  // content 300, minimum -150
    SendMessageW(h, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    EXPECT_EQ(chart.m_scrollOffsetY, -150);
    SendMessageW(h, WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);
    EXPECT_EQ(chart.m_scrollOffsetY, -130);
}

TEST_F(OwnerChartTest, DraggingMovesTheCopyAndRefusesStepsBeyondTheEnds)
{
    COwnerChart chart;
    HWND h = MakeChart(chart, 0, 40, 480, 150);
    ASSERT_NE(h, nullptr);
    // Without zoom nothing moves.
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 50));
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 40));
    EXPECT_EQ(chart.m_scrollOffsetX, 0);
    EXPECT_EQ(chart.m_scrollOffsetY, 0);
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(150, 40));

    chart.ZoomIn(1, FALSE);
    chart.ZoomOut(1, TRUE);  // minimum -480 across, -150 down
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 120));
    EXPECT_EQ(chart.m_mouseDown, 1);
    EXPECT_EQ(g_chartLastX, 400);
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 100));
    EXPECT_EQ(chart.m_scrollOffsetX, -100);
    EXPECT_EQ(chart.m_scrollOffsetY, -20);
    EXPECT_EQ(chart.m_hScroll.nPos, 100);
    EXPECT_EQ(chart.m_vScroll.nPos, 20);
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(350, 100));  // back towards the start
    EXPECT_EQ(chart.m_scrollOffsetX, -50);
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(450, 100));  // would pass the start
    EXPECT_EQ(chart.m_scrollOffsetX, -50);
    // A step landing exactly on the minimum is refused; one short of it is not.
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 100));  // -50 - 430 = -480
    EXPECT_EQ(chart.m_scrollOffsetX, -50);
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(19, 100));  // one more pixel: -51
    EXPECT_EQ(chart.m_scrollOffsetX, -51);
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(19, 100));
    EXPECT_EQ(chart.m_mouseDown, 0);
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(200, 50));
    EXPECT_EQ(chart.m_scrollOffsetX, -51);

    // With the stylus: the drag follows it even where it leaves the chart.
    POINT o{0, 0};
    ClientToScreen(h, &o);
    qplat::StylusDown(o.x + 300, o.y + 100);
    qplat::ProcessPendingMessages();
    qplat::StylusMove(o.x + 200, o.y + 100);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.m_scrollOffsetX, -151);
    qplat::StylusUp(o.x + 200, o.y + 100);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.m_mouseDown, 0);
    EXPECT_NE(GetCapture(), h);
}

// ---------------------------------------------------------------- following a growing series

TEST_F(OwnerChartTest, FollowingMovesTheRangeAndTheGrid)
{
    COwnerChart chart;
    chart.SetXRange(0.0, 8.0, FALSE);
    chart.SetXDivisions(2, FALSE);  // a grid step (4.0) longer than the shift
    ASSERT_NE(MakeChart(chart), nullptr);
    chart.AllocPoints(10);
    chart.ShowSeries(0, TRUE, FALSE);
    const double scale = chart.m_xScale;
    ASSERT_GT(scale, 0.0);

    EXPECT_EQ(chart.AppendPointFollow(0, 1.0, 0.2, TRUE), 1);
    EXPECT_EQ(chart.AppendPointFollow(0, 5.0, 0.2, TRUE), 1);
    EXPECT_EQ(chart.m_xMin, 0.0);
    EXPECT_EQ(chart.m_xMax, 8.0);
    EXPECT_EQ(chart.m_count[0], 2);
    EXPECT_EQ(chart.m_longestCount, 2);

    EXPECT_EQ(chart.AppendPointFollow(0, 10.0, 0.2, TRUE), 1);
    EXPECT_DOUBLE_EQ(chart.m_xMin, 2.0);
    EXPECT_DOUBLE_EQ(chart.m_xMax, 10.0);
    EXPECT_DOUBLE_EQ(chart.m_xGridPhase, 1.0 - 2.0 * scale);
    EXPECT_EQ(chart.m_windowStart, 0);  // no point lay below the old minimum
    EXPECT_EQ(chart.m_count[0], 3);

    // The next shift leaves point 0 (x = 1) behind the window.
    EXPECT_EQ(chart.AppendPointFollow(0, 13.0, 0.2, TRUE), 1);
    EXPECT_EQ(chart.m_windowStart, 1);
    EXPECT_DOUBLE_EQ(chart.m_xMin, 5.0);
    // 1 - 5 x scale, wrapped back by one whole step (4 x scale).
    EXPECT_DOUBLE_EQ(chart.m_xGridPhase, 1.0 - 5.0 * scale + 4.0 * scale);

    // A hidden series does not move the range.
    chart.AppendPointFollow(1, 100.0, 0.0, TRUE);
    EXPECT_DOUBLE_EQ(chart.m_xMax, 13.0);
}

TEST_F(OwnerChartTest, FollowingWrapsTheGridByWholeStepsAndStopsWhenFull)
{
    COwnerChart chart;
    chart.SetXRange(0.0, 8.0, FALSE);  // 5 divisions: a step of 1.6
    ASSERT_NE(MakeChart(chart), nullptr);
    chart.AllocPoints(2);
    chart.ShowSeries(0, TRUE, FALSE);
    const double scale = chart.m_xScale, step = 1.6 * scale;
    EXPECT_EQ(chart.AppendPointFollow(0, 10.0, 0.0, FALSE), 1);
    EXPECT_NEAR(chart.m_xGridPhase, 1.0 - 2.0 * scale + step, 1e-9);
    // A jump of many steps keeps the grid within one step of the plot's edge.
    EXPECT_EQ(chart.AppendPointFollow(0, 100.0, 0.0, FALSE), 1);
    EXPECT_GT(chart.m_xGridPhase, 1.0005 - step);
    EXPECT_LE(chart.m_xGridPhase, 1.0005);
    // Full: nothing changes.
    EXPECT_EQ(chart.AppendPointFollow(0, 200.0, 0.0, TRUE), 0);
    EXPECT_DOUBLE_EQ(chart.m_xMax, 100.0);
    EXPECT_EQ(chart.m_count[0], 2);

    // When every stored point lies below the range, the window start stops
    // at the count instead of reading on into unused storage.
    chart.AllocPoints(3);
    chart.AppendPoint(0, 1.0, 0.0);
    chart.AppendPoint(0, 2.0, 0.0);
    chart.SetXRange(5.0, 8.0, FALSE);
    EXPECT_EQ(chart.AppendPointFollow(0, 20.0, 0.0, FALSE), 1);
    EXPECT_EQ(chart.m_windowStart, 2);
    EXPECT_DOUBLE_EQ(chart.m_xMin, 17.0);
}

TEST_F(OwnerChartTest, AppendedSegmentIsDrawnAtOnceOnBufferAndWindow)
{
    COwnerChart chart;
    chart.SetBackColor(0xFFFFFF, FALSE);
    chart.SetXRange(0.0, 10.0, FALSE);
    chart.SetYRange(-1.0, 1.0, FALSE);
    HWND h = MakeChart(chart);
    ASSERT_NE(h, nullptr);
    chart.AllocPoints(10);
    chart.SetSeriesPen(2, 0x0000FF, 1, FALSE);
    chart.ShowSeries(2, TRUE, TRUE);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(chart.AppendPointFollow(2, 1.0, 0.5, TRUE), 1);
    EXPECT_EQ(chart.AppendPointFollow(2, 9.0, 0.5, TRUE), 1);
    const int y = chart.m_yZeroPixel + COwnerChart::ToPixel(-0.5 * chart.m_yScale);
    const int x = chart.m_xZeroPixel + COwnerChart::ToPixel(5.0 * chart.m_xScale);
    EXPECT_EQ(Buffer(chart, x, y), 0x0000FFu);
    EXPECT_EQ(OnScreen(h, x, y), 0x0000FFu);
    // Without the draw flag the point is only stored.
    EXPECT_EQ(chart.AppendPointFollow(2, 9.5, -0.5, FALSE), 1);
    const int y2 = chart.m_yZeroPixel + COwnerChart::ToPixel(0.0 * chart.m_yScale);
    EXPECT_NE(Buffer(chart, chart.m_xZeroPixel + COwnerChart::ToPixel(9.25 * chart.m_xScale), y2), 0x0000FFu);
}

TEST_F(OwnerChartTest, AttachedSeriesDrawFromTheCallersArrays)
{
    COwnerChart chart;
    chart.SetBackColor(0xFFFFFF, FALSE);
    chart.SetXRange(0.0, 10.0, FALSE);
    ASSERT_NE(MakeChart(chart), nullptr);
    double x[2] = {1.0, 9.0}, y[2] = {0.5, 0.5};
    chart.SetSeriesPen(4, 0xFF0000, 1, FALSE);
    chart.ShowSeries(4, TRUE, FALSE);
    ASSERT_EQ(chart.AttachSeries(4, 2, x, y), 1);
    EXPECT_EQ(chart.m_simpleMode, 1);
    EXPECT_EQ(Buffer(chart, chart.MapX(5.0), chart.MapY(0.5)), 0xFF0000u);
    y[0] = y[1] = -0.5;  // not copied: the next drawing follows the caller
    chart.DrawPlot();
    EXPECT_EQ(Buffer(chart, chart.MapX(5.0), chart.MapY(-0.5)), 0xFF0000u);
    // Appending never writes into the caller's arrays.
    EXPECT_EQ(chart.AppendPoint(4, 3.0, 3.0), 0);
    EXPECT_EQ(x[1], 9.0);
    // Loading points goes back to the full drawing.
    chart.SetSeriesData(4, 2, x, y);
    EXPECT_EQ(chart.m_simpleMode, 0);
}

// ---------------------------------------------------------------- helpers

TEST_F(OwnerChartTest, SnapshotHoldsTheVisiblePartAndBordersAreShaded)
{
    COwnerChart chart;
    HWND h = MakeChart(chart, 0, 40, 480, 150);
    ASSERT_NE(h, nullptr);
    chart.ZoomIn(1, TRUE);
    chart.AllocBands(1);
    chart.AddBand(0.2, 0.6, 0x00FF00, TRUE);
    SendMessageW(h, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 300), 0);
    HBITMAP shot = chart.GetSnapshot();
    ASSERT_NE(shot, nullptr);
    BITMAP bm{};
    GetObjectW(shot, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 480);
    EXPECT_EQ(bm.bmHeight, 150);
    auto shotSurface = qplat::SurfaceOfBitmap(shot);
    const int y = (chart.m_plot.top + chart.m_plot.bottom) / 2 + 2;
    for (int x : {5, 200, 470})
        EXPECT_EQ(qplat::PixelToColor(shotSurface->At(x, y)), Buffer(chart, x + 300, y)) << x;
    HBITMAP copy = chart.CopyBitmap(shot);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(qplat::PixelToColor(qplat::SurfaceOfBitmap(copy)->At(200, y)),
              qplat::PixelToColor(shotSurface->At(200, y)));
    EXPECT_EQ(chart.CopyBitmap(nullptr), nullptr);
    DeleteObject(shot);
    DeleteObject(copy);

    // Light edge +63 per channel (at most 255), dark edge -63 (at least 0).
    const COLORREF face = RGB(10, 100, 220);
    const RECT r{10, 10, 40, 30};
    chart.Draw3DRect(chart.m_hMemDC, &r, face, TRUE);
    EXPECT_EQ(Buffer(chart, 20, 10), RGB(73, 163, 255));
    EXPECT_EQ(Buffer(chart, 10, 20), RGB(73, 163, 255));
    EXPECT_EQ(Buffer(chart, 39, 20), RGB(0, 37, 157));
    EXPECT_EQ(Buffer(chart, 20, 29), RGB(0, 37, 157));
    EXPECT_EQ(Buffer(chart, 20, 20), face);
    chart.Draw3DRect(chart.m_hMemDC, &r, face, FALSE);
    EXPECT_EQ(Buffer(chart, 20, 10), RGB(0, 37, 157));
    EXPECT_EQ(Buffer(chart, 20, 29), RGB(73, 163, 255));
}
