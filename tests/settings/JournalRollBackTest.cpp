// The journals' pair saves against a kill or a power cut half-way: the
// roll-back file "<journal>.undo" a cut-off pair save leaves is applied at
// start and before every later write of the journal, cutting off what lies
// past the journal's old length whatever it holds (a copy kept where that is
// neither the save's nor zeros); one of a bad shape, or one over a journal
// its pair save could not have left (changed or replaced since), is removed
// without touching the journal; one that cannot be applied or removed holds
// every write of its journal back, telling a read-only card from a failing
// one; a roll-back is matched to its journal by its exact name; a folder in
// its place is left alone and the pair saves fail without writing.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "FixedRecordTestRoot.h"
#include "platform/PowerCut.h"
#include "settings/CatalogFiles.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "tests/support/CutOffSave.h"

namespace {

namespace fs = std::filesystem;

using recordtest::Filled;
using recordtest::QavRecord;

class JournalRollBackTest : public recordtest::DeviceRootTest {
protected:
    fs::path Journal() const { return DbDir() / "J.qav"; }
    fs::path RollBack() const { return DbDir() / "J.qav.undo"; }
    fs::path Found() const { return DbDir() / "J.qav.found"; }
    using Refusal = CFixedRecordFile::Refusal;

    // A journal of three records and a torn tail.
    void MakeJournal()
    {
        CDBJournalQav qav;
        for (LONG tag : {1, 2, 3}) ASSERT_EQ(1, qav.Append(u"J", QavRecord(tag).get()));
        auto bytes = ReadBytes(Journal());
        bytes.resize(bytes.size() + 300, 0x5A);
        WriteBytes(Journal(), bytes);
    }

    template <class Save>
    static bool CutOff(const fs::path& journal, Save save)
    {
        return qtest::CutOffSave(journal, save);
    }
    // The axle saves of journal J, in each state a save can be cut off in.
    struct Save {
        const char* what;
        void (*save)();
    };
    static constexpr Save kNewAxle{"a new axle",
                                   [] { CDBJournalQav().AppendPair(u"J", QavRecord(8).get(), QavRecord(9).get()); }};
    static constexpr Save kSaves[] = {
        kNewAxle,
        {"a replaced axle whose other wheel was missing",
         [] { CDBJournalQav().ReplaceAndAppend(u"J", QavRecord(8).get(), 1, QavRecord(9).get()); }},
        {"a replaced axle with both wheels stored",
         [] { CDBJournalQav().ReplacePair(u"J", QavRecord(8).get(), 0, QavRecord(9).get(), 2); }},
    };
    bool CutOffReplacePair() { return CutOff(Journal(), kSaves[2].save); }
    bool CutOffAppendPair() { return CutOff(Journal(), kNewAxle.save); }

    // The journal as another card holds it: the same length, every whole
    // record with another car name.
    static std::vector<uint8_t> OfAnotherCard(std::vector<uint8_t> bytes)
    {
        const size_t size = sizeof(QavJournalRecord);
        for (size_t at = 0; at + size <= bytes.size(); at += size)
            std::memcpy(bytes.data() + at + offsetof(QavJournalRecord, carName), u"Other car", 18);
        return bytes;
    }
    // The roll-back put over the journal is removed, and the journal left
    // byte for byte as it was.
    void ExpectRemovedWithoutHarm(const std::vector<uint8_t>& journal, const std::vector<uint8_t>& rollBack)
    {
        WriteBytes(Journal(), journal);
        WriteBytes(RollBack(), rollBack);
        EXPECT_EQ(1, CDBJournalQav().RollBackCutOff(u"J"));
        EXPECT_EQ(journal, ReadBytes(Journal()));
        EXPECT_FALSE(Exists(RollBack()));
    }
    bool Holds(LONG tag)
    {
        CDBJournalQav qav;
        const int n = qav.GetCount(u"J");
        std::vector<QavJournalRecord> all(n > 0 ? n : 1);
        if (n < 1 || qav.ReadAll(u"J", all.data(), n) != 1) return false;
        for (int i = 0; i < n; ++i)
            if (all[i].profileZ[0] == tag) return true;
        return false;
    }
};

TEST_F(JournalRollBackTest, ACutOffPairSaveIsUndoneAtStartAndBeforeTheNextPairSave)
{
    MakeJournal();
    const auto before = ReadBytes(Journal());
    ASSERT_TRUE(CutOffReplacePair());
    RollBackCutOffJournalSaves();
    EXPECT_EQ(before, ReadBytes(Journal())) << "both records and the torn tail as they were";
    EXPECT_FALSE(Exists(RollBack()));

    // The disc family's journals are undone at start too.
    CDBJournalQod qod;
    ASSERT_EQ(1, qod.Append(u"D", Filled<QodJournalRecord>(0).get()));
    const auto discBefore = ReadBytes(DbDir() / "D.qod");
    ASSERT_TRUE(CutOff(DbDir() / "D.qod", [] {
        const auto a = Filled<QodJournalRecord>(0x11);
        CDBJournalQod().AppendPair(u"D", a.get(), a.get());
    }));
    RollBackCutOffJournalSaves();
    EXPECT_EQ(discBefore, ReadBytes(DbDir() / "D.qod"));
    EXPECT_FALSE(Exists(DbDir() / "D.qod.undo"));

    // Cut off again: the next pair save undoes it first, then goes through.
    ASSERT_TRUE(CutOffAppendPair());
    CDBJournalQav qav;
    ASSERT_EQ(1, qav.AppendPair(u"J", QavRecord(6).get(), QavRecord(7).get()));
    EXPECT_FALSE(Exists(RollBack()));
    const auto after = ReadBytes(Journal());
    ASSERT_EQ(5u * sizeof(QavJournalRecord), after.size()) << "the pair takes over the torn tail";
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 3 * sizeof(QavJournalRecord), after.begin()));
    std::vector<QavJournalRecord> all(5);
    ASSERT_EQ(1, qav.ReadAll(u"J", all.data(), 5));
    EXPECT_EQ(6, all[3].profileZ[0]);
    EXPECT_EQ(7, all[4].profileZ[0]);
}

// Roll-back files that cannot be this journal's: each is removed and the
// journal is left byte for byte as it was.
TEST_F(JournalRollBackTest, ARollBackOfABadShapeIsRefusedWithoutHarm)
{
    MakeJournal();
    const auto clean = ReadBytes(Journal());
    ASSERT_TRUE(CutOffReplacePair());
    const auto valid = ReadBytes(RollBack());
    const auto torn = ReadBytes(Journal());
    ASSERT_GT(valid.size(), 2 * sizeof(QavJournalRecord));

    auto flipped = valid;
    flipped[valid.size() / 2] ^= 0x01;
    auto shortened = valid;
    shortened.resize(valid.size() - 100);
    auto longer = valid;
    longer.push_back(0);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } bad[] = {
        {"empty", {}},
        {"short", std::vector<uint8_t>(valid.begin(), valid.begin() + 10)},
        {"garbage", Pattern(valid.size(), 7)},
        {"one bit changed", flipped},
        {"cut short", shortened},
        {"a byte too many", longer},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        ExpectRemovedWithoutHarm(torn, b.bytes);
    }

    // Whole, but the disc journals' record size: not this journal's.
    CDBJournalQod qod;
    ASSERT_EQ(1, qod.Append(u"D", Filled<QodJournalRecord>(0).get()));
    ASSERT_TRUE(CutOff(DbDir() / "D.qod", [] {
        const auto a = Filled<QodJournalRecord>(0x22);
        CDBJournalQod().ReplacePair(u"D", a.get(), 0, a.get(), 0);
    }));
    const auto discRollBack = ReadBytes(DbDir() / "D.qod.undo");
    fs::remove(DbDir() / "D.qod.undo");
    ExpectRemovedWithoutHarm(torn, discRollBack);

    // Whole and this journal's, but the journal has grown past what the cut
    // pair save could have left: a record appended since. Its old bytes would
    // only damage it now.
    auto grown = torn;
    grown.resize(torn.size() + sizeof(QavJournalRecord), 0x33);
    ExpectRemovedWithoutHarm(grown, valid);

    // A roll-back without its journal.
    WriteBytes(RollBack(), valid);
    fs::remove(Journal());
    RollBackCutOffJournalSaves();
    EXPECT_FALSE(Exists(Journal())) << "no journal is made for it";
    EXPECT_FALSE(Exists(RollBack()));

    // And the valid one over the journal it was made for is applied.
    WriteBytes(Journal(), torn);
    WriteBytes(RollBack(), valid);
    EXPECT_EQ(1, CDBJournalQav().RollBackCutOff(u"J"));
    EXPECT_EQ(clean, ReadBytes(Journal()));
}

// A journal put in place of the one a pair save was cut off in (copied from
// a PC, another card's "DB"): the same length, but not what the save could
// have left. It keeps every byte, in each state a save can be cut off in.
TEST_F(JournalRollBackTest, ARollBackIsNeverAppliedToAnotherJournal)
{
    for (const Save& save : kSaves) {
        SCOPED_TRACE(save.what);
        fs::remove(Journal());
        MakeJournal();
        ASSERT_TRUE(CutOff(Journal(), save.save));
        const auto other = OfAnotherCard(ReadBytes(Journal()));
        WriteBytes(Journal(), other);
        EXPECT_EQ(0, RollBackCutOffJournalSaves());
        EXPECT_EQ(other, ReadBytes(Journal()));
        EXPECT_FALSE(Exists(RollBack())) << "removed, with a line that names it";
    }
}

// Where a cut-off save's growth holds bytes neither its own nor zeros, the
// copy of the journal as found goes first; it never goes over an earlier one,
// whatever its letter case, and is no journal and no roll-back to the
// listings. Where none can be kept, nothing is cut, and the cause is named:
// a full card, every copy's name taken, a read-only journal.
TEST_F(JournalRollBackTest, WhereNoCopyOfTheJournalAsFoundCanBeKeptNothingIsCut)
{
    WriteBytes(Journal(), {});
    ASSERT_TRUE(CutOffAppendPair());
    const auto undo = ReadBytes(RollBack());
    auto stale = ReadBytes(Journal());
    stale.resize(2 * sizeof(QavJournalRecord), 0x6B);
    WriteBytes(DbDir() / "j.QAV.FOUND", {1, 2, 3});
    WriteBytes(Journal(), stale);
    CDBJournalQav qav;
    const struct {
        const char* what;
        std::function<void(bool)> cause;
        Refusal told;
    } causes[] = {
        {"a full card", [](bool on) { qplat::FailFileWritesAfter(on ? 0 : -1); }, Refusal::CutOffSaveCardFull},
        {"every name taken",
         [this](bool on) {
             for (int n = 2; n < 1000; ++n) {
                 const fs::path copy = DbDir() / ("J.qav.found" + std::to_string(n));
                 if (on) WriteBytes(copy, {});
                 else fs::remove(copy);
             }
         },
         Refusal::CutOffSaveNoCopyName},
        {"a read-only journal",
         [this](bool on) {
             fs::permissions(Journal(), fs::perms::owner_write, on ? fs::perm_options::remove : fs::perm_options::add);
         },
         Refusal::CutOffSaveStuck},
    };
    for (const auto& c : causes) {
        SCOPED_TRACE(c.what);
        c.cause(true);
        EXPECT_EQ(0, qav.RollBackCutOff(u"J"));
        EXPECT_EQ(c.told, qav.LastRefusal());
        Refusal why = Refusal::None;
        EXPECT_EQ(1, RollBackCutOffSaves(&why)) << "told at start";
        EXPECT_EQ(c.told, why);
        c.cause(false);
        EXPECT_EQ(stale, ReadBytes(Journal()));
        EXPECT_EQ(undo, ReadBytes(RollBack()));
        EXPECT_FALSE(Exists(DbDir() / "J.qav.found2")) << "no copy while the journal cannot be cut";
    }
    EXPECT_EQ(0, RollBackCutOffSaves());
    EXPECT_EQ(0u, SizeOf(Journal()));
    EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), ReadBytes(DbDir() / "j.QAV.FOUND"));
    EXPECT_EQ(stale, ReadBytes(DbDir() / "J.qav.found2"));
    std::vector<std::u16string> listed;
    for (const char16_t* pattern : {u"\\SDMMC\\Autorun\\DB\\*.qav", u"\\SDMMC\\Autorun\\DB\\*.qav.undo"}) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(pattern, &found);
        for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found))
            listed.push_back(found.cFileName);
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
    EXPECT_EQ(std::vector<std::u16string>{u"J.qav"}, listed);
}

// Every kind of write of the record files, cut by a power cut at each of its
// durable steps and left in each shape a power cut can leave the card in;
// then the program starts again. Each file is the old one or the whole new
// one, nothing half or stray is left, a copy of a journal as found is kept
// exactly where a save's growth held other bytes, and a write the program
// called done stays done.
struct PowerCutWrite {
    const char* what;
    const char* file;  // the file it writes
    bool catalogue;    // in the program folder, not in its "DB"
    void (*arrange)();
    int (*write)();
};

template <class Record>
std::unique_ptr<Record> PatternRecord(uint32_t seed)
{
    auto record = std::make_unique<Record>();
    uint32_t v = seed * 2654435761u + 1;
    BYTE* bytes = reinterpret_cast<BYTE*>(record.get());
    for (size_t k = 0; k < sizeof(Record); ++k) {
        v = v * 1103515245u + 12345u;
        bytes[k] = static_cast<BYTE>(v >> 16);
    }
    return record;
}
const auto Wheel = PatternRecord<QavJournalRecord>;
const auto Disc = PatternRecord<QodJournalRecord>;

void ThreeWheels()
{
    for (uint32_t seed : {1, 2, 3}) CDBJournalQav().Append(u"J", Wheel(seed).get());
}

const PowerCutWrite kPowerCutWrites[] = {
    {"OneWheelAppendedOverATornTail", "J.qav", false,
     [] {
         ThreeWheels();
         // An append cut short earlier: its tail is taken over.
         FILE* tail = std::fopen((qplat::DeviceRoot() + "/SDMMC/Autorun/DB/J.qav").c_str(), "ab");
         std::fputs("torn", tail);
         std::fclose(tail);
     },
     [] { return CDBJournalQav().Append(u"J", Wheel(4).get()); }},
    {"OneWheelReplaced", "J.qav", false, ThreeWheels,
     [] { return CDBJournalQav().Replace(u"J", Wheel(8).get(), 1, Wheel(2).get()); }},
    {"OneDiscAppended", "D.qod", false, [] { CDBJournalQod().Append(u"D", Disc(1).get()); },
     [] { return CDBJournalQod().Append(u"D", Disc(2).get()); }},
    {"OneDiscReplaced", "D.qod", false, [] { CDBJournalQod().Append(u"D", Disc(1).get()); },
     [] { return CDBJournalQod().Replace(u"D", Disc(2).get(), 0, Disc(1).get()); }},
    {"NewAxle", "J.qav", false, ThreeWheels, [] { return CDBJournalQav().AppendPair(u"J", Wheel(8).get(), Wheel(9).get()); }},
    {"ReplacedAxleWhoseOtherWheelIsMissing", "J.qav", false, ThreeWheels,
     [] { return CDBJournalQav().ReplaceAndAppend(u"J", Wheel(8).get(), 1, Wheel(9).get(), Wheel(2).get(), 3); }},
    {"ReplacedAxleWithBothWheelsStored", "J.qav", false, ThreeWheels,
     [] {
         return CDBJournalQav().ReplacePair(u"J", Wheel(8).get(), 0, Wheel(9).get(), 2, Wheel(1).get(), Wheel(3).get());
     }},
    {"BrowserDeletesARecord", "J.qav", false, ThreeWheels,
     [] {
         std::vector<QavJournalRecord> shown(3);
         CDBJournalQav journal;
         if (!journal.ReadAll(u"J", shown.data(), 3)) return 0;
         const QavJournalRecord kept[2] = {shown[0], shown[2]};
         return journal.WriteAll(u"J", kept, 2, shown.data(), 3);
     }},
    {"JournalDeleted", "J.qav", false, ThreeWheels, [] { return CDBJournalQav().Delete(u"J"); }},
    {"WheelTypeAppended", "WheelType.qav", true, [] { CWheelTypeFile().Append(PatternRecord<WheelTypeRecord>(1).get()); },
     [] { return CWheelTypeFile().Append(PatternRecord<WheelTypeRecord>(2).get()); }},
};

void PrintTo(const PowerCutWrite& write, std::ostream* out)
{
    *out << write.what;
}

class PowerCutTable : public JournalRollBackTest, public testing::WithParamInterface<PowerCutWrite> {
protected:
    using Files = std::map<std::string, std::string>;
    static Files FilesOf(const qplat::CardShape& shape)
    {
        Files files;
        for (const qplat::CardFolder& folder : shape.folders)
            for (const auto& file : folder.files) files[folder.hostPath + "/" + file.first] = file.second;
        return files;
    }
    // The names of the files that differ, for a failure's message.
    static std::string Differences(const Files& a, const Files& b)
    {
        std::string names;
        for (const auto& file : a)
            if (!b.count(file.first) || b.at(file.first) != file.second) names += " " + file.first;
        for (const auto& file : b)
            if (!a.count(file.first)) names += " +" + file.first;
        return names;
    }
};

TEST_P(PowerCutTable, EveryCutLeavesTheOldFileOrTheWholeNewOne)
{
    const PowerCutWrite& write = GetParam();
    write.arrange();
    const qplat::PowerCutRun uncut = qplat::CutPowerAtStep(std::numeric_limits<long long>::max(), write.write);
    ASSERT_TRUE(uncut.ran);
    ASSERT_EQ(1, uncut.result);
    ASSERT_EQ(1u, uncut.shapes.size()) << "a write the program calls done is on the card: "
                                       << uncut.shapes.back().what;
    const Files before = FilesOf(uncut.before), after = FilesOf(uncut.shapes[0]);
    ASSERT_TRUE(before != after);
    const std::string folder = (write.catalogue ? ProgramDir() : DbDir()).string();
    const std::string target = folder + "/" + write.file;
    const std::string old = before.count(target) ? before.at(target) : std::string();
    const std::string whole = after.count(target) ? after.at(target) : std::string();
    int cases = 0;
    for (long long step = 1;; ++step) {
        ASSERT_TRUE(qplat::LeaveCardAs(uncut.before));
        const qplat::PowerCutRun run = qplat::CutPowerAtStep(step, write.write);
        ASSERT_TRUE(run.ran) << step;
        for (const qplat::CardShape& shape : run.shapes) {
            SCOPED_TRACE(testing::Message() << "power cut before step " << step << ": " << shape.what);
            ASSERT_TRUE(qplat::LeaveCardAs(shape));
            // What a power cut left past the file's old length that is
            // neither the save's nor zeros is kept in a copy.
            const std::string* found = shape.Find(folder, write.file);
            bool foreign = false;
            for (size_t k = old.size(); found != nullptr && k < found->size(); ++k)
                foreign = foreign || ((*found)[k] != 0 && (k >= whole.size() || (*found)[k] != whole[k]));
            testing::internal::CaptureStderr();
            qplat::RemoveStaleTemporaries();
            RollBackCutOffSaves();
            testing::internal::GetCapturedStderr();
            Files now = FilesOf(qplat::CardAsItIs(uncut.before));
            const std::string copy = target + ".found";
            EXPECT_EQ(foreign, now.count(copy) == 1);
            if (foreign && now.count(copy)) {
                EXPECT_TRUE(now.at(copy) == *found) << "the copy is the file as found";
            }
            now.erase(copy);
            EXPECT_TRUE(now == before || now == after) << "neither old nor whole:" << Differences(now, before)
                                                        << " against the old," << Differences(now, after)
                                                        << " against the new";
            if (!run.cut) {
                EXPECT_TRUE(now == after) << "called done, then lost:" << Differences(now, after);
            }
            ++cases;
        }
        if (!run.cut) break;
    }
    std::printf("%s: %d power cuts\n", write.what, cases);
}

INSTANTIATE_TEST_SUITE_P(Writes, PowerCutTable, testing::ValuesIn(kPowerCutWrites),
                         [](const testing::TestParamInfo<PowerCutWrite>& info) { return info.param.what; });

TEST_F(JournalRollBackTest, AFolderInPlaceOfTheRollBackStaysAndSavesWriteNothing)
{
    MakeJournal();
    const auto before = ReadBytes(Journal());
    fs::create_directories(RollBack() / "inside");
    RollBackCutOffJournalSaves();
    CDBJournalQav qav;
    EXPECT_EQ(1, qav.RollBackCutOff(u"J")) << "nothing of a pair save pending";
    EXPECT_EQ(0, qav.AppendPair(u"J", QavRecord(8).get(), QavRecord(9).get()));
    EXPECT_EQ(0, qav.ReplacePair(u"J", QavRecord(8).get(), 0, QavRecord(9).get(), 1));
    EXPECT_EQ(0, qav.ReplaceAndAppend(u"J", QavRecord(8).get(), 0, QavRecord(9).get()));
    EXPECT_EQ(before, ReadBytes(Journal()));
    EXPECT_TRUE(Exists(RollBack() / "inside"));
    // A single record takes its roll-back too.
    EXPECT_EQ(0, qav.Append(u"J", QavRecord(4).get()));
    EXPECT_EQ(0, qav.Replace(u"J", QavRecord(4).get(), 1));
    EXPECT_EQ(before, ReadBytes(Journal()));
}

// A roll-back that cannot be applied now (the journal write-protected) stays
// for the next try, and pair saves fail until then rather than overwrite it;
// the journal's refusal, and the start, tell a read-only card or file from a
// card that fails. Other journals are written as ever meanwhile.
TEST_F(JournalRollBackTest, ARollBackThatCannotBeAppliedStaysAndHoldsPairSavesBack)
{
    MakeJournal();
    const auto before = ReadBytes(Journal());
    ASSERT_TRUE(CutOffAppendPair());
    const auto torn = ReadBytes(Journal());
    fs::permissions(Journal(), fs::perms::owner_write, fs::perm_options::remove);
    CDBJournalQav qav;
    EXPECT_EQ(0, qav.RollBackCutOff(u"J"));
    Refusal why = Refusal::None;
    EXPECT_EQ(1, RollBackCutOffJournalSaves(&why)) << "told at start";
    EXPECT_EQ(Refusal::CutOffSaveStuck, why);
    EXPECT_EQ(0, qav.AppendPair(u"J", QavRecord(8).get(), QavRecord(9).get()));
    EXPECT_EQ(CFixedRecordFile::Refusal::CutOffSaveStuck, qav.LastRefusal());
    EXPECT_TRUE(Exists(RollBack()));
    EXPECT_EQ(torn, ReadBytes(Journal()));
    // Another journal, meanwhile: every write goes through, and leaves no
    // roll-back behind.
    ASSERT_EQ(1, qav.Append(u"K", QavRecord(1).get()));
    EXPECT_EQ(1, qav.AppendPair(u"K", QavRecord(2).get(), QavRecord(3).get()));
    EXPECT_EQ(1, qav.ReplacePair(u"K", QavRecord(4).get(), 0, QavRecord(5).get(), 2));
    EXPECT_EQ(1, qav.Replace(u"K", QavRecord(6).get(), 1));
    EXPECT_EQ(Refusal::None, qav.LastRefusal());
    EXPECT_EQ(3, qav.GetCount(u"K"));
    EXPECT_FALSE(Exists(DbDir() / "K.qav.undo"));
    EXPECT_EQ(torn, ReadBytes(Journal()));

    fs::permissions(Journal(), fs::perms::owner_write, fs::perm_options::add);
    RollBackCutOffJournalSaves();
    EXPECT_EQ(before, ReadBytes(Journal()));
    EXPECT_FALSE(Exists(RollBack()));

    // A read-only roll-back (a PC's read-only attribute): the journal is put
    // back, but while the roll-back stays no single write may go past it,
    // or the next start would undo that write again.
    ASSERT_TRUE(CutOffAppendPair());
    fs::permissions(RollBack(), fs::perms::owner_write, fs::perm_options::remove);
    std::vector<QavJournalRecord> all(3);
    ASSERT_EQ(1, qav.ReadAll(u"J", all.data(), 3));
    const std::function<int()> writes[] = {
        [&] { return qav.Append(u"J", QavRecord(5).get()); },
        [&] { return qav.Replace(u"J", QavRecord(5).get(), 1); },
        [&] { return qav.ReplaceAndAppend(u"J", QavRecord(5).get(), 0, QavRecord(6).get()); },
        [&] { return qav.WriteAll(u"J", all.data(), 2, nullptr, -1); },
        [&] { return qav.Delete(u"J"); },
    };
    for (const auto& write : writes) {
        EXPECT_EQ(0, write());
        EXPECT_EQ(CFixedRecordFile::Refusal::CutOffSaveStuck, qav.LastRefusal());
        EXPECT_EQ(before, ReadBytes(Journal()));
    }
    EXPECT_EQ(1, RollBackCutOffJournalSaves());
    fs::permissions(RollBack(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(1, qav.Append(u"J", QavRecord(5).get()));
    EXPECT_FALSE(Exists(RollBack()));

    // A card that fails: the roll-back cannot be read, or the journal put
    // back cannot be flushed. The save stays pending for the next try.
    WriteBytes(Journal(), before);
    ASSERT_TRUE(CutOffAppendPair());
    const auto pending = ReadBytes(RollBack());
    const struct {
        const char* what;
        void (*fail)(long long);
    } faults[] = {{"a read error", qplat::FailFileReadsAfter}, {"a failed flush", qplat::FailFileSyncsAfter}};
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.what);
        fault.fail(0);
        EXPECT_EQ(0, qav.Append(u"J", QavRecord(5).get()));
        EXPECT_EQ(Refusal::CutOffSaveFailing, qav.LastRefusal());
        // A put-back the card did not keep reads as done from its cache: the
        // roll-back stays all the same until the card keeps it.
        EXPECT_EQ(0, qav.RollBackCutOff(u"J"));
        EXPECT_EQ(pending, ReadBytes(RollBack()));
        WriteBytes(Journal(), torn);
        why = Refusal::None;
        EXPECT_EQ(1, RollBackCutOffJournalSaves(&why));
        EXPECT_EQ(Refusal::CutOffSaveFailing, why);
        fault.fail(-1);
        EXPECT_EQ(pending, ReadBytes(RollBack()));
        WriteBytes(Journal(), torn);
    }

    // The roll-back removed, only its folder not confirmed by the card: it
    // is gone all the same, not pending nor refused (the write that settled
    // it goes on).
    for (long long syncs = 0; syncs < 4; ++syncs) {
        SCOPED_TRACE(syncs);
        WriteBytes(Journal(), torn);
        WriteBytes(RollBack(), pending);
        qplat::FailFileSyncsAfter(syncs);
        const int settled = qav.RollBackCutOff(u"J");
        qplat::FailFileSyncsAfter(-1);
        EXPECT_EQ(settled == 1, !Exists(RollBack()));
        EXPECT_EQ(settled == 1 ? Refusal::None : Refusal::CutOffSaveFailing, qav.LastRefusal());
        if (settled == 1) {
            EXPECT_EQ(before, ReadBytes(Journal()));
        }
    }
}

// A roll-back that turns up pending while the program runs (a card's "DB"
// copied in): the next write of any kind undoes the cut-off save first, so
// the next start has nothing left to undo and the write stays.
TEST_F(JournalRollBackTest, EveryWriteUndoesAPendingPairSaveFirstAndStays)
{
    MakeJournal();
    const auto before = ReadBytes(Journal());
    const std::function<int(CDBJournalQav&)> writes[] = {
        [](CDBJournalQav& qav) { return qav.Append(u"J", QavRecord(5).get()); },
        [](CDBJournalQav& qav) { return qav.Replace(u"J", QavRecord(5).get(), 2); },
        [](CDBJournalQav& qav) { return qav.ReplaceAndAppend(u"J", QavRecord(4).get(), 1, QavRecord(5).get()); },
    };
    for (const auto& write : writes) {
        WriteBytes(Journal(), before);
        ASSERT_TRUE(CutOffAppendPair());
        CDBJournalQav qav;
        ASSERT_EQ(1, write(qav));
        EXPECT_FALSE(Exists(RollBack()));
        EXPECT_EQ(0, RollBackCutOffJournalSaves());
        EXPECT_TRUE(Holds(5));
        EXPECT_FALSE(Holds(8)) << "no half of the cut-off pair";
    }
}

TEST_F(JournalRollBackTest, DeletingOrRewritingAJournalSettlesItsRollBackFirst)
{
    MakeJournal();
    ASSERT_TRUE(CutOffReplacePair());
    CDBJournalQav qav;
    ASSERT_EQ(1, qav.Delete(u"J"));
    EXPECT_FALSE(Exists(RollBack()));

    // The browser writes back what it read, half of the cut-off pair among
    // it: refused, the pair undone, and the browser reads the journal again.
    MakeJournal();
    const auto before = ReadBytes(Journal());
    ASSERT_TRUE(CutOffReplacePair());
    std::vector<QavJournalRecord> all(3);
    ASSERT_EQ(1, qav.ReadAll(u"J", all.data(), 3));
    EXPECT_EQ(0, qav.WriteAll(u"J", all.data() + 1, 2, all.data(), 3));
    EXPECT_EQ(CFixedRecordFile::Refusal::RecordChanged, qav.LastRefusal());
    EXPECT_EQ(before, ReadBytes(Journal()));
    EXPECT_FALSE(Exists(RollBack()));
    ASSERT_EQ(1, qav.ReadAll(u"J", all.data(), 3));
    EXPECT_EQ(1, qav.WriteAll(u"J", all.data() + 1, 2, all.data(), 3));
    EXPECT_EQ(2, qav.GetCount(u"J"));
}

TEST_F(JournalRollBackTest, PairSavesOutsideTheJournalWriteNothing)
{
    MakeJournal();
    const auto before = ReadBytes(Journal());
    CDBJournalQav qav;
    EXPECT_EQ(0, qav.ReplacePair(u"J", QavRecord(8).get(), 0, QavRecord(9).get(), 3)) << "the torn tail is no entry";
    EXPECT_EQ(0, qav.ReplaceAndAppend(u"J", QavRecord(8).get(), -1, QavRecord(9).get()));
    EXPECT_EQ(0, qav.ReplacePair(u"J", QavRecord(8).get(), 0, nullptr, 1));
    EXPECT_EQ(before, ReadBytes(Journal()));
    EXPECT_FALSE(Exists(RollBack()));
    EXPECT_EQ(0, qav.ReplaceAndAppend(u"Missing", QavRecord(8).get(), 0, QavRecord(9).get()));
    EXPECT_FALSE(Exists(DbDir() / "Missing.qav"));
    // Appending alone makes a missing journal, as Append does.
    ASSERT_EQ(1, qav.AppendPair(u"New", QavRecord(8).get(), QavRecord(9).get()));
    EXPECT_EQ(2u * sizeof(QavJournalRecord), SizeOf(DbDir() / "New.qav"));
}

// Journals whose names differ only in letter case (a card filled where the
// file system tells them apart). A roll-back is its journal's by its exact
// name: a write of the other journal settles it for its own, never applies
// it to itself nor removes it. One that either could own is left with both
// journals, and holds both back with a reason of its own. A pair save names
// its roll-back after its journal as the card spells it.
TEST_F(JournalRollBackTest, ARollBackIsMatchedToItsJournalByItsExactName)
{
    MakeJournal();
    const auto upper = ReadBytes(Journal());
    const fs::path lowerJournal = DbDir() / "j.qav";
    const auto lower = OfAnotherCard(upper);
    WriteBytes(lowerJournal, lower);
    const auto cutOffLower = [] { CDBJournalQav().AppendPair(u"j", QavRecord(8).get(), QavRecord(9).get()); };
    ASSERT_TRUE(CutOff(lowerJournal, cutOffLower));
    const auto torn = ReadBytes(lowerJournal);
    CDBJournalQav qav;
    ASSERT_EQ(1, qav.Append(u"J", QavRecord(5).get()));
    EXPECT_EQ(lower, ReadBytes(lowerJournal)) << "its own journal put back";
    EXPECT_FALSE(Exists(DbDir() / "j.qav.undo"));
    EXPECT_EQ(upper.size() - 300 + sizeof(QavJournalRecord), SizeOf(Journal()));

    // Spelled as neither journal is.
    WriteBytes(Journal(), upper);
    ASSERT_TRUE(CutOff(lowerJournal, cutOffLower));
    fs::rename(DbDir() / "j.qav.undo", DbDir() / "J.QAV.undo");
    const auto pending = ReadBytes(DbDir() / "J.QAV.undo");
    Refusal why = Refusal::None;
    EXPECT_EQ(1, RollBackCutOffJournalSaves(&why));
    EXPECT_EQ(Refusal::CutOffSaveAmbiguous, why);
    EXPECT_EQ(0, qav.Append(u"J", QavRecord(5).get()));
    EXPECT_EQ(Refusal::CutOffSaveAmbiguous, qav.LastRefusal());
    EXPECT_EQ(0, qav.AppendPair(u"j", QavRecord(6).get(), QavRecord(7).get()));
    EXPECT_EQ(Refusal::CutOffSaveAmbiguous, qav.LastRefusal());
    EXPECT_EQ(upper, ReadBytes(Journal()));
    EXPECT_EQ(torn, ReadBytes(lowerJournal));
    EXPECT_EQ(pending, ReadBytes(DbDir() / "J.QAV.undo"));
    // With one of them gone, it can be only the other's.
    fs::remove(Journal());
    EXPECT_EQ(0, RollBackCutOffJournalSaves());
    EXPECT_EQ(lower, ReadBytes(lowerJournal));

    // Saved under another letter case than the card's: named as the card's.
    fs::remove(lowerJournal);
    WriteBytes(Journal(), upper);
    ASSERT_TRUE(CutOff(Journal(), [] { CDBJournalQav().AppendPair(u"j", QavRecord(8).get(), QavRecord(9).get()); }));
    WriteBytes(lowerJournal, lower);
    EXPECT_EQ(0, RollBackCutOffJournalSaves());
    EXPECT_EQ(upper, ReadBytes(Journal()));
    EXPECT_EQ(lower, ReadBytes(lowerJournal));
}

}  // namespace
