#include "dialogs/ToleranceEditorDlg.h"

#include <cstring>
#include <new>

#include "platform/WinText.h"

WCHAR g_toleranceValueText[KEYBOARD_TEXT_CHARS];

namespace {

constexpr BYTE kDiscDevice = 4;
constexpr BYTE kSwitchOn = 2;

enum : int {
    kTextNewSet = 40415,
    kTextSets = 40416,
    kTextParameter = 40417,
    kTextLower = 40418,
    kTextUpper = 40419,
    kTextLowerWarning = 40420,
    kTextUpperWarning = 40421,
    kTextSetName = 40422,
    kTextEditSet = 40423,
    kTextNoSelection = 50011,
    kTextNameTaken = 50012,
    kTextDeleteQuestion = 50013,
    kTextCurrentNotDeleted = 50014,
    kTextNotRenamed = 50090,
    kTextSettingsNotRestored = 50091,
    kTextSave = 50104,
    kTextCancel = 50103,
    kTextNew = 50105,
    kTextEdit = 50106,
    kTextDelete = 50107,
    kTextMakeCurrent = 50108,
};

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kCaptionHeight = 18;
constexpr COLORREF kBrowseTextColour = 0xC80000;
constexpr COLORREF kEditTextColour = 0x0000FF;
constexpr WCHAR kCurrentMark[] = u"\u2022";
constexpr WCHAR kDegrees[] = u"\u00B0";
constexpr WCHAR kPercent[] = u"%";
// Cell texts as the list gives them back (the Part's bounds for labels and
// names read from the lists).
constexpr int kCellChars = 100;
constexpr int kNameChars = PARAM_NAME_CHARS;  // 49 characters and the terminator

// Value-list columns: the label, the four limits, the unit.
enum : int { kColumnLabel = 0, kColumnLower = 1, kColumnLowerWarning = 2, kColumnUpperWarning = 3, kColumnUpper = 4,
             kColumnUnit = 5 };
constexpr int kBrowseWidths[6] = {40, 55, 55, 55, 55, 48};
constexpr int kEditWidths[6] = {100, 70, 70, 70, 70, 48};
constexpr int kHeaderTexts[6] = {kTextParameter, kTextLower, kTextLowerWarning, kTextUpperWarning, kTextUpper, 0};

struct ButtonPlace {
    int id, x, y, w, h, normal, pressed, caption;
};
// Creation order of the buttons; the back button has no caption.
constexpr ButtonPlace kButtonPlaces[7] = {
    {487, 435, 7, 36, 36, 173, 174, 0},
    {CToleranceEditorDlg::kNewId, 20, 223, 141, 41, 564, 565, kTextNew},
    {CToleranceEditorDlg::kDeleteId, 172, 223, 141, 41, 566, 567, kTextDelete},
    {CToleranceEditorDlg::kEditId, 324, 223, 141, 41, 574, 573, kTextEdit},
    {CToleranceEditorDlg::kMakeCurrentId, 20, 53, 141, 41, 568, 569, kTextMakeCurrent},
    {CToleranceEditorDlg::kSaveId, 70, 223, 141, 41, 210, 211, kTextSave},
    {CToleranceEditorDlg::kCancelId, 240, 223, 141, 41, 572, 571, kTextCancel},
};
constexpr int kBrowseButtons[5] = {0, 1, 2, 3, 4};
constexpr int kEditButtons[2] = {5, 6};

}  // namespace

struct CToleranceEditorDlg::LimitRow {
    enum class Extra { None, Option2Not4, Option2Is3, OrDeviceType2, OrDeviceType3 };
    // Length: the unit system's length. Slope: an angle when byte 813 is 2,
    // else a length. Angles and percentages are kept in thousandths.
    enum class Unit { Length, Degrees, Percent, Slope };

    int position;     // k of the four QAV arrays, j of the four QOD groups
    int switchIndex;  // QAV: settings byte 820 + i; QOD: byte 1328 + i
    Extra extra;
    int caption;
    int shortText;
    Unit unit;
    bool lowerPair;  // QOD: the row shows the lower limit and lower warning, else the upper pair
};

namespace {

using Row = CToleranceEditorDlg::LimitRow;
using Extra = Row::Extra;
using Unit = Row::Unit;

// The wheel rows in the order they are shown.
constexpr Row kQavRows[] = {
    {0, 0, Extra::None, 40343, 40604, Unit::Length, false},
    {1, 1, Extra::None, 40344, 40605, Unit::Length, false},
    {2, 2, Extra::Option2Not4, 40345, 40609, Unit::Slope, false},
    {19, 18, Extra::None, 40344, 40608, Unit::Length, false},
    {20, 1, Extra::Option2Is3, 40344, 40606, Unit::Length, false},
    {21, 19, Extra::None, 40362, 40607, Unit::Length, false},
    {6, 7, Extra::OrDeviceType2, 40346, 40610, Unit::Length, false},
    {7, 8, Extra::None, 40347, 40611, Unit::Length, false},
    {3, 9, Extra::None, 40348, 40612, Unit::Length, false},
    {4, 10, Extra::None, 40348, 40626, Unit::Length, false},
    {5, 11, Extra::None, 40348, 40627, Unit::Length, false},
    {8, 3, Extra::None, 40351, 40614, Unit::Degrees, false},
    {9, 4, Extra::None, 40363, 40634, Unit::Degrees, false},
    // The fit figures (values 9 and 10) are percentages in thousandths.
    {11, 5, Extra::None, 40350, 40613, Unit::Percent, false},
    {10, 6, Extra::None, 40352, 40615, Unit::Length, false},
    {12, 12, Extra::None, 40356, 40617, Unit::Length, false},
    {13, 13, Extra::OrDeviceType3, 40353, 40616, Unit::Length, false},
    {18, 16, Extra::None, 40358, 40619, Unit::Length, false},
};

// The disc rows; each shows one side's pair of the position.
constexpr Row kQodRows[] = {
    {0, 0, Extra::None, 40380, 40640, Unit::Length, true},
    {1, 1, Extra::None, 40381, 40641, Unit::Length, false},
    {3, 3, Extra::None, 40381, 40643, Unit::Length, false},
    {2, 2, Extra::None, 40382, 40642, Unit::Length, true},
};

// The dialog's own font for the lists, the label and the name field.
template <class Control>
void GiveFont(Control& control, HFONT font)
{
    if (control.m_hWnd) control.SetFont(font);
}

}  // namespace

CToleranceEditorDlg::CToleranceEditorDlg() = default;

CToleranceEditorDlg::~CToleranceEditorDlg() = default;

// ---------------------------------------------------------------- hooks

void CToleranceEditorDlg::OnLoadSettings()
{
    m_qod = m_params.deviceType == kDiscDevice;
    qplat::CopyField(m_unitText, 10, m_language.GetText(LengthUnitTextId(m_params)));
}

void CToleranceEditorDlg::OnInitDialog()
{
    AddButtons(m_buttons, 7);
    for (int i = 0; i < 7; ++i) {
        const ButtonPlace& b = kButtonPlaces[i];
        m_buttons[i].Create(m_hWnd, m_hInstance, b.x, b.y, b.w, b.h, b.id, b.normal, b.pressed, 0);
        if (b.caption) m_buttons[i].SetCaption(m_language.GetText(b.caption), kWhite, FALSE, FALSE, FALSE, 0, kCaptionHeight);
    }
    m_nameLabel.Attach(GetDlgItem(m_hWnd, kNameLabelId));
    GiveFont(m_nameLabel, m_font);
    if (m_nameLabel.m_hWnd) m_nameLabel.SetText(m_language.GetText(kTextSetName));
    m_nameField.Attach(GetDlgItem(m_hWnd, kNameFieldId));
    GiveFont(m_nameField, m_font);
    if (m_nameField.m_hWnd) m_nameField.SetText(qplat::FieldText(FamilySetName(), kNameChars).c_str());
    CreateSetList(m_hWnd);
    CreateValueList(m_hWnd);
    SetEditMode(m_hWnd, 0, 0);
}

bool CToleranceEditorDlg::OnCommand(int id, int code, HWND, INT_PTR& answer)
{
    answer = TRUE;
    switch (id) {
    case kNewId: OnNewSet(); return true;
    case kEditId: OnEditSet(); return true;
    case kMakeCurrentId: OnMakeCurrent(); return true;
    case kDeleteId: OnDeleteSet(); return true;
    case kSaveId: OnSaveSet(); return true;
    case kCancelId: OnCancelEdit(); return true;
    case kNameFieldId:
        if (code == EN_SETFOCUS) OnNameFocus();
        return true;
    default: answer = 0; return false;
    }
}

bool CToleranceEditorDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    if (msg != WM_NOTIFY || lParam == 0) return false;
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->idFrom == static_cast<UINT_PTR>(kSetListId) && header->code == static_cast<UINT>(NM_CLICK)) {
        if (!m_editing) {
            const int row = m_setList.GetSelected();
            // A tap that selects no row changes nothing.
            if (row >= 0) {
                m_selected = row;
                ShowSelectedSet();
            }
        }
        answer = 0;
        return true;
    }
    if (header->idFrom != static_cast<UINT_PTR>(kValueListId)) return false;
    if (header->code == static_cast<UINT>(NM_CUSTOMDRAW) && header->hwndFrom == m_valueList.m_hWnd) {
        SetWindowLongW(m_hWnd, DWL_MSGRESULT, OnValueListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam)));
        answer = TRUE;
        return true;
    }
    if (header->code == static_cast<UINT>(NM_DBLCLK)) {
        const auto* tap = reinterpret_cast<NMITEMACTIVATE*>(lParam);
        if (m_editing && tap->iSubItem >= kColumnLower && tap->iSubItem <= kColumnUpper)
            OnValueDoubleTap(tap->iItem, tap->iSubItem);
        answer = 0;
        return true;
    }
    return false;
}

LPCWSTR CToleranceEditorDlg::TitleText()
{
    if (!m_editing) return m_language.GetText(kTextSets);
    return m_language.GetText(m_newSet ? kTextNewSet : kTextEditSet);
}

// ---------------------------------------------------------------- the family

WCHAR* CToleranceEditorDlg::FamilySetName()
{
    return m_qod ? m_params.qodToleranceName : m_params.qavToleranceName;
}

WCHAR* CToleranceEditorDlg::WorkName()
{
    return m_qod ? m_qodWork.name : m_qavWork.name;
}

const WCHAR* CToleranceEditorDlg::SetName(int position) const
{
    if (position < 0 || static_cast<unsigned>(position) >= m_setCount) return u"";
    return m_qod ? m_qodSets[position].name : m_qavSets[position].name;
}


void CToleranceEditorDlg::LoadQavSets()
{
    m_setCount = static_cast<unsigned>(LoadCatalogRecords(m_qavFile, m_qavSets, &m_qavRead));
    m_readCount = static_cast<int>(m_setCount);
}

void CToleranceEditorDlg::LoadQodSets()
{
    m_setCount = static_cast<unsigned>(LoadCatalogRecords(m_qodFile, m_qodSets, &m_qodRead));
    m_readCount = static_cast<int>(m_setCount);
}

// ---------------------------------------------------------------- the lists

void CToleranceEditorDlg::CreateSetList(HWND window)
{
    m_setList.Create(window, m_hInstance, kSetListId, 8, 100, 157, 110, FALSE, TRUE);
    GiveFont(m_setList, m_font);
    m_setList.InsertColumn(0, m_language.GetText(kTextSets), LVCFMT_LEFT, 115, 0);
    m_setList.InsertColumn(1, u"", LVCFMT_LEFT, 25, 1);
    FillSetList();
}

void CToleranceEditorDlg::FillSetList()
{
    if (m_qod)
        LoadQodSets();
    else
        LoadQavSets();
    m_setList.DeleteAllItems();
    m_current = -1;
    m_selected = m_setCount > 0 ? 0 : -1;
    const WCHAR* current = FamilySetName();
    for (unsigned i = 0; i < m_setCount; ++i) {
        const int row = static_cast<int>(i);
        m_setList.InsertItem(row, qplat::FieldText(SetName(row), CATALOG_NAME_CHARS).c_str());
        if (IsCurrentName(SetName(row), current)) {
            m_current = row;
            m_setList.SetItemText(row, 1, kCurrentMark);
        }
    }
}

void CToleranceEditorDlg::CreateValueList(HWND window)
{
    m_valueList.Create(window, m_hInstance, kValueListId, 170, 53, 304, 157, TRUE, TRUE);
    GiveFont(m_valueList, m_font);
    m_valueList.SetTextColor(kBrowseTextColour);
    for (int c = 0; c < 6; ++c)
        m_valueList.InsertColumn(c, kHeaderTexts[c] ? m_language.GetText(kHeaderTexts[c]) : u"", LVCFMT_LEFT,
                                 kBrowseWidths[c], c);
    if (m_current >= 0) {
        if (m_qod)
            ShowQodSet(window, m_qodSets[m_current]);
        else
            ShowQavSet(window, m_qavSets[m_current]);
    }
}

bool CToleranceEditorDlg::RowShown(const LimitRow& r) const
{
    if (m_qod) return m_params.discSwitches[r.switchIndex] == kSwitchOn;
    const bool on = m_params.switches[r.switchIndex] == kSwitchOn;
    switch (r.extra) {
    case Extra::Option2Not4: return on && m_params.option2 != 4;
    case Extra::Option2Is3: return on && m_params.option2 == 3;
    case Extra::OrDeviceType2: return on || m_params.deviceType == 2;
    case Extra::OrDeviceType3: return on || m_params.deviceType == 3;
    default: return on;
    }
}

LONG CToleranceEditorDlg::RowDivisor(const LimitRow& r) const
{
    switch (r.unit) {
    case Unit::Degrees:
    case Unit::Percent: return VALUE_MILLI_DIVISOR;
    case Unit::Slope: return m_params.option4 == 2 ? VALUE_MILLI_DIVISOR : LengthDivisor(m_params);
    default: return LengthDivisor(m_params);
    }
}

const WCHAR* CToleranceEditorDlg::RowUnit(const LimitRow& r) const
{
    switch (r.unit) {
    case Unit::Degrees: return kDegrees;
    case Unit::Percent: return kPercent;
    case Unit::Slope: return m_params.option4 == 2 ? kDegrees : m_unitText;
    default: return m_unitText;
    }
}

void CToleranceEditorDlg::FormatValue(int row, const LimitRow& r, LONG lower, LONG upper, LONG lowerWarning,
                                      LONG upperWarning)
{
    WCHAR label[kCellChars];
    WCHAR shortText[kCellChars];
    qplat::CopyField(shortText, kCellChars, m_language.GetText(r.shortText));
    swprintf(label, kCellChars, u"%s%s%s", shortText, u"-", m_language.GetText(r.caption));
    m_valueList.InsertItem(row, label);
    const LONG words[4] = {lower, lowerWarning, upperWarning, upper};
    const LONG divisor = RowDivisor(r);
    for (int c = 0; c < 4; ++c) {
        WCHAR text[VALUE_TEXT_CHARS] = {};
        if (words[c] != -1) FormatScaledValue(words[c], divisor, ValueDecimals(m_params), text, VALUE_TEXT_CHARS);
        m_valueList.SetItemText(row, kColumnLower + c, text);
    }
    m_valueList.SetItemText(row, kColumnUnit, RowUnit(r));
    if (row >= 0 && row < QAV_LIMIT_COUNT) {
        m_shownRows[row] = &r;
        if (row >= m_shownCount) m_shownCount = row + 1;
    }
}

void CToleranceEditorDlg::ShowQavSet(HWND, DopuskQavRecord record)
{
    m_valueList.DeleteAllItems();
    m_shownCount = 0;
    m_nameField.SetText(qplat::FieldText(record.name, CATALOG_NAME_CHARS).c_str());
    int row = 0;
    for (const LimitRow& r : kQavRows) {
        if (!RowShown(r)) continue;
        const int k = r.position;
        FormatValue(row++, r, record.lower[k], record.upper[k], record.lowerWarning[k], record.upperWarning[k]);
    }
}

void CToleranceEditorDlg::ShowQodSet(HWND, DopuskQodRecord record)
{
    m_valueList.DeleteAllItems();
    m_shownCount = 0;
    m_nameField.SetText(qplat::FieldText(record.name, CATALOG_NAME_CHARS).c_str());
    int row = 0;
    for (const LimitRow& r : kQodRows) {
        if (!RowShown(r)) continue;
        const LONG* w = record.limits;
        const int j = r.position;
        if (r.lowerPair)
            FormatValue(row++, r, w[j], -1, w[12 + j], -1);
        else
            FormatValue(row++, r, -1, w[4 + j], -1, w[8 + j]);
    }
}

void CToleranceEditorDlg::ShowSelectedSet()
{
    if (m_selected < 0 || static_cast<unsigned>(m_selected) >= m_setCount) {
        m_valueList.DeleteAllItems();
        m_shownCount = 0;
        return;
    }
    if (m_qod)
        ShowQodSet(m_hWnd, m_qodSets[m_selected]);
    else
        ShowQavSet(m_hWnd, m_qavSets[m_selected]);
}

LONG* CToleranceEditorDlg::WorkWord(int row, int column)
{
    if (row < 0 || row >= m_shownCount || !m_shownRows[row]) return nullptr;
    const LimitRow& r = *m_shownRows[row];
    const int p = r.position;
    if (m_qod) {
        LONG* w = m_qodWork.limits;
        switch (column) {
        case kColumnLower: return r.lowerPair ? &w[p] : nullptr;
        case kColumnLowerWarning: return r.lowerPair ? &w[12 + p] : nullptr;
        case kColumnUpperWarning: return r.lowerPair ? nullptr : &w[8 + p];
        case kColumnUpper: return r.lowerPair ? nullptr : &w[4 + p];
        default: return nullptr;
        }
    }
    switch (column) {
    case kColumnLower: return &m_qavWork.lower[p];
    case kColumnLowerWarning: return &m_qavWork.lowerWarning[p];
    case kColumnUpperWarning: return &m_qavWork.upperWarning[p];
    case kColumnUpper: return &m_qavWork.upper[p];
    default: return nullptr;
    }
}

LRESULT CToleranceEditorDlg::OnValueListCustomDraw(NMLVCUSTOMDRAW* draw)
{
    if (!draw) return CDRF_DODEFAULT;
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        WCHAR text[kCellChars] = {};
        m_valueList.GetItemText(static_cast<int>(draw->nmcd.dwItemSpec), draw->iSubItem, text, kCellChars);
        draw->clrText = 0x000000;
        draw->clrTextBk = 0xFFFFFF;
        if (text[0]) {
            const bool limit = draw->iSubItem == kColumnLower || draw->iSubItem == kColumnUpper;
            const bool warning = draw->iSubItem == kColumnLowerWarning || draw->iSubItem == kColumnUpperWarning;
            if (m_editing) {
                if (limit || warning) {
                    draw->clrText = limit ? 0x0000FF : 0x0080FF;
                    draw->clrTextBk = 0xE6E6FF;
                }
            } else if (limit) {
                draw->clrTextBk = 0x7878FF;
            } else if (warning) {
                draw->clrTextBk = 0x78B4FF;
            }
        }
        return CDRF_NEWFONT;
    }
    default: return CDRF_DODEFAULT;
    }
}

// ---------------------------------------------------------------- modes

void CToleranceEditorDlg::SetEditMode(HWND window, int editing, int newSet)
{
    m_editing = editing;
    m_newSet = newSet;
    const int browse = editing ? SW_HIDE : SW_SHOW;
    const int edit = editing ? SW_SHOW : SW_HIDE;
    for (int i : kBrowseButtons) m_buttons[i].Show(browse);
    m_setList.Show(browse);
    for (int i : kEditButtons) m_buttons[i].Show(edit);
    if (m_nameLabel.m_hWnd) ShowWindow(m_nameLabel.m_hWnd, edit);
    if (m_nameField.m_hWnd) ShowWindow(m_nameField.m_hWnd, edit);
    const int* widths = editing ? kEditWidths : kBrowseWidths;
    if (editing) {
        m_valueList.SetTextColor(kEditTextColour);
        m_valueList.Move(8, 90, 450, 120);
    } else {
        m_valueList.SetTextColor(kBrowseTextColour);
        m_valueList.Move(170, 53, 304, 157);
    }
    for (int c = 0; c < 5; ++c) m_valueList.SetColumnWidth(c, widths[c]);
    if (editing) {
        // The name field asks for a name whenever it gains the focus: it
        // must not hold the focus before the operator taps it.
        SetFocus(m_valueList.m_hWnd);
    } else if (m_selected >= 0) {
        m_setList.SelectItem(m_selected);
        ShowSelectedSet();
    } else {
        ShowSelectedSet();
    }
    InvalidateRect(window, nullptr, FALSE);
}

// ---------------------------------------------------------------- the keyboard

const WCHAR* CToleranceEditorDlg::AskValue(HWND window, const WCHAR* prompt, const WCHAR* currentText, int mode)
{
    const WCHAR* current = currentText ? currentText : u"";
    m_askedNumber = false;
    qplat::CopyField(g_toleranceValueText, KEYBOARD_TEXT_CHARS, current);
    CKeyboardDlg* keyboard = new (std::nothrow) CKeyboardDlg();
    if (!keyboard) return g_toleranceValueText;
    int refusal = 0;
    if (keyboard->DoModal(m_hInstance, window, mode, prompt, current)) {
        const WCHAR* entry = keyboard->m_result[0] ? keyboard->m_result : current;
        if (mode != 0) {
            qplat::CopyField(g_toleranceValueText, KEYBOARD_TEXT_CHARS, entry);
        } else {
            WCHAR shown[VALUE_TEXT_CHARS];
            LONG word = 0;
            // A refused entry (not a number, out of range) keeps the text,
            // and the operator is told why.
            if (NormaliseEntry(entry, m_askDivisor, ValueDecimals(m_params), shown, VALUE_TEXT_CHARS, &word)) {
                qplat::CopyField(g_toleranceValueText, KEYBOARD_TEXT_CHARS, shown);
                m_askedWord = word;
                m_askedNumber = true;
            } else {
                refusal = RefusedEntryTextId(entry);
            }
        }
    }
    DeleteKeyboardDlg(keyboard);
    if (refusal) ShowMessage(MESSAGE_NOTICE, refusal);
    return g_toleranceValueText;
}

void CToleranceEditorDlg::OnValueDoubleTap(int row, int column)
{
    if (row < 0 || row >= m_shownCount || !m_shownRows[row]) return;
    WCHAR current[kCellChars] = {};
    m_valueList.GetItemText(row, column, current, kCellChars);
    LONG* word = WorkWord(row, column);
    // Empty cells (no limit, or a half the disc row does not use) stay as they are.
    if (!current[0] || !word) return;
    WCHAR label[kCellChars] = {};
    WCHAR unit[kCellChars] = {};
    WCHAR header[kCellChars] = {};
    m_valueList.GetItemText(row, kColumnLabel, label, kCellChars);
    m_valueList.GetItemText(row, kColumnUnit, unit, kCellChars);
    qplat::CopyField(header, kCellChars, m_language.GetText(kHeaderTexts[column]));
    WCHAR prompt[KEYBOARD_TEXT_CHARS];
    swprintf(prompt, KEYBOARD_TEXT_CHARS, u"%s%s%s%s%s%s", header, u" ", label, u"(", unit, u")");
    m_askDivisor = RowDivisor(*m_shownRows[row]);
    const WCHAR* result = AskValue(m_hWnd, prompt, current, 0);
    // The same text again is no edit: the stored word stays exactly.
    if (!m_askedNumber || wcscmp(result, current) == 0) return;
    *word = m_askedWord;
    m_valueList.SetItemText(row, column, result);
}

void CToleranceEditorDlg::OnNameFocus()
{
    if (!m_editing || m_askingName) return;
    m_askingName = true;
    WCHAR prompt[KEYBOARD_TEXT_CHARS];
    swprintf(prompt, KEYBOARD_TEXT_CHARS, u"%s%s", m_language.GetText(kTextSetName), u":");
    WCHAR current[kNameChars] = {};
    GetWindowTextW(m_nameField.m_hWnd, current, kNameChars);
    const WCHAR* result = AskValue(m_hWnd, prompt, current, 1);
    CopyName(WorkName(), result);
    m_nameField.SetText(qplat::FieldText(WorkName(), CATALOG_NAME_CHARS).c_str());
    // Away from the name field, so that the keyboard opens again only when
    // the operator taps the field.
    SetFocus(m_valueList.m_hWnd);
    m_askingName = false;
}

// ---------------------------------------------------------------- commands

void CToleranceEditorDlg::OnNewSet()
{
    SetEditMode(m_hWnd, 1, 1);
    std::memset(&m_qavWork, 0, sizeof m_qavWork);
    std::memset(&m_qodWork, 0, sizeof m_qodWork);
    CopyName(WorkName(), m_language.GetText(kTextNewSet));
    if (m_qod)
        ShowQodSet(m_hWnd, m_qodWork);
    else
        ShowQavSet(m_hWnd, m_qavWork);
}

void CToleranceEditorDlg::OnEditSet()
{
    m_selected = m_setList.GetSelected();
    if (m_selected < 0 || static_cast<unsigned>(m_selected) >= m_setCount) {
        m_selected = -1;
        ShowMessage(MESSAGE_NOTICE, kTextNoSelection);
        SetFocus(m_setList.m_hWnd);
        return;
    }
    ShowSelectedSet();
    if (m_qod)
        m_qodWork = m_qodSets[m_selected];
    else
        m_qavWork = m_qavSets[m_selected];
    SetEditMode(m_hWnd, 1, 0);
}

void CToleranceEditorDlg::OnMakeCurrent()
{
    m_selected = m_setList.GetSelected();
    if (m_selected < 0 || static_cast<unsigned>(m_selected) >= m_setCount) {
        m_selected = -1;
        ShowMessage(MESSAGE_NOTICE, kTextNoSelection);
        SetFocus(m_setList.m_hWnd);
        return;
    }
    const ParamBlock before = m_params;
    CopyName(FamilySetName(), SetName(m_selected));
    // Another wheel set than the loaded one: the selected wheel type no
    // longer describes the settings.
    if (!m_qod && std::memcmp(&m_params, &m_loadedParams, sizeof m_params) != 0) CopyName(m_params.wheelTypeName, u"");
    if (!StoreSettings()) {
        m_params = before;
        ShowMessage(MESSAGE_FAILURE, TEXT_SAVE_FAILED);
        return;
    }
    m_nameField.SetText(qplat::FieldText(FamilySetName(), kNameChars).c_str());
    if (m_current >= 0) m_setList.SetItemText(m_current, 1, u"");
    m_setList.SetItemText(m_selected, 1, kCurrentMark);
    m_current = m_selected;
    m_setList.SelectItem(m_selected);
    ShowSelectedSet();
}

void CToleranceEditorDlg::OnDeleteSet()
{
    const int row = m_setList.GetSelected();
    if (row < 0 || static_cast<unsigned>(row) >= m_setCount) {
        ShowMessage(MESSAGE_NOTICE, kTextNoSelection);
        return;
    }
    WCHAR name[kCellChars] = {};
    m_setList.GetItemText(row, 0, name, kCellChars);
    if (IsCurrentName(name, FamilySetName())) {
        ShowMessage(MESSAGE_NOTICE, kTextCurrentNotDeleted);
        return;
    }
    if (ShowMessage(MESSAGE_QUESTION, kTextDeleteQuestion) != 1) return;
    if (m_qod)
        DeleteQodSet(m_hWnd, row);
    else
        DeleteQavSet(m_hWnd, row);
}


int CToleranceEditorDlg::DeleteQavSet(HWND, int position)
{
    if (position < 0 || static_cast<unsigned>(position) >= m_setCount) return 1;
    RemoveCatalogRecord(m_qavSets.get(), m_setCount, position);
    FinishDelete(m_qavFile.WriteAll(m_qavSets.get(), static_cast<int>(m_setCount), m_qavRead.get(), m_readCount) == 1);
    return 1;
}

int CToleranceEditorDlg::DeleteQodSet(HWND, int position)
{
    if (position < 0 || static_cast<unsigned>(position) >= m_setCount) return 1;
    RemoveCatalogRecord(m_qodSets.get(), m_setCount, position);
    FinishDelete(m_qodFile.WriteAll(m_qodSets.get(), static_cast<int>(m_setCount), m_qodRead.get(), m_readCount) == 1);
    return 1;
}

void CToleranceEditorDlg::FinishDelete(bool written)
{
    if (!written) ShowMessage(MESSAGE_FAILURE, NotWrittenText());
    // The refill shows what the file holds, written or not.
    FillSetList();
    if (m_setCount > 0) {
        m_selected = 0;
        m_setList.SelectItem(0);
    }
    ShowSelectedSet();
}

int CToleranceEditorDlg::NotWrittenText() const
{
    const CFixedRecordFile::Refusal why = m_qod ? m_qodFile.LastRefusal() : m_qavFile.LastRefusal();
    return why == CFixedRecordFile::Refusal::RecordChanged ? SCREEN_CARD_CHANGED : TEXT_SAVE_FAILED;
}

int CToleranceEditorDlg::IsNameFree(const WCHAR* name)
{
    for (unsigned i = 0; i < m_setCount; ++i) {
        const int position = static_cast<int>(i);
        if (SameName(SetName(position), name) && (m_newSet || position != m_selected)) return 0;
    }
    return 1;
}

bool CToleranceEditorDlg::SaveQavSet(int newSet)
{
    if (newSet) return m_qavFile.Append(&m_qavWork) == 1;
    if (m_selected < 0 || static_cast<unsigned>(m_selected) >= m_setCount) return false;
    // A failed write leaves the sets in memory as the file holds them.
    const DopuskQavRecord stored = m_qavSets[m_selected];
    m_qavSets[m_selected] = m_qavWork;
    if (m_qavFile.WriteAll(m_qavSets.get(), static_cast<int>(m_setCount), m_qavRead.get(), m_readCount) == 1) return true;
    m_qavSets[m_selected] = stored;
    return false;
}

bool CToleranceEditorDlg::SaveQodSet(int newSet)
{
    // The half of each shown disc row that the row does not use is stored as 0.
    for (int row = 0; row < m_shownCount; ++row) {
        if (!m_shownRows[row]) continue;
        const LimitRow& r = *m_shownRows[row];
        LONG* w = m_qodWork.limits;
        const int j = r.position;
        if (r.lowerPair) {
            w[4 + j] = 0;
            w[8 + j] = 0;
        } else {
            w[j] = 0;
            w[12 + j] = 0;
        }
    }
    if (newSet) return m_qodFile.Append(&m_qodWork) == 1;
    if (m_selected < 0 || static_cast<unsigned>(m_selected) >= m_setCount) return false;
    // A failed write leaves the sets in memory as the file holds them.
    const DopuskQodRecord stored = m_qodSets[m_selected];
    m_qodSets[m_selected] = m_qodWork;
    if (m_qodFile.WriteAll(m_qodSets.get(), static_cast<int>(m_setCount), m_qodRead.get(), m_readCount) == 1) return true;
    m_qodSets[m_selected] = stored;
    return false;
}

void CToleranceEditorDlg::OnSaveSet()
{
    if (!IsNameFree(WorkName())) {
        ShowMessage(MESSAGE_NOTICE, kTextNameTaken);
        return;
    }
    // Renaming the current set renames it in the settings too, both or
    // neither: the settings first, and back again when the set's file cannot
    // be written, so that some set is always current by its stored name.
    const bool renamesCurrent = !m_newSet && m_selected >= 0 && IsCurrentName(SetName(m_selected), FamilySetName()) &&
                                !SameName(SetName(m_selected), WorkName());
    const ParamBlock before = m_params;
    const ParamBlock loadedBefore = m_loadedParams;
    if (renamesCurrent) {
        WCHAR* loadedName = m_qod ? m_loadedParams.qodToleranceName : m_loadedParams.qavToleranceName;
        if (SameName(loadedName, FamilySetName())) CopyName(loadedName, WorkName());
        CopyName(FamilySetName(), WorkName());
        if (!StoreSettings()) {
            m_params = before;
            m_loadedParams = loadedBefore;
            // Still editing: the operator may try again or cancel.
            ShowMessage(MESSAGE_FAILURE, kTextNotRenamed);
            return;
        }
    }
    const bool written = m_qod ? SaveQodSet(m_newSet) : SaveQavSet(m_newSet);
    if (!written) {
        // The operator's values stay on the screen for another try or
        // cancel; a file changed on the card meanwhile is shown as it is.
        const int told = NotWrittenText();
        ShowMessage(MESSAGE_FAILURE, told);
        if (renamesCurrent) {
            m_params = before;
            m_loadedParams = loadedBefore;
            if (!StoreSettings()) ShowMessage(MESSAGE_FAILURE, kTextSettingsNotRestored);
        }
        if (told == SCREEN_CARD_CHANGED) OnCancelEdit();
        return;
    }
    FillSetList();
    SetEditMode(m_hWnd, 0, 0);
}

void CToleranceEditorDlg::OnCancelEdit()
{
    FillSetList();
    SetEditMode(m_hWnd, 0, 0);
}
