// The chart window: its object, window procedure, back buffer, layout and
// configuration. Drawing is in OwnerChartDraw.cpp; points, zoom, scrolling,
// bands and the stylus in OwnerChartView.cpp.
#include "ui/OwnerChart.h"

#include <algorithm>
#include <cmath>

#include "platform/WinCtrl.h"
#include "platform/WinText.h"

namespace {

constexpr COLORREF kDefaultSeriesColors[CHART_SERIES] = {0x0000FF, 0x0080FF, 0x0B4176, 0x00FFFF, 0x00FF80,
                                                         0x00C800, 0xFFFF00, 0xFF0000, 0xFF0080, 0x8000FF};

const WCHAR kClassName[] = u"COwnerChart";

// "Единица": the unit text until the screen names the axis.
const WCHAR kDefaultUnit[] = u"\u0415\u0434\u0438\u043d\u0438\u0446\u0430";

void CopyUnit(WCHAR* dst, LPCWSTR src)
{
    int i = 0;
    if (src)
        for (; i < CHART_UNIT_CHARS - 1 && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
}

int TextLength(const WCHAR* text)
{
    int n = 0;
    while (n < CHART_UNIT_CHARS && text[n]) ++n;
    return n;
}

// A division count of zero (or a collapsed range) would divide by zero; such
// an axis gets no steps and draws its lines on top of each other instead.
double SafeRatio(double numerator, double denominator)
{
    if (denominator == 0.0 || !std::isfinite(denominator)) return 0.0;
    double r = numerator / denominator;
    return std::isfinite(r) ? r : 0.0;
}

}  // namespace

LRESULT CALLBACK OwnerChartWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    COwnerChart* chart = nullptr;
    if (msg == WM_CREATE) {
        const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        chart = cs ? static_cast<COwnerChart*>(cs->lpCreateParams) : nullptr;
        SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(chart));
    } else {
        chart = reinterpret_cast<COwnerChart*>(GetWindowLongW(hwnd, GWL_USERDATA));
    }
    // Before WM_CREATE (WM_NCCREATE and its kin) there is no object yet; the
    // default handling lets the creation go on.
    if (!chart) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return chart->OnMessage(hwnd, msg, wParam, lParam);
}

COwnerChart::COwnerChart()
{
    // Handles and arrays start empty so that SetDefaults frees nothing.
    m_hWnd = nullptr;
    m_hInstance = nullptr;
    m_hWindowDC = nullptr;
    m_hMemDC = nullptr;
    m_hPrevBitmap = nullptr;
    m_hBitmap = nullptr;
    m_hFont = nullptr;
    m_hPrevFont = nullptr;
    m_hClipRgn = nullptr;
    m_bands = nullptr;
    for (int s = 0; s < CHART_SERIES; ++s) {
        m_hPen[s] = nullptr;
        m_ownX[s] = nullptr;
        m_ownY[s] = nullptr;
    }
    SetDefaults();
}

COwnerChart::~COwnerChart()
{
    // The screen normally destroys the window first; if not, the window must
    // not outlive the object its messages are routed to.
    if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
    for (int s = 0; s < CHART_SERIES; ++s) {
        FreeSeries(s);
        if (m_hPen[s]) DeleteObject(m_hPen[s]);
        m_hPen[s] = nullptr;
    }
    delete[] m_bands;
    m_bands = nullptr;
    // Setters used without a window still make the plot's clip region.
    if (m_hClipRgn) DeleteObject(m_hClipRgn);
    m_hClipRgn = nullptr;
}

void COwnerChart::FreeSeries(int series)
{
    delete[] m_ownX[series];
    delete[] m_ownY[series];
    m_ownX[series] = nullptr;
    m_ownY[series] = nullptr;
}

void COwnerChart::SetDefaults()
{
    // A screen calls this again on a chart it reuses: storage it held goes,
    // the window and its graphic objects stay with the window.
    for (int s = 0; s < CHART_SERIES; ++s) FreeSeries(s);
    delete[] m_bands;
    m_bands = nullptr;

    m_client = RECT{0, 0, 0, 0};
    m_content = RECT{0, 0, 0, 0};
    m_plot = RECT{0, 0, 0, 0};
    m_topStrip = m_bottomStrip = m_leftStrip = m_rightStrip = RECT{0, 0, 0, 0};
    m_backColor = 0;
    for (int s = 0; s < CHART_SERIES; ++s) m_seriesColor[s] = kDefaultSeriesColors[s];
    m_vertGridColor = 0x808080;
    m_horzGridColor = 0x808080;
    m_xAxisColor = 0xC0C0C0;
    m_yAxisColor = 0xC0C0C0;
    m_bandCapacity = 0;
    m_bandCount = 0;
    for (int s = 0; s < CHART_SERIES; ++s) {
        m_capacity[s] = 0;
        m_count[s] = 0;
        m_visible[s] = 0;
        m_style[s] = CHART_STYLE_LINES;
        m_extX[s] = nullptr;
        m_extY[s] = nullptr;
    }
    m_windowStart = 0;
    m_longestCount = 0;
    m_xDivisions = 5;
    m_yDivisions = 5;
    m_plotW = 0;
    m_plotH = 0;
    m_fixedWidth = -1;
    m_fixedHeight = -1;
    m_paintOffsetX = m_paintOffsetY = 0;
    m_scrollOffsetX = m_scrollOffsetY = 0;
    m_minScrollX = m_minScrollY = 0;
    m_xZoom = 1;
    m_yZoom = 1;
    m_xMin = -1.0;
    m_xMax = 1.0;
    m_yMin = -1.0;
    m_yMax = 1.0;
    m_xScale = m_yScale = 0.0;
    m_xZeroPixel = m_yZeroPixel = 0;
    m_xGridStep = m_yGridStep = 0.0;
    m_xGridPhase = 1.0;
    m_yGridPhase = 0.0;
    m_lineWidth = 1;
    m_simpleMode = 0;
    m_zeroLines = 1;

    m_hScroll = SCROLLINFO{};
    m_hScroll.cbSize = sizeof(SCROLLINFO);
    m_hScroll.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    m_vScroll = m_hScroll;

    m_logFont = LOGFONTW{};
    m_logFont.lfHeight = 12;
    m_logFont.lfWidth = 5;
    m_logFont.lfWeight = FW_NORMAL;
    m_logFont.lfCharSet = GB2312_CHARSET;
    m_logFont.lfQuality = ANTIALIASED_QUALITY;
    CopyUnit(m_logFont.lfFaceName, u"Calibri");
    m_textMetric = TEXTMETRICW{};
    m_yLabelWidth = m_titleHeight = m_xLabelWidth = m_xLabelHeight = m_xUnitWidth = m_yUnitWidth = 0;
    CopyUnit(m_xUnit, kDefaultUnit);
    CopyUnit(m_yUnit, kDefaultUnit);
    m_yDownward = 0;
    m_yDownwardShifted = 0;
    m_mouseDown = 0;
    m_labelDecimals = 2;
}

// ---------------------------------------------------------------- window

int COwnerChart::Create(HWND parent, int id, int x, int y, int width, int height)
{
    m_hInstance = parent ? reinterpret_cast<HINSTANCE>(GetWindowLongW(parent, GWL_HINSTANCE)) : nullptr;
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = OwnerChartWndProc;
    wc.hInstance = m_hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);  // a second chart finds the class already there

    HWND hwnd = CreateWindowExW(WS_EX_WINDOWEDGE, kClassName, u"",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL, x, y, width, height,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_hInstance, this);
    return hwnd ? 1 : 0;
}

LRESULT COwnerChart::OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        OnCreate(hwnd);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_INITDIALOG:
        return 0;
    case WM_HSCROLL:
        OnHScroll(wParam);
        return 0;
    case WM_VSCROLL:
        OnVScroll(wParam);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void COwnerChart::OnCreate(HWND hwnd)
{
    m_hWnd = hwnd;
    m_hWindowDC = GetDC(hwnd);
    m_hFont = CreateFontIndirectW(&m_logFont);
    // A pen a setter made before the window existed is kept.
    for (int s = 0; s < CHART_SERIES; ++s)
        if (!m_hPen[s]) m_hPen[s] = CreatePen(PS_SOLID, 1, m_seriesColor[s]);
}

void COwnerChart::OnDestroy()
{
    if (m_hMemDC) {
        if (m_hPrevBitmap) SelectObject(m_hMemDC, m_hPrevBitmap);
        if (m_hPrevFont) SelectObject(m_hMemDC, m_hPrevFont);
        DeleteDC(m_hMemDC);
    }
    if (m_hBitmap) DeleteObject(m_hBitmap);
    if (m_hFont) DeleteObject(m_hFont);
    if (m_hWindowDC) ReleaseDC(m_hWnd, m_hWindowDC);
    for (int s = 0; s < CHART_SERIES; ++s) {
        if (m_hPen[s]) DeleteObject(m_hPen[s]);
        m_hPen[s] = nullptr;
    }
    if (m_hClipRgn) DeleteObject(m_hClipRgn);
    m_hClipRgn = nullptr;
    m_hMemDC = nullptr;
    m_hWindowDC = nullptr;
    m_hPrevBitmap = nullptr;
    m_hBitmap = nullptr;
    m_hFont = nullptr;
    m_hPrevFont = nullptr;
    // The window is on its way out already; later calls on the object only
    // store their values.
    if (m_hWnd) SetWindowLongW(m_hWnd, GWL_USERDATA, 0);
    m_hWnd = nullptr;
    m_mouseDown = 0;
}

void COwnerChart::SetScrollBars(BOOL redrawHorz, BOOL redrawVert)
{
    if (!m_hWnd) return;
    SetScrollInfo(m_hWnd, SB_HORZ, &m_hScroll, redrawHorz);
    SetScrollInfo(m_hWnd, SB_VERT, &m_vScroll, redrawVert);
}

void COwnerChart::ClampOffsets()
{
    if (m_scrollOffsetX < m_minScrollX) m_scrollOffsetX = m_minScrollX;
    if (m_scrollOffsetY < m_minScrollY) m_scrollOffsetY = m_minScrollY;
    if (m_scrollOffsetX > 0) m_scrollOffsetX = 0;
    if (m_scrollOffsetY > 0) m_scrollOffsetY = 0;
    m_paintOffsetX = m_scrollOffsetX;
    m_paintOffsetY = m_scrollOffsetY;
    m_hScroll.nPos = -m_scrollOffsetX;
    m_vScroll.nPos = -m_scrollOffsetY;
}

void COwnerChart::OnSize()
{
    if (!m_hWnd) return;
    GetClientRect(m_hWnd, &m_client);
    m_hScroll.nPage = static_cast<UINT>(std::max<LONG>(0, m_client.right - m_client.left));
    m_vScroll.nPage = static_cast<UINT>(std::max<LONG>(0, m_client.bottom - m_client.top));

    bool rebuild = false;
    if (m_fixedWidth == -1) {
        m_content.left = m_client.left;
        m_content.right = m_client.right;
        rebuild = true;
    } else if (m_client.right > m_content.right) {
        m_content.right = m_client.right;
        rebuild = true;
    }
    if (m_fixedHeight == -1) {
        m_content.top = m_client.top;
        m_content.bottom = m_client.bottom;
        rebuild = true;
    } else if (m_client.bottom > m_content.bottom) {
        m_content.bottom = m_client.bottom;
        rebuild = true;
    }

    if (rebuild) {
        RebuildBackBuffer();
        ClampOffsets();
        SetScrollBars(FALSE, TRUE);
        Redraw();
    } else {
        m_minScrollX = std::min<LONG>(0, m_client.right - m_content.right);
        m_minScrollY = std::min<LONG>(0, m_client.bottom - m_content.bottom);
        ClampOffsets();
        SetScrollBars(TRUE, TRUE);
    }
}

void COwnerChart::RebuildBackBuffer()
{
    if (!m_hWindowDC) return;
    if (!m_hMemDC) {
        m_hMemDC = CreateCompatibleDC(m_hWindowDC);
        if (!m_hMemDC) return;
        m_hPrevFont = static_cast<HFONT>(SelectObject(m_hMemDC, m_hFont));
        GetTextMetricsW(m_hMemDC, &m_textMetric);
        MeasureLabels();
    } else {
        if (m_hPrevBitmap) SelectObject(m_hMemDC, m_hPrevBitmap);
        if (m_hBitmap) DeleteObject(m_hBitmap);
        m_hBitmap = nullptr;
    }
    m_hBitmap = CreateCompatibleBitmap(m_hWindowDC, m_content.right - m_content.left,
                                       m_content.bottom - m_content.top);
    if (m_hBitmap) {
        HBITMAP previous = static_cast<HBITMAP>(SelectObject(m_hMemDC, m_hBitmap));
        if (previous) m_hPrevBitmap = previous;
    }
    LayoutAreas();
    SetPlotRect();

    m_minScrollX = std::min<LONG>(0, m_client.right - m_content.right);
    m_hScroll.nMin = 0;
    m_hScroll.nMax = m_content.right - 1;
    m_minScrollY = std::min<LONG>(0, m_client.bottom - m_content.bottom);
    m_vScroll.nMin = 0;
    m_vScroll.nMax = m_content.bottom - 1;
    SetScrollBars(TRUE, TRUE);
}

void COwnerChart::OnPaint()
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    // One copy of the buffer at the scroll offsets: nothing is drawn on the
    // window itself, so nothing flickers.
    if (hdc && m_hMemDC)
        BitBlt(hdc, m_paintOffsetX, m_paintOffsetY, m_content.right, m_content.bottom, m_hMemDC, 0, 0, SRCCOPY);
    EndPaint(m_hWnd, &ps);
}

void COwnerChart::Show(int command, BOOL redraw)
{
    if (m_hWnd) ShowWindow(m_hWnd, command);
    if (redraw) Redraw();
}

void COwnerChart::Redraw()
{
    if (!m_hMemDC) return;
    DrawPlot();
    DrawTopAxis();
    DrawBottomAxis();
    DrawLeftAxis();
    DrawUnitLabel();
}

void COwnerChart::Refresh()
{
    if (!m_hWnd) return;
    InvalidateRect(m_hWnd, nullptr, TRUE);
    UpdateWindow(m_hWnd);
}

void COwnerChart::Repaint()
{
    Redraw();
    Refresh();
}

// ---------------------------------------------------------------- layout and mapping

void COwnerChart::MeasureLabels()
{
    if (m_hMemDC) {
        WCHAR text[64];
        SIZE size{};
        double xSample = SafeRatio(m_xMax - m_xMin, m_xDivisions) * m_xZoom;
        int n = FormatAxisNumber(text, 64, xSample, m_labelDecimals);
        GetTextExtentPoint32W(m_hMemDC, text, n, &size);
        m_xLabelWidth = size.cx;
        m_xLabelHeight = size.cy;

        double ySample = SafeRatio(m_yMax - m_yMin, m_yDivisions) * m_yZoom;
        n = FormatAxisNumber(text, 64, ySample, m_labelDecimals);
        GetTextExtentPoint32W(m_hMemDC, text, n, &size);
        m_yLabelWidth = size.cx;

        GetTextExtentPoint32W(m_hMemDC, m_xUnit, TextLength(m_xUnit), &size);
        m_xUnitWidth = size.cx;
        GetTextExtentPoint32W(m_hMemDC, m_yUnit, TextLength(m_yUnit), &size);
        m_yUnitWidth = size.cx;
        m_titleHeight = size.cy;

        if (m_xLabelWidth < m_xUnitWidth) m_xLabelWidth = m_xUnitWidth;
        if (m_xLabelWidth < 10) m_xLabelWidth = 20;
        if (m_titleHeight < 10) m_titleHeight = 20;
    }
    LayoutAreas();
    SetPlotRect();
}

void COwnerChart::LayoutAreas()
{
    const LONG yw = m_yLabelWidth, th = m_titleHeight, xw = m_xLabelWidth, xh = m_xLabelHeight;
    const LONG cl = m_content.left, ct = m_content.top, cr = m_content.right, cb = m_content.bottom;
    if (!DownwardLayout()) {
        m_bottomStrip.top = cb - 1 - xh - 5;
        m_rightStrip = RECT{cr - 16, ct, cr - 1, m_bottomStrip.top - 1};
        m_topStrip = RECT{cl, ct, m_rightStrip.left - 1, ct + th + 5};
        m_leftStrip = RECT{cl, m_topStrip.bottom + 1, yw + 15, cb - 1};
        m_bottomStrip = RECT{m_leftStrip.right + 1, cb - 1 - xh - 5, cr - 1, cb - 1};
    } else {
        m_topStrip = RECT{yw + 25, ct, cr - 1, ct + th + 5};
        m_leftStrip = RECT{cl, ct, yw + 24, cb - xh};
        m_bottomStrip = RECT{cl, cb - xh + 1, cr - xw, cb - 1};
        m_rightStrip = RECT{cr - xw + 1, m_topStrip.bottom + 1, cr - 1, cb - 1};
    }
}

void COwnerChart::SetPlotRect()
{
    m_plot.left = m_leftStrip.right + 1;
    m_plot.top = m_topStrip.bottom + 1;
    m_plot.right = m_rightStrip.left;
    m_plot.bottom = m_bottomStrip.top;
    ComputeScales();
}

void COwnerChart::ComputeScales()
{
    if (m_hClipRgn) DeleteObject(m_hClipRgn);
    m_hClipRgn = CreateRectRgnIndirect(&m_plot);

    m_plotW = (m_plot.right - m_plot.left) - 2;
    m_plotH = (m_plot.bottom - m_plot.top) - 2;
    m_xGridStep = SafeRatio(m_xMax - m_xMin, static_cast<double>(m_xDivisions) * m_xZoom);
    m_yGridStep = SafeRatio(m_yMax - m_yMin, static_cast<double>(m_yDivisions) * m_yZoom);
    m_xGridPhase = 1.0;
    m_yGridPhase = 0.0;
    m_xScale = SafeRatio(m_plotW, m_xMax - m_xMin);
    m_xZeroPixel = m_plot.left + ToPixel((0.0 - m_xMin) * m_xScale) + 1;
    m_yScale = SafeRatio(m_plotH, m_yMax - m_yMin);
    m_yZeroPixel = ToPixel(m_plot.top + m_yMax * m_yScale + 1.0);
}

int COwnerChart::ToPixel(double v)
{
    // Far-off or undefined values are pinned well outside any surface, where
    // the rasteriser clips them; the conversion itself stays defined.
    constexpr double kFar = 100000000.0;
    if (std::isnan(v)) return 0;
    if (v > kFar) return static_cast<int>(kFar);
    if (v < -kFar) return -static_cast<int>(kFar);
    return static_cast<int>(v);  // truncation toward zero
}

int COwnerChart::MapX(double x) const
{
    return m_plot.left + 1 + ToPixel((x - m_xMin) * m_xScale);
}

int COwnerChart::MapY(double y) const
{
    if (m_yDownward) return m_plot.top + 1 + ToPixel(y * m_yScale);
    if (m_yDownwardShifted) return m_plot.top + 1 + ToPixel((y + m_yMax) * m_yScale);
    return m_plot.top + 1 + ToPixel((m_yMax - y) * m_yScale);
}

int COwnerChart::BarBase() const
{
    return m_plot.top + 1 + ToPixel(m_yMax * m_yScale);
}

// ---------------------------------------------------------------- configuration

void COwnerChart::SetXRange(double xMin, double xMax, BOOL redraw)
{
    if (xMin != -1.0) m_xMin = xMin;
    m_xMax = xMax;
    m_windowStart = 0;
    MeasureLabels();
    if (redraw) Repaint();
}

void COwnerChart::SetYRange(double yMin, double yMax, BOOL redraw)
{
    m_yMin = yMin;
    m_yMax = yMax;
    MeasureLabels();
    if (redraw) Repaint();
}

void COwnerChart::SetXDivisions(int count, BOOL redraw)
{
    m_xDivisions = count;
    MeasureLabels();
    if (redraw) Repaint();
}

void COwnerChart::SetYDivisions(int count, BOOL redraw)
{
    m_yDivisions = count;
    MeasureLabels();
    if (redraw) Repaint();
}

void COwnerChart::SetBackColor(COLORREF color, BOOL redraw)
{
    m_backColor = color;
    if (redraw) Repaint();
}

void COwnerChart::SetVertGridColor(COLORREF color, BOOL redraw)
{
    m_vertGridColor = color;
    if (redraw) Repaint();
}

void COwnerChart::SetHorzGridColor(COLORREF color, BOOL redraw)
{
    m_horzGridColor = color;
    if (redraw) Repaint();
}

void COwnerChart::SetXAxisColor(COLORREF color, BOOL redraw)
{
    m_xAxisColor = color;
    if (redraw) Repaint();
}

void COwnerChart::SetYAxisColor(COLORREF color, BOOL redraw)
{
    m_yAxisColor = color;
    if (redraw) Repaint();
}

void COwnerChart::SetSeriesPen(int series, COLORREF color, int width, BOOL redraw)
{
    if (!ValidSeries(series)) return;
    m_seriesColor[series] = color;
    HPEN pen = CreatePen(PS_SOLID, width, color);
    if (m_hPen[series]) DeleteObject(m_hPen[series]);
    m_hPen[series] = pen;
    if (redraw) Repaint();
}

void COwnerChart::SetLineWidth(int width, BOOL repaint)
{
    m_lineWidth = width;
    if (repaint) Repaint();
}

void COwnerChart::ShowSeries(int series, BOOL show, BOOL repaint)
{
    if (!ValidSeries(series)) return;
    m_visible[series] = show ? 1 : 0;
    if (repaint) Repaint();
}

void COwnerChart::SetSeriesMarkers(int series, BYTE style, BOOL repaint)
{
    if (!ValidSeries(series)) return;
    m_style[series] = style;
    if (repaint) Repaint();
}

void COwnerChart::SetAxisUnits(LPCWSTR xUnit, LPCWSTR yUnit, BOOL repaint)
{
    CopyUnit(m_xUnit, xUnit);
    CopyUnit(m_yUnit, yUnit);
    MeasureLabels();
    if (repaint) Repaint();
}

void COwnerChart::SetLabelDecimals(BYTE decimals)
{
    m_labelDecimals = decimals;
}

void COwnerChart::SetYDownward(BOOL flag)
{
    m_yDownward = flag ? 1 : 0;
}

void COwnerChart::SetYDownwardShifted(BOOL flag)
{
    m_yDownwardShifted = flag ? 1 : 0;
}
