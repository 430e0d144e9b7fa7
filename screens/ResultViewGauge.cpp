// The value panels of the two gauges, the step dial of the type-3 gauge and
// the side diagram of a disc measured with one head.
#include "platform/WinText.h"
#include "screens/ResultView.h"

namespace {

constexpr int kGauge2Value = 7, kGauge2Status = 3;
constexpr int kGauge3Value = 28, kGauge3Status = 10;

// Side diagram of a disc: the outline, the hub, the two friction rings with
// their sides coloured by state, and the ventilation slots.
struct DiagramFrame {
    int dx, dy, width, height, corner;
    int side;  // 0 white, 1 or 2 the colour of that side
};
constexpr DiagramFrame kDiagramFrames[] = {
    {0, 0, 81, 180, 0, 0},    {28, 50, 25, 115, 0, 0}, {22, 40, 8, 135, 30, 0}, {10, 42, 6, 131, 2, 1},
    {15, 40, 12, 135, 0, 1},  {51, 40, 8, 135, 30, 0}, {65, 42, 6, 131, 2, 2},  {54, 40, 12, 135, 0, 2},
};
constexpr int kSlots = 7;

}  // namespace

void CResultView::DrawGaugePanel(HWND window, HDC hdc, bool type3, LONG value, BYTE status, int x, int y,
                                 int width, int height, BYTE measuring, BYTE steps)
{
    LoadSettings();
    if (!hdc) return;
    const bool compact = type3 && steps > 1 && m_settings.measureMode == 0;
    const ResultUnits units = UnitsOf(m_settings.unitSystem);

    Rectangle(hdc, x, y, x + width, y + height);
    WCHAR text[LANGUAGE_TEXT_CHARS + 2];
    qplat::CopyField(text, LANGUAGE_TEXT_CHARS, m_language.GetText(type3 ? TEXT_GAUGE3_TITLE : TEXT_GAUGE2_TITLE));
    m_paint.DrawCaption(window, hdc, x + 5, y - 25, 0, text, 25, 0, 0x000000, FALSE, FALSE, 0);

    const int fontHeight = compact ? 35 : 50;
    const int lineY = compact ? y + fontHeight / 5 : y + height / 2 - fontHeight / 2 - 5;
    const int boxX = compact ? x + 50 : x + 70;
    const int boxWidth = compact ? 125 : width - 150;
    const int unitX = compact ? x + 180 : x + width - 75;
    // Name and unit keep to their room (before the box, inside the frame).
    LOGFONTW base;
    CPaintHelper::FontFor(&base, u"Calibri", fontHeight, 0, FW_NORMAL, 0);
    auto caption = [&](int left, int room, const WCHAR* caption) {
        const int fitted = FittedFontHeight(hdc, base, caption, room);
        m_paint.DrawCaption(window, hdc, left, lineY + (fontHeight - fitted) / 2, 0, caption, fitted, 0, 0x000000,
                            FALSE, FALSE, 0);
    };
    qplat::CopyField(text, LANGUAGE_TEXT_CHARS, m_language.GetText(type3 ? TEXT_GAUGE3_NAME : TEXT_GAUGE2_NAME));
    wcscat(text, u": ");
    caption(x + 10, boxX - (x + 10), text);
    qplat::CopyField(text, LANGUAGE_TEXT_CHARS, m_language.GetText(units.unitTextId));
    caption(unitX, x + width - 3 - unitX, text);

    WCHAR valueText[RESULT_VALUE_CHARS];
    FormatGaugeValue(valueText, RESULT_VALUE_CHARS, value, measuring != 0, units, type3);
    if (status != 0 && !measuring) {
        SetBkMode(hdc, TRANSPARENT);
        m_paint.FillFramedRect(window, hdc, boxX, lineY, boxWidth, fontHeight,
                               status == kStatusOutOfTolerance ? RESULT_OUT_FILL : RESULT_WARNING_FILL, 1, 0);
        m_paint.DrawCaption(window, hdc, boxX, lineY, boxWidth, valueText, fontHeight, 0, RESULT_MARKED_TEXT, FALSE,
                            TRUE, 0);
    } else {
        m_paint.DrawCaption(window, hdc, boxX, lineY, boxWidth, valueText, fontHeight, 0, RESULT_VALUE_TEXT, FALSE,
                            FALSE, 0);
    }
}

void CResultView::DrawErrorRows(HWND window, HDC hdc, WheelResult result, int x, int y, int width, int height,
                                BYTE measuring, BYTE, BYTE)
{
    DrawGaugePanel(window, hdc, false, result.values[kGauge2Value], result.status[kGauge2Status], x, y, width,
                   height, measuring, 1);
}

void CResultView::DrawErrorRowsType3(HWND window, HDC hdc, WheelResult result, int x, int y, int width, int height,
                                     BYTE measuring, BYTE, BYTE steps)
{
    DrawGaugePanel(window, hdc, true, result.values[kGauge3Value], result.status[kGauge3Status], x, y, width,
                   height, measuring, steps);
}

void CResultView::DrawDial(HWND, HDC hdc, int cx, int cy, const MeasureStep* steps, BYTE n)
{
    if (!hdc) return;
    HBRUSH grey = CreateSolidBrush(ResultStateColour(0));
    HGDIOBJ oldBrush = SelectObject(hdc, grey);
    Ellipse(hdc, cx - 60, cy - 60, cx + 60, cy + 60);
    SelectObject(hdc, oldBrush);
    DeleteObject(grey);
    Ellipse(hdc, cx - 35, cy - 35, cx + 35, cy + 35);
    if (!steps) return;
    POINT mark;
    for (int i = 0; DialMarkCentre(cx, cy, n, i, &mark); ++i) {
        HBRUSH brush = CreateSolidBrush(ResultStateColour(steps[i].state));
        HGDIOBJ old = SelectObject(hdc, brush);
        Ellipse(hdc, mark.x - 7, mark.y - 7, mark.x + 7, mark.y + 7);
        SelectObject(hdc, old);
        DeleteObject(brush);
    }
}

void CResultView::DrawPanel(HWND window, HDC hdc, int x, int y, LONG side1State, LONG side2State)
{
    if (!hdc) return;
    for (const DiagramFrame& f : kDiagramFrames) {
        const COLORREF fill = f.side == 1   ? ResultStateColour(side1State)
                              : f.side == 2 ? ResultStateColour(side2State)
                                            : RESULT_PANEL_FILL;
        m_paint.DrawRoundFrame(window, hdc, x + f.dx, y + f.dy, f.width, f.height, u"", fill, f.corner, 1);
    }
    for (int i = 0; i < kSlots; ++i)
        m_paint.DrawRoundFrame(window, hdc, x + 31, y + 55 + 16 * i, 19, 10, u"", RESULT_PANEL_FILL, 5, 1);
    m_paint.DrawCaption(window, hdc, x + 14, y + 20, 12, u"1", 18, 0, 0x000000, TRUE, TRUE, 0);
    m_paint.DrawCaption(window, hdc, x + 54, y + 20, 12, u"2", 18, 0, 0x000000, TRUE, TRUE, 0);
}
