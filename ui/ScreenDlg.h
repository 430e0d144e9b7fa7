// The one pattern every modal screen of the program follows.
//
// A screen is a class of its own, derived from CScreenDlg<Screen>: the opener
// allocates it on the heap (RunScreen below does the opener's part), DoModal
// loads the screen's copy of the settings block and its language table, runs
// the screen's dialog template and returns whether the screen ended with a
// non-zero result. The base answers the messages every screen answers alike:
// painting through the off-screen context (panel, corner logo, title, then the
// screen's own content), the colour questions, owner-drawn buttons routed by
// window handle, the back button, WM_CLOSE and the power key.
//
// What a screen states of itself, as static members:
//   kTemplateId       its dialog template
//   kTitleTextId      the title's text id (0: no title)
//   kBackId           the command id of its back button (0: none)
//   kEraseAnswer      the answer to WM_ERASEBKGND (0: the dialog manager erases)
//   kUnhandledAnswer  the answer to messages nobody handled
//   kPanelFactor      the factor of the background panel (see CPaintHelper)
// and, where a screen differs from the common answer (the base's value holds
// otherwise):
//   kDefaultsWhenUnread  false: a settings file that gives nothing leaves the
//                     copy zeroed and nothing is written (screens that only
//                     read the settings)
// and what it adds, as members hiding the base's defaults (no virtual calls):
//   OnLoadSettings()  its own part of the initialisation step
//   OnInitDialog()    creates its controls and timers
//   PaintFrame(dc)    the background (default: panel, corner logo, title)
//   PaintContent(dc)  draws its content over the panel and the title
//   OnCommand(id, code, control, answer)  true when it handled the command
//   OnTimer(id)
//   OnClose()         its own clean-up before the buttons go and the dialog ends
//   CloseResult()     the value WM_CLOSE ends the dialog with (default 0x10)
//   OnMessage(msg, wParam, lParam, answer)  sees every message first; true
//                     when it answered it (the common handling is then skipped)
//   TitleText()       the title (default: the text of kTitleTextId)
//
// Messages reach the object through its dialog window, so a message that
// arrives after the screen ended touches no freed object; the class's
// current-instance pointer only serves the messages before WM_INITDIALOG and
// is cleared when the dialog returns.
#pragma once

#include <cstring>
#include <new>
#include <utility>

#include "platform/WinDef.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "settings/DeviceSetup.h"
#include "settings/FixedRecordFile.h"
#include "settings/Language.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "ui/BufferedDC.h"
#include "ui/MessageDlg.h"
#include "ui/ModalDialog.h"
#include "ui/OwnerButton.h"
#include "ui/PaintHelper.h"

// Text of the power-off question every screen asks.
constexpr int SCREEN_POWER_QUESTION = 50021;
// Text of the failure notice of any file the operator's work could not be
// written to.
constexpr int SCREEN_SAVE_FAILED = 50015;
// Text of the refusal of a journal held back by a cut-off save that could
// not be undone: nothing is written into it until then.
constexpr int SCREEN_CUT_OFF_SAVE_STUCK = 50093;
// The same where the card fails (a write it does not confirm, an I/O error,
// an unreadable roll-back) rather than being read-only: the operator's next
// step is to check the card, not to unlock it.
constexpr int SCREEN_CUT_OFF_SAVE_FAILING = 50098;
// The same where two journals whose names differ only in letter case could
// own the cut-off save: one of them is renamed on a PC.
constexpr int SCREEN_CUT_OFF_SAVE_AMBIGUOUS = 50073;
// The same where the copy of the journal as found, which the undo keeps
// first, finds no room on the card (room is freed on a PC), or no free name
// (earlier copies are cleared on a PC).
constexpr int SCREEN_CUT_OFF_SAVE_CARD_FULL = 50075;
constexpr int SCREEN_CUT_OFF_SAVE_NO_COPY_NAME = 50076;
// A journal browser's write over a journal that no longer holds the records
// the screen shows: nothing was written, and the screen reads it anew.
constexpr int SCREEN_JOURNAL_CHANGED = 50074;
// A save that could not read its journal to look its record up: nothing was
// written, for it could not tell a replace from an append.
constexpr int SCREEN_JOURNAL_UNREADABLE = 50079;
// A write of a list a screen read (a catalogue, the paired sensors, a file
// deleted by its name) that found the card's file changed since (a PC,
// another card): nothing was written, and the screen shows the card anew.
constexpr int SCREEN_CARD_CHANGED = 50077;
// A file the list showed, to be deleted, that the card no longer holds: its
// row goes.
constexpr int SCREEN_ALREADY_GONE = 50078;
// A replace that found another record at its place than the one the
// operator was asked about: nothing was written.
constexpr int SCREEN_RECORD_CHANGED = 50097;
// A change that was made, but that the card did not confirm.
constexpr int SCREEN_NOT_CONFIRMED = 50099;
// The kind of box a list's delete tells its outcome in.
inline int DeleteToldAs(int text)
{
    if (text == SCREEN_NOT_CONFIRMED) return MESSAGE_WARNING;
    return text == SCREEN_ALREADY_GONE ? MESSAGE_NOTICE : MESSAGE_FAILURE;
}

// The notice of a journal write that wrote nothing: the record file's
// reason where it gave one, else the screen's own `otherwise`.
inline int JournalRefusalText(CFixedRecordFile::Refusal why, int otherwise)
{
    switch (why) {
    case CFixedRecordFile::Refusal::CutOffSaveStuck: return SCREEN_CUT_OFF_SAVE_STUCK;
    case CFixedRecordFile::Refusal::CutOffSaveFailing: return SCREEN_CUT_OFF_SAVE_FAILING;
    case CFixedRecordFile::Refusal::CutOffSaveAmbiguous: return SCREEN_CUT_OFF_SAVE_AMBIGUOUS;
    case CFixedRecordFile::Refusal::CutOffSaveCardFull: return SCREEN_CUT_OFF_SAVE_CARD_FULL;
    case CFixedRecordFile::Refusal::CutOffSaveNoCopyName: return SCREEN_CUT_OFF_SAVE_NO_COPY_NAME;
    case CFixedRecordFile::Refusal::RecordChanged: return SCREEN_RECORD_CHANGED;
    default: return otherwise;
    }
}
// The back button's place and faces, the same on every screen.
constexpr int SCREEN_BACK_X = 435;
constexpr int SCREEN_BACK_Y = 7;
constexpr int SCREEN_BACK_SIZE = 36;
constexpr int SCREEN_BACK_BITMAP = 173;
constexpr int SCREEN_BACK_PRESSED = 174;
// The title: blue bold Calibri, centred over the client width.
constexpr int SCREEN_TITLE_Y = 10;
constexpr int SCREEN_TITLE_HEIGHT = 20;
constexpr int SCREEN_TITLE_WIDTH = 7;
constexpr COLORREF SCREEN_TITLE_COLOUR = 0xFF0000;
// How many button arrays one screen may route.
constexpr int SCREEN_BUTTON_ARRAYS = 8;

// What every screen draws first: the white panel with its separator lines
// (and a frame when the factor is not 0), the corner logo and the title.
inline void PaintScreenFrame(CPaintHelper& paint, HWND window, HDC dc, HINSTANCE instance, float panelFactor,
                             LPCWSTR title)
{
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    paint.DrawPanel(window, dc, panelFactor);
    paint.DrawBitmapTopLeft(instance, dc);
    paint.DrawCaption(window, dc, 0, SCREEN_TITLE_Y, client.right, title, SCREEN_TITLE_HEIGHT, SCREEN_TITLE_WIDTH,
                      SCREEN_TITLE_COLOUR, TRUE, FALSE, 0);
}

template <class Screen>
class CScreenDlg {
public:
    // Always the first three members, in this order.
    HINSTANCE m_hInstance = nullptr;
    HWND m_hParent = nullptr;
    HWND m_hWnd = nullptr;

    HFONT m_font = nullptr;
    CParamFile m_paramFile;
    ParamBlock m_params;
    // The block as loaded, for screens that must tell what the operator changed.
    ParamBlock m_loadedParams;
    // The block as the card held it when this screen last read or wrote it:
    // what its saves changed is told from this.
    ParamBlock m_cardParams;
    CProgramFolder m_folder;
    CPaintHelper m_paint;
    CLanguage m_language;
    CMessageDlg m_messageBox;

    CScreenDlg(const CScreenDlg&) = delete;
    CScreenDlg& operator=(const CScreenDlg&) = delete;

    static constexpr bool kDefaultsWhenUnread = true;

    // The screen being run, while its dialog runs; nullptr otherwise.
    static Screen* Current() { return s_current; }

    // The opening of a screen that takes nothing but its owner. Screens with
    // further arguments write their own DoModal from BeginModal and RunTemplate.
    BOOL DoModal(HINSTANCE instance, HWND parent)
    {
        BeginModal(instance, parent);
        return Answered(RunTemplate());
    }

    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        return RouteDialogMessage(s_current, hwnd, msg, wParam, lParam);
    }

    INT_PTR DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        INT_PTR answer = 0;
        if (Self().OnMessage(msg, wParam, lParam, answer)) return answer;
        switch (msg) {
        case WM_INITDIALOG:
            m_hWnd = hwnd;
            Self().OnInitDialog();
            return TRUE;
        case WM_PAINT:
            PaintScreen();
            return Screen::kUnhandledAnswer;
        case WM_ERASEBKGND: return Screen::kEraseAnswer;
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG: return ScreenColourBrush(msg, wParam);
        case WM_DRAWITEM:
            RouteDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return Screen::kUnhandledAnswer;
        case WM_TIMER:
            Self().OnTimer(static_cast<UINT_PTR>(wParam));
            return Screen::kUnhandledAnswer;
        case WM_CLOSE:
            Self().OnClose();
            DestroyButtons();
            EndDialog(hwnd, Self().CloseResult());
            return TRUE;
        case WM_POWERKEY:
        case WM_POWERKEY_SHELL:
            PowerKeyPath();
            return Screen::kUnhandledAnswer;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (Self().OnCommand(id, HIWORD(wParam), reinterpret_cast<HWND>(lParam), answer)) return answer;
            if (Screen::kBackId != 0 && id == Screen::kBackId) {
                EndDialog(hwnd, WM_COMMAND);
                return TRUE;
            }
            return Screen::kUnhandledAnswer;
        }
        default: return Screen::kUnhandledAnswer;
        }
    }

protected:
    CScreenDlg(int fontHeight = 18, int fontWeight = FW_NORMAL)
    {
        std::memset(&m_params, 0, sizeof m_params);
        std::memset(&m_loadedParams, 0, sizeof m_loadedParams);
        std::memset(&m_cardParams, 0, sizeof m_cardParams);
        m_font = m_paint.MakeFont(u"Calibri", fontHeight, 0, fontWeight, 0);
    }
    ~CScreenDlg()
    {
        if (m_font) DeleteObject(m_font);
    }

    // ---- the defaults a screen hides with its own
    void OnLoadSettings() {}
    void OnInitDialog() {}
    void PaintFrame(HDC dc)
    {
        PaintScreenFrame(m_paint, m_hWnd, dc, m_hInstance, Screen::kPanelFactor, Self().TitleText());
    }
    void PaintContent(HDC) {}
    bool OnCommand(int, int, HWND, INT_PTR&) { return false; }
    void OnTimer(UINT_PTR) {}
    void OnClose() {}
    INT_PTR CloseResult() const { return WM_CLOSE; }
    bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }
    LPCWSTR TitleText() { return Screen::kTitleTextId ? m_language.GetText(Screen::kTitleTextId) : u""; }

    // ---- the steps of DoModal
    // Keeps the owner, makes this the class's current screen and runs the
    // initialisation step.
    void BeginModal(HINSTANCE instance, HWND parent)
    {
        m_hInstance = instance;
        m_hParent = parent;
        s_current = &Self();
        LoadSettings();
    }
    // Runs the template; the value the dialog ended with (0 when the template
    // is missing or the dialog could not be shown).
    INT_PTR RunTemplate()
    {
        INT_PTR end = 0;
        if (!RunDialogTemplate(m_hInstance, Screen::kTemplateId, m_hParent, StaticDlgProc, end)) end = 0;
        s_current = nullptr;
        m_hWnd = nullptr;
        return end;
    }
    // Gives up after BeginModal without running the template (the screen has
    // nothing to work on): the class has no current screen again.
    void CancelModal() { s_current = nullptr; }
    // Whether a dialog's end value counts as true: non-zero and not the
    // failure -1.
    static BOOL Answered(INT_PTR end) { return DialogAnswered(end); }

    // The initialisation step: the settings copy (factory defaults, written to
    // the file, when the file gives nothing, unless the screen says not to),
    // the copy kept for change detection, the language table, then the
    // screen's own part.
    void LoadSettings()
    {
        std::memset(&m_params, 0, sizeof m_params);
        if (!m_paramFile.Load(&m_params) && Screen::kDefaultsWhenUnread) m_paramFile.WriteDefaults(&m_params);
        m_loadedParams = m_params;
        m_cardParams = m_params;
        m_language.Load();
        Self().OnLoadSettings();
    }

    // ---- helpers for the screens
    // Button arrays the base routes WM_DRAWITEM to and destroys on WM_CLOSE,
    // in the order they were added.
    void AddButtons(COwnerButton* buttons, int count)
    {
        if (m_arrayCount < SCREEN_BUTTON_ARRAYS && buttons && count > 0) {
            m_arrays[m_arrayCount] = buttons;
            m_arraySizes[m_arrayCount] = count;
            ++m_arrayCount;
        }
    }
    // The back button in the top right corner.
    HWND CreateBackButton(COwnerButton& button)
    {
        return button.Create(m_hWnd, m_hInstance, SCREEN_BACK_X, SCREEN_BACK_Y, SCREEN_BACK_SIZE, SCREEN_BACK_SIZE,
                             Screen::kBackId, SCREEN_BACK_BITMAP, SCREEN_BACK_PRESSED, 0);
    }
    // A message of this screen's language table through its own message box.
    int ShowMessage(int type, int textId)
    {
        return m_messageBox.Show(m_hInstance, m_hWnd, type, m_language.GetText(textId));
    }
    // Saves the settings copy: the fields this screen changed since it read
    // the block go onto the block as the card holds it now, so what another
    // screen, a PC or another card put there meanwhile stays; the copy is
    // then what was written. False when it was not written.
    bool StoreSettings() { return StoreSettings(m_params); }
    bool StoreSettings(ParamBlock& block)
    {
        if (!m_paramFile.Save(&block, &m_cardParams)) return false;
        m_cardParams = block;
        return true;
    }
    // The same, with a save that fails shown to the operator (50015) and
    // answered false, so the screen never shows it as done.
    bool SaveSettings()
    {
        if (StoreSettings()) return true;
        ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
        return false;
    }
    // Reads the settings again (another screen saved them); false, with the
    // copy as it was, when they cannot be read.
    bool ReloadSettings()
    {
        ParamBlock fresh = m_params;
        if (!m_paramFile.Load(&fresh)) return false;
        m_params = m_cardParams = fresh;
        return true;
    }
    // The power key: question 50021; on yes the handheld is switched off and
    // the screen stays as it was for when it wakes. A question already open
    // refuses the second one, so nothing happens then.
    void PowerKeyPath()
    {
        if (ShowMessage(MESSAGE_QUESTION, SCREEN_POWER_QUESTION) == 1) PowerOffDevice();
    }
    void RouteDrawItem(const DRAWITEMSTRUCT* item)
    {
        if (!item) return;
        for (int a = 0; a < m_arrayCount; ++a)
            for (int i = 0; i < m_arraySizes[a]; ++i)
                if (m_arrays[a][i].m_hWnd && m_arrays[a][i].m_hWnd == item->hwndItem) m_arrays[a][i].DrawItem(item);
    }
    void DestroyButtons()
    {
        for (int a = 0; a < m_arrayCount; ++a)
            for (int i = 0; i < m_arraySizes[a]; ++i) m_arrays[a][i].Destroy();
    }
    // The painting steps: panel, corner logo, title, the screen's content,
    // all into the off-screen context, copied to the window in one step.
    void PaintScreen()
    {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(m_hWnd, &ps);
        RECT client;
        GetClientRect(m_hWnd, &client);
        CBufferedDC* buffered = new (std::nothrow) CBufferedDC(hdc, RECT{0, 0, client.right, client.bottom});
        if (buffered) {
            HDC dc = buffered->m_hDC;
            Self().PaintFrame(dc);
            Self().PaintContent(dc);
            delete buffered;
        }
        EndPaint(m_hWnd, &ps);
    }

private:
    Screen& Self() { return static_cast<Screen&>(*this); }

    static inline Screen* s_current = nullptr;
    COwnerButton* m_arrays[SCREEN_BUTTON_ARRAYS] = {};
    int m_arraySizes[SCREEN_BUTTON_ARRAYS] = {};
    int m_arrayCount = 0;
};

// The opener's part: allocate the screen, run it, delete it. An allocation
// that fails opens nothing and counts as a screen that was not confirmed.
template <class Screen, class... Args>
BOOL RunScreen(Args&&... args)
{
    Screen* screen = new (std::nothrow) Screen();
    if (!screen) return FALSE;
    BOOL result = screen->DoModal(std::forward<Args>(args)...);
    delete screen;
    return result;
}
