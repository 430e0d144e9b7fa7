// The type catalogue: the wheel types ("WheelType.qav") of the wheel devices
// or the disc types ("DiskType.qod") of the disc device. The operator lists
// the entries, creates and edits them with the item editor, deletes them and
// applies one, which copies it into the settings file and makes it the
// current type (marked in the list).
//
// The item editor and the screens it opens work on the settings file; around
// New and Edit this screen keeps the settings as they were and writes them
// back afterwards, so the file ends as it began whatever those screens wrote.
#pragma once

#include "dialogs/CatalogRecords.h"
#include "settings/CatalogFiles.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

class CTypeCatalogDlg : public CScreenDlg<CTypeCatalogDlg> {
public:
    static constexpr int kTemplateId = 575;
    static constexpr int kTitleTextId = 0;  // by family, see TitleText
    static constexpr int kBackId = 576;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kNewId = 577;
    static constexpr int kDeleteId = 578;
    static constexpr int kEditId = 579;
    static constexpr int kApplyId = 580;
    static constexpr int kListId = 239;
    static constexpr int kLabelId = 498;
    static constexpr int kNameBoxId = 499;

    CTypeCatalogDlg();
    ~CTypeCatalogDlg();

    // Always true: the close button and WM_CLOSE both end with a non-zero result.
    BOOL DoModal(HINSTANCE instance, HWND owner);

    // ---- the pattern's hooks
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    LPCWSTR TitleText();

    // ---- the screen's steps
    void ApplyWheelType(int row);
    void ApplyDiskType(int row);
    // Creates the list and fills it.
    void FillList(HWND window);
    // Reloads the catalogue from its file and fills the rows.
    void FillRows();
    // Column 0 of a row (at most 50 characters and the terminator).
    void GetRowName(int row, WCHAR* name, int chars);

    // ---- state, read by the tests
    bool IsDisc() const { return m_disc; }
    int Count() const { return m_types.Count(); }
    int MarkedRow() const { return m_marked; }

    COwnerButton m_buttons[5];
    CListViewCtl m_list;
    CStaticTextCtl m_label;
    CEditCtl m_nameBox;

private:
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnApply();
    // Runs the item editor on row (-1 new), then puts the settings file back.
    void RunItemEditor(int row, const ParamBlock& saved);
    // Applies a row to the block and saves it; on a failed save the block is
    // put back and the failure shown. True when saved.
    bool ApplyAndSave(int row);
    void ApplyRow(int row);
    WCHAR* CurrentTypeName();

    bool m_disc = false;
    int m_marked = -1;
    CTypeRecords m_types;
};
