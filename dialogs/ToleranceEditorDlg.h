// The tolerance-set editor: lists the tolerance sets of the device's family
// ("Dopusk.qav" for the wheel devices, "Dopusk.qod" for the disc device),
// creates, edits and deletes them, and makes one the current set named in the
// settings file. Browsing shows the set list and the selected set's limits;
// editing shows one set's limits with its name field.
//
// Every limit cell shows its stored word in the unit of its row. A cell the
// operator did not edit keeps its word exactly when the set is saved (a word
// of -1, shown as an empty cell, included); an edited cell saves the value it
// shows.
#pragma once

#include <memory>

#include "dialogs/CatalogRecords.h"
#include "dialogs/ValueText.h"
#include "platform/WinCtrl.h"
#include "settings/CatalogFiles.h"
#include "ui/ControlWrappers.h"
#include "ui/KeyboardDlg.h"
#include "ui/ScreenDlg.h"

// The text AskValue gives back; the next call overwrites it.
extern WCHAR g_toleranceValueText[KEYBOARD_TEXT_CHARS];

class CToleranceEditorDlg : public CScreenDlg<CToleranceEditorDlg> {
public:
    static constexpr int kTemplateId = 563;
    static constexpr int kTitleTextId = 40416;
    static constexpr int kBackId = 487;
    static constexpr INT_PTR kEraseAnswer = 1;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    // Controls.
    static constexpr int kNewId = 488;
    static constexpr int kDeleteId = 489;
    static constexpr int kEditId = 490;
    static constexpr int kSaveId = 491;
    static constexpr int kCancelId = 492;
    static constexpr int kMakeCurrentId = 493;
    static constexpr int kNameLabelId = 494;
    static constexpr int kNameFieldId = 495;
    static constexpr int kSetListId = 496;
    static constexpr int kValueListId = 497;

    // One limit row of the value list: which words it shows and when.
    struct LimitRow;

    CToleranceEditorDlg();
    ~CToleranceEditorDlg();

    // ---- the pattern's hooks
    void OnLoadSettings();
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);
    LPCWSTR TitleText();

    // ---- the screen's steps
    void LoadQavSets();
    void LoadQodSets();
    void CreateSetList(HWND window);
    void FillSetList();
    void CreateValueList(HWND window);
    void ShowQavSet(HWND window, DopuskQavRecord record);
    void ShowQodSet(HWND window, DopuskQodRecord record);
    // Adds one row of the value list; the words are shown in the row's unit.
    void FormatValue(int row, const LimitRow& limits, LONG lower, LONG upper, LONG lowerWarning, LONG upperWarning);
    // Writes the working record: appended when new, else over the selected
    // set with the whole file rewritten. False when the file was not written.
    bool SaveQavSet(int newSet);
    bool SaveQodSet(int newSet);
    int DeleteQavSet(HWND window, int position);
    int DeleteQodSet(HWND window, int position);
    int IsNameFree(const WCHAR* name);
    // The keyboard: mode 0 a number for the cell being edited, mode 1 a text.
    const WCHAR* AskValue(HWND window, const WCHAR* prompt, const WCHAR* currentText, int mode);
    void SetEditMode(HWND window, int editing, int newSet);
    LRESULT OnValueListCustomDraw(NMLVCUSTOMDRAW* draw);

    // ---- state, read by the tests
    bool IsQod() const { return m_qod; }
    int Editing() const { return m_editing; }
    int NewSet() const { return m_newSet; }
    int SetCount() const { return static_cast<int>(m_setCount); }
    int SelectedSet() const { return m_selected; }
    int CurrentSet() const { return m_current; }
    const DopuskQavRecord& QavWork() const { return m_qavWork; }
    const DopuskQodRecord& QodWork() const { return m_qodWork; }

    COwnerButton m_buttons[7];
    CStaticTextCtl m_nameLabel;
    CEditCtl m_nameField;
    CListViewCtl m_setList;
    CListViewCtl m_valueList;

private:
    void OnNewSet();
    void OnEditSet();
    void OnMakeCurrent();
    void OnDeleteSet();
    void OnSaveSet();
    void OnCancelEdit();
    void OnNameFocus();
    void OnValueDoubleTap(int row, int column);
    void ShowSelectedSet();
    void FinishDelete(bool written);
    // What a write of the family's file that failed is told as.
    int NotWrittenText() const;
    // The word of a limit cell (column 1 to 4) of a shown row in the working
    // record; nullptr for a cell the row does not show.
    LONG* WorkWord(int row, int column);
    LONG RowDivisor(const LimitRow& limits) const;
    const WCHAR* RowUnit(const LimitRow& limits) const;
    bool RowShown(const LimitRow& limits) const;
    WCHAR* FamilySetName();
    WCHAR* WorkName();
    const WCHAR* SetName(int position) const;

    bool m_qod = false;
    int m_editing = 0;
    int m_newSet = 0;
    WCHAR m_unitText[10] = {};
    // The table row behind each row of the value list.
    const LimitRow* m_shownRows[QAV_LIMIT_COUNT] = {};
    int m_shownCount = 0;
    unsigned m_setCount = 0;
    int m_selected = -1;
    int m_current = -1;
    // The divisor of the cell AskValue converts, and the word it took.
    LONG m_askDivisor = VALUE_MILLI_DIVISOR;
    LONG m_askedWord = 0;
    bool m_askedNumber = false;
    bool m_askingName = false;

    CDopuskQavFile m_qavFile;
    std::unique_ptr<DopuskQavRecord[]> m_qavSets;
    DopuskQavRecord m_qavWork = {};
    CDopuskQodFile m_qodFile;
    std::unique_ptr<DopuskQodRecord[]> m_qodSets;
    DopuskQodRecord m_qodWork = {};
    // The family's file as the list was read from it: a write expects it.
    std::unique_ptr<DopuskQavRecord[]> m_qavRead;
    std::unique_ptr<DopuskQodRecord[]> m_qodRead;
    int m_readCount = 0;
};
