// The standard and common controls driven as the screens drive them: by
// messages and by the stylus on the composed screen.

#include <string>
#include <vector>

#include "platform/WinCtrl.h"
#include "tests/platform_ui/WindowTestSupport.h"
#include "tests/support/Fields.h"

namespace {

// Every window of these tests is owned by one hidden window made once, so the
// program's main-window publication happens once only.
HWND Anchor()
{
    static HWND anchor = qtest::MakeTop(0, 0, 10, 10, WS_POPUP);
    return anchor;
}

HWND MakeTop(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE)
{
    return qtest::MakeTop(x, y, w, h, style, Anchor());
}

struct Note {
    UINT msg;
    UINT code;
    int item;
    int sub;
    WPARAM wParam;
    LPARAM lParam;
};

class Controls : public qtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_DATE_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
        parent = Keep(MakeTop(0, 0, 480, 272));
        qtest::TestHandler() = [this](HWND h, UINT m, WPARAM w, LPARAM l, LRESULT& r) -> bool {
            if (h != parent) return false;
            if (m == WM_NOTIFY) {
                auto* hdr = reinterpret_cast<NMHDR*>(l);
                Note n{m, hdr->code, -1, -1, w, l};
                if (hdr->code == NM_CLICK || hdr->code == NM_DBLCLK) {
                    auto* a = reinterpret_cast<NMITEMACTIVATE*>(l);
                    n.item = a->iItem;
                    n.sub = a->iSubItem;
                } else if (hdr->code == LVN_ITEMCHANGED || hdr->code == LVN_COLUMNCLICK) {
                    auto* a = reinterpret_cast<NMLISTVIEW*>(l);
                    n.item = a->iItem;
                    n.sub = a->iSubItem;
                    n.wParam = a->uNewState;
                } else if (hdr->code == NM_CUSTOMDRAW && customDraw) {
                    r = customDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(l));
                    return true;
                }
                notes.push_back(n);
                return true;
            }
            if (m == WM_COMMAND || m == WM_HSCROLL || m == WM_VSCROLL) {
                notes.push_back(Note{m, HIWORD(w), LOWORD(w), -1, w, l});
                return true;
            }
            return false;
        };
    }
    std::vector<Note> Of(UINT msg, UINT code)
    {
        std::vector<Note> out;
        for (auto& n : notes)
            if (n.msg == msg && n.code == code) out.push_back(n);
        return out;
    }
    HWND parent = nullptr;
    std::vector<Note> notes;
    std::function<LRESULT(NMLVCUSTOMDRAW*)> customDraw;
};

// A control of `parent` with the class, style, place and id given.
HWND MakeControl(HWND parent, const char16_t* cls, DWORD style, int x, int y, int w, int h, int id = 0,
                 const char16_t* text = u"")
{
    return CreateWindowExW(0, cls, text, style, x, y, w, h, parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                           nullptr, nullptr);
}

HWND MakeList(HWND parent, int x, int y, int w, int h, bool header = true)
{
    HWND l = MakeControl(parent, WC_LISTVIEWW, 0x10B00005 | (header ? 0 : LVS_NOCOLUMNHEADER), x, y, w, h, 414);
    SendMessageW(l, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    return l;
}

void AddColumn(HWND l, int index, const char16_t* text, int width)
{
    LVCOLUMNW c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.cx = width;
    c.pszText = const_cast<LPWSTR>(text);
    c.iSubItem = index;
    SendMessageW(l, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c));
}

int AddRow(HWND l, int index, const char16_t* text, const char16_t* second = nullptr)
{
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = index;
    it.pszText = const_cast<LPWSTR>(text);
    it.lParam = index;
    int at = static_cast<int>(SendMessageW(l, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
    if (second) {
        LVITEMW s{};
        s.iSubItem = 1;
        s.pszText = const_cast<LPWSTR>(second);
        SendMessageW(l, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&s));
    }
    return at;
}

std::u16string Cell(HWND l, int item, int sub)
{
    WCHAR buf[64] = {};
    LVITEMW it{};
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = 64;
    SendMessageW(l, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    return buf;
}

RECT RowRect(HWND l, int item)
{
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(l, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(l, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND g_sortList = nullptr;

// Compares the texts of column 0 the way the program's sort does: it finds
// the rows by lParam while the sort runs.
int CALLBACK CompareColumn0(LPARAM a, LPARAM b, LPARAM descending)
{
    auto text = [](LPARAM p) {
        LVFINDINFOW f{};
        f.flags = LVFI_PARAM;
        f.lParam = p;
        int i = static_cast<int>(SendMessageW(g_sortList, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&f)));
        return Cell(g_sortList, i, 0);
    };
    std::u16string ta = text(a), tb = text(b);
    int r = ta < tb ? -1 : (tb < ta ? 1 : 0);
    return descending ? -r : r;
}

TEST_F(Controls, AListViewMadeWithoutChildStyleSitsInsideItsParent)
{
    HWND inner = Keep(MakeTop(40, 30, 300, 200));
    HWND l = MakeList(inner, 10, 20, 200, 100);
    ASSERT_TRUE(l);
    EXPECT_EQ(GetParent(l), inner);
    EXPECT_TRUE(GetWindowLongW(l, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(GetDlgItem(inner, 414), l);
    RECT r;
    GetWindowRect(l, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 50);
    EXPECT_TRUE(IsWindowVisible(l));
    DestroyWindow(inner);
    EXPECT_FALSE(IsWindow(l)) << "goes with its parent";
}

TEST_F(Controls, ListViewKeepsColumnsRowsAndSubItems)
{
    HWND l = MakeList(parent, 10, 10, 300, 150);
    AddColumn(l, 0, u"Name", 120);
    AddColumn(l, 1, u"Value", 100);
    EXPECT_EQ(AddRow(l, 0, u"first", u"1"), 0);
    EXPECT_EQ(AddRow(l, 1, u"second", u"2"), 1);
    EXPECT_EQ(AddRow(l, 0, u"zeroth"), 0) << "inserting before the first row";
    EXPECT_EQ(SendMessageW(l, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(Cell(l, 0, 0), u"zeroth");
    EXPECT_EQ(Cell(l, 2, 1), u"2");
    // A buffer too small gets a cut, terminated text.
    WCHAR small[4];
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = 2;
    it.pszText = small;
    it.cchTextMax = 4;
    ASSERT_TRUE(SendMessageW(l, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
    EXPECT_EQ(std::u16string(small), u"sec");
    // Column text through get and set.
    WCHAR title[32];
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = title;
    c.cchTextMax = 32;
    ASSERT_TRUE(SendMessageW(l, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&c)));
    EXPECT_EQ(std::u16string(title), u"Value");
    EXPECT_EQ(c.cx, 100);
    EXPECT_FALSE(SendMessageW(l, LVM_GETCOLUMNW, 5, reinterpret_cast<LPARAM>(&c)));
    // A text too wide for its column, in a row and in the header, ends in
    // dots short of the column's edge rather than in a letter cut there.
    c.mask = LVCF_TEXT;
    c.pszText = const_cast<LPWSTR>(u"Values measured on the wheel");
    SendMessageW(l, LVM_SETCOLUMNW, 1, reinterpret_cast<LPARAM>(&c));
    LVITEMW wide{};
    wide.iSubItem = 1;
    wide.pszText = const_cast<LPWSTR>(u"a value far too wide for its column");
    SendMessageW(l, LVM_SETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&wide));
    UpdateWindow(l);
    qplat::ProcessPendingMessages();
    // Pixel rows with dark ink in the last 8 columns before a cell's right
    // padding (4 pixels): the dots of "..." fill a row or three, a letter cut
    // there many.
    auto inkRows = [](int edge, int y0, int y1) {
        int rows = 0;
        for (int y = y0; y < y1; ++y) {
            bool ink = false;
            for (int x = edge - 12; x < edge - 4; ++x) {
                const COLORREF p = qplat::ScreenPixel(x, y);
                ink = ink || (GetRValue(p) < 0x80 && GetGValue(p) < 0x80 && GetBValue(p) < 0x80);
            }
            rows += ink ? 1 : 0;
        }
        return rows;
    };
    const RECT row = RowRect(l, 1);
    const int edge = row.left + 220;  // column 1's right edge
    POINT top{0, 0};
    ClientToScreen(l, &top);
    const int rowInk = inkRows(edge, row.top + 1, row.bottom - 1);
    EXPECT_GT(rowInk, 0) << "the row's text runs to its end";
    EXPECT_LE(rowInk, 3) << "the row's text ends in dots";
    const int headerInk = inkRows(edge, top.y + 2, RowRect(l, 0).top - 2);
    EXPECT_GT(headerInk, 0) << "the header runs to its end";
    EXPECT_LE(headerInk, 3) << "the header ends in dots";
    EXPECT_EQ(Cell(l, 1, 1), u"a value far too wide for its column") << "the text itself stays whole";
    EXPECT_TRUE(SendMessageW(l, LVM_DELETEITEM, 0, 0));
    EXPECT_FALSE(SendMessageW(l, LVM_DELETEITEM, 7, 0));
    EXPECT_EQ(Cell(l, 0, 0), u"first");
    EXPECT_TRUE(SendMessageW(l, LVM_DELETEALLITEMS, 0, 0));
    EXPECT_EQ(SendMessageW(l, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(Controls, ListViewSortsWithTheProgramsComparisonAndFinds)
{
    HWND l = MakeList(parent, 10, 10, 300, 150);
    g_sortList = l;
    AddColumn(l, 0, u"Name", 120);
    AddRow(l, 0, u"B");
    AddRow(l, 1, u"A");
    AddRow(l, 2, u"C");
    AddRow(l, 3, u"A");
    ASSERT_TRUE(SendMessageW(l, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareColumn0)));
    EXPECT_EQ(Cell(l, 0, 0), u"A");
    EXPECT_EQ(Cell(l, 3, 0), u"C");
    // Equal rows keep their order: the two A rows were inserted as 1 and 3.
    LVITEMW it{};
    it.mask = LVIF_PARAM;
    it.iItem = 0;
    SendMessageW(l, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_EQ(it.lParam, 1);
    it.iItem = 1;
    SendMessageW(l, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_EQ(it.lParam, 3);
    SendMessageW(l, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(CompareColumn0));
    EXPECT_EQ(Cell(l, 0, 0), u"C");
    EXPECT_EQ(Cell(l, 1, 0), u"B");

    LVFINDINFOW f{};
    f.flags = LVFI_PARAM;
    f.lParam = 2;
    EXPECT_EQ(SendMessageW(l, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&f)), 0);
    f.lParam = 99;
    EXPECT_EQ(SendMessageW(l, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&f)), -1);
    f.flags = LVFI_STRING;
    f.psz = u"a";
    EXPECT_EQ(SendMessageW(l, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&f)), 2);
    EXPECT_EQ(SendMessageW(l, LVM_FINDITEMW, 2, reinterpret_cast<LPARAM>(&f)), 3) << "searches after the start";
}

TEST_F(Controls, ListViewSelectionByStylusAndByMessage)
{
    HWND l = MakeList(parent, 10, 10, 300, 150);
    AddColumn(l, 0, u"Name", 120);
    AddColumn(l, 1, u"Value", 100);
    for (int i = 0; i < 3; ++i) AddRow(l, i, u"row", u"x");
    EXPECT_EQ(SendMessageW(l, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
    qplat::ProcessPendingMessages();
    RECT r1 = RowRect(l, 1);
    Tap(r1.left + 150, (r1.top + r1.bottom) / 2);  // in the second column: full-row select
    EXPECT_EQ(SendMessageW(l, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
    EXPECT_EQ(GetFocus(), l);
    auto changed = Of(WM_NOTIFY, LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].item, 1);
    EXPECT_TRUE(changed[0].wParam & LVIS_SELECTED);
    auto clicks = Of(WM_NOTIFY, NM_CLICK);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].item, 1);
    EXPECT_EQ(clicks[0].sub, 1);
    // A second tap on the same row soon after is a double tap.
    Tap(r1.left + 20, (r1.top + r1.bottom) / 2);
    ASSERT_EQ(Of(WM_NOTIFY, NM_DBLCLK).size(), 1u);
    EXPECT_EQ(Of(WM_NOTIFY, NM_DBLCLK)[0].item, 1);

    // Selecting another row by message keeps one selection.
    notes.clear();
    LVITEMW st{};
    st.state = st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(l, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&st));
    EXPECT_EQ(SendMessageW(l, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(l, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
    EXPECT_EQ(SendMessageW(l, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 2);
    changed = Of(WM_NOTIFY, LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].item, 1) << "the old row loses the selection first";
    EXPECT_EQ(changed[1].item, 2);

    // The header: a tap on the second column's caption.
    notes.clear();
    RECT lr;
    GetWindowRect(l, &lr);
    Tap(lr.left + 1 + 130, lr.top + 4);
    auto cols = Of(WM_NOTIFY, LVN_COLUMNCLICK);
    ASSERT_EQ(cols.size(), 1u);
    EXPECT_EQ(cols[0].sub, 1);
}

TEST_F(Controls, ListViewScrollsByDragAndEnsuresVisible)
{
    HWND l = MakeList(parent, 10, 10, 300, 120, false);
    AddColumn(l, 0, u"Name", 200);
    for (int i = 0; i < 40; ++i) AddRow(l, i, u"row");
    int page = static_cast<int>(SendMessageW(l, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 2);
    ASSERT_LT(page, 40);
    EXPECT_TRUE(SendMessageW(l, LVM_ENSUREVISIBLE, 30, FALSE));
    int top = static_cast<int>(SendMessageW(l, LVM_GETTOPINDEX, 0, 0));
    EXPECT_LE(top, 30);
    EXPECT_GT(top + page, 30);
    SendMessageW(l, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(SendMessageW(l, LVM_GETTOPINDEX, 0, 0), 0);
    SendMessageW(l, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(SendMessageW(l, LVM_GETTOPINDEX, 0, 0), 40 - page) << "the last page is full";
    SendMessageW(l, WM_VSCROLL, SB_TOP, 0);
    // Dragging the rows up by three rows scrolls three rows and clicks nothing.
    qplat::ProcessPendingMessages();
    RECT r0 = RowRect(l, 4);
    RECT r1 = RowRect(l, 1);
    int x = r0.left + 40;
    qplat::StylusDown(x, r0.top + 2);
    qplat::StylusMove(x, r0.top - 10);
    qplat::StylusMove(x, r1.top + 2);
    qplat::StylusUp(x, r1.top + 2);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(SendMessageW(l, LVM_GETTOPINDEX, 0, 0), 3);
    EXPECT_TRUE(Of(WM_NOTIFY, NM_CLICK).empty());
}

TEST_F(Controls, ListViewCustomDrawColoursEachSubItem)
{
    HWND l = MakeList(parent, 10, 10, 300, 150, false);
    AddColumn(l, 0, u"Name", 100);
    AddColumn(l, 1, u"Value", 100);
    AddRow(l, 0, u"", u"");
    AddRow(l, 1, u"", u"");
    std::vector<DWORD> stages;
    customDraw = [&](NMLVCUSTOMDRAW* cd) -> LRESULT {
        stages.push_back(cd->nmcd.dwDrawStage);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYSUBITEMDRAW;
        if (cd->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
            cd->clrTextBk = (cd->iSubItem == 1 && cd->nmcd.dwItemSpec == 1) ? RGB(255, 0, 0) : RGB(255, 255, 255);
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    };
    InvalidateRect(l, nullptr, FALSE);
    UpdateWindow(l);
    qplat::ProcessPendingMessages();
    RECT r = RowRect(l, 1);
    EXPECT_EQ(qplat::ScreenPixel(r.left + 150, (r.top + r.bottom) / 2), RGB(255, 0, 0));
    EXPECT_EQ(qplat::ScreenPixel(r.left + 50, (r.top + r.bottom) / 2), RGB(255, 255, 255));
    RECT r0 = RowRect(l, 0);
    EXPECT_EQ(qplat::ScreenPixel(r0.left + 150, (r0.top + r0.bottom) / 2), RGB(255, 255, 255));
    EXPECT_NE(std::find(stages.begin(), stages.end(), static_cast<DWORD>(CDDS_ITEMPREPAINT | CDDS_SUBITEM)), stages.end());
    // A selected row shows the selection over the custom colours.
    LVITEMW st{};
    st.state = st.stateMask = LVIS_SELECTED;
    SendMessageW(l, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&st));
    UpdateWindow(l);
    EXPECT_NE(qplat::ScreenPixel(r.left + 150, (r.top + r.bottom) / 2), RGB(255, 0, 0));
}

TEST_F(Controls, ComboBoxListFindsByPrefixAndSelectsByStylus)
{
    HWND c = MakeControl(parent, u"COMBOBOX", 0x50200003, 20, 20, 150, 120, 480);
    ASSERT_TRUE(c);
    RECT box;
    GetWindowRect(c, &box);
    EXPECT_LT(box.bottom - box.top, 60) << "the box is one line; the height given is the list's";
    for (const char16_t* s : {u"Alpha", u"beta", u"Bravo", u"gamma"})
        SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_EQ(SendMessageW(c, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"b")), 1);
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRING, 1, reinterpret_cast<LPARAM>(u"B")), 2) << "after the start";
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRING, 2, reinterpret_cast<LPARAM>(u"b")), 1) << "wraps";
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"delta")), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"BRAVO")), 2);
    EXPECT_EQ(SendMessageW(c, CB_SETCURSEL, 9, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_SETCURSEL, 3, 0), 3);
    EXPECT_EQ(SendMessageW(c, CB_GETLBTEXTLEN, 3, 0), 5);
    EXPECT_EQ(SendMessageW(c, CB_GETLBTEXTLEN, 4, 0), CB_ERR);
    WCHAR buf[16];
    EXPECT_EQ(SendMessageW(c, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf)), 5);
    EXPECT_EQ(std::u16string(buf), u"Alpha");

    // Drop the list down and pick the second entry.
    qplat::ProcessPendingMessages();
    Tap(box.right - 5, (box.top + box.bottom) / 2);
    EXPECT_TRUE(SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    int ih = static_cast<int>(SendMessageW(c, CB_GETITEMHEIGHT, 0, 0));
    Tap(box.left + 20, box.bottom + 1 + ih + ih / 2);
    EXPECT_FALSE(SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), 1);
    auto sel = Of(WM_COMMAND, CBN_SELCHANGE);
    ASSERT_EQ(sel.size(), 1u);
    EXPECT_EQ(sel[0].item, 480);
    // A touch outside the dropped list closes it without a change.
    Tap(box.right - 5, (box.top + box.bottom) / 2);
    EXPECT_TRUE(SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    Tap(400, 250);
    EXPECT_FALSE(SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Of(WM_COMMAND, CBN_SELCHANGE).size(), 1u);
}

TEST_F(Controls, EditCaretSelectionAndReplacement)
{
    HWND e = MakeControl(parent, u"EDIT", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 24, 476);
    ASSERT_TRUE(e);
    SetWindowTextW(e, u"hello world");
    EXPECT_EQ(GetWindowTextLengthW(e), 11);
    SendMessageW(e, EM_SETSEL, 6, 11);
    DWORD a = 0, b = 0;
    LRESULT sel = SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(a, 6u), FIELD_IS(b, 11u), FIELD_IS(LOWORD(sel), 6),
                                 FIELD_IS(HIWORD(sel), 11)));
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"there"));
    WCHAR buf[32];
    GetWindowTextW(e, buf, 32);
    EXPECT_EQ(std::u16string(buf), u"hello there");
    EXPECT_EQ(HIWORD(SendMessageW(e, EM_GETSEL, 0, 0)), 11) << "the caret follows the inserted text";
    // An empty replacement of an empty selection changes nothing.
    SendMessageW(e, EM_SETSEL, 5, 5);
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u""));
    EXPECT_EQ(GetWindowTextLengthW(e), 11);
    SendMessageW(e, EM_SETSEL, 0, -1);
    EXPECT_EQ(HIWORD(SendMessageW(e, EM_GETSEL, 0, 0)), 11) << "-1 is the end";
    SendMessageW(e, EM_SETSEL, 50, 60);
    EXPECT_EQ(LOWORD(SendMessageW(e, EM_GETSEL, 0, 0)), 11) << "positions past the end are the end";
    // Focus reports EN_SETFOCUS; typing goes in at the caret.
    SetFocus(e);
    ASSERT_EQ(Of(WM_COMMAND, EN_SETFOCUS).size(), 1u);
    EXPECT_EQ(Of(WM_COMMAND, EN_SETFOCUS)[0].item, 476);
    SendMessageW(e, EM_SETSEL, 0, 0);
    SendMessageW(e, WM_CHAR, u'>', 0);
    SendMessageW(e, WM_CHAR, VK_BACK, 0);
    SendMessageW(e, WM_CHAR, VK_BACK, 0);  // at position 0: nothing to remove
    GetWindowTextW(e, buf, 32);
    EXPECT_EQ(std::u16string(buf), u"hello there");
    // Read-only: typing is refused, replacement by the program still works.
    SendMessageW(e, EM_SETREADONLY, TRUE, 0);
    SendMessageW(e, WM_CHAR, u'x', 0);
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"<"));
    GetWindowTextW(e, buf, 32);
    EXPECT_EQ(std::u16string(buf), u"<hello there");
    // A tap at the far left puts the caret at the start, far right at the end.
    qplat::ProcessPendingMessages();
    RECT r;
    GetWindowRect(e, &r);
    Tap(r.left + 2, (r.top + r.bottom) / 2);
    EXPECT_EQ(HIWORD(SendMessageW(e, EM_GETSEL, 0, 0)), 0);
    Tap(r.right - 3, (r.top + r.bottom) / 2);
    EXPECT_EQ(HIWORD(SendMessageW(e, EM_GETSEL, 0, 0)), 12);
    // The focused field shows its caret at the start of an empty text, a
    // read-only one none.
    auto caretInk = [&] {
        UpdateWindow(e);
        qplat::ProcessPendingMessages();
        POINT origin{0, 0};
        ClientToScreen(e, &origin);
        int n = 0;
        for (int y = 6; y < 18; ++y)
            for (int x = 0; x < 6; ++x) {
                const COLORREF c = qplat::ScreenPixel(origin.x + x, origin.y + y);
                n += GetRValue(c) < 0x40 && GetGValue(c) < 0x40 && GetBValue(c) < 0x40 ? 1 : 0;
            }
        return n;
    };
    ASSERT_EQ(GetFocus(), e);
    SetWindowTextW(e, u"");
    EXPECT_EQ(caretInk(), 0) << "read-only";
    SendMessageW(e, EM_SETREADONLY, FALSE, 0);
    EXPECT_GT(caretInk(), 5) << "editable";
}

// A screen may run a modal screen (the on-screen keyboard) from a control's
// focus notification, which comes inside the control's stylus-down: the modal
// loop takes that press's release. The control must not capture the stylus
// afterwards, whether or not the focus came back to it, or every later tap
// anywhere would come back to it and open the keyboard again (a combo box
// would drop its list, which takes the next tap).
TEST_F(Controls, AModalScreenRunFromAFocusNotificationLeavesTheStylusFree)
{
    HWND edit = MakeControl(parent, u"EDIT", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 200, 24, 476, u"text");
    HWND list = MakeList(parent, 10, 60, 200, 100);
    AddColumn(list, 0, u"Name", 150);
    AddRow(list, 0, u"first");
    HWND combo = MakeControl(parent, u"COMBOBOX", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 250, 10, 100, 100, 477);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"one"));
    HWND other = qtest::MakeChild(parent, 900, 300, 200, 100, 40);
    ASSERT_TRUE(edit && list && combo && other);
    qtest::TemplateBuilder modal(WS_POPUP | WS_VISIBLE, 0, 0, 100, 50);
    int modals = 0;
    bool inModal = false, focusBack = false, releaseTaken = false;
    HWND pressed = nullptr;
    auto notes = qtest::TestHandler();
    qtest::TestHandler() = [&](HWND h, UINT m, WPARAM w, LPARAM l, LRESULT& r) -> bool {
        const bool focusNote =
            h == parent && ((m == WM_COMMAND && (HIWORD(w) == EN_SETFOCUS || HIWORD(w) == CBN_SETFOCUS)) ||
                            (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == NM_SETFOCUS));
        if (!focusNote || inModal) return notes(h, m, w, l, r);
        inModal = true;
        ++modals;
        // The modal screen ends on a message posted after the release, so its
        // loop has taken the release by then.
        DialogBoxIndirectParamW(nullptr, modal.Get(), parent, [](HWND d, UINT msg, WPARAM, LPARAM) -> INT_PTR {
            if (msg == WM_INITDIALOG) PostMessageW(d, WM_USER, 0, 0);
            if (msg == WM_USER) EndDialog(d, 1);
            return msg == WM_INITDIALOG || msg == WM_USER;
        }, 0);
        MSG up;
        releaseTaken = !PeekMessageW(&up, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE);
        if (focusBack) SetFocus(pressed);
        inModal = false;
        r = 0;
        return true;
    };
    RECT otherRect;
    GetWindowRect(other, &otherRect);
    for (HWND control : {edit, list, combo}) {
        for (bool back : {false, true}) {
            SCOPED_TRACE(std::string(control == edit ? "edit" : control == list ? "list" : "combo box") +
                         (back ? ", focus given back" : ""));
            SetFocus(other);
            qplat::ProcessPendingMessages();
            qtest::Log().Clear();
            modals = 0;
            pressed = control;
            focusBack = back;
            RECT r;
            GetWindowRect(control, &r);
            Tap(r.left + 20, r.top + 12);
            EXPECT_EQ(modals, 1);
            EXPECT_TRUE(releaseTaken);
            EXPECT_EQ(GetFocus() == control, back);
            EXPECT_EQ(GetCapture(), nullptr);
            EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) << "no list dropped";
            Tap((otherRect.left + otherRect.right) / 2, (otherRect.top + otherRect.bottom) / 2);
            EXPECT_EQ(qtest::Log().Count(other, WM_LBUTTONDOWN), 1) << "the next tap reaches the window tapped";
            EXPECT_EQ(qtest::Log().Count(other, WM_LBUTTONUP), 1);
            EXPECT_EQ(modals, 1) << "and opens nothing again";
        }
    }
    // A press whose release is still to come captures as before: a drag
    // selects.
    SetFocus(other);
    RECT r;
    GetWindowRect(edit, &r);
    qtest::TestHandler() = notes;
    SetFocus(edit);
    qplat::StylusDown(r.left + 3, r.top + 12);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(GetCapture(), edit);
    qplat::StylusMove(r.right + 40, r.top + 12);
    qplat::StylusUp(r.right + 40, r.top + 12);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(HIWORD(SendMessageW(edit, EM_GETSEL, 0, 0)), 4) << "dragged past the end";
}

TEST_F(Controls, EditNumberStyleAndLimit)
{
    HWND e = MakeControl(parent, u"EDIT", WS_CHILD | WS_VISIBLE | ES_NUMBER, 10, 10, 100, 24);
    SendMessageW(e, EM_LIMITTEXT, 3, 0);
    for (WCHAR c : std::u16string(u"1a2.34")) SendMessageW(e, WM_CHAR, c, 0);
    WCHAR buf[16];
    GetWindowTextW(e, buf, 16);
    EXPECT_EQ(std::u16string(buf), u"123");
    EXPECT_FALSE(Of(WM_COMMAND, EN_MAXTEXT).empty());
}

TEST_F(Controls, ScrollBarReportsStylusCodesToItsParent)
{
    HWND bar = MakeControl(parent, u"SCROLLBAR", WS_CHILD | WS_VISIBLE, 10, 200, 300, 20, 619);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(SetScrollRange(bar, SB_CTL, 0, 100, TRUE));
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 50, TRUE), 0);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 50);
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 500, TRUE), 50);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 100) << "kept within the range";
    SetScrollPos(bar, SB_CTL, 50, TRUE);
    qplat::ProcessPendingMessages();
    Tap(10 + 300 - 5, 210);  // right arrow
    Tap(10 + 40, 210);       // trough left of the thumb
    Tap(10 + 260, 210);      // trough right of the thumb
    Tap(10 + 5, 210);        // left arrow
    std::vector<WORD> codes;
    for (auto& n : notes)
        if (n.msg == WM_HSCROLL) {
            EXPECT_EQ(reinterpret_cast<HWND>(n.lParam), bar);
            codes.push_back(LOWORD(n.wParam));
        }
    std::vector<WORD> want{SB_LINEDOWN, SB_ENDSCROLL, SB_PAGEUP, SB_ENDSCROLL, SB_PAGEDOWN, SB_ENDSCROLL, SB_LINEUP, SB_ENDSCROLL};
    EXPECT_EQ(codes, want);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 50) << "the parent moves the bar, not the stylus";
    // Dragging the thumb to the far right tracks and then sets the end.
    notes.clear();
    qplat::StylusDown(160, 210);
    qplat::ProcessPendingMessages();  // the bar takes the capture
    qplat::StylusMove(200, 210);
    qplat::StylusMove(400, 210);
    qplat::StylusUp(400, 210);
    qplat::ProcessPendingMessages();
    std::vector<std::pair<WORD, WORD>> drag;
    for (auto& n : notes)
        if (n.msg == WM_HSCROLL) drag.emplace_back(LOWORD(n.wParam), HIWORD(n.wParam));
    ASSERT_GE(drag.size(), 3u);
    EXPECT_EQ(drag.front().first, SB_THUMBTRACK);
    EXPECT_EQ(drag[drag.size() - 2], std::make_pair(static_cast<WORD>(SB_THUMBPOSITION), static_cast<WORD>(100)));
    EXPECT_EQ(drag.back().first, SB_ENDSCROLL);
}

TEST_F(Controls, WindowScrollBarsKeepTheirInfo)
{
    HWND w = Keep(MakeTop(0, 0, 100, 100, WS_POPUP | WS_HSCROLL | WS_VSCROLL));
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 959, 480, 700, 0};
    EXPECT_EQ(SetScrollInfo(w, SB_HORZ, &si, TRUE), 480) << "the position stops a page before the end";
    SCROLLINFO out{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(w, SB_HORZ, &out));
    EXPECT_EQ(out.nMax, 959);
    EXPECT_EQ(out.nPage, 480u);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 0) << "the bars are separate";
    EXPECT_FALSE(SetScrollInfo(w, SB_CTL, &si, TRUE)) << "a window that is not a scroll bar control";
}

TEST_F(Controls, DatePickerKeepsAValidTimeAndStepsFields)
{
    HWND d = MakeControl(parent, DATETIMEPICK_CLASSW, 0x10010021, 20, 20, 200, 30, 289, u"DateTime");
    ASSERT_TRUE(d);
    EXPECT_EQ(GetParent(d), parent);
    SYSTEMTIME t{2013, 3, 0, 31, 10, 20, 30, 0};
    EXPECT_TRUE(SendMessageW(d, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t)));
    SYSTEMTIME bad{2013, 2, 0, 30, 0, 0, 0, 0};
    EXPECT_FALSE(SendMessageW(d, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&bad)));
    SYSTEMTIME got{};
    EXPECT_EQ(SendMessageW(d, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&got)), GDT_VALID);
    EXPECT_EQ(got.wDay, 31);
    EXPECT_EQ(got.wDayOfWeek, 0) << "31 March 2013 was a Sunday";
    // Choose the month field, step it down: February keeps at most 28 days.
    qplat::ProcessPendingMessages();
    SendMessageW(d, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(d, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(d, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(got.wMonth, 2);
    EXPECT_EQ(got.wDay, 28);
    EXPECT_FALSE(Of(WM_NOTIFY, DTN_DATETIMECHANGE).empty());
    // The up arrow by stylus: month 2 -> 3.
    RECT r;
    GetWindowRect(d, &r);
    Tap(r.right - 4, r.top + 4);
    SendMessageW(d, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(got.wMonth, 3);
}

TEST_F(Controls, ProgressBarAndToolTipAcceptWhatTheProgramSends)
{
    HWND p = MakeControl(parent, PROGRESS_CLASSW, WS_CHILD | WS_VISIBLE, 10, 10, 200, 20);
    ASSERT_TRUE(p);
    SendMessageW(p, PBM_SETRANGE32, 10, 20);
    EXPECT_EQ(SendMessageW(p, PBM_GETPOS, 0, 0), 10) << "the position follows the range";
    SendMessageW(p, PBM_SETPOS, 99, 0);
    EXPECT_EQ(SendMessageW(p, PBM_GETPOS, 0, 0), 20);
    SendMessageW(p, PBM_SETSTEP, 4, 0);
    SendMessageW(p, PBM_STEPIT, 0, 0);
    EXPECT_GE(SendMessageW(p, PBM_GETPOS, 0, 0), 10);
    EXPECT_LE(SendMessageW(p, PBM_GETPOS, 0, 0), 20);

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_DATE_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&icc)) << "again";
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, nullptr,
                               nullptr);
    ASSERT_TRUE(tip);
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = parent;
    ti.lpszText = const_cast<LPWSTR>(u"tip");
    EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    SendMessageW(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    EXPECT_FALSE(IsWindowVisible(tip));
    DestroyWindow(tip);
}

TEST_F(Controls, BadIndexesAndNullRecordsAreRefusedQuietly)
{
    HWND l = MakeList(parent, 10, 10, 200, 100);
    AddColumn(l, 0, u"n", 50);
    AddRow(l, 0, u"a");
    EXPECT_EQ(SendMessageW(l, LVM_INSERTITEMW, 0, 0), -1);
    EXPECT_EQ(SendMessageW(l, LVM_INSERTCOLUMNW, 0, 0), -1);
    EXPECT_FALSE(SendMessageW(l, LVM_SETITEMW, 0, 0));
    EXPECT_FALSE(SendMessageW(l, LVM_GETITEMW, 0, 0));
    EXPECT_EQ(SendMessageW(l, LVM_GETITEMTEXTW, 5, 0), 0);
    EXPECT_EQ(SendMessageW(l, LVM_FINDITEMW, static_cast<WPARAM>(-1), 0), -1);
    EXPECT_FALSE(SendMessageW(l, LVM_SORTITEMS, 0, 0));
    EXPECT_FALSE(SendMessageW(l, LVM_ENSUREVISIBLE, 9, 0));
    EXPECT_FALSE(SendMessageW(l, LVM_SETITEMSTATE, 9, 0));
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = 0;
    it.iSubItem = 7;  // a sub-item no column shows
    it.pszText = nullptr;
    EXPECT_TRUE(SendMessageW(l, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
    it.cchTextMax = 0;
    EXPECT_TRUE(SendMessageW(l, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) << "no buffer: nothing copied";
    UpdateWindow(l);

    HWND c = MakeControl(parent, u"COMBOBOX", 0x50200003, 20, 150, 100, 80);
    EXPECT_EQ(SendMessageW(c, CB_ADDSTRING, 0, 0), 0) << "a null text is an empty entry";
    EXPECT_EQ(SendMessageW(c, CB_FINDSTRING, static_cast<WPARAM>(-1), 0), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_DELETESTRING, 3, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_GETITEMDATA, 3, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(c, CB_INSERTSTRING, 9, reinterpret_cast<LPARAM>(u"x")), CB_ERR);
    HWND e = MakeControl(parent, u"EDIT", WS_CHILD, 0, 0, 50, 20);
    SendMessageW(e, EM_REPLACESEL, 0, 0);
    EXPECT_EQ(GetWindowTextLengthW(e), 0);
    SCROLLINFO si{};
    EXPECT_FALSE(SetScrollInfo(nullptr, SB_HORZ, &si, TRUE));
    EXPECT_FALSE(GetScrollInfo(parent, SB_HORZ, nullptr));
}

}  // namespace
