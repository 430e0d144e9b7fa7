// The reference-profile list screen (data menu, command 169): the reference
// files of the current device type's folder, the current reference marked,
// making a profile the current reference and deleting a file.
#pragma once

#include "measurement/ReferStore.h"
#include "platform/WinDef.h"
#include "scheme/ui/NameList.h"

constexpr int REFER_LIST_NAME_CHARS = 50;  // 49 characters and the terminator

class CReferListDlg : public CNameListDlg<CReferListDlg> {
public:
    static constexpr int kTemplateId = 346;
    static constexpr int kTitleTextId = 40025;
    static constexpr int kBackId = 402;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kTextNothingSelected = 50030;
    static constexpr int kTextCurrentNotDeleted = 50040;
    static constexpr int kTextDeleteQuestion = 50025;
    static constexpr int kTextNameColumn = 40405;
    static constexpr int kTextNameTooLong = 50085;

    // Control ids.
    static constexpr int kDeleteId = 403;
    static constexpr int kMakeCurrentId = 404;
    static constexpr int kListId = 399;
    static constexpr int kCurrentEditId = 400;
    static constexpr int kCurrentLabelId = 401;

    CReferListDlg();

    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);

    void SetUpList();
    void FillList();
    ListedFile ListedOf(LPCWSTR fileName) const { return m_store.Listed(fileName); }
    // Widens the mark's column to the row's end for the rows now listed.
    void FitMarkColumn();
    // The row's profile name, at most 49 characters, in g_selectedListText.
    WCHAR* GetSelectedText(int row);

    // The settings field that names the current reference of the device type.
    WCHAR* CurrentField();
    LPCWSTR SubFolder() const;

    CReferStore m_store;
    COwnerButton m_buttons[3];  // close, delete, make current
};

// The profile name of the row last asked for by CReferListDlg::GetSelectedText.
extern WCHAR g_selectedListText[REFER_LIST_NAME_CHARS];
