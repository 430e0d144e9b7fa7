#include "dialogs/TypeCatalogDlg.h"

#include <cstring>

#include "dialogs/TypeItemDlg.h"
#include "dialogs/ValueText.h"
#include "platform/WinText.h"

namespace {

constexpr BYTE kDiscDevice = 4;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kCaptionHeight = 18;
constexpr WCHAR kCurrentMark[] = u"\u2022";
constexpr int kRowNameChars = NAME_FIELD_CHARS + 1;  // 50 characters and the terminator

enum : int {
    kTextTypeName = 40424,
    kTextNew = 50105,
    kTextEdit = 50106,
    kTextDelete = 50107,
    kTextApply = 50116,
};

// The texts of the two families.
struct FamilyTexts {
    int title, label, noSelection, deleteQuestion, currentNotDeleted;
};
constexpr FamilyTexts kWheelTexts = {40023, 40425, 50047, 50048, 50049};
constexpr FamilyTexts kDiscTexts = {40028, 40432, 50062, 50063, 50064};

struct ButtonPlace {
    int id, x, y, normal, pressed, disabled, caption;
};
constexpr ButtonPlace kButtonPlaces[4] = {
    {CTypeCatalogDlg::kNewId, 20, 223, 581, 582, 583, kTextNew},
    {CTypeCatalogDlg::kDeleteId, 172, 223, 584, 585, 586, kTextDelete},
    {CTypeCatalogDlg::kEditId, 324, 223, 603, 604, 605, kTextEdit},
    {CTypeCatalogDlg::kApplyId, 324, 53, 587, 588, 589, kTextApply},
};

}  // namespace

CTypeCatalogDlg::CTypeCatalogDlg() = default;

CTypeCatalogDlg::~CTypeCatalogDlg() = default;

BOOL CTypeCatalogDlg::DoModal(HINSTANCE instance, HWND owner)
{
    BeginModal(instance, owner);
    m_disc = m_params.deviceType == kDiscDevice;
    m_types.Load(m_disc);
    return Answered(RunTemplate());
}

WCHAR* CTypeCatalogDlg::CurrentTypeName()
{
    return m_disc ? m_params.discTypeName : m_params.wheelTypeName;
}

LPCWSTR CTypeCatalogDlg::TitleText()
{
    return m_language.GetText(m_disc ? kDiscTexts.title : kWheelTexts.title);
}

// ---------------------------------------------------------------- controls

void CTypeCatalogDlg::OnInitDialog()
{
    const FamilyTexts& texts = m_disc ? kDiscTexts : kWheelTexts;
    AddButtons(m_buttons, 5);
    CreateBackButton(m_buttons[0]);
    for (int i = 0; i < 4; ++i) {
        const ButtonPlace& b = kButtonPlaces[i];
        m_buttons[i + 1].Create(m_hWnd, m_hInstance, b.x, b.y, 141, 41, b.id, b.normal, b.pressed, b.disabled);
        m_buttons[i + 1].SetCaption(m_language.GetText(b.caption), kWhite, FALSE, FALSE, FALSE, 0, kCaptionHeight);
    }
    m_label.Attach(GetDlgItem(m_hWnd, kLabelId));
    m_nameBox.Attach(GetDlgItem(m_hWnd, kNameBoxId));
    if (m_label.m_hWnd) {
        m_label.SetFont(m_font);
        m_label.SetText(m_language.GetText(texts.label));
    }
    if (m_nameBox.m_hWnd) {
        m_nameBox.SetFont(m_font);
        m_nameBox.SetText(qplat::FieldText(CurrentTypeName(), NAME_FIELD_CHARS).c_str());
        // The current type changes only through apply: the field shows it
        // and takes no typing.
        SendMessageW(m_nameBox.m_hWnd, EM_SETREADONLY, TRUE, 0);
    }
    FillList(m_hWnd);
}

void CTypeCatalogDlg::FillList(HWND window)
{
    m_list.Create(window, m_hInstance, kListId, 10, 100, 450, 115, TRUE, TRUE);
    m_list.SetFont(m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextTypeName), LVCFMT_LEFT, 400, 0);
    m_list.InsertColumn(1, u"", LVCFMT_LEFT, 25, 1);
    FillRows();
}

void CTypeCatalogDlg::FillRows()
{
    m_types.Load(m_disc);
    m_list.DeleteAllItems();
    // Every row named like the current type carries the mark; the last of
    // them is the marked row.
    m_marked = -1;
    for (int i = 0; i < m_types.Count(); ++i) {
        m_list.InsertItem(i, qplat::FieldText(m_types.Name(i), CATALOG_NAME_CHARS).c_str());
        if (IsCurrentName(m_types.Name(i), CurrentTypeName())) {
            m_list.SetItemText(i, 1, kCurrentMark);
            m_marked = i;
        }
    }
}

void CTypeCatalogDlg::GetRowName(int row, WCHAR* name, int chars)
{
    m_list.GetItemText(row, 0, name, chars);
}

// ---------------------------------------------------------------- applying a type

void CTypeCatalogDlg::ApplyWheelType(int row)
{
    const WheelTypeRecord* record = m_types.Wheel(row);
    if (!record) return;
    const WheelTypeRecord& r = *record;
    ParamBlock& p = m_params;
    CopyName(p.wheelTypeName, r.name);
    CopyName(p.qavReferName, r.referName);
    CopyName(p.qavSchemeName, r.schemeName);
    CopyName(p.qavToleranceName, r.toleranceName);
    // "L16" belongs to the handheld, not to a type.
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k)
        if (k != DIM_L16) p.dimensions[k] = r.dimensions[k];
    p.option1 = r.option1;
    p.option2 = r.option2;
    p.option3 = r.option3;
    p.wheelTypeOption = r.wheelTypeOption;
    std::memcpy(p.switches, r.switches, sizeof p.switches);
}

void CTypeCatalogDlg::ApplyDiskType(int row)
{
    const DiskTypeRecord* record = m_types.Disk(row);
    if (!record) return;
    const DiskTypeRecord& r = *record;
    ParamBlock& p = m_params;
    CopyName(p.discTypeName, r.name);
    CopyName(p.qodReferName, r.referName);
    CopyName(p.qodSchemeName, r.schemeName);
    CopyName(p.qodToleranceName, r.toleranceName);
    p.discL1 = r.discL1;
    p.discL2 = r.discL2;
    std::memcpy(p.discSwitches, r.switches, sizeof p.discSwitches);
    p.discOption1 = r.discOption1;
    p.discHeadMode = r.headMode;
}

void CTypeCatalogDlg::ApplyRow(int row)
{
    if (m_disc)
        ApplyDiskType(row);
    else
        ApplyWheelType(row);
}

bool CTypeCatalogDlg::ApplyAndSave(int row)
{
    const ParamBlock before = m_params;
    ApplyRow(row);
    if (StoreSettings()) return true;
    m_params = before;
    ShowMessage(MESSAGE_FAILURE, TEXT_SAVE_FAILED);
    return false;
}

// ---------------------------------------------------------------- commands

bool CTypeCatalogDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    answer = TRUE;
    switch (id) {
    case kNewId: OnNew(); return true;
    case kEditId: OnEdit(); return true;
    case kDeleteId: OnDelete(); return true;
    case kApplyId: OnApply(); return true;
    default: answer = 0; return false;
    }
}

namespace {

// The fields a type, and the settings screens its editor opens, set: every
// dimension, the type's names, the options and switches of both families.
void RestoreTypeFields(ParamBlock* onto, const ParamBlock& from)
{
    std::memcpy(onto->dimensions, from.dimensions, sizeof onto->dimensions);
    for (auto name : {&ParamBlock::qavReferName, &ParamBlock::qavSchemeName, &ParamBlock::qavToleranceName,
                      &ParamBlock::wheelTypeName, &ParamBlock::qodReferName, &ParamBlock::qodSchemeName,
                      &ParamBlock::qodToleranceName, &ParamBlock::discTypeName})
        std::memcpy(onto->*name, from.*name, sizeof(onto->*name));
    for (auto option : {&ParamBlock::option1, &ParamBlock::option2, &ParamBlock::option3, &ParamBlock::option4,
                        &ParamBlock::wheelTypeOption, &ParamBlock::option6, &ParamBlock::gaugeSteps,
                        &ParamBlock::option5, &ParamBlock::discOption1, &ParamBlock::discHeadMode})
        onto->*option = from.*option;
    std::memcpy(onto->switches, from.switches, sizeof onto->switches);
    std::memcpy(onto->discSwitches, from.discSwitches, sizeof onto->discSwitches);
    onto->discL1 = from.discL1;
    onto->discL2 = from.discL2;
}

}  // namespace

void CTypeCatalogDlg::RunItemEditor(int row, const ParamBlock& saved)
{
    RunScreen<CTypeItemDlg>(m_hInstance, m_hWnd, row);
    // Whatever the editor's screens left in the settings file goes: the
    // fields a type and its screens set are put back as they were, onto the
    // block as the card holds it now, whose other fields (device type,
    // sensors, journals, modes) no type touches and so stay.
    ReloadSettings();
    RestoreTypeFields(&m_params, saved);
    FillRows();
    if (!StoreSettings()) ShowMessage(MESSAGE_FAILURE, TEXT_SAVE_FAILED);
}

void CTypeCatalogDlg::OnNew()
{
    const ParamBlock saved = m_params;
    RunItemEditor(-1, saved);
}

void CTypeCatalogDlg::OnEdit()
{
    const ParamBlock saved = m_params;
    const int row = m_list.GetSelected();
    if (row < 0 || row >= m_types.Count()) {
        ShowMessage(MESSAGE_NOTICE, m_disc ? kDiscTexts.noSelection : kWheelTexts.noSelection);
        return;
    }
    // The editor and its screens start from the entry's values in the file;
    // without them the editor would take another entry's settings.
    if (!ApplyAndSave(row)) return;
    RunItemEditor(row, saved);
}

void CTypeCatalogDlg::OnDelete()
{
    const FamilyTexts& texts = m_disc ? kDiscTexts : kWheelTexts;
    const int row = m_list.GetSelected();
    if (row < 0 || row >= m_types.Count()) {
        ShowMessage(MESSAGE_NOTICE, texts.noSelection);
        return;
    }
    WCHAR name[kRowNameChars] = {};
    GetRowName(row, name, kRowNameChars);
    if (IsCurrentName(name, CurrentTypeName())) {
        ShowMessage(MESSAGE_NOTICE, texts.currentNotDeleted);
        return;
    }
    if (ShowMessage(MESSAGE_QUESTION, texts.deleteQuestion) != 1) return;
    if (m_types.Remove(row) != 1)
        ShowMessage(MESSAGE_FAILURE, m_types.LastRefusal() == CFixedRecordFile::Refusal::RecordChanged
                                         ? SCREEN_CARD_CHANGED
                                         : TEXT_SAVE_FAILED);
    // The refill shows what the file holds, written or not.
    FillRows();
    if (m_types.Count() > 0) m_list.SelectItem(0);
}

void CTypeCatalogDlg::OnApply()
{
    const int row = m_list.GetSelected();
    if (row < 0 || row >= m_types.Count()) {
        ShowMessage(MESSAGE_NOTICE, m_disc ? kDiscTexts.noSelection : kWheelTexts.noSelection);
        return;
    }
    if (!ApplyAndSave(row)) return;
    m_nameBox.SetText(qplat::FieldText(CurrentTypeName(), NAME_FIELD_CHARS).c_str());
    if (m_marked >= 0) m_list.SetItemText(m_marked, 1, u"");
    m_list.SetItemText(row, 1, kCurrentMark);
    m_marked = row;
    m_list.SelectItem(row);
}
