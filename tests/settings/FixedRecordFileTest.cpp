// The shared fixed-record file: counting, bounded reads, appends after a torn
// tail, the safe whole-file rewrite, the in-place replace and a group whose
// roll-back's removal the card does not confirm.
#include <cstring>

#include "FixedRecordTestRoot.h"
#include "settings/FixedRecordFile.h"

namespace {

constexpr DWORD kSize = 100;
const WCHAR kPath[] = u"\\SDMMC\\Autorun\\Test.rec";

class FixedRecordFileTest : public recordtest::DeviceRootTest {
protected:
    std::filesystem::path Host() const { return ProgramDir() / "Test.rec"; }
    CFixedRecordFile file_{kSize};
};

TEST_F(FixedRecordFileTest, CountCreatesMissingFileAndIgnoresTornTail)
{
    EXPECT_EQ(0, file_.GetCount(kPath));
    ASSERT_TRUE(Exists(Host()));
    EXPECT_EQ(0u, SizeOf(Host()));

    WriteBytes(Host(), Pattern(3 * kSize + 57, 1));
    EXPECT_EQ(3, file_.GetCount(kPath));
    EXPECT_FALSE(file_.IsOpen());
    // Counting never touches the tail.
    EXPECT_EQ(3 * kSize + 57, SizeOf(Host()));
}

TEST_F(FixedRecordFileTest, MissingFolderFailsEveryOperation)
{
    const WCHAR path[] = u"\\NoCard\\Autorun\\Test.rec";
    std::vector<uint8_t> rec(kSize, 7);
    EXPECT_EQ(-1, file_.GetCount(path));
    EXPECT_EQ(0, file_.ReadAll(path, rec.data(), 1));
    EXPECT_EQ(0, file_.Append(path, rec.data()));
    EXPECT_EQ(0, file_.WriteAll(path, rec.data(), 1, nullptr, -1));
    EXPECT_EQ(0, file_.ReplaceRecord(path, rec.data(), 0));
    EXPECT_EQ(0, file_.ReadRecord(path, 0, rec.data()));
    EXPECT_EQ(0, file_.Delete(path));
    EXPECT_FALSE(file_.IsOpen());
}

TEST_F(FixedRecordFileTest, ReadAllReadsWholeRecordsWithinCapacity)
{
    const auto bytes = Pattern(4 * kSize + 30, 2);
    WriteBytes(Host(), bytes);

    // Room for exactly the count: the records, not the tail.
    std::vector<uint8_t> buf(5 * kSize, 0xEE);
    ASSERT_EQ(1, file_.ReadAll(kPath, buf.data(), 4));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 4 * kSize, buf.begin()));
    EXPECT_EQ(0xEE, buf[4 * kSize]);

    // The file grew since the caller counted: the caller's buffer of two
    // records gets the first two, and not one byte more.
    std::fill(buf.begin(), buf.end(), 0xEE);
    ASSERT_EQ(1, file_.ReadAll(kPath, buf.data(), 2));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 2 * kSize, buf.begin()));
    EXPECT_EQ(0xEE, buf[2 * kSize]);

    // Nothing to read is a success; a negative capacity (a failed count used
    // as a size) is not.
    EXPECT_EQ(1, file_.ReadAll(kPath, nullptr, 0));
    EXPECT_EQ(0, file_.ReadAll(kPath, buf.data(), -1));
    EXPECT_EQ(0, file_.ReadAll(kPath, nullptr, 1));
    EXPECT_EQ(bytes, ReadBytes(Host()));
}

TEST_F(FixedRecordFileTest, ReadRecordReadsOneWholeRecord)
{
    const auto bytes = Pattern(3 * kSize + 10, 3);
    WriteBytes(Host(), bytes);
    std::vector<uint8_t> rec(kSize);
    ASSERT_EQ(1, file_.ReadRecord(kPath, 2, rec.data()));
    EXPECT_TRUE(std::equal(rec.begin(), rec.end(), bytes.begin() + 2 * kSize));
    // The torn tail is no record; nor is anything past the end.
    EXPECT_EQ(0, file_.ReadRecord(kPath, 3, rec.data()));
    EXPECT_EQ(0, file_.ReadRecord(kPath, 50, rec.data()));
    EXPECT_EQ(0, file_.ReadRecord(kPath, -1, rec.data()));
    EXPECT_EQ(0, file_.ReadRecord(kPath, 0, nullptr));
}

TEST_F(FixedRecordFileTest, AppendCreatesAndAddsAtTheRecordBoundary)
{
    const auto a = Pattern(kSize, 4);
    const auto b = Pattern(kSize, 5);
    ASSERT_EQ(1, file_.Append(kPath, a.data()));
    EXPECT_EQ(kSize, SizeOf(Host()));
    ASSERT_EQ(1, file_.Append(kPath, b.data()));
    auto expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(expected, ReadBytes(Host()));
    EXPECT_EQ(0, file_.Append(kPath, nullptr));
    EXPECT_EQ(expected, ReadBytes(Host()));
}

TEST_F(FixedRecordFileTest, AppendAfterTornTailIsReadBackAsTheLastRecord)
{
    // An earlier append was cut short after 40 bytes.
    auto bytes = Pattern(2 * kSize + 40, 6);
    WriteBytes(Host(), bytes);
    const auto rec = Pattern(kSize, 7);
    ASSERT_EQ(1, file_.Append(kPath, rec.data()));
    ASSERT_EQ(3, file_.GetCount(kPath));
    std::vector<uint8_t> back(kSize);
    ASSERT_EQ(1, file_.ReadRecord(kPath, 2, back.data()));
    EXPECT_EQ(rec, back);
    const auto after = ReadBytes(Host());
    ASSERT_EQ(3 * kSize, after.size());
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 2 * kSize, bytes.begin()));
}

TEST_F(FixedRecordFileTest, ReplaceRecordWritesOnlyThatRecord)
{
    const auto old = Pattern(5 * kSize + 21, 12);
    WriteBytes(Host(), old);
    const auto rec = Pattern(kSize, 13);
    ASSERT_EQ(1, file_.ReplaceRecord(kPath, rec.data(), 3));
    auto expected = old;
    std::copy(rec.begin(), rec.end(), expected.begin() + 3 * kSize);
    // Neighbours and the torn tail are untouched.
    EXPECT_EQ(expected, ReadBytes(Host()));

    // Outside the whole records nothing changes: the index of the tail, the
    // count, beyond, negative.
    for (int index : {5, 6, 100, -1}) {
        EXPECT_EQ(0, file_.ReplaceRecord(kPath, rec.data(), index)) << index;
    }
    EXPECT_EQ(0, file_.ReplaceRecord(kPath, nullptr, 0));
    EXPECT_EQ(expected, ReadBytes(Host()));
}

// A group's roll-back removed, only its folder not confirmed by the card
// (the sync fails): the group stands, written and flushed, and says so; at a
// failed sync before, the group is undone.
TEST_F(FixedRecordFileTest, AGroupStandsWhenItsRollBacksRemovalIsNotConfirmed)
{
    const auto before = Pattern(2 * kSize + 30, 20);
    const auto a = Pattern(kSize, 21);
    const auto b = Pattern(kSize, 22);
    const void* records[2] = {a.data(), b.data()};
    auto after = before;
    after.resize(2 * kSize);
    after.insert(after.end(), a.begin(), a.end());
    after.insert(after.end(), b.begin(), b.end());
    bool unconfirmed = false;
    for (long long syncs = 0;; ++syncs) {
        SCOPED_TRACE(syncs);
        ASSERT_LT(syncs, 10) << "the group never went through";
        WriteBytes(Host(), before);
        qplat::FailFileSyncsAfter(syncs);
        const int written = file_.AppendAll(kPath, records, 2);
        const bool told = file_.LastUnconfirmed();
        qplat::FailFileSyncsAfter(-1);
        if (written == 1) {
            EXPECT_EQ(after, ReadBytes(Host()));
            EXPECT_FALSE(Exists(ProgramDir() / "Test.rec.undo"));
            if (!told) break;
            unconfirmed = true;
            ASSERT_EQ(1, file_.Append(kPath, a.data()));
            EXPECT_FALSE(file_.LastUnconfirmed()) << "told of the last write only";
        } else {
            EXPECT_FALSE(told);
            ASSERT_EQ(1, file_.RollBackCutOff(kPath));
            EXPECT_EQ(before, ReadBytes(Host())) << "a group that failed is undone";
        }
    }
    EXPECT_TRUE(unconfirmed);
}

}  // namespace
