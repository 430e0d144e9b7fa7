#include "scheme/ui/ReferListDlg.h"

#include <cstring>
#include <iterator>
#include <string>

#include "platform/WinText.h"
#include "scheme/ui/NameList.h"

WCHAR g_selectedListText[REFER_LIST_NAME_CHARS];

namespace {

constexpr int kTextFileColumn = 40404;
constexpr int kTextNameColumn = 40405;
constexpr int kTextCurrentLabel = 40403;
constexpr int kTextNothingSelected = 50030;
constexpr int kTextCurrentNotDeleted = 50040;
constexpr int kTextDeleteQuestion = 50025;
constexpr int kTextDelete = 50107;
constexpr int kTextMakeCurrent = 50108;
// The list hands out at most this many characters of a file name.
constexpr int kFileNameChars = 200;

}  // namespace

CReferListDlg::CReferListDlg() = default;

void CReferListDlg::OnLoadSettings()
{
    qplat::CopyField(m_folderPath, PROGRAM_FOLDER_CHARS, m_folder.GetPath());
}

WCHAR* CReferListDlg::ReferenceField()
{
    return m_params.deviceType == 4 ? m_params.qodReferName : m_params.qavReferName;
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

    m_label.Attach(GetDlgItem(m_hWnd, kCurrentLabelId));
    m_label.SetFont(m_font);
    m_label.SetText(m_language.GetText(kTextCurrentLabel));
    m_currentEdit.Attach(GetDlgItem(m_hWnd, kCurrentEditId));
    m_currentEdit.SetFont(m_font);
    m_currentEdit.SetText(qplat::FieldText(ReferenceField(), PARAM_NAME_CHARS).c_str());
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
    const std::u16string current = qplat::FieldText(ReferenceField(), PARAM_NAME_CHARS);
    for (DWORD i = 0; i < m_store.m_count; ++i) {
        const ReferEntry& entry = m_store.m_entries[i];
        const std::u16string name = qplat::FieldText(entry.profileName, kReferNameChars);
        const int row = m_list.InsertItem(static_cast<int>(i), qplat::FieldText(entry.fileName, kReferNameChars).c_str());
        m_list.SetItemText(row, NAME_LIST_NAME_COLUMN, name.c_str());
        if (name == current) m_list.SetItemText(row, NAME_LIST_MARK_COLUMN, NAME_LIST_BULLET);
    }
}

void CReferListDlg::ClearCurrentMarks()
{
    ClearNameListMarks(m_list, m_list.GetItemCount());
}

WCHAR* CReferListDlg::GetSelectedText(int row)
{
    m_list.GetItemText(row, NAME_LIST_NAME_COLUMN, g_selectedListText, REFER_LIST_NAME_CHARS);
    return g_selectedListText;
}

int CReferListDlg::DeleteFile(int row)
{
    WCHAR fileName[kFileNameChars];
    m_list.GetItemText(row, 0, fileName, kFileNameChars);
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    swprintf(folder, std::size(folder), u"%s%s", m_folderPath, m_params.deviceType == 4 ? u"Refer_QOD\\" : u"Refer\\");
    if (!DeleteListedFile(folder, fileName)) return 0;
    m_list.DeleteItem(row);
    return 1;
}

void CReferListDlg::OnDelete()
{
    const int row = m_list.GetSelected();
    if (row < 0) {
        ShowMessage(MESSAGE_NOTICE, kTextNothingSelected);
        return;
    }
    if (wcscmp(GetSelectedText(row), qplat::FieldText(ReferenceField(), PARAM_NAME_CHARS).c_str()) == 0) {
        ShowMessage(MESSAGE_NOTICE, kTextCurrentNotDeleted);
        return;
    }
    if (ShowMessage(MESSAGE_QUESTION, kTextDeleteQuestion) != 1) return;
    if (!DeleteFile(row)) ShowMessage(MESSAGE_FAILURE, SCREEN_SAVE_FAILED);
}

void CReferListDlg::OnMakeCurrent()
{
    const int row = m_list.GetSelected();
    if (row < 0) {
        ShowMessage(MESSAGE_NOTICE, kTextNothingSelected);
        return;
    }
    const ParamBlock before = m_params;
    // The field holds 49 characters: a longer name is cut here, where it is chosen.
    qplat::CopyField(ReferenceField(), PARAM_NAME_CHARS, GetSelectedText(row));
    // A reference chosen directly no longer belongs to a selected wheel type.
    if (m_params.deviceType != 4 && std::memcmp(&m_params, &m_loadedParams, sizeof m_params) != 0)
        std::memset(m_params.wheelTypeName, 0, sizeof m_params.wheelTypeName);
    if (!SaveSettings()) {
        m_params = before;
        return;
    }
    ClearCurrentMarks();
    m_list.SetItemText(row, NAME_LIST_MARK_COLUMN, NAME_LIST_BULLET);
    m_currentEdit.SetText(qplat::FieldText(ReferenceField(), PARAM_NAME_CHARS).c_str());
}

bool CReferListDlg::OnCommand(int id, int, HWND, INT_PTR& answer)
{
    switch (id) {
    case kDeleteId: OnDelete(); break;
    case kMakeCurrentId: OnMakeCurrent(); break;
    default: return false;
    }
    answer = TRUE;
    return true;
}

bool CReferListDlg::OnMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& answer)
{
    if (msg != WM_NOTIFY || !lParam) return false;
    const auto* note = reinterpret_cast<const NMLISTVIEW*>(lParam);
    if (note->hdr.code != LVN_COLUMNCLICK || note->hdr.hwndFrom != m_list.m_hWnd) return false;
    if (note->iSubItem == NAME_LIST_NAME_COLUMN) {
        WCHAR caption[PAINT_CAPTION_CHARS + 1];
        qplat::CopyField(caption, std::size(caption), m_language.GetText(kTextNameColumn));
        SortNameList(m_list, m_sortAscending, caption);
    }
    answer = kUnhandledAnswer;
    return true;
}
