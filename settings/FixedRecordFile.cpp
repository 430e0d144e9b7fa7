#include "settings/FixedRecordFile.h"

#include <climits>

#include "platform/WinKernel.h"

namespace {

// ReadFile and WriteFile move at most a DWORD of bytes per call; whole files
// of the card stay far below this, but a count read from a file is not trusted
// to.
constexpr unsigned long long kMaxChunk = 0x40000000ull;

}  // namespace

CFixedRecordFile::CFixedRecordFile(DWORD recordSize) : m_recordSize(recordSize), m_file(nullptr) {}

CFixedRecordFile::~CFixedRecordFile() { Close(); }

bool CFixedRecordFile::IsOpen() const { return m_file != nullptr && m_file != INVALID_HANDLE_VALUE; }

int CFixedRecordFile::Open(LPCWSTR path)
{
    return OpenAs(path, GENERIC_READ | GENERIC_WRITE);
}

int CFixedRecordFile::OpenAs(LPCWSTR path, DWORD access)
{
    if (IsOpen()) Close();
    if (path == nullptr || path[0] == 0) return 0;
    m_file = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen() ? 1 : 0;
}

void CFixedRecordFile::Close()
{
    if (IsOpen()) {
        if (!CloseHandle(m_file)) OutputDebugStringW(u"Error CloseHandle!");
    }
    m_file = nullptr;
}

bool CFixedRecordFile::SeekByte(unsigned long long offset)
{
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(m_file, static_cast<LONG>(offset & 0xFFFFFFFFull), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    return low == static_cast<DWORD>(offset & 0xFFFFFFFFull);
}

int CFixedRecordFile::Seek(int index)
{
    if (!IsOpen() || index < 0) return 0;
    return SeekByte(static_cast<unsigned long long>(index) * m_recordSize) ? 1 : 0;
}

long long CFixedRecordFile::HeldCount()
{
    if (m_recordSize == 0) return -1;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(m_file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    const unsigned long long size = (static_cast<unsigned long long>(high) << 32) | low;
    const unsigned long long count = size / m_recordSize;
    return count > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<long long>(count);
}

bool CFixedRecordFile::ReadBytes(void* buffer, unsigned long long size)
{
    BYTE* out = static_cast<BYTE*>(buffer);
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
        DWORD got = 0;
        if (!ReadFile(m_file, out, want, &got, nullptr) || got == 0 || got > want) return false;
        out += got;
        size -= got;
    }
    return true;
}

bool CFixedRecordFile::WriteBytes(const void* buffer, unsigned long long size)
{
    const BYTE* in = static_cast<const BYTE*>(buffer);
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
        DWORD put = 0;
        if (!WriteFile(m_file, in, want, &put, nullptr) || put == 0 || put > want) return false;
        in += put;
        size -= put;
    }
    return true;
}

int CFixedRecordFile::GetCount(LPCWSTR path)
{
    if (!OpenAs(path, GENERIC_READ)) return -1;
    const long long count = HeldCount();
    Close();
    return static_cast<int>(count);
}

int CFixedRecordFile::ReadAll(LPCWSTR path, void* buffer, int capacity)
{
    if (capacity < 0 || (buffer == nullptr && capacity > 0)) return 0;
    if (!OpenAs(path, GENERIC_READ)) return 0;
    int result = 0;
    const long long count = HeldCount();
    if (count >= 0) {
        const long long n = count < capacity ? count : capacity;
        result = (SeekByte(0) && ReadBytes(buffer, static_cast<unsigned long long>(n) * m_recordSize)) ? 1 : 0;
    }
    Close();
    return result;
}

int CFixedRecordFile::ReadRecord(LPCWSTR path, int index, void* record)
{
    if (record == nullptr || index < 0) return 0;
    if (!OpenAs(path, GENERIC_READ)) return 0;
    const int result = (Seek(index) && ReadBytes(record, m_recordSize)) ? 1 : 0;
    Close();
    return result;
}

int CFixedRecordFile::Append(LPCWSTR path, const void* record)
{
    if (record == nullptr) return 0;
    if (!Open(path)) return 0;
    int result = 0;
    const long long count = HeldCount();
    if (count >= 0 && count < INT_MAX) {
        result = (SeekByte(static_cast<unsigned long long>(count) * m_recordSize) &&
                  WriteBytes(record, m_recordSize) && FlushFileBuffers(m_file))
                     ? 1
                     : 0;
    }
    Close();
    return result;
}

int CFixedRecordFile::AppendAll(LPCWSTR path, const void* const* records, int n)
{
    if (records == nullptr || n < 1) return 0;
    for (int i = 0; i < n; ++i)
        if (records[i] == nullptr) return 0;
    if (!Open(path)) return 0;
    int result = 0;
    const long long count = HeldCount();
    if (count >= 0 && count <= INT_MAX - n) {
        const unsigned long long end = static_cast<unsigned long long>(count) * m_recordSize;
        bool whole = SeekByte(end);
        for (int i = 0; whole && i < n; ++i)
            whole = WriteBytes(records[i], m_recordSize);
        whole = whole && FlushFileBuffers(m_file);
        if (whole) {
            result = 1;
        } else if (SeekByte(end)) {
            // What did get written goes again: a first record alone would
            // read back as stored.
            SetEndOfFile(m_file);
            FlushFileBuffers(m_file);
        }
    }
    Close();
    return result;
}

int CFixedRecordFile::Truncate(LPCWSTR path, int count)
{
    if (count < 0) return 0;
    // Opening creates a missing file; cutting one back must never make one.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
    if (!Open(path)) return 0;
    int result = 0;
    const long long held = HeldCount();
    if (held >= 0 && held < count) {
        result = 1;
    } else if (held >= count) {
        // Also what a failed append left of a record after them.
        result = (SeekByte(static_cast<unsigned long long>(count) * m_recordSize) && SetEndOfFile(m_file) &&
                  FlushFileBuffers(m_file))
                     ? 1
                     : 0;
    }
    Close();
    return result;
}

int CFixedRecordFile::WriteAll(LPCWSTR path, const void* records, int n)
{
    if (records == nullptr || n < 0 || path == nullptr || path[0] == 0) return 0;
    Close();
    // Rewriting a missing file fails, as deleting it first would.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
    const size_t bytes = static_cast<size_t>(n) * m_recordSize;
    return qplat::RewriteFile(path, records, bytes) ? 1 : 0;
}

int CFixedRecordFile::ReplaceRecord(LPCWSTR path, const void* record, int index)
{
    if (record == nullptr || index < 0) return 0;
    // Never create the file here: replacing in a missing file has nothing to
    // replace.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
    if (!Open(path)) return 0;
    int result = 0;
    const long long count = HeldCount();
    if (count >= 0 && index < count) {
        result = (Seek(index) && WriteBytes(record, m_recordSize) && FlushFileBuffers(m_file)) ? 1 : 0;
    }
    Close();
    return result;
}

int CFixedRecordFile::Delete(LPCWSTR path)
{
    Close();
    if (path == nullptr || path[0] == 0) return 0;
    return DeleteFileW(path) ? 1 : 0;
}
