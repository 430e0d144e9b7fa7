// The scheme list screen (data menu, command 170): the scheme files of the
// current device family, the current scheme, deleting a scheme, making one
// current, a new scheme through the editor, and the train diagram of the
// loaded scheme in place of the list.
#pragma once

#include "platform/WinDef.h"
#include "scheme/Scheme.h"
#include "scheme/SchemeFile.h"
#include "scheme/ui/DiagramScroll.h"
#include "scheme/ui/NameList.h"
#include "scheme/ui/SchemeView.h"

class CSchemeListDlg : public CNameListDlg<CSchemeListDlg> {
public:
    static constexpr int kTemplateId = 347;
    static constexpr int kTitleTextId = 40026;
    static constexpr int kBackId = 409;
    static constexpr INT_PTR kEraseAnswer = 1;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kTextNothingSelected = 50031;
    static constexpr int kTextCurrentNotDeleted = 50041;
    static constexpr int kTextDeleteQuestion = 50032;
    static constexpr int kTextNameColumn = 40410;
    static constexpr int kTextNameTooLong = 50092;

    static constexpr int kNewId = 410;
    static constexpr int kDeleteId = 411;
    static constexpr int kMakeCurrentId = 412;
    static constexpr int kToggleId = 413;
    static constexpr int kListId = 414;
    static constexpr int kCurrentLabelId = 415;
    static constexpr int kCurrentEditId = 416;

    CSchemeListDlg();

    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    void PaintContent(HDC dc);

    void SetUpList();
    void FillList();
    ListedFile ListedOf(LPCWSTR fileName) const { return m_schemeFile.Listed(fileName); }
    // The row's scheme name, cut to what the settings block can name.
    const WCHAR* GetSelectedName(int row) { return RowName(row); }
    void CreateScrollBar();
    void UpdateScrollRange();

    // The settings field that names the current scheme of the family.
    WCHAR* CurrentField();
    LPCWSTR SubFolder() const;
    // Loads the scheme of that name into m_scheme; 1 when it loaded.
    int LoadScheme(const WCHAR* name);
    // A scheme made current is loaded for the diagram; one that does not
    // load is said (50053) and stays current.
    void OnMadeCurrent();

    BYTE m_listShown = 1;
    CDiagramScroll m_scroll;
    COwnerButton m_buttons[5];  // close, new, delete, make current, diagram toggle
    CScheme m_scheme;
    int m_schemeLoaded = 0;
    CSchemeFile m_schemeFile;
    CSchemeView m_view;

private:
    void OnNew();
    void OnToggle();
};
