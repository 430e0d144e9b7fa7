#include "settings/FixedRecordFile.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"

namespace {

// ReadFile and WriteFile move at most a DWORD of bytes per call; whole files
// of the card stay far below this, but a count read from a file is not trusted
// to.
constexpr unsigned long long kMaxChunk = 0x40000000ull;

// The roll-back file of a group of changes, little-endian:
//    0  8 bytes  kRollBackMagic
//    8  u32      record size of the file it belongs to
//   12  u32      number of pieces
//   16  u64      length of the file before the group
//   24  u64      its length once the group is written
//   32           the pieces: u64 offset, u32 length, then that many old bytes
//   end u32      FNV-1a of every byte before it
// The pieces are the records the group overwrites and the torn tail its
// appends take over, all below the old length.
constexpr BYTE kRollBackMagic[8] = {'R', 'E', 'C', 'U', 'N', 'D', 'O', '1'};
constexpr size_t kRollBackHead = 32;
constexpr size_t kPieceHead = 12;
constexpr size_t kChecksumBytes = 4;
constexpr int kMaxPieces = CFixedRecordFile::kMaxGroup + 1;

void PutLE(std::vector<BYTE>& out, unsigned long long value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

unsigned long long GetLE(const BYTE* in, int bytes)
{
    unsigned long long value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[i];
    return value;
}

uint32_t Checksum(const BYTE* bytes, size_t size)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 16777619u;
    return h;
}

size_t MaxRollBackSize(DWORD recordSize)
{
    return kRollBackHead + static_cast<size_t>(kMaxPieces) * (kPieceHead + recordSize) + kChecksumBytes;
}

struct Piece {
    unsigned long long offset;
    DWORD length;
    const BYTE* bytes;
};

struct RollBack {
    unsigned long long oldLength = 0;
    unsigned long long newLength = 0;
    int count = 0;
    Piece pieces[kMaxPieces] = {};
};

// Whether `bytes` is a whole roll-back of a file of `recordSize`-byte records.
bool ParseRollBack(const std::vector<BYTE>& bytes, DWORD recordSize, RollBack* out)
{
    const size_t size = bytes.size();
    if (size < kRollBackHead + kChecksumBytes || size > MaxRollBackSize(recordSize)) return false;
    const BYTE* b = bytes.data();
    if (std::memcmp(b, kRollBackMagic, sizeof kRollBackMagic) != 0) return false;
    if (GetLE(b + size - kChecksumBytes, 4) != Checksum(b, size - kChecksumBytes)) return false;
    if (GetLE(b + 8, 4) != recordSize) return false;
    const unsigned long long count = GetLE(b + 12, 4);
    out->oldLength = GetLE(b + 16, 8);
    out->newLength = GetLE(b + 24, 8);
    if (count > static_cast<unsigned long long>(kMaxPieces) || out->newLength < out->oldLength ||
        out->newLength - out->oldLength > static_cast<unsigned long long>(CFixedRecordFile::kMaxGroup) * recordSize)
        return false;
    out->count = static_cast<int>(count);
    size_t at = kRollBackHead;
    const size_t end = size - kChecksumBytes;
    for (int i = 0; i < out->count; ++i) {
        if (end - at < kPieceHead) return false;
        Piece& p = out->pieces[i];
        p.offset = GetLE(b + at, 8);
        const unsigned long long length = GetLE(b + at + 8, 4);
        at += kPieceHead;
        if (length == 0 || length > recordSize || length > end - at || p.offset > out->oldLength ||
            length > out->oldLength - p.offset)
            return false;
        p.length = static_cast<DWORD>(length);
        p.bytes = b + at;
        at += p.length;
    }
    return at == end;
}

// Reads a file of at most maxSize bytes whole: 1 read, -1 not such a file
// (larger, or shorter than it said), 0 it could not be read at all.
int ReadSmallFile(LPCWSTR path, size_t maxSize, std::vector<BYTE>* out)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int result = 0;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file, &high);
    if (low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR) {
        result = -1;
        if (high == 0 && low <= maxSize) {
            out->assign(low, 0);
            DWORD got = 0;
            if (low == 0) {
                result = 1;
            } else if (!ReadFile(file, out->data(), low, &got, nullptr)) {
                result = 0;
            } else if (got == low) {
                result = 1;
            }
        }
    }
    CloseHandle(file);
    return result;
}

bool IsFile(LPCWSTR path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Removes the roll-back file of `path`, if there is one.
void DropRollBack(LPCWSTR path)
{
    const std::u16string rollBack = CFixedRecordFile::RollBackPath(path);
    if (IsFile(rollBack.c_str())) DeleteFileW(rollBack.c_str());
}

}  // namespace

std::u16string CFixedRecordFile::RollBackPath(LPCWSTR path)
{
    return std::u16string(path == nullptr ? u"" : path) + u".undo";
}

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

long long CFixedRecordFile::HeldSize()
{
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(m_file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    return static_cast<long long>((static_cast<unsigned long long>(high) << 32) | low);
}

long long CFixedRecordFile::HeldCount()
{
    if (m_recordSize == 0) return -1;
    const long long held = HeldSize();
    if (held < 0) return -1;
    const unsigned long long count = static_cast<unsigned long long>(held) / m_recordSize;
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
    if (records == nullptr || n < 1 || n > kMaxGroup) return 0;
    Change changes[kMaxGroup];
    for (int i = 0; i < n; ++i) changes[i] = Change{records[i], kAppend};
    return WriteGroup(path, changes, n);
}

int CFixedRecordFile::WriteGroup(LPCWSTR path, const Change* changes, int n)
{
    if (changes == nullptr || n < 1 || n > kMaxGroup || path == nullptr || path[0] == 0 || m_recordSize == 0)
        return 0;
    int appends = 0;
    bool replaces = false;
    for (int i = 0; i < n; ++i) {
        if (changes[i].record == nullptr || changes[i].index < kAppend) return 0;
        if (changes[i].index == kAppend)
            ++appends;
        else
            replaces = true;
    }
    Close();
    // A replace has nothing to replace in a missing file: never create one.
    if (replaces && !IsFile(path)) return 0;
    // What an earlier group left half-done goes first: its roll-back file
    // would be overwritten by this group's.
    if (!RollBackCutOff(path)) return 0;
    if (!Open(path)) return 0;
    const long long held = HeldSize();
    const unsigned long long size = held < 0 ? 0 : static_cast<unsigned long long>(held);
    const unsigned long long count = size / m_recordSize;
    bool fits = held >= 0 && count <= static_cast<unsigned long long>(INT_MAX - appends);
    for (int i = 0; fits && i < n; ++i)
        fits = changes[i].index == kAppend || static_cast<unsigned long long>(changes[i].index) < count;
    if (!fits) {
        Close();
        return 0;
    }
    const unsigned long long end = count * m_recordSize;

    // The roll-back: the old length and every byte the group overwrites.
    std::vector<BYTE> rollBack(kRollBackMagic, kRollBackMagic + sizeof kRollBackMagic);
    PutLE(rollBack, m_recordSize, 4);
    const bool tornTail = appends > 0 && size > end;
    int pieces = tornTail ? 1 : 0;
    for (int i = 0; i < n; ++i) pieces += changes[i].index == kAppend ? 0 : 1;
    PutLE(rollBack, static_cast<unsigned long long>(pieces), 4);
    PutLE(rollBack, size, 8);
    PutLE(rollBack, appends > 0 ? end + static_cast<unsigned long long>(appends) * m_recordSize : size, 8);
    bool saved = true;
    auto savePiece = [&](unsigned long long offset, DWORD length) {
        PutLE(rollBack, offset, 8);
        PutLE(rollBack, length, 4);
        const size_t at = rollBack.size();
        rollBack.resize(at + length);
        saved = saved && SeekByte(offset) && ReadBytes(rollBack.data() + at, length);
    };
    for (int i = 0; i < n; ++i)
        if (changes[i].index != kAppend)
            savePiece(static_cast<unsigned long long>(changes[i].index) * m_recordSize, m_recordSize);
    if (tornTail) savePiece(end, static_cast<DWORD>(size - end));
    PutLE(rollBack, Checksum(rollBack.data(), rollBack.size()), 4);
    const std::u16string rollBackPath = RollBackPath(path);
    if (!saved || !qplat::RewriteFile(rollBackPath.c_str(), rollBack.data(), rollBack.size())) {
        Close();
        return 0;
    }

    bool whole = true;
    if (appends == 1) {
        for (int i = 0; i < n; ++i)
            if (changes[i].index == kAppend) whole = SeekByte(end) && WriteBytes(changes[i].record, m_recordSize);
    } else if (appends > 1) {
        std::vector<BYTE> appended(static_cast<size_t>(appends) * m_recordSize);
        size_t at = 0;
        for (int i = 0; i < n; ++i) {
            if (changes[i].index != kAppend) continue;
            std::memcpy(appended.data() + at, changes[i].record, m_recordSize);
            at += m_recordSize;
        }
        whole = SeekByte(end) && WriteBytes(appended.data(), appended.size());
    }
    for (int i = 0; whole && i < n; ++i) {
        if (changes[i].index == kAppend) continue;
        whole = Seek(changes[i].index) && WriteBytes(changes[i].record, m_recordSize);
    }
    whole = whole && FlushFileBuffers(m_file);
    Close();
    if (whole && DeleteFileW(rollBackPath.c_str())) return 1;
    RollBackCutOff(path);
    return 0;
}

int CFixedRecordFile::RollBackCutOff(LPCWSTR path)
{
    if (path == nullptr || path[0] == 0) return 0;
    Close();
    const std::u16string rollBackPath = RollBackPath(path);
    const DWORD attributes = GetFileAttributesW(rollBackPath.c_str());
    // Nothing pending; and a folder of that name is no roll-back of ours to
    // apply or remove.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 1;
    std::vector<BYTE> bytes;
    const int read = ReadSmallFile(rollBackPath.c_str(), MaxRollBackSize(m_recordSize), &bytes);
    if (read == 0) return 0;
    RollBack undo;
    if (read == 1 && ParseRollBack(bytes, m_recordSize, &undo) && IsFile(path)) {
        if (!Open(path)) return 0;
        const long long held = HeldSize();
        // Between the old and the new length is where the group's writes
        // leave the file; any other length means the file changed since (a
        // roll-back that was never removed), and its old bytes would only
        // damage it.
        if (held >= 0 && static_cast<unsigned long long>(held) >= undo.oldLength &&
            static_cast<unsigned long long>(held) <= undo.newLength) {
            // The cut first: it needs no room on the card.
            bool undone = SeekByte(undo.oldLength) && SetEndOfFile(m_file);
            for (int i = undo.count - 1; undone && i >= 0; --i)
                undone = SeekByte(undo.pieces[i].offset) && WriteBytes(undo.pieces[i].bytes, undo.pieces[i].length);
            undone = undone && FlushFileBuffers(m_file);
            Close();
            if (!undone) return 0;
        }
        Close();
    }
    return DeleteFileW(rollBackPath.c_str()) ? 1 : 0;
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
    if (!qplat::RewriteFile(path, records, bytes)) return 0;
    DropRollBack(path);
    return 1;
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
    if (!DeleteFileW(path)) return 0;
    DropRollBack(path);
    return 1;
}
