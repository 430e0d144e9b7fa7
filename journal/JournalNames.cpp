#include "journal/JournalNames.h"

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/FileNames.h"
#include "settings/JournalRecords.h"

namespace {

constexpr int kDiscDevice = 4;
constexpr size_t kPathChars = PROGRAM_FOLDER_CHARS + 96;

// Two digits with a leading "0" below 10; more digits as they come.
void AppendNumber(WCHAR* text, size_t chars, int n)
{
    WCHAR digits[16];
    swprintf(digits, 16, n < 10 ? u"0%d" : u"%d", n);
    wcsncat(text, digits, chars - wcslen(text) - 1);
}

}  // namespace

CJournalNames::CJournalNames()
{
    qplat::CopyField(m_path, PROGRAM_FOLDER_CHARS, m_folder.GetPath());
}

CJournalNames::~CJournalNames() = default;

LPCWSTR CJournalNames::Extension(int deviceType)
{
    return deviceType == kDiscDevice ? u".qod" : u".qav";
}

DWORD CJournalNames::RecordSize(int deviceType)
{
    return deviceType == kDiscDevice ? QOD_RECORD_SIZE : QAV_RECORD_SIZE;
}

bool CJournalNames::FilePath(WCHAR* path, size_t chars, LPCWSTR name, int deviceType) const
{
    return ComposeFilePath(path, chars, m_path, u"DB\\", name, Extension(deviceType));
}

bool CJournalNames::Exists(LPCWSTR name, int deviceType) const
{
    WCHAR path[kPathChars];
    if (!FilePath(path, kPathChars, name, deviceType)) return false;
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool CJournalNames::FileExists(LPCWSTR name, int deviceType) const
{
    WCHAR path[kPathChars];
    if (!FilePath(path, kPathChars, name, deviceType)) return false;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

LPCWSTR CJournalNames::DatePrefix()
{
    SYSTEMTIME now{};
    GetSystemTime(&now);
    swprintf(m_prefix, 16, u"wp_%02d_%02d_%02d_", now.wYear % 100, now.wMonth, now.wDay);
    return m_prefix;
}

int CJournalNames::NextJournalNumber(LPCWSTR prefix, int deviceType)
{
    if (prefix == nullptr) prefix = u"";
    int count = 0;
    WCHAR pattern[kPathChars];
    swprintf(pattern, kPathChars, u"%sDB\\%s*%s", m_path, prefix, Extension(deviceType));
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            ++count;
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    int n = count + 1;
    for (;;) {
        WCHAR candidate[JOURNAL_NAME_MAX_CHARS + 16];
        qplat::CopyField(candidate, JOURNAL_NAME_MAX_CHARS + 1, prefix);
        AppendNumber(candidate, JOURNAL_NAME_MAX_CHARS + 16, n);
        if (!FileExists(candidate, deviceType)) return n;
        ++n;
    }
}

LPCWSTR CJournalNames::NewJournalName(int deviceType)
{
    WCHAR prefix[16];
    qplat::CopyField(prefix, 16, DatePrefix());
    const int n = NextJournalNumber(prefix, deviceType);
    qplat::CopyField(m_name, JOURNAL_NAME_MAX_CHARS + 1, prefix);
    AppendNumber(m_name, JOURNAL_NAME_MAX_CHARS + 1, n);
    return m_name;
}

bool CJournalNames::IsUsableName(LPCWSTR name)
{
    return IsValidFileName(name, JOURNAL_NAME_MAX_CHARS);
}

int CJournalNames::CreateJournal(LPCWSTR name, int deviceType)
{
    WCHAR path[kPathChars];
    if (!IsUsableName(name) || !FilePath(path, kPathChars, name, deviceType)) return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    // Flushed, so that its folder keeps the new name; one that cannot be is
    // not made.
    const BOOL kept = FlushFileBuffers(file);
    CloseHandle(file);
    if (!kept) DeleteFileW(path);
    return kept ? 1 : 0;
}

WCHAR* CJournalNames::CutExtension(WCHAR* text)
{
    if (text == nullptr) return text;
    const size_t length = wcslen(text);
    if (length >= static_cast<size_t>(JOURNAL_EXTENSION_CHARS)) {
        WCHAR* tail = text + length - JOURNAL_EXTENSION_CHARS;
        if (_wcsicmp(tail, u".qav") == 0 || _wcsicmp(tail, u".qod") == 0) *tail = 0;
    }
    return text;
}
