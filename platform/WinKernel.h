// The handheld's kernel services as the program calls them: files on the device
// root, the registry, time and time zone, power, drivers, memory, waits and
// debug output. Declared with the handheld's names, argument conventions and
// numeric values; implemented over POSIX in platform/kernel.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinDef.h"
#include "platform/WinText.h"

// ---------------------------------------------------------------- errors
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_DIRECTORY 267L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_TIMEOUT 1460L
#define ERROR_DEVICE_NOT_CONNECTED 1167L
#define ERROR_BADKEY 1010L
#define ERROR_KEY_DELETED 1018L
#define ERROR_GEN_FAILURE 31L
// Ours, in the range Win32 leaves to applications (bit 29): a change of a
// folder (a deletion, a rename, a new folder) that was made, but whose
// folder the card did not confirm (a failed sync). The call fails, since a
// power cut could still undo it; this error tells the caller it stands now.
#define ERROR_CHANGE_NOT_CONFIRMED 0x20000001L

DWORD GetLastError();
void SetLastError(DWORD error);

// ---------------------------------------------------------------- files
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;
typedef WIN32_FIND_DATAW WIN32_FIND_DATA;

// Paths are the handheld's: "\" is the device root, parts are separated by
// "\" (a "/" is accepted too), names match without regard to letter case.
// Names of the form "XXXn:" (three letters, a digit, a colon) are drivers:
// "COMn:" serial ports and the stand-in drivers such as "YGI1:" and "BTD0:".
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE object);
BOOL DeleteFileW(LPCWSTR name);
BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists);
BOOL MoveFileW(LPCWSTR existing, LPCWSTR target);
BOOL CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR name);
DWORD GetFileAttributesW(LPCWSTR name);
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE find);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR name, DWORD size);

// The runtime's stream files, on the device root. Modes "r", "w", "a" with "+"
// and "b"; without "b" the stream is text: a line end is written as CR LF and
// CR LF reads back as "\n". fputws and fgetws carry 16-bit text as the 8-bit
// code page of WinText.h. Close with fclose. Stream files take no part in the
// sharing checks of CreateFileW.
FILE* _wfopen(LPCWSTR name, LPCWSTR mode);
int fputws(LPCWSTR text, FILE* stream);
WCHAR* fgetws(WCHAR* buffer, int count, FILE* stream);

// ---------------------------------------------------------------- registry
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu
#define REG_OPTION_NON_VOLATILE 0x00000000u
#define REG_CREATED_NEW_KEY 0x00000001u
#define REG_OPENED_EXISTING_KEY 0x00000002u
typedef DWORD REGSAM;

// Results are error codes (ERROR_SUCCESS on success). Key paths may begin with
// "\" and may end with "\": "\Init\" and "Init" name the same key. A key that
// holds sub-keys is deleted with them.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options, REGSAM sam,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LONG RegFlushKey(HKEY key);
LONG RegCloseKey(HKEY key);

// ---------------------------------------------------------------- time
typedef struct _TIME_ZONE_INFORMATION {
    LONG Bias;
    WCHAR StandardName[32];
    SYSTEMTIME StandardDate;
    LONG StandardBias;
    WCHAR DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
} TIME_ZONE_INFORMATION, *PTIME_ZONE_INFORMATION, *LPTIME_ZONE_INFORMATION;
#define TIME_ZONE_ID_UNKNOWN 0u
#define TIME_ZONE_ID_STANDARD 1u
#define TIME_ZONE_ID_DAYLIGHT 2u
#define TIME_ZONE_ID_INVALID 0xFFFFFFFFu

void GetLocalTime(LPSYSTEMTIME time);
void GetSystemTime(LPSYSTEMTIME time);
// Moves the program's clock (an offset kept in the platform folder); the host's
// clock is never changed.
BOOL SetLocalTime(const SYSTEMTIME* time);
BOOL SetSystemTime(const SYSTEMTIME* time);
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone);
BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION* zone);
BOOL SystemTimeToFileTime(const SYSTEMTIME* time, LPFILETIME fileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME time);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// ---------------------------------------------------------------- waits
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Waits on an event or a thread (signalled once it ended). Time-outs are real
// time, also on the manual clock.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD GetCurrentThreadId();

// ---------------------------------------------------------------- threads
#define CREATE_SUSPENDED 0x00000004u
#define STILL_ACTIVE 259u
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_IDLE (-15)
// Priorities are kept but have no effect on the host's scheduling.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
// Starts a thread created with CREATE_SUSPENDED; returns the previous suspend
// count (1), 0 when it was running, 0xFFFFFFFF on a bad handle.
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

// ---------------------------------------------------------------- power
#define POWER_STATE_ON 0x00010000u
#define POWER_STATE_OFF 0x00020000u
#define POWER_STATE_CRITICAL 0x00040000u
#define POWER_STATE_BOOT 0x00080000u
#define POWER_STATE_IDLE 0x00100000u
#define POWER_STATE_SUSPEND 0x00200000u
#define POWER_STATE_RESET 0x00800000u
#define POWER_FORCE 0x00001000u

#define AC_LINE_OFFLINE 0x00
#define AC_LINE_ONLINE 0x01
#define AC_LINE_BACKUP_POWER 0x02
#define AC_LINE_UNKNOWN 0xFF
#define BATTERY_FLAG_HIGH 0x01
#define BATTERY_FLAG_LOW 0x02
#define BATTERY_FLAG_CRITICAL 0x04
#define BATTERY_FLAG_CHARGING 0x08
#define BATTERY_FLAG_NO_BATTERY 0x80
#define BATTERY_FLAG_UNKNOWN 0xFF
#define BATTERY_PERCENTAGE_UNKNOWN 0xFF
#define BATTERY_LIFE_UNKNOWN 0xFFFFFFFFu
#define BATTERY_CHEMISTRY_LION 0x05
#define BATTERY_CHEMISTRY_UNKNOWN 0xFF

typedef struct _SYSTEM_POWER_STATUS_EX2 {
    BYTE ACLineStatus;
    BYTE BatteryFlag;
    BYTE BatteryLifePercent;
    BYTE Reserved1;
    DWORD BatteryLifeTime;
    DWORD BatteryFullLifeTime;
    BYTE Reserved2;
    BYTE BackupBatteryFlag;
    BYTE BackupBatteryLifePercent;
    BYTE Reserved3;
    DWORD BackupBatteryLifeTime;
    DWORD BackupBatteryFullLifeTime;
    DWORD BatteryVoltage;
    DWORD BatteryCurrent;
    DWORD BatteryAverageCurrent;
    DWORD BatteryAverageInterval;
    DWORD BatterymAHourConsumed;
    DWORD BatteryTemperature;
    DWORD BackupBatteryVoltage;
    BYTE BatteryChemistry;
} SYSTEM_POWER_STATUS_EX2, *PSYSTEM_POWER_STATUS_EX2;
static_assert(sizeof(SYSTEM_POWER_STATUS_EX2) == 56, "the power status record is 56 bytes on the handheld");

// Power-off puts the handheld to sleep until it is woken (platform/PowerSleep.h);
// reset restarts the program. Tests replace both with qplat::SetPowerHandler.
DWORD SetSystemPowerState(LPCWSTR stateName, DWORD state, DWORD options);
// From the host's battery where it has one; a host without a battery runs on
// mains and reports AC online with a full (100 %) battery, so the program shows
// a sensible level. `length` must cover the whole record (56 bytes).
DWORD GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 status, DWORD length, BOOL update);

// ---------------------------------------------------------------- drivers
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                     LPOVERLAPPED overlapped);
// The context is pointer-sized: drivers receive a pointer to their parameter record.
HANDLE RegisterDevice(LPCWSTR prefix, DWORD index, LPCWSTR library, DWORD_PTR context);
BOOL DeregisterDevice(HANDLE device);

// ---------------------------------------------------------------- memory and debug
#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
// Returns NULL when the allocation cannot be made (never throws).
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL memory);
void OutputDebugStringW(LPCWSTR text);

namespace qplat {

// ---- the device root
// The host folder that stands for "\" of the handheld. Chosen once at start:
// the --root option, else $QAV5_ROOT, else DefaultDeviceRoot().
// Setting it (again) drops what was read from the root before: the registry
// (open keys become invalid), the clock offset and the time zone are read anew.
void SetDeviceRoot(const std::string& hostFolder);
const std::string& DeviceRoot();
// The per-user default ($XDG_DATA_HOME/qav5/root, else
// $HOME/.local/share/qav5/root), made when missing.
std::string DefaultDeviceRoot();
// The same folder, only named: nothing is made.
std::string DefaultDeviceRootPath();
// The layer's own state lives here, apart from the emulated file system:
// "registry.txt", "clock.txt", "timezone.txt" and the Bluetooth neighbourhood.
// Created when missing; never reachable through the handheld's paths. Its
// files are replaced whole with RewriteHostFile.
std::string PlatformFolder();
// Host path of a handheld path, each existing part matched without regard to
// case; parts that do not exist keep the spelling given. Empty when the path
// leaves the root ("..") or is not a file path.
std::string HostPath(const std::u16string& devicePath);
// Whether two names name the same file or folder of the device root: the
// match every path above makes (letter case does not count). A list that
// marks the file the program opens by a name compares with this, so the row
// marked is the file that opens.
bool SameFileName(std::u16string_view a, std::u16string_view b);
// Of a folder's `names`, the one a path naming `name` opens: the name of that
// spelling, else the first of those that differ from it only in letter case,
// in the byte order of their UTF-8 (so the choice is stable where a folder
// holds several). Empty when none matches.
std::u16string OpenedSpelling(const std::vector<std::u16string>& names, std::u16string_view name);
// Where a file is set aside beside `devicePath`: the first of
// "<path><suffix>", "<path><suffix>2", ... up to 999 that names nothing on the
// card in any letter case, so no earlier one is ever written over. Empty,
// with the last error set, where none is free (ERROR_FILE_EXISTS) or the
// card cannot tell.
std::u16string SetAsideName(const std::u16string& devicePath, std::u16string_view suffix);

// ---- the program's own name
// GetModuleFileNameW gives the device path of the running program when it lies
// inside the device root, else "\" followed by its file name (so the folder of
// the program is then "\"). The entry code or a test may name it instead.
void SetModuleDevicePath(const std::u16string& devicePath);
std::u16string ModuleDevicePath();

// ---- whole-file rewrite
// Replaces the file with the bytes given, or leaves it untouched: the bytes go
// to a temporary file in the same folder, which is flushed and renamed over the
// old one. Returns FALSE (and sets the last error) on any failure.
BOOL RewriteFile(LPCWSTR devicePath, const void* data, size_t size);
// The same for a host path (the platform folder's own files). A read-only file
// is refused with ERROR_ACCESS_DENIED and stays as it is, as on the handheld.
BOOL RewriteHostFile(const std::string& hostPath, const void* data, size_t size);
// The same for content produced in pieces.
class FileRewrite {
public:
    explicit FileRewrite(LPCWSTR devicePath);
    ~FileRewrite();  // abandons the temporary file unless Commit succeeded
    FileRewrite(const FileRewrite&) = delete;
    FileRewrite& operator=(const FileRewrite&) = delete;
    bool Ok() const;
    bool Write(const void* data, size_t size);
    bool Commit();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A rewrite's temporary is named ".<file>.tmp<pid>-<n>". One whose writer died
// half-way (killed, power cut) is stale; every rewrite first removes the stale
// temporaries of its own folder.
//
// Removes the stale temporaries anywhere below the device root (its hidden
// platform folder included; links are not followed). The program calls it once
// at start, after the device root is set, so that leftovers in folders it will
// not write to again are gone too. Returns how many were removed.
size_t RemoveStaleTemporaries();

// ---- test hooks
// Makes file writes fail once the given number of further bytes has been
// written through WriteFile, a rewrite, a copy or a stream file (negative:
// never); the platform's own files (registry, clock) count too. For tests that
// prove a failed write leaves the old file intact.
void FailFileWritesAfter(long long bytes);

// Makes reads fail as a storage error (ERROR_READ_FAULT, EIO) once the given
// number of further bytes has been read through ReadFile or from the
// platform's own files (registry, clock, zone, neighbourhood); negative:
// never. For tests that prove a read error is not taken for an empty file.
void FailFileReadsAfter(long long bytes);

// Makes every sync fail as a storage error (EIO, ERROR_WRITE_FAULT) once the
// given number of further syncs has been made (negative: never): a
// FlushFileBuffers, a rewrite's sync of its file, and the folder syncs after
// a rename into place, a deletion and a new file's first flush. They count
// while syncs are off too (SyncFileWrites). For tests that prove a failed
// sync is reported, not taken for a durable change.
void FailFileSyncsAfter(long long syncs);

// Ends the process with SIGKILL at the nth change of the storage from now on
// (1: the next; 0 or negative: never): a write (WriteFile, a rewrite's), a
// flush or sync, a cut (SetEndOfFile), a rename or a deletion. The kill
// strikes before the change, or, with `tearWrite`, a write half-way through,
// after the first half of its bytes went out. For tests that run a change in
// a child process and prove that a kill at any point leaves it whole or
// undone.
void KillAtStorageChange(long long n, bool tearWrite = false);

// Whether flushes and rewrites wait for the storage (fsync). On by default;
// tests on a throw-away root turn it off, since durability across a host crash
// means nothing there and every sync costs milliseconds.
void SyncFileWrites(bool sync);

// What SetSystemPowerState does. The default sleeps until woken (off) or
// starts the process again with the same arguments (reset) after the shut-down
// hooks ran; other states are only recorded. nullptr: the default.
void SetPowerHandler(std::function<void(DWORD state)> handler);
// Run before a reset ends the program (flushes, closes windows), in the order
// added, then the handler. A power-off ends nothing and runs none of them.
void AddShutdownHook(std::function<void()> hook);
void ClearShutdownHooks();
// Every state passed to SetSystemPowerState, oldest first.
std::vector<DWORD> PowerStateRequests();
void ClearPowerStateRequests();

// The clock. By default the host's clock plus the program's offset. A manual
// clock is advanced only by AdvanceClock and by Sleep (which then returns at
// once), so time-dependent code runs in tests without waiting. `start` is the
// system time (UTC); GetTickCount continues from its current value. On the
// manual clock SetSystemTime and SetLocalTime move the manual clock itself and
// store no offset. Time-outs of WaitForSingleObject stay in real time.
void UseManualClock(const SYSTEMTIME& start);
void UseHostClock();
void AdvanceClock(DWORD milliseconds);
bool ManualClockActive();

// Requests recorded by the stand-in drivers ("YGI1:", "BTD0:"), oldest first.
struct DriverRequest {
    std::string device;  // "YGI1:", in upper case whatever the spelling opened
    DWORD code;
    std::string input;  // the raw input bytes
};
std::vector<DriverRequest> DriverRequests();
void ClearDriverRequests();

// Debug output goes to stderr when QAV5_DEBUG is set; tests may read it back.
// The last 200 strings are kept.
std::vector<std::u16string> DebugOutput();
void ClearDebugOutput();

}  // namespace qplat
