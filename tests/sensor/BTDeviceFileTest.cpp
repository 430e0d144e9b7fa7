// The paired-sensor file and the serial rule.
#include <cstring>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "sensor/BTDeviceFile.h"
#include "settings/ProgramFolder.h"
#include "tests/sensor/SensorTestSupport.h"

namespace {

BTDeviceRecord Record(DWORD type, const char16_t* name, const char16_t* address)
{
    BTDeviceRecord r;
    std::memset(&r, 0, sizeof r);
    r.deviceType = type;
    qplat::CopyField(r.name, 12, name);
    qplat::CopyField(r.address, 20, address);
    SerialFromSensorName(r.name, 12, r.serial, 6);
    return r;
}

class BTDeviceFileTest : public qtest::DeviceRootTest {
protected:
    void SetUp() override
    {
        qtest::SetCardFolder();
        root.MakeFolder(u"\\SDMMC\\Autorun");
    }
    const std::u16string kPath = u"\\SDMMC\\Autorun\\BTDevice.qav";
};

TEST_F(BTDeviceFileTest, SerialRule)
{
    WCHAR serial[6];
    SerialFromSensorName(u"LX412 12345", 12, serial, 6);
    EXPECT_EQ(std::u16string(u"1235"), std::u16string(serial));
    SerialFromSensorName(u"QUN 987", 12, serial, 6);
    EXPECT_EQ(std::u16string(u"987"), std::u16string(serial)) << "a short tail gives a shorter serial";
    SerialFromSensorName(u"NOBLANK", 12, serial, 6);
    EXPECT_EQ(std::u16string(u""), std::u16string(serial));
    // A stored name without its terminator is read only within its field.
    const WCHAR unterminated[12] = {u'Q', u'E', u'M', u' ', u'1', u'2', u'3', u'4', u'5', u'6', u'7', u'8'};
    SerialFromSensorName(unterminated, 6, serial, 6);
    EXPECT_EQ(std::u16string(u"12"), std::u16string(serial));
    SerialFromSensorName(u"LX412 12345", 12, serial, 3);
    EXPECT_EQ(std::u16string(u"12"), std::u16string(serial)) << "bounded by the output";
}

TEST_F(BTDeviceFileTest, MissingFileIsCreatedEmpty)
{
    CBTDeviceFile file;
    EXPECT_FALSE(root.Exists(kPath));
    EXPECT_EQ(0, file.GetCount());
    EXPECT_TRUE(root.Exists(kPath));
}

TEST_F(BTDeviceFileTest, AppendReadAndTornTail)
{
    CBTDeviceFile file;
    const BTDeviceRecord a = Record(1, u"LX412 12345", u"126fa00b7c");
    const BTDeviceRecord b = Record(2, u"QUN 54321", u"1a0000beef");
    ASSERT_EQ(1, file.Append(&a));
    ASSERT_EQ(1, file.Append(&b));
    EXPECT_EQ(0, file.Append(nullptr));
    root.WriteFile(kPath, root.ReadFile(kPath) + std::string(13, 'x'));
    ASSERT_EQ(2, file.GetCount()) << "only whole records count";
    BTDeviceRecord back[2];
    ASSERT_EQ(1, file.ReadAll(back, 2));
    EXPECT_EQ(0, std::memcmp(&a, &back[0], sizeof a));
    EXPECT_EQ(0, std::memcmp(&b, &back[1], sizeof b));
    EXPECT_EQ(std::u16string(u"5431"), std::u16string(back[1].serial));

    // A buffer for one record gets one record, never more.
    BTDeviceRecord one[2];
    std::memset(one, 0xAB, sizeof one);
    ASSERT_EQ(1, file.ReadAll(one, 1));
    EXPECT_EQ(0, std::memcmp(&a, &one[0], sizeof a));
    EXPECT_EQ(0xABABABABu, one[1].deviceType);
}

TEST_F(BTDeviceFileTest, RewriteKeepsTheFileWholeAndCanEmptyIt)
{
    CBTDeviceFile file;
    const BTDeviceRecord recs[3] = {Record(1, u"LX412 11111", u"1"), Record(1, u"LX412 22222", u"2"),
                                    Record(4, u"LX413 33333", u"3")};
    EXPECT_EQ(0, file.WriteAll(recs, 3, recs, 0)) << "the file must exist before a rewrite";
    ASSERT_EQ(0, file.GetCount());
    ASSERT_EQ(1, file.WriteAll(recs, 3, recs, 0));
    EXPECT_EQ(3u, file.Count());

    // A rewrite that fails half-way leaves the old file as it was; so does
    // one made from records the file no longer holds.
    const std::string before = root.ReadFile(kPath);
    qplat::FailFileWritesAfter(100);
    EXPECT_EQ(0, file.WriteAll(recs, 2, recs, 3));
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ(0, file.WriteAll(recs, 2, recs + 1, 2));
    EXPECT_EQ(CFixedRecordFile::Refusal::RecordChanged, file.LastRefusal());
    EXPECT_EQ(before, root.ReadFile(kPath));

    ASSERT_EQ(1, file.WriteAll(recs, 0, recs, 3)) << "removing the last record";
    EXPECT_EQ(0, file.GetCount());
    EXPECT_EQ(0u, root.ReadFile(kPath).size());
    EXPECT_EQ(0, file.WriteAll(nullptr, 0, recs, 0));

    EXPECT_EQ(1, file.DeleteFile());
    EXPECT_FALSE(root.Exists(kPath));
}

}  // namespace
