// The journals: "DB\<name>.<ext>" below the program folder, a plain array of
// one journal record type (see settings/FixedRecordFile.h for the file
// rules). Every operation takes the journal's bare name (no folder, no
// extension) and opens and closes the file itself, so one object serves any
// number of journals. Names that would leave the folder "DB\" (separators,
// "..", wildcards, control characters, a drive mark) are refused: the
// operation fails as on a missing journal.
//
// Results: 1 success, 0 failure; GetCount gives -1 when the journal cannot be
// opened (no card, no folder "DB\", a refused name).
#pragma once

#include "platform/WinDef.h"
#include "settings/FixedRecordFile.h"
#include "settings/ProgramFolder.h"

template <typename Record>
class CDBJournal {
public:
    virtual ~CDBJournal();
    CDBJournal(const CDBJournal&) = delete;
    CDBJournal& operator=(const CDBJournal&) = delete;

    // Adds one record after the last whole record, creating a missing
    // journal; flushed before it returns. 1 when the whole record was written.
    int Append(LPCWSTR name, const Record* record);
    // The saves of a wheel-set gauge's axle, two records written as one:
    // both stored or neither, on a full card and also when a kill or a power
    // cut stops the save half-way (the journal's roll-back file, see
    // CFixedRecordFile::WriteGroup). Two new records after the last:
    int AppendPair(LPCWSTR name, const Record* first, const Record* second);
    // Entry i replaced and a new record appended (the other wheel of an axle
    // the journal had no record of: where `expectedCount` is given, the
    // journal must still hold that many records, so none came meanwhile):
    int ReplaceAndAppend(LPCWSTR name, const Record* replaced, int i, const Record* appended,
                         const Record* expectedAtI = nullptr, int expectedCount = -1);
    // Entries i and j replaced:
    int ReplacePair(LPCWSTR name, const Record* first, int i, const Record* second, int j,
                    const Record* expectedAtI = nullptr, const Record* expectedAtJ = nullptr);
    // (A replace given the record it expects at its entry writes nothing
    // where the journal holds another there now: LastRefusal RecordChanged.)
    // Undoes a pair save of the journal that was cut off. 1 when none is
    // left pending; 0 when one is, and nothing can be written into the
    // journal until it is undone.
    int RollBackCutOff(LPCWSTR name);
    // The same for every journal of this kind in "DB", as the program does
    // at start; the number of journals whose roll-back is still pending.
    // `why`, where given, gets the gravest reason one of them is held back
    // for (CFixedRecordFile::Graver of it and its value), else stays as it
    // was.
    int RollBackAllCutOff(CFixedRecordFile::Refusal* why = nullptr);
    // Reads the records into `buffer`, which has room for `capacity` records
    // (sized from GetCount); never more than that. 1 when every record read
    // was read whole (none included).
    int ReadAll(LPCWSTR name, Record* buffer, int capacity);
    // Replaces the journal by n records made from the `expectedCount`
    // records `expected` read from it: written only while the journal still
    // holds exactly those (else 0, LastRefusal RecordChanged). The old
    // journal stays intact until the new content is complete; a missing
    // journal gives 0 and nothing is written. Refreshes the record count.
    int WriteAll(LPCWSTR name, const Record* buffer, int n, const Record* expected, int expectedCount);
    // Overwrites entry i in place; the rest of the journal is not rewritten.
    // An index outside 0..count-1 gives 0 and changes nothing; so does an
    // entry that no longer holds `expected`, where one is given.
    int Replace(LPCWSTR name, const Record* record, int i, const Record* expected = nullptr);
    // Whole records in the journal; a missing journal is created empty,
    // unless `create` is false (a lookup, which never makes one: 0).
    int GetCount(LPCWSTR name, bool create = true);
    // Deletes the journal, a pending pair save settled first.
    int Delete(LPCWSTR name);
    // Reads entry i alone; 1 only when the whole record was read.
    int ReadRecord(LPCWSTR name, int i, Record* buffer);
    // Sets the record count from GetCount; returns 0.
    int RefreshCount(LPCWSTR name);

    // Whether a handle is held: never between operations.
    bool IsOpen() const { return m_file.IsOpen(); }
    // Why the last write wrote nothing, where a cut-off pair save was the
    // cause (see CFixedRecordFile).
    CFixedRecordFile::Refusal LastRefusal() const { return m_file.LastRefusal(); }
    // Whether the last operation was made but not confirmed by the card.
    bool LastUnconfirmed() const { return m_file.LastUnconfirmed(); }

    // The record count as last refreshed by WriteAll or RefreshCount.
    int RecordCount() const { return m_count; }
    // Full path of a journal, or false for a refused name or a path too long.
    bool JournalPath(LPCWSTR name, WCHAR* path, size_t pathLength) const;

protected:
    // The folder is taken from `folder` now; `extension` must outlive the
    // object (a literal).
    CDBJournal(CProgramFolder& folder, LPCWSTR extension);

private:
    int WriteGroup(LPCWSTR name, const CFixedRecordFile::Change* changes, int n, int expectedCount = -1);

    int m_count = 0;
    CFixedRecordFile m_file;  // holds the handle of the operation under way
    WCHAR m_folder[PROGRAM_FOLDER_CHARS] = {};
    LPCWSTR m_extension;
};

// Undoes the cut-off pair saves of both families' journals: run once at
// start, when no other copy of the program can be in the middle of one. The
// number of journals that stay held back by one that could not be undone;
// `why`, where given, tells the operator's next step (see RollBackAllCutOff;
// None when none is held back).
int RollBackCutOffJournalSaves(CFixedRecordFile::Refusal* why = nullptr);
