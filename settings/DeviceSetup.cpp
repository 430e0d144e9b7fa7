#include "settings/DeviceSetup.h"

#include <cstring>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/ProgramFolder.h"

const RegistryRecord g_registryRecords[REGREC_COUNT] = {
    {u"\\Init\\", u"Launch92", u"\\SDMMC\\Autorun\\Qav5_PA.exe", u"", REG_SZ},
    {u"\\Init\\", u"Launch50", u"\\SDMMC\\Autorun\\Qav5_PA.exe", u"explorer.exe", REG_SZ},
    {u"\\Ident\\", u"Name", u"HT700M Device", u"", REG_SZ},
    {u"\\Drivers\\USB\\FunctionDrivers\\", u"DefaultClientDriver", u"Serial_Class", u"Mass_Storage_Class", REG_SZ},
    {u"\\nls\\overrides\\", u"LCID", u"2057", u"1033", REG_DWORD},
    {u"\\Time Zones\\", u"Default", u"GMT Standard Time", u"GMT Daylight Time", REG_SZ},
    {u"\\System\\Explorer\\Shell Folders\\", u"Desktop", u"\\Windows\\Deskto_", u"", REG_SZ},
    {u"\\SOFTWARE\\Microsoft\\Shell\\AutoHide\\", u"Default", u"1", u"0", REG_DWORD},
    {u"\\System\\StorageManager\\Profiles\\SDMemory\\", u"Folder", u"", u"", REG_SZ},
};

namespace {

constexpr DWORD QUERY_BYTES = 256;
constexpr DWORD FILE_SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD IOCTL_POWER_PREPARE_OFF = 0x22043C;
constexpr DWORD IOCTL_BLUETOOTH_CARD_MODE = 0x1040004;

const WCHAR* ChosenValue(const RegistryRecord* record, int select)
{
    return select == 1 ? record->valueA : record->valueB;
}

// Length of a record text: the table's fields always hold a terminator, but a
// record a caller builds may not.
size_t RecordTextLength(const WCHAR* text)
{
    return wcsnlen(text, REGISTRY_TEXT_CHARS - 1);
}

// True when the stored REG_SZ value equals the text. A value that cannot be
// read, is of another type or does not fit the query buffer counts as different.
bool StoredTextEquals(HKEY key, const WCHAR* valueName, const WCHAR* wanted, size_t wantedLen)
{
    WCHAR stored[QUERY_BYTES / sizeof(WCHAR)] = {};
    DWORD type = 0;
    DWORD size = QUERY_BYTES;
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) != ERROR_SUCCESS)
        return false;
    // Equal only when stored with its terminator, so a value written without
    // one is put right.
    if (type != REG_SZ || size != (wantedLen + 1) * sizeof(WCHAR))
        return false;
    return stored[wantedLen] == 0 && std::memcmp(stored, wanted, wantedLen * sizeof(WCHAR)) == 0;
}

bool StoredDwordEquals(HKEY key, const WCHAR* valueName, DWORD wanted)
{
    DWORD stored = 0;
    DWORD type = 0;
    DWORD size = sizeof(stored);
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size) != ERROR_SUCCESS)
        return false;
    return type == REG_DWORD && size == sizeof(stored) && stored == wanted;
}

// Sends one request to a stand-in driver such as "YGI1:"; a driver that cannot
// be opened is skipped.
void SendDriverRequest(const WCHAR* device, DWORD code, const void* in, DWORD inSize)
{
    HANDLE driver = CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr);
    if (driver == INVALID_HANDLE_VALUE)
        return;
    DWORD returned = 0;
    DeviceIoControl(driver, code, const_cast<void*>(in), inSize, nullptr, 0, &returned, nullptr);
    CloseHandle(driver);
}

}  // namespace

int ApplyRegistryRecord(const RegistryRecord* record, int select)
{
    if (!record)
        return 0;
    if (record->type == REG_SZ)
        return WriteRegistryString(record, select);
    if (record->type == REG_DWORD)
        return WriteRegistryDword(record, select);
    return 0;
}

int WriteRegistryString(const RegistryRecord* record, int select)
{
    if (!record)
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, record->key, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return 0;
    const WCHAR* chosen = ChosenValue(record, select);
    const size_t len = RecordTextLength(chosen);
    bool ok = true;
    if (!StoredTextEquals(key, record->valueName, chosen, len)) {
        // Stored with its terminator, as readers of a REG_SZ expect.
        WCHAR value[REGISTRY_TEXT_CHARS];
        std::memcpy(value, chosen, len * sizeof(WCHAR));
        value[len] = 0;
        ok = RegSetValueExW(key, record->valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>((len + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
    }
    ok = RegFlushKey(key) == ERROR_SUCCESS && ok;
    RegCloseKey(key);
    return ok ? 1 : 0;
}

int WriteRegistryDword(const RegistryRecord* record, int select)
{
    if (!record)
        return 0;
    WCHAR text[REGISTRY_TEXT_CHARS];
    const WCHAR* chosen = ChosenValue(record, select);
    const size_t len = RecordTextLength(chosen);
    std::memcpy(text, chosen, len * sizeof(WCHAR));
    text[len] = 0;
    const DWORD value = static_cast<DWORD>(_wtol(text));

    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, record->key, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) {
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, record->key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, &disposition) != ERROR_SUCCESS)
            return 0;
    }
    bool ok = true;
    if (!StoredDwordEquals(key, record->valueName, value))
        ok = RegSetValueExW(key, record->valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value)) == ERROR_SUCCESS;
    ok = RegFlushKey(key) == ERROR_SUCCESS && ok;
    RegCloseKey(key);
    return ok ? 1 : 0;
}

int GetUsbVendor()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"\\Drivers\\USB\\FunctionDrivers\\Mass_Storage_Class", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return 0;
    WCHAR stored[QUERY_BYTES / sizeof(WCHAR) + 1] = {};
    DWORD type = 0;
    DWORD size = QUERY_BYTES;
    const LONG rc = RegQueryValueExW(key, u"Manufacturer", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return 0;
    if (wcscmp(stored, u"MediaTek") == 0)
        return 1;
    if (wcscmp(stored, u"MStar Semiconductor, Inc.") == 0)
        return 2;
    return 0;
}

void ApplyDeviceRegistry()
{
    if (GetUsbVendor() == 2) {
        ApplyRegistryRecord(&g_registryRecords[REGREC_LAUNCH_VENDOR2], 1);
        ApplyRegistryRecord(&g_registryRecords[REGREC_LANGUAGE_OVERRIDE], 1);
        ApplyRegistryRecord(&g_registryRecords[REGREC_DEVICE_NAME], 1);
        ApplyRegistryRecord(&g_registryRecords[REGREC_TASKBAR_AUTOHIDE], 1);
        ApplyRegistryRecord(&g_registryRecords[REGREC_DESKTOP_FOLDER], 1);
    } else {
        ApplyRegistryRecord(&g_registryRecords[REGREC_LAUNCH], 1);
        ApplyRegistryRecord(&g_registryRecords[REGREC_LANGUAGE_OVERRIDE], 1);
        ApplyRegistryRecord(&g_registryRecords[REGREC_DEVICE_NAME], 1);
    }
    SetGmtTimeZone();
}

void ApplyDeviceRegistry(CProgramFolder*)
{
    ApplyDeviceRegistry();
}

int SetGmtTimeZone()
{
    const WCHAR* standardName = g_registryRecords[REGREC_TIME_ZONE_NAMES].valueA;
    const WCHAR* daylightName = g_registryRecords[REGREC_TIME_ZONE_NAMES].valueB;
    TIME_ZONE_INFORMATION zone;
    std::memset(&zone, 0, sizeof(zone));
    GetTimeZoneInformation(&zone);
    // The stored name need not be terminated within its field.
    if (qplat::FieldText(zone.StandardName, 32) == standardName)
        return 1;

    std::memset(&zone, 0, sizeof(zone));
    zone.Bias = 0;
    qplat::CopyField(zone.StandardName, 32, standardName);
    zone.StandardBias = 0;
    // Back to standard time on the last Sunday of October at 02:00, as the
    // published GMT zone does.
    zone.StandardDate.wMonth = 10;
    zone.StandardDate.wDayOfWeek = 0;
    zone.StandardDate.wDay = 5;
    zone.StandardDate.wHour = 2;
    qplat::CopyField(zone.DaylightName, 32, daylightName);
    zone.DaylightBias = -60;
    zone.DaylightDate.wMonth = 3;
    zone.DaylightDate.wDayOfWeek = 0;
    zone.DaylightDate.wDay = 5;
    zone.DaylightDate.wHour = 1;
    return SetTimeZoneInformation(&zone) ? 1 : 0;
}

void DeleteBluetoothSecurityKey()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Comm\\Security", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteKeyW(key, u"bluetooth");
    RegCloseKey(key);
}

void EnableBluetoothCardMode()
{
    DeleteBluetoothSecurityKey();
    static const WCHAR card[] = u"card";
    SendDriverRequest(u"BTD0:", IOCTL_BLUETOOTH_CARD_MODE, card, sizeof(card));
}

int PowerOffDevice()
{
    SendDriverRequest(u"YGI1:", IOCTL_POWER_PREPARE_OFF, nullptr, 0);
    if (GetUsbVendor() == 1)
        SetSystemPowerState(nullptr, POWER_STATE_RESET, POWER_FORCE);
    else
        SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE);
    return 1;
}

int ResetDevice()
{
    return SetSystemPowerState(nullptr, POWER_STATE_RESET, POWER_FORCE) == ERROR_SUCCESS ? 1 : 0;
}

BOOL IsStorageCardPresent()
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(u"\\SDMMC", &found);
    if (search == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(search);
    return TRUE;
}

int GetUnitFactor(int unitCode)
{
    return (unitCode & 0xFF) == 2 ? 25400 : 1000;
}

void AppendDiagnosticLog(const char*) {}

void AppendDiagnosticLog(CProgramFolder*, const char*) {}

ULONGLONG HexTextToNumber(WCHAR* text)
{
    if (!text)
        return 0;
    constexpr int MAX_DIGITS = 12;
    ULONGLONG value = 0;
    int digits = 0;
    for (WCHAR* p = text; *p; ++p) {
        const WCHAR c = *p;
        if (c >= u'A' && c <= u'Z')
            *p = static_cast<WCHAR>(c | 0x20);
        const WCHAR lower = *p;
        int digit = -1;
        if (lower >= u'0' && lower <= u'9')
            digit = lower - u'0';
        else if (lower >= u'a' && lower <= u'f')
            digit = lower - u'a' + 10;
        if (digit < 0 || digits >= MAX_DIGITS)
            continue;
        value = value * 16 + static_cast<ULONGLONG>(digit);
        ++digits;
    }
    return value;
}

WCHAR* IntToText(int value)
{
    thread_local WCHAR buffer[16];
    _itow(value, buffer, 10);
    return buffer;
}
