// The reference-profile list screen (data menu, command 169): the reference
// files of the current device type's folder, the current reference marked,
// making a profile the current reference and deleting a file.
#pragma once

#include "measurement/ReferStore.h"
#include "platform/WinDef.h"
#include "settings/ProgramFolder.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

constexpr int REFER_LIST_NAME_CHARS = 50;  // 49 characters and the terminator

class CReferListDlg : public CScreenDlg<CReferListDlg> {
public:
    static constexpr int kTemplateId = 346;
    static constexpr int kTitleTextId = 40025;
    static constexpr int kBackId = 402;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    // Control ids.
    static constexpr int kDeleteId = 403;
    static constexpr int kMakeCurrentId = 404;
    static constexpr int kListId = 399;
    static constexpr int kCurrentEditId = 400;
    static constexpr int kCurrentLabelId = 401;

    CReferListDlg();

    void OnLoadSettings();
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);

    void SetUpList();
    void FillList();
    void ClearCurrentMarks();
    // Deletes the row's file; 1 when it is gone (the row goes too).
    int DeleteFile(int row);
    // The row's profile name, at most 49 characters, in g_selectedListText.
    WCHAR* GetSelectedText(int row);

    // The settings field that names the current reference of the device type.
    WCHAR* ReferenceField();

    BYTE m_sortAscending = 1;
    CReferStore m_store;
    COwnerButton m_buttons[3];  // close, delete, make current
    CStaticTextCtl m_label;
    CEditCtl m_currentEdit;
    CListViewCtl m_list;
    WCHAR m_folderPath[PROGRAM_FOLDER_CHARS] = {};

private:
    void OnDelete();
    void OnMakeCurrent();
};

// The profile name of the row last asked for by CReferListDlg::GetSelectedText.
extern WCHAR g_selectedListText[REFER_LIST_NAME_CHARS];
