#include "scheme/ui/ReferListDlg.h"

#include <string>

#include "platform/WinText.h"

WCHAR g_selectedListText[REFER_LIST_NAME_CHARS];

namespace {

constexpr int kTextFileColumn = 40404;
constexpr int kTextCurrentLabel = 40403;
constexpr int kTextDelete = 50107;
constexpr int kTextMakeCurrent = 50108;

}  // namespace

CReferListDlg::CReferListDlg() = default;

WCHAR* CReferListDlg::CurrentField()
{
    return m_params.deviceType == 4 ? m_params.qodReferName : m_params.qavReferName;
}

LPCWSTR CReferListDlg::SubFolder() const
{
    return m_params.deviceType == 4 ? u"Refer_QOD\\" : u"Refer\\";
}

void CReferListDlg::OnInitDialog()
{
    AddButtons(m_buttons, 3);
    CreateBackButton(m_buttons[0]);
    const bool disc = m_params.deviceType == 4;
    m_buttons[1].Create(m_hWnd, m_hInstance, 20, 223, 141, 41, kDeleteId, disc ? 769 : 407, disc ? 770 : 408, 0);
    m_buttons[1].SetCaption(m_language.GetText(kTextDelete), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    m_buttons[2].Create(m_hWnd, m_hInstance, 172, 223, 141, 41, kMakeCurrentId, disc ? 774 : 405, disc ? 775 : 406,
                        0);
    m_buttons[2].SetCaption(m_language.GetText(kTextMakeCurrent), 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    ShowCurrent(kCurrentLabelId, kTextCurrentLabel, kCurrentEditId);
    SetUpList();
}

void CReferListDlg::SetUpList()
{
    m_list.Create(m_hWnd, m_hInstance, kListId, 10, 90, 450, 115, TRUE, FALSE);
    m_list.SetFont(m_font);
    m_list.InsertColumn(0, m_language.GetText(kTextFileColumn), LVCFMT_LEFT, 190, 0);
    m_list.InsertColumn(1, m_language.GetText(kTextNameColumn), LVCFMT_LEFT, 190, 1);
    m_list.InsertColumn(2, u"", LVCFMT_LEFT, 25, 2);
    FillList();
}

void CReferListDlg::FillList()
{
    m_store.List(m_params.deviceType);
    m_list.DeleteAllItems();
    const std::u16string current = CurrentName();
    for (DWORD i = 0; i < m_store.m_count; ++i) {
        const ReferEntry& entry = m_store.m_entries[i];
        AddRow(static_cast<int>(i), qplat::FieldText(entry.fileName, kReferNameChars),
               qplat::FieldText(entry.profileName, kReferNameChars), current);
    }
    FitMarkColumn();
}

void CReferListDlg::FitMarkColumn()
{
    // The mark's column fills the rest of the row, so that the highlight ends
    // at the list's frame (or its scroll strip, which comes and goes with
    // the number of rows) rather than before an empty stretch.
    m_list.SetColumnWidth(NAME_LIST_MARK_COLUMN, LVSCW_AUTOSIZE_USEHEADER);
}

WCHAR* CReferListDlg::GetSelectedText(int row)
{
    qplat::CopyField(g_selectedListText, REFER_LIST_NAME_CHARS, RowName(row));
    return g_selectedListText;
}

bool CReferListDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    switch (id) {
    case kDeleteId:
        OnDelete();
        FitMarkColumn();
        break;
    case kMakeCurrentId: OnMakeCurrent(); break;
    default: return false;
    }
    answer = TRUE;
    return true;
}

bool CReferListDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    return msg == WM_NOTIFY && OnColumnClick(lParam, answer);
}
