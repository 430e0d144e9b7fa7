// The paired-sensor list screen (settings menu, command 420): the device type
// is chosen here, the sensors of that type kept in the paired-sensor file are
// listed with the current one marked, and a sensor is searched for, made
// current or removed.
#pragma once

#include <string>
#include <vector>

#include "platform/WinDef.h"
#include "sensor/BTDeviceFile.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

class CLinkMonitor;

// A row of the list hands out at most 49 characters and the terminator.
constexpr int BT_LIST_ROW_CHARS = 50;

class CBTDeviceListDlg : public CScreenDlg<CBTDeviceListDlg> {
public:
    static constexpr int kTemplateId = 732;
    static constexpr int kTitleTextId = 40203;
    static constexpr int kBackId = 433;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kSearchId = 434;
    static constexpr int kDeleteId = 435;
    static constexpr int kSelectId = 436;
    static constexpr int kListId = 443;
    static constexpr int kFirstRadioId = 428;  // device type 1; 429, 430, 431 the others

    CBTDeviceListDlg();

    // Runs the screen with the link monitor the search stops. 1 when the
    // program's current sensor changed: the chosen device type's current
    // sensor is another (by name) than that of the type chosen at opening, or
    // the device type itself changed. The caller then reloads the settings and
    // lets the monitor connect anew.
    BOOL DoModal(HINSTANCE instance, HWND parent, CLinkMonitor* monitor);

    void OnLoadSettings();
    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    void PaintContent(HDC dc);

    // The Bluetooth name of the settings copy's device type (type 1's for a
    // type outside 1 to 4).
    std::u16string GetCurrentName() const;
    // Reads the paired-sensor file at its present size.
    void ReadRecords();
    void RefreshList();
    // Removes the record of that name and writes the others back; 0 when
    // written, else the text to show.
    int DeleteRecord(const WCHAR* name);
    // Makes the record of that name the current sensor of the chosen type and
    // saves the settings. 1 when saved.
    int SelectRecord(const WCHAR* name);
    // Whether DoModal answers 1 (see there).
    bool CurrentSensorChanged() const;

    CLinkMonitor* m_monitor = nullptr;
    std::vector<BTDeviceRecord> m_records;
    CBTDeviceFile m_deviceFile;
    CListViewCtl m_list;
    COwnerButton m_buttons[4];  // close, search, delete, select
    COwnerButton m_radios[4];
    std::u16string m_openName;
    int m_openType = 0;

private:
    void OnSearch();
    void OnDelete();
    void OnSelect();
    void OnRadio(int deviceType);
    int ChosenType() const;
    // The selected row's sensor name, or nullptr when no row is selected.
    const WCHAR* SelectedName();
    void EnableDelete();
    WCHAR m_rowName[BT_LIST_ROW_CHARS] = {};
};
