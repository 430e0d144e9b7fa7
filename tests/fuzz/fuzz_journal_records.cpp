// Journals of any size and content (empty, torn, garbage, 0xFF-filled, text
// fields without terminators) are counted, read whole and record by record,
// restored into results and settings, and appended to, without a crash or a
// write past any buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/FileNames.h"
#include "settings/ParamFile.h"
#include "tests/fuzz/FuzzProgramRoot.h"

namespace {

template <class Record>
size_t TextChars(const Record& r)
{
    // Every text field read back bounded by its width.
    return qplat::FieldText(r.date, 10).size() + qplat::FieldText(r.time, 10).size() +
           qplat::FieldText(r.wheelName, 13).size() + qplat::FieldText(r.carName, 20).size() +
           qplat::FieldText(r.carNumber, 20).size() + qplat::FieldText(r.side, 2).size() +
           qplat::FieldText(r.axleName, 10).size() + qplat::FieldText(r.axleName2, 10).size() +
           qplat::FieldText(r.trainName, 20).size() + qplat::FieldText(r.referName, 50).size() +
           qplat::FieldText(r.positionText, 100).size() + (IsValidFileNameField(r.referName, 50) ? 1 : 0);
}

template <class Journal, class Record>
void Exercise(Journal& journal, const WCHAR* path, const uint8_t* data, size_t size, DWORD recordSize)
{
    Check(qplat::RewriteFile(path, data, size) == TRUE);
    const int count = journal.GetCount(u"Fuzz");
    Check(count == static_cast<int>(size / recordSize));

    // One record fewer than the journal holds: the read must stop there.
    const int capacity = count > 0 ? count - 1 : 0;
    auto* records = static_cast<Record*>(LocalAlloc(LPTR, (static_cast<size_t>(capacity) + 1) * sizeof(Record)));
    Check(records != nullptr);
    Check(journal.ReadAll(u"Fuzz", records, capacity) == 1);
    Check(SameBytes(records, data, static_cast<size_t>(capacity) * sizeof(Record)));

    CParamFile param;
    size_t chars = 0;
    for (int i = 0; i < capacity; ++i) {
        chars += TextChars(records[i]);
        if constexpr (sizeof(Record) == QAV_RECORD_SIZE) {
            WheelResult result{};
            HeadSettings settings{};
            param.CalcSettingsFromQavRecord(&result, records[i]);
            param.QavRecordSettings(&settings, records[i]);
        } else {
            DiscResult result{};
            DiscSettings settings{};
            param.CalcSettingsFromQodRecord(&result, records[i]);
            param.QodRecordSettings(&settings, records[i]);
        }
    }
    (void)chars;

    if (count > 0) {
        Check(journal.ReadRecord(u"Fuzz", count - 1, &records[capacity]) == 1);
        Check(journal.ReadRecord(u"Fuzz", count, &records[capacity]) == 0);
        // The last whole record can be replaced in place, whatever follows it.
        Check(journal.Replace(u"Fuzz", &records[capacity], count - 1) == 1);
    }
    Check(journal.Replace(u"Fuzz", &records[0], count) == 0);

    // An append after any torn tail is read back as the last record.
    records[0].side[0] = u'1';
    Check(journal.Append(u"Fuzz", &records[0]) == 1);
    Check(journal.GetCount(u"Fuzz") == count + 1);
    auto* back = static_cast<Record*>(LocalAlloc(LPTR, sizeof(Record)));
    Check(back != nullptr);
    Check(journal.ReadRecord(u"Fuzz", count, back) == 1);
    Check(std::memcmp(back, &records[0], sizeof(Record)) == 0);
    LocalFree(back);
    LocalFree(records);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzProgramRoot root("journal", "DB");
    if (size > 4 * QOD_RECORD_SIZE) return 0;
    CDBJournalQav qav;
    CDBJournalQod qod;
    Exercise<CDBJournalQav, QavJournalRecord>(qav, u"\\SDMMC\\Autorun\\DB\\Fuzz.qav", data, size, QAV_RECORD_SIZE);
    Exercise<CDBJournalQod, QodJournalRecord>(qod, u"\\SDMMC\\Autorun\\DB\\Fuzz.qod", data, size, QOD_RECORD_SIZE);
    return 0;
}
