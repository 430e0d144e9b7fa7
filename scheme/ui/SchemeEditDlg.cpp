#include "scheme/ui/SchemeEditDlg.h"

#include <iterator>
#include <new>
#include <utility>

#include "platform/WinText.h"
#include "settings/FileNames.h"
#include "ui/KeyboardDlg.h"

namespace {

constexpr int kTextName = 40410;
constexpr int kTextAxles = 40411;
constexpr int kTextCars = 40412;
constexpr int kTextOrder = 40413;
constexpr int kTextLayout = 40430;
constexpr int kTextDefaultName = 40409;
constexpr int kTextSave = 50104;
constexpr int kTextCannotMeasure = 50033;
constexpr int kShowPreviewFace = 557, kShowPreviewPressed = 558;
constexpr int kShowControlsFace = 555, kShowControlsPressed = 556;
// The name edit hands the keyboard at most 60 characters.
constexpr int kKeyboardInitialChars = 61;
// The car count edit is read by at most 9 characters.
constexpr int kCarCountChars = 10;
// Posted to itself once the screen runs, so the focus the dialog manager
// gives the first field at opening does not bring the keyboard up.
constexpr UINT kReadyMessage = WM_APP + 0x59;

constexpr int kKeyboardLetters = 1;
constexpr int kKeyboardDigits = 0;

// The keyboard's text after OK, or false after cancel.
bool AskKeyboard(HINSTANCE instance, HWND parent, int mode, LPCWSTR prompt, LPCWSTR initial, WCHAR* result,
                 size_t resultChars)
{
    CKeyboardDlg* keyboard = new (std::nothrow) CKeyboardDlg();
    if (!keyboard) return false;
    const bool ok = keyboard->DoModal(instance, parent, mode, prompt, initial) != 0;
    if (ok) qplat::CopyField(result, resultChars, keyboard->m_result);
    DeleteKeyboardDlg(keyboard);
    return ok;
}

}  // namespace

CSchemeEditDlg::CSchemeEditDlg() = default;

void CSchemeEditDlg::OnInitDialog()
{
    AddButtons(m_buttons, 3);
    CreateBackButton(m_buttons[0]);
    m_buttons[1].Create(m_hWnd, m_hInstance, 170, 223, 141, 41, kSaveId, 210, 211, 0);
    m_buttons[1].SetCaption(m_language.GetText(kTextSave), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[2].Create(m_hWnd, m_hInstance, 400, 55, 31, 31, kPreviewId, kShowPreviewFace, kShowPreviewPressed, 0);

    static const int kLabelIds[5] = {kNameLabelId, kAxlesLabelId, kCarsLabelId, kOrderLabelId, kLayoutLabelId};
    static const int kLabelTextIds[5] = {kTextName, kTextAxles, kTextCars, kTextOrder, kTextLayout};
    for (int i = 0; i < 5; ++i) {
        m_labels[i].Attach(GetDlgItem(m_hWnd, kLabelIds[i]));
        m_labels[i].SetFont(m_font);
        if (kLabelIds[i] != kLayoutLabelId || IsDisc()) m_labels[i].SetText(m_language.GetText(kLabelTextIds[i]));
    }
    m_nameEdit.Attach(GetDlgItem(m_hWnd, kNameEditId));
    m_carsEdit.Attach(GetDlgItem(m_hWnd, kCarsEditId));
    for (auto [combo, id] : {std::pair{&m_axlesCombo, kAxlesComboId}, std::pair{&m_orderCombo, kOrderComboId},
                             std::pair{&m_layoutCombo, kLayoutComboId}}) {
        combo->m_hParent = m_hWnd;
        combo->m_hWnd = GetDlgItem(m_hWnd, id);
    }

    m_carCount = 1;
    m_axlesPerCar = 4;
    qplat::CopyField(m_name, SCHEME_EDIT_NAME_CHARS, m_language.GetText(kTextDefaultName));
    FillControls();
    m_previewOff = 1;
    CreateScrollBar();
    PostMessageW(m_hWnd, kReadyMessage, 0, 0);
}

void CSchemeEditDlg::FillControls()
{
    m_nameEdit.SetText(m_name);
    WCHAR number[16];
    swprintf(number, 16, u"%d", m_carCount);
    m_carsEdit.SetText(number);
    for (int i = 1; i <= SCHEME_MAX_AXLES; ++i) {
        swprintf(number, 16, u"%d", i);
        m_axlesCombo.AddString(number);
    }
    swprintf(number, 16, u"%d", m_axlesPerCar);
    m_axlesCombo.SetCurSel(m_axlesCombo.FindString(-1, number));
    for (int i = 1; i <= 6; ++i) {
        swprintf(number, 16, u"%d", i);
        m_orderCombo.AddString(number);
    }
    m_orderCombo.SetCurSel(0);
    if (IsDisc()) {
        for (int i = 1; i <= 3; ++i) {
            swprintf(number, 16, u"%d", i);
            m_layoutCombo.AddString(number);
        }
        m_layoutCombo.SetCurSel(1);
    } else {
        ShowWindow(m_labels[4].m_hWnd, SW_HIDE);
        ShowWindow(m_layoutCombo.m_hWnd, SW_HIDE);
    }
}

void CSchemeEditDlg::ShowSettingControls(int command)
{
    for (HWND control : {m_carsEdit.m_hWnd, m_axlesCombo.m_hWnd, m_orderCombo.m_hWnd, m_labels[1].m_hWnd,
                         m_labels[2].m_hWnd, m_labels[3].m_hWnd})
        ShowWindow(control, command);
    if (IsDisc()) {
        ShowWindow(m_layoutCombo.m_hWnd, command);
        ShowWindow(m_labels[4].m_hWnd, command);
    }
}

void CSchemeEditDlg::ShowControls()
{
    ShowSettingControls(SW_SHOW);
}

int CSchemeEditDlg::ComboValue(CComboBoxCtl& combo)
{
    WCHAR text[16] = {};
    const int chosen = combo.GetCurSel();
    if (chosen < 0 || combo.GetLBText(chosen, text, 16) < 0) return 0;
    return _wtoi(text);
}

void CSchemeEditDlg::ReadControls()
{
    WCHAR name[SCHEME_EDIT_NAME_CHARS] = {};
    GetWindowTextW(m_nameEdit.m_hWnd, name, SCHEME_EDIT_NAME_CHARS);
    // What the settings block can name as the current scheme.
    qplat::CopyField(m_name, SCHEME_MAX_NAME_CHARS + 1, name);
    WCHAR cars[kCarCountChars] = {};
    GetWindowTextW(m_carsEdit.m_hWnd, cars, kCarCountChars);
    const int count = _wtoi(cars);
    m_carCount = count < 1 ? 1 : count > SCHEME_MAX_CARS ? SCHEME_MAX_CARS : count;
    m_axlesPerCar = ComboValue(m_axlesCombo);
    m_orderType = ComboValue(m_orderCombo);
    m_layout = IsDisc() ? ComboValue(m_layoutCombo) : 2;
}

void CSchemeEditDlg::CreateScrollBar()
{
    m_scroll.Create(m_hWnd, m_hInstance);
    UpdateScrollRange();
}

void CSchemeEditDlg::UpdateScrollRange()
{
    m_scroll.Update(CSchemeView::CarWidth(m_preview.cars, 0), m_previewOff == 0);
}

void CSchemeEditDlg::AskName()
{
    WCHAR prompt[PAINT_CAPTION_CHARS + 2];
    swprintf(prompt, std::size(prompt), u"%s:", m_language.GetText(kTextName));
    WCHAR text[KEYBOARD_TEXT_CHARS] = {};
    GetWindowTextW(m_nameEdit.m_hWnd, text, kKeyboardInitialChars);
    for (;;) {
        if (!AskKeyboard(m_hInstance, m_hWnd, kKeyboardLetters, prompt, text, text, KEYBOARD_TEXT_CHARS)) return;
        if (text[0] == 0) qplat::CopyField(text, KEYBOARD_TEXT_CHARS, m_language.GetText(kTextDefaultName));
        // The name becomes the file's name and the settings block's: it is
        // cut to what both hold, and one that would leave the scheme folder
        // or that the card cannot store goes back to the keyboard.
        text[SCHEME_MAX_NAME_CHARS] = 0;
        if (IsValidFileName(text, SCHEME_MAX_NAME_CHARS)) break;
    }
    m_nameEdit.SetText(text);
}

void CSchemeEditDlg::AskCarCount()
{
    WCHAR prompt[PAINT_CAPTION_CHARS + 2];
    swprintf(prompt, std::size(prompt), u"%s:", m_language.GetText(kTextCars));
    WCHAR text[KEYBOARD_TEXT_CHARS] = {};
    GetWindowTextW(m_carsEdit.m_hWnd, text, KEYBOARD_TEXT_CHARS);
    if (!AskKeyboard(m_hInstance, m_hWnd, kKeyboardDigits, prompt, text, text, KEYBOARD_TEXT_CHARS)) return;
    if (text[0] == 0) qplat::CopyField(text, KEYBOARD_TEXT_CHARS, u"1");
    m_carsEdit.SetText(text);
}

bool CSchemeEditDlg::Save()
{
    ReadControls();
    if (!IsValidFileName(m_name, SCHEME_MAX_NAME_CHARS)) {
        AskName();
        return false;
    }
    BuildDefaultScheme(&m_preview, m_carCount, m_axlesPerCar, m_orderType, m_layout);
    const int positions = CScheme::CountOrderPositions(m_preview.cars, m_carCount, m_orderType);
    if (positions == 0 || positions > SCHEME_MAX_ORDER) {
        ShowMessage(MESSAGE_FAILURE, kTextCannotMeasure);
        return false;
    }
    if (!m_schemeFile.Write(m_carCount, m_axlesPerCar, m_orderType, m_name, m_layout, m_params.deviceType)) {
        ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
        return false;
    }
    return true;
}

bool CSchemeEditDlg::OnCommand(int id, int code, HWND, INT_PTR& answer)
{
    answer = TRUE;
    switch (id) {
    case kSaveId:
        if (Save()) EndDialog(m_hWnd, 1);
        return true;
    case kPreviewId:
        m_previewOff = m_previewOff ? 0 : 1;
        if (m_previewOff) {
            ShowControls();
            m_buttons[2].SetBitmaps(kShowPreviewFace, kShowPreviewPressed, 0);
        } else {
            ShowSettingControls(SW_HIDE);
            ReadControls();
            BuildDefaultScheme(&m_preview, m_carCount, m_axlesPerCar, m_orderType, m_layout);
            m_buttons[2].SetBitmaps(kShowControlsFace, kShowControlsPressed, 0);
        }
        UpdateScrollRange();
        InvalidateRect(m_hWnd, nullptr, FALSE);
        InvalidateRect(m_buttons[2].m_hWnd, nullptr, FALSE);
        return true;
    case kNameEditId:
    case kCarsEditId:
        if (code != EN_SETFOCUS || !m_ready || m_asking) return false;
        m_asking = true;
        if (id == kNameEditId)
            AskName();
        else
            AskCarCount();
        // The field keeps no focus, so the next tap on it asks again.
        SetFocus(m_hWnd);
        m_asking = false;
        return true;
    default: return false;
    }
}

bool CSchemeEditDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM, INT_PTR& answer)
{
    if (msg == kReadyMessage) {
        // The field the dialog manager focused at opening gives the focus up,
        // so that the operator's first tap on it asks for its text.
        const HWND focus = GetFocus();
        if (focus == m_nameEdit.m_hWnd || focus == m_carsEdit.m_hWnd) SetFocus(m_hWnd);
        m_ready = true;
        answer = TRUE;
        return true;
    }
    if (msg == WM_HSCROLL) {
        if (m_scroll.Scroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam))))
            InvalidateRect(m_hWnd, nullptr, FALSE);
        answer = kUnhandledAnswer;
        return true;
    }
    return false;
}

void CSchemeEditDlg::PaintContent(HDC dc)
{
    if (m_previewOff) return;
    m_view.DrawCar(m_hWnd, dc, DIAGRAM_X, DIAGRAM_Y, DIAGRAM_WIDTH, DIAGRAM_HEIGHT, m_scroll.position, m_preview.cars, 0,
                   m_preview.carCount, m_params.deviceType == 3 ? -1 : m_preview.orderType, m_params.deviceType);
}
