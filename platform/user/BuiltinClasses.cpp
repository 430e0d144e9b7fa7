// The classes the window system itself provides: the dialog class and plain
// stand-ins for the standard controls, so that a dialog template naming them
// always opens. The full controls of platform/controls replace the stand-ins
// through qplat::RegisterSystemClass.
//
// The stand-in button is complete for owner-drawn buttons (pressed state,
// capture, WM_DRAWITEM to the parent, BN_CLICKED) and draws a plain face
// otherwise; the others show their text (or bitmap) on the colour the parent
// chooses through WM_CTLCOLOR....

#include <mutex>

#include "platform/WinCtrl.h"
#include "platform/WinText.h"
#include "platform/user/UserInternal.h"

using namespace qplat::user;

namespace {

// Extra bytes of the stand-ins.
constexpr int kStateIndex = 0;                   // button: BST_* bits
constexpr int kImageIndex = sizeof(LONG_PTR);    // static: bitmap
constexpr int kExtraBytes = 2 * sizeof(LONG_PTR);

UINT Type(HWND hwnd)
{
    return static_cast<UINT>(GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK);
}

void Notify(HWND hwnd, WORD code)
{
    HWND parent = GetParent(hwnd);
    if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

std::u16string TextOf(HWND hwnd)
{
    WCHAR buffer[512];
    int n = GetWindowTextW(hwnd, buffer, 512);
    return std::u16string(buffer, static_cast<size_t>(n));
}

HBRUSH ColorFromParent(HWND hwnd, HDC dc, UINT msg)
{
    HWND parent = GetParent(hwnd);
    HBRUSH brush = nullptr;
    if (parent) brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    if (!brush) brush = reinterpret_cast<HBRUSH>(DefWindowProcW(hwnd, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    return brush;
}

void PaintButton(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    LONG_PTR state = GetWindowLongW(hwnd, kStateIndex);
    bool disabled = !IsWindowEnabled(hwnd);
    if (Type(hwnd) == BS_OWNERDRAW) {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        dis.itemAction = ODA_DRAWENTIRE;
        if (state & BST_PUSHED) dis.itemState |= ODS_SELECTED;
        if (disabled) dis.itemState |= ODS_DISABLED;
        if (GetFocus() == hwnd) dis.itemState |= ODS_FOCUS;
        dis.hwndItem = hwnd;
        dis.hDC = dc;
        dis.rcItem = r;
        HWND parent = GetParent(hwnd);
        if (parent) SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        EndPaint(hwnd, &ps);
        return;
    }
    HBRUSH brush = ColorFromParent(hwnd, dc, WM_CTLCOLORBTN);
    if (brush) FillRect(dc, &r, brush);
    UINT type = Type(hwnd);
    std::u16string text = TextOf(hwnd);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    if (disabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
        int box = std::min<LONG>(13, r.bottom - r.top);
        RECT b{r.left, r.top + (r.bottom - r.top - box) / 2, r.left + box, r.top + (r.bottom - r.top - box) / 2 + box};
        HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
        FrameRect(dc, &b, black);
        if (state & BST_CHECKED) {
            RECT in{b.left + 3, b.top + 3, b.right - 3, b.bottom - 3};
            FillRect(dc, &in, black);
        }
        DeleteObject(black);
        RECT t{r.left + box + 4, r.top, r.right, r.bottom};
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    } else {
        HBRUSH frame = CreateSolidBrush(RGB(0, 0, 0));
        FrameRect(dc, &r, frame);
        DeleteObject(frame);
        if (state & BST_PUSHED) InvertRect(dc, &r);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    if (oldFont) SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

void SetPushed(HWND hwnd, bool pushed)
{
    LONG_PTR state = GetWindowLongW(hwnd, kStateIndex);
    LONG_PTR next = pushed ? (state | BST_PUSHED) : (state & ~static_cast<LONG_PTR>(BST_PUSHED));
    if (next == state) return;
    SetWindowLongW(hwnd, kStateIndex, next);
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
}

bool Inside(HWND hwnd, LPARAM lParam)
{
    RECT r;
    GetClientRect(hwnd, &r);
    POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    return PtInRect(&r, p) != FALSE;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: PaintButton(hwnd); return 0;
    case WM_ERASEBKGND: return 1;  // the face covers the whole control
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        SetPushed(hwnd, true);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd) SetPushed(hwnd, Inside(hwnd, lParam));
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() != hwnd) return 0;
        bool clicked = (GetWindowLongW(hwnd, kStateIndex) & BST_PUSHED) && Inside(hwnd, lParam);
        ReleaseCapture();
        SetPushed(hwnd, false);
        if (clicked) {
            UINT type = Type(hwnd);
            LONG_PTR state = GetWindowLongW(hwnd, kStateIndex);
            if (type == BS_AUTOCHECKBOX) SetWindowLongW(hwnd, kStateIndex, state ^ BST_CHECKED);
            if (type == BS_AUTORADIOBUTTON) SetWindowLongW(hwnd, kStateIndex, state | BST_CHECKED);
            Notify(hwnd, BN_CLICKED);
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) SetPushed(hwnd, false);
        return 0;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case BM_GETCHECK: return GetWindowLongW(hwnd, kStateIndex) & (BST_CHECKED | BST_INDETERMINATE);
    case BM_SETCHECK: {
        LONG_PTR state = GetWindowLongW(hwnd, kStateIndex) & ~static_cast<LONG_PTR>(BST_CHECKED | BST_INDETERMINATE);
        SetWindowLongW(hwnd, kStateIndex, state | static_cast<LONG_PTR>(wParam & (BST_CHECKED | BST_INDETERMINATE)));
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case BM_GETSTATE: return GetWindowLongW(hwnd, kStateIndex);
    case BM_SETSTATE: SetPushed(hwnd, wParam != 0); return 0;
    case BM_CLICK: Notify(hwnd, BN_CLICKED); return 0;
    case WM_GETDLGCODE: return Type(hwnd) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON | DLGC_BUTTON : DLGC_BUTTON;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void PaintStatic(HWND hwnd, UINT colorMsg, bool frame)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = ColorFromParent(hwnd, dc, colorMsg);
    if (brush) FillRect(dc, &r, brush);
    LONG_PTR style = GetWindowLongW(hwnd, GWL_STYLE);
    auto bitmap = reinterpret_cast<HBITMAP>(GetWindowLongW(hwnd, kImageIndex));
    if (colorMsg == WM_CTLCOLORSTATIC && (style & SS_TYPEMASK) == SS_BITMAP) {
        if (bitmap) {
            BITMAP bm{};
            if (GetObjectW(bitmap, sizeof bm, &bm)) {
                HDC mem = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(mem, bitmap);
                BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
                SelectObject(mem, old);
                DeleteDC(mem);
            }
        }
    } else {
        std::u16string text = TextOf(hwnd);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
        HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
        UINT format = DT_WORDBREAK;
        if ((style & SS_TYPEMASK) == SS_CENTER) format |= DT_CENTER;
        if ((style & SS_TYPEMASK) == SS_RIGHT) format |= DT_RIGHT;
        if (colorMsg != WM_CTLCOLORSTATIC) format = DT_SINGLELINE | DT_VCENTER;
        RECT t = r;
        if (frame) InflateRect(&t, -2, 0);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, format);
        if (oldFont) SelectObject(dc, oldFont);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: PaintStatic(hwnd, WM_CTLCOLORSTATIC, false); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_NCHITTEST:
        return (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONUP:
        if (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY) Notify(hwnd, STN_CLICKED);
        return 0;
    case STM_SETIMAGE: {
        LONG_PTR old = SetWindowLongW(hwnd, kImageIndex, lParam);
        BITMAP bm{};
        if (lParam && GetObjectW(reinterpret_cast<HGDIOBJ>(lParam), sizeof bm, &bm))
            SetWindowPos(hwnd, nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    case STM_GETIMAGE: return GetWindowLongW(hwnd, kImageIndex);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// Edit, list, combo box and scroll bar until the real controls register:
// they keep and show their text and stay out of the way otherwise.
LRESULT CALLBACK PlainControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: PaintStatic(hwnd, WM_CTLCOLOREDIT, true); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case CB_GETCURSEL:
    case LB_GETCURSEL: return -1;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void RegisterIfMissing(const char16_t* name, WNDPROC proc, int extra, HBRUSH background)
{
    {
        std::lock_guard<std::mutex> g(S().lock);
        if (FindClassLocked(name, nullptr)) return;
    }
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = extra;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    qplat::RegisterSystemClass(wc);
}

}  // namespace

namespace qplat::user {

void EnsureBuiltinClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qplat::RegisterBuiltinControls();  // the full controls of platform/controls
        RegisterIfMissing(u"#32770", DialogWndProc, DLGWINDOWEXTRA, nullptr);
        RegisterIfMissing(u"BUTTON", ButtonProc, kExtraBytes, nullptr);
        RegisterIfMissing(u"STATIC", StaticProc, kExtraBytes, nullptr);
        RegisterIfMissing(u"EDIT", PlainControlProc, kExtraBytes, nullptr);
        RegisterIfMissing(u"LISTBOX", PlainControlProc, kExtraBytes, nullptr);
        RegisterIfMissing(u"COMBOBOX", PlainControlProc, kExtraBytes, nullptr);
        RegisterIfMissing(u"SCROLLBAR", PlainControlProc, kExtraBytes, nullptr);
    });
}

}  // namespace qplat::user
