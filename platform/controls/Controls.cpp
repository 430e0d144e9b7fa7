// Registration of the controls, InitCommonControlsEx, the helpers the controls
// share, and the scroll-bar calls (SetScrollInfo and its relatives).
#include <map>
#include <mutex>

#include "platform/WinText.h"
#include "platform/controls/ControlsInternal.h"
#include "platform/user/UserInternal.h"

namespace qplat::controls {

void AdoptIntoParent(HWND hwnd, const CREATESTRUCTW* cs)
{
    if (!cs || !cs->hwndParent) return;
    DWORD style = static_cast<DWORD>(cs->style);
    if (style & (WS_CHILD | WS_POPUP)) return;
    LONG_PTR now = GetWindowLongW(hwnd, GWL_STYLE);
    SetWindowLongW(hwnd, GWL_STYLE, now | WS_CHILD);
    SetParent(hwnd, cs->hwndParent);
}

bool TakeFocusForPress(HWND hwnd)
{
    const unsigned long upsBefore = qplat::user::StylusUpsTaken();
    if (GetFocus() != hwnd) SetFocus(hwnd);
    return IsWindow(hwnd) && GetFocus() == hwnd && qplat::user::StylusUpsTaken() == upsBefore;
}

void NotifyCommand(HWND hwnd, WORD code)
{
    HWND parent = GetParent(hwnd);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

LRESULT NotifyParent(HWND hwnd, NMHDR* header, UINT code)
{
    HWND parent = GetParent(hwnd);
    if (!parent) return 0;
    header->hwndFrom = hwnd;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    header->code = code;
    return SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

HBRUSH ColorFromParent(HWND hwnd, HDC dc, UINT msg)
{
    HWND parent = GetParent(hwnd);
    HBRUSH brush = nullptr;
    if (parent)
        brush = reinterpret_cast<HBRUSH>(
            SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    if (!brush)
        brush = reinterpret_cast<HBRUSH>(
            DefWindowProcW(hwnd, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    return brush;
}

HFONT ControlFont(HWND hwnd)
{
    auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return font;
}

int LineHeight(HWND hwnd)
{
    HDC dc = GetDC(hwnd);
    if (!dc) return 16;
    HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
    TEXTMETRICW tm{};
    int h = GetTextMetricsW(dc, &tm) ? tm.tmHeight : 16;
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return h > 0 ? h : 16;
}

int TextWidth(HDC dc, const std::u16string& text, size_t count)
{
    count = std::min(count, text.size());
    if (count == 0) return 0;
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(count), &size);
    return size.cx;
}

void FillSolid(HDC dc, const RECT& r, COLORREF color)
{
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

void FrameSolid(HDC dc, const RECT& r, COLORREF color)
{
    HBRUSH b = CreateSolidBrush(color);
    FrameRect(dc, &r, b);
    DeleteObject(b);
}

void Arrow(HDC dc, const RECT& box, int dir, COLORREF color)
{
    int w = box.right - box.left, h = box.bottom - box.top;
    int s = std::max(2, std::min(w, h) / 3);
    int cx = box.left + w / 2, cy = box.top + h / 2;
    POINT p[3];
    switch (dir) {
    case 0: p[0] = {cx - s, cy + s / 2}; p[1] = {cx + s, cy + s / 2}; p[2] = {cx, cy - s / 2 - 1}; break;
    case 1: p[0] = {cx - s, cy - s / 2}; p[1] = {cx + s, cy - s / 2}; p[2] = {cx, cy + s / 2 + 1}; break;
    case 2: p[0] = {cx + s / 2, cy - s}; p[1] = {cx + s / 2, cy + s}; p[2] = {cx - s / 2 - 1, cy}; break;
    default: p[0] = {cx - s / 2, cy - s}; p[1] = {cx - s / 2, cy + s}; p[2] = {cx + s / 2 + 1, cy}; break;
    }
    HBRUSH b = CreateSolidBrush(color);
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, pen);
    Polygon(dc, p, 3);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(b);
    DeleteObject(pen);
}

bool StartsWithNoCase(const std::u16string& text, const std::u16string& prefix)
{
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (towupper(text[i]) != towupper(prefix[i])) return false;
    return true;
}

bool EqualsNoCase(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

int ClampScrollPos(const SCROLLINFO& info, int pos)
{
    long long top = info.nMax;
    if (info.nPage > 0) top = static_cast<long long>(info.nMax) - static_cast<long long>(info.nPage) + 1;
    if (top < info.nMin) top = info.nMin;
    long long p = std::clamp<long long>(pos, info.nMin, top);
    return static_cast<int>(p);
}

void ApplyScrollInfo(SCROLLINFO& into, const SCROLLINFO& from)
{
    if (from.fMask & SIF_RANGE) {
        into.nMin = from.nMin;
        into.nMax = std::max(from.nMin, from.nMax);
    }
    if (from.fMask & SIF_PAGE) {
        long long span = static_cast<long long>(into.nMax) - into.nMin + 1;
        into.nPage = static_cast<UINT>(std::min<long long>(from.nPage, span));
    }
    if (from.fMask & SIF_POS) into.nPos = from.nPos;
    into.nPos = ClampScrollPos(into, into.nPos);
    into.nTrackPos = into.nPos;
}

namespace {

// The bars of ordinary windows, by window and bar (SB_HORZ or SB_VERT).
std::mutex g_barLock;
std::map<std::pair<HWND, int>, BarInfo> g_bars;

BarInfo& BarLocked(HWND hwnd, int bar)
{
    // Windows that went away leave their entries; drop them now and then.
    if (g_bars.size() > 256) {
        for (auto it = g_bars.begin(); it != g_bars.end();) it = IsWindow(it->first.first) ? std::next(it) : g_bars.erase(it);
    }
    return g_bars[{hwnd, bar}];
}

// A window bar only takes room while there is something to scroll.
bool BarNeeded(const BarInfo& b)
{
    if (!b.shown) return false;
    if (b.keep) return true;
    long long span = static_cast<long long>(b.info.nMax) - b.info.nMin + 1;
    if (b.info.nPage > 0) return span > static_cast<long long>(b.info.nPage);
    return b.info.nMax > b.info.nMin;
}

bool IsBarControl(HWND hwnd)
{
    WCHAR name[32];
    if (!GetClassNameW(hwnd, name, 32)) return false;
    return EqualsNoCase(name, u"SCROLLBAR");
}

void RegisterOne(const char16_t* name, WNDPROC proc, UINT style = CS_GLOBALCLASS)
{
    WNDCLASSW wc{};
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = kExtraBytes;
    wc.lpszClassName = name;
    RegisterSystemClass(wc);
}

}  // namespace

void SetBarTrackPos(HWND hwnd, int bar, int pos)
{
    std::lock_guard<std::mutex> g(g_barLock);
    g_bars[{hwnd, bar}].info.nTrackPos = pos;
}

}  // namespace qplat::controls

using namespace qplat::controls;

namespace qplat {

void RegisterBuiltinControls()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterOne(u"STATIC", StaticProc);
        RegisterOne(u"EDIT", EditProc);
        RegisterOne(u"COMBOBOX", ComboBoxProc);
        RegisterOne(u"ComboLBox", ComboListProc);
        RegisterOne(u"SCROLLBAR", ScrollBarProc);
        RegisterOne(WC_LISTVIEWW, ListViewProc);
        RegisterOne(DATETIMEPICK_CLASSW, DateTimeProc);
        RegisterOne(PROGRESS_CLASSW, ProgressProc);
        RegisterOne(TOOLTIPS_CLASSW, ToolTipProc);
    });
}

}  // namespace qplat

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init)
{
    if (!init) return FALSE;
    qplat::RegisterBuiltinControls();
    return TRUE;
}

void InitCommonControls()
{
    qplat::RegisterBuiltinControls();
}

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw)
{
    if (!info || !IsWindow(hwnd)) return 0;
    if (bar == SB_CTL) {
        if (!IsBarControl(hwnd)) return 0;
        return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    }
    if (bar != SB_HORZ && bar != SB_VERT) return 0;
    int pos;
    bool needed;
    {
        std::lock_guard<std::mutex> g(g_barLock);
        BarInfo& b = BarLocked(hwnd, bar);
        ApplyScrollInfo(b.info, *info);
        if (info->fMask & (SIF_RANGE | SIF_PAGE)) b.keep = (info->fMask & SIF_DISABLENOSCROLL) != 0;
        pos = b.info.nPos;
        needed = BarNeeded(b);
    }
    qplat::user::SetWindowBar(hwnd, bar, needed, redraw != FALSE);
    if (redraw) InvalidateRect(hwnd, nullptr, FALSE);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info)
{
    if (!info || !IsWindow(hwnd)) return FALSE;
    if (bar == SB_CTL) {
        if (!IsBarControl(hwnd)) return FALSE;
        return SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)) ? TRUE : FALSE;
    }
    if (bar != SB_HORZ && bar != SB_VERT) return FALSE;
    std::lock_guard<std::mutex> g(g_barLock);
    const SCROLLINFO& s = BarLocked(hwnd, bar).info;
    if (info->fMask & SIF_RANGE) {
        info->nMin = s.nMin;
        info->nMax = s.nMax;
    }
    if (info->fMask & SIF_PAGE) info->nPage = s.nPage;
    if (info->fMask & SIF_POS) info->nPos = s.nPos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s.nTrackPos;
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw)
{
    SCROLLINFO old{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &old)) return 0;
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old.nPos;
}

int GetScrollPos(HWND hwnd, int bar)
{
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw)
{
    if (!IsWindow(hwnd)) return FALSE;
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE, minPos, maxPos, 0, 0, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos)
{
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &si)) return FALSE;
    if (minPos) *minPos = si.nMin;
    if (maxPos) *maxPos = si.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show)
{
    if (!IsWindow(hwnd)) return FALSE;
    if (bar == SB_CTL) {
        ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
        return TRUE;
    }
    bool neededH, neededV;
    {
        std::lock_guard<std::mutex> g(g_barLock);
        if (bar == SB_HORZ || bar == SB_BOTH) BarLocked(hwnd, SB_HORZ).shown = show != FALSE;
        if (bar == SB_VERT || bar == SB_BOTH) BarLocked(hwnd, SB_VERT).shown = show != FALSE;
        neededH = BarNeeded(BarLocked(hwnd, SB_HORZ));
        neededV = BarNeeded(BarLocked(hwnd, SB_VERT));
    }
    if (bar == SB_HORZ || bar == SB_BOTH) qplat::user::SetWindowBar(hwnd, SB_HORZ, neededH, true);
    if (bar == SB_VERT || bar == SB_BOTH) qplat::user::SetWindowBar(hwnd, SB_VERT, neededV, true);
    return TRUE;
}
