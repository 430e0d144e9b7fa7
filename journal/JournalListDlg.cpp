#include "journal/JournalListDlg.h"

#include <cstring>
#include <new>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/FileNames.h"
#include "settings/FixedRecordFile.h"
#include "ui/KeyboardDlg.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr int kCaptionHeight = 18;
constexpr WCHAR kCurrentMark[] = u"\u2022";

enum : int {
    kTextCurrent = 40400,
    kTextJournal = 40401,
    kTextNewName = 40402,
    kTextNew = 50105,
    kTextDelete = 50107,
    kTextSelect = 50108,
    kTextDeleteQuestion = 50027,
    kTextNoJournal = 50029,
    kTextCurrentNotDeleted = 50039,
    kTextNotDeleted = 50080,
    kTextNameRefused = 50081,
    kTextNotCreated = 50082,
    kTextNameNeeded = 50094,
};

struct ButtonPlace {
    int id, x, normal, pressed, caption;
};
constexpr ButtonPlace kButtonPlaces[3] = {
    {CJournalListDlg::kNewId, 20, 233, 234, kTextNew},
    {CJournalListDlg::kDeleteId, 172, 235, 236, kTextDelete},
    {CJournalListDlg::kMakeCurrentId, 324, 237, 238, kTextSelect},
};

}  // namespace

CJournalListDlg::CJournalListDlg() = default;

CJournalListDlg::~CJournalListDlg() = default;

BOOL CJournalListDlg::DoModal(HINSTANCE instance, HWND owner)
{
    BeginModal(instance, owner);
    qplat::CopyField(m_folderPath, PROGRAM_FOLDER_CHARS, m_folder.GetPath());
    return Answered(RunTemplate());
}

// The current journal is opened by its name as the card finds files, in any
// letter case; the row that opens as the current one is the row marked and
// kept from deletion.
bool CJournalListDlg::IsCurrent(const WCHAR* name) const
{
    const WCHAR* current = CurrentJournal();
    return current[0] != 0 && qplat::SameFileName(qplat::FieldText(name, PARAM_NAME_CHARS),
                                                  qplat::FieldText(current, PARAM_NAME_CHARS));
}

// ---------------------------------------------------------------- controls

void CJournalListDlg::OnInitDialog()
{
    AddButtons(m_buttons, 4);
    CreateBackButton(m_buttons[0]);
    for (int i = 0; i < 3; ++i) {
        const ButtonPlace& b = kButtonPlaces[i];
        m_buttons[i + 1].Create(m_hWnd, m_hInstance, b.x, 223, 141, 41, b.id, b.normal, b.pressed, 0);
        m_buttons[i + 1].SetCaption(m_language.GetText(b.caption), kWhite, FALSE, FALSE, FALSE, 0, kCaptionHeight);
    }
    m_label.Attach(GetDlgItem(m_hWnd, kLabelId));
    m_nameBox.Attach(GetDlgItem(m_hWnd, kNameBoxId));
    if (m_label.m_hWnd) {
        m_label.SetFont(m_font);
        m_label.SetText(m_language.GetText(kTextCurrent));
    }
    if (m_nameBox.m_hWnd) {
        m_nameBox.SetFont(m_font);
        m_nameBox.SetText(qplat::FieldText(CurrentJournal(), PARAM_NAME_CHARS).c_str());
        // Nothing reads it back: it shows the current journal and takes no typing.
        SendMessageW(m_nameBox.m_hWnd, EM_SETREADONLY, TRUE, 0);
    }
    CreateList();
}

void CJournalListDlg::CreateList()
{
    m_list.Create(m_hWnd, m_hInstance, kListId, 10, 90, 450, 115, TRUE, TRUE);
    m_list.SetFont(m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextJournal), LVCFMT_LEFT, 400, 0);
    m_list.InsertColumn(1, u"", LVCFMT_LEFT, 25, 1);
    FillList();
}

void CJournalListDlg::ListFiles()
{
    m_fileCount = 0;
    WCHAR pattern[PROGRAM_FOLDER_CHARS + 16];
    swprintf(pattern, PROGRAM_FOLDER_CHARS + 16, u"%sDB\\*%s", m_folderPath, CJournalNames::Extension(m_params.deviceType));
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        // A file name that does not fit a row of the table (nor, without its
        // extension, the settings field) is not listed.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            wcsnlen(found.cFileName, JOURNAL_FILE_NAME_CHARS) >= static_cast<size_t>(JOURNAL_FILE_NAME_CHARS))
            continue;
        qplat::CopyField(m_files[m_fileCount], JOURNAL_FILE_NAME_CHARS, found.cFileName);
        m_listed[m_fileCount] = ListedFileOf(found);
        ++m_fileCount;
    } while (m_fileCount < JOURNAL_LIST_ENTRIES && FindNextFileW(find, &found));
    FindClose(find);
}

void CJournalListDlg::FillList()
{
    ListFiles();
    m_list.DeleteAllItems();
    for (int i = 0; i < m_fileCount; ++i) {
        m_list.InsertItem(i, m_files[i]);
        WCHAR name[JOURNAL_FILE_NAME_CHARS];
        qplat::CopyField(name, JOURNAL_FILE_NAME_CHARS, m_files[i]);
        if (IsCurrent(CJournalNames::CutExtension(name))) m_list.SetItemText(i, 1, kCurrentMark);
    }
}

void CJournalListDlg::ClearMarks()
{
    const int rows = m_list.GetItemCount();
    for (int i = 0; i < rows; ++i) m_list.SetItemText(i, 1, u"");
}

void CJournalListDlg::GetRowName(int row, WCHAR* name)
{
    name[0] = 0;
    m_list.GetItemText(row, 0, name, JOURNAL_FILE_NAME_CHARS);
    CJournalNames::CutExtension(name);
}

int CJournalListDlg::DeleteSelected(int row)
{
    WCHAR file[JOURNAL_FILE_NAME_CHARS] = {};
    m_list.GetItemText(row, 0, file, JOURNAL_FILE_NAME_CHARS);
    WCHAR path[PROGRAM_FOLDER_CHARS + JOURNAL_FILE_NAME_CHARS + 8];
    if (!ComposeFilePath(path, PROGRAM_FOLDER_CHARS + JOURNAL_FILE_NAME_CHARS + 8, m_folderPath, u"DB\\", file,
                         nullptr))
        return kTextNotDeleted;
    // The file the row showed, as listed: another file of that name now (a
    // PC's, another card's) is not deleted.
    ListedFile listed;
    for (int i = 0; i < m_fileCount; ++i)
        if (wcsncmp(m_files[i], file, JOURNAL_FILE_NAME_CHARS) == 0) listed = m_listed[i];
    // Through the record file, so a cut-off save's roll-back goes with the
    // journal and never outlives it.
    CFixedRecordFile journal(CJournalNames::RecordSize(m_params.deviceType));
    switch (journal.DeleteListed(path, listed)) {
    case DeleteOutcome::Deleted: m_list.DeleteItem(row); return 0;
    case DeleteOutcome::Unconfirmed: m_list.DeleteItem(row); return SCREEN_NOT_CONFIRMED;
    // The list shows what the card holds.
    case DeleteOutcome::Gone: m_list.DeleteItem(row); return SCREEN_ALREADY_GONE;
    case DeleteOutcome::Changed: FillList(); return SCREEN_CARD_CHANGED;
    default: return JournalRefusalText(journal.LastRefusal(), kTextNotDeleted);
    }
}

void CJournalListDlg::SortByName()
{
    SendMessageW(m_list.m_hWnd, LVM_SORTITEMS, static_cast<WPARAM>(m_ascending ? 1 : -1),
                 reinterpret_cast<LPARAM>(ListViewCompareProc));
    std::u16string title = m_language.GetText(kTextJournal);
    title += m_ascending ? u"      >" : u"      <";
    m_list.UpdateColumn(0, title.c_str());
    m_ascending = !m_ascending;
}

// ---------------------------------------------------------------- commands

bool CJournalListDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    switch (id) {
    case kNewId: OnNew(); break;
    case kDeleteId: OnDelete(); break;
    case kMakeCurrentId: OnMakeCurrent(); break;
    default: return false;
    }
    answer = TRUE;
    return true;
}

bool CJournalListDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    if (msg != WM_NOTIFY || lParam == 0) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom != m_list.m_hWnd || header->code != static_cast<UINT>(LVN_COLUMNCLICK)) return false;
    if (reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem == 0) SortByName();
    answer = TRUE;
    return true;
}

void CJournalListDlg::OnNew()
{
    const int deviceType = m_params.deviceType;
    WCHAR initial[KEYBOARD_TEXT_CHARS];
    WCHAR prompt[KEYBOARD_TEXT_CHARS];
    qplat::CopyField(initial, KEYBOARD_TEXT_CHARS, m_names.NewJournalName(deviceType));
    qplat::CopyField(prompt, KEYBOARD_TEXT_CHARS, m_language.GetText(kTextNewName));
    WCHAR name[KEYBOARD_TEXT_CHARS];
    if (!AskText(m_hInstance, m_hWnd, 1, prompt, initial, name, KEYBOARD_TEXT_CHARS)) return;
    if (name[0] == 0) {
        ShowMessage(MESSAGE_NOTICE, kTextNameNeeded);
        return;
    }
    // The journal's file name must fit a row of this list, and the name the
    // settings field; a name with separators or wildcards would leave "DB".
    const bool fits = wcslen(name) + JOURNAL_EXTENSION_CHARS < static_cast<size_t>(JOURNAL_FILE_NAME_CHARS);
    if (!fits || !CJournalNames::IsUsableName(name)) {
        ShowMessage(MESSAGE_FAILURE, kTextNameRefused);
        return;
    }
    // An existing journal of that name is left as it is, without a word.
    const bool made = m_names.Exists(name, deviceType) || m_names.CreateJournal(name, deviceType);
    // Listed from the card in any case: a journal the card made but would
    // not keep stays listed where it could not be removed again.
    FillList();
    // Not made, whatever became of the file the card would not keep.
    if (!made) ShowMessage(MESSAGE_FAILURE, kTextNotCreated);
}

int CJournalListDlg::SelectedRow(WCHAR* name)
{
    const int row = m_list.GetSelected();
    if (row == -1)
        ShowMessage(MESSAGE_NOTICE, kTextNoJournal);
    else
        GetRowName(row, name);
    return row;
}

void CJournalListDlg::OnDelete()
{
    WCHAR name[JOURNAL_FILE_NAME_CHARS];
    const int row = SelectedRow(name);
    if (row == -1) return;
    if (IsCurrent(name)) {
        ShowMessage(MESSAGE_NOTICE, kTextCurrentNotDeleted);
        return;
    }
    // A file that cannot be deleted keeps its row, and the operator is told;
    // one deleted without the card confirming it loses its row, and the
    // operator is told to check the card.
    if (ShowMessage(MESSAGE_QUESTION, kTextDeleteQuestion) != 1) return;
    if (const int told = DeleteSelected(row)) ShowMessage(DeleteToldAs(told), told);
}

void CJournalListDlg::OnMakeCurrent()
{
    WCHAR name[JOURNAL_FILE_NAME_CHARS];
    const int row = SelectedRow(name);
    if (row == -1) return;
    WCHAR before[PARAM_NAME_CHARS];
    std::memcpy(before, CurrentField(), sizeof before);
    qplat::CopyField(CurrentField(), PARAM_NAME_CHARS, name);
    if (!StoreSettings()) {
        // Nothing changed where it counts: the mark stays where the file says.
        std::memcpy(CurrentField(), before, sizeof before);
        ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
        return;
    }
    ClearMarks();
    m_list.SetItemText(row, 1, kCurrentMark);
    if (m_nameBox.m_hWnd) m_nameBox.SetText(qplat::FieldText(CurrentField(), PARAM_NAME_CHARS).c_str());
}
