#include "dialogs/LanguageDlg.h"

#include "dialogs/SettingsScreen.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"

namespace {

constexpr WCHAR kCurrentMark[] = u"\u2022";

// The list's header and the apply button are texts of the way back to this
// screen (LANGUAGE_WAY_BACK_TEXTS): every offered language gives them.
enum : int {
    kTextLanguage = LANGUAGE_TEXT_LANGUAGE,
    kTextApply = LANGUAGE_TEXT_APPLY,
    kTextNoSelection = 50046,
};

}  // namespace

CLanguageDlg::CLanguageDlg() = default;

CLanguageDlg::~CLanguageDlg() = default;

void CLanguageDlg::OnInitDialog()
{
    AddButtons(m_buttons, 2);
    CreateBackButton(m_buttons[0]);
    CreateConfirmButton(m_buttons[1], m_hWnd, m_hInstance, kApplyId, m_language.GetText(kTextApply));
    RefreshList(m_hWnd);
}

bool CLanguageDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    if (id != kApplyId) return false;
    ApplySelection(m_hWnd);
    answer = TRUE;
    return true;
}

void CLanguageDlg::RefreshList(HWND window)
{
    m_list.Create(window, m_hInstance, kListId, 45, 75, 390, 120, FALSE, TRUE);
    if (m_list.m_hWnd) m_list.SetFont(m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextLanguage), LVCFMT_LEFT, 310, 0);
    m_list.InsertColumn(1, u"", LVCFMT_LEFT, 25, 1);
    FillList();
}

void CLanguageDlg::FillList()
{
    m_list.DeleteAllItems();
    int marked = -1;
    for (int i = 0; i < m_language.GetLanguageCount(); ++i) {
        const LanguageEntry* entry = m_language.GetLanguageEntry(i);
        m_list.InsertItem(i, entry->languageName);
        m_list.SetItemText(i, 1, entry->current ? kCurrentMark : u"");
        if (entry->current) marked = i;
    }
    // The mark's column fills the rest of the row, so that the highlight and
    // the grid lines end together at the list's frame (or its scroll strip,
    // which many languages bring) rather than before an empty cell.
    m_list.SetColumnWidth(1, LVSCW_AUTOSIZE_USEHEADER);
    if (m_list.GetItemCount() > 0) m_list.SelectItem(marked >= 0 ? marked : 0);
}

void CLanguageDlg::ApplySelection(HWND window)
{
    const int row = m_list.GetSelected();
    const LanguageEntry* entry = m_language.GetLanguageEntry(row);
    if (row < 0 || !entry) {
        ShowMessage(MESSAGE_NOTICE, kTextNoSelection);
        return;
    }
    // Copied first: the reload below rebuilds the list the entry lives in.
    WCHAR fileName[LANGUAGE_FILE_CHARS];
    qplat::CopyField(fileName, LANGUAGE_FILE_CHARS, entry->fileName);
    if (!m_language.IsOffered(fileName)) {
        // Emptied, spoilt or taken away since the list was filled: no choice at all.
        // The list loses the row before the operator is told.
        m_language.Load();
        FillList();
        ShowMessage(MESSAGE_NOTICE, kTextNoSelection);
        return;
    }
    if (!m_language.WriteIniFile(fileName)) {
        // Nothing changed: the screen keeps its language and its mark.
        ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
        return;
    }
    m_language.Load();
    SetConfirmCaption(m_buttons[1], m_language.GetText(kTextApply));
    FillList();
    // The title and the button repaint in the new language.
    InvalidateRect(window, nullptr, TRUE);
    Sleep(0);
    if (m_buttons[1].m_hWnd) InvalidateRect(m_buttons[1].m_hWnd, nullptr, TRUE);
}
