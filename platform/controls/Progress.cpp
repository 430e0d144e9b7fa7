// The progress bar ("msctls_progress32") and the tooltip ("tooltips_class32").
// The tooltip accepts its tools and settings and stays invisible: no screen
// of the program shows a tip.
#include <vector>

#include "platform/controls/ControlsInternal.h"

namespace qplat::controls {
namespace {

struct Progress {
    int low = 0, high = 100;
    int pos = 0;
    int step = 10;
    COLORREF bar = CLR_DEFAULT;
    COLORREF back = CLR_DEFAULT;
};

void Paint(HWND hwnd, Progress& p)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    FillSolid(dc, r, p.back == CLR_DEFAULT ? kTrough : p.back);
    bool vertical = (GetWindowLongW(hwnd, GWL_STYLE) & PBS_VERTICAL) != 0;
    long long span = static_cast<long long>(p.high) - p.low;
    if (span > 0) {
        long long done = static_cast<long long>(p.pos) - p.low;
        RECT f = r;
        if (vertical) f.top = r.bottom - static_cast<LONG>((r.bottom - r.top) * done / span);
        else f.right = r.left + static_cast<LONG>((r.right - r.left) * done / span);
        FillSolid(dc, f, p.bar == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : p.bar);
    }
    FrameSolid(dc, r, kFrame);
    EndPaint(hwnd, &ps);
}

int SetPos(HWND hwnd, Progress& p, long long pos)
{
    int old = p.pos;
    p.pos = static_cast<int>(std::clamp<long long>(pos, p.low, std::max(p.low, p.high)));
    if (p.pos != old) InvalidateRect(hwnd, nullptr, FALSE);
    return old;
}

LRESULT SetRange(HWND hwnd, Progress& p, int low, int high)
{
    LRESULT old = MAKELRESULT(static_cast<WORD>(p.low), static_cast<WORD>(p.high));
    p.low = low;
    p.high = std::max(low, high);
    SetPos(hwnd, p, p.pos);
    InvalidateRect(hwnd, nullptr, FALSE);
    return old;
}

struct ToolTip {
    std::vector<TOOLINFOW> tools;
    std::vector<std::u16string> texts;
    COLORREF back = 0xE1FFFF, text = 0x000000;
    int delays[4] = {500, 500, 5000, 500};
};

}  // namespace

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Progress* p = TrackState<Progress>(hwnd, msg);
    if (!p) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE:
        AdoptIntoParent(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_PAINT: Paint(hwnd, *p); return 0;
    case WM_ERASEBKGND: return 1;
    case PBM_SETRANGE: return SetRange(hwnd, *p, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32: return SetRange(hwnd, *p, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_GETRANGE: {
        auto* r = reinterpret_cast<PPBRANGE>(lParam);
        if (r) {
            r->iLow = p->low;
            r->iHigh = p->high;
        }
        return wParam ? p->low : p->high;
    }
    case PBM_SETPOS: return SetPos(hwnd, *p, static_cast<int>(wParam));
    case PBM_DELTAPOS: return SetPos(hwnd, *p, static_cast<long long>(p->pos) + static_cast<int>(wParam));
    case PBM_GETPOS: return p->pos;
    case PBM_SETSTEP: {
        int old = p->step;
        p->step = static_cast<int>(wParam);
        return old;
    }
    case PBM_STEPIT: {
        long long next = static_cast<long long>(p->pos) + p->step;
        // Past the end the bar starts again from the beginning.
        if (next > p->high) next = p->low + (next - p->high) % std::max(1, p->high - p->low);
        if (next < p->low) next = p->high;
        return SetPos(hwnd, *p, next);
    }
    case PBM_SETBARCOLOR: {
        COLORREF old = p->bar;
        p->bar = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    case PBM_SETBKCOLOR: {
        COLORREF old = p->back;
        p->back = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ToolTipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ToolTip* t = TrackState<ToolTip>(hwnd, msg);
    if (!t) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_SHOWWINDOW: return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCHITTEST: return HTTRANSPARENT;
    case TTM_ADDTOOLW: {
        auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
        if (!info) return FALSE;
        TOOLINFOW copy = *info;
        bool callback = reinterpret_cast<intptr_t>(info->lpszText) == -1 || IS_INTRESOURCE(info->lpszText);
        t->texts.emplace_back(!callback && info->lpszText ? info->lpszText : u"");
        copy.lpszText = nullptr;
        t->tools.push_back(copy);
        return TRUE;
    }
    case TTM_DELTOOLW: {
        auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
        if (!info) return 0;
        for (size_t i = 0; i < t->tools.size(); ++i)
            if (t->tools[i].hwnd == info->hwnd && t->tools[i].uId == info->uId) {
                t->tools.erase(t->tools.begin() + static_cast<long>(i));
                t->texts.erase(t->texts.begin() + static_cast<long>(i));
                break;
            }
        return 0;
    }
    case TTM_UPDATETIPTEXTW: {
        auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
        if (!info) return 0;
        for (size_t i = 0; i < t->tools.size(); ++i)
            if (t->tools[i].hwnd == info->hwnd && t->tools[i].uId == info->uId && info->lpszText &&
                !IS_INTRESOURCE(info->lpszText))
                t->texts[i] = info->lpszText;
        return 0;
    }
    case TTM_GETTOOLCOUNT: return static_cast<LRESULT>(t->tools.size());
    case TTM_SETTIPBKCOLOR: t->back = static_cast<COLORREF>(wParam); return 0;
    case TTM_SETTIPTEXTCOLOR: t->text = static_cast<COLORREF>(wParam); return 0;
    case TTM_GETTIPBKCOLOR: return t->back;
    case TTM_GETTIPTEXTCOLOR: return t->text;
    case TTM_SETDELAYTIME:
        if (wParam <= TTDT_INITIAL) t->delays[wParam] = static_cast<int>(LOWORD(lParam));
        return 0;
    case TTM_SETTITLEW:
    case TTM_ACTIVATE:
    case TTM_TRACKACTIVATE:
    case TTM_TRACKPOSITION:
    case TTM_SETMAXTIPWIDTH:
        return TRUE;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qplat::controls
