// The chart's points, how it follows a growing series, zoom by factors of
// two, scrolling through the scroll bars and by dragging, and the x bands.
#include <algorithm>
#include <cmath>
#include <new>

#include "platform/WinCtrl.h"
#include "ui/OwnerChart.h"

LONG g_chartLastX = 0;
LONG g_chartLastY = 0;

namespace {

// Far more than any profile (5800 points) or band set a screen shows; a
// larger request is refused rather than attempted.
constexpr int kMaxSeriesPoints = 1 << 20;
constexpr int kMaxBands = 4096;

}  // namespace

// ---------------------------------------------------------------- points

void COwnerChart::UpdateLongest()
{
    m_longestCount = 0;
    for (int s = 0; s < CHART_SERIES; ++s) m_longestCount = std::max(m_longestCount, m_count[s]);
}

int COwnerChart::SetSeriesData(int series, int count, const double* x, const double* y)
{
    if (!ValidSeries(series) || count < 0 || count > kMaxSeriesPoints) return 0;
    if (count > 0 && (!x || !y)) return 0;
    double* newX = count > 0 ? new (std::nothrow) double[count] : nullptr;
    double* newY = count > 0 ? new (std::nothrow) double[count] : nullptr;
    if (count > 0 && (!newX || !newY)) {
        delete[] newX;
        delete[] newY;
        return 0;
    }
    FreeSeries(series);
    m_ownX[series] = newX;
    m_ownY[series] = newY;
    std::copy(x, x + count, newX);
    std::copy(y, y + count, newY);
    m_capacity[series] = count;
    m_count[series] = count;
    m_windowStart = 0;
    UpdateLongest();
    m_simpleMode = 0;
    return 1;
}

int COwnerChart::AttachSeries(int series, int count, const double* x, const double* y)
{
    if (!ValidSeries(series) || count < 0) return 0;
    if (count > 0 && (!x || !y)) return 0;
    // The caller's arrays are only drawn; appending still goes to the own
    // arrays, bounded by what those take (kept in m_capacity).
    m_extX[series] = x;
    m_extY[series] = y;
    m_count[series] = count;
    m_windowStart = 0;
    m_simpleMode = 1;
    DrawPlot();
    Refresh();
    return 1;
}

void COwnerChart::AllocPoints(int capacity)
{
    if (capacity < 0 || capacity > kMaxSeriesPoints) capacity = 0;
    for (int s = 0; s < CHART_SERIES; ++s) {
        FreeSeries(s);
        m_count[s] = 0;
        m_capacity[s] = 0;
        if (capacity > 0) {
            m_ownX[s] = new (std::nothrow) double[capacity];
            m_ownY[s] = new (std::nothrow) double[capacity];
            if (m_ownX[s] && m_ownY[s])
                m_capacity[s] = capacity;
            else
                FreeSeries(s);
        }
    }
    m_windowStart = 0;
    m_longestCount = 0;
    m_xGridPhase = 1.0;
    m_yGridPhase = 0.0;
    DrawPlot();
    Refresh();
}

int COwnerChart::AppendPoint(int series, double x, double y)
{
    if (!ValidSeries(series)) return 0;
    const int n = m_count[series];
    if (!m_ownX[series] || !m_ownY[series] || n < 0 || n >= m_capacity[series]) return 0;
    m_ownX[series][n] = x;
    m_ownY[series][n] = y;
    m_count[series] = n + 1;
    m_longestCount = std::max(m_longestCount, n + 1);
    return 1;
}

int COwnerChart::AppendPointFollow(int series, double x, double y, BOOL draw)
{
    if (!ValidSeries(series)) return 0;
    const int n = m_count[series];
    if (!m_ownX[series] || !m_ownY[series] || n < 0 || n >= m_capacity[series]) return 0;
    double* xs = m_ownX[series];
    double* ys = m_ownY[series];

    bool moved = false;
    if (std::trunc(x) <= std::trunc(m_xMax)) {
        if (m_visible[series] && draw && n > 0 && m_hMemDC && m_hWindowDC) {
            // Only the new segment is drawn, on the buffer and on the window
            // at once, so a live series costs one line per point.
            const int x0 = m_xZeroPixel + ToPixel(xs[n - 1] * m_xScale);
            const int y0 = m_yZeroPixel + ToPixel(-ys[n - 1] * m_yScale);
            const int x1 = m_xZeroPixel + ToPixel(x * m_xScale);
            const int y1 = m_yZeroPixel + ToPixel(-y * m_yScale);
            SelectClipRgn(m_hMemDC, m_hClipRgn);
            SelectClipRgn(m_hWindowDC, m_hClipRgn);
            HGDIOBJ oldMem = SelectObject(m_hMemDC, m_hPen[series]);
            HGDIOBJ oldWin = SelectObject(m_hWindowDC, m_hPen[series]);
            MoveToEx(m_hMemDC, x0, y0, nullptr);
            LineTo(m_hMemDC, x1, y1);
            MoveToEx(m_hWindowDC, x0 + m_paintOffsetX, y0, nullptr);
            LineTo(m_hWindowDC, x1 + m_paintOffsetX, y1);
            SelectClipRgn(m_hMemDC, nullptr);
            SelectClipRgn(m_hWindowDC, nullptr);
            if (oldMem) SelectObject(m_hMemDC, oldMem);
            if (oldWin) SelectObject(m_hWindowDC, oldWin);
        }
    } else if (m_visible[series]) {
        while (m_windowStart < n && xs[m_windowStart] < m_xMin) ++m_windowStart;
        const double shift = x - m_xMax;
        m_xMin += shift;
        m_xMax += shift;
        m_xGridPhase -= shift * m_xScale;
        // The vertical lines move left with the data and wrap by whole steps,
        // so they stay over the plot however far one point jumps.
        const double step = m_xGridStep * m_xScale;
        if (step > 0.0 && m_xGridPhase - 1.0005 + step <= 0.0)
            m_xGridPhase += std::floor((1.0005 - m_xGridPhase) / step) * step;
        moved = true;
    }

    xs[n] = x;
    ys[n] = y;
    m_count[series] = n + 1;
    m_longestCount = std::max(m_longestCount, n + 1);

    if (moved && draw) {
        DrawPlot();
        DrawBottomAxis();
        Refresh();
    }
    return 1;
}

void COwnerChart::ClearSeries(int series, BOOL redraw)
{
    if (!ValidSeries(series)) return;
    m_count[series] = 0;
    if (redraw) {
        DrawPlot();
        Refresh();
    }
}

void COwnerChart::ResetPointWindow()
{
    m_windowStart = 0;
    m_longestCount = 0;
}

// ---------------------------------------------------------------- zoom

void COwnerChart::ZoomAxis(bool horizontal, int step)
{
    unsigned& zoom = horizontal ? m_xZoom : m_yZoom;
    LONG& low = horizontal ? m_content.left : m_content.top;
    LONG& high = horizontal ? m_content.right : m_content.bottom;
    const LONG clientHigh = horizontal ? m_client.right : m_client.bottom;
    LONG& fixed = horizontal ? m_fixedWidth : m_fixedHeight;
    LONG& paint = horizontal ? m_paintOffsetX : m_paintOffsetY;
    LONG& offset = horizontal ? m_scrollOffsetX : m_scrollOffsetY;
    LONG& minimum = horizontal ? m_minScrollX : m_minScrollY;
    SCROLLINFO& info = horizontal ? m_hScroll : m_vScroll;

    auto followClient = [&] {
        zoom = 1;
        fixed = -1;
        high = clientHigh;
        paint = offset = 0;
        info.nPos = 0;
    };
    if (step == 0) {
        followClient();
    } else if (step > 0) {
        if (zoom < CHART_MAX_ZOOM) {
            zoom *= 2;
            long long doubled = static_cast<long long>(low) + 2LL * (static_cast<long long>(high) - low);
            high = static_cast<LONG>(std::min<long long>(doubled, CHART_MAX_CONTENT));
            fixed = high - low;
        }
    } else if (zoom > 1) {
        zoom /= 2;
        high = low + (high - low) / 2;
        if (high <= clientHigh)
            followClient();
        else
            fixed = high - low;
    }
    minimum = std::min<LONG>(0, clientHigh - high);
    if (offset < minimum) offset = minimum;
    paint = offset;
    info.nPos = -offset;
}

void COwnerChart::ZoomIn(int step, BOOL redraw)
{
    ZoomAxis(true, step);
    if (redraw) {
        RebuildBackBuffer();
        Redraw();
        Refresh();
    }
}

void COwnerChart::ZoomOut(int step, BOOL redraw)
{
    ZoomAxis(false, step);
    if (redraw) {
        RebuildBackBuffer();
        Redraw();
        Refresh();
    }
}

// ---------------------------------------------------------------- scrolling

void COwnerChart::ScrollBy(bool horizontal, int code, WPARAM wParam)
{
    LONG& offset = horizontal ? m_scrollOffsetX : m_scrollOffsetY;
    LONG& paint = horizontal ? m_paintOffsetX : m_paintOffsetY;
    const LONG minimum = horizontal ? m_minScrollX : m_minScrollY;
    const LONG page = horizontal ? m_client.right - m_client.left : m_client.bottom - m_client.top;
    SCROLLINFO& info = horizontal ? m_hScroll : m_vScroll;

    LONG d = 0;
    switch (code) {
    case SB_LINEUP:
        if (offset < 0) d = offset + 20 > 0 ? -offset : 20;
        break;
    case SB_LINEDOWN:
        if (offset > minimum) d = offset - 20 < minimum ? minimum - offset : -20;
        break;
    case SB_PAGEUP:
        if (offset < 0) d = offset + page > 0 ? -offset : page;
        break;
    case SB_PAGEDOWN:
        if (offset > minimum) d = offset - page < minimum ? minimum - offset : -page;
        break;
    case SB_THUMBTRACK:
        d = info.nPos - static_cast<LONG>(HIWORD(wParam));
        break;
    default:
        break;
    }
    if (d == 0) return;
    // A thumb position from outside the bar's range is cut to the ends.
    offset = std::clamp<LONG>(offset + d, minimum, 0);
    paint = offset;
    info.nPos = -offset;
    if (m_hWnd) SetScrollInfo(m_hWnd, horizontal ? SB_HORZ : SB_VERT, &info, TRUE);
    Refresh();
}

void COwnerChart::OnHScroll(WPARAM wParam)
{
    ScrollBy(true, LOWORD(wParam), wParam);
}

void COwnerChart::OnVScroll(WPARAM wParam)
{
    ScrollBy(false, LOWORD(wParam), wParam);
}

// ---------------------------------------------------------------- dragging

void COwnerChart::OnLButtonDown(LPARAM lParam)
{
    g_chartLastX = LOWORD(lParam);
    g_chartLastY = HIWORD(lParam);
    m_mouseDown = 1;
    // The drag ends with the stylus lifted wherever it is lifted.
    if (m_hWnd) SetCapture(m_hWnd);
}

void COwnerChart::OnLButtonUp()
{
    m_mouseDown = 0;
    if (m_hWnd && GetCapture() == m_hWnd) ReleaseCapture();
}

void COwnerChart::OnMouseMove(LPARAM lParam)
{
    if (!m_mouseDown) return;
    const LONG x = LOWORD(lParam);
    const LONG y = HIWORD(lParam);
    const LONG dx = x - g_chartLastX;
    const LONG dy = y - g_chartLastY;
    g_chartLastX = x;
    g_chartLastY = y;

    if (dy != 0 && m_scrollOffsetY + dy <= 0 && m_scrollOffsetY + dy > m_minScrollY) {
        m_scrollOffsetY += dy;
        m_paintOffsetY = m_scrollOffsetY;
        m_vScroll.nPos = -m_scrollOffsetY;
        if (m_hWnd) SetScrollInfo(m_hWnd, SB_VERT, &m_vScroll, TRUE);
    }
    if (dx != 0 && m_scrollOffsetX + dx <= 0 && m_scrollOffsetX + dx > m_minScrollX) {
        m_scrollOffsetX += dx;
        m_paintOffsetX = m_scrollOffsetX;
        m_hScroll.nPos = -m_scrollOffsetX;
        if (m_hWnd) SetScrollInfo(m_hWnd, SB_HORZ, &m_hScroll, TRUE);
    }
    Refresh();
}

// ---------------------------------------------------------------- bands

void COwnerChart::AllocBands(int capacity)
{
    delete[] m_bands;
    m_bands = nullptr;
    m_bandCount = 0;
    m_bandCapacity = 0;
    if (capacity <= 0 || capacity > kMaxBands) return;
    m_bands = new (std::nothrow) ChartBand[capacity];
    if (m_bands) m_bandCapacity = capacity;
}

int COwnerChart::SetBand(int index, double from, double to, COLORREF color)
{
    if (index < 0 || index >= m_bandCount || !m_bands) return 0;
    m_bands[index] = ChartBand{from, to, color};
    return 1;
}

int COwnerChart::AddBand(double from, double to, COLORREF color, BOOL redraw)
{
    if (!m_bands || m_bandCount >= m_bandCapacity) return 0;
    m_bands[m_bandCount++] = ChartBand{from, to, color};
    if (redraw) Repaint();
    return 1;
}

void COwnerChart::UpdateClipRegion()
{
    if (m_hClipRgn) DeleteObject(m_hClipRgn);
    m_hClipRgn = CreateRectRgn(m_plot.left + m_paintOffsetX, m_plot.top, m_plot.right + m_paintOffsetX, m_plot.bottom);
}
