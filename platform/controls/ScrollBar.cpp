// The "SCROLLBAR" control: arrows at both ends, a trough and a thumb. It tells
// its parent what the stylus asks for (WM_HSCROLL or WM_VSCROLL with the SB_
// code); the parent decides the new position and sets it, as on the handheld.
#include "platform/controls/ControlsInternal.h"

namespace qplat::controls {
namespace {

constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kRepeatFirstMs = 400;
constexpr UINT kRepeatNextMs = 80;

enum class Part { None, LineUp, PageUp, Thumb, PageDown, LineDown };

struct ScrollBar {
    SCROLLINFO info{sizeof(SCROLLINFO), 0, 0, 0, 0, 0, 0};
    bool vertical = false;
    Part pressed = Part::None;
    int grabOffset = 0;  // stylus offset within the thumb while dragging
    int trackPos = 0;
};

struct Layout {
    int length = 0;  // along the bar
    int arrow = 0;
    int thumbStart = 0, thumbLength = 0;
    int troughStart = 0, troughEnd = 0;
};

Layout LayoutOf(HWND hwnd, const ScrollBar& s, int pos)
{
    RECT r;
    GetClientRect(hwnd, &r);
    int along = s.vertical ? r.bottom : r.right;
    int across = s.vertical ? r.right : r.bottom;
    Layout l;
    l.length = along;
    l.arrow = std::min(across, along / 3);
    l.troughStart = l.arrow;
    l.troughEnd = along - l.arrow;
    int trough = std::max(0, l.troughEnd - l.troughStart);
    long long span = static_cast<long long>(s.info.nMax) - s.info.nMin + 1;
    if (s.info.nPage > 0 && span > 0)
        l.thumbLength = static_cast<int>(trough * static_cast<long long>(s.info.nPage) / span);
    else
        l.thumbLength = l.arrow;
    l.thumbLength = std::clamp(l.thumbLength, std::min(trough, 8), trough);
    long long top = ClampScrollPos(s.info, s.info.nMax);
    long long range = top - s.info.nMin;
    int free = trough - l.thumbLength;
    l.thumbStart = l.troughStart;
    if (range > 0 && free > 0)
        l.thumbStart += static_cast<int>((static_cast<long long>(pos) - s.info.nMin) * free / range);
    return l;
}

bool Enabled(HWND hwnd, const ScrollBar& s)
{
    return IsWindowEnabled(hwnd) && ClampScrollPos(s.info, s.info.nMax) > s.info.nMin;
}

Part HitTest(HWND hwnd, const ScrollBar& s, POINT p)
{
    Layout l = LayoutOf(hwnd, s, s.info.nPos);
    int v = s.vertical ? p.y : p.x;
    if (v < 0 || v >= l.length) return Part::None;
    if (v < l.arrow) return Part::LineUp;
    if (v >= l.troughEnd) return Part::LineDown;
    if (v < l.thumbStart) return Part::PageUp;
    if (v >= l.thumbStart + l.thumbLength) return Part::PageDown;
    return Part::Thumb;
}

void Send(HWND hwnd, const ScrollBar& s, WORD code, int pos)
{
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    SendMessageW(parent, s.vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(pos)),
                 reinterpret_cast<LPARAM>(hwnd));
}

WORD CodeOf(Part part)
{
    switch (part) {
    case Part::LineUp: return SB_LINEUP;
    case Part::PageUp: return SB_PAGEUP;
    case Part::PageDown: return SB_PAGEDOWN;
    case Part::LineDown: return SB_LINEDOWN;
    default: return SB_ENDSCROLL;
    }
}

int PosFromThumb(HWND hwnd, const ScrollBar& s, int thumbStart)
{
    Layout l = LayoutOf(hwnd, s, s.info.nPos);
    long long top = ClampScrollPos(s.info, s.info.nMax);
    int free = (l.troughEnd - l.troughStart) - l.thumbLength;
    if (free <= 0) return s.info.nMin;
    long long off = std::clamp(thumbStart - l.troughStart, 0, free);
    return static_cast<int>(s.info.nMin + (off * (top - s.info.nMin) + free / 2) / free);
}

void Paint(HWND hwnd, ScrollBar& s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    bool enabled = Enabled(hwnd, s);
    int pos = s.pressed == Part::Thumb ? s.trackPos : s.info.nPos;
    Layout l = LayoutOf(hwnd, s, pos);
    auto span = [&](int a, int b) {
        return s.vertical ? RECT{r.left, a, r.right, b} : RECT{a, r.top, b, r.bottom};
    };
    FillSolid(dc, r, kTrough);
    COLORREF arrowColor = enabled ? kBlack : kGreyText;
    RECT up = span(0, l.arrow), down = span(l.troughEnd, l.length);
    FillSolid(dc, up, s.pressed == Part::LineUp ? kThumb : kButtonFace);
    FillSolid(dc, down, s.pressed == Part::LineDown ? kThumb : kButtonFace);
    FrameSolid(dc, up, kFrame);
    FrameSolid(dc, down, kFrame);
    Arrow(dc, up, s.vertical ? 0 : 2, arrowColor);
    Arrow(dc, down, s.vertical ? 1 : 3, arrowColor);
    if (enabled) {
        RECT thumb = span(l.thumbStart, l.thumbStart + l.thumbLength);
        FillSolid(dc, thumb, kThumb);
        FrameSolid(dc, thumb, kFrame);
    }
    FrameSolid(dc, r, kFrame);
    EndPaint(hwnd, &ps);
}

void SetInfo(HWND hwnd, ScrollBar& s, const SCROLLINFO& from, bool redraw)
{
    ApplyScrollInfo(s.info, from);
    if (redraw) InvalidateRect(hwnd, nullptr, FALSE);
}

}  // namespace

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ScrollBar* s = TrackState<ScrollBar>(hwnd, msg);
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        AdoptIntoParent(hwnd, cs);
        s->vertical = (cs->style & SBS_VERT) != 0;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_PAINT: Paint(hwnd, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: {
        if (!Enabled(hwnd, *s)) return 0;
        POINT p = PointOf(lParam);
        Part part = HitTest(hwnd, *s, p);
        if (part == Part::None) return 0;
        SetCapture(hwnd);
        s->pressed = part;
        if (part == Part::Thumb) {
            Layout l = LayoutOf(hwnd, *s, s->info.nPos);
            s->grabOffset = (s->vertical ? p.y : p.x) - l.thumbStart;
            s->trackPos = s->info.nPos;
        } else {
            Send(hwnd, *s, CodeOf(part), 0);
            SetTimer(hwnd, kRepeatTimer, kRepeatFirstMs, nullptr);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kRepeatTimer) {
            if (GetCapture() != hwnd || s->pressed == Part::None || s->pressed == Part::Thumb) {
                KillTimer(hwnd, kRepeatTimer);
            } else {
                SetTimer(hwnd, kRepeatTimer, kRepeatNextMs, nullptr);
                Send(hwnd, *s, CodeOf(s->pressed), 0);
            }
        }
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd && s->pressed == Part::Thumb) {
            POINT p = PointOf(lParam);
            int pos = PosFromThumb(hwnd, *s, (s->vertical ? p.y : p.x) - s->grabOffset);
            if (pos != s->trackPos) {
                s->trackPos = pos;
                s->info.nTrackPos = pos;
                Send(hwnd, *s, SB_THUMBTRACK, pos);
                InvalidateRect(hwnd, nullptr, FALSE);
            }
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
        if (s->pressed == Part::None) return 0;
        Part was = s->pressed;
        s->pressed = Part::None;
        KillTimer(hwnd, kRepeatTimer);
        if (msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
        if (was == Part::Thumb) Send(hwnd, *s, SB_THUMBPOSITION, s->trackPos);
        Send(hwnd, *s, SB_ENDSCROLL, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case SBM_SETPOS: {
        int old = s->info.nPos;
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, static_cast<int>(wParam), 0};
        SetInfo(hwnd, *s, si, lParam != 0);
        return old;
    }
    case SBM_GETPOS: return s->info.nPos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        int old = s->info.nPos;
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE, static_cast<int>(wParam), static_cast<int>(lParam), 0, 0, 0};
        SetInfo(hwnd, *s, si, msg == SBM_SETRANGEREDRAW);
        return old;
    }
    case SBM_GETRANGE:
        if (wParam) *reinterpret_cast<LPINT>(wParam) = s->info.nMin;
        if (lParam) *reinterpret_cast<LPINT>(lParam) = s->info.nMax;
        return 0;
    case SBM_SETSCROLLINFO: {
        auto* si = reinterpret_cast<LPCSCROLLINFO>(lParam);
        if (si) SetInfo(hwnd, *s, *si, wParam != 0);
        return s->info.nPos;
    }
    case SBM_GETSCROLLINFO: {
        auto* si = reinterpret_cast<LPSCROLLINFO>(lParam);
        if (!si) return FALSE;
        if (si->fMask & SIF_RANGE) {
            si->nMin = s->info.nMin;
            si->nMax = s->info.nMax;
        }
        if (si->fMask & SIF_PAGE) si->nPage = s->info.nPage;
        if (si->fMask & SIF_POS) si->nPos = s->info.nPos;
        if (si->fMask & SIF_TRACKPOS) si->nTrackPos = s->pressed == Part::Thumb ? s->trackPos : s->info.nPos;
        return TRUE;
    }
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qplat::controls
