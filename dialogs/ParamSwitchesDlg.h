// The parameter switches: which measured values the program computes and
// shows. Every switch byte of the settings block that the device offers is a
// row with a check mark when on (the byte holds 2); a double tap turns the
// mark over, OK stores every listed byte as 2 (on) or 1 (off).
#pragma once

#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

class CParamSwitchesDlg : public CScreenDlg<CParamSwitchesDlg> {
public:
    static constexpr int kTemplateId = 475;
    static constexpr int kTitleTextId = 40342;
    static constexpr int kBackId = 422;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kOkId = 423;
    static constexpr int kListId = 472;
    static constexpr int kMaxRows = 19;

    // One switch row: its byte and its texts.
    struct SwitchRow;

    CParamSwitchesDlg();
    ~CParamSwitchesDlg();

    // ---- the pattern's hooks
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);

    // ---- the screen's steps
    void FillWheelRows();
    void FillDiskRows();
    void AddRow(int row, BYTE* switchByte, BYTE value, int caption, int bracket);

    // ---- state, read by the tests
    int RowCount() const { return m_rowCount; }
    // The settings byte (820, 1328, ...) a row stands for.
    int ByteOfRow(int row) const;

    COwnerButton m_buttons[2];
    CListViewCtl m_list;

private:
    void OnToggle(int row);
    void OnOk();

    BYTE* m_rowByte[kMaxRows] = {};
    int m_rowCount = 0;
};
