// The journals "DB\<name>.qav" and "DB\<name>.qod": creation, counts, the
// whole-journal rewrite that never loses the old journal, the in-place
// replace, and names that must not leave the folder.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "FixedRecordTestRoot.h"
#include "settings/CatalogFiles.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/FileNames.h"

namespace {

using recordtest::QavRecord;
using recordtest::Zeroed;

class JournalFilesTest : public recordtest::DeviceRootTest {};

TEST_F(JournalFilesTest, CountOfNewJournalCreatesAnEmptyFile)
{
    CDBJournalQav qav;
    CDBJournalQod qod;
    EXPECT_EQ(0, qav.GetCount(u"Depot"));
    EXPECT_EQ(0, qod.GetCount(u"Depot"));
    ASSERT_TRUE(Exists(DbDir() / "Depot.qav"));
    ASSERT_TRUE(Exists(DbDir() / "Depot.qod"));
    EXPECT_EQ(0u, SizeOf(DbDir() / "Depot.qav"));
    EXPECT_FALSE(qav.IsOpen());
}

TEST_F(JournalFilesTest, AppendToMissingJournalWritesExactlyOneRecord)
{
    CDBJournalQav qav;
    auto rec = QavRecord(5);
    ASSERT_EQ(1, qav.Append(u"J1", rec.get()));
    EXPECT_EQ(24088u, SizeOf(DbDir() / "J1.qav"));

    CDBJournalQod qod;
    ASSERT_EQ(1, qod.Append(u"J1", Zeroed<QodJournalRecord>().get()));
    EXPECT_EQ(47068u, SizeOf(DbDir() / "J1.qod"));

    EXPECT_EQ(0, qav.Append(u"J1", nullptr));
    EXPECT_EQ(24088u, SizeOf(DbDir() / "J1.qav"));
}

TEST_F(JournalFilesTest, WriteAllOfNoRecordsEmptiesAnExistingJournalOnly)
{
    CDBJournalQav qav;
    auto rec = QavRecord(1);
    ASSERT_EQ(1, qav.Append(u"J", rec.get()));
    ASSERT_EQ(1, qav.WriteAll(u"J", rec.get(), 0, nullptr, -1));
    EXPECT_EQ(0u, SizeOf(DbDir() / "J.qav"));
    EXPECT_EQ(0, qav.RecordCount());

    EXPECT_EQ(0, qav.WriteAll(u"Missing", rec.get(), 0, nullptr, -1));
    EXPECT_FALSE(Exists(DbDir() / "Missing.qav"));
    EXPECT_EQ(0, qav.WriteAll(u"J", nullptr, 0, nullptr, -1));
}

TEST_F(JournalFilesTest, DiscJournalOfHundredThousandBytes)
{
    const auto bytes = Pattern(100000, 31);
    WriteBytes(DbDir() / "Discs.qod", bytes);
    CDBJournalQod qod;
    ASSERT_EQ(2, qod.GetCount(u"Discs"));

    std::vector<QodJournalRecord> recs(3);
    std::memset(recs.data(), 0xCD, 3 * sizeof(QodJournalRecord));
    ASSERT_EQ(1, qod.ReadAll(u"Discs", recs.data(), 2));
    EXPECT_EQ(0, std::memcmp(recs.data(), bytes.data(), 94136));
    EXPECT_EQ(0xCD, reinterpret_cast<const uint8_t*>(recs.data())[94136]);

    // Entry 1 is bytes 47,068 to 94,135.
    auto one = std::make_unique<QodJournalRecord>();
    ASSERT_EQ(1, qod.ReadRecord(u"Discs", 1, one.get()));
    EXPECT_EQ(0, std::memcmp(one.get(), bytes.data() + 47068, 47068));
    EXPECT_EQ(0, qod.ReadRecord(u"Discs", 2, one.get()));  // the torn tail
    EXPECT_EQ(bytes, ReadBytes(DbDir() / "Discs.qod"));
}

TEST_F(JournalFilesTest, ReplaceAtTheCountIsRefusedAndChangesNothing)
{
    CDBJournalQav qav;
    for (LONG tag : {1, 2, 3}) ASSERT_EQ(1, qav.Append(u"J", QavRecord(tag).get()));
    const auto before = ReadBytes(DbDir() / "J.qav");
    auto rec = QavRecord(9);
    EXPECT_EQ(0, qav.Replace(u"J", rec.get(), 3));
    EXPECT_EQ(0, qav.Replace(u"J", rec.get(), -1));
    EXPECT_EQ(0, qav.Replace(u"J", nullptr, 0));
    EXPECT_EQ(0, qav.Replace(u"Missing", rec.get(), 0));
    EXPECT_FALSE(Exists(DbDir() / "Missing.qav"));
    EXPECT_EQ(before, ReadBytes(DbDir() / "J.qav"));
}

TEST_F(JournalFilesTest, ReplaceOverwritesOneEntryInPlace)
{
    CDBJournalQav qav;
    for (LONG tag : {1, 2, 3, 4}) ASSERT_EQ(1, qav.Append(u"J", QavRecord(tag).get()));
    // A torn tail of a cut-short append stays where it is.
    auto bytes = ReadBytes(DbDir() / "J.qav");
    bytes.resize(bytes.size() + 500, 0x5A);
    WriteBytes(DbDir() / "J.qav", bytes);

    auto rec = QavRecord(42);
    ASSERT_EQ(1, qav.Replace(u"J", rec.get(), 2));
    auto expected = bytes;
    std::memcpy(expected.data() + 2 * 24088, rec.get(), 24088);
    EXPECT_EQ(expected, ReadBytes(DbDir() / "J.qav"));

    std::vector<QavJournalRecord> all(4);
    ASSERT_EQ(1, qav.ReadAll(u"J", all.data(), 4));
    EXPECT_EQ(42, all[2].profileZ[0]);
    EXPECT_EQ(2, all[1].profileZ[0]);
    EXPECT_EQ(4, all[3].profileZ[0]);
}

// A replace that names the records it was asked about writes only while
// the journal holds them at their entries: where another record stands
// there now (a PC rewrote the journal meanwhile), nothing is written, no
// roll-back is left and the refusal says why.
TEST_F(JournalFilesTest, AReplaceNamingTheRecordsItExpectsWritesOnlyWhileTheJournalHoldsThem)
{
    const std::vector<LONG> stored = {1, 2, 3};
    auto bytesOf = [](const std::vector<LONG>& tags) {
        std::vector<uint8_t> bytes;
        for (LONG tag : tags) {
            const auto rec = QavRecord(tag);
            const auto* at = reinterpret_cast<const uint8_t*>(rec.get());
            bytes.insert(bytes.end(), at, at + sizeof(QavJournalRecord));
        }
        return bytes;
    };
    const auto r1 = QavRecord(1), r2 = QavRecord(2), r3 = QavRecord(3), n40 = QavRecord(40), n41 = QavRecord(41);
    struct Row {
        const char* what;
        std::function<int(CDBJournalQav&)> write;
        std::vector<LONG> after;  // the journal's records afterwards, by tag
    };
    const Row rows[] = {
        {"replace, as expected", [&](CDBJournalQav& j) { return j.Replace(u"J", n40.get(), 0, r1.get()); },
         {40, 2, 3}},
        {"replace, another record there", [&](CDBJournalQav& j) { return j.Replace(u"J", n40.get(), 0, r2.get()); },
         stored},
        {"replace and append, as expected",
         [&](CDBJournalQav& j) { return j.ReplaceAndAppend(u"J", n40.get(), 1, n41.get(), r2.get()); },
         {1, 40, 3, 41}},
        {"replace and append, another record there",
         [&](CDBJournalQav& j) { return j.ReplaceAndAppend(u"J", n40.get(), 1, n41.get(), r1.get()); }, stored},
        {"pair, as expected",
         [&](CDBJournalQav& j) { return j.ReplacePair(u"J", n40.get(), 0, n41.get(), 2, r1.get(), r3.get()); },
         {40, 2, 41}},
        {"pair, another record at the first",
         [&](CDBJournalQav& j) { return j.ReplacePair(u"J", n40.get(), 0, n41.get(), 2, r2.get(), r3.get()); },
         stored},
        {"pair, another record at the second",
         [&](CDBJournalQav& j) { return j.ReplacePair(u"J", n40.get(), 0, n41.get(), 2, r1.get(), r1.get()); },
         stored},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WriteBytes(DbDir() / "J.qav", bytesOf(stored));
        CDBJournalQav qav;
        const bool written = row.after != stored;
        EXPECT_EQ(written ? 1 : 0, row.write(qav));
        EXPECT_EQ(written ? CFixedRecordFile::Refusal::None : CFixedRecordFile::Refusal::RecordChanged,
                  qav.LastRefusal());
        EXPECT_EQ(bytesOf(row.after), ReadBytes(DbDir() / "J.qav"));
        EXPECT_FALSE(Exists(DbDir() / "J.qav.undo"));
    }
}

TEST_F(JournalFilesTest, WriteFailureInTheMiddleOfARewriteKeepsTheJournal)
{
    CDBJournalQav qav;
    for (LONG tag : {1, 2, 3, 4, 5}) ASSERT_EQ(1, qav.Append(u"J", QavRecord(tag).get()));
    const auto before = ReadBytes(DbDir() / "J.qav");

    // The journal browser deletes entry 1: the four others are written back.
    std::vector<QavJournalRecord> all(5);
    ASSERT_EQ(1, qav.ReadAll(u"J", all.data(), 5));
    all.erase(all.begin() + 1);
    qplat::FailFileWritesAfter(2 * 24088 + 1000);
    EXPECT_EQ(0, qav.WriteAll(u"J", all.data(), 4, nullptr, -1));
    qplat::FailFileWritesAfter(-1);

    EXPECT_EQ(before, ReadBytes(DbDir() / "J.qav"));
    EXPECT_EQ(5, qav.GetCount(u"J"));
    // No half-written temporary is left beside it.
    EXPECT_EQ(1, std::count_if(std::filesystem::directory_iterator(DbDir()), {},
                               [](const auto& entry) { return entry.is_regular_file(); }));
    // Once the card writes again, the same rewrite goes through.
    ASSERT_EQ(1, qav.WriteAll(u"J", all.data(), 4, nullptr, -1));
    EXPECT_EQ(4, qav.RecordCount());
    EXPECT_EQ(4u * 24088u, SizeOf(DbDir() / "J.qav"));
}

TEST_F(JournalFilesTest, SaveCutShortKeepsEarlierRecordsAndTheNextSaveHeals)
{
    CDBJournalQav qav;
    for (LONG tag : {1, 2, 3}) ASSERT_EQ(1, qav.Append(u"J", QavRecord(tag).get()));
    const auto before = ReadBytes(DbDir() / "J.qav");

    // The card stops taking bytes a third of the way into the record.
    qplat::FailFileWritesAfter(8000);
    EXPECT_EQ(0, qav.Append(u"J", QavRecord(4).get()));
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ(3, qav.GetCount(u"J"));
    const auto torn = ReadBytes(DbDir() / "J.qav");
    ASSERT_GE(torn.size(), before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), torn.begin()));

    // Saving again puts the record where readers look for it.
    ASSERT_EQ(1, qav.Append(u"J", QavRecord(5).get()));
    ASSERT_EQ(4, qav.GetCount(u"J"));
    EXPECT_EQ(4u * 24088u, SizeOf(DbDir() / "J.qav"));
    std::vector<QavJournalRecord> all(4);
    ASSERT_EQ(1, qav.ReadAll(u"J", all.data(), 4));
    EXPECT_EQ(3, all[2].profileZ[0]);
    EXPECT_EQ(5, all[3].profileZ[0]);
    EXPECT_EQ(-5, all[3].profileZ[RECORD_PROFILE_POINTS - 1]);
}

TEST_F(JournalFilesTest, DiscJournalRewriteAndReplaceUseTheDiscRecordSize)
{
    CDBJournalQod qod;
    std::vector<QodJournalRecord> recs(3);
    std::memset(recs.data(), 0, 3 * sizeof(QodJournalRecord));
    for (int i = 0; i < 3; ++i) recs[static_cast<size_t>(i)].countA = 100 + i;
    ASSERT_EQ(1, qod.Append(u"D", &recs[0]));
    ASSERT_EQ(1, qod.WriteAll(u"D", recs.data(), 3, nullptr, -1));
    EXPECT_EQ(3u * 47068u, SizeOf(DbDir() / "D.qod"));
    EXPECT_EQ(3, qod.RecordCount());

    recs[1].countA = 999;
    ASSERT_EQ(1, qod.Replace(u"D", &recs[1], 1));
    EXPECT_EQ(0, qod.Replace(u"D", &recs[1], 3));
    const auto bytes = ReadBytes(DbDir() / "D.qod");
    ASSERT_EQ(3u * 47068u, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), recs.data(), bytes.size()));
}

TEST_F(JournalFilesTest, CountRefreshAndDelete)
{
    CDBJournalQod qod;
    const auto disc = Zeroed<QodJournalRecord>();
    ASSERT_EQ(1, qod.Append(u"D", disc.get()));
    ASSERT_EQ(1, qod.Append(u"D", disc.get()));
    EXPECT_EQ(0, qod.RecordCount());
    EXPECT_EQ(0, qod.RefreshCount(u"D"));
    EXPECT_EQ(2, qod.RecordCount());
    EXPECT_EQ(1, qod.Delete(u"D"));
    EXPECT_FALSE(Exists(DbDir() / "D.qod"));
    EXPECT_EQ(0, qod.Delete(u"D"));
}

TEST_F(JournalFilesTest, AReadOnlyJournalIsReadAndNeverWritten)
{
    CDBJournalQav qav;
    auto first = QavRecord(11), second = QavRecord(22);
    ASSERT_EQ(1, qav.Append(u"Archive", first.get()));
    ASSERT_EQ(1, qav.Append(u"Archive", second.get()));
    const auto path = DbDir() / "Archive.qav";
    const std::vector<uint8_t> before = ReadBytes(path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);

    // Browsing works: count, whole read, one record.
    EXPECT_EQ(2, qav.GetCount(u"Archive"));
    auto all = std::make_unique<QavJournalRecord[]>(2);
    ASSERT_EQ(1, qav.ReadAll(u"Archive", all.get(), 2));
    EXPECT_EQ(22, all[1].profileZ[0]);
    auto one = QavRecord(0);
    ASSERT_EQ(1, qav.ReadRecord(u"Archive", 0, one.get()));
    EXPECT_EQ(11, one->profileZ[0]);
    EXPECT_EQ(0, qav.RefreshCount(u"Archive"));
    EXPECT_EQ(2, qav.RecordCount());

    // Every write fails and leaves the bytes as they were.
    EXPECT_EQ(0, qav.Append(u"Archive", first.get()));
    EXPECT_EQ(0, qav.Replace(u"Archive", second.get(), 0));
    EXPECT_EQ(0, qav.WriteAll(u"Archive", first.get(), 1, nullptr, -1));
    EXPECT_EQ(0, qav.Delete(u"Archive"));
    EXPECT_EQ(before, ReadBytes(path));

    // The same for a catalogue of the card.
    CDiskTypeFile disk;
    DiskTypeRecord recs[2]{};
    qplat::CopyField(recs[1].name, CATALOG_NAME_CHARS, u"Disc 2");
    ASSERT_EQ(1, disk.Append(&recs[0]));
    ASSERT_EQ(1, disk.Append(&recs[1]));
    const auto catalogue = ProgramDir() / "DiskType.qod";
    std::filesystem::permissions(catalogue, std::filesystem::perms::owner_read);
    const std::vector<uint8_t> catalogueBefore = ReadBytes(catalogue);
    EXPECT_EQ(2, disk.GetCount());
    DiskTypeRecord back[2]{};
    ASSERT_EQ(1, disk.ReadAll(back, 2));
    EXPECT_EQ(std::u16string(u"Disc 2"), back[1].name);
    EXPECT_EQ(0, disk.Append(&recs[0]));
    EXPECT_EQ(0, disk.WriteAll(recs, 1, back, 2));
    EXPECT_EQ(catalogueBefore, ReadBytes(catalogue));
}

TEST_F(JournalFilesTest, NamesMatchTheCardWithoutRegardToCase)
{
    CDBJournalQav qav;
    WriteBytes(DbDir() / "Winter.qav", Pattern(24088, 3));
    EXPECT_EQ(1, qav.GetCount(u"WINTER"));
}

TEST_F(JournalFilesTest, WithoutFolderDbEveryOperationFails)
{
    std::filesystem::remove_all(DbDir());
    CDBJournalQav qav;
    auto rec = QavRecord(1);
    EXPECT_EQ(-1, qav.GetCount(u"J"));
    EXPECT_EQ(0, qav.Append(u"J", rec.get()));
    EXPECT_EQ(0, qav.ReadAll(u"J", rec.get(), 1));
    EXPECT_EQ(0, qav.WriteAll(u"J", rec.get(), 1, nullptr, -1));
    EXPECT_EQ(0, qav.Replace(u"J", rec.get(), 0));
    EXPECT_EQ(0, qav.ReadRecord(u"J", 0, rec.get()));
    EXPECT_EQ(0, qav.AppendPair(u"J", rec.get(), rec.get()));
    // The program never creates the folder.
    EXPECT_FALSE(Exists(DbDir()));
}

TEST_F(JournalFilesTest, NamesThatWouldLeaveTheFolderAreRefused)
{
    CDBJournalQav qav;
    auto rec = QavRecord(1);
    // A file the traversal would reach.
    WriteBytes(ProgramDir() / "param.qav", Pattern(1436, 4));
    const auto param = ReadBytes(ProgramDir() / "param.qav");
    const WCHAR* bad[] = {u"..\\param", u"../param", u"a\\b", u"..", u"*", u"J?", u"COM1:", u"x\ty", u"", nullptr};
    for (const WCHAR* name : bad) {
        EXPECT_EQ(-1, qav.GetCount(name));
        EXPECT_EQ(0, qav.Append(name, rec.get()));
        EXPECT_EQ(0, qav.WriteAll(name, rec.get(), 1, nullptr, -1));
        EXPECT_EQ(0, qav.Replace(name, rec.get(), 0));
        EXPECT_EQ(0, qav.ReadAll(name, rec.get(), 1));
        EXPECT_EQ(0, qav.Delete(name));
    }
    EXPECT_EQ(param, ReadBytes(ProgramDir() / "param.qav"));
    EXPECT_TRUE(std::filesystem::is_empty(DbDir()));
}

TEST(JournalNameValidation, AcceptsOperatorNamesAndRefusesPathTricks)
{
    for (const WCHAR* good : {u"Depot 5", u"v1.2", u"Зима-2026", u"a", u".hidden", u"name."})
        EXPECT_TRUE(IsValidFileName(good)) << qplat::ToUtf8(good);
    for (const WCHAR* bad : {u"..", u".", u"a..b", u"a\\b", u"a/b", u"C:x", u"a*", u"a?", u"a|b", u"a<b", u"a>b",
                             u"a\"b", u"a\nb", u"\x7f", u""})
        EXPECT_FALSE(IsValidFileName(bad)) << qplat::ToUtf8(bad);
    EXPECT_FALSE(IsValidFileName(nullptr));

    std::u16string longest(kMaxBareNameLength, u'x');
    EXPECT_TRUE(IsValidFileName(longest.c_str()));
    longest += u'x';
    EXPECT_FALSE(IsValidFileName(longest.c_str()));
}

TEST(JournalNameValidation, FieldWithoutTerminatorIsBoundedByItsWidth)
{
    WCHAR field[6] = {u'a', u'b', u'c', u'd', u'e', u'f'};  // no terminator
    EXPECT_TRUE(IsValidFileNameField(field, 6));
    field[5] = u'\\';
    EXPECT_FALSE(IsValidFileNameField(field, 6));
    // The refused character lies past the width the caller states.
    EXPECT_TRUE(IsValidFileNameField(field, 5));
    WCHAR empty[4] = {};
    EXPECT_FALSE(IsValidFileNameField(empty, 4));
}

TEST(JournalNameValidation, ComposedPathFailsRatherThanCutShort)
{
    WCHAR path[32];
    ASSERT_TRUE(ComposeFilePath(path, 32, u"\\SD\\", u"DB\\", u"J", u".qav"));
    EXPECT_EQ(std::u16string(u"\\SD\\DB\\J.qav"), std::u16string(path));
    EXPECT_FALSE(ComposeFilePath(path, 32, u"\\SD\\", u"DB\\", u"a-name-long-enough-to-overflow", u".qav"));
    EXPECT_EQ(0, path[0]);
    EXPECT_FALSE(ComposeFilePath(path, 32, u"\\SD\\", u"DB\\", u"..", u".qav"));
    EXPECT_EQ(0, path[0]);
}

}  // namespace
