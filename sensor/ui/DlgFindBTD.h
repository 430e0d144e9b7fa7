// The sensor search screen: a Bluetooth inquiry for the sensors of the device
// type chosen on the paired-sensor list, and adding the chosen one, which
// makes it the type's current sensor and keeps it in the paired-sensor file.
#pragma once

#include <vector>

#include "platform/Bluetooth.h"
#include "platform/WinDef.h"
#include "sensor/BTDeviceFile.h"
#include "ui/ControlWrappers.h"
#include "ui/ScreenDlg.h"

class CLinkMonitor;

constexpr int FIND_BTD_MAX_FOUND = 10;
constexpr int FIND_BTD_TEXT_CHARS = 50;
constexpr int FIND_BTD_ADDRESS_ROOM = 50;
// A name query that keeps failing is given up after this many tries, 100 ms
// apart (about five seconds), and that device is left out.
constexpr int FIND_BTD_NAME_TRIES = 50;
constexpr DWORD FIND_BTD_NAME_PAUSE_MS = 100;
// All failed name queries of one search together may take this long (each
// counts as one pause); once it is spent the search ends, and the devices not
// yet named are left out. So sensors whose names fail cannot hold the screen
// for more than about six seconds, however many of them are in reach.
constexpr DWORD FIND_BTD_NAME_BUDGET_MS = 6000;

// The model words by which a sensor's name tells its device type (1 to 4).
extern const WCHAR* const g_btNamePrefixes[4];

struct FoundDevice {
    WCHAR name[FIND_BTD_TEXT_CHARS];
    WCHAR address[FIND_BTD_TEXT_CHARS];  // hexadecimal digits, as the inquiry wrote them
};

class CDlgFindBTD : public CScreenDlg<CDlgFindBTD> {
public:
    static constexpr int kTemplateId = 242;
    static constexpr int kTitleTextId = 40211;
    static constexpr int kBackId = 243;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kStartId = 244;
    static constexpr int kAddId = 245;
    static constexpr int kListId = 246;
    static constexpr int kStatusId = 298;
    static constexpr int kCountId = 299;
    static constexpr UINT_PTR kSearchTimer = 1;

    CDlgFindBTD();

    // Always 1: the list screen reads the settings and the file again.
    BOOL DoModal(HINSTANCE instance, HWND parent, CLinkMonitor* monitor);

    void OnInitDialog();
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);
    void OnTimer(UINT_PTR id);

    void RefreshFound();
    // Reloads the settings copy and the paired-sensor file, then runs the
    // inquiry: 1 when sensors of the type were found, 0 when none, -1 when
    // the lookup cannot begin (the radio is off).
    int Search();
    int Inquiry();
    // Keeps a found device unless the list is full; false when it is.
    bool AcceptDevice(const WCHAR* name, BT_ADDR address);
    // Whether the name begins with at least two characters of the model word
    // of the settings copy's device type. Types 1 and 4 ("LX412", "LX413")
    // share their letters, so this cannot tell them apart.
    bool MatchesDeviceType(const WCHAR* name) const;
    // Keeps the row's sensor in the paired-sensor file (once per name). 1 when
    // it is there afterwards.
    int AddFoundDevice(int row);
    const WCHAR* GetRowName(int row);
    const WCHAR* GetRowAddress(int row);

    // The four characters of the name used as the serial and the pairing PIN.
    static const WCHAR* SerialFromName(const WCHAR* name);
    // "00:12:6f:a0:0b:7c" from the address digits, padded to 12 with "0".
    static const WCHAR* FormatAddress(const WCHAR* addressText);
    // The inquiry's address text: the upper 16 bits without leading zeros,
    // then the lower 32 bits as eight digits, lower case.
    static void AddressText(BT_ADDR address, WCHAR* text, size_t chars);

    DWORD m_foundCount = 0;
    // The search's budget for failing name queries (tests make it smaller)
    // and how many name queries failed in the last search.
    DWORD m_nameBudgetMs = FIND_BTD_NAME_BUDGET_MS;
    int m_failedNameQueries = 0;
    CLinkMonitor* m_monitor = nullptr;
    CBTDeviceFile m_deviceFile;
    std::vector<BTDeviceRecord> m_records;
    BTDeviceRecord m_record = {};
    CStaticTextCtl m_status;
    CStaticTextCtl m_countText;
    COwnerButton m_buttons[3];  // close, start, add
    CListViewCtl m_list;
    FoundDevice m_found[FIND_BTD_MAX_FOUND] = {};
    BT_ADDR m_addresses[FIND_BTD_ADDRESS_ROOM] = {};

private:
    void OnAdd();
    void ReadRecords();
    void SetStatus(int textId);
    WCHAR m_rowText[FIND_BTD_TEXT_CHARS] = {};
};
