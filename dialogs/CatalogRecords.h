// The catalogue screens' copies of a catalogue file in memory: all records of
// the file, read whole, edited in place and written back whole.
#pragma once

#include <algorithm>
#include <memory>
#include <new>

#include "settings/CatalogFiles.h"

// count records of a catalogue file in a new zeroed array, and, for a screen
// that writes them back, the same in `asRead`, which the write expects the
// file to hold still. A file that cannot be opened or read counts as empty,
// so nothing later writes back an array it never read (the write, expecting
// no record, finds the file's).
template <class Record, class File>
int LoadCatalogRecords(File& file, std::unique_ptr<Record[]>& records, std::unique_ptr<Record[]>* asRead = nullptr)
{
    int count = file.GetCount();
    records.reset(count > 0 ? new (std::nothrow) Record[count]() : nullptr);
    if (asRead) asRead->reset(count > 0 ? new (std::nothrow) Record[count]() : nullptr);
    if (!records || (asRead && !*asRead) || !file.ReadAll(records.get(), count)) {
        records.reset();
        if (asRead) asRead->reset();
        return 0;
    }
    if (asRead) std::copy(records.get(), records.get() + count, asRead->get());
    return count;
}

// Removes record `position` of count records; the later ones move up by one.
template <class Record, class Count>
void RemoveCatalogRecord(Record* records, Count& count, int position)
{
    if (!records || position < 0 || static_cast<Count>(position) >= count) return;
    for (Count i = static_cast<Count>(position) + 1; i < count; ++i) records[i - 1] = records[i];
    --count;
}

// The type catalogue of the device's family: the wheel types of
// "WheelType.qav" or the disc types of "DiskType.qod". Writes return 1 when
// the whole file (or the appended record) was written.
class CTypeRecords {
public:
    // Reads the family's file; `disc` chooses the disc types.
    void Load(bool disc);
    int Count() const { return m_count; }
    // The name field of a row ("" outside the catalogue); it may lack a terminator.
    const WCHAR* Name(int row) const;
    // The records of a row; nullptr outside the catalogue or the family.
    const WheelTypeRecord* Wheel(int row) const;
    const DiskTypeRecord* Disk(int row) const;
    // Replaces a row and writes the whole file back.
    int Replace(int row, const WheelTypeRecord& record);
    int Replace(int row, const DiskTypeRecord& record);
    int Append(const WheelTypeRecord& record);
    int Append(const DiskTypeRecord& record);
    // Removes a row (the later ones move up) and writes the whole file back.
    int Remove(int row);
    // Why the last write wrote nothing (RecordChanged: the file no longer
    // holds what Load read; Load again to show what it holds).
    CFixedRecordFile::Refusal LastRefusal() const
    {
        return m_disc ? m_diskFile.LastRefusal() : m_wheelFile.LastRefusal();
    }

private:
    bool Holds(int row) const { return row >= 0 && row < m_count; }
    int WriteBack();

    bool m_disc = false;
    int m_count = 0;
    int m_readCount = 0;
    std::unique_ptr<WheelTypeRecord[]> m_wheelTypes;
    std::unique_ptr<DiskTypeRecord[]> m_diskTypes;
    // The file's records as Load read them.
    std::unique_ptr<WheelTypeRecord[]> m_wheelRead;
    std::unique_ptr<DiskTypeRecord[]> m_diskRead;
    CWheelTypeFile m_wheelFile;
    CDiskTypeFile m_diskFile;
};
