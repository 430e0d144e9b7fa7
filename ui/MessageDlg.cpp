#include "ui/MessageDlg.h"

#include "platform/WinGdi.h"
#include "platform/WinText.h"
#include "ui/ModalDialog.h"

CMessageDlg* g_messageDlg = nullptr;

namespace {

constexpr int kDialogId = 111;
constexpr int kTextId = 345;
constexpr int kIconId = 110;
constexpr int kFirstButton = 343;
constexpr int kSecondButton = 344;
constexpr int kTitleText = 40100;
constexpr int kYesText = 50100;
constexpr int kNoText = 50101;
constexpr int kOkText = 50102;
constexpr int kIconOfType[4] = {319, 322, 321, 320};

}  // namespace

CMessageDlg::CMessageDlg()
    : m_busy(0), m_result(0), m_hInstance(nullptr), m_hParent(nullptr), m_textFont(nullptr), m_type(0), m_text{},
      m_buttonCount(0)
{
    // The font and the texts are made when a box is first shown (every show
    // loads the texts again), so a program-wide box may be a static object
    // built before the device root is known.
}

CMessageDlg::~CMessageDlg()
{
    if (m_icon) DeleteObject(m_icon);
    if (m_textFont) DeleteObject(m_textFont);
}

int CMessageDlg::Show(HINSTANCE instance, HWND parent, int type, LPCWSTR text)
{
    if (m_busy) return 0;
    m_hInstance = instance;
    m_hParent = parent;
    m_language.Load();
    if (!m_textFont) m_textFont = m_paint.MakeFont(u"Calibri", 18, 0, 400, 0);
    g_messageDlg = this;
    m_type = static_cast<BYTE>(type & 0xFF);
    if (m_type > MESSAGE_NOTICE) m_type = MESSAGE_FAILURE;
    qplat::CopyField(m_text, MESSAGE_TEXT_CHARS, text ? text : u"");
    // Only a button press answers "yes".
    m_result = 0;
    INT_PTR end = 0;
    if (!RunDialogTemplate(instance, kDialogId, parent, StaticDlgProc, end)) return 0;
    // A box that ended some other way than WM_CLOSE leaves nothing behind.
    EndShow();
    return DialogAnswered(end);
}

void CMessageDlg::EndShow()
{
    if (m_icon) {
        DeleteObject(m_icon);
        m_icon = nullptr;
    }
    for (int i = 0; i < m_buttonCount && i < 2; ++i) m_buttons[i].Destroy();
    m_buttonCount = 0;
    m_busy = 0;
}

INT_PTR CALLBACK CMessageDlg::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return RouteDialogMessage(g_messageDlg, hwnd, msg, wParam, lParam);
}

INT_PTR CMessageDlg::DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowTextW(hwnd, m_language.GetText(kTitleText));
        if (m_icon) DeleteObject(m_icon);
        m_icon = static_cast<HBITMAP>(
            LoadImageW(m_hInstance, MAKEINTRESOURCEW(kIconOfType[m_type]), IMAGE_BITMAP, 0, 0, 0));
        HWND icon = CreateWindowExW(0, u"STATIC", nullptr, 0x5000010E, 7, 7, 0, 0, hwnd,
                                    reinterpret_cast<HMENU>(static_cast<intptr_t>(kIconId)), m_hInstance, nullptr);
        if (icon) SendMessageW(icon, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_icon));
        m_textCtl.Attach(GetDlgItem(hwnd, kTextId));
        m_textCtl.SetFont(m_textFont);
        m_textCtl.SetText(m_text);
        RECT client;
        GetClientRect(hwnd, &client);
        int W = client.right, H = client.bottom;
        SIZE b = GetResourceBitmapSize(m_hInstance, 317);
        if (m_type == MESSAGE_QUESTION) {
            m_buttonCount = 2;
            m_buttons[0].Create(hwnd, m_hInstance, W / 4 - b.cx / 2, H - b.cy - 15, 0, 0, kFirstButton, 317, 318, 0);
            m_buttons[0].SetCaption(m_language.GetText(kYesText), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
            m_buttons[1].Create(hwnd, m_hInstance, 3 * W / 4 - b.cx / 2, H - b.cy - 15, 0, 0, kSecondButton, 314, 315,
                                0);
            m_buttons[1].SetCaption(m_language.GetText(kNoText), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
        } else {
            m_buttonCount = 1;
            m_buttons[0].Create(hwnd, m_hInstance, W / 2 - b.cx / 2, H - b.cy - 20, 0, 0, kFirstButton, 317, 318, 0);
            m_buttons[0].SetCaption(m_language.GetText(kOkText), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
        }
        m_busy = 1;
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == kFirstButton || LOWORD(wParam) == kSecondButton) {
            m_result = LOWORD(wParam) == kFirstButton ? 1 : 0;
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndShow();
        EndDialog(hwnd, m_result);
        return TRUE;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (int i = 0; item && i < m_buttonCount && i < 2; ++i)
            if (m_buttons[i].m_hWnd == item->hwndItem) m_buttons[i].DrawItem(item);
        return FALSE;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: return ScreenColourBrush(msg, wParam);
    default: return FALSE;
    }
}

int IsDlgButtonOn(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}
