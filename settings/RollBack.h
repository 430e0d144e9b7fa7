// The roll-back file of a group of record changes: "<file>.undo" beside the
// record file, written whole (by the safe rewrite) before the first byte of
// the file changes and removed once the group is flushed. While one is
// pending the file is in an unknown state between before and after the
// group, so nothing else may be written into it: every write first settles
// the pending roll-back (Settle), and is refused when it cannot.
//
// A roll-back keeps, for every range the group writes, the bytes before and
// the bytes after, so it is applied only to a file that the group could
// have left: each such range holding the old bytes, the new ones or a torn
// mix of the two, and a length between the old and the new. Any other file
// (a journal copied over it, one of another card) keeps every byte, and the
// roll-back goes with a line on standard error that names it.
#pragma once

#include <string>
#include <vector>

#include "platform/WinDef.h"

// Byte access to an open file handle, shared by the record file and its
// roll-back. Each is false on any failure or short transfer.
namespace filebytes {
long long Size(HANDLE file);  // -1 when it cannot be read
bool SeekTo(HANDLE file, unsigned long long offset);
bool Read(HANDLE file, void* buffer, unsigned long long size);
bool Write(HANDLE file, const void* buffer, unsigned long long size);
}  // namespace filebytes

class CRollBack {
public:
    // A group writes at most this many records; its ranges are the records
    // it replaces and its appends, which form one range.
    static constexpr int kMaxRecords = 8;
    static constexpr int kMaxRanges = kMaxRecords + 1;

    // What Settle found.
    enum class Pending {
        None,     // no roll-back (or a folder in its place, which is none of ours)
        Cleared,  // one was removed and the file not changed: nothing of its
                  // group was in the file, or it was not this file's
        Undone,   // the file was put back as it was before the cut-off group
        Stuck,    // one is pending and could not be applied or removed
    };

    // A roll-back for a file of `recordSize`-byte records that is `oldLength`
    // bytes long now and `newLength` once the group is written.
    CRollBack(DWORD recordSize, unsigned long long oldLength, unsigned long long newLength);

    // A range the group writes: `length` new bytes at `offset`, of which the
    // first `oldCount` overwrite bytes the file holds now (the rest lie past
    // its end). Ranges must not overlap.
    void AddRange(unsigned long long offset, const BYTE* oldBytes, DWORD oldCount, const BYTE* newBytes,
                  DWORD length);
    // Stores it as the roll-back of `file`, replacing none: a pending one
    // must have been settled. False when it could not be written whole.
    bool Write(LPCWSTR file) const;

    // Settles a pending roll-back of `file` (of `recordSize`-byte records).
    static Pending Settle(LPCWSTR file, DWORD recordSize);
    // Removes the roll-back of `file` unapplied, as when the file itself
    // goes. False when one is still there.
    static bool Remove(LPCWSTR file);
    static std::u16string PathOf(LPCWSTR file);
    // The largest roll-back of a file of `recordSize`-byte records.
    static size_t MaxSize(DWORD recordSize);

private:
    std::vector<BYTE> m_bytes;
    int m_ranges = 0;
};
