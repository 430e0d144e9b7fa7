// Date and time helpers and the set-clock screen.
//
// CDateTimeUtil turns a SYSTEMTIME into the texts stamped into every
// measurement record ("dd/mm/yy" and "hh:mm:ss"), sets a date picker to now
// and knows the length of a month. Its texts live in static buffers, one per
// kind, overwritten by the next call of the same kind: callers copy at once.
//
// CDateTimeDlg is the set-clock screen (template 269): six fields stepped by
// twelve arrow buttons that repeat while held, and a button that sets the
// handheld's local time.
#pragma once

#include "platform/WinCtrl.h"
#include "platform/WinDef.h"
#include "platform/WinUser.h"
#include "settings/Language.h"
#include "ui/MessageDlg.h"
#include "ui/OwnerButton.h"
#include "ui/PaintHelper.h"

class CDateTimeUtil {
public:
    WCHAR* FormatDate(const SYSTEMTIME& time);
    WCHAR* FormatTime(const SYSTEMTIME& time);
    // A one-character text gets a leading "0"; a four-character text (a year)
    // keeps its last two characters; any other text stays as it is.
    WCHAR* TwoDigits(const WCHAR* text);
    WCHAR* TwoDigits(int number);
    void SetPickerToNow(HWND picker);
    int DaysInMonth(int year, int month);

private:
    static WCHAR s_date[16];
    static WCHAR s_time[16];
    static WCHAR s_number[16];
};

extern CDateTimeUtil g_dateTimeUtil;

constexpr UINT_PTR DATETIME_REPEAT_MS = 50;

class CDateTimeDlg {
public:
    CDateTimeDlg();
    ~CDateTimeDlg();
    CDateTimeDlg(const CDateTimeDlg&) = delete;
    CDateTimeDlg& operator=(const CDateTimeDlg&) = delete;

    int DoModal(HINSTANCE instance, HWND parent);
    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // "UP": value + step below the maximum, else the minimum; "DOWN": value -
    // step above the minimum, else the maximum.
    static int StepField(int value, int minimum, int maximum, LPCWSTR direction, int step);
    void ShowFields();

    HINSTANCE m_hInstance;
    HWND m_hParent;
    CPaintHelper m_paint;
    CDateTimeUtil m_util;
    SYSTEMTIME m_time;
    CLanguage m_language;
    COwnerButton m_close;
    COwnerButton m_set;
    COwnerButton m_steps[12];
    CMessageDlg m_messageDlg;
    int m_repeatCommand;

private:
    void Step(int command);
    void DestroyButtons();
    HWND m_hDlg = nullptr;
    bool m_stepPressed[12] = {};
};

extern CDateTimeDlg* g_dateTimeDlg;
