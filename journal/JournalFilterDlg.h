// The journal filter: for each of the four search keys of a measurement
// record (date, car, car number, axle) the operator chooses one value that
// occurs in the current journal, or any value (" ----- "). The journal
// browser owns the keys and matches its records against them; this screen
// reads them for its preselection and writes them back on OK only.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>

#include "platform/WinDef.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

// The key that lets every value pass.
#define JOURNAL_FILTER_ANY u" ----- "
constexpr int JOURNAL_FILTER_KEYS = 4;

// The four keys (150 bytes): texts in fields of 10, 20, 20 and 25
// characters, compared with the record texts at byte offsets 0, 66, 106 and
// 150. Like those record fields, a key may fill its field without a
// terminator (a car name of 20 characters), so every value a record holds
// can be a key.
struct JournalFilterKeys {
    WCHAR date[10];
    WCHAR carName[20];
    WCHAR carNumber[20];
    WCHAR axleName[25];
};
static_assert(sizeof(JournalFilterKeys) == 150);
static_assert(offsetof(JournalFilterKeys, carName) == 20);
static_assert(offsetof(JournalFilterKeys, carNumber) == 60);
static_assert(offsetof(JournalFilterKeys, axleName) == 100);

// Key k (0 to 3) and the characters of its field.
WCHAR* FilterKey(JournalFilterKeys& keys, int k);
const WCHAR* FilterKey(const JournalFilterKeys& keys, int k);
int FilterKeyChars(int k);
// Sets every key to " ----- ".
void ResetFilterKeys(JournalFilterKeys* keys);
// True when key k lets every value pass.
bool FilterKeyIsAny(const JournalFilterKeys& keys, int k);
// True when any key narrows the list.
bool FilterIsSet(const JournalFilterKeys& keys);

// Characters of the record field key k is compared with.
int RecordKeyChars(int k);
// True when the text of a record field (which may be full without a
// terminator) equals key k exactly, letter case included.
bool KeyEqualsField(const JournalFilterKeys& keys, int k, const WCHAR* field);

// The record's text that key k is compared with (either record family).
template <class Record>
const WCHAR* RecordKeyText(const Record& record, int k)
{
    switch (k) {
    case 0: return record.date;
    case 1: return record.carName;
    case 2: return record.carNumber;
    default: return record.axleName;
    }
}

// True when the record passes every key: a key other than " ----- " must
// equal the record's text exactly.
template <class Record>
bool MatchesFilter(const JournalFilterKeys& keys, const Record& record)
{
    for (int k = 0; k < JOURNAL_FILTER_KEYS; ++k)
        if (!FilterKeyIsAny(keys, k) && !KeyEqualsField(keys, k, RecordKeyText(record, k))) return false;
    return true;
}

class CJournalFilterDlg : public CScreenDlg<CJournalFilterDlg> {
public:
    static constexpr int kTemplateId = 655;
    static constexpr int kTitleTextId = 0;
    static constexpr int kBackId = 0;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 0;
    static constexpr float kPanelFactor = 0.0f;
    // A settings file that gives nothing leaves the copy zeroed: nothing here
    // writes the settings.
    static constexpr bool kDefaultsWhenUnread = false;

    static constexpr int kOkId = 656;
    static constexpr int kCancelId = 657;
    static constexpr int kFirstListId = 658;
    // Posted at the opening when the journal could not be read.
    static constexpr UINT kUnreadableMessage = WM_APP + 42;

    CJournalFilterDlg();
    ~CJournalFilterDlg();

    // Runs the screen on the caller's keys: true when the operator confirmed
    // with OK, and then the keys hold the four choices. Cancel and the close
    // box give false and leave the keys as they were.
    BOOL DoModal(HINSTANCE instance, HWND owner, JournalFilterKeys* keys);

    // ---- the pattern's hooks
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    void PaintFrame(HDC dc);
    INT_PTR CloseResult() const { return 0; }

    // ---- the screen's steps
    // Reads the current journal's search keys. A journal that cannot be read
    // whole offers none, and its notice (50066) is shown at the opening.
    void LoadJournal();
    void CreateButtons();
    void CreateCombos();
    // " ----- " first, then each distinct text of the journal once, in the
    // order of first appearance.
    void FillCombos();
    // 1 when no entry of list k equals the text exactly (letter case counts).
    int AddDistinct(int k, LPCWSTR text);
    // Each list shows the screen's key: the entry equal to it when there is
    // one, else the first entry that begins with it (letter case ignored),
    // else " ----- ".
    void SelectCurrent();
    void ReadChoices();

    // ---- state, read by the tests
    int RecordCount() const { return m_count; }
    const JournalFilterKeys& Keys() const { return m_keys; }

    COwnerButton m_buttons[2];
    CComboBoxCtl m_lists[JOURNAL_FILTER_KEYS];

private:
    template <class Record, class Journal>
    void LoadKeys(Journal& journal, LPCWSTR name);
    // The x and width of the lists of a column (0 left, 1 right).
    void ListColumn(int column, int* x, int* width) const;
    void FreeKeys();

    CDBJournalQav m_qavJournal;
    CDBJournalQod m_qodJournal;
    // The four texts of each record of the journal, each within its key's
    // width (the records themselves are not kept).
    JournalFilterKeys* m_records = nullptr;
    int m_count = 0;
    bool m_unreadable = false;
    JournalFilterKeys* m_callerKeys = nullptr;
    JournalFilterKeys m_keys{};
    // The texts each list holds, for AddDistinct.
    std::unordered_set<std::u16string> m_listed[JOURNAL_FILTER_KEYS];
};
