// The journal manager: the journal files of the current device family in
// "DB\", sortable by name; a new journal under the default or a typed name;
// deleting a journal that is not the current one; making a journal the
// current one (the journal measurements are stored in and the browser
// shows), which is written to the settings file at once.
#pragma once

#include "journal/JournalNames.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

// Journal files the list holds, and the characters of one file name with its
// terminator; longer file names are not listed.
constexpr int JOURNAL_LIST_ENTRIES = 5000;
constexpr int JOURNAL_FILE_NAME_CHARS = 50;

class CJournalListDlg : public CScreenDlg<CJournalListDlg> {
public:
    static constexpr int kTemplateId = 228;
    static constexpr int kTitleTextId = 40024;
    static constexpr int kBackId = 229;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kNewId = 230;
    static constexpr int kDeleteId = 231;
    static constexpr int kMakeCurrentId = 232;
    static constexpr int kListId = 239;
    static constexpr int kNameBoxId = 240;
    static constexpr int kLabelId = 241;

    CJournalListDlg();
    ~CJournalListDlg();

    // Always true: the back button and the close box both end the screen
    // with a non-zero result.
    BOOL DoModal(HINSTANCE instance, HWND owner);

    // ---- the pattern's hooks
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);

    // ---- the screen's steps
    void CreateList();
    void FillList();
    // The family's journal files in the order the search gives them.
    void ListFiles();
    void ClearMarks();
    // The journal name of a row (its file name without the extension).
    void GetRowName(int row, WCHAR* name);
    // Deletes the file of a row; the row goes when the file is gone from the
    // card. 0 when the row's journal was deleted; SCREEN_NOT_CONFIRMED when
    // it was, but the card did not confirm it; else the text of why not.
    int DeleteSelected(int row);
    void SortByName();

    // ---- state, read by the tests
    int FileCount() const { return m_fileCount; }
    bool IsDisc() const { return m_params.deviceType == 4; }
    const WCHAR* CurrentJournal() const { return IsDisc() ? m_params.qodJournalName : m_params.qavJournalName; }

    COwnerButton m_buttons[4];
    CStaticTextCtl m_label;
    CEditCtl m_nameBox;
    CListViewCtl m_list;

private:
    void OnNew();
    void OnDelete();
    void OnMakeCurrent();
    WCHAR* CurrentField() { return IsDisc() ? m_params.qodJournalName : m_params.qavJournalName; }
    bool IsCurrent(const WCHAR* name) const;
    // The selected row and its journal name; -1, after the notice, when no
    // row is selected.
    int SelectedRow(WCHAR* name);

    WCHAR m_files[JOURNAL_LIST_ENTRIES][JOURNAL_FILE_NAME_CHARS] = {};
    // Each file as the folder listing showed it: a delete expects it.
    ListedFile m_listed[JOURNAL_LIST_ENTRIES] = {};
    int m_fileCount = 0;
    bool m_ascending = true;  // the direction of the next sort
    CJournalNames m_names;
    WCHAR m_folderPath[PROGRAM_FOLDER_CHARS] = {};
};
