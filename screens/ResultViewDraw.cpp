// The lines of the results panels: one line, the wheel panel and the disc panel.
#include <cstdlib>

#include "platform/WinText.h"
#include "screens/ResultView.h"

namespace {

// The value column of a line ends at screen column 341 + 70.
constexpr int kValueColumnEnd = 341;
// The notice of a panel whose settings could not be read.
constexpr int kTextSettingsUnread = 50072;
constexpr int kNoticeFontHeight = 22;

// A left-aligned column text in the selected font, or smaller when it is
// wider than the column, its middle kept on the line's middle.
void DrawColumnText(HDC hdc, LPCWSTR text, RECT rect)
{
    LOGFONTW base{};
    HGDIOBJ current = GetCurrentObject(hdc, OBJ_FONT);
    const int full = current && GetObjectW(current, sizeof(base), &base) ? std::abs(base.lfHeight) : 0;
    const int height = full ? FittedFontHeight(hdc, base, text, rect.right - rect.left) : 0;
    if (height == full) {
        DrawTextW(hdc, text, -1, &rect, DT_WORDBREAK);
        return;
    }
    LOGFONTW small = base;
    small.lfHeight = height;
    small.lfWidth = base.lfWidth * height / full;
    HFONT font = CreateFontIndirectW(&small);
    HGDIOBJ old = font ? SelectObject(hdc, font) : nullptr;
    rect.top += (full - height) / 2;
    DrawTextW(hdc, text, -1, &rect, DT_WORDBREAK);
    if (old) SelectObject(hdc, old);
    if (font) DeleteObject(font);
}

RECT ClientOf(HWND window)
{
    RECT r{0, 0, qplat::kScreenWidth, qplat::kScreenHeight};
    if (window) GetClientRect(window, &r);
    return r;
}

}  // namespace

BYTE CResultView::DrawResultRow(HWND window, HDC hdc, BYTE draw, int x, int y, float valueA, float valueB,
                                LPCWSTR name, LPCWSTR units, DWORD divisor, BYTE placeholder, BYTE status,
                                BYTE checkKind, int lineHeight, BYTE, BYTE secondValue)
{
    if (!draw) return 0;
    LoadSettings();  // the panels have; a line drawn on its own needs the texts too
    if (!hdc) return 1;
    const RECT client = ClientOf(window);
    const int width = kValueColumnEnd - x;
    const int valueWidth = secondValue ? width / 2 : width;

    if ((status == kStatusWarning || status == kStatusOutOfTolerance) && !placeholder) {
        SetBkMode(hdc, TRANSPARENT);
        m_paint.FillFramedRect(window, hdc, x + 70, y + 2, valueWidth, lineHeight - 2,
                               status == kStatusOutOfTolerance ? RESULT_OUT_FILL : RESULT_WARNING_FILL, 1, 0);
    }

    SetTextColor(hdc, 0x000000);
    DrawColumnText(hdc, name ? name : u"", RECT{x, y, x + 54, client.bottom});
    RECT r{x + 55, y, x + 65, client.bottom};
    DrawTextW(hdc, u":", -1, &r, DT_WORDBREAK);
    DrawColumnText(hdc, units ? units : u"", RECT{RESULT_UNIT_COLUMN, y, RESULT_UNIT_COLUMN_END, client.bottom});

    const bool inches = UnitsOf(m_settings.unitSystem).inches;
    WCHAR pass[RESULT_VALUE_CHARS];
    WCHAR fail[RESULT_VALUE_CHARS];
    qplat::CopyField(pass, RESULT_VALUE_CHARS, m_language.GetText(TEXT_VERDICT_PASS));
    qplat::CopyField(fail, RESULT_VALUE_CHARS, m_language.GetText(TEXT_VERDICT_FAIL));
    WCHAR text[RESULT_VALUE_CHARS];
    FormatLineValue(text, RESULT_VALUE_CHARS, valueA, divisor, units, checkKind, status, placeholder, inches, pass,
                    fail);
    SetTextColor(hdc, RESULT_VALUE_TEXT);
    r = RECT{x + 70, y, x + 70 + valueWidth, client.bottom};
    DrawTextW(hdc, text, -1, &r, DT_CENTER);

    // The reference value is a number on every line, measuring or not.
    if (secondValue && valueB != RESULT_NO_VALUE) {
        const float shown = valueB / static_cast<float>(divisor ? divisor : 1);
        FormatLineNumber(text, RESULT_VALUE_CHARS, CheckRange(shown, checkKind), inches);
        SetTextColor(hdc, RESULT_REFERENCE_TEXT);
        r = RECT{x + 70 + width / 2, y, RESULT_UNIT_COLUMN, client.bottom};
        DrawTextW(hdc, text, -1, &r, DT_CENTER);
    }
    return 1;
}

void CResultView::DrawLines(HWND window, HDC hdc, const ResultLine* lines, int drawn, int count, int x, int y,
                            int width, int height, BYTE measuring, BYTE overlay)
{
    m_paint.DrawRoundFrame(window, hdc, x, y, width, height, u"", RESULT_PANEL_FILL, 0, 1);
    // The count spaces the lines; where it is smaller than the lines drawn
    // and they would run out of the panel, the drawn lines space themselves.
    const PanelGeometry g = FittedPanelGeometry(y, height, count, drawn);
    HFONT font = m_paint.MakeFont(u"Calibri", g.fontHeight, g.fontWidth, FW_NORMAL, 0);
    HGDIOBJ oldFont = font ? SelectObject(hdc, font) : nullptr;
    int lineY = g.firstY;
    for (int i = 0; i < drawn; ++i) {
        const ResultLine& line = lines[i];
        if (DrawResultRow(window, hdc, 1, x + 5, lineY, line.valueA, line.valueB, line.name, line.units,
                          line.divisor, measuring, line.status, line.checkKind, g.fontHeight, 1, overlay))
            lineY += g.lineStep;
    }
    if (oldFont) SelectObject(hdc, oldFont);
    if (font) DeleteObject(font);
}

void CResultView::DrawUnreadSettings(HWND window, HDC hdc, int x, int y, int width, int height)
{
    m_paint.DrawRoundFrame(window, hdc, x, y, width, height, u"", RESULT_PANEL_FILL, 0, 1);
    HFONT font = m_paint.MakeFont(u"Calibri", kNoticeFontHeight, kNoticeFontHeight * 10 / 24, FW_NORMAL, 0);
    HGDIOBJ oldFont = font ? SelectObject(hdc, font) : nullptr;
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, 0x000000);
    RECT r{x + 10, y + height / 3, x + width - 10, y + height - 5};
    DrawTextW(hdc, m_language.GetText(kTextSettingsUnread), -1, &r, DT_CENTER | DT_WORDBREAK);
    if (oldFont) SelectObject(hdc, oldFont);
    if (font) DeleteObject(font);
}

void CResultView::DrawWheelResults(HWND window, HDC hdc, WheelResult measured, const WheelResult* reference,
                                   int x, int y, int width, int height, BYTE measuring, LPCWSTR, BYTE, int overlay)
{
    LoadSettings();
    if (!hdc) return;
    if (!m_settingsRead) {
        DrawUnreadSettings(window, hdc, x, y, width, height);
        return;
    }
    ResultLine lines[WHEEL_PANEL_LINES];
    const int drawn = WheelPanelLines(m_settings, m_language, measured, reference, lines, WHEEL_PANEL_LINES);
    DrawLines(window, hdc, lines, drawn, CountWheelRows(m_settings), x, y, width, height, measuring,
              overlay == 1 ? 1 : 0);
}

void CResultView::DrawDiscResults(HWND window, HDC hdc, DiscResult result, int x, int y, int width, int height,
                                  BYTE measuring)
{
    LoadSettings();
    if (!hdc) return;
    if (!m_settingsRead) {
        DrawUnreadSettings(window, hdc, x, y, width, height);
        return;
    }
    ResultLine lines[DISC_PANEL_LINES];
    const int drawn = DiscPanelLines(m_settings, m_language, result, lines, DISC_PANEL_LINES);
    DrawLines(window, hdc, lines, drawn, CountDiscRows(m_settings), x, y, width, height, measuring, 0);
}
