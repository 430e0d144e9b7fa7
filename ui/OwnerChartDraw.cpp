// The chart's drawing into its back buffer: background, bands, grid, zero
// lines, series, ticks and labels; and the axis number format.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/WinText.h"
#include "ui/OwnerChart.h"

namespace {

// Grid lines and labels of an axis: divisions x zoom, bounded so that an
// absurd division count cannot stall the drawing.
int LineCount(int divisions, unsigned zoom)
{
    long long n = static_cast<long long>(divisions) * zoom;
    return static_cast<int>(std::clamp<long long>(n, -1, 4096));
}

// The value of the k-th x grid line, counted from the x minimum.
double GridValue(double minimum, double step, int k)
{
    if (step == 0.0) return minimum;
    return (minimum / step + k) * step;
}

void Line(HDC hdc, int x0, int y0, int x1, int y1)
{
    MoveToEx(hdc, x0, y0, nullptr);
    LineTo(hdc, x1, y1);
}

BYTE Shade(BYTE channel, int delta)
{
    return static_cast<BYTE>(std::clamp(channel + delta, 0, 255));
}

COLORREF Shade(COLORREF c, int delta)
{
    return RGB(Shade(GetRValue(c), delta), Shade(GetGValue(c), delta), Shade(GetBValue(c), delta));
}

}  // namespace

int FormatAxisNumber(LPWSTR buffer, int size, double value, BYTE decimals)
{
    if (!buffer || size <= 0) return 0;
    if (value == 0.0) value = 0.0;  // no "-0" label
    char narrow[512];
    if (std::fabs(std::trunc(value)) >= 1.0 || value == 0.0) {
        int count = decimals;
        if (value >= 10.0) count -= 1;
        if (count < 0) count = 0;
        qplat_snprintf(narrow, sizeof narrow, "%.*f", count, value);
        if (std::strchr(narrow, '.')) {
            size_t n = std::strlen(narrow);
            while (n > 0 && narrow[n - 1] == '0') narrow[--n] = 0;
            if (n > 0 && narrow[n - 1] == '.') narrow[--n] = 0;
        }
    } else {
        qplat_snprintf(narrow, sizeof narrow, decimals == 2 ? "%.2f" : "%.3f", value);
    }
    int i = 0;
    for (; i < size - 1 && narrow[i]; ++i) buffer[i] = static_cast<WCHAR>(static_cast<unsigned char>(narrow[i]));
    buffer[i] = 0;
    return i;
}

void COwnerChart::DrawPlot()
{
    HDC dc = m_hMemDC;
    if (!dc) return;

    HBRUSH back = CreateSolidBrush(m_backColor);
    FillRect(dc, &m_content, back);
    DeleteObject(back);

    for (int i = 0; i < m_bandCount && m_bands; ++i) {
        int left = ToPixel(m_xZeroPixel + m_xScale * m_bands[i].from);
        int right = ToPixel(m_xZeroPixel + m_xScale * m_bands[i].to);
        if (left < m_plot.left) left = m_plot.left + 1;
        if (right > m_plot.right) right = m_plot.right - 1;
        if (left < right) {
            RECT band{left, m_plot.top + 1, right, m_plot.bottom - 1};
            HBRUSH brush = CreateSolidBrush(m_bands[i].color);
            FillRect(dc, &band, brush);
            DeleteObject(brush);
        }
    }

    HPEN pen = CreatePen(PS_SOLID, 1, m_vertGridColor);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const int n = LineCount(m_xDivisions, m_xZoom);
    for (int k = 0; k <= n; ++k) {
        int x = ToPixel(m_plot.left + m_xGridPhase + k * m_xGridStep * m_xScale);
        Line(dc, x, m_plot.top, x, m_plot.bottom);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    pen = CreatePen(PS_SOLID, 1, m_horzGridColor);
    oldPen = SelectObject(dc, pen);
    const int m = LineCount(m_yDivisions, m_yZoom);
    for (int k = 0; k <= m; ++k) {
        int y = ToPixel(m_plot.top + m_yGridPhase + k * m_yGridStep * m_yScale);
        Line(dc, m_plot.left, y, m_plot.right, y);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    if (m_zeroLines) DrawZeroAxes();

    if (m_simpleMode) {
        for (int s = 0; s < CHART_SERIES; ++s)
            if (m_visible[s]) DrawSeries(s);
        return;
    }

    for (int s = 0; s < CHART_SERIES; ++s) {
        if (!m_visible[s] || m_count[s] <= 0 || !m_ownX[s] || !m_ownY[s]) continue;
        const double* xs = m_ownX[s];
        const double* ys = m_ownY[s];
        const int count = m_count[s];
        int first = std::max(0, count - (m_longestCount - m_windowStart));
        if (first >= count) continue;

        HGDIOBJ savedPen = SelectObject(dc, m_hPen[s]);
        HBRUSH brush = CreateSolidBrush(m_seriesColor[s]);
        HGDIOBJ savedBrush = SelectObject(dc, brush);
        HRGN region = CreateRectRgnIndirect(&m_plot);
        SelectClipRgn(dc, region);

        const BYTE style = m_style[s];
        auto circle = [&](int i) {
            if (m_yDownward && (ys[i] == 0.0 || xs[i] == 0.0)) return;
            int x = MapX(xs[i]), y = MapY(ys[i]);
            Ellipse(dc, x - 3, y - 3, x + 3, y + 3);
        };
        MoveToEx(dc, MapX(xs[first]), MapY(ys[first]), nullptr);
        if (style == CHART_STYLE_CIRCLES) circle(first);
        const int base = BarBase();
        for (int i = first; i < count; ++i) {
            if (style == CHART_STYLE_LINES) {
                LineTo(dc, MapX(xs[i]), MapY(ys[i]));
            } else if (style == CHART_STYLE_CIRCLES) {
                circle(i);
            } else if (style == CHART_STYLE_BARS) {
                int next = i + 1 < count ? i + 1 : i;
                Rectangle(dc, MapX(xs[i]), MapY(ys[i]), MapX(xs[next]), base);
            }
        }

        SelectClipRgn(dc, nullptr);
        if (savedPen) SelectObject(dc, savedPen);
        if (savedBrush) SelectObject(dc, savedBrush);
        DeleteObject(brush);
        DeleteObject(region);
    }
}

void COwnerChart::DrawZeroAxes()
{
    HDC dc = m_hMemDC;
    if (!dc) return;
    if ((m_yMin < 0.0 && 0.0 < m_yMax) || (m_yMax < 0.0 && 0.0 < m_yMin)) {
        HPEN pen = CreatePen(PS_SOLID, 1, m_xAxisColor);
        HGDIOBJ old = SelectObject(dc, pen);
        Line(dc, m_plot.left + 1, m_yZeroPixel - 1, m_plot.right - 1, m_yZeroPixel - 1);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
    if ((m_xMin < 0.0 && 0.0 < m_xMax) || (m_xMax < 0.0 && 0.0 < m_xMin)) {
        HPEN pen = CreatePen(PS_SOLID, 1, m_yAxisColor);
        HGDIOBJ old = SelectObject(dc, pen);
        Line(dc, m_xZeroPixel, m_plot.top + 1, m_xZeroPixel, m_plot.bottom - 1);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

void COwnerChart::DrawSeries(int series)
{
    HDC dc = m_hMemDC;
    if (!dc || !ValidSeries(series)) return;
    const double* xs = m_extX[series];
    const double* ys = m_extY[series];
    const int count = m_count[series];
    if (!xs || !ys || count <= 0) return;

    HPEN pen = CreatePen(PS_SOLID, m_lineWidth, m_seriesColor[series]);
    HGDIOBJ old = SelectObject(dc, pen);
    HRGN region = CreateRectRgnIndirect(&m_plot);
    SelectClipRgn(dc, region);
    MoveToEx(dc, MapX(xs[0]), MapY(ys[0]), nullptr);
    for (int i = 1; i < count; ++i) LineTo(dc, MapX(xs[i]), MapY(ys[i]));
    SelectClipRgn(dc, nullptr);
    DeleteObject(region);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void COwnerChart::DrawHorzTick(HDC hdc, int x0, int x1, int y)
{
    HGDIOBJ old = SelectObject(hdc, GetStockObject(BLACK_PEN));
    Line(hdc, x0, y, x1, y);
    SelectObject(hdc, GetStockObject(WHITE_PEN));
    Line(hdc, x0, y + 1, x1, y + 1);
    SelectObject(hdc, old);
}

void COwnerChart::DrawVertTick(HDC hdc, int x, int y0, int y1)
{
    HGDIOBJ old = SelectObject(hdc, GetStockObject(BLACK_PEN));
    Line(hdc, x, y0, x, y1);
    SelectObject(hdc, GetStockObject(WHITE_PEN));
    Line(hdc, x + 1, y0, x + 1, y1);
    SelectObject(hdc, old);
}

void COwnerChart::DrawBottomAxis()
{
    HDC dc = m_hMemDC;
    if (!dc) return;
    SetBkColor(dc, m_backColor);
    const int labelHeight = m_textMetric.tmHeight;
    const RECT& strip = m_bottomStrip;
    if (m_yDownwardShifted) {
        RECT r{strip.left, strip.top + 5, strip.left + m_yUnitWidth, strip.top + 5 + labelHeight};
        DrawTextW(dc, m_yUnit, -1, &r, DT_VCENTER | DT_SINGLELINE);
        return;
    }
    const int n = LineCount(m_xDivisions, m_xZoom);
    const double p = m_xGridStep * m_xScale;
    for (int k = 1; k <= n; ++k) {
        int x = ToPixel(m_plot.left + m_xGridPhase + k * p);
        DrawVertTick(dc, x, strip.top, strip.top + 8);
    }
    // A label is not drawn below the range; rounding in the step must not
    // lose the first one.
    const double slack = std::fabs(m_xGridStep) * 1e-9;
    for (int k = 0; k <= n; ++k) {
        double value = GridValue(m_xMin, m_xGridStep, k);
        if (value < m_xMin - slack) continue;
        int left = ToPixel(strip.left + m_xGridPhase + 2.0 + k * p);
        if (left <= strip.left) continue;
        RECT r{left, strip.top + 6, ToPixel(left + p - 5.0), strip.top + 6 + labelHeight};
        WCHAR text[64];
        FormatAxisNumber(text, 64, value, m_labelDecimals);
        DrawTextW(dc, text, -1, &r, DT_VCENTER | DT_SINGLELINE);
    }
}

void COwnerChart::DrawTopAxis()
{
    HDC dc = m_hMemDC;
    if (!dc) return;
    SetBkColor(dc, m_backColor);
    const int labelHeight = m_textMetric.tmHeight;
    const RECT& strip = m_topStrip;
    if (!m_yDownwardShifted) {
        RECT r{strip.left + 5, strip.top + 3, strip.left + 5 + m_yUnitWidth, strip.top + 3 + labelHeight};
        DrawTextW(dc, m_yUnit, -1, &r, DT_VCENTER | DT_SINGLELINE);
        return;
    }
    const int n = LineCount(m_xDivisions, m_xZoom);
    const double p = m_xGridStep * m_xScale;
    for (int k = 0; k <= n; ++k) {
        int x = ToPixel(m_plot.left + m_xGridPhase + k * p);
        DrawVertTick(dc, x, strip.top + 12, strip.bottom);
    }
    const double slack = std::fabs(m_xGridStep) * 1e-9;
    for (int k = 1; k <= n; ++k) {
        double value = GridValue(m_xMin, m_xGridStep, k);
        if (value < m_xMin - slack) continue;
        int left = ToPixel(strip.left + m_xGridPhase + k * p);
        if (left <= strip.left) continue;
        RECT r{left, strip.top, ToPixel(left + p + 20.0), strip.top + labelHeight};
        WCHAR text[64];
        FormatAxisNumber(text, 64, value, m_labelDecimals);
        DrawTextW(dc, text, -1, &r, DT_CENTER | DT_SINGLELINE);
    }
}

void COwnerChart::DrawLeftAxis()
{
    HDC dc = m_hMemDC;
    if (!dc) return;
    SetBkColor(dc, m_backColor);
    const int labelHeight = m_textMetric.tmHeight;
    const RECT& strip = m_leftStrip;
    const int m = LineCount(m_yDivisions, m_yZoom);
    const double q = m_yGridStep * m_yScale;
    const int tick = DownwardLayout() ? 6 : 8;
    for (int k = 0; k <= m; ++k) {
        int y = ToPixel(m_plot.top + k * q);
        DrawHorzTick(dc, strip.right - tick, strip.right, y);
    }
    if (m_yDownward) SetTextColor(dc, RGB(0, 0, 0));
    for (int k = 0; k <= m; ++k) {
        double value;
        int top;
        if (m_yDownward) {
            value = m_yMax - (m - k) * m_yGridStep;
            top = ToPixel(m_plot.top + 1 + k * q - (k == 0 ? 19.0 : 15.0));
        } else {
            value = m_yMax - k * m_yGridStep;
            top = ToPixel(m_plot.top + 1 + k * q - 13.0);
        }
        RECT r{strip.left + 4, top, strip.right - 2, top + labelHeight};
        WCHAR text[64];
        FormatAxisNumber(text, 64, value, m_labelDecimals);
        DrawTextW(dc, text, -1, &r, DT_RIGHT | DT_SINGLELINE);
    }
}

void COwnerChart::DrawUnitLabel()
{
    HDC dc = m_hMemDC;
    if (!dc) return;
    SetBkColor(dc, m_backColor);
    const int labelHeight = m_textMetric.tmHeight;
    const RECT& strip = m_rightStrip;
    RECT r;
    if (m_yDownwardShifted)
        r = RECT{strip.left + 4, strip.top + 15, strip.right - 2, strip.top + 15 + labelHeight};
    else
        r = RECT{strip.left + 1, strip.bottom - 3 - labelHeight, strip.right - 3, strip.bottom - 3};
    DrawTextW(dc, m_xUnit, -1, &r, DT_VCENTER | DT_SINGLELINE);
}

void COwnerChart::Draw3DRect(HDC hdc, const RECT* rect, COLORREF color, BOOL raised)
{
    if (!hdc || !rect) return;
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, rect, brush);
    DeleteObject(brush);
    HPEN light = CreatePen(PS_SOLID, 1, Shade(color, 63));
    HPEN dark = CreatePen(PS_SOLID, 1, Shade(color, -63));
    const RECT& r = *rect;
    HGDIOBJ old = SelectObject(hdc, raised ? light : dark);
    Line(hdc, r.left, r.bottom - 1, r.left, r.top);
    LineTo(hdc, r.right - 1, r.top);
    SelectObject(hdc, raised ? dark : light);
    Line(hdc, r.right - 1, r.top, r.right - 1, r.bottom - 1);
    LineTo(hdc, r.left - 1, r.bottom - 1);
    SelectObject(hdc, old);
    DeleteObject(light);
    DeleteObject(dark);
}

HBITMAP COwnerChart::GetSnapshot()
{
    if (!m_hMemDC || !m_hWindowDC) return nullptr;
    const int width = m_client.right - m_client.left;
    const int height = m_client.bottom - m_client.top;
    HBITMAP bitmap = CreateCompatibleBitmap(m_hWindowDC, width, height);
    HDC dc = CreateCompatibleDC(m_hWindowDC);
    if (!bitmap || !dc) {
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, m_hMemDC, -m_paintOffsetX, -m_paintOffsetY, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

HBITMAP COwnerChart::CopyBitmap(HBITMAP source)
{
    BITMAP bm{};
    if (!source || GetObjectW(source, sizeof bm, &bm) != static_cast<int>(sizeof bm)) return nullptr;
    HDC from = CreateCompatibleDC(m_hWindowDC);
    HDC to = CreateCompatibleDC(m_hWindowDC);
    HBITMAP copy = (from && to) ? CreateCompatibleBitmap(from, bm.bmWidth, bm.bmHeight) : nullptr;
    if (copy) {
        HGDIOBJ oldFrom = SelectObject(from, source);
        HGDIOBJ oldTo = SelectObject(to, copy);
        BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    return copy;
}
