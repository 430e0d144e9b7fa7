#include "screens/RecordInfoDlg.h"

#include <cstring>
#include <string>

#include "platform/WinText.h"

WCHAR g_enteredText[ENTERED_TEXT_CHARS] = {};

namespace {

constexpr BYTE kDiscDevice = 4;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kOkCaptionHeight = 18;

// The captions and fields are children of the screen: the style words of the
// captions and the date picker are given with the child bit, which a window
// placed on its parent needs here.
constexpr DWORD kCaptionStyle = 0x10000000 | WS_CHILD;
constexpr DWORD kEditStyle = 0x50010080;
constexpr DWORD kEditExStyle = 0x210;
constexpr DWORD kPickerStyle = 0x10010021 | WS_CHILD;

struct Place {
    int id, x, y, w, h;
};

// Captions 281 to 288 and their texts.
constexpr Place kCaptionPlaces[8] = {
    {281, 10, 65, 100, 28},  {282, 10, 105, 100, 28},  {283, 10, 145, 100, 28},  {284, 10, 185, 100, 28},
    {285, 245, 65, 100, 28}, {286, 245, 105, 100, 28}, {287, 245, 145, 100, 28}, {288, 245, 185, 100, 28},
};
constexpr int kCaptionTexts[8] = {40501, 40502, 40505, 40512, 40508, 40509, 40507, 40506};

// Edits 290 to 295: place, the caption that names them, the keyboard mode.
struct EditField {
    Place place;
    int captionText;
    int keyboardMode;  // 0 digits, 1 letters and digits
};
constexpr EditField kEditFields[6] = {
    {{290, 115, 101, 110, 28}, 40502, 1}, {{291, 115, 141, 110, 28}, 40505, 1},
    {{292, 115, 181, 110, 28}, 40512, 1}, {{293, 350, 61, 110, 28}, 40508, 1},
    {{294, 350, 101, 110, 28}, 40509, 0}, {{295, 350, 141, 110, 28}, 40507, 1},
};

constexpr int kSideTexts[3] = {40511, 40510, 40513};
constexpr int kQavSideEntries = 2;
constexpr int kQodSideEntries = 3;

// The record field each edit shows, in the edits' order.
template <class Record>
struct EditTarget {
    WCHAR* text;
    size_t chars;
};

template <class Record>
void EditTargets(Record& r, EditTarget<Record> (&targets)[6])
{
    targets[0] = {r.wheelName, std::size(r.wheelName)};
    targets[1] = {r.carName, std::size(r.carName)};
    targets[2] = {r.carNumber, std::size(r.carNumber)};
    targets[3] = {r.trainName, std::size(r.trainName)};
    targets[4] = {r.axleName2, std::size(r.axleName2)};
    targets[5] = {r.axleName, std::size(r.axleName)};
}

// A settings text copied into a record field of the same width, as stored.
template <size_t N>
void CopySameField(WCHAR (&target)[N], const WCHAR (&source)[N])
{
    std::memcpy(target, source, sizeof target);
}

}  // namespace

CRecordInfoDlg::CRecordInfoDlg()
{
    std::memset(&m_qav, 0, sizeof m_qav);
    std::memset(&m_qod, 0, sizeof m_qod);
}

CRecordInfoDlg::~CRecordInfoDlg() = default;

BOOL CRecordInfoDlg::DoModal(HINSTANCE instance, HWND parent, QavJournalRecord* qav, QodJournalRecord* qod)
{
    BeginModal(instance, parent);
    // The settings copy decides the family; without the record of that
    // family there is nothing to fill in.
    const bool disc = Disc();
    if (disc ? qod == nullptr : qav == nullptr) {
        CancelModal();
        return FALSE;
    }
    if (disc)
        m_qod = *qod;
    else
        m_qav = *qav;
    if (RunTemplate() == 0) return FALSE;
    if (disc)
        *qod = m_qod;
    else
        *qav = m_qav;
    return TRUE;
}

// ---------------------------------------------------------------- controls

void CRecordInfoDlg::OnInitDialog()
{
    CreateControls(m_hWnd);
    if (Disc())
        FillQodFields(m_hWnd);
    else
        FillQavFields(m_hWnd);
    AddButtons(m_buttons, 2);
    CreateBackButton(m_buttons[0]);
    m_buttons[1].Create(m_hWnd, m_hInstance, 170, 223, 141, 41, kOkId, 210, 210, 0);
    m_buttons[1].SetCaption(m_language.GetText(50104), kWhite, FALSE, FALSE, FALSE, 0, kOkCaptionHeight);
    m_ready = 0;
    SetTimer(m_hWnd, kReadyTimer, kReadyDelayMs, nullptr);
}

void CRecordInfoDlg::CreateControls(HWND window)
{
    for (int i = 0; i < 8; ++i) {
        const Place& p = kCaptionPlaces[i];
        m_captions[i].Create(window, m_hInstance, m_language.GetText(kCaptionTexts[i]), p.id, p.x, p.y, p.w, p.h,
                             kCaptionStyle, 0);
        m_captions[i].SetFont(m_font);
    }
    m_picker.Create(window, m_hInstance, kPickerId, 115, 61, 110, 28, kPickerStyle);
    m_picker.SetFont(m_font);
    for (int i = 0; i < 6; ++i) {
        const Place& p = kEditFields[i].place;
        m_edits[i].Create(window, m_hInstance, u"", p.id, p.x, p.y, p.w, p.h, kEditStyle, kEditExStyle);
        m_edits[i].SetFont(m_font);
    }
    m_sides.Create(window, m_hInstance, kSideListId, 350, 181, 110, 84);
    m_sides.SetFont(m_font);
}

template <class Record>
void CRecordInfoDlg::FillHead(Record& record, int sideEntries)
{
    m_dateTime.SetPickerToNow(m_picker.m_hWnd);
    EditTarget<Record> targets[6];
    EditTargets(record, targets);
    for (int i = 0; i < 6; ++i) {
        std::u16string text = qplat::FieldText(targets[i].text, targets[i].chars);
        m_edits[i].SetText(m_language.Translate(text.c_str()));
    }
    for (int i = 0; i < sideEntries; ++i) m_sides.AddString(m_language.GetText(kSideTexts[i]));
    // A side text that names no entry of the list leaves it without a
    // selection (a middle wheel in a wheel record).
    const std::u16string side = qplat::FieldText(record.side, std::size(record.side));
    m_sides.SetCurSel(static_cast<int>(_wtol(side.c_str())));
}

void CRecordInfoDlg::FillQavFields(HWND)
{
    FillHead(m_qav, kQavSideEntries);
}

void CRecordInfoDlg::FillQodFields(HWND)
{
    FillHead(m_qod, kQodSideEntries);
}

// ---------------------------------------------------------------- reading back

template <class Record>
void CRecordInfoDlg::ReadHead(Record* record)
{
    SYSTEMTIME picked{};
    if (SendMessageW(m_picker.m_hWnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) == GDT_VALID) {
        qplat::CopyField(record->date, std::size(record->date), m_dateTime.FormatDate(picked));
        qplat::CopyField(record->time, std::size(record->time), m_dateTime.FormatTime(picked));
    }
    EditTarget<Record> targets[6];
    EditTargets(*record, targets);
    for (int i = 0; i < 6; ++i) {
        WCHAR text[kEditChars + 1] = {};
        GetWindowTextW(m_edits[i].m_hWnd, text, kEditChars + 1);
        qplat::CopyField(targets[i].text, targets[i].chars, text);
    }
    // Without a valid selection the side text stays as the record had it.
    const int side = m_sides.GetCurSel();
    if (side >= 0 && side <= 9) {
        WCHAR digit[4] = {};
        _itow(side, digit, 10);
        qplat::CopyField(record->side, std::size(record->side), digit);
    }
}

void CRecordInfoDlg::ReadQavFields(HWND)
{
    ReadHead(&m_qav);
    switch (m_params.deviceType) {
    case 1:
        CopySameField(m_qav.referName, m_params.qavReferName);
        CopySameField(m_qav.sensorName1, m_params.qavSensors[0].name);
        break;
    case 2: CopySameField(m_qav.sensorName2, m_params.qavSensors[1].name); break;
    case 3: CopySameField(m_qav.sensorName3, m_params.qavSensors[2].name); break;
    default: break;
    }
}

void CRecordInfoDlg::ReadQodFields(HWND)
{
    ReadHead(&m_qod);
    CopySameField(m_qod.referName, m_params.qodReferName);
    CopySameField(m_qod.sensorName, m_params.qodSensor.name);
}

// ---------------------------------------------------------------- commands

void CRecordInfoDlg::OnTimer(UINT_PTR id)
{
    if (id != kReadyTimer) return;
    KillTimer(m_hWnd, kReadyTimer);
    SetFocus(m_picker.m_hWnd);
    m_ready = 1;
}

bool CRecordInfoDlg::OnCommand(int id, int code, HWND, INT_PTR& answer)
{
    answer = TRUE;
    if (id == kOkId) {
        if (Disc())
            ReadQodFields(m_hWnd);
        else
            ReadQavFields(m_hWnd);
        EndDialog(m_hWnd, 1);
        return true;
    }
    if (id == kBackId) {
        EndDialog(m_hWnd, 0);
        return true;
    }
    if (code == EN_SETFOCUS && id >= kFirstEditId && id < kFirstEditId + 6) {
        OnEditFocus(id);
        return true;
    }
    answer = 0;
    return false;
}

void CRecordInfoDlg::OnEditFocus(int id)
{
    if (m_ready != 1) return;
    const EditField& field = kEditFields[id - kFirstEditId];
    CEditCtl& edit = m_edits[id - kFirstEditId];
    WCHAR prompt[KEYBOARD_TEXT_CHARS] = {};
    swprintf(prompt, KEYBOARD_TEXT_CHARS, u"%s%s", m_language.GetText(field.captionText), u":");
    WCHAR current[kEditChars + 1] = {};
    GetWindowTextW(edit.m_hWnd, current, kEditChars + 1);
    const WCHAR* entered = AskText(m_hWnd, prompt, current, field.keyboardMode);
    WCHAR text[kEditChars + 1] = {};
    qplat::CopyField(text, kEditChars + 1, entered);
    if (IsWindow(edit.m_hWnd)) edit.SetText(text);
    // The focus leaves the edit, so the screen coming back to the front does
    // not open the keyboard again by itself; a new touch on the edit does.
    if (IsWindow(m_picker.m_hWnd)) SetFocus(m_picker.m_hWnd);
}

const WCHAR* CRecordInfoDlg::AskText(HWND window, LPCWSTR prompt, LPCWSTR currentText, int mode)
{
    // The keyboard gives the current text back when it was cancelled (its
    // close box included) or confirmed empty.
    const WCHAR* text = PromptForText(m_hInstance, window, prompt, currentText, mode);
    qplat::CopyField(g_enteredText, ENTERED_TEXT_CHARS, text);
    return g_enteredText;
}
