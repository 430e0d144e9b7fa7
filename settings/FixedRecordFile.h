// The one mechanism behind every file of the program folder that is a plain
// array of fixed-size records with no header, no count and no checksum: the
// catalogues, the journals and the paired-sensor file.
//
// The record count is the file size divided by the record size. A file whose
// size is not a whole number of records (an append that a pulled card or a
// flat battery cut short) is read as its whole records; the torn tail is
// never read as a record.
//
// Every operation opens and closes the file itself and leaves it closed when
// it returns, on failure too. Counting and reading open the file for reading
// only, so a read-only file (a write-protected card) is still listed and
// browsed; the writing operations fail on it and change nothing. Results
// follow the program's convention: 1 success, 0 failure, and -1 from
// GetCount when the file cannot be opened.
//
// While a group of changes that was cut off has its roll-back pending (see
// settings/RollBack.h) nothing else is written into the file: every writing
// operation first settles it (undoes the group, or removes a roll-back that
// is not the file's), and fails without writing when it cannot
// (LastRefusal tells why). No handle that could write goes out of this
// class: each write passes that one gate.
#pragma once

#include <cstddef>
#include <string>

#include "platform/WinDef.h"
#include "settings/RollBack.h"
#include "settings/StoredFiles.h"

class CFixedRecordFile {
public:
    explicit CFixedRecordFile(DWORD recordSize);
    ~CFixedRecordFile();
    CFixedRecordFile(const CFixedRecordFile&) = delete;
    CFixedRecordFile& operator=(const CFixedRecordFile&) = delete;

    DWORD RecordSize() const { return m_recordSize; }

    // Whether a handle is held: never between operations.
    bool IsOpen() const;
    void Close();

    // Number of whole records, or -1 when the file cannot be opened. A missing
    // file is created empty, unless `create` is false (a lookup, which never
    // makes a file): it then counts 0.
    int GetCount(LPCWSTR path, bool create = true);

    // Reads the whole records into `buffer`, which has room for `capacity`
    // records; never more than that, so a file that grew since the caller
    // counted cannot overrun the buffer (the caller gets the records it
    // counted). 1 when every record read was read whole (none included, a
    // missing file too, which is not made).
    int ReadAll(LPCWSTR path, void* buffer, int capacity);

    // Reads record `index` alone. 1 only when the whole record was read.
    int ReadRecord(LPCWSTR path, int index, void* record);

    // Every write below is one group (WriteGroup) or one safe rewrite: a
    // kill or a power cut at any point leaves the file as it was or whole
    // with the change, and a write that was read from the file before (a
    // question to the operator, a list on a screen) says what it expects to
    // find there: where the file holds anything else now, nothing is written
    // (0, RecordChanged).

    // Writes one record after the last whole record, creating the file when
    // missing; a torn tail left by an earlier cut-short append is taken over,
    // so the new record is read back as the last one. 1 when the whole
    // record was written.
    int Append(LPCWSTR path, const void* record);
    // Appends n records (at most kMaxGroup) as one group: the file holds all
    // of them or none. 1 when all were written.
    int AppendAll(LPCWSTR path, const void* const* records, int n);

    // Replaces the whole file by n records through the safe rewrite: until the
    // new content is complete and flushed the old file stays as it was. The
    // file must exist (0 otherwise, nothing written). Zero records leave an
    // empty file. The records were made from `expectedCount` records read
    // from the file (`expected`): they are written only while its whole
    // records are still exactly those (a negative count expects anything).
    int WriteAll(LPCWSTR path, const void* records, int n, const void* expected, int expectedCount);

    // Overwrites record `index` (same size, so no other byte of the file
    // moves): cost independent of the file's length. An index outside the
    // whole records gives 0 and changes nothing. With `expected`, the record
    // is written only while the file still holds exactly those bytes at
    // `index`.
    int ReplaceRecord(LPCWSTR path, const void* record, int index, const void* expected = nullptr);

    // One change of a group: `record` written over record `index`, or after
    // the last whole record when `index` is kAppend. A replace with
    // `expected` is made only while the record there holds those bytes; where
    // one does not, the group writes nothing (RecordChanged).
    struct Change {
        const void* record;
        int index;
        const void* expected = nullptr;
    };
    static constexpr int kAppend = -1;
    static constexpr int kMaxGroup = CRollBack::kMaxRecords;

    // Writes up to kMaxGroup changes as one: a kill or a power cut at any
    // point leaves the file with all of them, or with none once
    // RollBackCutOff has run (the program runs it at start, and every write
    // runs it first). Before the first byte of the file changes, its length
    // and every range the changes write, before and after, are stored and
    // flushed in its roll-back file, "<file>.undo" beside it, which goes
    // once the changes are flushed. A record given twice is written once,
    // with its last change. The appends go after the last whole record
    // (taking over a torn tail), in their order, as one write. A missing
    // file is created for a group of appends alone; a group with a replace
    // needs the file and every index within its whole records (0 otherwise,
    // nothing written). With `expectedCount` not negative the file must hold
    // that many whole records (a group made while a record was found
    // missing: it must not have come meanwhile). When a change cannot be
    // written (a full card) the group is undone at once. 1 when all were
    // written; where the card did not confirm the roll-back's removal,
    // LastUnconfirmed tells.
    int WriteGroup(LPCWSTR path, const Change* changes, int n, int expectedCount = -1);

    // Undoes a group that was cut off, from the file's roll-back file, which
    // then goes. A roll-back file that cannot belong to this file (damaged,
    // of another shape, or a file its group could not have left) is removed
    // without touching the file; a folder of that name stays where it is.
    // 1 when no roll-back is pending afterwards; 0 when one could not be
    // applied or removed (it stays for the next try, and every write fails
    // until then), or when two files whose names differ only in letter case
    // could own it (both stay as they are, and neither is written).
    int RollBackCutOff(LPCWSTR path);

    // Why the last writing operation wrote nothing, where it was the pending
    // roll-back: CutOffSaveStuck, it could not be applied or removed because
    // the card, the folder or a file is read-only; CutOffSaveFailing,
    // because the card fails (an I/O error, an unreadable roll-back or
    // file); CutOffSaveCardFull, a copy of the file as found could not be
    // kept for want of room; CutOffSaveNoCopyName, nor for want of a free
    // name; CutOffSaveAmbiguous, two files whose names differ only in letter
    // case could own it. RecordChanged: the file holds another record, or
    // other records, than the write expected.
    enum class Refusal {
        None,
        CutOffSaveStuck,
        CutOffSaveFailing,
        CutOffSaveCardFull,
        CutOffSaveNoCopyName,
        CutOffSaveAmbiguous,
        RecordChanged
    };
    Refusal LastRefusal() const { return m_refusal; }
    // Of two reasons a file stays held back, the one the operator is told
    // first (see CRollBack::Graver).
    static Refusal Graver(Refusal a, Refusal b);
    // Whether the last writing operation was made (its result 1) but the
    // card did not confirm its last step (a group's roll-back removed, a
    // file deleted), so that a power cut could still undo it.
    bool LastUnconfirmed() const { return m_unconfirmed; }

    // Deletes the file, its pending roll-back settled first. 1 when the file
    // was deleted.
    int Delete(LPCWSTR path);
    // The same for a file deleted by its name from a list: only while it is
    // the file the list showed (see settings/StoredFiles.h). Failed, with
    // LastRefusal telling a pending roll-back that holds it back.
    DeleteOutcome DeleteListed(LPCWSTR path, const ListedFile& listed);

private:
    // Opens for `access`, shared for reading and writing, creating a
    // missing file only with `create`; a file already held is closed first.
    int OpenAs(LPCWSTR path, DWORD access, bool create);
    // Whether the open that just failed found no file at `path`.
    bool Missing(LPCWSTR path);
    // Moves the held file's pointer to record `index`.
    int Seek(int index);
    // What every writing operation does first.
    void Begin();
    // Whole records in the held file, or -1 when its size cannot be read.
    long long HeldCount();
    // Size in bytes of the held file, or -1.
    long long HeldSize();
    bool SeekByte(unsigned long long offset);
    bool ReadBytes(void* buffer, unsigned long long size);
    bool WriteBytes(const void* buffer, unsigned long long size);
    // The one gate of every write: settles the file's pending roll-back and
    // notes a refusal.
    CRollBack::Pending SettleForWrite(LPCWSTR path);

    DWORD m_recordSize;
    HANDLE m_file;
    Refusal m_refusal = Refusal::None;
    bool m_unconfirmed = false;
};
