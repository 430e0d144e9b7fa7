// Journals of any size and content (empty, torn, garbage, 0xFF-filled, text
// fields without terminators) are counted, read whole and record by record,
// restored into results and settings, and appended to, also an axle's pair of
// records at once on a card that fills anywhere in it (cut back and put back
// to the byte), without a crash or a write past any buffer; any bytes as a
// journal's roll-back file are refused or applied, never half; and a
// well-formed roll-back puts back to the byte any journal its group could
// have left (a kill or a power cut: past the old length anything), keeping
// a copy where the growth holds what is neither the group's nor zeros, and
// no byte of any other.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/FileNames.h"
#include "settings/ParamFile.h"
#include "settings/RollBack.h"
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

// A group the data make up (a record replaced, one or two appended over the
// torn tail) and its roll-back, written the way a save writes it, over the
// journal `old` as the group could have left it when cut off: each byte the
// group writes inside the old length old or new as the data's bits say, the
// length cut anywhere between, and past the old length what a power cut
// leaves there (the new bytes, zeros or stale card data). The roll-back must
// give `old` back to the byte, keeping a copy of the journal as found where
// the growth holds bytes neither new nor zero; over the same journal with
// one byte inside the old length neither old nor new, it must change
// nothing.
template <class Journal>
void ApplyWellFormedRollBack(const FuzzProgramRoot& root, Journal& journal, const WCHAR* path, const char* file,
                             const uint8_t* data, size_t size, DWORD recordSize)
{
    const std::string old = root.Get(file);
    const size_t length = old.size();
    const size_t count = length / recordSize;
    const size_t end = count * recordSize;
    const size_t appends = 1 + (size > 0 ? data[0] % 2 : 0);
    const size_t newLength = end + appends * recordSize;
    auto fill = [&](size_t at) { return static_cast<char>(size > 0 ? data[at % size] ^ 0xA5 : 0x5A); };
    std::string next = old.substr(0, end);
    for (size_t i = 0; i < appends * recordSize; ++i) next.push_back(fill(i));
    const size_t replaced = count > 0 && size > 1 ? data[1] % count : count;
    if (replaced < count)
        for (size_t i = 0; i < recordSize; ++i) next[replaced * recordSize + i] = fill(i + 7);

    const auto* oldBytes = reinterpret_cast<const BYTE*>(old.data());
    const auto* newBytes = reinterpret_cast<const BYTE*>(next.data());
    CRollBack rollBack(recordSize, length, newLength);
    if (replaced < count)
        rollBack.AddRange(replaced * recordSize, oldBytes + replaced * recordSize, recordSize,
                          newBytes + replaced * recordSize, recordSize);
    rollBack.AddRange(end, oldBytes + end, static_cast<DWORD>(length - end), newBytes + end,
                      static_cast<DWORD>(newLength - end));

    const size_t cut = length + (size > 2 ? data[2] : 0) % (newLength - length + 1);
    std::string torn = next.substr(0, cut);
    size_t pick = 3;
    auto bits = [&] { return size > 0 ? data[(pick++) % size] : 0; };
    auto oldOrNew = [&](size_t at) {
        if ((bits() & 1) != 0) torn[at] = old[at];
    };
    for (size_t at = end; at < length; ++at) oldOrNew(at);
    if (replaced < count)
        for (size_t at = replaced * recordSize; at < (replaced + 1) * recordSize; ++at) oldOrNew(at);
    // The growth, a block of the card at a time: the new bytes, zeros or
    // stale data.
    bool foreign = false;
    int shape = 0;
    for (size_t at = length; at < cut; ++at) {
        if ((at - length) % 512 == 0) shape = bits() % 3;
        if (shape == 1) torn[at] = 0;
        if (shape == 2) torn[at] = static_cast<char>(fill(at + 13) ^ 0x3C);
        foreign = foreign || (torn[at] != next[at] && torn[at] != 0);
    }

    const std::string undo = std::string(file) + ".undo";
    const std::string copy = std::string(file) + ".found";
    auto expectCopy = [&](bool kept, const std::string& found) {
        Check(root.Has(copy.c_str()) == kept);
        if (kept) Check(root.Get(copy.c_str()) == found);
        std::error_code ec;
        std::filesystem::remove(root.folder / copy, ec);
    };
    Check(rollBack.Write(path));
    Check(qplat::RewriteFile(path, torn.data(), torn.size()) == TRUE);
    Check(journal.RollBackCutOff(u"Fuzz") == 1);
    Check(root.Get(file) == old);
    Check(!root.Has(undo.c_str()));
    expectCopy(foreign, torn);

    // One byte that neither the journal held nor the group wrote: inside the
    // old length, another journal, kept as it is; past it, stale card data,
    // cut off with a copy kept.
    const size_t at = replaced < count ? replaced * recordSize : end < length ? end : length;
    if (at >= torn.size()) return;
    char other = 0;
    while (other == old[at] || (at < next.size() && other == next[at])) ++other;
    torn[at] = other;
    Check(rollBack.Write(path));
    Check(qplat::RewriteFile(path, torn.data(), torn.size()) == TRUE);
    Check(journal.RollBackCutOff(u"Fuzz") == 1);
    Check(!root.Has(undo.c_str()));
    if (at < length) {
        Check(root.Get(file) == torn);
        expectCopy(false, torn);
    } else {
        Check(root.Get(file) == old);
        expectCopy(true, torn);
    }
    Check(qplat::RewriteFile(path, old.data(), old.size()) == TRUE);
}

template <class Journal, class Record>
void Exercise(const FuzzProgramRoot& root, Journal& journal, const WCHAR* path, const char* file, const uint8_t* data,
              size_t size, DWORD recordSize)
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

    // An axle's two records as one, after whatever the journal held.
    Check(journal.AppendPair(u"Fuzz", &records[capacity], &records[0]) == 1);
    Check(journal.GetCount(u"Fuzz") == count + 3);
    Check(journal.ReadRecord(u"Fuzz", count + 1, back) == 1);
    Check(std::memcmp(back, &records[capacity], sizeof(Record)) == 0);

    // A card that fills somewhere in a pair save (its roll-back included):
    // the journal holds both records or, once cut back and put back, is as
    // it was to the byte.
    const std::string before = root.Get(file);
    const long long room = static_cast<long long>(size % (3 * recordSize + 200));
    for (int pair = 0; pair < 3; ++pair) {
        qplat::FailFileWritesAfter(room);
        int written = 0;
        if (pair == 0) written = journal.AppendPair(u"Fuzz", &records[0], &records[capacity]);
        if (pair == 1) written = journal.ReplaceAndAppend(u"Fuzz", &records[0], count, &records[capacity]);
        if (pair == 2) written = journal.ReplacePair(u"Fuzz", &records[capacity], 0, &records[0], count + 2);
        qplat::FailFileWritesAfter(-1);
        Check(journal.RollBackCutOff(u"Fuzz") == 1);
        const std::string after = root.Get(file);
        if (written == 1) {
            Check(after.size() == before.size() + (2 - pair) * static_cast<size_t>(recordSize));
            // Back to the journal as it was for the next pair.
            Check(qplat::RewriteFile(path, before.data(), before.size()) == TRUE);
            Check(root.Get(file) == before);
        } else {
            Check(after == before);
        }
    }

    // Any bytes as the journal's roll-back: applied only when they are one
    // of this journal's, and gone afterwards either way.
    const std::string rollBack = std::string(file) + ".undo";
    root.Put(rollBack.c_str(), std::string(reinterpret_cast<const char*>(data), size));
    Check(journal.RollBackCutOff(u"Fuzz") == 1);
    Check(!root.Has(rollBack.c_str()));
    // A roll-back only cuts the journal back and puts old bytes below the
    // cut: it never makes the journal longer.
    const std::string rolledBack = root.Get(file);
    Check(rolledBack == before || rolledBack.size() <= before.size());
    std::error_code ec;
    std::filesystem::remove(root.folder / (std::string(file) + ".found"), ec);
    ApplyWellFormedRollBack(root, journal, path, file, data, size, recordSize);
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
    Exercise<CDBJournalQav, QavJournalRecord>(root, qav, u"\\SDMMC\\Autorun\\DB\\Fuzz.qav", "Fuzz.qav", data, size,
                                              QAV_RECORD_SIZE);
    Exercise<CDBJournalQod, QodJournalRecord>(root, qod, u"\\SDMMC\\Autorun\\DB\\Fuzz.qod", "Fuzz.qod", data, size,
                                              QOD_RECORD_SIZE);
    return 0;
}
