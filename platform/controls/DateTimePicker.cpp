// The "SysDateTimePick32" control: a date (day/month/year) or, with
// DTS_TIMEFORMAT, a time (hours:minutes:seconds), one field of which is
// chosen by a touch and stepped with the up and down arrows on the right.
// Stepping wraps within the field as a calendar does; the day follows the
// month's length.
#include "platform/controls/ControlsInternal.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"

namespace qplat::controls {
namespace {

struct Picker {
    SYSTEMTIME time{2000, 1, 6, 1, 0, 0, 0, 0};
    bool valid = true;
    int field = 0;  // index into the shown fields
    bool focused = false;
};

bool TimeFormat(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & DTS_TIMEFORMAT) == DTS_TIMEFORMAT; }

int DaysIn(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 31;
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
    return days[month - 1];
}

bool ValidTime(const SYSTEMTIME& t)
{
    return t.wYear >= 1601 && t.wYear <= 9999 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= DaysIn(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60;
}

// Day of the week (0 Sunday) of a Gregorian date.
WORD WeekDay(int y, int m, int d)
{
    static const int t[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return static_cast<WORD>((y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7);
}

struct Field {
    WORD* value;
    int min, max;
    int digits;
};

int FieldCount() { return 3; }

Field FieldOf(HWND hwnd, Picker& p, int i)
{
    SYSTEMTIME& t = p.time;
    if (TimeFormat(hwnd)) {
        if (i == 0) return {&t.wHour, 0, 23, 2};
        if (i == 1) return {&t.wMinute, 0, 59, 2};
        return {&t.wSecond, 0, 59, 2};
    }
    if (i == 0) return {&t.wDay, 1, DaysIn(t.wYear, t.wMonth), 2};
    if (i == 1) return {&t.wMonth, 1, 12, 2};
    return {&t.wYear, 1601, 9999, 4};
}

std::u16string FieldText(HWND hwnd, Picker& p, int i)
{
    Field f = FieldOf(hwnd, p, i);
    WCHAR buf[16];
    if (f.digits == 4) swprintf(buf, 16, u"%d", *f.value);
    else swprintf(buf, 16, u"%02d", *f.value);
    return buf;
}

int ButtonWidth(const RECT& r) { return std::min<int>(r.bottom, r.right / 3); }

// Left and right of each field's text, from the left edge.
void FieldSpans(HWND hwnd, Picker& p, HDC dc, int spans[3][2])
{
    const char16_t* sep = TimeFormat(hwnd) ? u":" : u"/";
    std::u16string line;
    int x = 4;
    for (int i = 0; i < FieldCount(); ++i) {
        if (i) x += TextWidth(dc, sep, 1);
        std::u16string f = FieldText(hwnd, p, i);
        spans[i][0] = x;
        x += TextWidth(dc, f, f.size());
        spans[i][1] = x;
    }
}

void Paint(HWND hwnd, Picker& p)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    HBRUSH brush = ColorFromParent(hwnd, dc, WM_CTLCOLOREDIT);
    if (brush) FillRect(dc, &r, brush);
    HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
    SetBkMode(dc, TRANSPARENT);
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    int spans[3][2];
    FieldSpans(hwnd, p, dc, spans);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int top = std::max(0, (static_cast<int>(r.bottom) - static_cast<int>(tm.tmHeight)) / 2);
    const char16_t* sep = TimeFormat(hwnd) ? u":" : u"/";
    for (int i = 0; i < FieldCount(); ++i) {
        std::u16string f = FieldText(hwnd, p, i);
        bool chosen = p.focused && i == p.field;
        if (chosen) {
            FillSolid(dc, RECT{spans[i][0], top, spans[i][1], top + tm.tmHeight}, GetSysColor(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        }
        TextOutW(dc, spans[i][0], top, f.c_str(), static_cast<int>(f.size()));
        if (chosen) SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        if (i + 1 < FieldCount()) TextOutW(dc, spans[i][1], top, sep, 1);
    }
    SelectObject(dc, old);
    int bw = ButtonWidth(r);
    RECT up{r.right - bw, 0, r.right, r.bottom / 2}, down{r.right - bw, r.bottom / 2, r.right, r.bottom};
    FillSolid(dc, up, kButtonFace);
    FillSolid(dc, down, kButtonFace);
    FrameSolid(dc, up, kFrame);
    FrameSolid(dc, down, kFrame);
    Arrow(dc, up, 0, enabled ? kBlack : kGreyText);
    Arrow(dc, down, 1, enabled ? kBlack : kGreyText);
    FrameSolid(dc, r, kFrame);
    EndPaint(hwnd, &ps);
}

void Step(HWND hwnd, Picker& p, int dir)
{
    Field f = FieldOf(hwnd, p, p.field);
    int v = *f.value + dir;
    if (v > f.max) v = f.min;
    if (v < f.min) v = f.max;
    *f.value = static_cast<WORD>(v);
    int days = DaysIn(p.time.wYear, p.time.wMonth);
    if (p.time.wDay > days) p.time.wDay = static_cast<WORD>(days);
    p.time.wDayOfWeek = WeekDay(p.time.wYear, p.time.wMonth, p.time.wDay);
    p.valid = true;
    InvalidateRect(hwnd, nullptr, FALSE);
    NMDATETIMECHANGE nm{};
    nm.dwFlags = GDT_VALID;
    nm.st = p.time;
    NotifyParent(hwnd, &nm.nmhdr, DTN_DATETIMECHANGE);
}

void Tap(HWND hwnd, Picker& p, POINT pt)
{
    RECT r;
    GetClientRect(hwnd, &r);
    int bw = ButtonWidth(r);
    if (pt.x >= r.right - bw) {
        Step(hwnd, p, pt.y < r.bottom / 2 ? 1 : -1);
        return;
    }
    HDC dc = GetDC(hwnd);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
    int spans[3][2];
    FieldSpans(hwnd, p, dc, spans);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    int best = 0;
    for (int i = 0; i < FieldCount(); ++i)
        if (pt.x >= spans[i][0] - 3) best = i;
    p.field = best;
    InvalidateRect(hwnd, nullptr, FALSE);
}

}  // namespace

LRESULT CALLBACK DateTimeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Picker* p = TrackState<Picker>(hwnd, msg);
    if (!p) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE: {
        AdoptIntoParent(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        SYSTEMTIME now{};
        GetLocalTime(&now);
        if (ValidTime(now)) p->time = now;
        p->time.wMilliseconds = 0;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_PAINT: Paint(hwnd, *p); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETFONT:
        DefWindowProcW(hwnd, msg, wParam, 0);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS: p->focused = true; InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_KILLFOCUS: p->focused = false; InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_LBUTTONDOWN:
        if (GetFocus() != hwnd) SetFocus(hwnd);
        Tap(hwnd, *p, PointOf(lParam));
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_UP) Step(hwnd, *p, 1);
        else if (wParam == VK_DOWN) Step(hwnd, *p, -1);
        else if (wParam == VK_LEFT) p->field = std::max(0, p->field - 1);
        else if (wParam == VK_RIGHT) p->field = std::min(FieldCount() - 1, p->field + 1);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case DTM_SETSYSTEMTIME: {
        if (static_cast<int>(wParam) == GDT_NONE) {
            if (!(GetWindowLongW(hwnd, GWL_STYLE) & DTS_SHOWNONE)) return FALSE;
            p->valid = false;
            InvalidateRect(hwnd, nullptr, FALSE);
            return TRUE;
        }
        auto* t = reinterpret_cast<const SYSTEMTIME*>(lParam);
        if (static_cast<int>(wParam) != GDT_VALID || !t || !ValidTime(*t)) return FALSE;
        p->time = *t;
        p->time.wMilliseconds = 0;
        p->time.wDayOfWeek = WeekDay(t->wYear, t->wMonth, t->wDay);
        p->valid = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case DTM_GETSYSTEMTIME: {
        auto* t = reinterpret_cast<SYSTEMTIME*>(lParam);
        if (!t) return GDT_ERROR;
        if (!p->valid) return GDT_NONE;
        *t = p->time;
        return GDT_VALID;
    }
    case DTM_SETFORMATW: return TRUE;
    case DTM_GETRANGE: return 0;
    case DTM_SETRANGE: return TRUE;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qplat::controls
