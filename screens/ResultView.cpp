#include "screens/ResultView.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "platform/WinText.h"

CResultView::CResultView() = default;
CResultView::~CResultView() = default;

void CResultView::LoadSettings()
{
    if (loaded) return;
    m_language.Load();
    std::memset(&m_settings, 0, sizeof(m_settings));
    // Bytes the file does not deliver stay zero: millimetres, every switch off.
    m_settingsRead = m_paramFile.Load(&m_settings) ? TRUE : FALSE;
    loaded = 1;
}

void CResultView::BuildWheelTable(WheelResult a, WheelResult b, int, ResultRow* rows, int capacity, BYTE* count,
                                  BYTE everyRow)
{
    LoadSettings();
    const int n = BuildWheelRows(m_settings, m_language, a, b, rows, capacity, everyRow);
    if (count) *count = static_cast<BYTE>(n);
}

void CResultView::BuildDiscTable(DiscResult d, int, ResultRow* rows, int capacity, BYTE* count, BYTE everyRow)
{
    LoadSettings();
    const int n = BuildDiscRows(m_settings, m_language, d, rows, capacity, everyRow);
    if (count) *count = static_cast<BYTE>(n);
}

COLORREF ResultStateColour(LONG state)
{
    switch (state) {
    case 0: return 0xC1C1C1;
    case 1: return 0x00C100;
    case 2: return 0xC10000;
    case 3: return 0xC100C1;
    default: return 0x000000;
    }
}

bool DialMarkCentre(int cx, int cy, int n, int i, POINT* centre)
{
    if (n < 1 || n > 6 || i < 0 || i >= n || !centre) return false;
    constexpr double kMarkRadius = 46.0;  // the dial's radius 60 less 14
    const int step = 360 / n;
    const double theta = (i * step - 90) * std::numbers::pi / 180.0;
    // Truncated towards zero.
    centre->x = static_cast<int>(cx + kMarkRadius * std::cos(theta));
    centre->y = static_cast<int>(cy + kMarkRadius * std::sin(theta));
    return true;
}

int FittedFontHeight(HDC hdc, const LOGFONTW& base, LPCWSTR text, int room)
{
    const int full = std::abs(base.lfHeight);
    const int length = text ? static_cast<int>(wcslen(text)) : 0;
    if (!hdc || length == 0 || room <= 0 || full <= 1) return full;
    for (int height = full; height > 1; --height) {
        LOGFONTW font = base;
        font.lfHeight = height;
        font.lfWidth = base.lfWidth * height / full;
        HFONT trial = CreateFontIndirectW(&font);
        if (!trial) return full;
        HGDIOBJ old = SelectObject(hdc, trial);
        SIZE size{};
        const BOOL measured = GetTextExtentPoint32W(hdc, text, length, &size);
        SelectObject(hdc, old);
        DeleteObject(trial);
        if (!measured) return full;
        if (size.cx <= room) return height;
    }
    return 1;
}
