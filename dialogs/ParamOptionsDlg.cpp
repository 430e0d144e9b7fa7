#include "dialogs/ParamOptionsDlg.h"

#include <iterator>

#include "dialogs/SettingsScreen.h"

namespace {

constexpr BYTE kWheelHead = 1;
constexpr BYTE kStepGauge = 3;
constexpr BYTE kDiscDevice = 4;
constexpr int kRadioWidth = 136;
constexpr COLORREF kFrameFill = 0xFFFFFF;
constexpr int kFrameCorner = 10;

// The thickness variant's fourth choice: its id closes the group's range, but
// no radio is made for it.
constexpr int kVariant4Id = 464;
// Radios that mean nothing while that fourth choice is checked.
constexpr int kSlopeRadioIds[] = {465, 466, 665, 666, 667};

}  // namespace

struct CParamOptionsDlg::Group {
    struct Radio {
        int id, text, x, y;
    };
    int caption;
    int x, y, width, height;
    int firstId, lastId;  // the range a check covers
    int radioCount;
    Radio radios[3];
    BYTE ParamBlock::*byte;
    BYTE noneChecked;  // what OK stores when no radio before the last is checked
};

namespace {

using Group = CParamOptionsDlg::Group;

constexpr Group kWheelGroups[] = {
    {40321, 10, 60, 151, 70, 459, 460, 2, {{459, 40322, 20, 75}, {460, 40323, 20, 100}}, &ParamBlock::option1, 2},
    {40324, 10, 140, 151, 70, 461, kVariant4Id, 3,
     {{461, 40325, 20, 150}, {462, 40326, 20, 169}, {463, 40327, 20, 188}}, &ParamBlock::option2, 4},
    {40328, 166, 60, 151, 70, 465, 466, 2, {{465, 40329, 176, 75}, {466, 40330, 176, 100}}, &ParamBlock::option3, 2},
    {40334, 166, 140, 151, 70, 665, 667, 3,
     {{665, 40335, 176, 150}, {666, 40336, 176, 169}, {667, 40337, 176, 188}}, &ParamBlock::option4, 3},
    {40317, 322, 60, 151, 70, 467, 468, 2, {{467, 40318, 332, 75}, {468, 40319, 332, 100}}, &ParamBlock::option5, 2},
    {40338, 322, 140, 151, 70, 668, 669, 2, {{668, 40339, 332, 155}, {669, 40340, 332, 180}}, &ParamBlock::option6, 2},
};

constexpr Group kDiscGroups[] = {
    {40373, 15, 60, 171, 70, 755, 756, 2, {{755, 40374, 20, 75}, {756, 40375, 20, 100}}, &ParamBlock::discHeadMode, 2},
    {40370, 15, 140, 171, 70, 753, 754, 2, {{753, 40371, 20, 155}, {754, 40372, 20, 180}}, &ParamBlock::discOption1, 2},
};

// The step gauge's group: its frame and its radios (the texts are the
// program's own).
constexpr int kStepCaption = 40341;
constexpr RECT kStepFrame = {15, 65, 15 + 171, 65 + 105};
struct StepRadio {
    int id;
    const WCHAR* text;
    int y;
    BYTE steps;
};
constexpr StepRadio kStepRadios[3] = {
    {CParamOptionsDlg::kSteps1Id, u" n = 1 ", 85, 1},
    {CParamOptionsDlg::kSteps3Id, u" n = 3 ", 110, 3},
    {CParamOptionsDlg::kSteps6Id, u" n = 6 ", 135, 6},
};
constexpr int kStepRadioX = 30;

}  // namespace

CParamOptionsDlg::CParamOptionsDlg() = default;

CParamOptionsDlg::~CParamOptionsDlg() = default;

// ---------------------------------------------------------------- hooks

void CParamOptionsDlg::OnLoadSettings()
{
    for (MeasureStep& mark : m_marks) mark.state = 1;
    m_groups = nullptr;
    m_groupCount = 0;
    if (m_params.deviceType == kWheelHead) {
        m_groups = kWheelGroups;
        m_groupCount = static_cast<int>(std::size(kWheelGroups));
    } else if (m_params.deviceType == kDiscDevice) {
        m_groups = kDiscGroups;
        m_groupCount = static_cast<int>(std::size(kDiscGroups));
    }
}

void CParamOptionsDlg::OnInitDialog()
{
    AddButtons(m_buttons, 2);
    AddButtons(m_radios, kMaxRadios);
    CreateBackButton(m_buttons[0]);
    CreateConfirmButton(m_buttons[1], m_hWnd, m_hInstance, kOkId, m_language.GetText(SETTINGS_TEXT_CONFIRM));
    if (m_params.deviceType == kStepGauge) {
        CreateStepRadios();
        return;
    }
    CreateGroupRadios();
    if (m_params.deviceType == kWheelHead) {
        CheckGroups();
        EnableSlopeRadios();
    } else if (m_params.deviceType == kDiscDevice) {
        CheckDiskGroups();
    }
}

void CParamOptionsDlg::PaintContent(HDC dc)
{
    for (int g = 0; g < m_groupCount; ++g) {
        const Group& group = m_groups[g];
        m_paint.DrawRoundFrame(m_hWnd, dc, group.x, group.y, group.width, group.height,
                               m_language.GetText(group.caption), kFrameFill, kFrameCorner, 1);
    }
    if (m_params.deviceType == kStepGauge) {
        m_paint.DrawRoundFrame(m_hWnd, dc, kStepFrame.left, kStepFrame.top, kStepFrame.right - kStepFrame.left,
                               kStepFrame.bottom - kStepFrame.top, m_language.GetText(kStepCaption), kFrameFill,
                               kFrameCorner, 1);
        m_resultView.DrawDial(m_hWnd, dc, kDialX, kDialY, m_marks, m_params.gaugeSteps);
    }
}

bool CParamOptionsDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    answer = TRUE;
    if (id == kOkId) {
        OnOk();
        return true;
    }
    if (m_params.deviceType == kStepGauge && id >= kSteps1Id && id <= kSteps6Id) {
        CheckRadioButton(m_hWnd, kSteps1Id, kSteps6Id, id);
        // The dial follows the choice at once.
        m_params.gaugeSteps = ReadNChoice();
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return true;
    }
    if (const Group* group = GroupOf(id)) {
        CheckRadioGroup(group->firstId, group->lastId, id - group->firstId);
        if (group->byte == &ParamBlock::option2) EnableSlopeRadios();
        return true;
    }
    answer = 0;
    return false;
}

// ---------------------------------------------------------------- radios

void CParamOptionsDlg::CreateGroupRadios()
{
    for (int g = 0; g < m_groupCount; ++g) {
        const Group& group = m_groups[g];
        for (int r = 0; r < group.radioCount && m_radioCount < kMaxRadios; ++r) {
            const Group::Radio& radio = group.radios[r];
            CreateRadio(m_radios[m_radioCount++], m_hWnd, m_hInstance, m_language.GetText(radio.text), radio.x,
                        radio.y, kRadioWidth, radio.id, m_font);
        }
    }
}

void CParamOptionsDlg::CreateStepRadios()
{
    for (const StepRadio& radio : kStepRadios)
        CreateRadio(m_radios[m_radioCount++], m_hWnd, m_hInstance, radio.text, kStepRadioX, radio.y, kRadioWidth,
                    radio.id, m_font);
    const BYTE steps = m_params.gaugeSteps;
    CheckRadioButton(m_hWnd, kSteps1Id, kSteps6Id, steps == 6 ? kSteps6Id : steps == 3 ? kSteps3Id : kSteps1Id);
}

void CParamOptionsDlg::CheckRadioGroup(int firstId, int lastId, int index)
{
    CheckRadioButton(m_hWnd, firstId, lastId, firstId + index);
}

void CParamOptionsDlg::CheckGroups()
{
    for (int g = 0; g < m_groupCount; ++g)
        CheckRadioGroup(m_groups[g].firstId, m_groups[g].lastId, static_cast<int>(m_params.*m_groups[g].byte) - 1);
}

void CParamOptionsDlg::CheckDiskGroups()
{
    CheckGroups();
}

BYTE CParamOptionsDlg::ReadNChoice()
{
    for (const StepRadio& radio : kStepRadios)
        if (radio.id != kSteps1Id && IsDlgButtonChecked(m_hWnd, radio.id) == BST_CHECKED) return radio.steps;
    return 1;
}

void CParamOptionsDlg::EnableSlopeRadios()
{
    const BOOL enable = IsDlgButtonChecked(m_hWnd, kVariant4Id) == BST_CHECKED ? FALSE : TRUE;
    for (int id : kSlopeRadioIds)
        if (HWND radio = GetDlgItem(m_hWnd, id)) EnableWindow(radio, enable);
}

BYTE CParamOptionsDlg::ReadGroup(const Group& group) const
{
    for (int r = 0; r + 1 < group.radioCount; ++r)
        if (IsDlgButtonChecked(m_hWnd, group.radios[r].id) == BST_CHECKED) return static_cast<BYTE>(r + 1);
    // The last radio: its value, or, in the thickness variant, the fourth
    // choice that has no radio when none is checked.
    const int last = group.radios[group.radioCount - 1].id;
    if (IsDlgButtonChecked(m_hWnd, last) == BST_CHECKED) return static_cast<BYTE>(group.radioCount);
    return group.noneChecked;
}

const CParamOptionsDlg::Group* CParamOptionsDlg::GroupOf(int id) const
{
    for (int g = 0; g < m_groupCount; ++g)
        for (int r = 0; r < m_groups[g].radioCount; ++r)
            if (m_groups[g].radios[r].id == id) return &m_groups[g];
    return nullptr;
}

// ---------------------------------------------------------------- OK

void CParamOptionsDlg::OnOk()
{
    if (m_params.deviceType == kStepGauge)
        m_params.gaugeSteps = ReadNChoice();
    else
        for (int g = 0; g < m_groupCount; ++g) m_params.*m_groups[g].byte = ReadGroup(m_groups[g]);
    ForgetWheelTypeWhenChanged(m_params, m_loadedParams);
    // A failed save keeps the screen with the operator's choice for another try.
    if (SaveSettings()) EndDialog(m_hWnd, SETTINGS_SCREEN_END);
}
