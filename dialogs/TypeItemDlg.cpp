#include "dialogs/TypeItemDlg.h"

#include <cstring>
#include <new>

#include "dialogs/ParamOptionsDlg.h"
#include "dialogs/ParamSwitchesDlg.h"
#include "dialogs/ParamTableDlg.h"
#include "dialogs/ValueText.h"
#include "measurement/ReferStore.h"
#include "platform/WinText.h"
#include "scheme/SchemeFile.h"
#include "ui/KeyboardDlg.h"

namespace {

BOOL OpenDimensions(HINSTANCE instance, HWND owner)
{
    return RunScreen<CParamTableDlg>(instance, owner);
}
BOOL OpenOptions(HINSTANCE instance, HWND owner)
{
    return RunScreen<CParamOptionsDlg>(instance, owner);
}
BOOL OpenSwitches(HINSTANCE instance, HWND owner)
{
    return RunScreen<CParamSwitchesDlg>(instance, owner);
}

}  // namespace

TypeItemSettingsScreens g_typeItemScreens = {OpenDimensions, OpenOptions, OpenSwitches};

namespace {

constexpr BYTE kDiscDevice = 4;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;
constexpr int kCaptionHeight = 18;
constexpr int kScreenCaptionLeft = 40;
constexpr UINT kFocusDelayMs = 100;
constexpr int kNameBoxChars = 101;  // the box's text as read for the keyboard
constexpr int kListTextChars = 101;

enum : int {
    kTextDimensions = 40020,
    kTextOptions = 40021,
    kTextSwitches = 40022,
    kTextReferences = 40025,
    kTextSchemes = 40026,
    kTextTolerances = 40027,
    kTextNewWheelType = 40426,
    kTextEditWheelType = 40427,
    kTextName = 40428,
    kTextNewDiscType = 40433,
    kTextEditDiscType = 40434,
    kTextNewType = 40435,
    kTextWheelNameTaken = 50050,
    kTextDiscNameTaken = 50065,
    kTextOk = 50104,
};

struct Label {
    int y, text;
};
constexpr Label kLabels[4] = {{70, kTextName}, {105, kTextReferences}, {140, kTextSchemes}, {175, kTextTolerances}};

}  // namespace

CTypeItemDlg::CTypeItemDlg() = default;

CTypeItemDlg::~CTypeItemDlg() = default;

BOOL CTypeItemDlg::DoModal(HINSTANCE instance, HWND owner, int row)
{
    m_row = row < 0 ? -1 : row;
    BeginModal(instance, owner);
    m_disc = m_params.deviceType == kDiscDevice;
    m_types.Load(m_disc);
    return Answered(RunTemplate());
}

// ---------------------------------------------------------------- controls

void CTypeItemDlg::OnInitDialog()
{
    AddButtons(m_buttons, 5);
    CreateBackButton(m_buttons[0]);
    m_buttons[1].Create(m_hWnd, m_hInstance, 170, 223, 141, 41, kOkId, 210, 211, 212);
    m_buttons[1].SetCaption(m_language.GetText(kTextOk), kWhite, FALSE, FALSE, FALSE, 0, kCaptionHeight);
    m_buttons[2].Create(m_hWnd, m_hInstance, 300, 60, 0, 0, kOptionsId, 625, 624, 0);
    m_buttons[2].SetCaption(m_language.GetText(kTextOptions), kWhite, FALSE, FALSE, FALSE, kScreenCaptionLeft,
                            kCaptionHeight);
    m_buttons[3].Create(m_hWnd, m_hInstance, 300, 111, 0, 0, kSwitchesId, 601, 602, 0);
    m_buttons[3].SetCaption(m_language.GetText(kTextSwitches), kWhite, FALSE, FALSE, FALSE, kScreenCaptionLeft,
                            kCaptionHeight);
    m_buttons[4].Create(m_hWnd, m_hInstance, 300, 162, 0, 0, kDimensionsId, 623, 622, 0);
    m_buttons[4].SetCaption(m_language.GetText(kTextDimensions), kWhite, FALSE, FALSE, FALSE, kScreenCaptionLeft,
                            kCaptionHeight);
    CreateNameBox();
    FillReferenceList();
    FillSchemeList();
    FillToleranceList();
    std::memset(&m_wheelRecord, 0, sizeof m_wheelRecord);
    std::memset(&m_diskRecord, 0, sizeof m_diskRecord);
    m_keyboardReady = false;
    // The name box has the focus first; the keyboard opens only for a tap
    // after the timer has moved the focus away.
    if (m_nameBox.m_hWnd) SetFocus(m_nameBox.m_hWnd);
    SetTimer(m_hWnd, kFocusTimer, kFocusDelayMs, nullptr);
}

void CTypeItemDlg::CreateNameBox()
{
    WCHAR text[NAME_FIELD_CHARS] = {};
    if (m_row < 0)
        qplat::CopyField(text, NAME_FIELD_CHARS, m_language.GetText(kTextNewType));
    else
        qplat::CopyField(text, NAME_FIELD_CHARS, m_disc ? m_params.discTypeName : m_params.wheelTypeName);
    m_nameBox.Create(m_hWnd, m_hInstance, text, kNameBoxId, 130, 70, 140, 25,
                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
    if (m_nameBox.m_hWnd) m_nameBox.SetFont(m_font);
}

int CTypeItemDlg::FindEntry(CComboBoxCtl& list, const WCHAR* stored)
{
    const int count = static_cast<int>(SendMessageW(list.m_hWnd, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[kListTextChars] = {};
        list.GetLBText(i, text, kListTextChars);
        if (SameName(text, stored)) return i;
    }
    return -1;
}

bool CTypeItemDlg::HasEntry(CComboBoxCtl& list, const WCHAR* stored)
{
    return FindEntry(list, stored) >= 0;
}

void CTypeItemDlg::SelectStored(CComboBoxCtl& list, const WCHAR* stored)
{
    const int count = static_cast<int>(SendMessageW(list.m_hWnd, CB_GETCOUNT, 0, 0));
    const int found = FindEntry(list, stored);
    if (count > 0) list.SetCurSel(found >= 0 ? found : 0);
}

void CTypeItemDlg::FillReferenceList()
{
    m_referList.Create(m_hWnd, m_hInstance, kListId, 130, 105, 140, 100);
    m_referList.SetFont(m_font);
    std::unique_ptr<CReferStore> store(new (std::nothrow) CReferStore());
    if (store) {
        store->List(m_params.deviceType);
        for (DWORD i = 0; i < store->m_count && i < static_cast<DWORD>(kMaxReferEntries); ++i)
            m_referList.AddString(qplat::FieldText(store->m_entries[i].profileName, kReferNameChars).c_str());
    }
    const WCHAR* stored = m_disc ? m_params.qodReferName : m_params.qavReferName;
    // An entry under edit keeps a reference whose file is not on this card
    // (another card may hold it): its name is offered too, so that confirming
    // does not put another profile in its place.
    if (m_row >= 0 && stored[0] != 0 && !HasEntry(m_referList, stored))
        m_referList.AddString(qplat::FieldText(stored, NAME_FIELD_CHARS).c_str());
    SelectStored(m_referList, stored);
}

void CTypeItemDlg::FillSchemeList()
{
    m_schemeList.Create(m_hWnd, m_hInstance, kListId, 130, 140, 140, 100);
    m_schemeList.SetFont(m_font);
    std::unique_ptr<CSchemeFile> schemes(new (std::nothrow) CSchemeFile());
    if (schemes) {
        schemes->List(m_params.deviceType);
        for (int i = 0; i < schemes->GetCount(); ++i)
            if (const SchemeListEntry* entry = schemes->GetEntry(i))
                m_schemeList.AddString(qplat::FieldText(entry->schemeName, SCHEME_LIST_TEXT_CHARS).c_str());
    }
    SelectStored(m_schemeList, m_disc ? m_params.qodSchemeName : m_params.qavSchemeName);
}

namespace {

template <class Record, class File>
void FillToleranceNames(CComboBoxCtl& list, File& file)
{
    std::unique_ptr<Record[]> sets;
    const int count = LoadCatalogRecords(file, sets);
    for (int i = 0; i < count; ++i) list.AddString(qplat::FieldText(sets[i].name, CATALOG_NAME_CHARS).c_str());
}

}  // namespace

void CTypeItemDlg::FillToleranceList()
{
    m_toleranceList.Create(m_hWnd, m_hInstance, kListId, 130, 175, 140, 100);
    m_toleranceList.SetFont(m_font);
    if (m_disc) {
        CDopuskQodFile file;
        FillToleranceNames<DopuskQodRecord>(m_toleranceList, file);
        SelectStored(m_toleranceList, m_params.qodToleranceName);
    } else {
        CDopuskQavFile file;
        FillToleranceNames<DopuskQavRecord>(m_toleranceList, file);
        SelectStored(m_toleranceList, m_params.qavToleranceName);
    }
}

// ---------------------------------------------------------------- painting

LPCWSTR CTypeItemDlg::TitleText()
{
    if (m_disc) return m_language.GetText(m_row < 0 ? kTextNewDiscType : kTextEditDiscType);
    return m_language.GetText(m_row < 0 ? kTextNewWheelType : kTextEditWheelType);
}

void CTypeItemDlg::PaintContent(HDC dc)
{
    for (const Label& label : kLabels)
        m_paint.DrawCaption(m_hWnd, dc, 10, label.y, 0, m_language.GetText(label.text), kCaptionHeight, 0, kBlack,
                            FALSE, TRUE, 0);
}

// ---------------------------------------------------------------- input

void CTypeItemDlg::OnTimer(UINT_PTR)
{
    KillTimer(m_hWnd, kFocusTimer);
    if (m_buttons[1].m_hWnd) SetFocus(m_buttons[1].m_hWnd);
    m_keyboardReady = true;
}

bool CTypeItemDlg::OnCommand(int id, int code, HWND, INT_PTR& answer)
{
    answer = TRUE;
    switch (id) {
    case kOkId: OnOk(); return true;
    case kDimensionsId: OnSettingsScreen(g_typeItemScreens.dimensions); return true;
    case kOptionsId: OnSettingsScreen(g_typeItemScreens.options); return true;
    case kSwitchesId: OnSettingsScreen(g_typeItemScreens.switches); return true;
    case kNameBoxId:
        if (code == EN_SETFOCUS) OnNameFocus();
        return true;
    default: answer = 0; return false;
    }
}

void CTypeItemDlg::OnNameFocus()
{
    if (!m_keyboardReady || m_asking) return;
    m_asking = true;
    WCHAR prompt[KEYBOARD_TEXT_CHARS];
    swprintf(prompt, KEYBOARD_TEXT_CHARS, u"%s%s", m_language.GetText(kTextName), u":");
    WCHAR current[kNameBoxChars] = {};
    GetWindowTextW(m_nameBox.m_hWnd, current, kNameBoxChars);
    CKeyboardDlg* keyboard = new (std::nothrow) CKeyboardDlg();
    if (keyboard && keyboard->DoModal(m_hInstance, m_hWnd, 1, prompt, current)) {
        if (keyboard->m_result[0])
            m_nameBox.SetText(keyboard->m_result);
        else
            m_nameBox.SetText(m_language.GetText(m_disc ? kTextNewDiscType : kTextNewWheelType));
    }
    DeleteKeyboardDlg(keyboard);
    // Away from the name box, so that the keyboard opens again only when the
    // operator taps the box.
    if (m_buttons[1].m_hWnd) SetFocus(m_buttons[1].m_hWnd);
    m_asking = false;
}

void CTypeItemDlg::OnSettingsScreen(SettingsScreenOpener open)
{
    // The screen works on the settings file; what it left there is what the
    // entry takes.
    if (open && open(m_hInstance, m_hWnd)) ReloadSettings();
}

// ---------------------------------------------------------------- the record

void CTypeItemDlg::ListText(CComboBoxCtl& list, WCHAR* field)
{
    WCHAR text[kListTextChars] = {};
    const int index = list.GetCurSel();
    if (index != CB_ERR) list.GetLBText(index, text, kListTextChars);
    CopyName(field, text);
}

template <class Record>
void CTypeItemDlg::ReadNames(Record& r)
{
    std::memset(&r, 0, sizeof r);
    WCHAR name[NAME_FIELD_CHARS] = {};
    GetWindowTextW(m_nameBox.m_hWnd, name, NAME_FIELD_CHARS);
    CopyName(r.name, name);
    ListText(m_referList, r.referName);
    ListText(m_schemeList, r.schemeName);
    ListText(m_toleranceList, r.toleranceName);
}

void CTypeItemDlg::ReadWheelFields(HWND)
{
    WheelTypeRecord& r = m_wheelRecord;
    ReadNames(r);
    // "L16" is not part of a type: its slot stays 0.
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k)
        if (k != DIM_L16) r.dimensions[k] = m_params.dimensions[k];
    r.option1 = m_params.option1;
    r.option2 = m_params.option2;
    r.option3 = m_params.option3;
    r.wheelTypeOption = m_params.wheelTypeOption;
    std::memcpy(r.switches, m_params.switches, sizeof r.switches);
}

void CTypeItemDlg::ReadDiskFields(HWND)
{
    DiskTypeRecord& r = m_diskRecord;
    ReadNames(r);
    r.discL1 = m_params.discL1;
    r.discL2 = m_params.discL2;
    std::memcpy(r.switches, m_params.discSwitches, sizeof r.switches);
    r.discOption1 = m_params.discOption1;
    r.headMode = m_params.discHeadMode;
}

int CTypeItemDlg::IsNameUnique(const WCHAR* name)
{
    for (int i = 0; i < m_types.Count(); ++i)
        if (i != m_row && SameName(m_types.Name(i), name)) return 0;
    return 1;
}

void CTypeItemDlg::OnOk()
{
    if (m_disc)
        ReadDiskFields(m_hWnd);
    else
        ReadWheelFields(m_hWnd);
    if (!IsNameUnique(m_disc ? m_diskRecord.name : m_wheelRecord.name)) {
        ShowMessage(MESSAGE_NOTICE, m_disc ? kTextDiscNameTaken : kTextWheelNameTaken);
        return;
    }
    int written = 0;
    if (m_row < 0)
        written = m_disc ? m_types.Append(m_diskRecord) : m_types.Append(m_wheelRecord);
    else
        written = m_disc ? m_types.Replace(m_row, m_diskRecord) : m_types.Replace(m_row, m_wheelRecord);
    // A failed write keeps the editor open: the entry can be saved again or
    // dropped. A catalogue changed on the card since it was read is not
    // written over: the list behind shows it as it is.
    if (written != 1) {
        if (m_types.LastRefusal() == CFixedRecordFile::Refusal::RecordChanged) {
            ShowMessage(MESSAGE_FAILURE, SCREEN_CARD_CHANGED);
            EndDialog(m_hWnd, WM_COMMAND);
            return;
        }
        ShowMessage(MESSAGE_FAILURE, TEXT_SAVE_FAILED);
        return;
    }
    EndDialog(m_hWnd, WM_COMMAND);
}
