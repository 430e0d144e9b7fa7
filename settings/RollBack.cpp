#include "settings/RollBack.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/WinKernel.h"
#include "platform/WinText.h"

namespace {

// ReadFile and WriteFile move at most a DWORD of bytes per call; whole files
// of the card stay far below this, but a count read from a file is not
// trusted to.
constexpr unsigned long long kMaxChunk = 0x40000000ull;

// The roll-back file, little-endian:
//    0  8 bytes  kMagic
//    8  u32      record size of the file it belongs to
//   12  u32      number of ranges
//   16  u64      length of the file before the group
//   24  u64      its length once the group is written
//   32           the ranges: u64 offset, u32 length, u32 old count, the
//                old bytes (old count of them), the new bytes (length)
//   end u32      FNV-1a of every byte before it
// A range's old bytes are the file's before the group; where it runs past
// the old end (the appends) it has fewer old bytes than new ones.
constexpr BYTE kMagic[8] = {'R', 'E', 'C', 'U', 'N', 'D', 'O', '2'};
constexpr size_t kHead = 32;
constexpr size_t kRangeHead = 16;
constexpr size_t kChecksumBytes = 4;

void PutLE(std::vector<BYTE>& out, unsigned long long value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

void SetLE(BYTE* at, unsigned long long value, int bytes)
{
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
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

struct Range {
    unsigned long long offset;
    DWORD length;
    DWORD oldCount;
    const BYTE* oldBytes;
    const BYTE* newBytes;
};

struct Parsed {
    unsigned long long oldLength = 0;
    unsigned long long newLength = 0;
    int count = 0;
    Range ranges[CRollBack::kMaxRanges] = {};
};

// Whether `bytes` is a whole roll-back of a file of `recordSize`-byte records
// whose ranges leave no byte of the file unaccounted for.
bool Parse(const std::vector<BYTE>& bytes, DWORD recordSize, Parsed* out)
{
    const size_t size = bytes.size();
    if (size < kHead + kChecksumBytes || size > CRollBack::MaxSize(recordSize)) return false;
    const BYTE* b = bytes.data();
    if (std::memcmp(b, kMagic, sizeof kMagic) != 0) return false;
    if (GetLE(b + size - kChecksumBytes, 4) != Checksum(b, size - kChecksumBytes)) return false;
    if (GetLE(b + 8, 4) != recordSize) return false;
    const unsigned long long count = GetLE(b + 12, 4);
    const unsigned long long most = static_cast<unsigned long long>(CRollBack::kMaxRecords) * recordSize;
    out->oldLength = GetLE(b + 16, 8);
    out->newLength = GetLE(b + 24, 8);
    if (count > static_cast<unsigned long long>(CRollBack::kMaxRanges) || out->newLength < out->oldLength ||
        out->newLength - out->oldLength > most)
        return false;
    out->count = static_cast<int>(count);
    size_t at = kHead;
    const size_t end = size - kChecksumBytes;
    bool grownCovered = out->newLength == out->oldLength;
    for (int i = 0; i < out->count; ++i) {
        if (end - at < kRangeHead) return false;
        Range& r = out->ranges[i];
        r.offset = GetLE(b + at, 8);
        const unsigned long long length = GetLE(b + at + 8, 4);
        const unsigned long long oldCount = GetLE(b + at + 12, 4);
        at += kRangeHead;
        if (length == 0 || length > most || oldCount > length || r.offset > out->oldLength ||
            oldCount > out->oldLength - r.offset || length > out->newLength - r.offset ||
            oldCount + length > end - at)
            return false;
        // Bytes of the old file that a range overwrites without keeping
        // them could not be checked nor put back.
        if (oldCount != length && r.offset + oldCount != out->oldLength) return false;
        r.length = static_cast<DWORD>(length);
        r.oldCount = static_cast<DWORD>(oldCount);
        r.oldBytes = b + at;
        r.newBytes = b + at + oldCount;
        at += oldCount + length;
        if (r.offset <= out->oldLength && r.offset + r.length == out->newLength) grownCovered = true;
        for (int k = 0; k < i; ++k) {
            const Range& o = out->ranges[k];
            if (r.offset < o.offset + o.length && o.offset < r.offset + r.length) return false;
        }
    }
    return at == end && grownCovered;
}

// Reads a file of at most maxSize bytes whole: 1 read, -1 not such a file
// (larger, or shorter than it said), 0 it could not be read at all.
int ReadSmallFile(LPCWSTR path, size_t maxSize, std::vector<BYTE>* out)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int result = 0;
    const long long size = filebytes::Size(file);
    if (size >= 0) {
        result = -1;
        if (static_cast<unsigned long long>(size) <= maxSize) {
            out->assign(static_cast<size_t>(size), 0);
            result = filebytes::Read(file, out->data(), out->size()) ? 1 : 0;
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

void Say(const std::u16string& rollBack, const char* what)
{
    std::fprintf(stderr, "Qav5_PA: %s: %s\n", qplat::ToUtf8(rollBack).c_str(), what);
}

enum class State { LeftByGroup, Other, Unreadable };

// Whether the file is in a state the cut-off group could have left; `atOld`
// tells whether it is still as it was before the group. A file that cannot
// be read is neither: its roll-back must stay.
State StateOf(HANDLE file, const Parsed& undo, bool* atOld)
{
    const long long held = filebytes::Size(file);
    if (held < 0) return State::Unreadable;
    const unsigned long long length = static_cast<unsigned long long>(held);
    if (length < undo.oldLength || length > undo.newLength) return State::Other;
    *atOld = length == undo.oldLength;
    std::vector<BYTE> now;
    for (int i = 0; i < undo.count; ++i) {
        const Range& r = undo.ranges[i];
        if (length <= r.offset) continue;
        const unsigned long long present = length - r.offset < r.length ? length - r.offset : r.length;
        now.resize(static_cast<size_t>(present));
        if (!filebytes::SeekTo(file, r.offset) || !filebytes::Read(file, now.data(), present))
            return State::Unreadable;
        for (size_t k = 0; k < now.size(); ++k) {
            const bool old = k < r.oldCount && now[k] == r.oldBytes[k];
            if (!old && now[k] != r.newBytes[k]) return State::Other;
            if (!old) *atOld = false;
        }
    }
    return State::LeftByGroup;
}

// Puts the file back as it was before the group: the cut first, which needs
// no room on the card, then the old bytes.
bool PutBack(LPCWSTR path, const Parsed& undo)
{
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool undone = filebytes::SeekTo(file, undo.oldLength) && SetEndOfFile(file);
    for (int i = undo.count - 1; undone && i >= 0; --i) {
        const Range& r = undo.ranges[i];
        if (r.oldCount > 0) undone = filebytes::SeekTo(file, r.offset) && filebytes::Write(file, r.oldBytes, r.oldCount);
    }
    undone = undone && FlushFileBuffers(file);
    return CloseHandle(file) && undone;
}

}  // namespace

namespace filebytes {

long long Size(HANDLE file)
{
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    return static_cast<long long>((static_cast<unsigned long long>(high) << 32) | low);
}

bool SeekTo(HANDLE file, unsigned long long offset)
{
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFull), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    return low == static_cast<DWORD>(offset & 0xFFFFFFFFull);
}

bool Read(HANDLE file, void* buffer, unsigned long long size)
{
    BYTE* out = static_cast<BYTE*>(buffer);
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
        DWORD got = 0;
        if (!ReadFile(file, out, want, &got, nullptr) || got == 0 || got > want) return false;
        out += got;
        size -= got;
    }
    return true;
}

bool Write(HANDLE file, const void* buffer, unsigned long long size)
{
    const BYTE* in = static_cast<const BYTE*>(buffer);
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
        DWORD put = 0;
        if (!WriteFile(file, in, want, &put, nullptr) || put == 0 || put > want) return false;
        in += put;
        size -= put;
    }
    return true;
}

}  // namespace filebytes

std::u16string CRollBack::PathOf(LPCWSTR file)
{
    return std::u16string(file == nullptr ? u"" : file) + u".undo";
}

size_t CRollBack::MaxSize(DWORD recordSize)
{
    // New bytes of kMaxRecords records; old bytes of as many replaced ones
    // and of the torn tail the appends take over, less than one more.
    return kHead + static_cast<size_t>(kMaxRanges) * kRangeHead +
           static_cast<size_t>(2 * kMaxRecords + 1) * recordSize + kChecksumBytes;
}

CRollBack::CRollBack(DWORD recordSize, unsigned long long oldLength, unsigned long long newLength)
    : m_bytes(kMagic, kMagic + sizeof kMagic)
{
    PutLE(m_bytes, recordSize, 4);
    PutLE(m_bytes, 0, 4);
    PutLE(m_bytes, oldLength, 8);
    PutLE(m_bytes, newLength, 8);
}

void CRollBack::AddRange(unsigned long long offset, const BYTE* oldBytes, DWORD oldCount, const BYTE* newBytes,
                         DWORD length)
{
    PutLE(m_bytes, offset, 8);
    PutLE(m_bytes, length, 4);
    PutLE(m_bytes, oldCount, 4);
    m_bytes.insert(m_bytes.end(), oldBytes, oldBytes + oldCount);
    m_bytes.insert(m_bytes.end(), newBytes, newBytes + length);
    ++m_ranges;
}

bool CRollBack::Write(LPCWSTR file) const
{
    if (m_ranges > kMaxRanges) return false;
    std::vector<BYTE> whole(m_bytes);
    SetLE(whole.data() + 12, static_cast<unsigned long long>(m_ranges), 4);
    PutLE(whole, Checksum(whole.data(), whole.size()), 4);
    const std::u16string path = PathOf(file);
    return qplat::RewriteFile(path.c_str(), whole.data(), whole.size()) != FALSE;
}

bool CRollBack::Remove(LPCWSTR file)
{
    const std::u16string path = PathOf(file);
    return !IsFile(path.c_str()) || DeleteFileW(path.c_str());
}

CRollBack::Pending CRollBack::Settle(LPCWSTR file, DWORD recordSize)
{
    const std::u16string path = PathOf(file);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    // Nothing pending; and a folder of that name is no roll-back of ours to
    // apply or remove.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Pending::None;
    auto stuck = [&](const char* why) {
        Say(path, why);
        return Pending::Stuck;
    };
    // Removed unapplied: it cannot undo anything of the file as it is.
    auto drop = [&](const char* why) {
        if (!DeleteFileW(path.c_str())) return stuck("a cut-off save's roll-back that cannot be removed");
        Say(path, why);
        return Pending::Cleared;
    };
    std::vector<BYTE> bytes;
    const int read = ReadSmallFile(path.c_str(), MaxSize(recordSize), &bytes);
    if (read == 0) return stuck("a cut-off save's roll-back that cannot be read");
    Parsed undo;
    if (read < 0 || !Parse(bytes, recordSize, &undo))
        return drop("damaged or not a roll-back of this file's records: removed without applying it");
    if (!IsFile(file)) return drop("a roll-back of a file that is gone: removed");
    HANDLE held = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return stuck("its file cannot be read, so its cut-off save cannot be undone");
    bool atOld = false;
    const State state = StateOf(held, undo, &atOld);
    CloseHandle(held);
    if (state == State::Unreadable) return stuck("its file cannot be read, so its cut-off save cannot be undone");
    if (state == State::Other)
        return drop("the file is not one its cut-off save could have left (changed or replaced since): "
                    "removed without applying it, the file kept as it is");
    if (atOld) {
        if (!DeleteFileW(path.c_str())) return stuck("a cut-off save's roll-back that cannot be removed");
        return Pending::Cleared;
    }
    if (!PutBack(file, undo)) return stuck("its cut-off save could not be undone");
    if (!DeleteFileW(path.c_str())) return stuck("its cut-off save was undone, but the roll-back cannot be removed");
    return Pending::Undone;
}
