// The roll-back file of a group of record changes: "<file>.undo" beside the
// record file, written whole (by the safe rewrite) before the first byte of
// the file changes and removed once the group is flushed. While one is
// pending the file is in an unknown state between before and after the
// group, so nothing else may be written into it: every write first settles
// the pending roll-back (Settle), and is refused when it cannot.
//
// A roll-back keeps, for every range the group writes, the bytes before and
// the bytes after, so it is applied only to a file that the group could
// have left: inside the file's old length each byte of a range old or new
// (a torn mix of the two), and a length between the old and the new. What
// lies past the old length is the group's growth whatever it holds: a power
// cut can keep the file's new length without the blocks it covers, which
// then read as zeros or as stale card data, and the cut takes it all off.
// Where the growth holds bytes that are neither the group's nor zeros (stale
// data, or a file put in that nothing inside the old length tells apart), a
// copy of the file as found is kept first, "<file>.found" (".found2", ...,
// never over an earlier one), named on standard error. Any other file (a
// journal copied over it, one of another card) keeps every byte, and the
// roll-back goes with a line on standard error that names it.
//
// Names are matched as the card spells them: a roll-back belongs to the file
// of exactly its name less ".undo", or to the one file whose name differs
// from that only in letter case. Where two such files could own it, nothing
// is touched and it stays pending.
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
        // One is pending and could not be applied or removed:
        ReadOnly,    // the card, the folder or a file is read-only
        Failing,     // the card fails (an I/O error, an unreadable roll-back or
                     // file)
        CardFull,    // the copy of the file as found finds no room
        NoCopyName,  // nor a free name: the copies of earlier ones fill them
        Ambiguous,   // files whose names differ only in letter case could own it
    };
    static bool IsStuck(Pending pending) { return Rank(pending) > 0; }
    // Of two ways a roll-back can stay pending, the one the operator is told:
    // a failing card first (checking it comes before all else), then a full
    // one, the copies' names, journals of clashing names, and a read-only
    // card or file last.
    static Pending Graver(Pending a, Pending b) { return Rank(b) > Rank(a) ? b : a; }

    // A roll-back for a file of `recordSize`-byte records that is `oldLength`
    // bytes long now and `newLength` once the group is written.
    CRollBack(DWORD recordSize, unsigned long long oldLength, unsigned long long newLength);

    // A range the group writes: `length` new bytes at `offset`, of which the
    // first `oldCount` overwrite bytes the file holds now (the rest lie past
    // its end). Ranges must not overlap.
    void AddRange(unsigned long long offset, const BYTE* oldBytes, DWORD oldCount, const BYTE* newBytes,
                  DWORD length);
    // Stores it as the roll-back of `file`, named after the file as the card
    // spells it, and flushes it with its name: a pending one must have been
    // settled, for none is written over. It needs no rewrite of its own: a
    // roll-back cut off half-way fails its check and goes unapplied, and the
    // file was not touched yet. False when it could not be written whole
    // (and then it is not left behind, where it can be removed).
    bool Write(LPCWSTR file);
    // Removes the roll-back Write stored, once its group is flushed: 1 gone,
    // 0 still there; -1 gone, but the card did not confirm its folder, so a
    // power cut could still bring it back.
    int Remove();

    // Settles a pending roll-back of `file` (of `recordSize`-byte records),
    // and with it those of files whose names differ from its only in letter
    // case, whose roll-backs its own would be written over: stuck where one
    // of them is (Failing before ReadOnly), else what it did to `file`.
    static Pending Settle(LPCWSTR file, DWORD recordSize);
    static std::u16string PathOf(LPCWSTR file);
    // The largest roll-back of a file of `recordSize`-byte records.
    static size_t MaxSize(DWORD recordSize);

private:
    static int Rank(Pending pending);

    std::vector<BYTE> m_bytes;
    int m_ranges = 0;
    std::u16string m_path;  // where Write stored it
};
