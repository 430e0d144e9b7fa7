// The "COMBOBOX" control as a drop-down list: a closed box showing the
// selected entry with an arrow button, and a list that drops down below it
// (a pop-up window of class "ComboLBox") when the stylus touches the box. The
// height given at creation is the height of the dropped-down list; the box
// itself takes one line of its font.
#include <vector>

#include "platform/controls/ControlsInternal.h"

namespace qplat::controls {
namespace {

struct Entry {
    std::u16string text;
    LPARAM data = 0;
};

struct Combo {
    std::vector<Entry> items;
    int selected = CB_ERR;
    int droppedHeight = 0;  // as created: the box and its list
    int itemHeight = 0;     // 0 until the font is known
    HWND list = nullptr;    // the dropped-down list while shown
    int listTop = 0;        // first entry shown in the list
    int listPressed = -1;   // entry under the stylus in the list
    bool focused = false;
};

struct ComboList {
    HWND combo = nullptr;
};

int ItemHeight(HWND hwnd, Combo& c)
{
    if (c.itemHeight <= 0) c.itemHeight = LineHeight(hwnd) + 4;
    return c.itemHeight;
}

// The box is one line high; keeps the top-left corner.
void FitBox(HWND hwnd, Combo& c)
{
    int h = ItemHeight(hwnd, c) + 4;
    RECT r;
    GetWindowRect(hwnd, &r);
    int w = r.right - r.left;
    SetWindowPos(hwnd, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Valid(const Combo& c, WPARAM index)
{
    return static_cast<size_t>(index) < c.items.size();
}

void Paint(HWND hwnd, Combo& c)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    HBRUSH brush = ColorFromParent(hwnd, dc, WM_CTLCOLORSTATIC);
    if (brush) FillRect(dc, &r, brush);
    int button = std::min<int>(r.bottom, r.right / 2);
    RECT text{r.left, r.top, r.right - button, r.bottom};
    RECT arrow{r.right - button, r.top, r.right, r.bottom};
    if (c.focused && c.selected >= 0) {
        RECT hl = text;
        InflateRect(&hl, -2, -2);
        FillSolid(dc, hl, GetSysColor(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    if (Valid(c, static_cast<WPARAM>(c.selected))) {
        HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
        SetBkMode(dc, TRANSPARENT);
        RECT t = text;
        t.left += 4;
        const std::u16string& s = c.items[static_cast<size_t>(c.selected)].text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
        SelectObject(dc, old);
    }
    FillSolid(dc, arrow, c.list ? kThumb : kButtonFace);
    FrameSolid(dc, arrow, kFrame);
    Arrow(dc, arrow, 1, enabled ? kBlack : kGreyText);
    FrameSolid(dc, r, kFrame);
    EndPaint(hwnd, &ps);
}

int VisibleRows(HWND list, int itemHeight)
{
    RECT r;
    GetClientRect(list, &r);
    return std::max(1, static_cast<int>(r.bottom) / std::max(1, itemHeight));
}

void ShowList(HWND hwnd, Combo& c);

void CloseList(HWND hwnd, Combo& c, bool accepted)
{
    if (!c.list) return;
    HWND list = c.list;
    c.list = nullptr;
    c.listPressed = -1;
    if (GetCapture() == list) ReleaseCapture();
    DestroyWindow(list);
    InvalidateRect(hwnd, nullptr, FALSE);
    NotifyCommand(hwnd, CBN_CLOSEUP);
    NotifyCommand(hwnd, accepted ? CBN_SELENDOK : CBN_SELENDCANCEL);
}

void ShowList(HWND hwnd, Combo& c)
{
    if (c.list || !IsWindowEnabled(hwnd)) return;
    NotifyCommand(hwnd, CBN_DROPDOWN);
    RECT box;
    GetWindowRect(hwnd, &box);
    int ih = ItemHeight(hwnd, c);
    int room = std::max(ih, c.droppedHeight - (box.bottom - box.top));
    int rows = std::max(1, std::min(static_cast<int>(c.items.size()), room / ih));
    int h = rows * ih + 2;
    int y = box.bottom;
    if (y + h > kScreenHeight && box.top - h >= 0) y = box.top - h;
    HWND root = GetParent(hwnd);
    while (root && (GetWindowLongW(root, GWL_STYLE) & WS_CHILD)) root = GetParent(root);
    c.listTop = std::clamp(c.selected, 0, std::max(0, static_cast<int>(c.items.size()) - rows));
    c.list = CreateWindowExW(WS_EX_TOPMOST, u"ComboLBox", u"", WS_POPUP | WS_BORDER, box.left, y,
                             box.right - box.left, h, root, nullptr, nullptr, hwnd);
    if (!c.list) return;
    ShowWindow(c.list, SW_SHOWNA);
    SetCapture(c.list);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Select(HWND hwnd, Combo& c, int index, bool notify)
{
    if (index == c.selected) return;
    c.selected = index;
    InvalidateRect(hwnd, nullptr, FALSE);
    if (notify) NotifyCommand(hwnd, CBN_SELCHANGE);
}

int Find(const Combo& c, WPARAM start, LPCWSTR text, bool exact)
{
    if (!text || c.items.empty()) return CB_ERR;
    std::u16string key(text);
    size_t n = c.items.size();
    // The search begins after `start` and wraps; -1 (or an index out of the
    // list) searches from the first entry.
    size_t first = (static_cast<int>(start) < 0 || static_cast<size_t>(start) >= n) ? 0 : static_cast<size_t>(start) + 1;
    for (size_t k = 0; k < n; ++k) {
        size_t i = (first + k) % n;
        bool hit = exact ? EqualsNoCase(c.items[i].text, key) : StartsWithNoCase(c.items[i].text, key);
        if (hit) return static_cast<int>(i);
    }
    return CB_ERR;
}

int Insert(HWND hwnd, Combo& c, size_t at, LPCWSTR text)
{
    Entry e;
    if (text) e.text = text;
    if (GetWindowLongW(hwnd, GWL_STYLE) & CBS_SORT) {
        at = 0;
        while (at < c.items.size() && c.items[at].text < e.text) ++at;
    }
    at = std::min(at, c.items.size());
    c.items.insert(c.items.begin() + static_cast<long>(at), e);
    if (c.selected >= static_cast<int>(at)) ++c.selected;
    if (c.list) InvalidateRect(c.list, nullptr, FALSE);
    return static_cast<int>(at);
}

}  // namespace

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Combo* c = TrackState<Combo>(hwnd, msg);
    if (!c) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        AdoptIntoParent(hwnd, cs);
        c->droppedHeight = cs->cy;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_CREATE: FitBox(hwnd, *c); return 0;
    case WM_DESTROY:
        if (c->list) {
            HWND list = c->list;
            c->list = nullptr;
            DestroyWindow(list);
        }
        return 0;
    case WM_SETFONT:
        DefWindowProcW(hwnd, msg, wParam, 0);
        c->itemHeight = 0;
        FitBox(hwnd, *c);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_PAINT: Paint(hwnd, *c); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE:
        if (!wParam) CloseList(hwnd, *c, false);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
        c->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyCommand(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        c->focused = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyCommand(hwnd, CBN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
        // A press a modal screen took over opens no list that would hold
        // the stylus until the next tap.
        if (!TakeFocusForPress(hwnd)) return 0;
        if (c->list) CloseList(hwnd, *c, false);
        else ShowList(hwnd, *c);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        if (!out || wParam == 0) return 0;
        std::u16string s = Valid(*c, static_cast<WPARAM>(c->selected)) ? c->items[static_cast<size_t>(c->selected)].text : u"";
        size_t n = std::min(s.size(), static_cast<size_t>(wParam) - 1);
        std::copy_n(s.begin(), n, out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
        return Valid(*c, static_cast<WPARAM>(c->selected)) ? static_cast<LRESULT>(c->items[static_cast<size_t>(c->selected)].text.size()) : 0;
    case CB_ADDSTRING: return Insert(hwnd, *c, c->items.size(), reinterpret_cast<LPCWSTR>(lParam));
    case CB_INSERTSTRING: {
        int at = static_cast<int>(wParam);
        if (at >= 0 && static_cast<size_t>(at) > c->items.size()) return CB_ERR;
        LONG_PTR style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(CBS_SORT));  // an index is an index
        int r = Insert(hwnd, *c, at < 0 ? c->items.size() : static_cast<size_t>(at), reinterpret_cast<LPCWSTR>(lParam));
        SetWindowLongW(hwnd, GWL_STYLE, style);
        return r;
    }
    case CB_DELETESTRING: {
        if (!Valid(*c, wParam)) return CB_ERR;
        int at = static_cast<int>(wParam);
        c->items.erase(c->items.begin() + at);
        if (c->selected == at) c->selected = CB_ERR;
        else if (c->selected > at) --c->selected;
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(c->items.size());
    }
    case CB_RESETCONTENT:
        CloseList(hwnd, *c, false);
        c->items.clear();
        c->selected = CB_ERR;
        InvalidateRect(hwnd, nullptr, FALSE);
        return CB_OKAY;
    case CB_GETCOUNT: return static_cast<LRESULT>(c->items.size());
    case CB_GETCURSEL: return c->selected;
    case CB_SETCURSEL:
        if (!Valid(*c, wParam)) {
            Select(hwnd, *c, CB_ERR, false);
            return CB_ERR;
        }
        Select(hwnd, *c, static_cast<int>(wParam), false);
        return c->selected;
    case CB_GETLBTEXT: {
        if (!Valid(*c, wParam)) return CB_ERR;
        const std::u16string& s = c->items[wParam].text;
        auto* out = reinterpret_cast<LPWSTR>(lParam);
        if (out) {
            std::copy(s.begin(), s.end(), out);
            out[s.size()] = 0;
        }
        return static_cast<LRESULT>(s.size());
    }
    case CB_GETLBTEXTLEN: return Valid(*c, wParam) ? static_cast<LRESULT>(c->items[wParam].text.size()) : CB_ERR;
    case CB_FINDSTRING: return Find(*c, wParam, reinterpret_cast<LPCWSTR>(lParam), false);
    case CB_FINDSTRINGEXACT: return Find(*c, wParam, reinterpret_cast<LPCWSTR>(lParam), true);
    case CB_SELECTSTRING: {
        int i = Find(*c, wParam, reinterpret_cast<LPCWSTR>(lParam), false);
        if (i != CB_ERR) Select(hwnd, *c, i, false);
        return i;
    }
    case CB_GETITEMDATA: return Valid(*c, wParam) ? c->items[wParam].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!Valid(*c, wParam)) return CB_ERR;
        c->items[wParam].data = lParam;
        return CB_OKAY;
    case CB_SHOWDROPDOWN:
        if (wParam) ShowList(hwnd, *c);
        else CloseList(hwnd, *c, false);
        return TRUE;
    case CB_GETDROPPEDSTATE: return c->list ? TRUE : FALSE;
    case CB_GETITEMHEIGHT: return ItemHeight(hwnd, *c);
    case CB_SETITEMHEIGHT:
        if (static_cast<int>(lParam) <= 0) return CB_ERR;
        c->itemHeight = static_cast<int>(lParam);
        if (static_cast<int>(wParam) == -1) FitBox(hwnd, *c);
        return 0;
    case CB_GETDROPPEDCONTROLRECT: {
        auto* out = reinterpret_cast<LPRECT>(lParam);
        if (!out) return CB_ERR;
        GetWindowRect(hwnd, out);
        out->bottom = out->top + c->droppedHeight;
        return TRUE;
    }
    case CB_LIMITTEXT: return TRUE;
    case CB_GETEDITSEL: return 0;
    case CB_SETEDITSEL: return CB_ERR;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

namespace {

void PaintList(HWND list, HWND combo, Combo& c)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(list, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(list, &r);
    FillSolid(dc, r, GetSysColor(COLOR_WINDOW));
    int ih = ItemHeight(combo, c);
    HGDIOBJ old = SelectObject(dc, ControlFont(combo));
    SetBkMode(dc, TRANSPARENT);
    int rows = VisibleRows(list, ih);
    bool scrolls = static_cast<int>(c.items.size()) > rows;
    int strip = scrolls ? std::min<int>(GetSystemMetrics(SM_CXVSCROLL), r.right / 4) : 0;
    for (int k = 0; k < rows; ++k) {
        size_t i = static_cast<size_t>(c.listTop + k);
        if (i >= c.items.size()) break;
        RECT row{0, k * ih, r.right - strip, (k + 1) * ih};
        bool hot = static_cast<int>(i) == (c.listPressed >= 0 ? c.listPressed : c.selected);
        if (hot) FillSolid(dc, row, GetSysColor(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(hot ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT t = row;
        t.left += 4;
        const std::u16string& s = c.items[i].text;
        DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    }
    if (scrolls) {
        RECT up{r.right - strip, 0, r.right, r.bottom / 2}, down{r.right - strip, r.bottom / 2, r.right, r.bottom};
        FillSolid(dc, up, kButtonFace);
        FillSolid(dc, down, kButtonFace);
        FrameSolid(dc, up, kFrame);
        FrameSolid(dc, down, kFrame);
        Arrow(dc, up, 0, c.listTop > 0 ? kBlack : kGreyText);
        Arrow(dc, down, 1, c.listTop + rows < static_cast<int>(c.items.size()) ? kBlack : kGreyText);
    }
    SelectObject(dc, old);
    EndPaint(list, &ps);
}

// Which entry (or scroll half: -2 up, -3 down) the stylus is on; -1 outside.
int ListHit(HWND list, HWND combo, Combo& c, POINT p)
{
    RECT r;
    GetClientRect(list, &r);
    if (!PtInRect(&r, p)) return -1;
    int ih = ItemHeight(combo, c);
    int rows = VisibleRows(list, ih);
    if (static_cast<int>(c.items.size()) > rows) {
        int strip = std::min<int>(GetSystemMetrics(SM_CXVSCROLL), r.right / 4);
        if (p.x >= r.right - strip) return p.y < r.bottom / 2 ? -2 : -3;
    }
    int i = c.listTop + p.y / ih;
    return i < static_cast<int>(c.items.size()) ? i : -1;
}

}  // namespace

LRESULT CALLBACK ComboListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ComboList* l = TrackState<ComboList>(hwnd, msg);
    if (msg == WM_NCCREATE && l) {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        l->combo = static_cast<HWND>(cs->lpCreateParams);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    if (!l) return DefWindowProcW(hwnd, msg, wParam, lParam);
    HWND combo = l->combo;
    Combo* c = IsWindow(combo) ? StateOf<Combo>(combo) : nullptr;
    if (!c || c->list != hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_PAINT: PaintList(hwnd, combo, *c); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE: {
        int hit = ListHit(hwnd, combo, *c, PointOf(lParam));
        if (msg == WM_LBUTTONDOWN && hit == -1) {
            CloseList(combo, *c, false);  // a touch outside the list closes it
            return 0;
        }
        int rows = VisibleRows(hwnd, ItemHeight(combo, *c));
        int maxTop = std::max(0, static_cast<int>(c->items.size()) - rows);
        if (msg == WM_LBUTTONDOWN && hit == -2) c->listTop = std::max(0, c->listTop - rows);
        if (msg == WM_LBUTTONDOWN && hit == -3) c->listTop = std::min(maxTop, c->listTop + rows);
        if (hit >= 0 && (msg == WM_LBUTTONDOWN || c->listPressed >= 0)) c->listPressed = hit;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_LBUTTONUP: {
        int hit = ListHit(hwnd, combo, *c, PointOf(lParam));
        bool pressed = c->listPressed >= 0;
        c->listPressed = -1;
        if (!pressed) {
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        }
        if (hit >= 0) {
            Select(combo, *c, hit, true);
            CloseList(combo, *c, true);
        } else if (hit == -1) {
            CloseList(combo, *c, false);
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) CloseList(combo, *c, false);
        return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qplat::controls
