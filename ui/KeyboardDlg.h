// The on-screen keyboard: every text or number the operator types. A
// full-screen modal dialog (template 478) with a prompt, a read-only edit
// line, a keyboard picture whose keys are found by position, and seven
// function keys. Digits only (mode 0) or letters and digits, with a Latin and
// a Cyrillic alphabet, shift and four symbol keys.
#pragma once

#include "platform/WinDef.h"
#include "platform/WinUser.h"
#include "settings/Language.h"
#include "ui/ControlWrappers.h"
#include "ui/MessageDlg.h"
#include "ui/OwnerButton.h"
#include "ui/PaintHelper.h"

constexpr int KEYBOARD_LABEL_CHARS = 10;
constexpr int KEYBOARD_TEXT_CHARS = 150;     // result, prompt, initial text (149 and the terminator)
constexpr int KEYBOARD_WORKING_CHARS = 100;  // the initial text as put into the edit line

struct KeyboardKey {
    WCHAR label1[KEYBOARD_LABEL_CHARS];  // typed with shift on
    WCHAR label2[KEYBOARD_LABEL_CHARS];  // typed with shift off
    int id;
    int x, y, width;
    BYTE height;
};

constexpr int KEYS_CYRILLIC = 32;
constexpr int KEYS_LATIN = 26;
constexpr int KEYS_SYMBOLS = 4;
constexpr int KEYS_DIGITS = 11;

extern const int g_keyboardGeometry[16];
extern KeyboardKey g_keysCyrillic[KEYS_CYRILLIC];
extern KeyboardKey g_keysLatin[KEYS_LATIN];
extern KeyboardKey g_keysSymbols[KEYS_SYMBOLS];
extern KeyboardKey g_keysDigits[KEYS_DIGITS];
// Builds the four key tables (done once, before the first keyboard opens).
void BuildKeyboardTables();

class CKeyboardDlg {
public:
    CKeyboardDlg();
    ~CKeyboardDlg();
    CKeyboardDlg(const CKeyboardDlg&) = delete;
    CKeyboardDlg& operator=(const CKeyboardDlg&) = delete;

    // 1 when the operator confirmed with OK (the text is then in m_result);
    // 0 for cancel, power-off, WM_CLOSE or a keyboard that cannot open.
    int DoModal(HINSTANCE instance, HWND parent, int mode, LPCWSTR prompt, LPCWSTR initialText);

    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    void SetCaret(int position);
    int GetCaret();
    void InsertText(LPCWSTR text);
    void Backspace();
    void ToggleShift();
    void ToggleLetters();
    void ToggleAlphabet();
    void EnableLetterKeys(int lettersMode);
    int HitTestSymbols(int x, int y);
    int HitTestLetters(int x, int y);
    int HitTestDigits(int x, int y);
    void DrawSymbolKey(int index, int bitmap);
    void DrawLetterKey(int index, int bitmap);
    void DrawDigitKey(int index, int bitmap);

    WCHAR m_result[KEYBOARD_TEXT_CHARS];
    HINSTANCE m_hInstance;
    HWND m_hParent;
    HWND m_hEdit;
    RECT m_client;
    HFONT m_promptFont;
    WCHAR m_working[KEYBOARD_WORKING_CHARS];
    WCHAR m_pending[KEYBOARD_LABEL_CHARS];
    WCHAR m_prompt[KEYBOARD_TEXT_CHARS];
    WCHAR m_initial[KEYBOARD_TEXT_CHARS];
    int m_shift;
    int m_cyrillic;
    int m_lettersMode;
    int m_lettersAllowed;
    CMessageDlg m_messageDlg;
    COwnerButton m_keys[7];
    CStaticTextCtl m_promptCtl;
    CEditCtl m_editCtl;
    CLanguage m_language;
    CPaintHelper m_paint;
    int m_pressedSymbol;
    int m_pressedLetter;
    int m_pressedDigit;
    int m_caret;

private:
    HWND m_hDlg = nullptr;
    void DestroyKeys();
    RECT m_pressedArea{};  // what the pressed key covers, until it is released
    void DrawKey(const KeyboardKey& key, int bitmap, int xShift, int labelHeight, const WCHAR* label);
    void ReleaseKey();
};

extern CKeyboardDlg* g_keyboardDlg;
extern WCHAR g_promptText[KEYBOARD_TEXT_CHARS];

// Deletes a keyboard made with new (the openers' form after DoModal).
void DeleteKeyboardDlg(CKeyboardDlg* dialog);

// Asks for a text: the edited text after OK, the default text after OK with
// an empty text and after cancel. The result is g_promptText.
WCHAR* PromptForText(HINSTANCE instance, HWND parent, LPCWSTR prompt, LPCWSTR defaultText, int mode);
// Asks for a text where cancelling must be told apart: 1 when the operator
// confirmed, with the edited text (possibly empty) in `text` (cut to
// `chars`); 0 for cancel, the close box or a keyboard that cannot open, with
// `text` empty.
int AskText(HINSTANCE instance, HWND parent, int mode, LPCWSTR prompt, LPCWSTR initialText, WCHAR* text, int chars);
