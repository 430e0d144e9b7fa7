// The four catalogue files: their names in the program folder, record sizes,
// the results callers rely on and the limit take-over of the tolerance sets.
#include <cstring>

#include "FixedRecordTestRoot.h"
#include "settings/CatalogFiles.h"

namespace {

class CatalogFilesTest : public recordtest::DeviceRootTest {};

DopuskQavRecord NumberedQavSet()
{
    DopuskQavRecord rec{};
    qplat::CopyField(rec.name, CATALOG_NAME_CHARS, u"Set A");
    for (int i = 0; i < QAV_LIMIT_COUNT; ++i) {
        rec.upper[i] = 1000 + i;
        rec.lower[i] = 2000 + i;
        rec.upperWarning[i] = 3000 + i;
        rec.lowerWarning[i] = 4000 + i;
    }
    rec.spare = 99;
    return rec;
}

TEST_F(CatalogFilesTest, EachClassUsesItsOwnFileAndRecordSize)
{
    CWheelTypeFile wheel;
    CDiskTypeFile disk;
    CDopuskQavFile qav;
    CDopuskQodFile qod;
    WheelTypeRecord w{};
    DiskTypeRecord d{};
    DopuskQavRecord q{};
    DopuskQodRecord o{};
    ASSERT_EQ(1, wheel.Append(&w));
    ASSERT_EQ(1, disk.Append(&d));
    ASSERT_EQ(1, qav.Append(&q));
    ASSERT_EQ(1, qod.Append(&o));
    for (const auto& [file, size] : {std::pair<const char*, uintmax_t>{"WheelType.qav", 512}, {"DiskType.qod", 416},
                                     {"Dopusk.qav", 456}, {"Dopusk.qod", 168}})
        EXPECT_EQ(size, SizeOf(ProgramDir() / file)) << file;
    EXPECT_EQ(std::u16string(u"\\SDMMC\\Autorun\\WheelType.qav"), std::u16string(wheel.FileName()));
}

TEST_F(CatalogFilesTest, CountOfMissingFileIsZeroAndLeavesEmptyFile)
{
    CWheelTypeFile wheel;
    EXPECT_EQ(0, wheel.GetCount());
    ASSERT_TRUE(Exists(ProgramDir() / "WheelType.qav"));
    EXPECT_EQ(0u, SizeOf(ProgramDir() / "WheelType.qav"));
}

TEST_F(CatalogFilesTest, WriteAllOnMissingFileFailsAndAppendCreatesIt)
{
    CDiskTypeFile disk;
    DiskTypeRecord recs[2]{};
    qplat::CopyField(recs[0].name, CATALOG_NAME_CHARS, u"Disc 1");
    EXPECT_EQ(0, disk.WriteAll(recs, 2, recs, 0));
    EXPECT_FALSE(Exists(ProgramDir() / "DiskType.qod"));

    ASSERT_EQ(1, disk.Append(&recs[0]));
    EXPECT_EQ(416u, SizeOf(ProgramDir() / "DiskType.qod"));
    EXPECT_EQ(0, disk.Append(nullptr));
    EXPECT_EQ(1, disk.GetCount());
}

TEST_F(CatalogFilesTest, TolerancesOfThousandBytesCountTwoRecords)
{
    const auto bytes = Pattern(1000, 21);
    WriteBytes(ProgramDir() / "Dopusk.qav", bytes);
    CDopuskQavFile qav;
    ASSERT_EQ(2, qav.GetCount());
    DopuskQavRecord recs[3];
    std::memset(recs, 0xAB, sizeof(recs));
    ASSERT_EQ(1, qav.ReadAll(recs, 2));
    // 912 bytes read, the rest of the buffer untouched, the file unchanged.
    EXPECT_EQ(0, std::memcmp(recs, bytes.data(), 912));
    const auto* raw = reinterpret_cast<const uint8_t*>(recs);
    EXPECT_EQ(0xAB, raw[912]);
    EXPECT_EQ(bytes, ReadBytes(ProgramDir() / "Dopusk.qav"));
}

TEST_F(CatalogFilesTest, EditCycleWriteAllRefreshesCountAndKeepsRecords)
{
    CWheelTypeFile wheel;
    WheelTypeRecord recs[3]{};
    for (int i = 0; i < 3; ++i) {
        recs[i].dimensions[0] = 100 * (i + 1);
        recs[i].switches[21] = 2;
        ASSERT_EQ(1, wheel.Append(&recs[i]));
    }
    // Deleting the middle entry is WriteAll of the remaining ones, made from
    // the three read: only while the file holds those three.
    WheelTypeRecord rest[2] = {recs[0], recs[2]};
    EXPECT_EQ(0, wheel.WriteAll(rest, 2, recs, 2));
    EXPECT_EQ(CFixedRecordFile::Refusal::RecordChanged, wheel.LastRefusal());
    ASSERT_EQ(1, wheel.WriteAll(rest, 2, recs, 3));
    EXPECT_EQ(2, wheel.RecordCount());
    WheelTypeRecord back[2]{};
    ASSERT_EQ(1, wheel.ReadAll(back, 2));
    EXPECT_EQ(0, std::memcmp(back, rest, sizeof(rest)));

    ASSERT_EQ(1, wheel.WriteAll(rest, 0, rest, 2));
    EXPECT_EQ(0, wheel.RecordCount());
    EXPECT_EQ(0u, SizeOf(ProgramDir() / "WheelType.qav"));
    EXPECT_EQ(1, wheel.Delete());
    EXPECT_FALSE(Exists(ProgramDir() / "WheelType.qav"));
}

TEST_F(CatalogFilesTest, QavCopyRecordKeepsEntriesThreeFourFiveAndNine)
{
    CDopuskQavFile qav;
    LONG dest[QAV_LIMIT_WORDS];
    for (int k = 0; k < QAV_LIMIT_WORDS; ++k) dest[k] = -1 - k;
    qav.CopyRecord(dest, NumberedQavSet());
    const int untouched[] = {3, 4, 5, 9, 25, 26, 27, 31, 47, 48, 49, 53, 69, 70, 71, 75};
    for (int k = 0; k < QAV_LIMIT_WORDS; ++k) {
        const bool keep = std::find(std::begin(untouched), std::end(untouched), k) != std::end(untouched);
        const LONG expected = keep ? -1 - k : 1000 * (k / QAV_LIMIT_COUNT + 1) + k % QAV_LIMIT_COUNT;
        EXPECT_EQ(expected, dest[k]) << "word " << k;
    }
    qav.CopyRecord(nullptr, NumberedQavSet());  // no destination: nothing to do
}

TEST_F(CatalogFilesTest, QodCopyRecordTakesAllSixteenLimits)
{
    CDopuskQodFile qod;
    DopuskQodRecord rec{};
    for (int i = 0; i < QOD_LIMIT_COUNT; ++i) rec.limits[i] = 500 + i;
    rec.spare = 12345;
    LONG dest[QOD_LIMIT_COUNT + 1];
    for (auto& d : dest) d = -7;
    qod.CopyRecord(dest, rec);
    for (int i = 0; i < QOD_LIMIT_COUNT; ++i) EXPECT_EQ(500 + i, dest[i]);
    EXPECT_EQ(-7, dest[QOD_LIMIT_COUNT]);  // the spare word is not taken over
}

}  // namespace
