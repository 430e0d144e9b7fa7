#include "dialogs/ParamTableDlg.h"

#include <new>

#include "dialogs/SettingsScreen.h"
#include "platform/WinText.h"
#include "ui/KeyboardDlg.h"

namespace {

constexpr BYTE kDiscDevice = 4;

enum : int {
    kTextDimension = 40301,
    kTextValue = 40302,
    kTextValueOf = 50045,
};

// Cell texts as read back from the list: a name (the Part's 60 characters) and
// a value.
constexpr int kNameChars = 61;
constexpr int kCellChars = 201;

bool On(const ParamBlock& b, int switchByte)
{
    return b.switches[switchByte - 820] == SETTINGS_SWITCH_ON;
}

}  // namespace

CParamTableDlg::CParamTableDlg() = default;

CParamTableDlg::~CParamTableDlg() = default;

// ---------------------------------------------------------------- which rows

bool CParamTableDlg::DimensionShown(const ParamBlock& b, int k)
{
    const bool variant4 = b.option2 == 4;
    switch (k) {
    case DIM_L1: return !variant4;
    case DIM_L2:
    case DIM_L3: return true;
    case DIM_L4: return b.option3 == 2;
    case DIM_L5: return !variant4 && On(b, 831);
    case DIM_L6:
    case DIM_L7: return !variant4 && On(b, 825);
    case DIM_L8: return !variant4 && On(b, 823);
    case DIM_L9: return On(b, 841) || variant4;
    case DIM_L10: return !variant4 && (On(b, 827) || On(b, 828));
    case DIM_L11: return variant4 ? On(b, 827) : (On(b, 827) || On(b, 828));
    case DIM_L12: return !variant4 && On(b, 836);
    case DIM_L13: return false;  // used by the calculation, never set here
    case DIM_L15: return b.option2 == 3 && On(b, 838);
    case DIM_L16: return !variant4 && On(b, 824);
    case DIM_P7_1:
    case DIM_P7_2:
    case DIM_P8_1:
    case DIM_P8_2: return !variant4 && On(b, 826);
    case DIM_D1:
    case DIM_D2: return !variant4 && On(b, 840);
    default: return false;
    }
}

LONG* CParamTableDlg::StoredWord(int k)
{
    if (k >= 0 && k < PARAM_DIMENSION_COUNT) return &m_params.dimensions[k];
    if (k == kFirstDiscDimension) return &m_params.discL1;
    if (k == kFirstDiscDimension + 1) return &m_params.discL2;
    return nullptr;
}

int CParamTableDlg::RowOfDimension(int k) const
{
    return k >= 0 && k < kDimensionCount ? m_rowOfDimension[k] : -1;
}

LONG CParamTableDlg::ToMicrometres(int row) const
{
    return row >= 0 && row < m_rowCount ? m_rowWord[row] : 0;
}

// ---------------------------------------------------------------- hooks

void CParamTableDlg::OnLoadSettings()
{
    m_divisor = LengthDivisor(m_params);
    qplat::CopyField(m_unitText, VALUE_TEXT_CHARS, m_language.GetText(LengthUnitTextId(m_params)));
}

void CParamTableDlg::OnInitDialog()
{
    AddButtons(m_buttons, 2);
    CreateBackButton(m_buttons[0]);
    CreateConfirmButton(m_buttons[1], m_hWnd, m_hInstance, kOkId, m_language.GetText(SETTINGS_TEXT_CONFIRM));
    BuildList(m_hWnd);
}

bool CParamTableDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    if (id != kOkId) return false;
    OnOk();
    answer = TRUE;
    return true;
}

bool CParamTableDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    if (msg != WM_NOTIFY) return false;
    const int row = DoubleTappedRow(lParam, kListId, m_list);
    if (row < 0) return false;
    OnValueDoubleTap(row);
    answer = 0;
    return true;
}

// ---------------------------------------------------------------- the list

void CParamTableDlg::BuildList(HWND window)
{
    CreateTableList(m_list, window, m_hInstance, kListId, m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextDimension), LVCFMT_LEFT, 120, 0);
    m_list.InsertColumn(1, m_language.GetText(kTextValue), LVCFMT_LEFT, 150, 1);
    m_list.InsertColumn(2, u"", LVCFMT_LEFT, 100, 2);
    if (m_params.deviceType == kDiscDevice)
        FillDiskRows();
    else
        FillWheelRows();
}

void CParamTableDlg::FillWheelRows()
{
    m_list.DeleteAllItems();
    m_rowCount = 0;
    for (int& r : m_rowOfDimension) r = -1;
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k)
        if (DimensionShown(m_params, k)) AddRow(m_rowCount, k, *StoredWord(k), m_unitText);
}

void CParamTableDlg::FillDiskRows()
{
    m_list.DeleteAllItems();
    m_rowCount = 0;
    for (int& r : m_rowOfDimension) r = -1;
    AddRow(0, kFirstDiscDimension, m_params.discL1, m_unitText);
    AddRow(1, kFirstDiscDimension + 1, m_params.discL2, m_unitText);
}

void CParamTableDlg::AddRow(int row, int k, LONG word, LPCWSTR unit)
{
    if (row < 0 || row >= kDimensionCount || k < 0 || k >= kDimensionCount) return;
    WCHAR value[VALUE_TEXT_CHARS];
    FormatScaledValue(word, m_divisor, ValueDecimals(m_params), value, VALUE_TEXT_CHARS);
    m_list.InsertItem(row, g_paramNames[k]);
    m_list.SetItemText(row, 1, value);
    m_list.SetItemText(row, 2, unit);
    m_rowOfDimension[k] = row;
    m_dimensionOfRow[row] = k;
    m_rowWord[row] = word;
    if (row >= m_rowCount) m_rowCount = row + 1;
}

// ---------------------------------------------------------------- editing

void CParamTableDlg::OnValueDoubleTap(int row)
{
    if (row < 0 || row >= m_rowCount) return;
    WCHAR name[kNameChars] = {};
    WCHAR shown[kCellChars] = {};
    WCHAR valueOf[LANGUAGE_TEXT_CHARS] = {};
    m_list.GetItemText(row, 0, name, kNameChars);
    m_list.GetItemText(row, 1, shown, kCellChars);
    qplat::CopyField(valueOf, LANGUAGE_TEXT_CHARS, m_language.GetText(kTextValueOf));
    WCHAR prompt[KEYBOARD_TEXT_CHARS];
    swprintf(prompt, KEYBOARD_TEXT_CHARS, u"%s%s%s%s%s%s", valueOf, u" ", name, u"(", m_unitText, u")");

    CKeyboardDlg* keyboard = new (std::nothrow) CKeyboardDlg();
    if (!keyboard) return;
    WCHAR entry[KEYBOARD_TEXT_CHARS] = {};
    const bool confirmed = keyboard->DoModal(m_hInstance, m_hWnd, 0, prompt, shown) != 0;
    if (confirmed) qplat::CopyField(entry, KEYBOARD_TEXT_CHARS, keyboard->m_result[0] ? keyboard->m_result : u"0");
    DeleteKeyboardDlg(keyboard);
    if (!confirmed) return;

    WCHAR text[VALUE_TEXT_CHARS];
    LONG word = 0;
    // A refused entry (not a number, out of range) keeps the row as it was,
    // and the operator is told why; the text the row already shows is no
    // edit either, so its word stays exact.
    if (!NormaliseEntry(entry, m_divisor, ValueDecimals(m_params), text, VALUE_TEXT_CHARS, &word)) {
        ShowMessage(MESSAGE_NOTICE, RefusedEntryTextId(entry));
        return;
    }
    if (wcscmp(text, shown) == 0) return;
    m_rowWord[row] = word;
    m_list.SetItemText(row, 1, text);
}

// ---------------------------------------------------------------- OK

bool CParamTableDlg::ParseEdit()
{
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k) {
        const int row = m_rowOfDimension[k];
        if (DimensionShown(m_params, k) && row >= 0) *StoredWord(k) = ToMicrometres(row);
    }
    ForgetWheelTypeWhenChanged(m_params, m_loadedParams);
    return SaveSettings();
}

bool CParamTableDlg::SaveDisk()
{
    for (int k = kFirstDiscDimension; k < kDimensionCount; ++k)
        if (m_rowOfDimension[k] >= 0) *StoredWord(k) = ToMicrometres(m_rowOfDimension[k]);
    return SaveSettings();
}

void CParamTableDlg::OnOk()
{
    const bool saved = m_params.deviceType == kDiscDevice ? SaveDisk() : ParseEdit();
    // A failed save keeps the screen with the operator's values for another try.
    if (saved) EndDialog(m_hWnd, SETTINGS_SCREEN_END);
}
