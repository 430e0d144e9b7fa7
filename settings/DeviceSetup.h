// Setting the handheld up for its one application: the registry records applied
// at start, the time zone, the Bluetooth driver's card mode, power-off and
// reset, the storage-card test and a few small text routines.
#pragma once

#include "platform/WinDef.h"

class CProgramFolder;

constexpr int REGISTRY_TEXT_CHARS = 256;

// One registry setting under HKEY_LOCAL_MACHINE. The caller chooses value A or
// value B; a REG_DWORD value is written as its decimal text.
struct RegistryRecord {
    WCHAR key[REGISTRY_TEXT_CHARS];
    WCHAR valueName[REGISTRY_TEXT_CHARS];
    WCHAR valueA[REGISTRY_TEXT_CHARS];
    WCHAR valueB[REGISTRY_TEXT_CHARS];
    DWORD type;  // REG_SZ or REG_DWORD
};

// The records of g_registryRecords.
enum RegistryRecordIndex {
    REGREC_LAUNCH_VENDOR2,    // launch key on handhelds of USB vendor 2
    REGREC_LAUNCH,            // launch key on the others
    REGREC_DEVICE_NAME,
    REGREC_USB_CLIENT_DRIVER, // A serial, B mass storage
    REGREC_LANGUAGE_OVERRIDE,
    REGREC_TIME_ZONE_NAMES,   // only supplies the GMT zone's names
    REGREC_DESKTOP_FOLDER,
    REGREC_TASKBAR_AUTOHIDE,
    REGREC_PROGRAM_FOLDER,    // only read (CProgramFolder)
    REGREC_COUNT
};
extern const RegistryRecord g_registryRecords[REGREC_COUNT];

// Select 1 writes value A, anything else value B. Only REG_SZ and REG_DWORD
// records are written. A value is written only when the stored one differs, so
// repeated start-ups leave the registry untouched. 1 when the registry holds
// the chosen value afterwards (written and flushed, or already there), else 0.
int ApplyRegistryRecord(const RegistryRecord* record, int select);
// A missing key is not created (0).
int WriteRegistryString(const RegistryRecord* record, int select);
// A missing key is created.
int WriteRegistryDword(const RegistryRecord* record, int select);

// USB function hardware: 1 "MediaTek", 2 "MStar Semiconductor, Inc.", else 0.
int GetUsbVendor();

// The start-up registry set-up, then the GMT time zone.
void ApplyDeviceRegistry();
void ApplyDeviceRegistry(CProgramFolder* programFolder);
// 1 when the zone is (or was made) GMT, 0 when it could not be set.
int SetGmtTimeZone();

// Removes the Bluetooth security key and puts the Bluetooth driver in card mode.
void DeleteBluetoothSecurityKey();
void EnableBluetoothCardMode();

// Prepares the power driver and switches the handheld off (or, on vendor-1
// hardware, resets it). 1.
int PowerOffDevice();
// Resets the handheld; 1 when the request was accepted, else 0.
int ResetDevice();

// Non-zero when the storage card folder "\SDMMC" exists.
BOOL IsStorageCardPresent();

// Micrometres per display unit: 25400 when the code's low byte is 2 (inches),
// else 1000 (millimetres).
int GetUnitFactor(int unitCode);

// The diagnostic log is switched off: the line is accepted and dropped.
void AppendDiagnosticLog(const char* line);
void AppendDiagnosticLog(CProgramFolder* logFolder, const char* line);

// The number the hexadecimal digits of the text spell, read left to right in
// either case; other characters are skipped. At most 12 digits (48 bits, a
// Bluetooth address) are taken; later ones are ignored. The letters of the text
// are lower-cased in place.
ULONGLONG HexTextToNumber(WCHAR* text);

// Decimal text of the number. The buffer is this thread's own and is
// overwritten by its next call.
WCHAR* IntToText(int value);
