#include "settings/RollBack.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

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

void Say(const std::u16string& path, const char* what)
{
    std::fprintf(stderr, "Qav5_PA: %s: %s\n", qplat::ToUtf8(path).c_str(), what);
}

// Why a change of the card failed, as the operator's next step differs: a
// read-only card, folder or file, a full card, no free name for a copy, or a
// card that fails.
CRollBack::Pending StuckBy(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED: return CRollBack::Pending::ReadOnly;
    case ERROR_DISK_FULL: return CRollBack::Pending::CardFull;
    case ERROR_FILE_EXISTS: return CRollBack::Pending::NoCopyName;
    default: return CRollBack::Pending::Failing;
    }
}

// A deletion that was made, only its folder not yet kept by the card, has
// removed the file all the same.
DWORD DeleteMade(const std::u16string& path)
{
    if (DeleteFileW(path.c_str())) return NO_ERROR;
    const DWORD error = GetLastError();
    return error == ERROR_CHANGE_NOT_CONFIRMED ? NO_ERROR : error;
}

void SplitPath(const std::u16string& path, std::u16string* folder, std::u16string* leaf)
{
    const size_t cut = path.find_last_of(u"\\/");
    *folder = cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
    *leaf = cut == std::u16string::npos ? path : path.substr(cut + 1);
}

// The name of `path`'s file as the card spells it (the file its path opens),
// or the name as given where there is none.
std::u16string SpelledLeaf(const std::u16string& path)
{
    std::u16string folder, leaf;
    SplitPath(path, &folder, &leaf);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return leaf;
    FindClose(find);
    return found.cFileName;
}

// The files of `folder` named `leaf` and `leaf`.undo in any letter case, as
// the card spells them (folders are none of them). False when the folder
// cannot be listed.
bool ListByName(const std::u16string& folder, const std::u16string& leaf, std::vector<std::u16string>* files,
                std::vector<std::u16string>* rollBacks)
{
    const std::u16string rollBack = CRollBack::PathOf(leaf.c_str());
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + leaf + u"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::u16string name = found.cFileName;
        if (qplat::SameFileName(name, leaf)) files->push_back(name);
        if (qplat::SameFileName(name, rollBack)) rollBacks->push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return true;
}

struct Found {
    bool atOld = false;          // the file as it was before the group
    bool foreignGrowth = false;  // past the old length, bytes neither new nor zero
};

enum class State { LeftByGroup, Other, Unreadable };

// Whether the file is in a state the cut-off group could have left. Inside
// the old length each byte a range writes is old or new; past it lies the
// growth, which a power cut may leave holding anything. A file that cannot
// be read is neither: its roll-back must stay.
State StateOf(HANDLE file, const Parsed& undo, Found* found)
{
    const long long held = filebytes::Size(file);
    if (held < 0) return State::Unreadable;
    const unsigned long long length = static_cast<unsigned long long>(held);
    if (length < undo.oldLength || length > undo.newLength) return State::Other;
    found->atOld = length == undo.oldLength;
    std::vector<BYTE> now;
    for (int i = 0; i < undo.count; ++i) {
        const Range& r = undo.ranges[i];
        if (length <= r.offset) continue;
        const unsigned long long present = length - r.offset < r.length ? length - r.offset : r.length;
        now.resize(static_cast<size_t>(present));
        if (!filebytes::SeekTo(file, r.offset) || !filebytes::Read(file, now.data(), present))
            return State::Unreadable;
        for (size_t k = 0; k < now.size(); ++k) {
            if (r.offset + k >= undo.oldLength) {
                found->foreignGrowth = found->foreignGrowth || (now[k] != r.newBytes[k] && now[k] != 0);
                continue;
            }
            const bool old = k < r.oldCount && now[k] == r.oldBytes[k];
            if (!old && now[k] != r.newBytes[k]) return State::Other;
            if (!old) found->atOld = false;
        }
    }
    return State::LeftByGroup;
}

// Puts the file back as it was before the group: the cut first, which needs
// no room on the card, then the old bytes.
bool PutBack(HANDLE file, const Parsed& undo)
{
    bool undone = filebytes::SeekTo(file, undo.oldLength) && SetEndOfFile(file);
    for (int i = undo.count - 1; undone && i >= 0; --i) {
        const Range& r = undo.ranges[i];
        if (r.oldCount > 0) undone = filebytes::SeekTo(file, r.offset) && filebytes::Write(file, r.oldBytes, r.oldCount);
    }
    return undone && FlushFileBuffers(file);
}

// Keeps a copy of the file as it is beside it, as "<file>.found" (never over
// an earlier copy). False (with the last error) when none could be made.
bool KeepCopy(const std::u16string& file, std::u16string* copy)
{
    *copy = qplat::SetAsideName(file, u".found");
    return !copy->empty() && CopyFileW(file.c_str(), copy->c_str(), TRUE) != FALSE;
}

// Settles the roll-back `path` of the file `file` (both as the card spells
// them; no file: the roll-back's is gone).
CRollBack::Pending SettleOne(const std::u16string& path, const std::u16string& file, DWORD recordSize)
{
    using Pending = CRollBack::Pending;
    auto stuck = [&](Pending kind, const char* why) {
        Say(path, why);
        return kind;
    };
    auto removed = [&](Pending done) {
        const DWORD error = DeleteMade(path);
        if (error != NO_ERROR)
            return stuck(StuckBy(error), done == Pending::Undone
                                             ? "its cut-off save was undone, but the roll-back cannot be removed"
                                             : "a cut-off save's roll-back that cannot be removed");
        return done;
    };
    // Removed unapplied: it cannot undo anything of the file as it is.
    auto drop = [&](const char* why) {
        const Pending pending = removed(Pending::Cleared);
        if (pending == Pending::Cleared) Say(path, why);
        return pending;
    };
    std::vector<BYTE> bytes;
    const int read = ReadSmallFile(path.c_str(), CRollBack::MaxSize(recordSize), &bytes);
    if (read == 0) return stuck(Pending::Failing, "a cut-off save's roll-back that cannot be read");
    Parsed undo;
    if (read < 0 || !Parse(bytes, recordSize, &undo))
        return drop("damaged or not a roll-back of this file's records: removed without applying it");
    if (file.empty() || !IsFile(file.c_str())) return drop("a roll-back of a file that is gone: removed");
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return stuck(Pending::Failing, "its file cannot be read, so its cut-off save cannot be undone");
    Found found;
    const State state = StateOf(held, undo, &found);
    CloseHandle(held);
    if (state == State::Unreadable)
        return stuck(Pending::Failing, "its file cannot be read, so its cut-off save cannot be undone");
    if (state == State::Other)
        return drop("the file is not one its cut-off save could have left (changed or replaced since): "
                    "removed without applying it, the file kept as it is");
    if (found.atOld) {
        // Back as it was, perhaps only in the card's cache: an earlier
        // put-back whose flush failed reads as done. The roll-back goes only
        // once the card holds the file so. A file that cannot be opened for
        // writing holds nothing unflushed of ours.
        HANDLE kept = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (kept != INVALID_HANDLE_VALUE) {
            const bool flushed = FlushFileBuffers(kept) != FALSE;
            const DWORD error = flushed ? NO_ERROR : GetLastError();
            CloseHandle(kept);
            if (!flushed) return stuck(StuckBy(error), "its file was put back, but the card does not keep it");
        }
        return removed(Pending::Cleared);
    }

    HANDLE written = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (written == INVALID_HANDLE_VALUE)
        return stuck(StuckBy(GetLastError()), "its file cannot be written, so its cut-off save cannot be undone");
    if (found.foreignGrowth) {
        // What the cut takes off may be another file's or stale card data:
        // nothing is lost either way.
        std::u16string copy;
        if (!KeepCopy(file, &copy)) {
            const DWORD error = GetLastError();
            CloseHandle(written);
            return stuck(StuckBy(error), "its file holds bytes past its old length that are neither its cut-off "
                                         "save's nor zeros, and no copy of it can be kept: not undone");
        }
        const std::string what = "past its length before the cut-off save it holds bytes neither of that save nor "
                                 "zeros: kept as " + qplat::ToUtf8(copy) + " before it is cut back";
        Say(file, what.c_str());
    }
    bool undone = PutBack(written, undo);
    const DWORD error = undone ? NO_ERROR : GetLastError();
    undone = CloseHandle(written) && undone;
    if (!undone) return stuck(StuckBy(error), "its cut-off save could not be undone");
    return removed(Pending::Undone);
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

int CRollBack::Rank(Pending pending)
{
    switch (pending) {
    case Pending::Failing: return 5;
    case Pending::CardFull: return 4;
    case Pending::NoCopyName: return 3;
    case Pending::Ambiguous: return 2;
    case Pending::ReadOnly: return 1;
    default: return 0;
    }
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

bool CRollBack::Write(LPCWSTR file)
{
    if (m_ranges > kMaxRanges || file == nullptr) return false;
    // Room for the checksum up front: a group's bytes run to hundreds of
    // kilobytes, and growing by four would copy them all once more.
    std::vector<BYTE> whole;
    whole.reserve(m_bytes.size() + kChecksumBytes);
    whole.assign(m_bytes.begin(), m_bytes.end());
    SetLE(whole.data() + 12, static_cast<unsigned long long>(m_ranges), 4);
    PutLE(whole, Checksum(whole.data(), whole.size()), 4);
    // Named after the file the group writes, as the card spells it, so that
    // it is told apart from the roll-back of a file whose name differs only
    // in letter case.
    std::u16string folder, leaf;
    SplitPath(file, &folder, &leaf);
    m_path = PathOf((folder + SpelledLeaf(file)).c_str());
    HANDLE held = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        m_path.clear();
        return false;
    }
    // Flushed with its name: a power cut before that loses it whole or
    // leaves it failing its check, and the file is not touched before.
    bool kept = filebytes::Write(held, whole.data(), whole.size()) && FlushFileBuffers(held);
    const DWORD error = kept ? NO_ERROR : GetLastError();
    kept = CloseHandle(held) && kept;
    if (!kept) {
        DeleteMade(m_path);
        m_path.clear();
        SetLastError(error);
    }
    return kept;
}

int CRollBack::Remove()
{
    if (m_path.empty()) return 0;
    if (DeleteFileW(m_path.c_str())) return 1;
    const DWORD error = GetLastError();
    if (error == ERROR_CHANGE_NOT_CONFIRMED) return -1;
    return IsFile(m_path.c_str()) ? 0 : 1;
}

CRollBack::Pending CRollBack::Settle(LPCWSTR file, DWORD recordSize)
{
    if (file == nullptr || file[0] == 0) return Pending::None;
    const std::u16string given = file;
    // Nothing of that name in any letter case: nothing pending.
    if (GetFileAttributesW(PathOf(file).c_str()) == INVALID_FILE_ATTRIBUTES) return Pending::None;
    std::u16string folder, leaf;
    SplitPath(given, &folder, &leaf);
    std::vector<std::u16string> files, rollBacks;
    if (!ListByName(folder, leaf, &files, &rollBacks)) {
        Say(PathOf(file), "its folder cannot be read, so a cut-off save there cannot be settled");
        return Pending::Failing;
    }
    // A folder of that name is no roll-back of ours to apply or remove.
    if (rollBacks.empty()) return Pending::None;

    const std::u16string opened = qplat::OpenedSpelling(files, leaf);
    // Each roll-back's own file: the one of exactly its name less ".undo",
    // else the only one its name could mean. A roll-back that two files
    // could own, or two roll-backs of one file, are left as they are with
    // both files: neither can be told to be whose.
    const size_t suffix = PathOf(u"").size();
    std::vector<std::u16string> owners;
    bool ambiguous = false;
    for (const std::u16string& rollBack : rollBacks) {
        const std::u16string own = rollBack.substr(0, rollBack.size() - suffix);
        bool exact = false;
        for (const std::u16string& name : files) exact = exact || name == own;
        if (exact) owners.push_back(own);
        else if (files.size() == 1) owners.push_back(files[0]);
        else if (files.empty()) owners.push_back(std::u16string());
        else ambiguous = true;
    }
    for (size_t i = 0; !ambiguous && i < owners.size(); ++i)
        for (size_t j = i + 1; j < owners.size(); ++j)
            ambiguous = ambiguous || (!owners[i].empty() && owners[i] == owners[j]);
    if (ambiguous) {
        for (const std::u16string& rollBack : rollBacks)
            Say(folder + rollBack, "files whose names differ only in letter case could own it: it and they are "
                                   "left as they are, and none of them is written");
        return Pending::Ambiguous;
    }
    // Every roll-back of a file of that name in any letter case is settled:
    // this file's own would otherwise be written over another's.
    Pending result = Pending::None;
    Pending stuck = Pending::None;
    for (size_t i = 0; i < rollBacks.size(); ++i) {
        const Pending pending =
            SettleOne(folder + rollBacks[i], owners[i].empty() ? owners[i] : folder + owners[i], recordSize);
        if (IsStuck(pending)) stuck = Graver(stuck, pending);
        if (owners[i] == opened) result = pending;
    }
    return IsStuck(stuck) ? stuck : result;
}
