// The "STATIC" control: text (left, centred or right, wrapped at words), or a
// bitmap (SS_BITMAP, given with STM_SETIMAGE, the control taking its size),
// on the colour the parent chooses with WM_CTLCOLORSTATIC. With SS_NOTIFY a
// touch reports STN_CLICKED; without it the stylus passes to the parent.
#include "platform/controls/ControlsInternal.h"

namespace qplat::controls {
namespace {

struct Static {
    HBITMAP image = nullptr;
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

void Paint(HWND hwnd, Static& s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    HBRUSH brush = ColorFromParent(hwnd, dc, WM_CTLCOLORSTATIC);
    if (brush) FillRect(dc, &r, brush);
    DWORD type = Style(hwnd) & SS_TYPEMASK;
    if (type == SS_BITMAP) {
        BITMAP bm{};
        if (s.image && GetObjectW(s.image, sizeof bm, &bm)) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, s.image);
            BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
    } else if (type == SS_BLACKRECT || type == SS_WHITERECT) {
        FillSolid(dc, r, type == SS_BLACKRECT ? kBlack : kWhite);
    } else {
        WCHAR text[512];
        int n = static_cast<int>(DefWindowProcW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text)));
        HGDIOBJ oldFont = SelectObject(dc, ControlFont(hwnd));
        if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        UINT format = (type == SS_LEFTNOWORDWRAP) ? DT_SINGLELINE : DT_WORDBREAK;
        if (type == SS_CENTER) format |= DT_CENTER;
        if (type == SS_RIGHT) format |= DT_RIGHT;
        if (Style(hwnd) & SS_CENTERIMAGE) format = (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_VCENTER;
        if (Style(hwnd) & SS_NOPREFIX) format |= DT_NOPREFIX;
        DrawTextW(dc, text, n, &r, format);
        SelectObject(dc, oldFont);
    }
    EndPaint(hwnd, &ps);
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Static* s = TrackState<Static>(hwnd, msg);
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE:
        AdoptIntoParent(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_PAINT: Paint(hwnd, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_NCHITTEST: return (Style(hwnd) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONUP:
        if (Style(hwnd) & SS_NOTIFY) NotifyCommand(hwnd, STN_CLICKED);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        if (Style(hwnd) & SS_NOTIFY) NotifyCommand(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
        return 0;
    case STM_SETIMAGE: {
        if (wParam != IMAGE_BITMAP) return 0;
        HBITMAP old = s->image;
        s->image = reinterpret_cast<HBITMAP>(lParam);
        BITMAP bm{};
        if (s->image && GetObjectW(s->image, sizeof bm, &bm))
            SetWindowPos(hwnd, nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE: return wParam == IMAGE_BITMAP ? reinterpret_cast<LRESULT>(s->image) : 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_SETFONT:
        DefWindowProcW(hwnd, msg, wParam, 0);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qplat::controls
