// The XY chart window on which measured and reference profiles are shown.
//
// COwnerChart is a child window of the class "COwnerChart" with a border and
// both scroll bars. It keeps up to ten series of double-precision points,
// coloured x bands, a grid, the two zero lines and axis labels, all drawn into
// a back buffer of its own. The buffer may be larger than the window when the
// chart is zoomed; painting copies it to the window at the scroll offsets, so
// scrolling and dragging never redraw it.
//
// The embedding screen owns the object (a plain member, no virtuals), sets it
// up before and after Create, and hands it the profile points.
#pragma once

#include "platform/WinGdi.h"
#include "platform/WinUser.h"

constexpr int CHART_SERIES = 10;
constexpr int CHART_UNIT_CHARS = 20;      // unit texts, terminator included
constexpr unsigned CHART_MAX_ZOOM = 16;   // per axis: 1, 2, 4, 8, 16
constexpr LONG CHART_MAX_CONTENT = 12800; // widest (highest) back buffer a zoom makes

// Drawing styles of a series.
constexpr BYTE CHART_STYLE_LINES = 0;
constexpr BYTE CHART_STYLE_CIRCLES = 1;
constexpr BYTE CHART_STYLE_BARS = 2;

// A coloured vertical band over an x range, drawn under the grid.
struct ChartBand {
    double from;
    double to;
    COLORREF color;
};

// The last stylus position of a drag, shared by every chart of the program.
extern LONG g_chartLastX;
extern LONG g_chartLastY;

LRESULT CALLBACK OwnerChartWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The label text of an axis value: integral values lose their trailing zeros,
// values between 0 and 1 keep two or three decimals. Always terminated when
// size > 0; returns the characters written.
int FormatAxisNumber(LPWSTR buffer, int size, double value, BYTE decimals);

class COwnerChart {
public:
    COwnerChart();
    ~COwnerChart();
    COwnerChart(const COwnerChart&) = delete;
    COwnerChart& operator=(const COwnerChart&) = delete;

    void SetDefaults();
    int Create(HWND parent, int id, int x, int y, int width, int height);
    void Show(int command, BOOL redraw);
    void Redraw();
    void Refresh();
    void Repaint();

    // ---- configuration
    void SetXRange(double xMin, double xMax, BOOL redraw);
    void SetYRange(double yMin, double yMax, BOOL redraw);
    void SetXDivisions(int count, BOOL redraw);
    void SetYDivisions(int count, BOOL redraw);
    void SetBackColor(COLORREF color, BOOL redraw);
    void SetVertGridColor(COLORREF color, BOOL redraw);
    void SetHorzGridColor(COLORREF color, BOOL redraw);
    void SetXAxisColor(COLORREF color, BOOL redraw);  // the y = 0 line
    void SetYAxisColor(COLORREF color, BOOL redraw);  // the x = 0 line
    void SetSeriesPen(int series, COLORREF color, int width, BOOL redraw);
    void SetLineWidth(int width, BOOL repaint);
    void ShowSeries(int series, BOOL show, BOOL repaint);
    void SetSeriesMarkers(int series, BYTE style, BOOL repaint);
    // Longer texts are cut to 19 characters.
    void SetAxisUnits(LPCWSTR xUnit, LPCWSTR yUnit, BOOL repaint);
    void SetLabelDecimals(BYTE decimals);
    void SetYDownward(BOOL flag);
    void SetYDownwardShifted(BOOL flag);

    // ---- points (series outside 0 to 9 are refused with 0)
    int SetSeriesData(int series, int count, const double* x, const double* y);
    int AttachSeries(int series, int count, const double* x, const double* y);
    void AllocPoints(int capacity);
    int AppendPoint(int series, double x, double y);
    int AppendPointFollow(int series, double x, double y, BOOL draw);
    void ClearSeries(int series, BOOL redraw);
    void ResetPointWindow();

    // ---- zoom: step > 0 in, < 0 out, 0 back to the window's size
    void ZoomIn(int step, BOOL redraw);   // x axis
    void ZoomOut(int step, BOOL redraw);  // y axis

    // ---- bands
    void AllocBands(int capacity);
    int SetBand(int index, double from, double to, COLORREF color);
    int AddBand(double from, double to, COLORREF color, BOOL redraw);
    void UpdateClipRegion();

    // ---- drawing into the back buffer
    void DrawPlot();
    void DrawZeroAxes();
    void DrawSeries(int series);
    void DrawTopAxis();
    void DrawBottomAxis();
    void DrawLeftAxis();
    void DrawUnitLabel();
    void DrawHorzTick(HDC hdc, int x0, int x1, int y);
    void DrawVertTick(HDC hdc, int x, int y0, int y1);
    void Draw3DRect(HDC hdc, const RECT* rect, COLORREF color, BOOL raised);
    HBITMAP GetSnapshot();
    HBITMAP CopyBitmap(HBITMAP source);

    // ---- geometry
    void MeasureLabels();
    void LayoutAreas();
    void SetPlotRect();
    void ComputeScales();
    void RebuildBackBuffer();
    // Truncation toward zero of a pixel coordinate, defined for any double.
    static int ToPixel(double v);
    int MapX(double x) const;
    int MapY(double y) const;
    int BarBase() const;
    bool DownwardLayout() const { return m_yDownward && !m_yDownwardShifted; }

    // ---- window
    LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnCreate(HWND hwnd);
    void OnDestroy();
    void OnSize();
    void OnPaint();
    void OnHScroll(WPARAM wParam);
    void OnVScroll(WPARAM wParam);
    void OnLButtonDown(LPARAM lParam);
    void OnLButtonUp();
    void OnMouseMove(LPARAM lParam);

    RECT m_client;
    RECT m_content;
    RECT m_plot;
    RECT m_topStrip;
    RECT m_bottomStrip;
    RECT m_leftStrip;
    RECT m_rightStrip;
    COLORREF m_backColor;
    COLORREF m_seriesColor[CHART_SERIES];
    COLORREF m_vertGridColor;
    COLORREF m_horzGridColor;
    COLORREF m_xAxisColor;  // y = 0 line
    COLORREF m_yAxisColor;  // x = 0 line
    int m_bandCapacity;
    int m_bandCount;
    int m_capacity[CHART_SERIES];  // points the series' arrays take
    int m_count[CHART_SERIES];
    int m_windowStart;
    int m_longestCount;
    int m_xDivisions;
    int m_yDivisions;
    int m_plotW;  // plot width - 2
    int m_plotH;  // plot height - 2
    LONG m_fixedWidth;   // -1: the content follows the client
    LONG m_fixedHeight;
    LONG m_paintOffsetX;
    LONG m_paintOffsetY;
    LONG m_scrollOffsetX;
    LONG m_scrollOffsetY;
    LONG m_minScrollX;
    LONG m_minScrollY;
    unsigned m_xZoom;
    unsigned m_yZoom;
    double m_xMin, m_xMax, m_yMin, m_yMax;
    double m_xScale, m_yScale;
    int m_xZeroPixel;
    int m_yZeroPixel;
    double m_xGridStep, m_yGridStep;
    double m_xGridPhase, m_yGridPhase;
    int m_lineWidth;
    int m_visible[CHART_SERIES];
    BYTE m_style[CHART_SERIES];
    double* m_ownX[CHART_SERIES];
    double* m_ownY[CHART_SERIES];
    const double* m_extX[CHART_SERIES];
    const double* m_extY[CHART_SERIES];
    int m_simpleMode;
    int m_zeroLines;
    HDC m_hWindowDC;
    HDC m_hMemDC;
    HBITMAP m_hPrevBitmap;
    HBITMAP m_hBitmap;
    HFONT m_hFont;
    HFONT m_hPrevFont;
    HRGN m_hClipRgn;
    HPEN m_hPen[CHART_SERIES];
    ChartBand* m_bands;
    SCROLLINFO m_hScroll;
    SCROLLINFO m_vScroll;
    LOGFONTW m_logFont;
    TEXTMETRICW m_textMetric;
    int m_yLabelWidth;
    int m_titleHeight;
    int m_xLabelWidth;
    int m_xLabelHeight;
    int m_xUnitWidth;
    int m_yUnitWidth;
    WCHAR m_xUnit[CHART_UNIT_CHARS];
    WCHAR m_yUnit[CHART_UNIT_CHARS];
    int m_yDownward;
    int m_yDownwardShifted;
    int m_mouseDown;
    BYTE m_labelDecimals;
    HWND m_hWnd;
    HINSTANCE m_hInstance;

private:
    bool ValidSeries(int series) const { return series >= 0 && series < CHART_SERIES; }
    void FreeSeries(int series);
    void UpdateLongest();
    void ZoomAxis(bool horizontal, int step);
    void ScrollBy(bool horizontal, int code, WPARAM wParam);
    void SetScrollBars(BOOL redrawHorz, BOOL redrawVert);
    void ClampOffsets();
};
