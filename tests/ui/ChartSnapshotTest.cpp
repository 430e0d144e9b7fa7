// A chart of the S1002 wheel profile as the measuring screen sets it up
// (head coordinates in millimetres, depth drawn downward, white background),
// checked on the composed screen with pixel probes. The snapshot is also
// written next to the build for a person to look at.
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ui/ChartTestSupport.h"
#include "tools/profilegen/ProfileGen.h"

using namespace qtest;

namespace {

constexpr COLORREF kMeasured = RGB(0, 0, 255);
constexpr COLORREF kKeyPoints = RGB(255, 0, 0);

bool IsDark(COLORREF c)
{
    return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 160;
}

}  // namespace

class ChartSnapshotTest : public ChartTest {};

TEST_F(ChartSnapshotTest, S1002ProfileInHeadCoordinates)
{
    const std::vector<profilegen::Point> profile = profilegen::S1002Profile(100.0);
    ASSERT_GT(profile.size(), 1000u);
    std::vector<double> xs, zs;
    for (const auto& p : profile) {
        xs.push_back(p.x / 1000.0);
        zs.push_back(p.z / 1000.0);
    }

    COwnerChart chart;
    chart.SetDefaults();
    chart.SetLineWidth(1, FALSE);
    chart.SetXRange(0.0, 140.0, FALSE);
    chart.SetYRange(0.0, 50.0, FALSE);
    chart.SetYDownward(TRUE);
    chart.SetYDownwardShifted(TRUE);
    chart.SetLabelDecimals(2);
    chart.SetAxisUnits(u"X", u"Y", FALSE);
    chart.SetBackColor(0xFFFFFF, FALSE);
    HWND h = MakeChart(chart);
    ASSERT_NE(h, nullptr);
    chart.SetXAxisColor(0, FALSE);
    chart.SetYAxisColor(0, FALSE);
    chart.SetSeriesPen(1, kMeasured, 1, FALSE);
    chart.SetSeriesPen(3, kKeyPoints, 1, FALSE);
    chart.SetSeriesMarkers(3, CHART_STYLE_CIRCLES, FALSE);
    ASSERT_EQ(chart.SetSeriesData(1, static_cast<int>(xs.size()), xs.data(), zs.data()), 1);
    // Two key points: the flange thickness point and one on the tread.
    const double keyX[2] = {32.5, 100.0};
    const double keyZ[2] = {28.0 - profilegen::S1002Height(-37.5), 28.0 - profilegen::S1002Height(30.0)};
    ASSERT_EQ(chart.SetSeriesData(3, 2, keyX, keyZ), 1);
    chart.ShowSeries(1, TRUE, FALSE);
    chart.ShowSeries(3, TRUE, FALSE);
    chart.Show(SW_SHOW, TRUE);
    chart.Refresh();

    const std::filesystem::path dir = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(qplat::SaveScreenPng((dir / "chart_s1002.png").string()));

    // One composition of the screen serves every probe.
    qplat::ProcessPendingMessages();
    const qplat::Surface screen = qplat::ComposeScreen();
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    auto at = [&](int x, int y) -> COLORREF {
        x += origin.x;
        y += origin.y;
        return screen.Contains(x, y) ? qplat::PixelToColor(screen.At(x, y)) : CLR_INVALID;
    };
    auto onProfile = [&](double xMm, double zMm) {
        const int px = chart.MapX(xMm), py = chart.MapY(zMm);
        for (int dy = -1; dy <= 1; ++dy)
            if (at(px, py + dy) == kMeasured) return true;
        return false;
    };
    // The profile runs where its formula puts it: tread, flange flank, the
    // flat beyond the tread (z = 28 - f(s) with x = s + 70).
    for (double s : {-62.0, -50.0, -45.0, -30.0, -20.0, 0.0, 20.0, 45.0}) {
        const double z = 28.0 - profilegen::S1002Height(s);
        EXPECT_TRUE(onProfile(s + 70.0, z)) << "s = " << s;
    }
    // Depth grows downward: above the tread is background, below it too.
    const int treadX = chart.MapX(120.0);
    const int treadY = chart.MapY(28.0 - profilegen::S1002Height(50.0));
    EXPECT_EQ(at(treadX, treadY - 15), 0xFFFFFFu);
    EXPECT_EQ(at(treadX, treadY + 15), 0xFFFFFFu);
    // The flange tip is at the top edge of the plot (depth 0).
    EXPECT_LE(chart.MapY(0.0) - chart.m_plot.top, 1);
    // The key points carry red circles.
    for (int k = 0; k < 2; ++k) {
        const int cx = chart.MapX(keyX[k]), cy = chart.MapY(keyZ[k]);
        bool ring = false;
        for (int dy = -1; dy <= 1 && !ring; ++dy)
            ring = at(cx - 3, cy + dy) == kKeyPoints || at(cx + 2, cy + dy) == kKeyPoints;
        EXPECT_TRUE(ring) << k;
    }
    // A grid line in grey, and labels: x values along the top strip, the
    // y values down the left one, the units.
    const int gridX =
        COwnerChart::ToPixel(chart.m_plot.left + chart.m_xGridPhase + 2 * chart.m_xGridStep * chart.m_xScale);
    EXPECT_EQ(at(gridX, chart.m_plot.top + 40), 0x808080u);
    auto inkIn = [&](const RECT& r) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (IsDark(at(x, y))) ++n;
        return n;
    };
    EXPECT_GT(inkIn(RECT{chart.m_plot.left + 20, chart.m_topStrip.top, chart.m_plot.right, chart.m_topStrip.top + 10}),
              10);
    EXPECT_GT(inkIn(RECT{chart.m_leftStrip.left, chart.m_plot.top + 20, chart.m_leftStrip.right - 9,
                         chart.m_plot.bottom}),
              10);
    // Nothing of the profile leaks out of the plot into the label strips.
    for (int y = chart.m_bottomStrip.top + 2; y < chart.m_bottomStrip.bottom; ++y)
        for (int x = chart.m_bottomStrip.left; x < chart.m_bottomStrip.right; x += 3)
            ASSERT_NE(at(x, y), kMeasured) << x << "," << y;
}
