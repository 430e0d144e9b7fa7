// The message box: every notice, failure and yes/no question of the program.
// A modal dialog (template 111) with an icon chosen by the type, the message
// text and one or two bitmap buttons whose captions come from the language
// table. Each screen holds its own CMessageDlg; the program's shell keeps a
// program-wide one as a static object.
#pragma once

#include "platform/WinDef.h"
#include "platform/WinUser.h"
#include "settings/Language.h"
#include "ui/ControlWrappers.h"
#include "ui/OwnerButton.h"
#include "ui/PaintHelper.h"

constexpr int MESSAGE_TEXT_CHARS = 151;  // 150 characters and the terminator

// Message types.
constexpr BYTE MESSAGE_FAILURE = 0;
constexpr BYTE MESSAGE_WARNING = 1;
constexpr BYTE MESSAGE_QUESTION = 2;
constexpr BYTE MESSAGE_NOTICE = 3;

class CMessageDlg {
public:
    CMessageDlg();
    ~CMessageDlg();
    CMessageDlg(const CMessageDlg&) = delete;
    CMessageDlg& operator=(const CMessageDlg&) = delete;

    // Shows the box and waits for it; 1 after the first button (yes, OK), 0
    // after the second (no), when the box is closed without a button, when
    // it cannot be shown, and when this object's box is already on the screen.
    // Types outside 0 to 3 show as type 0; a text longer than 150 characters
    // is cut.
    int Show(HINSTANCE instance, HWND parent, int type, LPCWSTR text);

    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    int m_busy;
    int m_result;
    HINSTANCE m_hInstance;
    HWND m_hParent;
    HFONT m_textFont;
    BYTE m_type;
    WCHAR m_text[MESSAGE_TEXT_CHARS];
    int m_buttonCount;
    CPaintHelper m_paint;
    COwnerButton m_buttons[2];
    CLanguage m_language;
    CStaticTextCtl m_textCtl;

private:
    void EndShow();
    HBITMAP m_icon = nullptr;
};

// The object whose box is being opened (its dialog window then keeps it).
extern CMessageDlg* g_messageDlg;

// BM_GETCHECK of a dialog's item: 1 when checked, 0 when not.
int IsDlgButtonOn(HWND dialog, int id);
