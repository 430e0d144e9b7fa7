#include "settings/ProgramFolder.h"

#include "platform/WinKernel.h"
#include "platform/WinText.h"

namespace {

// The registry value is a REG_SZ of at most 256 bytes.
constexpr DWORD FOLDER_VALUE_BYTES = 256;

// The card's folder, or an empty text when it cannot be read. The stored value
// need not carry its terminator, so its length is bounded by what was read.
void ReadCardFolder(WCHAR* folder, size_t folderChars)
{
    folder[0] = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    WCHAR value[FOLDER_VALUE_BYTES / sizeof(WCHAR)] = {};
    DWORD type = 0;
    DWORD size = FOLDER_VALUE_BYTES;
    const LONG rc = RegQueryValueExW(key, PROGRAM_FOLDER_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return;
    const size_t stored = size / sizeof(WCHAR);
    const size_t len = wcsnlen(value, stored < FOLDER_VALUE_BYTES / sizeof(WCHAR) ? stored : FOLDER_VALUE_BYTES / sizeof(WCHAR));
    size_t n = len < folderChars - 1 ? len : folderChars - 1;
    for (size_t i = 0; i < n; ++i)
        folder[i] = value[i];
    folder[n] = 0;
}

}  // namespace

const WCHAR* CProgramFolder::GetPath()
{
    WCHAR card[FOLDER_VALUE_BYTES / sizeof(WCHAR) + 1];
    ReadCardFolder(card, sizeof(card) / sizeof(card[0]));
    // "\SDMMC\" and "\SDMMC" name the same folder: never double the separator.
    size_t len = wcslen(card);
    if (len > 0 && card[len - 1] == u'\\')
        card[len - 1] = 0;
    swprintf(m_path, PROGRAM_FOLDER_CHARS, u"%s%s", card, u"\\Autorun\\");
    return m_path;
}
