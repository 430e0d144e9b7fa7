// The catalogue screens' copies of a catalogue file in memory: all records of
// the file, read whole, edited in place and written back whole.
#pragma once

#include <memory>
#include <new>

// count records of a catalogue file in a new zeroed array. A file that cannot
// be opened or read counts as empty, so nothing later writes back an array it
// never read.
template <class Record, class File>
int LoadCatalogRecords(File& file, std::unique_ptr<Record[]>& records)
{
    int count = file.GetCount();
    records.reset(count > 0 ? new (std::nothrow) Record[count]() : nullptr);
    if (!records) return 0;
    if (!file.ReadAll(records.get(), count)) {
        records.reset();
        return 0;
    }
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
