// The "SysListView32" control in report view: columns with an optional
// header, rows of texts, selection and focus states, full-row selection, grid
// lines, custom draw per item and sub-item, sorting with the program's
// comparison, finding, and scrolling by stylus (dragging the rows or using
// the scroll strips).
#include <vector>

#include "platform/WinKernel.h"
#include "platform/controls/ControlsInternal.h"

namespace qplat::controls {
namespace {

constexpr int kPad = 4;
constexpr int kDragThreshold = 6;
constexpr DWORD kDoubleTapMs = 500;
// A cell's text, and a header's: one line, and one too wide for its column
// ends in "..." rather than in a cut letter.
constexpr UINT kCellText = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;

struct Column {
    std::u16string text;
    int fmt = LVCFMT_LEFT;
    int width = 50;
    int subItem = 0;
};

struct Item {
    std::vector<std::u16string> texts;  // by sub-item
    UINT state = 0;
    LPARAM lParam = 0;
};

enum class Press { None, Rows, Header, VStrip, HStrip };

struct ListView {
    std::vector<Column> columns;
    std::vector<Item> items;
    DWORD exStyle = 0;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textBkColor = CLR_NONE;
    int top = 0;      // first row shown
    int hscroll = 0;  // pixels of the columns hidden on the left
    int rowHeight = 0;
    bool focused = false;

    Press press = Press::None;
    POINT down{0, 0};
    int downTop = 0, downH = 0;
    bool dragged = false;
    int downItem = -1, downSub = -1;
    int lastTapItem = -2;
    DWORD lastTapTime = 0;
};

struct Geometry {
    RECT client{};
    int header = 0;  // header height (0 when hidden)
    RECT rows{};     // area of the rows
    int rowHeight = 16;
    int visible = 1;      // rows that fit whole
    bool vstrip = false, hstrip = false;
    int strip = 0;
    int totalWidth = 0;
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

int RowHeight(HWND hwnd, ListView& l)
{
    if (l.rowHeight <= 0) l.rowHeight = LineHeight(hwnd) + 4;
    return l.rowHeight;
}

Geometry GeometryOf(HWND hwnd, ListView& l)
{
    Geometry g;
    GetClientRect(hwnd, &g.client);
    g.rowHeight = RowHeight(hwnd, l);
    g.header = (Style(hwnd) & LVS_NOCOLUMNHEADER) ? 0 : g.rowHeight + 2;
    for (const Column& c : l.columns) g.totalWidth += std::max(0, c.width);
    g.strip = std::max(8, std::min<int>(GetSystemMetrics(SM_CXVSCROLL), g.client.right / 4));
    int width = g.client.right, height = g.client.bottom - g.header;
    // A strip takes room from the other direction, so decide twice.
    for (int pass = 0; pass < 2; ++pass) {
        int rowsRoom = height - (g.hstrip ? g.strip : 0);
        g.vstrip = (Style(hwnd) & WS_VSCROLL) && static_cast<int>(l.items.size()) * g.rowHeight > rowsRoom;
        g.hstrip = (Style(hwnd) & WS_HSCROLL) && g.totalWidth > width - (g.vstrip ? g.strip : 0);
    }
    g.rows = RECT{0, g.header, width - (g.vstrip ? g.strip : 0), g.client.bottom - (g.hstrip ? g.strip : 0)};
    g.visible = std::max(1, static_cast<int>(g.rows.bottom - g.rows.top) / g.rowHeight);
    return g;
}

void Clamp(HWND hwnd, ListView& l)
{
    Geometry g = GeometryOf(hwnd, l);
    int maxTop = std::max(0, static_cast<int>(l.items.size()) - g.visible);
    l.top = std::clamp(l.top, 0, maxTop);
    int maxH = std::max(0, g.totalWidth - static_cast<int>(g.rows.right));
    l.hscroll = std::clamp(l.hscroll, 0, maxH);
}

void Redraw(HWND hwnd, ListView& l)
{
    Clamp(hwnd, l);
    InvalidateRect(hwnd, nullptr, FALSE);
}

const std::u16string& TextOf(const Item& it, int sub)
{
    static const std::u16string empty;
    return (sub >= 0 && static_cast<size_t>(sub) < it.texts.size()) ? it.texts[static_cast<size_t>(sub)] : empty;
}

void SetTextOf(Item& it, int sub, LPCWSTR text)
{
    if (sub < 0) return;
    if (it.texts.size() <= static_cast<size_t>(sub)) it.texts.resize(static_cast<size_t>(sub) + 1);
    it.texts[static_cast<size_t>(sub)] = text ? text : u"";
}

// Copies a text into a caller's buffer of `size` characters; returns the
// characters copied.
int CopyOut(const std::u16string& s, LPWSTR out, int size)
{
    if (!out || size <= 0) return 0;
    size_t n = std::min(s.size(), static_cast<size_t>(size) - 1);
    std::copy_n(s.begin(), n, out);
    out[n] = 0;
    return static_cast<int>(n);
}

bool ValidItem(const ListView& l, WPARAM i) { return static_cast<size_t>(i) < l.items.size(); }

// Sends LVN_ITEMCHANGED for one item whose state changed.
void NotifyChanged(HWND hwnd, const ListView& l, int item, UINT oldState, UINT newState)
{
    NMLISTVIEW nm{};
    nm.iItem = item;
    nm.iSubItem = 0;
    nm.uOldState = oldState;
    nm.uNewState = newState;
    nm.uChanged = LVIF_STATE;
    nm.lParam = ValidItem(l, static_cast<WPARAM>(item)) ? l.items[static_cast<size_t>(item)].lParam : 0;
    NotifyParent(hwnd, &nm.hdr, LVN_ITEMCHANGED);
}

// Sets the masked state bits of one item (all items for -1), keeping a single
// selection and a single focus.
void SetState(HWND hwnd, ListView& l, int item, UINT state, UINT mask)
{
    std::vector<UINT> before;
    before.reserve(l.items.size());
    for (const Item& it : l.items) before.push_back(it.state);
    bool single = (Style(hwnd) & LVS_SINGLESEL) != 0;
    for (size_t i = 0; i < l.items.size(); ++i) {
        Item& it = l.items[i];
        if (item == -1 || static_cast<int>(i) == item) {
            it.state = (it.state & ~mask) | (state & mask);
        } else {
            if ((mask & LVIS_SELECTED) && (state & LVIS_SELECTED) && single) it.state &= ~static_cast<UINT>(LVIS_SELECTED);
            if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED)) it.state &= ~static_cast<UINT>(LVIS_FOCUSED);
        }
    }
    if (item == -1 && single && (mask & LVIS_SELECTED) && (state & LVIS_SELECTED)) {
        // "Select all" in a single-selection list keeps the first only.
        bool first = true;
        for (Item& it : l.items) {
            if (!(it.state & LVIS_SELECTED)) continue;
            if (!first) it.state &= ~static_cast<UINT>(LVIS_SELECTED);
            first = false;
        }
    }
    InvalidateRect(hwnd, nullptr, FALSE);
    // Notify after the change is complete, deselections first.
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < l.items.size() && i < before.size(); ++i) {
            UINT now = l.items[i].state;
            if (now == before[i]) continue;
            bool gained = (now & LVIS_SELECTED) && !(before[i] & LVIS_SELECTED);
            if ((pass == 0) == gained) continue;
            NotifyChanged(hwnd, l, static_cast<int>(i), before[i], now);
        }
}

void EnsureVisible(HWND hwnd, ListView& l, int item)
{
    if (!ValidItem(l, static_cast<WPARAM>(item))) return;
    Geometry g = GeometryOf(hwnd, l);
    if (item < l.top) l.top = item;
    else if (item >= l.top + g.visible) l.top = item - g.visible + 1;
    Redraw(hwnd, l);
}

int ItemAt(HWND hwnd, ListView& l, POINT p, int* sub)
{
    Geometry g = GeometryOf(hwnd, l);
    if (sub) *sub = -1;
    if (!PtInRect(&g.rows, p)) return -1;
    int i = l.top + (p.y - g.rows.top) / g.rowHeight;
    if (i >= static_cast<int>(l.items.size())) return -1;
    int x = -l.hscroll;
    for (size_t c = 0; c < l.columns.size(); ++c) {
        if (p.x >= x && p.x < x + l.columns[c].width) {
            if (sub) *sub = static_cast<int>(c);
            break;
        }
        x += l.columns[c].width;
    }
    if (sub && *sub < 0 && !(l.exStyle & LVS_EX_FULLROWSELECT)) return -1;
    return i;
}

int ColumnAt(const ListView& l, int x)
{
    int left = -l.hscroll;
    for (size_t c = 0; c < l.columns.size(); ++c) {
        if (x >= left && x < left + l.columns[c].width) return static_cast<int>(c);
        left += l.columns[c].width;
    }
    return -1;
}

thread_local HWND t_sorting = nullptr;

// Merge sort by the program's comparison. The comparison may ask the list for
// its rows while the sort runs, so the rows stay in place until the end.
void Sort(ListView& l, PFNLVCOMPARE compare, LPARAM key)
{
    size_t n = l.items.size();
    std::vector<size_t> order(n), tmp(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t a = lo, b = mid, k = lo;
            while (a < mid && b < hi) {
                // Equal rows keep their order: take from the right only when strictly smaller.
                if (compare(l.items[order[b]].lParam, l.items[order[a]].lParam, key) < 0) tmp[k++] = order[b++];
                else tmp[k++] = order[a++];
            }
            while (a < mid) tmp[k++] = order[a++];
            while (b < hi) tmp[k++] = order[b++];
        }
        order.swap(tmp);
    }
    std::vector<Item> sorted;
    sorted.reserve(n);
    for (size_t i : order) sorted.push_back(std::move(l.items[i]));
    l.items.swap(sorted);
}

int FindItem(const ListView& l, int start, const LVFINDINFOW* f)
{
    if (!f) return -1;
    int n = static_cast<int>(l.items.size());
    int first = (start < 0 || start >= n) ? 0 : start + 1;
    int count = (f->flags & LVFI_WRAP) ? n : n - first;
    for (int k = 0; k < count; ++k) {
        int i = (first + k) % std::max(1, n);
        const Item& it = l.items[static_cast<size_t>(i)];
        if (f->flags & LVFI_PARAM) {
            if (it.lParam == f->lParam) return i;
        } else if (f->flags & (LVFI_STRING | LVFI_PARTIAL)) {
            if (!f->psz) return -1;
            std::u16string key(f->psz);
            bool hit = (f->flags & LVFI_PARTIAL) ? StartsWithNoCase(TextOf(it, 0), key) : EqualsNoCase(TextOf(it, 0), key);
            if (hit) return i;
        }
    }
    return -1;
}

int NextItem(const ListView& l, int start, UINT flags)
{
    int n = static_cast<int>(l.items.size());
    UINT want = flags & (LVNI_SELECTED | LVNI_FOCUSED);
    auto match = [&](int i) {
        UINT s = l.items[static_cast<size_t>(i)].state;
        return (s & want) == want;
    };
    if (flags & LVNI_ABOVE) {
        for (int i = std::min(start, n) - 1; i >= 0; --i)
            if (match(i)) return i;
        return -1;
    }
    for (int i = start < 0 ? 0 : start + 1; i < n; ++i)
        if (match(i)) return i;
    return -1;
}

void DrawCell(HDC dc, const RECT& cell, const std::u16string& text, int fmt)
{
    RECT t{cell.left + kPad, cell.top, cell.right - kPad, cell.bottom};
    if (t.right <= t.left) return;
    UINT align = (fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT ? DT_RIGHT
                 : (fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? DT_CENTER
                                                                : DT_LEFT;
    HRGN clip = CreateRectRgn(cell.left, cell.top, cell.right, cell.bottom);
    SelectClipRgn(dc, clip);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, kCellText | align);
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
}

COLORREF Solid(COLORREF c, COLORREF fallback)
{
    return (c == CLR_NONE || c == CLR_DEFAULT) ? fallback : c;
}

void DrawStrip(HDC dc, const RECT& r, bool vertical, int total, int shown, int offset)
{
    FillSolid(dc, r, kTrough);
    FrameSolid(dc, r, kFrame);
    int along = vertical ? r.bottom - r.top : r.right - r.left;
    if (total <= 0 || along <= 0) return;
    int len = std::max(8, static_cast<int>(static_cast<long long>(along) * shown / total));
    len = std::min(len, along);
    int free = along - len;
    int maxOff = std::max(1, total - shown);
    int start = static_cast<int>(static_cast<long long>(free) * std::clamp(offset, 0, maxOff) / maxOff);
    RECT thumb = vertical ? RECT{r.left + 1, r.top + start, r.right - 1, r.top + start + len}
                          : RECT{r.left + start, r.top + 1, r.left + start + len, r.bottom - 1};
    FillSolid(dc, thumb, kThumb);
}

void Paint(HWND hwnd, ListView& l)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    Clamp(hwnd, l);
    Geometry g = GeometryOf(hwnd, l);
    FillSolid(dc, g.client, l.bkColor);
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(hwnd));
    SetBkMode(dc, TRANSPARENT);

    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdc = dc;
    cd.nmcd.rc = g.client;
    cd.nmcd.dwDrawStage = CDDS_PREPAINT;
    LRESULT pre = NotifyParent(hwnd, &cd.nmcd.hdr, NM_CUSTOMDRAW);
    bool wantItems = (pre & CDRF_NOTIFYITEMDRAW) != 0;

    HRGN rowsClip = CreateRectRgnIndirect(&g.rows);
    int last = std::min(static_cast<int>(l.items.size()), l.top + g.visible + 1);
    for (int i = l.top; i < last; ++i) {
        Item& it = l.items[static_cast<size_t>(i)];
        RECT row{g.rows.left - l.hscroll, g.rows.top + (i - l.top) * g.rowHeight, g.rows.left - l.hscroll + g.totalWidth,
                 g.rows.top + (i - l.top + 1) * g.rowHeight};
        bool selected = (it.state & LVIS_SELECTED) != 0;
        COLORREF itemText = l.textColor, itemBk = Solid(l.textBkColor, l.bkColor);
        LRESULT itemAnswer = 0;
        if (wantItems) {
            cd = NMLVCUSTOMDRAW{};
            cd.nmcd.hdc = dc;
            cd.nmcd.rc = row;
            cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
            cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
            cd.nmcd.uItemState = (selected ? CDIS_SELECTED : 0) | ((it.state & LVIS_FOCUSED) ? CDIS_FOCUS : 0);
            cd.nmcd.lItemlParam = it.lParam;
            cd.clrText = itemText;
            cd.clrTextBk = itemBk;
            itemAnswer = NotifyParent(hwnd, &cd.nmcd.hdr, NM_CUSTOMDRAW);
            if (itemAnswer & CDRF_SKIPDEFAULT) continue;
            itemText = Solid(cd.clrText, l.textColor);
            itemBk = Solid(cd.clrTextBk, l.bkColor);
        }
        bool wantSubs = wantItems && (itemAnswer & CDRF_NOTIFYSUBITEMDRAW);
        int x = row.left;
        for (size_t c = 0; c < l.columns.size(); ++c) {
            const Column& col = l.columns[c];
            RECT cell{x, row.top, x + col.width, row.bottom};
            x += col.width;
            if (cell.right <= g.rows.left || cell.left >= g.rows.right) continue;
            COLORREF text = itemText, bk = itemBk;
            if (wantSubs) {
                cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
                cd.nmcd.rc = cell;
                cd.iSubItem = col.subItem;
                cd.clrText = text;
                cd.clrTextBk = bk;
                LRESULT sub = NotifyParent(hwnd, &cd.nmcd.hdr, NM_CUSTOMDRAW);
                if (sub & CDRF_SKIPDEFAULT) continue;
                text = Solid(cd.clrText, l.textColor);
                bk = Solid(cd.clrTextBk, l.bkColor);
            }
            bool highlight = selected && (c == 0 || (l.exStyle & LVS_EX_FULLROWSELECT));
            if (highlight) {
                bk = l.focused ? GetSysColor(COLOR_HIGHLIGHT) : kThumb;
                text = GetSysColor(COLOR_HIGHLIGHTTEXT);
            }
            RECT visible;
            IntersectRect(&visible, &cell, &g.rows);
            SelectClipRgn(dc, rowsClip);
            FillSolid(dc, visible, bk);
            SetTextColor(dc, text);
            RECT clipped = cell;
            IntersectRect(&clipped, &cell, &g.rows);
            HRGN cellClip = CreateRectRgnIndirect(&clipped);
            SelectClipRgn(dc, cellClip);
            RECT t{cell.left + kPad, cell.top, cell.right - kPad, cell.bottom};
            const std::u16string& s = TextOf(it, col.subItem);
            UINT align = (col.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT    ? DT_RIGHT
                         : (col.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? DT_CENTER
                                                                           : DT_LEFT;
            if (t.right > t.left)
                DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &t, kCellText | align);
            SelectClipRgn(dc, nullptr);
            DeleteObject(cellClip);
        }
        if (wantItems && (itemAnswer & CDRF_NOTIFYPOSTPAINT)) {
            cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
            cd.nmcd.rc = row;
            NotifyParent(hwnd, &cd.nmcd.hdr, NM_CUSTOMDRAW);
        }
    }
    SelectClipRgn(dc, nullptr);
    if (l.exStyle & LVS_EX_GRIDLINES) {
        HPEN pen = CreatePen(PS_SOLID, 1, kGrid);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        SelectClipRgn(dc, rowsClip);
        for (int y = g.rows.top + g.rowHeight - 1; y < g.rows.bottom; y += g.rowHeight) {
            MoveToEx(dc, g.rows.left, y, nullptr);
            LineTo(dc, g.rows.right, y);
        }
        int x = -l.hscroll;
        for (const Column& c : l.columns) {
            x += c.width;
            MoveToEx(dc, x - 1, g.rows.top, nullptr);
            LineTo(dc, x - 1, g.rows.bottom);
        }
        SelectClipRgn(dc, nullptr);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }
    DeleteObject(rowsClip);
    if (g.header) {
        RECT band{0, 0, g.rows.right, g.header};
        FillSolid(dc, band, kButtonFace);
        SetTextColor(dc, kBlack);
        int x = -l.hscroll;
        for (const Column& c : l.columns) {
            RECT cell{x, 0, x + c.width, g.header};
            x += c.width;
            if (cell.right <= 0 || cell.left >= band.right) continue;
            FrameSolid(dc, cell, kFrame);
            DrawCell(dc, cell, c.text, c.fmt);
        }
    }
    if (g.vstrip) {
        RECT r{g.rows.right, g.rows.top, g.client.right, g.rows.bottom};
        DrawStrip(dc, r, true, static_cast<int>(l.items.size()), g.visible, l.top);
    }
    if (g.hstrip) {
        RECT r{0, g.rows.bottom, g.rows.right, g.client.bottom};
        DrawStrip(dc, r, false, g.totalWidth, g.rows.right, l.hscroll);
    }
    if (pre & CDRF_NOTIFYPOSTPAINT) {
        cd = NMLVCUSTOMDRAW{};
        cd.nmcd.hdc = dc;
        cd.nmcd.rc = g.client;
        cd.nmcd.dwDrawStage = CDDS_POSTPAINT;
        NotifyParent(hwnd, &cd.nmcd.hdr, NM_CUSTOMDRAW);
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

void Scroll(HWND hwnd, ListView& l, bool vertical, WORD code, int thumb)
{
    Geometry g = GeometryOf(hwnd, l);
    int& v = vertical ? l.top : l.hscroll;
    int line = vertical ? 1 : 16;
    int page = vertical ? std::max(1, g.visible - 1) : std::max(16, static_cast<int>(g.rows.right) - 16);
    int max = vertical ? static_cast<int>(l.items.size()) : g.totalWidth;
    switch (code) {
    case SB_LINEUP: v -= line; break;
    case SB_LINEDOWN: v += line; break;
    case SB_PAGEUP: v -= page; break;
    case SB_PAGEDOWN: v += page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: v = thumb; break;
    case SB_TOP: v = 0; break;
    case SB_BOTTOM: v = max; break;
    default: return;
    }
    Redraw(hwnd, l);
}

void NotifyActivate(HWND hwnd, const ListView& l, UINT code, int item, int sub, POINT p)
{
    NMITEMACTIVATE nm{};
    nm.iItem = item;
    nm.iSubItem = sub < 0 ? 0 : sub;
    nm.ptAction = p;
    nm.lParam = ValidItem(l, static_cast<WPARAM>(item)) ? l.items[static_cast<size_t>(item)].lParam : 0;
    NotifyParent(hwnd, &nm.hdr, code);
}

void StripTap(HWND hwnd, ListView& l, bool vertical, POINT p)
{
    Geometry g = GeometryOf(hwnd, l);
    if (vertical) {
        int total = static_cast<int>(l.items.size());
        int along = g.rows.bottom - g.rows.top;
        int len = std::max(8, static_cast<int>(static_cast<long long>(along) * g.visible / std::max(1, total)));
        int free = along - len, maxOff = std::max(1, total - g.visible);
        int start = g.rows.top + static_cast<int>(static_cast<long long>(free) * l.top / maxOff);
        if (p.y < start) Scroll(hwnd, l, true, SB_PAGEUP, 0);
        else if (p.y >= start + len) Scroll(hwnd, l, true, SB_PAGEDOWN, 0);
    } else {
        int along = g.rows.right;
        int len = std::max(8, static_cast<int>(static_cast<long long>(along) * along / std::max(1, g.totalWidth)));
        int free = along - len, maxOff = std::max(1, g.totalWidth - along);
        int start = static_cast<int>(static_cast<long long>(free) * l.hscroll / maxOff);
        if (p.x < start) Scroll(hwnd, l, false, SB_PAGEUP, 0);
        else if (p.x >= start + len) Scroll(hwnd, l, false, SB_PAGEDOWN, 0);
    }
}

void StylusDown(HWND hwnd, ListView& l, POINT p)
{
    if (!TakeFocusForPress(hwnd)) return;  // `l` may be gone with the window
    Geometry g = GeometryOf(hwnd, l);
    l.down = p;
    l.downTop = l.top;
    l.downH = l.hscroll;
    l.dragged = false;
    l.downItem = -1;
    l.downSub = -1;
    SetCapture(hwnd);
    if (g.vstrip && p.x >= g.rows.right && p.y >= g.rows.top && p.y < g.rows.bottom) {
        l.press = Press::VStrip;
        StripTap(hwnd, l, true, p);
        return;
    }
    if (g.hstrip && p.y >= g.rows.bottom) {
        l.press = Press::HStrip;
        StripTap(hwnd, l, false, p);
        return;
    }
    if (g.header && p.y < g.header) {
        l.press = Press::Header;
        l.downSub = ColumnAt(l, p.x);
        return;
    }
    l.press = Press::Rows;
    int sub = -1;
    int item = ItemAt(hwnd, l, p, &sub);
    l.downItem = item;
    l.downSub = sub;
    if (item >= 0) SetState(hwnd, l, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    else if (PtInRect(&g.rows, p)) SetState(hwnd, l, -1, 0, LVIS_SELECTED);
}

void StylusMove(HWND hwnd, ListView& l, POINT p)
{
    if (l.press != Press::Rows) return;
    int dy = p.y - l.down.y, dx = p.x - l.down.x;
    if (!l.dragged && std::abs(dy) < kDragThreshold && std::abs(dx) < kDragThreshold) return;
    l.dragged = true;
    int rh = RowHeight(hwnd, l);
    int top = l.downTop - dy / rh;
    int h = l.downH - dx;
    if (top != l.top || h != l.hscroll) {
        l.top = top;
        l.hscroll = h;
        Redraw(hwnd, l);
    }
}

void StylusUp(HWND hwnd, ListView& l, POINT p)
{
    Press was = l.press;
    l.press = Press::None;
    if (GetCapture() == hwnd) ReleaseCapture();
    if (was == Press::Header) {
        if (l.downSub >= 0 && ColumnAt(l, p.x) == l.downSub && p.y >= 0) {
            NMLISTVIEW nm{};
            nm.iItem = -1;
            nm.iSubItem = l.downSub;
            nm.ptAction = p;
            NotifyParent(hwnd, &nm.hdr, LVN_COLUMNCLICK);
        }
        return;
    }
    if (was != Press::Rows || l.dragged) return;
    int item = l.downItem;
    DWORD now = GetTickCount();
    bool twice = item >= 0 && item == l.lastTapItem && now - l.lastTapTime <= kDoubleTapMs;
    NotifyActivate(hwnd, l, NM_CLICK, item, l.downSub, p);
    if (twice) {
        NotifyActivate(hwnd, l, NM_DBLCLK, item, l.downSub, p);
        l.lastTapItem = -2;
    } else {
        l.lastTapItem = item;
        l.lastTapTime = now;
    }
}

}  // namespace

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ListView* l = TrackState<ListView>(hwnd, msg);
    if (!l) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE:
        AdoptIntoParent(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_PAINT: Paint(hwnd, *l); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: Redraw(hwnd, *l); return 0;
    case WM_SETFONT:
        DefWindowProcW(hwnd, msg, wParam, 0);
        l->rowHeight = 0;
        if (LOWORD(lParam)) Redraw(hwnd, *l);
        return 0;
    case WM_SETFOCUS: {
        l->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        NMHDR h{};
        NotifyParent(hwnd, &h, NM_SETFOCUS);
        return 0;
    }
    case WM_KILLFOCUS: {
        l->focused = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        NMHDR h{};
        NotifyParent(hwnd, &h, NM_KILLFOCUS);
        return 0;
    }
    case WM_LBUTTONDOWN: StylusDown(hwnd, *l, PointOf(lParam)); return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd) StylusMove(hwnd, *l, PointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
        if (l->press != Press::None) StylusUp(hwnd, *l, PointOf(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) l->press = Press::None;
        return 0;
    case WM_VSCROLL: Scroll(hwnd, *l, true, LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam))); return 0;
    case WM_HSCROLL: Scroll(hwnd, *l, false, LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam))); return 0;
    case WM_KEYDOWN: {
        int cur = NextItem(*l, -1, LVNI_FOCUSED);
        int n = static_cast<int>(l->items.size());
        int to = cur;
        if (wParam == VK_UP) to = std::max(0, cur - 1);
        else if (wParam == VK_DOWN) to = std::min(n - 1, cur + 1);
        else return 0;
        if (to >= 0 && to != cur) {
            SetState(hwnd, *l, to, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            EnsureVisible(hwnd, *l, to);
        }
        return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS;

    case LVM_INSERTCOLUMNW: {
        auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
        if (!c) return -1;
        Column col;
        if (c->mask & LVCF_FMT) col.fmt = c->fmt;
        if (c->mask & LVCF_WIDTH) col.width = std::max(0, c->cx);
        if ((c->mask & LVCF_TEXT) && c->pszText) col.text = c->pszText;
        size_t at = std::min(static_cast<size_t>(wParam), l->columns.size());
        col.subItem = (c->mask & LVCF_SUBITEM) ? c->iSubItem : static_cast<int>(at);
        l->columns.insert(l->columns.begin() + static_cast<long>(at), col);
        Redraw(hwnd, *l);
        return static_cast<LRESULT>(at);
    }
    case LVM_GETCOLUMNW: {
        auto* c = reinterpret_cast<LVCOLUMNW*>(lParam);
        if (!c || wParam >= l->columns.size()) return FALSE;
        const Column& col = l->columns[wParam];
        if (c->mask & LVCF_FMT) c->fmt = col.fmt;
        if (c->mask & LVCF_WIDTH) c->cx = col.width;
        if (c->mask & LVCF_TEXT) CopyOut(col.text, c->pszText, c->cchTextMax);
        if (c->mask & LVCF_SUBITEM) c->iSubItem = col.subItem;
        return TRUE;
    }
    case LVM_SETCOLUMNW: {
        auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
        if (!c || wParam >= l->columns.size()) return FALSE;
        Column& col = l->columns[wParam];
        if (c->mask & LVCF_FMT) col.fmt = c->fmt;
        if (c->mask & LVCF_WIDTH) col.width = std::max(0, c->cx);
        if (c->mask & LVCF_TEXT) col.text = c->pszText ? c->pszText : u"";
        if (c->mask & LVCF_SUBITEM) col.subItem = c->iSubItem;
        Redraw(hwnd, *l);
        return TRUE;
    }
    case LVM_DELETECOLUMN:
        if (wParam >= l->columns.size()) return FALSE;
        l->columns.erase(l->columns.begin() + static_cast<long>(wParam));
        Redraw(hwnd, *l);
        return TRUE;
    case LVM_GETCOLUMNWIDTH: return wParam < l->columns.size() ? l->columns[wParam].width : 0;
    case LVM_SETCOLUMNWIDTH: {
        if (wParam >= l->columns.size()) return FALSE;
        Column& col = l->columns[wParam];
        int width = static_cast<int>(lParam);
        if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
            HDC dc = GetDC(hwnd);
            HGDIOBJ old = SelectObject(dc, ControlFont(hwnd));
            int w = width == LVSCW_AUTOSIZE_USEHEADER ? TextWidth(dc, col.text, col.text.size()) : 0;
            for (const Item& it : l->items) w = std::max(w, TextWidth(dc, TextOf(it, col.subItem), SIZE_MAX));
            SelectObject(dc, old);
            ReleaseDC(hwnd, dc);
            width = w + 2 * kPad;
            if (lParam == LVSCW_AUTOSIZE_USEHEADER && wParam + 1 == l->columns.size()) {
                // The last column fills the rest of the row.
                Geometry g = GeometryOf(hwnd, *l);
                int used = g.totalWidth - col.width;
                width = std::max(width, static_cast<int>(g.rows.right) - used);
            }
        }
        col.width = std::max(0, width);
        Redraw(hwnd, *l);
        return TRUE;
    }
    case LVM_GETHEADER: return 0;

    case LVM_INSERTITEMW: {
        auto* it = reinterpret_cast<const LVITEMW*>(lParam);
        if (!it || it->iSubItem != 0) return -1;
        Item item;
        if (it->mask & LVIF_TEXT) SetTextOf(item, 0, it->pszText);
        if (it->mask & LVIF_PARAM) item.lParam = it->lParam;
        if (it->mask & LVIF_STATE) item.state = it->state & it->stateMask;
        size_t at = it->iItem < 0 ? l->items.size() : std::min(static_cast<size_t>(it->iItem), l->items.size());
        l->items.insert(l->items.begin() + static_cast<long>(at), item);
        Redraw(hwnd, *l);
        NMLISTVIEW nm{};
        nm.iItem = static_cast<int>(at);
        nm.lParam = item.lParam;
        NotifyParent(hwnd, &nm.hdr, LVN_INSERTITEM);
        return static_cast<LRESULT>(at);
    }
    case LVM_SETITEMW: {
        auto* it = reinterpret_cast<const LVITEMW*>(lParam);
        if (!it || !ValidItem(*l, static_cast<WPARAM>(it->iItem)) || it->iSubItem < 0) return FALSE;
        Item& item = l->items[static_cast<size_t>(it->iItem)];
        if (it->mask & LVIF_TEXT) SetTextOf(item, it->iSubItem, it->pszText);
        if (it->iSubItem == 0 && (it->mask & LVIF_PARAM)) item.lParam = it->lParam;
        InvalidateRect(hwnd, nullptr, FALSE);
        if (it->iSubItem == 0 && (it->mask & LVIF_STATE)) SetState(hwnd, *l, it->iItem, it->state, it->stateMask);
        return TRUE;
    }
    case LVM_GETITEMW: {
        auto* it = reinterpret_cast<LVITEMW*>(lParam);
        if (!it || !ValidItem(*l, static_cast<WPARAM>(it->iItem))) return FALSE;
        const Item& item = l->items[static_cast<size_t>(it->iItem)];
        if (it->mask & LVIF_TEXT) CopyOut(TextOf(item, it->iSubItem), it->pszText, it->cchTextMax);
        if (it->mask & LVIF_PARAM) it->lParam = item.lParam;
        if (it->mask & LVIF_STATE) it->state = item.state & it->stateMask;
        return TRUE;
    }
    case LVM_SETITEMTEXTW: {
        auto* it = reinterpret_cast<const LVITEMW*>(lParam);
        if (!it || !ValidItem(*l, wParam)) return FALSE;
        SetTextOf(l->items[wParam], it->iSubItem, it->pszText);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case LVM_GETITEMTEXTW: {
        auto* it = reinterpret_cast<LVITEMW*>(lParam);
        if (!it || !ValidItem(*l, wParam)) return 0;
        return CopyOut(TextOf(l->items[wParam], it->iSubItem), it->pszText, it->cchTextMax);
    }
    case LVM_GETITEMCOUNT: return static_cast<LRESULT>(l->items.size());
    case LVM_DELETEITEM: {
        if (!ValidItem(*l, wParam)) return FALSE;
        NMLISTVIEW nm{};
        nm.iItem = static_cast<int>(wParam);
        nm.lParam = l->items[wParam].lParam;
        NotifyParent(hwnd, &nm.hdr, LVN_DELETEITEM);
        if (ValidItem(*l, wParam)) l->items.erase(l->items.begin() + static_cast<long>(wParam));
        Redraw(hwnd, *l);
        return TRUE;
    }
    case LVM_DELETEALLITEMS: {
        NMLISTVIEW nm{};
        nm.iItem = -1;
        NotifyParent(hwnd, &nm.hdr, LVN_DELETEALLITEMS);
        l->items.clear();
        l->top = 0;
        Redraw(hwnd, *l);
        return TRUE;
    }
    case LVM_GETNEXTITEM: return NextItem(*l, static_cast<int>(wParam), static_cast<UINT>(lParam));
    case LVM_SETITEMSTATE: {
        auto* it = reinterpret_cast<const LVITEMW*>(lParam);
        int item = static_cast<int>(wParam);
        if (!it || (item != -1 && !ValidItem(*l, wParam))) return FALSE;
        SetState(hwnd, *l, item, it->state, it->stateMask);
        return TRUE;
    }
    case LVM_GETITEMSTATE:
        return ValidItem(*l, wParam) ? static_cast<LRESULT>(l->items[wParam].state & static_cast<UINT>(lParam)) : 0;
    case LVM_GETSELECTEDCOUNT: {
        LRESULT n = 0;
        for (const Item& it : l->items) n += (it.state & LVIS_SELECTED) ? 1 : 0;
        return n;
    }
    case LVM_ENSUREVISIBLE:
        if (!ValidItem(*l, wParam)) return FALSE;
        EnsureVisible(hwnd, *l, static_cast<int>(wParam));
        return TRUE;
    case LVM_SCROLL: {
        int rh = RowHeight(hwnd, *l);
        l->hscroll += static_cast<int>(wParam);
        l->top += static_cast<int>(lParam) / rh;
        Redraw(hwnd, *l);
        return TRUE;
    }
    case LVM_GETTOPINDEX: return l->top;
    case LVM_GETCOUNTPERPAGE: return GeometryOf(hwnd, *l).visible;
    case LVM_REDRAWITEMS: InvalidateRect(hwnd, nullptr, FALSE); return TRUE;
    case LVM_GETITEMRECT: {
        auto* r = reinterpret_cast<LPRECT>(lParam);
        if (!r || !ValidItem(*l, wParam)) return FALSE;
        Geometry g = GeometryOf(hwnd, *l);
        int i = static_cast<int>(wParam) - l->top;
        int width = r->left == LVIR_LABEL && !l->columns.empty() ? l->columns[0].width : g.totalWidth;
        *r = RECT{-l->hscroll, g.rows.top + i * g.rowHeight, -l->hscroll + width, g.rows.top + (i + 1) * g.rowHeight};
        return TRUE;
    }
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: {
        auto* h = reinterpret_cast<LPLVHITTESTINFO>(lParam);
        if (!h) return -1;
        int sub = -1;
        h->iItem = ItemAt(hwnd, *l, h->pt, &sub);
        h->iSubItem = sub < 0 ? 0 : sub;
        h->flags = h->iItem >= 0 ? LVHT_ONITEMLABEL : LVHT_NOWHERE;
        return h->iItem;
    }
    case LVM_SORTITEMS: {
        auto compare = reinterpret_cast<PFNLVCOMPARE>(lParam);
        if (!compare) return FALSE;
        HWND outer = t_sorting;
        t_sorting = hwnd;
        Sort(*l, compare, static_cast<LPARAM>(wParam));
        t_sorting = outer;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case LVM_FINDITEMW: return FindItem(*l, static_cast<int>(wParam), reinterpret_cast<const LVFINDINFOW*>(lParam));
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        DWORD old = l->exStyle;
        DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
        l->exStyle = (l->exStyle & ~mask) | (static_cast<DWORD>(lParam) & mask);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return l->exStyle;
    case LVM_SETTEXTCOLOR: l->textColor = static_cast<COLORREF>(lParam); InvalidateRect(hwnd, nullptr, FALSE); return TRUE;
    case LVM_GETTEXTCOLOR: return l->textColor;
    case LVM_SETBKCOLOR:
        l->bkColor = static_cast<COLORREF>(lParam) == CLR_NONE ? 0xFFFFFF : static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case LVM_GETBKCOLOR: return l->bkColor;
    case LVM_SETTEXTBKCOLOR: l->textBkColor = static_cast<COLORREF>(lParam); InvalidateRect(hwnd, nullptr, FALSE); return TRUE;
    case LVM_GETTEXTBKCOLOR: return l->textBkColor;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace qplat::controls

HWND qplat::SortingListView()
{
    return qplat::controls::t_sorting;
}
