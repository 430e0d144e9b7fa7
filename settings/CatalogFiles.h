// The four catalogues of the program folder: wheel types, disc types and the
// tolerance sets of the two device families. Each file is a plain array of
// one record type (see settings/FixedRecordFile.h for the file rules); a
// record's name field is its key. Texts are zero-terminated UTF-16 in fixed
// fields that may lack the terminator when read back; switch bytes are 2 on,
// 1 off; lengths are micrometres.
//
// Every field lies at its natural alignment, so the structs have exactly the
// stored layout without a packing pragma; the static_asserts hold it.
#pragma once

#include <bit>
#include <cstddef>
#include <type_traits>

#include "platform/WinDef.h"
#include "settings/FixedRecordFile.h"
#include "settings/ProgramFolder.h"

constexpr int CATALOG_NAME_CHARS = 50;
constexpr int QAV_LIMIT_COUNT = 22;   // limits per array of a wheel tolerance set
constexpr int QAV_LIMIT_WORDS = 88;   // the four arrays one after another
constexpr int QOD_LIMIT_COUNT = 16;

// "WheelType.qav": a named set of wheel settings; choosing it copies the
// fields into the settings block.
struct WheelTypeRecord {
    WCHAR name[CATALOG_NAME_CHARS];            // block 488
    WCHAR referName[CATALOG_NAME_CHARS];       // block 88
    WCHAR schemeName[CATALOG_NAME_CHARS];      // block 288
    WCHAR toleranceName[CATALOG_NAME_CHARS];   // block 388: a set of "Dopusk.qav"
    LONG dimensions[21];                       // block 4..87, the block's order
    BYTE option1;                              // block 810
    BYTE option2;                              // block 811
    BYTE option3;                              // block 812
    BYTE wheelTypeOption;                      // block 814
    BYTE switches[22];                         // block 820..841
    BYTE spare[2];
};

// "DiskType.qod": a named set of disc settings.
struct DiskTypeRecord {
    WCHAR name[CATALOG_NAME_CHARS];           // block 1334
    WCHAR referName[CATALOG_NAME_CHARS];      // block 846
    WCHAR schemeName[CATALOG_NAME_CHARS];     // block 1046
    WCHAR toleranceName[CATALOG_NAME_CHARS];  // block 1146: a set of "Dopusk.qod"
    LONG discL1;                              // block 1320
    LONG discL2;                              // block 1324
    BYTE switches[4];                         // block 1328..1331
    BYTE discOption1;                         // block 1332
    BYTE headMode;                            // block 1333
    BYTE spare[2];
};

// "Dopusk.qav": a tolerance set of the wheel family. Entry i of each array
// belongs to the wheel value graded with index i; a limit pair of 0 and 0
// leaves the value ungraded.
struct DopuskQavRecord {
    WCHAR name[CATALOG_NAME_CHARS];  // the key the settings block names at 388
    LONG upper[QAV_LIMIT_COUNT];     // above: out of tolerance
    LONG lower[QAV_LIMIT_COUNT];     // below: out of tolerance
    LONG upperWarning[QAV_LIMIT_COUNT];
    LONG lowerWarning[QAV_LIMIT_COUNT];
    LONG spare;  // not taken over
};

// "Dopusk.qod": a tolerance set of the disc device. The disc grading uses
// entries 0 and 2 as lower limits, 5 and 7 as upper limits, 12 and 14 as lower
// and 9 and 11 as upper warning limits; the rest are stored only.
struct DopuskQodRecord {
    WCHAR name[CATALOG_NAME_CHARS];  // the key the settings block names at 1146
    LONG limits[QOD_LIMIT_COUNT];
    LONG spare;  // not taken over
};

static_assert(std::endian::native == std::endian::little, "records are stored as held: little-endian");
static_assert(std::is_trivially_copyable_v<WheelTypeRecord> && std::is_standard_layout_v<WheelTypeRecord>);
static_assert(std::is_trivially_copyable_v<DiskTypeRecord> && std::is_standard_layout_v<DiskTypeRecord>);
static_assert(std::is_trivially_copyable_v<DopuskQavRecord> && std::is_standard_layout_v<DopuskQavRecord>);
static_assert(std::is_trivially_copyable_v<DopuskQodRecord> && std::is_standard_layout_v<DopuskQodRecord>);

static_assert(sizeof(WheelTypeRecord) == 512);
static_assert(offsetof(WheelTypeRecord, name) == 0);
static_assert(offsetof(WheelTypeRecord, referName) == 100);
static_assert(offsetof(WheelTypeRecord, schemeName) == 200);
static_assert(offsetof(WheelTypeRecord, toleranceName) == 300);
static_assert(offsetof(WheelTypeRecord, dimensions) == 400);
static_assert(offsetof(WheelTypeRecord, option1) == 484);
static_assert(offsetof(WheelTypeRecord, option2) == 485);
static_assert(offsetof(WheelTypeRecord, option3) == 486);
static_assert(offsetof(WheelTypeRecord, wheelTypeOption) == 487);
static_assert(offsetof(WheelTypeRecord, switches) == 488);
static_assert(offsetof(WheelTypeRecord, spare) == 510);

static_assert(sizeof(DiskTypeRecord) == 416);
static_assert(offsetof(DiskTypeRecord, name) == 0);
static_assert(offsetof(DiskTypeRecord, referName) == 100);
static_assert(offsetof(DiskTypeRecord, schemeName) == 200);
static_assert(offsetof(DiskTypeRecord, toleranceName) == 300);
static_assert(offsetof(DiskTypeRecord, discL1) == 400);
static_assert(offsetof(DiskTypeRecord, discL2) == 404);
static_assert(offsetof(DiskTypeRecord, switches) == 408);
static_assert(offsetof(DiskTypeRecord, discOption1) == 412);
static_assert(offsetof(DiskTypeRecord, headMode) == 413);
static_assert(offsetof(DiskTypeRecord, spare) == 414);

static_assert(sizeof(DopuskQavRecord) == 456);
static_assert(offsetof(DopuskQavRecord, name) == 0);
static_assert(offsetof(DopuskQavRecord, upper) == 100);
static_assert(offsetof(DopuskQavRecord, lower) == 188);
static_assert(offsetof(DopuskQavRecord, upperWarning) == 276);
static_assert(offsetof(DopuskQavRecord, lowerWarning) == 364);
static_assert(offsetof(DopuskQavRecord, spare) == 452);

static_assert(sizeof(DopuskQodRecord) == 168);
static_assert(offsetof(DopuskQodRecord, name) == 0);
static_assert(offsetof(DopuskQodRecord, limits) == 100);
static_assert(offsetof(DopuskQodRecord, spare) == 164);

// The catalogue files, one class per record type. Each operation opens and
// closes the file itself and leaves it closed; results are 1 success, 0
// failure, and -1 from GetCount when the file cannot be opened (missing card
// or folder).
template <typename Record>
class CCatalogFile {
public:
    CCatalogFile(const CCatalogFile&) = delete;
    CCatalogFile& operator=(const CCatalogFile&) = delete;

    // Whole records in the file; a missing file is created empty.
    int GetCount();
    // Reads the records into the caller's buffer of `capacity` records
    // (sized from GetCount), never more than it holds.
    int ReadAll(Record* buffer, int capacity);
    // Adds one record at the end, creating a missing file.
    int Append(const Record* record);
    // Replaces the whole file by n records made from the `readCount`
    // records `asRead` read from it: written only while the file still holds
    // exactly those (else 0, LastRefusal RecordChanged), so no entry the
    // reader never saw is lost. The old file stays intact until the new one
    // is complete. A missing file gives 0 and writes nothing. Refreshes the
    // record count.
    int WriteAll(const Record* buffer, int n, const Record* asRead, int readCount);
    int Delete();
    // Undoes an append cut off half-way (see CFixedRecordFile): 1 when none
    // is left pending.
    int RollBackCutOff();
    // Why the last write wrote nothing (see CFixedRecordFile).
    CFixedRecordFile::Refusal LastRefusal() const { return m_file.LastRefusal(); }
    // The record count as last refreshed by WriteAll.
    int RecordCount() const { return m_count; }
    const WCHAR* FileName() const { return m_fileName; }

protected:
    // `name` is the file's name in the program folder.
    explicit CCatalogFile(const WCHAR* name);

private:
    CFixedRecordFile m_file;  // holds the handle of the operation under way
    int m_count = 0;
    CProgramFolder m_folder;
    WCHAR m_path[PROGRAM_FOLDER_CHARS] = {};
    WCHAR m_fileName[PROGRAM_FOLDER_CHARS + 16] = {};
};

class CWheelTypeFile : public CCatalogFile<WheelTypeRecord> {
public:
    CWheelTypeFile();
};

class CDiskTypeFile : public CCatalogFile<DiskTypeRecord> {
public:
    CDiskTypeFile();
};

class CDopuskQavFile : public CCatalogFile<DopuskQavRecord> {
public:
    CDopuskQavFile();

    // Takes the four limit arrays of `record` over into `destination` (88
    // words, array after array: word 22*a+i from array a, entry i), except
    // entries 3, 4, 5 and 9 of each array, which keep the destination's values.
    void CopyRecord(LONG* destination, const DopuskQavRecord& record);
};

class CDopuskQodFile : public CCatalogFile<DopuskQodRecord> {
public:
    CDopuskQodFile();

    // Takes all 16 limits over into `destination` (16 words).
    void CopyRecord(LONG* destination, const DopuskQodRecord& record);
};

// Undoes the saves cut off half-way in the journals of both families and in
// the four catalogues, as the program does once at start, when no other copy
// of it can be in the middle of one. The number of files that stay held back
// by one that could not be undone; `why`, where given, gets the gravest
// reason (CFixedRecordFile::Graver), None when none is held back.
int RollBackCutOffSaves(CFixedRecordFile::Refusal* why = nullptr);
