// The single-line "EDIT" control: text, selection and caret, replacement of
// the selection, a read-only mode (without a caret), digits-only input, and
// horizontal scrolling that keeps the caret in view. The caret is a steady line (no
// blinking) so that the screen stays the same between two snapshots.
#include "platform/controls/ControlsInternal.h"

namespace qplat::controls {
namespace {

constexpr int kMargin = 2;
constexpr size_t kDefaultLimit = 30000;

struct Edit {
    std::u16string text;
    size_t anchor = 0;  // the selection runs from anchor to caret
    size_t caret = 0;
    size_t limit = kDefaultLimit;
    int scroll = 0;  // pixels of text hidden on the left
    bool focused = false;
    bool selecting = false;
};

size_t SelStart(const Edit& e) { return std::min(e.anchor, e.caret); }
size_t SelEnd(const Edit& e) { return std::max(e.anchor, e.caret); }

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

// Keeps the window system's copy of the text (WM_GETTEXT of others, the
// dialog manager) in step with ours.
void SyncText(HWND hwnd, const Edit& e)
{
    DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(e.text.c_str()));
}

// Pixel x of a character position, before scrolling.
int XOf(HWND hwnd, const Edit& e, size_t pos)
{
    HDC dc = GetDC(hwnd);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
    int x = TextWidth(dc, e.text, pos);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return x;
}

size_t PosAt(HWND hwnd, const Edit& e, int x)
{
    HDC dc = GetDC(hwnd);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
    int target = x - kMargin + e.scroll;
    size_t best = 0;
    int prev = 0;
    for (size_t i = 1; i <= e.text.size(); ++i) {
        int w = TextWidth(dc, e.text, i);
        if (target < (prev + w) / 2) break;
        best = i;
        prev = w;
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return best;
}

void ScrollToCaret(HWND hwnd, Edit& e)
{
    RECT r;
    GetClientRect(hwnd, &r);
    int room = std::max(1, static_cast<int>(r.right) - 2 * kMargin - 1);
    int x = XOf(hwnd, e, e.caret);
    if (!(Style(hwnd) & ES_AUTOHSCROLL)) {
        e.scroll = 0;
        return;
    }
    if (x - e.scroll > room) e.scroll = x - room;
    if (x < e.scroll) e.scroll = std::max(0, x - room / 3);
    int full = XOf(hwnd, e, e.text.size());
    if (full - e.scroll < room) e.scroll = std::max(0, full - room);
}

void Changed(HWND hwnd, Edit& e, bool notify)
{
    SyncText(hwnd, e);
    ScrollToCaret(hwnd, e);
    InvalidateRect(hwnd, nullptr, FALSE);
    if (notify) {
        NotifyCommand(hwnd, EN_UPDATE);
        NotifyCommand(hwnd, EN_CHANGE);
    }
}

// Replaces the selection with `with`, within the limit; returns whether the
// text changed.
bool ReplaceSelection(HWND hwnd, Edit& e, std::u16string with)
{
    size_t a = SelStart(e), b = SelEnd(e);
    size_t room = e.limit > e.text.size() - (b - a) ? e.limit - (e.text.size() - (b - a)) : 0;
    if (with.size() > room) {
        with.resize(room);
        NotifyCommand(hwnd, EN_MAXTEXT);
    }
    if (a == b && with.empty()) return false;
    e.text.replace(a, b - a, with);
    e.caret = e.anchor = a + with.size();
    return true;
}

bool Accepts(HWND hwnd, WCHAR c)
{
    if (c < 0x20) return false;
    if ((Style(hwnd) & ES_NUMBER) && (c < u'0' || c > u'9')) return false;
    return true;
}

void Paint(HWND hwnd, Edit& e)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    DWORD style = Style(hwnd);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    bool readOnly = (style & ES_READONLY) != 0;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    HBRUSH brush = ColorFromParent(hwnd, dc, (readOnly || !enabled) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    if (brush) FillRect(dc, &r, brush);
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(hwnd));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int top = std::max(0, (static_cast<int>(r.bottom) - static_cast<int>(tm.tmHeight)) / 2);
    HRGN clip = CreateRectRgn(kMargin - 1, 0, r.right - kMargin + 1, r.bottom);
    SelectClipRgn(dc, clip);
    int x0 = kMargin - e.scroll;
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, x0, top, e.text.c_str(), static_cast<int>(e.text.size()));
    size_t a = SelStart(e), b = SelEnd(e);
    if (a != b && e.focused) {
        int xa = x0 + TextWidth(dc, e.text, a), xb = x0 + TextWidth(dc, e.text, b);
        FillSolid(dc, RECT{xa, top, xb, top + tm.tmHeight}, GetSysColor(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        TextOutW(dc, xa, top, e.text.c_str() + a, static_cast<int>(b - a));
    }
    // A read-only field only shows a text: a caret there would promise typing.
    if (e.focused && a == b && !readOnly) {
        int xc = x0 + TextWidth(dc, e.text, e.caret);
        FillSolid(dc, RECT{xc, top, xc + 1, top + tm.tmHeight}, GetSysColor(COLOR_WINDOWTEXT));
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

void SetSel(HWND hwnd, Edit& e, LONG_PTR start, LONG_PTR end)
{
    size_t n = e.text.size();
    if (start < 0) {  // removes the selection, the caret stays
        e.anchor = e.caret;
    } else {
        size_t s = std::min(static_cast<size_t>(start), n);
        size_t f = end < 0 ? n : std::min(static_cast<size_t>(end), n);
        e.anchor = s;
        e.caret = f;
    }
    ScrollToCaret(hwnd, e);
    InvalidateRect(hwnd, nullptr, FALSE);
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Edit* e = TrackState<Edit>(hwnd, msg);
    if (!e) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        AdoptIntoParent(hwnd, cs);
        if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) e->text = cs->lpszName;
        SyncText(hwnd, *e);
        return TRUE;
    }
    case WM_SETTEXT: {
        auto* text = reinterpret_cast<LPCWSTR>(lParam);
        e->text = text ? std::u16string(text) : std::u16string();
        if (e->text.size() > e->limit) e->text.resize(e->limit);
        e->anchor = e->caret = 0;
        e->scroll = 0;
        Changed(hwnd, *e, true);
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        if (!out || wParam == 0) return 0;
        size_t n = std::min(e->text.size(), static_cast<size_t>(wParam) - 1);
        std::copy_n(e->text.begin(), n, out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(e->text.size());
    case WM_SETFONT: {
        DefWindowProcW(hwnd, msg, wParam, 0);
        ScrollToCaret(hwnd, *e);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_PAINT: Paint(hwnd, *e); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETFOCUS:
        e->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyCommand(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        e->focused = false;
        e->selecting = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyCommand(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
        if (!TakeFocusForPress(hwnd)) return 0;  // `e` may be gone with the window
        e->caret = e->anchor = PosAt(hwnd, *e, PointOf(lParam).x);
        e->selecting = true;
        SetCapture(hwnd);
        ScrollToCaret(hwnd, *e);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (e->selecting && GetCapture() == hwnd) {
            size_t pos = PosAt(hwnd, *e, PointOf(lParam).x);
            if (pos != e->caret) {
                e->caret = pos;
                ScrollToCaret(hwnd, *e);
                InvalidateRect(hwnd, nullptr, FALSE);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (e->selecting) {
            e->selecting = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED: e->selecting = false; return 0;
    case WM_CHAR: {
        if (Style(hwnd) & ES_READONLY) return 0;
        auto c = static_cast<WCHAR>(wParam);
        if (c == VK_BACK) {
            if (SelStart(*e) == SelEnd(*e) && e->caret > 0) e->anchor = e->caret - 1;
            if (ReplaceSelection(hwnd, *e, u"")) Changed(hwnd, *e, true);
            return 0;
        }
        if (!Accepts(hwnd, c)) return 0;
        if (ReplaceSelection(hwnd, *e, std::u16string(1, c))) Changed(hwnd, *e, true);
        return 0;
    }
    case WM_KEYDOWN: {
        size_t n = e->text.size();
        switch (wParam) {
        case VK_LEFT: e->caret = e->anchor = (SelStart(*e) != SelEnd(*e)) ? SelStart(*e) : (e->caret ? e->caret - 1 : 0); break;
        case VK_RIGHT: e->caret = e->anchor = (SelStart(*e) != SelEnd(*e)) ? SelEnd(*e) : std::min(n, e->caret + 1); break;
        case VK_DELETE:
            if (Style(hwnd) & ES_READONLY) return 0;
            if (SelStart(*e) == SelEnd(*e) && e->caret < n) e->anchor = e->caret + 1;
            if (ReplaceSelection(hwnd, *e, u"")) Changed(hwnd, *e, true);
            return 0;
        default: return 0;
        }
        ScrollToCaret(hwnd, *e);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case EM_GETSEL: {
        auto a = static_cast<DWORD>(SelStart(*e)), b = static_cast<DWORD>(SelEnd(*e));
        if (wParam) *reinterpret_cast<LPDWORD>(wParam) = a;
        if (lParam) *reinterpret_cast<LPDWORD>(lParam) = b;
        return MAKELRESULT(std::min<DWORD>(a, 0xFFFF), std::min<DWORD>(b, 0xFFFF));
    }
    case EM_SETSEL:
        SetSel(hwnd, *e, static_cast<LONG_PTR>(static_cast<int>(wParam)), static_cast<LONG_PTR>(static_cast<int>(lParam)));
        return 0;
    case EM_REPLACESEL: {
        auto* text = reinterpret_cast<LPCWSTR>(lParam);
        if (ReplaceSelection(hwnd, *e, text ? std::u16string(text) : std::u16string())) Changed(hwnd, *e, true);
        else ScrollToCaret(hwnd, *e);
        return 0;
    }
    case EM_SCROLLCARET: ScrollToCaret(hwnd, *e); InvalidateRect(hwnd, nullptr, FALSE); return TRUE;
    case EM_LIMITTEXT:
        e->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<size_t>(wParam);
        return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(e->limit);
    case EM_SETREADONLY: {
        LONG_PTR style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~static_cast<LONG_PTR>(ES_READONLY)));
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case EM_GETLINECOUNT: return 1;
    case EM_GETMODIFY: return 0;
    case EM_SETMODIFY: return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qplat::controls
