// The measuring screen's profile chart: its set-ups for the wheel (profile and
// deviation mode) and the disc, the series made from the controller's points,
// and the two area values of the deviation mode.
#include "screens/MeasureDlg.h"

#include <cmath>
#include <vector>

#include "platform/WinText.h"
#include "screens/DiscChart.h"

namespace {

struct SeriesLook {
    COLORREF pen;
    BYTE markers;
};

// Series of the wheel chart.
constexpr SeriesLook kWheelSeries[8] = {
    {RGB(0, 150, 0), CHART_STYLE_LINES},   {RGB(0, 0, 255), CHART_STYLE_LINES},
    {RGB(255, 255, 0), CHART_STYLE_CIRCLES}, {RGB(255, 0, 0), CHART_STYLE_CIRCLES},
    {RGB(0, 150, 0), CHART_STYLE_BARS},    {RGB(0, 0, 255), CHART_STYLE_BARS},
    {RGB(255, 128, 0), CHART_STYLE_LINES}, {RGB(255, 0, 128), CHART_STYLE_CIRCLES},
};

// The chart's window.
constexpr int kChartX = CMeasureDlg::kViewX, kChartY = CMeasureDlg::kViewY;
constexpr int kChartW = CMeasureDlg::kViewWidth, kChartH = CMeasureDlg::kViewHeight;

// Where a wheel profile lies on the chart: head coordinates, or around the
// measuring circle.
constexpr double kHeadXMax = 140000, kHeadZMax = 50000;
constexpr double kRelXMin = -75000, kRelXMax = 75000, kRelZMin = -15000, kRelZMax = 35000;

constexpr int kTextArea = 40331;
constexpr COLORREF kAreaPositive = RGB(0, 150, 0);
constexpr COLORREF kAreaNegative = RGB(0, 0, 255);
constexpr float kSquareInch = 645.16f;  // square millimetres

// A disc without a reference profile is drawn against this base.
constexpr LONG kDefaultDiscBase = 8000;

}  // namespace

// Axis labels, background, the window and both zero lines: the same for the
// wheel and the disc chart.
static void CreateChartWindow(CMeasureDlg& s, bool inches)
{
    COwnerChart& chart = s.m_chart;
    chart.SetLabelDecimals(inches ? 3 : 2);
    chart.SetAxisUnits(u"X", u"Y", FALSE);
    chart.SetBackColor(0xFFFFFF, FALSE);
    chart.Create(s.m_hWnd, CMeasureDlg::kChartId, kChartX, kChartY, kChartW, kChartH);
    chart.SetXAxisColor(0x000000, FALSE);
    chart.SetYAxisColor(0x000000, FALSE);
}

void CMeasureDlg::SetupWheelChart()
{
    const double d = m_unitDivisor;
    m_chart.SetDefaults();
    m_chart.SetLineWidth(1, FALSE);
    m_chart.SetXRange(0, kHeadXMax / d, FALSE);
    m_chart.SetYRange(0, kHeadZMax / d, FALSE);
    m_chart.SetYDownward(TRUE);
    m_chart.SetYDownwardShifted(TRUE);
    CreateChartWindow(*this, UnitsOf(m_params.unitSystem).inches);
    for (int i = 0; i < 8; ++i) {
        m_chart.SetSeriesPen(i, kWheelSeries[i].pen, 1, FALSE);
        m_chart.SetSeriesMarkers(i, kWheelSeries[i].markers, FALSE);
    }
    m_chart.SetLineWidth(1, TRUE);
    const CMeasureController& c = *m_controller;
    FillWheelSeries(0, c.m_refCount, c.m_refPoints, 1);
    FillWheelSeries(2, kKeyPointCount, c.m_refKeys.points, 1);
    m_chart.Show(m_viewIndex == 1 ? SW_SHOW : SW_HIDE, TRUE);
}

// The horizontal range of both wheel modes, and the vertical one of the
// profile mode.
static void SetWheelRanges(CMeasureDlg& s, bool vertical)
{
    const double d = s.m_unitDivisor;
    if (s.m_params.option6 == 1) {
        s.m_chart.SetXRange(0, kHeadXMax / d, FALSE);
        if (vertical) s.m_chart.SetYRange(0, kHeadZMax / d, FALSE);
    } else {
        s.m_chart.SetXRange(kRelXMin / d, kRelXMax / d, FALSE);
        if (vertical) s.m_chart.SetYRange(kRelZMin / d, kRelZMax / d, FALSE);
    }
}

void CMeasureDlg::SetupChartSeries()
{
    SetWheelRanges(*this, true);
    const bool head = m_params.option6 == 1;
    m_chart.SetYDownwardShifted(TRUE);
    m_chart.SetYDownward(head ? TRUE : FALSE);
    const bool overlay = Overlay();
    m_chart.ShowSeries(1, TRUE, FALSE);
    m_chart.ShowSeries(3, TRUE, FALSE);
    m_chart.ShowSeries(0, overlay, FALSE);
    m_chart.ShowSeries(2, overlay, FALSE);
    m_chart.ShowSeries(4, FALSE, FALSE);
    m_chart.ShowSeries(5, FALSE, FALSE);
    m_chart.Show(m_viewIndex == 1 ? SW_SHOW : SW_HIDE, TRUE);
}

void CMeasureDlg::SetupChartAlt()
{
    // A comparison that found no rows reports a largest deviation below 0:
    // the range stays around the zero line instead of turning over.
    double m = m_controller->m_deviationCount > 0 ? m_controller->m_maxAbsDeviation : 0.0;
    if (!std::isfinite(m) || m < 0) m = 0;
    const double d = m_unitDivisor;
    m_chart.SetYRange((-m - 100) / d, (m + 100) / d, FALSE);
    SetWheelRanges(*this, false);
    m_chart.SetYDownwardShifted(TRUE);
    m_chart.SetYDownward(FALSE);
    for (int i = 0; i <= 3; ++i) m_chart.ShowSeries(i, FALSE, FALSE);
    m_chart.ShowSeries(4, TRUE, FALSE);
    m_chart.ShowSeries(5, TRUE, FALSE);
    m_chart.Show(m_viewIndex == 1 ? SW_SHOW : SW_HIDE, TRUE);
}

void CMeasureDlg::SetDiscBases()
{
    LONG last = 0;
    m_controller->m_discCalc.FindMinima(m_controller->m_refCount, m_controller->m_refPoints, nullptr, nullptr,
                                        nullptr, &last);
    m_refBase = last;
    m_measuredBase = last;
}

void CMeasureDlg::SetupDiscChart()
{
    const double d = m_unitDivisor;
    m_chart.SetDefaults();
    SetDiscChartRanges(m_chart, m_refBase, m_measuredBase, d);
    m_chart.SetYDownward(FALSE);
    m_chart.SetYDownwardShifted(FALSE);
    CreateChartWindow(*this, UnitsOf(m_params.unitSystem).inches);
    for (int i : {0, 1}) {
        m_chart.SetSeriesPen(i, RGB(0, 150, 0), 2, FALSE);
        m_chart.SetSeriesMarkers(i, CHART_STYLE_LINES, FALSE);
    }
    for (int i : {2, 3}) {
        m_chart.SetSeriesPen(i, RGB(0, 0, 255), 2, FALSE);
        m_chart.SetSeriesMarkers(i, CHART_STYLE_LINES, FALSE);
    }
    for (int i : {4, 5}) {
        m_chart.SetSeriesPen(i, RGB(255, 0, 0), 0, TRUE);
        m_chart.SetSeriesMarkers(i, CHART_STYLE_CIRCLES, FALSE);
    }
    const CMeasureController& c = *m_controller;
    FillDiscSeries(0, c.m_refCount, c.m_refPoints, 1, 1);
    FillDiscSeries(1, c.m_refCount, c.m_refPoints, 2, 1);
    m_chart.Show(m_viewIndex == 1 ? SW_SHOW : SW_HIDE, TRUE);
}

void CMeasureDlg::SetSeriesVisibility()
{
    const bool overlay = Overlay();
    m_chart.ShowSeries(2, TRUE, FALSE);
    m_chart.ShowSeries(3, TRUE, FALSE);
    m_chart.ShowSeries(0, overlay, FALSE);
    m_chart.ShowSeries(1, overlay, FALSE);
    m_chart.ShowSeries(4, TRUE, FALSE);
    m_chart.ShowSeries(5, TRUE, FALSE);
    m_chart.Show(m_viewIndex == 1 ? SW_SHOW : SW_HIDE, TRUE);
}

// ---------------------------------------------------------------- series

void CMeasureDlg::FillWheelSeries(int series, DWORD count, const ProfilePoint* points, BYTE reference)
{
    const DWORD n = points == nullptr ? 0 : (count > kMaxProfilePoints ? kMaxProfilePoints : count);
    std::vector<double> xs(n), ys(n);
    const double d = m_unitDivisor;
    const bool head = m_params.option6 == 1;
    const LONG circleX = m_controller->m_headSettings.dimensions[DIM_L2];
    const LONG base = reference ? m_controller->m_refResult.values[0] : m_controller->m_result.values[0];
    for (DWORD i = 0; i < n; ++i) {
        const ProfilePoint& p = points[i];
        if (head) {
            xs[i] = p.x / d;
            ys[i] = p.z / d;
        } else if (p.x != 0 || p.z != 0) {
            xs[i] = (static_cast<double>(p.x) - circleX) / d;
            ys[i] = (static_cast<double>(p.z) - base) / d;
        }
    }
    m_chart.SetSeriesData(series, static_cast<int>(n), xs.data(), ys.data());
    m_chart.ShowSeries(series, m_chartMode == 1, FALSE);
}

void CMeasureDlg::FillMarkSeries(DWORD count, const DeviationRow* rows)
{
    const DWORD n = rows == nullptr ? 0 : (count > kMaxDeviationRows ? kMaxDeviationRows : count);
    // One bar per row that holds one; rows without a sample leave no gap.
    std::vector<double> xs, above, below;
    xs.reserve(n);
    above.reserve(n);
    below.reserve(n);
    const double d = m_unitDivisor;
    for (DWORD i = 0; i < n; ++i) {
        const DeviationRow& r = rows[i];
        if (r.x == 0 && r.dz == 0) continue;
        xs.push_back(r.x / d);
        if (r.dz < 0) {
            below.push_back(-static_cast<double>(r.dz) / d);
            above.push_back(0);
        } else {
            above.push_back(-static_cast<double>(r.dz) / d);
            below.push_back(0);
        }
    }
    const int bars = static_cast<int>(xs.size());
    m_chart.SetSeriesData(4, bars, xs.data(), above.data());
    m_chart.SetSeriesData(5, bars, xs.data(), below.data());
    m_chart.ShowSeries(4, m_chartMode == 0, FALSE);
    m_chart.ShowSeries(5, m_chartMode == 0, FALSE);
}

void CMeasureDlg::FillDiscSeries(int series, DWORD count, const ProfilePoint* points, int side, BYTE reference)
{
    const DWORD n = points == nullptr ? 0 : (count > kMaxProfilePoints ? kMaxProfilePoints : count);
    std::vector<double> xs(n), ys(n);
    const double d = m_unitDivisor;
    const LONG base = reference ? (m_refBase != 0 ? m_refBase : kDefaultDiscBase) : m_measuredBase;
    for (DWORD i = 0; i < n; ++i) {
        xs[i] = points[i].x / d;
        const double depth = (static_cast<double>(base) - points[i].z) / d;
        // The two faces lie on either side of the horizontal axis.
        ys[i] = side == 1 ? depth : -depth;
    }
    m_chart.SetSeriesData(series, static_cast<int>(n), xs.data(), ys.data());
    m_chart.ShowSeries(series, TRUE, FALSE);
}

void CMeasureDlg::FillDiscSides()
{
    const CMeasureController& c = *m_controller;
    // A reference's base, set when the screen opened, stays for every run.
    // Without one it is 0 and its range shows nothing of a measured disc:
    // the measured sides then give their own base and range.
    if (c.m_refCount == 0) {
        const DiscSide side1{c.m_count, c.m_points}, side2{c.m_count2, c.m_points2};
        m_measuredBase = MeasuredDiscBase(side1, side2);
        SetMeasuredDiscChartRanges(m_chart, m_measuredBase, side1, side2, m_unitDivisor);
    }
    FillDiscSeries(2, c.m_count, c.m_points, 1, 0);
    if (c.m_count > 0) FillDiscSeries(4, 2, c.m_keys.points, 1, 0);
    FillDiscSeries(3, c.m_count2, c.m_points2, 2, 0);
    if (c.m_count2 > 0) FillDiscSeries(5, 2, c.m_keys2.points, 2, 0);
}

// ---------------------------------------------------------------- areas

void CMeasureDlg::FormatValue(HDC dc)
{
    const bool inches = UnitsOf(m_params.unitSystem).inches;
    const WCHAR* unit = m_language.GetText(inches ? TEXT_UNIT_INCH : TEXT_UNIT_MM);
    WCHAR unitText[32] = {};
    qplat::CopyField(unitText, 32, unit);
    WCHAR caption[160] = {};
    swprintf(caption, 160, u"%s%s%s%s", m_language.GetText(kTextArea), u"(", unitText, u"^2)");
    m_paint.DrawCaption(m_hWnd, dc, 290, 53, 0, caption, 13, 0, 0x000000, FALSE, TRUE, 0);
    const float factor = inches ? kSquareInch : 1.0f;
    const WCHAR* format = inches ? u"%.4f" : u"%.2f";
    WCHAR value[32] = {};
    swprintf(value, 32, format, static_cast<double>(static_cast<float>(m_controller->m_positiveArea) / factor));
    m_paint.DrawCaption(m_hWnd, dc, 290, 71, 0, value, 13, 0, kAreaPositive, FALSE, TRUE, 0);
    swprintf(value, 32, format, static_cast<double>(static_cast<float>(m_controller->m_negativeArea) / factor));
    m_paint.DrawCaption(m_hWnd, dc, 330, 71, 0, value, 13, 0, kAreaNegative, FALSE, TRUE, 0);
}
