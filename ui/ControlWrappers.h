// Thin wrappers over the standard and common controls that the screens make
// at run time or take over from a dialog template. Each keeps the parent and
// the control's window and turns a call into one window creation or one
// message; none subclasses its control, and none destroys it (the parent's
// end destroys its children). Notifications go to the screen's own procedure.
#pragma once

#include "platform/WinCtrl.h"
#include "platform/WinDef.h"
#include "platform/WinUser.h"

class CComboBoxCtl {
public:
    CComboBoxCtl();
    // 1 when the control was made, else 0. `h` is the height of the dropped list.
    int Create(HWND parent, HINSTANCE instance, int id, int x, int y, int w, int h);
    void SetFont(HFONT font);
    int AddString(LPCWSTR text);
    int SetCurSel(int index);
    int GetCurSel();  // CB_ERR when none
    // Copies entry `index` into buffer (at most bufferLength - 1 characters,
    // always terminated); returns the characters copied or CB_ERR.
    int GetLBText(int index, LPWSTR buffer, int bufferLength);
    int FindString(int startIndex, LPCWSTR text);

    HWND m_hParent;
    HWND m_hWnd;
};

class CDateTimeCtl {
public:
    // Registers the date-and-time control classes.
    CDateTimeCtl();
    int Create(HWND parent, HINSTANCE instance, int id, int x, int y, int w, int h, DWORD style);
    void SetFont(HFONT font);

    HWND m_hParent;
    HWND m_hWnd;
};

class CEditCtl {
public:
    CEditCtl();
    virtual ~CEditCtl();
    CEditCtl(const CEditCtl&) = delete;
    CEditCtl& operator=(const CEditCtl&) = delete;

    int Create(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int w, int h, DWORD style,
               DWORD exStyle);
    void Attach(HWND control);
    void SetFont(HFONT font);
    void SetText(LPCWSTR text);

    HWND m_hParent;
    HWND m_hWnd;
};

// The list view made last by CListViewCtl::Create.
extern HWND g_sortListView;

class CListViewCtl {
public:
    CListViewCtl();
    int Create(HWND parent, HINSTANCE instance, int id, int x, int y, int w, int h, BOOL withHeader,
               BOOL gridLines);
    void Move(int x, int y, int w, int h);
    void SetFont(HFONT font);
    int InsertColumn(int index, LPCWSTR text, int format, int width, int subItem);
    BOOL UpdateColumn(int index, LPCWSTR text);
    BOOL GetColumn(int index, LVCOLUMNW* column);
    BOOL SetColumn(int index, const LVCOLUMNW* column);
    BOOL SetColumnWidth(int index, int width);
    // Each row gets an lParam of its own, the same for no two rows of the
    // list (the insertion index while rows are only appended).
    int InsertItem(int index, LPCWSTR text);
    BOOL SetItemText(int item, int subItem, LPCWSTR text);
    int GetItemText(int item, int subItem, LPWSTR buffer, int bufferLength);
    int GetItemCount();
    BOOL DeleteAllItems();
    int GetSelected();  // -1 when none
    BOOL DeleteItem(int item);
    void SelectItem(int item);
    BOOL Show(int command);
    BOOL SetTextColor(COLORREF color);

    HWND m_hParent;
    HWND m_hWnd;

private:
    LPARAM m_nextParam = 0;
};

// The comparison for LVM_SORTITEMS: sort key k sorts by column |k| - 1,
// ascending for k >= 1; columns 0 and 1 compare their texts ordinally, any
// other column compares equal.
int CALLBACK ListViewCompareProc(LPARAM lParam1, LPARAM lParam2, LPARAM sortKey);

class CScrollBarCtl {
public:
    CScrollBarCtl();
    int Create(HWND owner, HINSTANCE instance, int id, int x, int y, int w, int h);
    BOOL SetRange(int minimum, int maximum, BOOL redraw);
    int SetPos(int position, BOOL redraw);
    BOOL Show(int command);
    // Scroll requests go to the owner, whose own scroll handling moves the view.
    void PageUp();
    void PageDown();
    void LineDown();

    HWND m_hOwner;
    HWND m_hWnd;
    int m_visible;
};

class CStaticTextCtl {
public:
    CStaticTextCtl();
    int Create(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int w, int h, DWORD style,
               DWORD exStyle);
    void Attach(HWND control);
    void SetFont(HFONT font);
    void SetText(LPCWSTR text);

    HWND m_hParent;
    HWND m_hWnd;
};

class CToolTipCtl {
public:
    CToolTipCtl();
    virtual ~CToolTipCtl();
    CToolTipCtl(const CToolTipCtl&) = delete;
    CToolTipCtl& operator=(const CToolTipCtl&) = delete;

    int Create(HWND owner, BOOL balloon);
    BOOL AddTool(HWND window, LPCWSTR text, UINT_PTR id);
    void SetBkColor(COLORREF color);
    void SetTextColor(COLORREF color);
    BOOL SetTitle(int icon, LPCWSTR title);
    void SetDelay(int time, int which);
    void TrackPosition(int x, int y);
    void TrackActivate(BOOL activate, HWND window, UINT_PTR id);

    HWND m_hOwner;
    HWND m_hWnd;
    HINSTANCE m_hInstance;
    TOOLINFOW m_toolInfo;
};

extern CToolTipCtl g_toolTip;
