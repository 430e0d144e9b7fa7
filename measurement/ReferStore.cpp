// Reference-profile files. The name line is kept in the 8-bit code page of the
// program's other text files, and read back with the same code page, so names
// in any of its letters survive a save and a load.
#include "measurement/ReferStore.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/FileNames.h"

namespace {

// Bytes of a reference file worth reading: 5800 point lines of the widest
// numbers fit well inside; anything beyond is not a reference profile.
constexpr DWORD kMaxReferFileBytes = 1u << 20;
// A name needs no more than its first line's first 100 bytes.
constexpr DWORD kNameBytes = 128;

// Reads up to `limit` bytes of an open file, bounded by its size.
std::vector<BYTE> ReadHead(HANDLE file, DWORD limit)
{
    std::vector<BYTE> bytes;
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || size == 0) {
        return bytes;
    }
    bytes.resize(size < limit ? size : limit);
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
        got = 0;
    }
    bytes.resize(got);
    return bytes;
}

// For reading only, so the references of a write-protected card are listed and
// loaded all the same.
HANDLE OpenForReading(LPCWSTR path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Whether the name reads back as written through the 8-bit code page of the
// name line; a letter the code page lacks would load under another name.
bool SurvivesCodePage(LPCWSTR name)
{
    const std::u16string_view text(name, wcslen(name));
    return qplat::FromCodePage(qplat::ToCodePage(text)) == text;
}

// The first line of a file (the bytes before the first CR), at most maxChars.
void NameLine(const std::vector<BYTE>& bytes, WCHAR* out, size_t maxChars)
{
    size_t n = 0;
    while (n < bytes.size() && n < maxChars && bytes[n] != '\r') {
        out[n] = qplat::FromCodePageChar(bytes[n]);
        ++n;
    }
    out[n] = 0;
}

bool Compose(WCHAR* path, size_t chars, LPCWSTR folder, LPCWSTR tail)
{
    const size_t a = wcslen(folder), b = wcslen(tail);
    if (a + b + 1 > chars) {
        return false;
    }
    wcscpy(path, folder);
    wcscat(path, tail);
    return true;
}

}  // namespace

CReferStore::CReferStore()
{
    qplat::CopyField(m_path, PROGRAM_FOLDER_CHARS, m_folder.GetPath());
}

CReferStore::~CReferStore() = default;

void CReferStore::FolderOf(int deviceType, WCHAR* folder, size_t chars) const
{
    folder[0] = 0;
    Compose(folder, chars, m_path, deviceType == 4 ? u"Refer_QOD\\" : u"Refer\\");
}

int CReferStore::Write(HWND /*owner*/, LPCWSTR profileName, const ProfilePoint* points, DWORD count, int deviceType)
{
    return Write(profileName, points, count, deviceType);
}

int CReferStore::Write(LPCWSTR profileName, const ProfilePoint* points, DWORD count, int deviceType)
{
    if (!IsValidFileName(profileName, kReferNameChars - 5) || !SurvivesCodePage(profileName) ||
        (points == nullptr && count > 0)) {
        return 0;
    }
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16);
    WCHAR path[PROGRAM_FOLDER_CHARS + 128];
    if (!ComposeFilePath(path, PROGRAM_FOLDER_CHARS + 128, folder, nullptr, profileName, u".ref")) {
        return 0;
    }
    std::string text = qplat::ToCodePage(std::u16string_view(profileName, wcslen(profileName)));
    text += "\r\n";
    const DWORD n = count > kMaxProfilePoints ? kMaxProfilePoints : count;
    char line[32];
    for (DWORD i = 0; i < n; ++i) {
        if (points[i].x == 0 && points[i].z == 0) {
            break;
        }
        // The comparison walks a reference by rising x: a profile that turns
        // back or stands still in x is not one, and is not stored.
        if (i > 0 && points[i].x <= points[i - 1].x) {
            return 0;
        }
        qplat_snprintf(line, sizeof(line), "%d;%d\r\n", static_cast<int>(points[i].x), static_cast<int>(points[i].z));
        text += line;
    }
    // Replaced whole or not at all: a failed save keeps the reference that was
    // there.
    return qplat::RewriteFile(path, text.data(), text.size()) ? 1 : 0;
}

void CReferStore::List(int deviceType)
{
    m_count = 0;
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16);
    WCHAR pattern[PROGRAM_FOLDER_CHARS + 32];
    if (!Compose(pattern, PROGRAM_FOLDER_CHARS + 32, folder, u"*.ref")) {
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) {
        find = FindFirstFileW(pattern, &found);
    }
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        WCHAR path[PROGRAM_FOLDER_CHARS + 16 + MAX_PATH];
        if (!Compose(path, PROGRAM_FOLDER_CHARS + 16 + MAX_PATH, folder, found.cFileName)) {
            continue;
        }
        HANDLE file = OpenForReading(path);
        if (file == INVALID_HANDLE_VALUE) {
            file = OpenForReading(path);
        }
        if (file == INVALID_HANDLE_VALUE) {
            continue;  // not listed, as Load passes it by; the rest still are
        }
        const std::vector<BYTE> head = ReadHead(file, kNameBytes);
        CloseHandle(file);
        ReferEntry& row = m_entries[m_count];
        std::memset(&row, 0, sizeof(row));
        qplat::CopyField(row.fileName, kReferNameChars, found.cFileName);
        WCHAR name[kReferNameChars];
        NameLine(head, name, kReferNameChars - 1);
        qplat::CopyField(row.profileName, kReferNameChars, m_language.MapFileName(name));
        m_listed[m_count] = ListedFileOf(found);
        ++m_count;
    } while (m_count < kMaxReferEntries && FindNextFileW(find, &found));
    FindClose(find);
}

ListedFile CReferStore::Listed(LPCWSTR fileName) const
{
    for (DWORD i = 0; i < m_count && fileName != nullptr; ++i)
        if (wcsncmp(m_entries[i].fileName, fileName, kReferNameChars) == 0) return m_listed[i];
    return ListedFile();
}

int CReferStore::Load(LPCWSTR profileName, ProfilePoint* points, DWORD* count, int deviceType)
{
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16);
    WCHAR pattern[PROGRAM_FOLDER_CHARS + 32];
    if (!Compose(pattern, PROGRAM_FOLDER_CHARS + 32, folder, u"*.ref")) {
        return 0;
    }
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    std::vector<BYTE> bytes;
    bool taken = false;
    do {
        WCHAR path[PROGRAM_FOLDER_CHARS + 16 + MAX_PATH];
        if (!Compose(path, PROGRAM_FOLDER_CHARS + 16 + MAX_PATH, folder, found.cFileName)) {
            continue;
        }
        HANDLE file = OpenForReading(path);
        if (file == INVALID_HANDLE_VALUE) {
            continue;  // reads as an empty file, which carries no name
        }
        bytes = ReadHead(file, kMaxReferFileBytes);
        CloseHandle(file);
        WCHAR name[kReferLoadNameChars + 1];
        NameLine(bytes, name, kReferLoadNameChars);
        if (profileName != nullptr && wcscmp(name, profileName) == 0) {
            taken = true;
        }
    } while (!taken && FindNextFileW(find, &found));
    FindClose(find);
    if (!taken || points == nullptr || count == nullptr) {
        return 1;
    }
    ParseReferPoints(bytes.data(), bytes.size(), points, count);
    return 1;
}

void ParseReferPoints(const BYTE* bytes, size_t size, ProfilePoint* points, DWORD* count)
{
    std::memset(points, 0, kMaxProfilePoints * sizeof(ProfilePoint));
    // Points begin on the line after the name, however long the name line is.
    size_t at = 0;
    while (at < size && bytes[at] != '\r') {
        ++at;
    }
    at += 2;
    DWORD k = 0;
    WCHAR text[24];
    size_t used = 0;
    for (; at < size && k < kMaxProfilePoints; ++at) {
        const BYTE b = bytes[at];
        if (b == ';') {
            text[used] = 0;
            points[k].x = _wtol(text);
            used = 0;
        } else if (b == '\r') {
            text[used] = 0;
            points[k].z = _wtol(text);
            used = 0;
            ++k;
            ++at;  // the LF of the CR LF
        } else if (used + 1 < sizeof(text) / sizeof(text[0])) {
            text[used++] = static_cast<WCHAR>(b);
        }
    }
    // A last line without its CR is not a point.
    if (k < kMaxProfilePoints) {
        points[k] = {0, 0};
    }
    *count = k;
}

int CReferStore::Exists(LPCWSTR fileName, int deviceType)
{
    if (!IsValidFileName(fileName, kReferNameChars - 5)) {
        return 0;
    }
    WCHAR folder[PROGRAM_FOLDER_CHARS + 16];
    FolderOf(deviceType, folder, PROGRAM_FOLDER_CHARS + 16);
    WCHAR path[PROGRAM_FOLDER_CHARS + 128];
    if (!ComposeFilePath(path, PROGRAM_FOLDER_CHARS + 128, folder, nullptr, fileName, u".ref")) {
        return 0;
    }
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}
