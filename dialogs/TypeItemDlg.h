// The catalogue item editor: creates or edits one wheel type ("WheelType.qav",
// wheel devices) or disc type ("DiskType.qod", the disc device). The operator
// names the entry and picks its reference profile, scheme and tolerance set;
// its dimensions, options and switches are those of "param.qav", which the
// dimension, option and switch screens opened from here edit. The catalogue
// screen prepares "param.qav" before and puts it back afterwards.
#pragma once

#include "dialogs/CatalogRecords.h"
#include "settings/CatalogFiles.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

// The settings screens the editor opens on "param.qav": the dimension table,
// the option groups and the parameter switches. Each runs its screen with the
// editor as owner and returns the screen's result; on a true result the editor
// reloads its settings from the file. Tests point an entry at a stand-in.
using SettingsScreenOpener = BOOL (*)(HINSTANCE instance, HWND owner);
struct TypeItemSettingsScreens {
    SettingsScreenOpener dimensions;
    SettingsScreenOpener options;
    SettingsScreenOpener switches;
};
extern TypeItemSettingsScreens g_typeItemScreens;

class CTypeItemDlg : public CScreenDlg<CTypeItemDlg> {
public:
    static constexpr int kTemplateId = 590;
    static constexpr int kTitleTextId = 0;  // by family and mode, see TitleText
    static constexpr int kBackId = 591;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kOkId = 592;
    static constexpr int kDimensionsId = 593;
    static constexpr int kOptionsId = 594;
    static constexpr int kSwitchesId = 595;
    static constexpr int kNameBoxId = 501;
    static constexpr int kListId = 506;  // all three lists
    static constexpr UINT_PTR kFocusTimer = 2001;

    CTypeItemDlg();
    ~CTypeItemDlg();

    // Row -1 creates an entry, any other row edits that catalogue entry.
    // Always true: close and OK both end the screen with 273.
    BOOL DoModal(HINSTANCE instance, HWND owner, int row);

    // ---- the pattern's hooks
    void OnInitDialog();
    void PaintContent(HDC dc);
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    void OnTimer(UINT_PTR id);
    LPCWSTR TitleText();

    // ---- the screen's steps
    void CreateNameBox();
    void FillReferenceList();
    void FillSchemeList();
    // The sets of "Dopusk.qav" or, for the disc device, "Dopusk.qod".
    void FillToleranceList();
    void ReadWheelFields(HWND window);
    void ReadDiskFields(HWND window);
    int IsNameUnique(const WCHAR* name);

    // ---- state, read by the tests
    bool IsDisc() const { return m_disc; }
    int Row() const { return m_row; }
    bool KeyboardReady() const { return m_keyboardReady; }
    const WheelTypeRecord& WheelRecord() const { return m_wheelRecord; }
    const DiskTypeRecord& DiskRecord() const { return m_diskRecord; }

    COwnerButton m_buttons[5];
    CEditCtl m_nameBox;
    CComboBoxCtl m_referList;
    CComboBoxCtl m_schemeList;
    CComboBoxCtl m_toleranceList;

private:
    void OnNameFocus();
    void OnSettingsScreen(SettingsScreenOpener open);
    void OnOk();
    // A cleared record with the name box's text and the lists' choices.
    template <class Record>
    void ReadNames(Record& record);
    // The chosen text of a list (at most 49 characters; empty without entries).
    void ListText(CComboBoxCtl& list, WCHAR* field);
    // Selects the entry whose text equals the stored name, else entry 0.
    static void SelectStored(CComboBoxCtl& list, const WCHAR* stored);
    // The entry of the list whose text is `stored`, or -1.
    static int FindEntry(CComboBoxCtl& list, const WCHAR* stored);
    static bool HasEntry(CComboBoxCtl& list, const WCHAR* stored);

    bool m_disc = false;
    int m_row = -1;
    bool m_keyboardReady = false;
    bool m_asking = false;
    CTypeRecords m_types;
    WheelTypeRecord m_wheelRecord = {};
    DiskTypeRecord m_diskRecord = {};
};
