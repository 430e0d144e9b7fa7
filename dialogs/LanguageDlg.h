// The language choice: the language files found in "Language\", the current
// one marked. Apply records the chosen file in "Language.ini" and switches the
// screen's own texts at once; every screen opened afterwards loads the new
// language itself.
#pragma once

#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

class CLanguageDlg : public CScreenDlg<CLanguageDlg> {
public:
    static constexpr int kTemplateId = 733;
    static constexpr int kTitleTextId = LANGUAGE_TEXT_LANGUAGE_TITLE;
    static constexpr int kBackId = 441;
    // Erasing is left to the default handling, which answers 1.
    static constexpr INT_PTR kEraseAnswer = 1;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kApplyId = 442;
    static constexpr int kListId = 440;

    CLanguageDlg();
    ~CLanguageDlg();

    // ---- the pattern's hooks
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);

    // ---- the screen's steps
    void RefreshList(HWND window);
    void FillList();
    void ApplySelection(HWND window);

    // ---- state, read by the tests
    const CLanguage& Language() const { return m_language; }

    COwnerButton m_buttons[2];
    CListViewCtl m_list;
};
