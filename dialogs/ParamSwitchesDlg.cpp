#include "dialogs/ParamSwitchesDlg.h"

#include <iterator>

#include "dialogs/SettingsScreen.h"
#include "platform/WinText.h"

namespace {

constexpr BYTE kDiscDevice = 4;
constexpr BYTE kSwitchOff = 1;
constexpr WCHAR kOnMark[] = u"\u221A";
constexpr WCHAR kOffMark[] = u" ";

enum : int {
    kTextValue = 40303,
    kTextShown = 40361,
};

// A row's caption with its short name in brackets.
constexpr int kRowTextChars = 2 * LANGUAGE_TEXT_CHARS + 3;
// The mark as read back from the list.
constexpr int kMarkChars = 41;

}  // namespace

struct CParamSwitchesDlg::SwitchRow {
    enum class Shown { Always, NotVariant4, Variant3 };
    int byte;  // settings byte
    int caption;
    int bracket;  // 0: none
    Shown shown;
};

namespace {

using Row = CParamSwitchesDlg::SwitchRow;
using Shown = Row::Shown;

constexpr Row kWheelRows[] = {
    {820, 40343, 40604, Shown::Always},      {821, 40344, 40605, Shown::Always},
    {822, 40345, 40609, Shown::NotVariant4}, {838, 40344, 40608, Shown::Variant3},
    {839, 40362, 40607, Shown::Variant3},    {829, 40348, 40612, Shown::Always},
    {830, 40348, 40626, Shown::NotVariant4}, {831, 40348, 40627, Shown::NotVariant4},
    {825, 40350, 40613, Shown::NotVariant4}, {823, 40351, 40614, Shown::NotVariant4},
    {824, 40363, 40634, Shown::NotVariant4}, {826, 40352, 40615, Shown::NotVariant4},
    {833, 40353, 40616, Shown::NotVariant4}, {827, 40346, 40610, Shown::Always},
    {828, 40347, 40611, Shown::NotVariant4}, {840, 40359, 40620, Shown::NotVariant4},
    {836, 40358, 40619, Shown::NotVariant4}, {832, 40356, 40617, Shown::Always},
    {841, 40360, 0, Shown::Always},
};
static_assert(std::size(kWheelRows) == CParamSwitchesDlg::kMaxRows);

constexpr Row kDiscRows[] = {
    {1328, 40380, 40640, Shown::Always},
    {1329, 40381, 40641, Shown::Always},
    {1331, 40381, 40643, Shown::Always},
    {1330, 40382, 40642, Shown::Always},
};

}  // namespace

CParamSwitchesDlg::CParamSwitchesDlg() = default;

CParamSwitchesDlg::~CParamSwitchesDlg() = default;

// ---------------------------------------------------------------- hooks

void CParamSwitchesDlg::OnInitDialog()
{
    AddButtons(m_buttons, 2);
    CreateBackButton(m_buttons[0]);
    CreateConfirmButton(m_buttons[1], m_hWnd, m_hInstance, kOkId, m_language.GetText(SETTINGS_TEXT_CONFIRM));
    CreateTableList(m_list, m_hWnd, m_hInstance, kListId, m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextValue), LVCFMT_LEFT, 285, 0);
    m_list.InsertColumn(1, m_language.GetText(kTextShown), LVCFMT_LEFT, 138, 1);
    if (m_params.deviceType == kDiscDevice)
        FillDiskRows();
    else
        FillWheelRows();
}

bool CParamSwitchesDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    if (id != kOkId) return false;
    OnOk();
    answer = TRUE;
    return true;
}

bool CParamSwitchesDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    if (msg != WM_NOTIFY) return false;
    const int row = DoubleTappedRow(lParam, kListId, m_list);
    if (row < 0) return false;
    OnToggle(row);
    answer = 0;
    return true;
}

// ---------------------------------------------------------------- rows

int CParamSwitchesDlg::ByteOfRow(int row) const
{
    if (row < 0 || row >= m_rowCount || !m_rowByte[row]) return -1;
    return static_cast<int>(m_rowByte[row] - reinterpret_cast<const BYTE*>(&m_params));
}

void CParamSwitchesDlg::FillWheelRows()
{
    m_list.DeleteAllItems();
    m_rowCount = 0;
    for (const Row& r : kWheelRows) {
        const bool shown = r.shown == Shown::Always ||
                           (r.shown == Shown::NotVariant4 && m_params.option2 != 4) ||
                           (r.shown == Shown::Variant3 && m_params.option2 == 3);
        if (!shown) continue;
        BYTE* byte = &m_params.switches[r.byte - 820];
        AddRow(m_rowCount, byte, *byte, r.caption, r.bracket);
    }
}

void CParamSwitchesDlg::FillDiskRows()
{
    m_list.DeleteAllItems();
    m_rowCount = 0;
    for (const Row& r : kDiscRows) {
        BYTE* byte = &m_params.discSwitches[r.byte - 1328];
        AddRow(m_rowCount, byte, *byte, r.caption, r.bracket);
    }
}

void CParamSwitchesDlg::AddRow(int row, BYTE* switchByte, BYTE value, int caption, int bracket)
{
    if (row < 0 || row >= kMaxRows) return;
    WCHAR text[kRowTextChars];
    qplat::CopyField(text, kRowTextChars, m_language.GetText(caption));
    if (bracket) {
        WCHAR shortName[LANGUAGE_TEXT_CHARS];
        qplat::CopyField(shortName, LANGUAGE_TEXT_CHARS, m_language.GetText(bracket));
        const size_t used = wcslen(text);
        swprintf(text + used, kRowTextChars - used, u"%s%s%s", u"(", shortName, u")");
    }
    m_list.InsertItem(row, text);
    m_list.SetItemText(row, 1, value == SETTINGS_SWITCH_ON ? kOnMark : kOffMark);
    m_rowByte[row] = switchByte;
    if (row >= m_rowCount) m_rowCount = row + 1;
}

void CParamSwitchesDlg::OnToggle(int row)
{
    if (row < 0 || row >= m_rowCount) return;
    WCHAR mark[kMarkChars] = {};
    m_list.GetItemText(row, 1, mark, kMarkChars);
    m_list.SetItemText(row, 1, wcscmp(mark, kOffMark) != 0 ? kOffMark : kOnMark);
}

// ---------------------------------------------------------------- OK

void CParamSwitchesDlg::OnOk()
{
    for (int row = 0; row < m_rowCount; ++row) {
        WCHAR mark[kMarkChars] = {};
        m_list.GetItemText(row, 1, mark, kMarkChars);
        *m_rowByte[row] = wcscmp(mark, kOffMark) == 0 ? kSwitchOff : SETTINGS_SWITCH_ON;
    }
    // The disc device has no catalogue type that the switches could leave behind.
    if (m_params.deviceType != kDiscDevice) ForgetWheelTypeWhenChanged(m_params, m_loadedParams);
    // A failed save keeps the screen with the operator's marks for another try.
    if (SaveSettings()) EndDialog(m_hWnd, SETTINGS_SCREEN_END);
}
