// The scheme editor: a new measuring scheme from its name, number of cars,
// axles per car, measuring order and (disc device) wheel layout, with a
// preview of the train, written as a scheme file.
#pragma once

#include "platform/WinDef.h"
#include "scheme/Scheme.h"
#include "scheme/SchemeFile.h"
#include "scheme/ui/DiagramScroll.h"
#include "scheme/ui/SchemeView.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

constexpr int SCHEME_EDIT_NAME_CHARS = 100;

class CSchemeEditDlg : public CScreenDlg<CSchemeEditDlg> {
public:
    static constexpr int kTemplateId = 559;
    static constexpr int kTitleTextId = 40409;
    static constexpr int kBackId = 560;
    static constexpr INT_PTR kEraseAnswer = 1;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kSaveId = 561;
    static constexpr int kPreviewId = 562;
    static constexpr int kNameEditId = 479;
    static constexpr int kAxlesComboId = 480;
    static constexpr int kCarsEditId = 481;
    static constexpr int kOrderComboId = 482;
    static constexpr int kNameLabelId = 483;
    static constexpr int kAxlesLabelId = 484;
    static constexpr int kCarsLabelId = 485;
    static constexpr int kOrderLabelId = 486;
    static constexpr int kLayoutLabelId = 487;
    static constexpr int kLayoutComboId = 488;

    CSchemeEditDlg();

    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    void PaintContent(HDC dc);

    void FillControls();
    void ShowControls();
    void ReadControls();
    void CreateScrollBar();
    void UpdateScrollRange();

    // The keyboard for the name: a name that cannot be a file name on the card
    // is refused and the keyboard stays up with it, until a good name or
    // cancel. A name longer than a scheme can be named by is cut.
    void AskName();
    void AskCarCount();
    // Writes the scheme of the controls. A scheme whose order would be empty
    // or hold more positions than a measuring order can is refused (50033), a
    // failed write is shown (50015); both leave the editor open. True when
    // the file was written.
    bool Save();

    WCHAR m_name[SCHEME_EDIT_NAME_CHARS] = {};
    int m_carCount = 1;
    int m_axlesPerCar = 4;
    int m_orderType = 1;
    int m_layout = 2;
    int m_previewOff = 1;
    CDiagramScroll m_scroll;
    COwnerButton m_buttons[3];  // close, save, preview toggle
    CSchemeFile m_schemeFile;
    CScheme m_preview;
    CSchemeView m_view;
    CStaticTextCtl m_labels[5];  // 483 to 487
    CEditCtl m_nameEdit;
    CEditCtl m_carsEdit;
    CComboBoxCtl m_axlesCombo;
    CComboBoxCtl m_orderCombo;
    CComboBoxCtl m_layoutCombo;

private:
    bool IsDisc() const { return m_params.deviceType == 4; }
    // The value of a combo box's chosen item's text (0 when none is chosen).
    int ComboValue(CComboBoxCtl& combo);
    void ShowSettingControls(int command);
    // Set while the keyboard of an edit is up, so the edit taking the focus
    // back does not open it again.
    bool m_asking = false;
    // Set once the screen runs: the focus the dialog manager gives the first
    // field at opening brings no keyboard up.
    bool m_ready = false;
};
