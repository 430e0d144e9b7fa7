// The record-data screen: the date, the six free texts that name the measured
// object, and the side of one measurement record, filled in before the record
// is stored. It works on a copy of the caller's record of the family its
// settings copy names (a wheel record for device types 1 to 3, a disc record
// for type 4) and hands the copy back only when the operator confirms.
#pragma once

#include "platform/WinCtrl.h"
#include "settings/JournalRecords.h"
#include "ui/ControlWrappers.h"
#include "ui/DateTimeUtil.h"
#include "ui/KeyboardDlg.h"
#include "ui/ScreenDlg.h"

// The text AskText gives back; the next call overwrites it.
constexpr int ENTERED_TEXT_CHARS = 150;
extern WCHAR g_enteredText[ENTERED_TEXT_CHARS];

class CRecordInfoDlg : public CScreenDlg<CRecordInfoDlg> {
public:
    static constexpr int kTemplateId = 270;
    static constexpr int kTitleTextId = 40500;
    static constexpr int kBackId = 271;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kOkId = 272;
    static constexpr int kPickerId = 289;
    static constexpr int kFirstEditId = 290;  // 290 to 295
    static constexpr int kSideListId = 791;
    static constexpr UINT_PTR kReadyTimer = 2000;
    static constexpr UINT kReadyDelayMs = 100;
    // What an edit shows and gives back at most.
    static constexpr int kEditChars = 49;

    CRecordInfoDlg();
    ~CRecordInfoDlg();

    // 1 when the operator confirmed: the caller's record of the family then
    // holds the entered fields. 0 on back, on a close, and when the record of
    // the family the settings name was not passed (nothing is shown then);
    // the caller's record is untouched.
    BOOL DoModal(HINSTANCE instance, HWND parent, QavJournalRecord* qav, QodJournalRecord* qod);

    // ---- the pattern's hooks
    void OnInitDialog();
    void OnTimer(UINT_PTR id);
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    // A close is a cancel: the screen tells confirmation from cancelling.
    INT_PTR CloseResult() const { return 0; }

    // ---- the screen's steps
    void CreateControls(HWND window);
    void FillQavFields(HWND window);
    void FillQodFields(HWND window);
    void ReadQavFields(HWND window);
    void ReadQodFields(HWND window);
    // The keyboard over the screen; the text in g_enteredText.
    const WCHAR* AskText(HWND window, LPCWSTR prompt, LPCWSTR currentText, int mode);

    bool Disc() const { return m_params.deviceType == 4; }

    BYTE m_ready = 0;
    QavJournalRecord m_qav;
    QodJournalRecord m_qod;
    CDateTimeUtil m_dateTime;
    COwnerButton m_buttons[2];  // back, OK
    CStaticTextCtl m_captions[8];
    CEditCtl m_edits[6];
    CDateTimeCtl m_picker;
    CComboBoxCtl m_sides;

private:
    // The fields both records begin with, the same in both.
    template <class Record>
    void FillHead(Record& record, int sideEntries);
    template <class Record>
    void ReadHead(Record* record);
    void OnEditFocus(int id);
};
