// The dimension table: the lengths of the settings block that the profile
// calculation works with, listed by name in the unit system of the settings
// and stored in micrometres. A double tap on a row edits its value on the
// keyboard; OK saves the block, close leaves the file alone. Which dimensions
// are listed follows the device type, the option bytes and the switches.
//
// Every row keeps the stored word of its dimension; a row the operator did not
// edit saves that word exactly, an edited row the value it shows.
#pragma once

#include "dialogs/ValueText.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

class CParamTableDlg : public CScreenDlg<CParamTableDlg> {
public:
    static constexpr int kTemplateId = 219;
    static constexpr int kTitleTextId = 40300;
    static constexpr int kBackId = 217;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kOkId = 218;
    static constexpr int kListId = 446;
    // The 21 wheel dimensions, then the disc's "L1" and "L2".
    static constexpr int kDimensionCount = PARAM_NAME_COUNT;
    static constexpr int kFirstDiscDimension = PARAM_DIMENSION_COUNT;

    CParamTableDlg();
    ~CParamTableDlg();

    // ---- the pattern's hooks
    void OnLoadSettings();
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& answer);

    // ---- the screen's steps
    void BuildList(HWND window);
    void FillWheelRows();
    void FillDiskRows();
    void AddRow(int row, int dimension, LONG word, LPCWSTR unit);
    // Write the rows back into the block and save it (wheel devices, disc
    // device); false when the file could not be written.
    bool ParseEdit();
    bool SaveDisk();
    // The word a shown row stands for (the stored one unless edited).
    LONG ToMicrometres(int row) const;

    // Whether dimension k has a row for these settings (wheel devices).
    static bool DimensionShown(const ParamBlock& block, int dimension);

    // ---- state, read by the tests
    int RowOfDimension(int dimension) const;
    LONG Divisor() const { return m_divisor; }

    COwnerButton m_buttons[2];
    CListViewCtl m_list;

private:
    void OnValueDoubleTap(int row);
    void OnOk();
    LONG* StoredWord(int dimension);

    LONG m_divisor = VALUE_MILLI_DIVISOR;
    WCHAR m_unitText[VALUE_TEXT_CHARS] = {};
    // For each dimension the row that shows it (-1: none), for each row its
    // dimension and its word.
    int m_rowOfDimension[kDimensionCount] = {};
    int m_dimensionOfRow[kDimensionCount] = {};
    LONG m_rowWord[kDimensionCount] = {};
    int m_rowCount = 0;
};
