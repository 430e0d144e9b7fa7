#include "ui/KeyboardDlg.h"

#include <algorithm>
#include <mutex>

#include "platform/WinGdi.h"
#include "platform/WinText.h"
#include "settings/DeviceSetup.h"
#include "ui/BufferedDC.h"
#include "ui/ModalDialog.h"

CKeyboardDlg* g_keyboardDlg = nullptr;
WCHAR g_promptText[KEYBOARD_TEXT_CHARS];

// Origin x and y; Cyrillic width, height, count; Latin width, height, count;
// symbol width, height, horizontal step, vertical step, count; digit width,
// height, count.
const int g_keyboardGeometry[16] = {20, 120, 31, 26, 32, 39, 26, 26, 31, 26, 36, 31, 4, 71, 41, 11};

KeyboardKey g_keysCyrillic[KEYS_CYRILLIC];
KeyboardKey g_keysLatin[KEYS_LATIN];
KeyboardKey g_keysSymbols[KEYS_SYMBOLS];
KeyboardKey g_keysDigits[KEYS_DIGITS];

namespace {

enum : int {
    kCancel = 800,
    kBackspace = 801,
    kOk = 802,
    kSpace = 803,
    kShift = 804,
    kLetters = 805,
    kAlphabet = 806,
};
constexpr int kDialogId = 478;
constexpr int kPromptId = 477;
constexpr int kEditId = 476;
constexpr int kTitleText = 50044;
constexpr int kPowerQuestion = 50021;
// Character sizes (em, px) at which bold Calibri labels stand as tall as the
// labels of the keyboard pictures.
constexpr int kLetterLabel = 16;
constexpr int kDigitLabel = 23;

void SetKey(KeyboardKey& k, const char16_t* l1, const char16_t* l2, int id, int x, int y, int w, int h)
{
    qplat::CopyField(k.label1, KEYBOARD_LABEL_CHARS, l1);
    qplat::CopyField(k.label2, KEYBOARD_LABEL_CHARS, l2);
    k.id = id;
    k.x = x;
    k.y = y;
    k.width = w;
    k.height = static_cast<BYTE>(h);
}

// Three rows of letters: capitals and small letters side by side.
void LetterRows(KeyboardKey* table, const char16_t* const rows[3][2], const int starts[3], int firstId, int width,
                int height)
{
    const int ox = g_keyboardGeometry[0], oy = g_keyboardGeometry[1];
    (void)ox;
    int n = 0;
    for (int r = 0; r < 3; ++r) {
        const char16_t* caps = rows[r][0];
        const char16_t* small = rows[r][1];
        for (int k = 0; caps[k]; ++k) {
            char16_t c1[2] = {caps[k], 0}, c2[2] = {small[k], 0};
            SetKey(table[n], c1, c2, firstId + n, starts[r] + (width + 5) * k, oy + (height + 5) * r, width, height);
            ++n;
        }
    }
}

struct FunctionKey {
    int id, x, y, w, h, normal, pressed, disabled;
};
const FunctionKey kFunctionKeys[7] = {
    {kCancel, 435, 7, 36, 36, 173, 174, 0},   {kBackspace, 405, 77, 0, 0, 538, 539, 0},
    {kOk, 415, 213, 0, 0, 517, 518, 0},       {kSpace, 120, 223, 0, 0, 519, 520, 519},
    {kShift, 22, 223, 0, 0, 521, 522, 523},   {kLetters, 70, 223, 0, 0, 532, 533, 0},
    {kAlphabet, 330, 223, 0, 0, 530, 531, 526},
};

int HitTable(const KeyboardKey* table, int count, int x, int y)
{
    for (int i = 0; i < count; ++i) {
        const KeyboardKey& k = table[i];
        if (x >= k.x && x <= k.x + k.width && y >= k.y && y <= k.y + k.height) return i;
    }
    return -1;
}

}  // namespace

void BuildKeyboardTables()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const int* g = g_keyboardGeometry;
        const char16_t* const cyr[3][2] = {{u"ЙЦУКЕНГШЩЗХЪ", u"йцукенгшщзхъ"},
                                           {u"ФЫВАПРОЛДЖЭ", u"фывапролджэ"},
                                           {u"ЯЧСМИТЬБЮ", u"ячсмитьбю"}};
        const int cyrStarts[3] = {20, 30, 56};
        LetterRows(g_keysCyrillic, cyr, cyrStarts, 830, g[2], g[3]);
        const char16_t* const lat[3][2] = {{u"QWERTYUIOP", u"qwertyuiop"}, {u"ASDFGHJKL", u"asdfghjkl"},
                                           {u"ZXCVBNM", u"zxcvbnm"}};
        const int latStarts[3] = {20, 30, 64};
        LetterRows(g_keysLatin, lat, latStarts, 870, g[5], g[6]);
        SetKey(g_keysSymbols[0], u"|", u"/", 900, 426, 151, g[8], g[9]);
        SetKey(g_keysSymbols[1], u",", u".", 901, 380, 182, g[8], g[9]);
        SetKey(g_keysSymbols[2], u"`", u"_", 902, 20, 182, g[8], g[9]);
        SetKey(g_keysSymbols[3], u"'", u"-", 903, 416, 182, g[8], g[9]);
        const char16_t* digits = u"1234567890";
        for (int i = 0; i < 10; ++i) {
            char16_t label[2] = {digits[i], 0};
            int row = i / 5, k = i % 5;
            SetKey(g_keysDigits[i], label, u"", 810 + i, g[0] + (g[13] + 5) * k, g[1] + (g[14] + 5) * row, g[13], g[14]);
        }
        SetKey(g_keysDigits[10], u".", u"", 820, 400, 166, 36, g[14]);
    });
}

CKeyboardDlg::CKeyboardDlg()
    : m_result{}, m_hInstance(nullptr), m_hParent(nullptr), m_hEdit(nullptr), m_client{}, m_promptFont(nullptr),
      m_working{}, m_pending{}, m_prompt{}, m_initial{}, m_shift(0), m_cyrillic(0), m_lettersMode(1),
      m_lettersAllowed(1), m_pressedSymbol(-1), m_pressedLetter(-1), m_pressedDigit(-1), m_caret(0)
{
    BuildKeyboardTables();
    m_promptFont = m_paint.MakeFont(u"Calibri", 18, 0, 400, 0);
}

CKeyboardDlg::~CKeyboardDlg()
{
    if (m_promptFont) DeleteObject(m_promptFont);
}

void DeleteKeyboardDlg(CKeyboardDlg* dialog)
{
    delete dialog;
}

int CKeyboardDlg::DoModal(HINSTANCE instance, HWND parent, int mode, LPCWSTR prompt, LPCWSTR initialText)
{
    m_hInstance = instance;
    m_hParent = parent;
    g_keyboardDlg = this;
    m_pending[0] = 0;
    qplat::CopyField(m_prompt, KEYBOARD_TEXT_CHARS, prompt ? prompt : u"");
    qplat::CopyField(m_initial, KEYBOARD_TEXT_CHARS, initialText ? initialText : u"");
    m_lettersAllowed = m_lettersMode = mode ? 1 : 0;
    m_shift = 0;
    m_cyrillic = 0;
    m_pressedSymbol = m_pressedLetter = m_pressedDigit = -1;
    SetRectEmpty(&m_pressedArea);
    m_language.Load();
    INT_PTR end = 0;
    if (!RunDialogTemplate(instance, kDialogId, parent, StaticDlgProc, end)) return 0;
    DestroyKeys();
    m_hDlg = nullptr;
    return DialogAnswered(end);
}

INT_PTR CALLBACK CKeyboardDlg::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return RouteDialogMessage(g_keyboardDlg, hwnd, msg, wParam, lParam);
}

void CKeyboardDlg::DestroyKeys()
{
    for (COwnerButton& key : m_keys)
        if (key.m_hWnd) key.Destroy();
}

void CKeyboardDlg::SetCaret(int position)
{
    if (position == -1) position = GetWindowTextLengthW(m_hEdit);
    SetFocus(m_hEdit);
    SendMessageW(m_hEdit, EM_SETSEL, static_cast<WPARAM>(position), position);
}

int CKeyboardDlg::GetCaret()
{
    return HIWORD(SendMessageW(m_hEdit, EM_GETSEL, 0, 0));
}

void CKeyboardDlg::InsertText(LPCWSTR text)
{
    SendMessageW(m_hEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    m_caret = GetCaret();
}

void CKeyboardDlg::Backspace()
{
    int before = GetWindowTextLengthW(m_hEdit);
    int p = GetCaret() - 1;
    SendMessageW(m_hEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u""));
    if (GetWindowTextLengthW(m_hEdit) != before) {
        m_caret = GetCaret();  // a selection went; the caret is where it began
        return;
    }
    // The whole line, whatever its length: the edit holds at most 149 characters.
    WCHAR text[KEYBOARD_TEXT_CHARS] = {};
    int n = GetWindowTextW(m_hEdit, text, KEYBOARD_TEXT_CHARS);
    if (n > 0 && p >= 0 && p < n) {
        for (int i = p; i < n; ++i) text[i] = text[i + 1];
        SetWindowTextW(m_hEdit, text);
    }
    m_caret = p < 0 ? 0 : p;
}

void CKeyboardDlg::ToggleShift()
{
    m_shift = !m_shift;
    m_keys[4].SetBitmaps(m_shift ? 524 : 521, m_shift ? 525 : 522, 523);
    InvalidateRect(m_keys[4].m_hWnd, nullptr, FALSE);
    InvalidateRect(m_hDlg, nullptr, FALSE);
}

void CKeyboardDlg::ToggleLetters()
{
    m_lettersMode = !m_lettersMode;
    EnableLetterKeys(m_lettersMode);
}

void CKeyboardDlg::EnableLetterKeys(int lettersMode)
{
    if (lettersMode) {
        m_keys[5].SetBitmaps(532, 533, 0);
        m_keys[3].Enable(TRUE);
        m_keys[4].Enable(TRUE);
        m_keys[6].Enable(TRUE);
    } else {
        m_keys[5].SetBitmaps(540, 541, 0);
        m_keys[3].Enable(FALSE);
        m_keys[4].Enable(FALSE);
        m_keys[6].Enable(FALSE);
        if (!m_lettersAllowed) m_keys[5].Enable(FALSE);
    }
    InvalidateRect(m_keys[5].m_hWnd, nullptr, FALSE);
    InvalidateRect(m_hDlg, nullptr, FALSE);
}

void CKeyboardDlg::ToggleAlphabet()
{
    m_cyrillic = !m_cyrillic;
    if (m_cyrillic) m_keys[6].SetBitmaps(527, 528, 529);
    else m_keys[6].SetBitmaps(530, 531, 526);
    InvalidateRect(m_keys[6].m_hWnd, nullptr, FALSE);
    InvalidateRect(m_hDlg, nullptr, FALSE);
}

int CKeyboardDlg::HitTestSymbols(int x, int y) { return HitTable(g_keysSymbols, KEYS_SYMBOLS, x, y); }

int CKeyboardDlg::HitTestLetters(int x, int y)
{
    return m_cyrillic ? HitTable(g_keysCyrillic, KEYS_CYRILLIC, x, y) : HitTable(g_keysLatin, KEYS_LATIN, x, y);
}

int CKeyboardDlg::HitTestDigits(int x, int y) { return HitTable(g_keysDigits, KEYS_DIGITS, x, y); }

void CKeyboardDlg::DrawKey(const KeyboardKey& key, int bitmap, int xShift, int labelHeight, const WCHAR* label)
{
    HDC dc = GetDC(m_hDlg);
    if (!dc) return;
    m_paint.DrawBitmap(m_hInstance, dc, bitmap, key.x + xShift, key.y);
    // The label sits on the cap as the keyboard picture has it: bold, at the
    // picture's character size, centred both ways, so a pressed key keeps
    // the look of its neighbours.
    HFONT font = m_paint.MakeFont(u"Calibri", -labelHeight, 0, FW_BOLD, 0);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, 0x000000);
    RECT cap{key.x, key.y, key.x + key.width, key.y + key.height};
    DrawTextW(dc, label, -1, &cap, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, oldColor);
    if (oldFont) SelectObject(dc, oldFont);
    if (font) DeleteObject(font);
    ReleaseDC(m_hDlg, dc);
    SIZE face = GetResourceBitmapSize(m_hInstance, bitmap);
    m_pressedArea = RECT{key.x, key.y, key.x + xShift + std::max<int>(key.width, face.cx),
                         key.y + std::max<int>(key.height, face.cy)};
}

void CKeyboardDlg::ReleaseKey()
{
    // The released key is the keyboard picture's own: it is painted again
    // from the picture rather than drawn a second way.
    if (IsRectEmpty(&m_pressedArea)) return;
    InvalidateRect(m_hDlg, &m_pressedArea, FALSE);
    UpdateWindow(m_hDlg);
    SetRectEmpty(&m_pressedArea);
}

void CKeyboardDlg::DrawSymbolKey(int index, int bitmap)
{
    if (index < 0 || index >= KEYS_SYMBOLS) return;
    const KeyboardKey& k = g_keysSymbols[index];
    DrawKey(k, bitmap, 0, kLetterLabel, m_shift ? k.label1 : k.label2);
}

void CKeyboardDlg::DrawLetterKey(int index, int bitmap)
{
    const KeyboardKey* table = m_cyrillic ? g_keysCyrillic : g_keysLatin;
    int count = m_cyrillic ? KEYS_CYRILLIC : KEYS_LATIN;
    if (index < 0 || index >= count) return;
    const KeyboardKey& k = table[index];
    DrawKey(k, bitmap, 0, kLetterLabel, m_shift ? k.label1 : k.label2);
}

void CKeyboardDlg::DrawDigitKey(int index, int bitmap)
{
    if (index < 0 || index >= KEYS_DIGITS) return;
    const KeyboardKey& k = g_keysDigits[index];
    DrawKey(k, bitmap, index == 10 ? 2 : 0, kDigitLabel, k.label1);
}

INT_PTR CKeyboardDlg::DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        m_hDlg = hwnd;
        for (int i = 0; i < 7; ++i) {
            const FunctionKey& f = kFunctionKeys[i];
            m_keys[i].Create(hwnd, m_hInstance, f.x, f.y, f.w, f.h, f.id, f.normal, f.pressed, f.disabled);
        }
        m_promptCtl.Attach(GetDlgItem(hwnd, kPromptId));
        m_promptCtl.SetFont(m_promptFont);
        m_promptCtl.SetText(m_prompt);
        m_editCtl.Attach(GetDlgItem(hwnd, kEditId));
        m_editCtl.SetFont(m_promptFont);
        m_hEdit = m_editCtl.m_hWnd;
        // Room for what OK can hand back, so nothing typed is lost.
        SendMessageW(m_hEdit, EM_LIMITTEXT, KEYBOARD_TEXT_CHARS - 1, 0);
        qplat::CopyField(m_working, KEYBOARD_WORKING_CHARS, m_initial);
        if (!m_lettersAllowed && wcscmp(m_working, u"0") == 0) m_working[0] = 0;
        EnableLetterKeys(m_lettersMode);
        m_editCtl.SetText(m_working);
        SetCaret(-1);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kCancel: DestroyKeys(); EndDialog(hwnd, 0); return TRUE;
        case kBackspace:
            m_caret = GetCaret();
            Backspace();
            SetCaret(m_caret);
            return TRUE;
        case kOk:
            GetWindowTextW(m_hEdit, m_result, KEYBOARD_TEXT_CHARS);
            DestroyKeys();
            EndDialog(hwnd, 1);
            return TRUE;
        case kSpace:
            m_caret = GetCaret();
            InsertText(u" ");
            SetCaret(m_caret);
            return TRUE;
        case kShift:
        case kLetters:
        case kAlphabet:
            m_caret = GetCaret();
            if (LOWORD(wParam) == kShift) ToggleShift();
            else if (LOWORD(wParam) == kLetters) ToggleLetters();
            else ToggleAlphabet();
            SetCaret(m_caret);
            return TRUE;
        default: return FALSE;
        }
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (COwnerButton& key : m_keys)
            if (item && key.m_hWnd == item->hwndItem) {
                key.DrawItem(item);
                break;
            }
        return FALSE;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        GetClientRect(hwnd, &m_client);
        RECT all{0, 0, m_client.right, m_client.bottom};
        auto* dc = new CBufferedDC(hdc, all);
        m_paint.DrawPanel(hwnd, dc->m_hDC, 0);
        m_paint.DrawBitmapTopLeft(m_hInstance, dc->m_hDC);
        m_paint.DrawCaption(hwnd, dc->m_hDC, 0, 10, m_client.right, m_language.GetText(kTitleText), 20, 7, 0xFF0000,
                            TRUE, FALSE, 0);
        int picture = 548;
        if (m_lettersMode) picture = m_cyrillic ? (m_shift ? 545 : 544) : (m_shift ? 547 : 546);
        m_paint.DrawBitmap(m_hInstance, dc->m_hDC, picture, 18, 119);
        delete dc;
        EndPaint(hwnd, &ps);
        return TRUE;
    }
    case WM_ERASEBKGND: return 0;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG: return ScreenColourBrush(msg, wParam);
    case WM_CLOSE:
        // Power-off and WM_CLOSE cancel: nothing typed is confirmed.
        DestroyKeys();
        EndDialog(hwnd, 0);
        return TRUE;
    case WM_POWERKEY:
    case WM_POWERKEY_SHELL:
        if (m_messageDlg.Show(m_hInstance, hwnd, MESSAGE_QUESTION, m_language.GetText(kPowerQuestion)) == 1)
            PowerOffDevice();
        return TRUE;
    case WM_LBUTTONDOWN: {
        int x = static_cast<SHORT>(LOWORD(lParam)), y = static_cast<SHORT>(HIWORD(lParam));
        ReleaseKey();  // a press whose release never came
        m_pressedSymbol = m_pressedLetter = m_pressedDigit = -1;
        if (m_lettersMode) {
            m_pressedSymbol = HitTestSymbols(x, y);
            if (m_pressedSymbol < 0) {
                m_pressedLetter = HitTestLetters(x, y);
                if (m_pressedLetter >= 0) DrawLetterKey(m_pressedLetter, m_cyrillic ? 513 : 543);
            } else {
                DrawSymbolKey(m_pressedSymbol, 515);
            }
        } else {
            m_pressedDigit = HitTestDigits(x, y);
            if (m_pressedDigit >= 0) DrawDigitKey(m_pressedDigit, 535);
        }
        return FALSE;
    }
    case WM_LBUTTONUP: {
        bool pressed = false;
        m_pending[0] = 0;
        if (m_lettersMode) {
            if (m_pressedSymbol >= 0) {
                ReleaseKey();
                const KeyboardKey& k = g_keysSymbols[m_pressedSymbol];
                qplat::CopyField(m_pending, KEYBOARD_LABEL_CHARS, m_shift ? k.label1 : k.label2);
                pressed = true;
            } else if (m_pressedLetter >= 0) {
                ReleaseKey();
                const KeyboardKey& k = (m_cyrillic ? g_keysCyrillic : g_keysLatin)[m_pressedLetter];
                const WCHAR* label = m_shift ? k.label1 : k.label2;
                if (m_cyrillic) label = m_language.Translate(label);
                qplat::CopyField(m_pending, KEYBOARD_LABEL_CHARS, label);
                pressed = true;
            }
        } else if (m_pressedDigit >= 0) {
            ReleaseKey();
            const KeyboardKey& k = g_keysDigits[m_pressedDigit];
            qplat::CopyField(m_pending, KEYBOARD_LABEL_CHARS, k.label1);
            if (wcscmp(k.label1, u".") == 0) {
                WCHAR text[KEYBOARD_TEXT_CHARS] = {};
                GetWindowTextW(m_hEdit, text, KEYBOARD_TEXT_CHARS);
                for (int i = 0; text[i]; ++i)
                    if (text[i] == u'.') m_pending[0] = 0;
            }
            pressed = true;
        }
        m_pressedSymbol = m_pressedLetter = m_pressedDigit = -1;
        if (pressed) InsertText(m_pending);
        return FALSE;
    }
    default: return FALSE;
    }
}

WCHAR* PromptForText(HINSTANCE instance, HWND parent, LPCWSTR prompt, LPCWSTR defaultText, int mode)
{
    auto* dialog = new CKeyboardDlg();
    const WCHAR* fallback = defaultText ? defaultText : u"";
    if (dialog->DoModal(instance, parent, mode, prompt, fallback) && dialog->m_result[0])
        qplat::CopyField(g_promptText, KEYBOARD_TEXT_CHARS, dialog->m_result);
    else
        qplat::CopyField(g_promptText, KEYBOARD_TEXT_CHARS, fallback);
    DeleteKeyboardDlg(dialog);
    return g_promptText;
}

int AskText(HINSTANCE instance, HWND parent, int mode, LPCWSTR prompt, LPCWSTR initialText, WCHAR* text, int chars)
{
    if (text && chars > 0) text[0] = 0;
    CKeyboardDlg* dialog = new (std::nothrow) CKeyboardDlg();
    if (!dialog) return 0;
    const int confirmed = dialog->DoModal(instance, parent, mode, prompt, initialText ? initialText : u"");
    if (confirmed && text && chars > 0) qplat::CopyField(text, static_cast<size_t>(chars), dialog->m_result);
    DeleteKeyboardDlg(dialog);
    return confirmed;
}
