#include "ui/ControlWrappers.h"

#include <algorithm>
#include <vector>

#include "platform/WinText.h"

namespace {

HMENU IdMenu(int id)
{
    return reinterpret_cast<HMENU>(static_cast<intptr_t>(id));
}

void SendFont(HWND hwnd, HFONT font)
{
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void SendText(HWND hwnd, LPCWSTR text)
{
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u""));
}

// The text control wrappers share one creation: the window is made without
// text and takes it afterwards, so a failed creation sends nothing.
template <typename Control>
int CreateWithText(Control& control, LPCWSTR className, HWND parent, HINSTANCE instance, LPCWSTR text, int id,
                   int x, int y, int w, int h, DWORD style, DWORD exStyle)
{
    control.m_hParent = parent;
    control.m_hWnd =
        CreateWindowExW(exStyle, className, nullptr, style, x, y, w, h, parent, IdMenu(id), instance, nullptr);
    if (!control.m_hWnd) return 0;
    SetWindowTextW(control.m_hWnd, text);
    return 1;
}

template <typename Control>
void AttachControl(Control& control, HWND window)
{
    control.m_hWnd = window;
    control.m_hParent = GetParent(window);
}

}  // namespace

// ---------------------------------------------------------------- combo box

CComboBoxCtl::CComboBoxCtl() : m_hParent(nullptr), m_hWnd(nullptr) {}

int CComboBoxCtl::Create(HWND parent, HINSTANCE instance, int id, int x, int y, int w, int h)
{
    m_hParent = parent;
    m_hWnd = CreateWindowExW(0, u"COMBOBOX", nullptr, 0x50200003, x, y, w, h, parent, IdMenu(id), instance, nullptr);
    return m_hWnd ? 1 : 0;
}

void CComboBoxCtl::SetFont(HFONT font) { SendFont(m_hWnd, font); }

int CComboBoxCtl::AddString(LPCWSTR text)
{
    return static_cast<int>(SendMessageW(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int CComboBoxCtl::SetCurSel(int index)
{
    return static_cast<int>(SendMessageW(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int CComboBoxCtl::GetCurSel() { return static_cast<int>(SendMessageW(m_hWnd, CB_GETCURSEL, 0, 0)); }

int CComboBoxCtl::GetLBText(int index, LPWSTR buffer, int bufferLength)
{
    if (!buffer || bufferLength <= 0) return CB_ERR;
    buffer[0] = 0;
    int length = static_cast<int>(SendMessageW(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0));
    if (length < 0) return CB_ERR;
    // CB_GETLBTEXT writes the whole entry: read it into room of its own size.
    std::vector<WCHAR> whole(static_cast<size_t>(length) + 1, 0);
    if (SendMessageW(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(whole.data())) < 0)
        return CB_ERR;
    qplat::CopyField(buffer, static_cast<size_t>(bufferLength), whole.data());
    return static_cast<int>(wcslen(buffer));
}

int CComboBoxCtl::FindString(int startIndex, LPCWSTR text)
{
    return static_cast<int>(
        SendMessageW(m_hWnd, CB_FINDSTRING, static_cast<WPARAM>(startIndex), reinterpret_cast<LPARAM>(text)));
}

// ---------------------------------------------------------------- date and time

CDateTimeCtl::CDateTimeCtl() : m_hParent(nullptr), m_hWnd(nullptr)
{
    INITCOMMONCONTROLSEX icc{8, ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);
}

int CDateTimeCtl::Create(HWND parent, HINSTANCE instance, int id, int x, int y, int w, int h, DWORD style)
{
    m_hParent = parent;
    m_hWnd = CreateWindowExW(0, DATETIMEPICK_CLASSW, u"DateTime", style, x, y, w, h, parent, IdMenu(id), instance,
                             nullptr);
    return m_hWnd ? 1 : 0;
}

void CDateTimeCtl::SetFont(HFONT font) { SendFont(m_hWnd, font); }

// ---------------------------------------------------------------- edit

CEditCtl::CEditCtl() : m_hParent(nullptr), m_hWnd(nullptr) {}
CEditCtl::~CEditCtl() = default;

int CEditCtl::Create(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int w, int h, DWORD style,
                     DWORD exStyle)
{
    return CreateWithText(*this, u"EDIT", parent, instance, text, id, x, y, w, h, style, exStyle);
}

void CEditCtl::Attach(HWND control) { AttachControl(*this, control); }

void CEditCtl::SetFont(HFONT font) { SendFont(m_hWnd, font); }

void CEditCtl::SetText(LPCWSTR text) { SendText(m_hWnd, text); }

// ---------------------------------------------------------------- list view

HWND g_sortListView = nullptr;

CListViewCtl::CListViewCtl() : m_hParent(nullptr), m_hWnd(nullptr) {}

int CListViewCtl::Create(HWND parent, HINSTANCE instance, int id, int x, int y, int w, int h, BOOL withHeader,
                         BOOL gridLines)
{
    m_hParent = parent;
    m_nextParam = 0;
    DWORD style = withHeader ? 0x10B00005u : 0x10B04005u;
    m_hWnd = CreateWindowExW(0, WC_LISTVIEWW, nullptr, style, x, y, w, h, parent, IdMenu(id), instance, nullptr);
    if (!m_hWnd) return 0;
    g_sortListView = m_hWnd;
    DWORD ex = LVS_EX_FULLROWSELECT | (gridLines ? LVS_EX_GRIDLINES : 0);
    SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ex));
    return 1;
}

void CListViewCtl::Move(int x, int y, int w, int h) { MoveWindow(m_hWnd, x, y, w, h, TRUE); }

void CListViewCtl::SetFont(HFONT font) { SendFont(m_hWnd, font); }

int CListViewCtl::InsertColumn(int index, LPCWSTR text, int format, int width, int subItem)
{
    LVCOLUMNW c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<LPWSTR>(text ? text : u"");
    c.iSubItem = subItem;
    return static_cast<int>(SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c)));
}

BOOL CListViewCtl::UpdateColumn(int index, LPCWSTR text)
{
    WCHAR current[256] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = current;
    c.cchTextMax = 256;
    SendMessageW(m_hWnd, LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c));
    c.mask = LVCF_TEXT;
    c.pszText = const_cast<LPWSTR>(text ? text : u"");
    return SendMessageW(m_hWnd, LVM_SETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c)) ? TRUE : FALSE;
}

BOOL CListViewCtl::GetColumn(int index, LVCOLUMNW* column)
{
    return SendMessageW(m_hWnd, LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(column)) ? TRUE : FALSE;
}

BOOL CListViewCtl::SetColumn(int index, const LVCOLUMNW* column)
{
    return SendMessageW(m_hWnd, LVM_SETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(column)) ? TRUE : FALSE;
}

BOOL CListViewCtl::SetColumnWidth(int index, int width)
{
    return SendMessageW(m_hWnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), width) ? TRUE : FALSE;
}

int CListViewCtl::InsertItem(int index, LPCWSTR text)
{
    if (SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0) == 0) m_nextParam = 0;
    // The insertion index when no row can have had it yet, else the next
    // number no row has had: the rows stay findable by lParam however they
    // were inserted. Every row's lParam comes from here and stays below
    // m_nextParam, so no search of the rows is needed (a search per row made
    // filling a long list quadratic).
    const LPARAM param = index >= m_nextParam ? index : m_nextParam;
    m_nextParam = std::max(m_nextParam, param + 1);
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = index;
    it.iSubItem = 0;
    it.pszText = const_cast<LPWSTR>(text ? text : u"");
    it.lParam = param;
    return static_cast<int>(SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
}

BOOL CListViewCtl::SetItemText(int item, int subItem, LPCWSTR text)
{
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.iSubItem = subItem;
    it.pszText = const_cast<LPWSTR>(text ? text : u"");
    return SendMessageW(m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it)) ? TRUE : FALSE;
}

int CListViewCtl::GetItemText(int item, int subItem, LPWSTR buffer, int bufferLength)
{
    if (!buffer || bufferLength <= 0) return 0;
    buffer[0] = 0;
    LVITEMW it{};
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.iSubItem = subItem;
    it.pszText = buffer;
    it.cchTextMax = bufferLength;
    return SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)) ? static_cast<int>(wcslen(buffer)) : 0;
}

int CListViewCtl::GetItemCount() { return static_cast<int>(SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }

BOOL CListViewCtl::DeleteAllItems()
{
    m_nextParam = 0;
    return SendMessageW(m_hWnd, LVM_DELETEALLITEMS, 0, 0) ? TRUE : FALSE;
}

int CListViewCtl::GetSelected()
{
    return static_cast<int>(SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

BOOL CListViewCtl::DeleteItem(int item)
{
    return SendMessageW(m_hWnd, LVM_DELETEITEM, static_cast<WPARAM>(item), 0) ? TRUE : FALSE;
}

void CListViewCtl::SelectItem(int item)
{
    SendMessageW(m_hWnd, WM_SETFOCUS, 0, 0);
    LVITEMW it{};
    it.state = LVIS_SELECTED | LVIS_FOCUSED;
    it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    SendMessageW(m_hWnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
}

BOOL CListViewCtl::Show(int command) { return ShowWindow(m_hWnd, command); }

BOOL CListViewCtl::SetTextColor(COLORREF color)
{
    return SendMessageW(m_hWnd, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color)) ? TRUE : FALSE;
}

namespace {

constexpr int kSortTextChars = 1024;  // 1023 characters and the terminator

// The text of the sort column of the row with this lParam ("" when none).
void SortText(HWND list, LPARAM param, int column, WCHAR* out)
{
    out[0] = 0;
    LVFINDINFOW f{};
    f.flags = LVFI_PARAM;
    f.lParam = param;
    auto row = SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&f));
    if (row < 0) return;
    LVITEMW it{};
    it.iSubItem = column;
    it.pszText = out;
    it.cchTextMax = kSortTextChars;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
}

}  // namespace

int CALLBACK ListViewCompareProc(LPARAM lParam1, LPARAM lParam2, LPARAM sortKey)
{
    long long key = sortKey;
    int column = static_cast<int>((key < 0 ? -key : key) - 1);
    bool ascending = key >= 1;
    if (column != 0 && column != 1) return 0;
    // The list being sorted; the list made last when called outside a sort.
    HWND list = qplat::SortingListView();
    if (!list) list = g_sortListView;
    static thread_local WCHAR text1[kSortTextChars], text2[kSortTextChars];
    SortText(list, lParam1, column, text1);
    SortText(list, lParam2, column, text2);
    return ascending ? wcscmp(text1, text2) : wcscmp(text2, text1);
}

// ---------------------------------------------------------------- scroll bar

CScrollBarCtl::CScrollBarCtl() : m_hOwner(nullptr), m_hWnd(nullptr), m_visible(0) {}

int CScrollBarCtl::Create(HWND owner, HINSTANCE instance, int id, int x, int y, int w, int h)
{
    m_hOwner = owner;
    m_visible = 0;
    m_hWnd = CreateWindowExW(0, u"SCROLLBAR", nullptr, 0x50000000, x, y, w, h, owner, IdMenu(id), instance, nullptr);
    return m_hWnd ? 1 : 0;
}

BOOL CScrollBarCtl::SetRange(int minimum, int maximum, BOOL redraw)
{
    return SetScrollRange(m_hWnd, SB_CTL, minimum, maximum, redraw);
}

int CScrollBarCtl::SetPos(int position, BOOL redraw) { return SetScrollPos(m_hWnd, SB_CTL, position, redraw); }

BOOL CScrollBarCtl::Show(int command)
{
    m_visible = command;
    return ShowWindow(m_hWnd, command);
}

void CScrollBarCtl::PageUp() { SendMessageW(m_hOwner, WM_HSCROLL, SB_PAGEUP, 0); }
void CScrollBarCtl::PageDown() { SendMessageW(m_hOwner, WM_HSCROLL, SB_PAGEDOWN, 0); }
void CScrollBarCtl::LineDown() { SendMessageW(m_hOwner, WM_HSCROLL, SB_LINEDOWN, 0); }

// ---------------------------------------------------------------- static text

CStaticTextCtl::CStaticTextCtl() : m_hParent(nullptr), m_hWnd(nullptr) {}

int CStaticTextCtl::Create(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int w, int h,
                           DWORD style, DWORD exStyle)
{
    return CreateWithText(*this, u"STATIC", parent, instance, text, id, x, y, w, h, style, exStyle);
}

void CStaticTextCtl::Attach(HWND control) { AttachControl(*this, control); }

void CStaticTextCtl::SetFont(HFONT font) { SendFont(m_hWnd, font); }

void CStaticTextCtl::SetText(LPCWSTR text) { SendText(m_hWnd, text); }

// ---------------------------------------------------------------- tooltip

CToolTipCtl g_toolTip;

CToolTipCtl::CToolTipCtl() : m_hOwner(nullptr), m_hWnd(nullptr), m_hInstance(nullptr), m_toolInfo{} {}
CToolTipCtl::~CToolTipCtl() = default;

int CToolTipCtl::Create(HWND owner, BOOL balloon)
{
    InitCommonControls();
    m_hOwner = owner;
    m_hInstance = owner ? reinterpret_cast<HINSTANCE>(GetWindowLongW(owner, GWL_HINSTANCE)) : nullptr;
    DWORD style = WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | (balloon ? TTS_BALLOON : 0);
    m_hWnd = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, m_hInstance, nullptr);
    if (!m_hWnd) return 0;
    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return 1;
}

BOOL CToolTipCtl::AddTool(HWND window, LPCWSTR text, UINT_PTR id)
{
    m_toolInfo = TOOLINFOW{};
    m_toolInfo.cbSize = sizeof(TOOLINFOW);
    m_toolInfo.uFlags = (id && window == m_hOwner) ? TTF_TRACK : TTF_SUBCLASS;
    m_toolInfo.hwnd = window;
    m_toolInfo.uId = id;
    GetClientRect(window, &m_toolInfo.rect);
    m_toolInfo.hinst = m_hInstance;
    m_toolInfo.lpszText = const_cast<LPWSTR>(text);
    return SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&m_toolInfo)) ? TRUE : FALSE;
}

void CToolTipCtl::SetBkColor(COLORREF color) { SendMessageW(m_hWnd, TTM_SETTIPBKCOLOR, color, 0); }
void CToolTipCtl::SetTextColor(COLORREF color) { SendMessageW(m_hWnd, TTM_SETTIPTEXTCOLOR, color, 0); }

BOOL CToolTipCtl::SetTitle(int icon, LPCWSTR title)
{
    return SendMessageW(m_hWnd, TTM_SETTITLEW, static_cast<WPARAM>(icon), reinterpret_cast<LPARAM>(title)) ? TRUE : FALSE;
}

void CToolTipCtl::SetDelay(int time, int which)
{
    SendMessageW(m_hWnd, TTM_SETDELAYTIME, static_cast<WPARAM>(which), MAKELPARAM(time, 0));
}

void CToolTipCtl::TrackPosition(int x, int y) { SendMessageW(m_hWnd, TTM_TRACKPOSITION, 0, MAKELPARAM(x, y)); }

void CToolTipCtl::TrackActivate(BOOL activate, HWND window, UINT_PTR id)
{
    m_toolInfo.hwnd = window;
    m_toolInfo.uId = id;
    SendMessageW(m_hWnd, TTM_TRACKACTIVATE, static_cast<WPARAM>(activate), reinterpret_cast<LPARAM>(&m_toolInfo));
}
