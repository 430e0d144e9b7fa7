// The control wrappers: what each call makes of the control, the list sort
// and its comparison, the bounded combo text and the scroll requests that go
// to the owner.

#include <vector>

#include "platform/Presenter.h"
#include "ui/ControlWrappers.h"
#include "tests/ui/ScreenTestSupport.h"

namespace {

std::vector<std::pair<WPARAM, LPARAM>> g_scrolls;

LRESULT CALLBACK OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_HSCROLL) {
        g_scrolls.emplace_back(w, l);
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

class Wrappers : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = OwnerProc;
            wc.lpszClassName = u"QavWrapperOwner";
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        owner = CreateWindowExW(0, u"QavWrapperOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272,
                                qtest::ActionWindow(), nullptr, nullptr, nullptr);
        g_scrolls.clear();
    }
    void TearDown() override
    {
        DestroyWindow(owner);
        qplat::ProcessPendingMessages();
    }
    static std::u16string Text(CListViewCtl& l, int row, int col) { return qtest::RowText(l, row, col); }
    // A list of one column "n", 300 x `h`, made with the given id.
    void OneColumnList(CListViewCtl& l, int id = 1, int y = 0, int h = 100)
    {
        l.Create(owner, nullptr, id, 0, y, 300, h, TRUE, FALSE);
        l.InsertColumn(0, u"n", 0, 100, 0);
    }
    // The lParam of a row (-1 when the row cannot be read).
    static LPARAM Param(CListViewCtl& l, int row)
    {
        LVITEMW it{};
        it.mask = LVIF_PARAM;
        it.iItem = row;
        return SendMessageW(l.m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)) ? it.lParam : -1;
    }
    HWND owner = nullptr;
};

void Fill(CListViewCtl& l, const std::vector<std::pair<const char16_t*, const char16_t*>>& rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        int at = l.InsertItem(static_cast<int>(i), rows[i].first);
        l.SetItemText(at, 1, rows[i].second);
        l.SetItemText(at, 3, rows[i].second);
    }
}

TEST_F(Wrappers, ListViewSortKeysPickColumnAndDirection)
{
    CListViewCtl l;
    ASSERT_EQ(l.Create(owner, nullptr, 414, 10, 90, 450, 120, TRUE, TRUE), 1);
    EXPECT_EQ(g_sortListView, l.m_hWnd);
    EXPECT_EQ(SendMessageW(l.m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x21);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(l.m_hWnd, GWL_STYLE)) & 0xFFFF, 0x0005u);
    for (int c = 0; c < 4; ++c) l.InsertColumn(c, u"c", 0, 100, c);
    Fill(l, {{u"2", u"A"}, {u"1", u"B"}, {u"3", u"C"}});
    EXPECT_EQ(l.GetSelected(), -1);
    SendMessageW(l.m_hWnd, LVM_SORTITEMS, static_cast<WPARAM>(-2), reinterpret_cast<LPARAM>(ListViewCompareProc));
    EXPECT_EQ(Text(l, 0, 1), u"C");
    EXPECT_EQ(Text(l, 1, 1), u"B");
    EXPECT_EQ(Text(l, 2, 1), u"A") << "key -2: column 1 descending puts B before A";
    SendMessageW(l.m_hWnd, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(ListViewCompareProc));
    EXPECT_EQ(Text(l, 0, 0), u"1");
    EXPECT_EQ(Text(l, 2, 0), u"3");
    SendMessageW(l.m_hWnd, LVM_SORTITEMS, 4, reinterpret_cast<LPARAM>(ListViewCompareProc));
    EXPECT_EQ(Text(l, 0, 0), u"1") << "column 3 compares equal: the order stays";
    EXPECT_EQ(Text(l, 1, 0), u"2");
}

TEST_F(Wrappers, RowsInsertedAtTheTopStayFindableAndSortable)
{
    CListViewCtl l;
    OneColumnList(l);
    for (const char16_t* s : {u"c", u"a", u"b"}) l.InsertItem(0, s);
    EXPECT_NE(Param(l, 0), Param(l, 1));
    EXPECT_NE(Param(l, 1), Param(l, 2));
    EXPECT_NE(Param(l, 0), Param(l, 2));
    SendMessageW(l.m_hWnd, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(ListViewCompareProc));
    EXPECT_EQ(Text(l, 0, 0), u"a");
    EXPECT_EQ(Text(l, 1, 0), u"b");
    EXPECT_EQ(Text(l, 2, 0), u"c");
}

// Rows appended, put in between, at the top, after a deletion and past the
// end: no two rows share an lParam, so each stays findable for the sort.
TEST_F(Wrappers, EveryWayOfInsertingGivesARowAnLParamOfItsOwn)
{
    CListViewCtl l;
    OneColumnList(l);
    for (int i = 0; i < 5; ++i) l.InsertItem(i, u"append");
    l.InsertItem(2, u"between");
    l.InsertItem(0, u"top");
    l.DeleteItem(3);
    l.InsertItem(l.GetItemCount(), u"after a deletion");
    l.InsertItem(1000, u"past the end");
    l.InsertItem(-1, u"at the end");
    l.InsertItem(4, u"between again");
    const int rows = l.GetItemCount();
    ASSERT_EQ(rows, 10);
    std::vector<LPARAM> params;
    for (int i = 0; i < rows; ++i) {
        ASSERT_NE(Param(l, i), -1) << "row " << i;
        for (LPARAM seen : params) ASSERT_NE(seen, Param(l, i)) << "row " << i;
        params.push_back(Param(l, i));
    }
    l.DeleteAllItems();
    EXPECT_EQ(l.InsertItem(0, u"again"), 0);
    EXPECT_EQ(Param(l, 0), 0) << "an emptied list numbers its rows from the start";
}

// A long list fills in time proportional to its rows: inserting a row never
// looks through the rows already there (a search per row made a catalogue of
// 200,000 rows take 40 s to show).
WNDPROC g_listProc = nullptr;
int g_rowSearches = 0;
LRESULT CALLBACK CountingListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == LVM_FINDITEMW) ++g_rowSearches;
    return CallWindowProcW(g_listProc, hwnd, msg, wParam, lParam);
}

TEST_F(Wrappers, FillingAListNeverSearchesItsRows)
{
    CListViewCtl l;
    OneColumnList(l);
    g_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(l.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingListProc)));
    ASSERT_NE(g_listProc, nullptr);
    g_rowSearches = 0;
    for (int i = 0; i < 500; ++i) ASSERT_EQ(l.InsertItem(i, u"row"), i);
    l.InsertItem(0, u"top");
    l.InsertItem(250, u"between");
    EXPECT_EQ(l.GetItemCount(), 502);
    EXPECT_EQ(g_rowSearches, 0);
    SetWindowLongPtrW(l.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
}

TEST_F(Wrappers, TheSortComparesTheListItWasAskedToSort)
{
    CListViewCtl first, second;
    OneColumnList(first);
    OneColumnList(second, 2, 120);
    ASSERT_EQ(g_sortListView, second.m_hWnd);
    Fill(first, {{u"z", u""}, {u"x", u""}, {u"y", u""}});
    Fill(second, {{u"a", u""}, {u"b", u""}, {u"c", u""}});
    SendMessageW(first.m_hWnd, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(ListViewCompareProc));
    EXPECT_EQ(Text(first, 0, 0), u"x");
    EXPECT_EQ(Text(first, 1, 0), u"y");
    EXPECT_EQ(Text(first, 2, 0), u"z");
    EXPECT_EQ(Text(second, 0, 0), u"a") << "the other list is untouched";
}

TEST_F(Wrappers, ListViewSelectUpdateAndDelete)
{
    CListViewCtl l;
    l.Create(owner, nullptr, 1, 0, 0, 300, 60, FALSE, FALSE);
    l.InsertColumn(0, u"old", 0, 100, 0);
    EXPECT_TRUE(l.UpdateColumn(0, u"new"));
    WCHAR title[16];
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = title;
    c.cchTextMax = 16;
    ASSERT_TRUE(l.GetColumn(0, &c));
    EXPECT_EQ(std::u16string(title), u"new");
    for (int i = 0; i < 20; ++i) l.InsertItem(i, u"row");
    l.SelectItem(17);
    EXPECT_EQ(l.GetSelected(), 17);
    int top = static_cast<int>(SendMessageW(l.m_hWnd, LVM_GETTOPINDEX, 0, 0));
    int page = static_cast<int>(SendMessageW(l.m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_TRUE(top <= 17 && 17 < top + page) << "scrolled into view";
    WCHAR small[3];
    l.SetItemText(0, 0, u"longer");
    EXPECT_EQ(l.GetItemText(0, 0, small, 3), 2);
    EXPECT_EQ(std::u16string(small), u"lo");
    EXPECT_TRUE(l.DeleteItem(0));
    EXPECT_EQ(l.GetItemCount(), 19);
    EXPECT_TRUE(l.DeleteAllItems());
    EXPECT_EQ(l.GetItemCount(), 0);
    EXPECT_EQ(l.GetSelected(), -1);
}

TEST_F(Wrappers, ComboTextIsBoundedByTheCallersBuffer)
{
    CComboBoxCtl c;
    ASSERT_EQ(c.Create(owner, nullptr, 480, 10, 10, 150, 100), 1);
    EXPECT_EQ(GetWindowLongW(c.m_hWnd, GWL_STYLE) & 0xFFFF, 0x0003);
    c.AddString(u"Bogie");
    c.AddString(u"axle-long-name");
    EXPECT_EQ(c.GetCurSel(), CB_ERR);
    EXPECT_EQ(c.SetCurSel(1), 1);
    EXPECT_EQ(c.GetCurSel(), 1);
    WCHAR buf[5] = {u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(c.GetLBText(1, buf, 5), 4);
    EXPECT_EQ(std::u16string(buf), u"axle");
    EXPECT_EQ(c.GetLBText(7, buf, 5), CB_ERR);
    EXPECT_EQ(c.FindString(-1, u"AX"), 1);
    EXPECT_EQ(c.FindString(-1, u"q"), CB_ERR);
}

TEST_F(Wrappers, ScrollRequestsGoToTheOwner)
{
    CScrollBarCtl s;
    ASSERT_EQ(s.Create(owner, nullptr, 619, 10, 200, 450, 15), 1);
    EXPECT_EQ(s.m_visible, 0);
    s.SetRange(0, 15, TRUE);
    EXPECT_EQ(s.SetPos(20, TRUE), 0);
    EXPECT_EQ(GetScrollPos(s.m_hWnd, SB_CTL), 15);
    s.PageDown();
    s.PageUp();
    s.LineDown();
    ASSERT_EQ(g_scrolls.size(), 3u);
    EXPECT_EQ(g_scrolls[0], std::make_pair(static_cast<WPARAM>(SB_PAGEDOWN), static_cast<LPARAM>(0)));
    EXPECT_EQ(g_scrolls[1].first, static_cast<WPARAM>(SB_PAGEUP));
    EXPECT_EQ(g_scrolls[2].first, static_cast<WPARAM>(SB_LINEDOWN));
    s.Show(SW_HIDE);
    EXPECT_EQ(s.m_visible, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(s.m_hWnd));
}

TEST_F(Wrappers, EditStaticDateAndTooltipWrappers)
{
    CEditCtl e;
    ASSERT_EQ(e.Create(owner, nullptr, u"start", 290, 10, 10, 100, 24, 0x50010080, 0x210), 1);
    EXPECT_EQ(qtest::WindowText(e.m_hWnd), u"start");
    e.SetText(u"next");
    EXPECT_EQ(qtest::WindowText(e.m_hWnd), u"next");
    CEditCtl attached;
    attached.Attach(e.m_hWnd);
    EXPECT_EQ(attached.m_hParent, owner);

    CStaticTextCtl t;
    ASSERT_EQ(t.Create(owner, nullptr, u"Caption", 281, 10, 40, 100, 20, 0x10000000, 0), 1);
    EXPECT_EQ(GetParent(t.m_hWnd), owner) << "made without WS_CHILD, it sits in its parent";
    t.SetText(u"Other");
    EXPECT_EQ(qtest::WindowText(t.m_hWnd), u"Other");

    CDateTimeCtl d;
    ASSERT_EQ(d.Create(owner, nullptr, 289, 10, 70, 150, 24, 0x10010021), 1);
    EXPECT_EQ(qtest::WindowText(d.m_hWnd), u"DateTime");
    EXPECT_EQ(GetParent(d.m_hWnd), owner);

    CToolTipCtl tip;
    ASSERT_EQ(tip.Create(owner, TRUE), 1);
    EXPECT_TRUE(tip.AddTool(owner, u"hint", 0));
    EXPECT_EQ(tip.m_toolInfo.uFlags, static_cast<UINT>(TTF_SUBCLASS));
    EXPECT_TRUE(tip.AddTool(owner, u"hint", 5));
    EXPECT_EQ(tip.m_toolInfo.uFlags, static_cast<UINT>(TTF_TRACK));
    tip.TrackActivate(TRUE, owner, 5);
    tip.TrackPosition(10, 10);
    EXPECT_FALSE(IsWindowVisible(tip.m_hWnd)) << "no tip is ever shown";
    DestroyWindow(tip.m_hWnd);
}

}  // namespace
