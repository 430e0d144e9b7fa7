#include "journal/JournalFilterDlg.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/WinText.h"

namespace {

constexpr BYTE kDiscDevice = 4;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlue = 0xFF0000;
constexpr int kCaptionHeight = 18;
constexpr int kOkBitmap = 317;
constexpr int kOkPressed = 318;
constexpr int kCancelBitmap = 314;
constexpr int kCancelPressed = 315;
constexpr int kListWidth = 130;
constexpr int kRightColumnX = 190;
constexpr int kListDropHeight = 80;

enum : int {
    kTextTitle = 40632,
    kTextOk = 50102,
    kTextCancel = 50103,
    kTextJournalUnreadable = 50066,
};

constexpr int kKeyChars[JOURNAL_FILTER_KEYS] = {10, 20, 20, 25};
constexpr int kFieldChars[JOURNAL_FILTER_KEYS] = {10, 20, 20, 10};
// Each list's place (column 0 left, 1 right) and caption.
struct ListPlace {
    int column, y, caption;
};
constexpr ListPlace kLists[JOURNAL_FILTER_KEYS] = {{0, 45, 40501}, {1, 45, 40505}, {0, 85, 40512}, {1, 85, 40507}};
constexpr int kLeftColumnX = 20;
constexpr int kCaptionAbove = 14;

// The longest text a list entry holds: the widest key.
constexpr int kEntryChars = 25;

// Copies a text of at most srcChars characters (terminator or not) into a
// key field of dstChars characters. A key, like the record field it is
// compared with, may fill its field without a terminator: a value that fills
// a whole record field is kept whole, so it still matches that field.
void CopyKey(WCHAR* dst, int dstChars, const WCHAR* src, int srcChars)
{
    size_t n = wcsnlen(src, static_cast<size_t>(srcChars));
    if (n > static_cast<size_t>(dstChars)) n = static_cast<size_t>(dstChars);
    std::memcpy(dst, src, n * sizeof(WCHAR));
    std::memset(dst + n, 0, (static_cast<size_t>(dstChars) - n) * sizeof(WCHAR));
}

// Key k as a terminated text.
std::u16string KeyText(const JournalFilterKeys& keys, int k)
{
    return qplat::FieldText(FilterKey(keys, k), static_cast<size_t>(FilterKeyChars(k)));
}

}  // namespace

// ---------------------------------------------------------------- keys

WCHAR* FilterKey(JournalFilterKeys& keys, int k)
{
    switch (k) {
    case 0: return keys.date;
    case 1: return keys.carName;
    case 2: return keys.carNumber;
    default: return keys.axleName;
    }
}

const WCHAR* FilterKey(const JournalFilterKeys& keys, int k)
{
    return FilterKey(const_cast<JournalFilterKeys&>(keys), k);
}

int FilterKeyChars(int k)
{
    return k >= 0 && k < JOURNAL_FILTER_KEYS ? kKeyChars[k] : 0;
}

int RecordKeyChars(int k)
{
    return k >= 0 && k < JOURNAL_FILTER_KEYS ? kFieldChars[k] : 0;
}

void ResetFilterKeys(JournalFilterKeys* keys)
{
    if (!keys) return;
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k) CopyKey(FilterKey(*keys, k), kKeyChars[k], JOURNAL_FILTER_ANY, 8);
}

bool FilterKeyIsAny(const JournalFilterKeys& keys, int k)
{
    return wcsncmp(FilterKey(keys, k), JOURNAL_FILTER_ANY, static_cast<size_t>(kKeyChars[k])) == 0;
}

bool FilterIsSet(const JournalFilterKeys& keys)
{
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k)
        if (!FilterKeyIsAny(keys, k)) return true;
    return false;
}

bool KeyEqualsField(const JournalFilterKeys& keys, int k, const WCHAR* field)
{
    const WCHAR* key = FilterKey(keys, k);
    const size_t keyLength = wcsnlen(key, static_cast<size_t>(kKeyChars[k]));
    const size_t fieldLength = wcsnlen(field, static_cast<size_t>(kFieldChars[k]));
    return keyLength == fieldLength && std::memcmp(key, field, keyLength * sizeof(WCHAR)) == 0;
}

// ---------------------------------------------------------------- screen

CJournalFilterDlg::CJournalFilterDlg()
{
    ResetFilterKeys(&m_keys);
}

CJournalFilterDlg::~CJournalFilterDlg()
{
    FreeKeys();
}

BOOL CJournalFilterDlg::DoModal(HINSTANCE instance, HWND owner, JournalFilterKeys* keys)
{
    if (!keys) return FALSE;
    BeginModal(instance, owner);
    m_callerKeys = keys;
    m_keys = *keys;
    LoadJournal();
    const INT_PTR end = RunTemplate();
    // Nothing of the journal is needed between openings: each one reads it again.
    FreeKeys();
    m_callerKeys = nullptr;
    return Answered(end);
}

void CJournalFilterDlg::FreeKeys()
{
    delete[] m_records;
    m_records = nullptr;
    m_count = 0;
}

template <class Record, class Journal>
void CJournalFilterDlg::LoadKeys(Journal& journal, LPCWSTR name)
{
    // A journal that cannot be opened counts -1; it, and one that cannot be
    // read whole, offers no values (not even empty ones, which would match
    // nothing), and the operator is told when the screen opens.
    const int count = journal.GetCount(name);
    if (count == 0) return;
    std::unique_ptr<Record[]> records;
    if (count > 0) {
        records.reset(new (std::nothrow) Record[static_cast<size_t>(count)]());
        m_records = new (std::nothrow) JournalFilterKeys[static_cast<size_t>(count)]();
    }
    if (!records || !m_records || !journal.ReadAll(name, records.get(), count)) {
        FreeKeys();
        m_unreadable = true;
        return;
    }
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k)
            CopyKey(FilterKey(m_records[i], k), kKeyChars[k], RecordKeyText(records[i], k), kFieldChars[k]);
    m_count = count;
}

void CJournalFilterDlg::LoadJournal()
{
    FreeKeys();
    m_unreadable = false;
    const bool disc = m_params.deviceType == kDiscDevice;
    WCHAR name[PARAM_NAME_CHARS + 1];
    CopyKey(name, PARAM_NAME_CHARS + 1, disc ? m_params.qodJournalName : m_params.qavJournalName, PARAM_NAME_CHARS);
    // No current journal: nothing to read, and no file is made for it.
    if (name[0] == 0) return;
    if (disc)
        LoadKeys<QodJournalRecord>(m_qodJournal, name);
    else
        LoadKeys<QavJournalRecord>(m_qavJournal, name);
}

void CJournalFilterDlg::OnInitDialog()
{
    AddButtons(m_buttons, 2);
    CreateButtons();
    CreateCombos();
    FillCombos();
    SelectCurrent();
    // Told over the opened screen, whose lists then offer " ----- " alone.
    if (m_unreadable) PostMessageW(m_hWnd, kUnreadableMessage, 0, 0);
}

void CJournalFilterDlg::CreateButtons()
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const SIZE face = GetResourceBitmapSize(m_hInstance, kOkBitmap);
    const int r = client.right, b = client.bottom;
    const int y = b - face.cy - 7;
    m_buttons[0].Create(m_hWnd, m_hInstance, r / 4 - face.cx / 2 + 10, y, 0, 0, kOkId, kOkBitmap, kOkPressed, 0);
    m_buttons[0].SetCaption(m_language.GetText(kTextOk), kWhite, FALSE, FALSE, FALSE, 0, kCaptionHeight);
    m_buttons[1].Create(m_hWnd, m_hInstance, 3 * r / 4 - face.cx / 2 - 10, y, 0, 0, kCancelId, kCancelBitmap,
                        kCancelPressed, 0);
    m_buttons[1].SetCaption(m_language.GetText(kTextCancel), kWhite, FALSE, FALSE, FALSE, 0, kCaptionHeight);
}

void CJournalFilterDlg::ListColumn(int column, int* x, int* width) const
{
    // The lists keep their width, and the right column its place, while the
    // box is wide enough; a narrower box narrows both columns alike so the
    // right-hand lists stay inside the frame.
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int half = static_cast<int>(client.right) / 2;
    *width = std::min(kListWidth, half - 30);
    *x = column == 0 ? kLeftColumnX : std::min(kRightColumnX, half + 10);
}

void CJournalFilterDlg::CreateCombos()
{
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k) {
        int x = 0, width = 0;
        ListColumn(kLists[k].column, &x, &width);
        m_lists[k].Create(m_hWnd, m_hInstance, kFirstListId + k, x, kLists[k].y, width, kListDropHeight);
        m_lists[k].SetFont(m_font);
    }
}

int CJournalFilterDlg::AddDistinct(int k, LPCWSTR text)
{
    return m_listed[k].count(std::u16string(text)) ? 0 : 1;
}

void CJournalFilterDlg::FillCombos()
{
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k) {
        m_listed[k].clear();
        m_lists[k].AddString(JOURNAL_FILTER_ANY);
        m_listed[k].insert(JOURNAL_FILTER_ANY);
    }
    for (int i = 0; i < m_count; ++i)
        for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k) {
            const std::u16string text = KeyText(m_records[i], k);
            if (AddDistinct(k, text.c_str())) {
                m_lists[k].AddString(text.c_str());
                m_listed[k].insert(text);
            }
        }
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k) {
        m_lists[k].SetCurSel(0);
        m_listed[k].clear();
    }
}

void CJournalFilterDlg::SelectCurrent()
{
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k) {
        const std::u16string key = KeyText(m_keys, k);
        const int entries = static_cast<int>(SendMessageW(m_lists[k].m_hWnd, CB_GETCOUNT, 0, 0));
        int found = CB_ERR;
        WCHAR entry[kEntryChars + 1];
        // The value the key holds, exactly, when the journal still has it:
        // OK then gives the key back unchanged.
        for (int i = 0; i < entries && found == CB_ERR; ++i)
            if (m_lists[k].GetLBText(i, entry, kEntryChars + 1) != CB_ERR && key == entry) found = i;
        if (found == CB_ERR) found = m_lists[k].FindString(0, key.c_str());
        m_lists[k].SetCurSel(found == CB_ERR ? 0 : found);
    }
}

void CJournalFilterDlg::ReadChoices()
{
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k) {
        int chosen = m_lists[k].GetCurSel();
        if (chosen == CB_ERR) chosen = 0;
        WCHAR entry[kEntryChars + 1] = {};
        m_lists[k].GetLBText(chosen, entry, kEntryChars + 1);
        CopyKey(FilterKey(m_keys, k), kKeyChars[k], entry, kEntryChars + 1);
    }
    if (m_callerKeys) *m_callerKeys = m_keys;
}

bool CJournalFilterDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    if (id == kOkId) {
        ReadChoices();
        EndDialog(m_hWnd, 1);
    } else if (id == kCancelId) {
        EndDialog(m_hWnd, 0);
    } else {
        return false;
    }
    answer = TRUE;
    return true;
}

bool CJournalFilterDlg::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& answer)
{
    if (msg == kUnreadableMessage) {
        if (m_unreadable) {
            m_unreadable = false;
            ShowMessage(MESSAGE_FAILURE, kTextJournalUnreadable);
        }
        answer = TRUE;
        return true;
    }
    // This small box over the browser leaves the power key alone.
    if (msg == WM_POWERKEY || msg == WM_POWERKEY_SHELL) {
        answer = kUnhandledAnswer;
        return true;
    }
    return false;
}

void CJournalFilterDlg::PaintFrame(HDC dc)
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    m_paint.FillClient(m_hWnd, dc, kWhite);
    m_paint.DrawRoundFrame(m_hWnd, dc, 5, 10, client.right - 10, client.bottom - 65, u"", kWhite, 10, 1);
    m_paint.DrawCaption(m_hWnd, dc, 20, 2, 0, m_language.GetText(kTextTitle), 14, 6, kBlue, TRUE, FALSE, 0);
    for (const ListPlace& place : kLists) {
        int x = 0, width = 0;
        ListColumn(place.column, &x, &width);
        m_paint.DrawCaption(m_hWnd, dc, x, place.y - kCaptionAbove, 0, m_language.GetText(place.caption), 14, 6, kBlue,
                            FALSE, FALSE, 0);
    }
}
