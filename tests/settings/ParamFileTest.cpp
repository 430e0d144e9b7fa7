// The settings block "param.qav": its defaults, short and long files, safe
// saving, the journal-name readers and the calculation settings taken from it;
// and the program folder every file name starts with.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tests/support/Fields.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

// A returned 16-bit text, comparable in expectations.
std::u16string Text(const WCHAR* text)
{
    return text ? std::u16string(text) : std::u16string(u"(null)");
}

const char16_t* const kParamFile = u"\\SDMMC\\Autorun\\param.qav";

using qtest::SetCardFolder;

class ParamFileTest : public qtest::DeviceRootTest {
protected:
    void SetUp() override
    {
        SetCardFolder(u"\\SDMMC");
        root.MakeFolder(u"\\SDMMC\\Autorun");
    }
};

// The factory block built byte by byte from the stored layout, independent of
// the struct's field names.
std::string DefaultBytes()
{
    std::string b(PARAM_BLOCK_SIZE, '\0');
    auto put8 = [&](size_t at, int v) { b[at] = static_cast<char>(v); };
    auto put32 = [&](size_t at, int32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    };
    auto putText = [&](size_t at, const char* t) {
        for (size_t i = 0; t[i]; ++i)
            b[at + 2 * i] = t[i];  // ASCII: low byte, high byte zero
    };
    put8(0, 1);
    const int32_t dims[] = {2000,   70000,  13000,  10000, 13000, 70000,  105000, 10000,  140000, 674000, 910000,
                            127000, 105000, 15000, 90000, 50000, 105000, 110000, 130000, 70000, 107500};
    for (int k = 0; k < 21; ++k)
        put32(4 + 4 * k, dims[k]);
    // The sensors' addresses, names and PINs.
    const std::pair<size_t, const char*> texts[] = {
        {588, "000000000000"}, {628, "LX412 00000"}, {652, "7351"}, {662, "000000000000"}, {702, "QUN 00000"},
        {726, "7351"},         {736, "000000000000"}, {776, "QEM 00000"}, {800, "7351"}, {1286, "QOD 00000"},
        {1310, "7351"}};
    for (const auto& [at, text] : texts)
        putText(at, text);
    for (size_t at = 810; at <= 844; ++at)
        put8(at, at >= 820 && at <= 822 ? 2 : 1);
    put32(1320, 100000);
    put32(1324, 7000);
    for (size_t at = 1328; at <= 1333; ++at)
        put8(at, at == 1331 ? 1 : 2);
    return b;
}

// A block with every byte `byte`.
ParamBlock Filled(int byte)
{
    ParamBlock block;
    std::memset(&block, byte, sizeof(block));
    return block;
}

std::string BlockBytes(const ParamBlock& block)
{
    return std::string(reinterpret_cast<const char*>(&block), sizeof(block));
}

std::string Pattern(size_t size, int seed)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return s;
}

TEST_F(ParamFileTest, FreshFolderGetsTheFactoryFile)
{
    ParamBlock block = Filled(0);
    CParamFile file;
    EXPECT_EQ(0, file.Load(&block));
    EXPECT_FALSE(root.Exists(kParamFile));

    file.WriteDefaults(&block);
    const std::string stored = root.ReadFile(kParamFile);
    ASSERT_EQ(PARAM_BLOCK_SIZE, stored.size());
    EXPECT_EQ(DefaultBytes(), stored);
    EXPECT_EQ(DefaultBytes(), BlockBytes(block));

    // A few defaults as the program reads them.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(block.dimensions[DIM_L15], 15000), FIELD_IS(block.dimensions[DIM_L16], 90000),
                                 FIELD_IS(qplat::FieldText(SensorRecordOf(&block, 1)->name, 12), u"LX412 00000"),
                                 FIELD_IS(qplat::FieldText(SensorRecordOf(&block, 2)->name, 12), u"QUN 00000"),
                                 FIELD_IS(qplat::FieldText(SensorRecordOf(&block, 3)->name, 12), u"QEM 00000"),
                                 FIELD_IS(qplat::FieldText(SensorRecordOf(&block, 4)->name, 12), u"QOD 00000"),
                                 FIELD_IS(qplat::FieldText(SensorRecordOf(&block, 4)->address, 20), u""),
                                 FIELD_IS(SensorRecordOf(&block, 0), nullptr),
                                 FIELD_IS(SensorRecordOf(&block, 5), nullptr)));

    ParamBlock again = Filled(0);
    EXPECT_EQ(1, file.Load(&again));
    EXPECT_EQ(DefaultBytes(), BlockBytes(again));
}

TEST_F(ParamFileTest, DefaultsKeepFieldsWithoutADefault)
{
    ParamBlock block = Filled(0xA5);
    qplat::CopyField(block.qavReferName, PARAM_NAME_CHARS, u"S1002");
    qplat::CopyField(block.qodSensor.address, 20, u"00a0c6ff0011");
    CParamFile file;
    file.WriteDefaults(&block);

    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(qplat::FieldText(block.qavReferName, PARAM_NAME_CHARS), u"S1002"),
                                 FIELD_IS(qplat::FieldText(block.qodSensor.address, 20), u"00a0c6ff0011"),
                                 FIELD_IS(block.spare1[0], 0xA5), FIELD_IS(block.spare2, 0xA5),
                                 FIELD_IS(block.spare3[1], 0xA5), FIELD_IS(block.deviceType, 1)));
    EXPECT_EQ(BlockBytes(block), root.ReadFile(kParamFile));
}

TEST_F(ParamFileTest, ShortFileReplacesOnlyTheStartOfTheBlock)
{
    const std::string head = Pattern(100, 3);
    root.WriteFile(kParamFile, head);
    ParamBlock block = Filled(0x5A);
    CParamFile file;
    EXPECT_EQ(1, file.Load(&block));
    const std::string bytes = BlockBytes(block);
    EXPECT_EQ(head, bytes.substr(0, 100));
    EXPECT_EQ(std::string(PARAM_BLOCK_SIZE - 100, '\x5A'), bytes.substr(100));
}

TEST_F(ParamFileTest, EmptyFileCountsAsMissingAndNullBlocksAreRefused)
{
    root.WriteFile(kParamFile, "");
    ParamBlock block = Filled(0x11);
    CParamFile file;
    EXPECT_EQ(0, file.Load(&block));
    EXPECT_EQ(std::string(PARAM_BLOCK_SIZE, '\x11'), BlockBytes(block));

    EXPECT_EQ(0, file.Load(nullptr));
    EXPECT_EQ(0, file.Save(nullptr));
    file.WriteDefaults(nullptr);
    EXPECT_EQ("", root.ReadFile(kParamFile));
}

TEST_F(ParamFileTest, LongFileKeepsItsTailAcrossASave)
{
    const std::string original = Pattern(2000, 9);
    root.WriteFile(kParamFile, original);
    CParamFile file;

    ParamBlock block = Filled(0);
    EXPECT_EQ(1, file.Load(&block));
    EXPECT_EQ(original.substr(0, PARAM_BLOCK_SIZE), BlockBytes(block));

    block.deviceType = 4;
    block.unitSystem = 2;
    EXPECT_EQ(1, file.Save(&block));
    const std::string stored = root.ReadFile(kParamFile);
    ASSERT_EQ(2000u, stored.size());
    EXPECT_EQ(BlockBytes(block), stored.substr(0, PARAM_BLOCK_SIZE));
    EXPECT_EQ(original.substr(PARAM_BLOCK_SIZE), stored.substr(PARAM_BLOCK_SIZE));
}

// A screen's save with the block it read: the fields it changed go onto the
// block as the card holds it now, each whole (a name is never spliced with
// the card's), and every other field stays the card's; the fields tile the
// block. Where the card holds what was read, the block is written as it is.
TEST_F(ParamFileTest, ASaveWithTheBlockAsReadWritesOnlyTheFieldsItChanged)
{
    EXPECT_EQ(PARAM_BLOCK_SIZE, ParamBlockFieldsCovered());
    CParamFile file;
    const ParamBlock read = Filled(0x11);
    ParamBlock onCard = read;
    qplat::CopyField(onCard.qavJournalName, PARAM_NAME_CHARS, u"Card journal");
    qplat::CopyField(onCard.qavSensors[1].name, 12, u"QUN 77777");
    onCard.dimensions[3] = 4444;
    root.WriteFile(kParamFile, BlockBytes(onCard));
    ParamBlock changed = read;
    qplat::CopyField(changed.qavJournalName, PARAM_NAME_CHARS, u"Screen's");
    changed.unitSystem = 2;
    ASSERT_EQ(1, file.Save(&changed, &read));
    ParamBlock expected = onCard;
    std::memcpy(expected.qavJournalName, changed.qavJournalName, sizeof expected.qavJournalName);
    expected.unitSystem = 2;
    EXPECT_EQ(BlockBytes(expected), root.ReadFile(kParamFile));
    EXPECT_EQ(BlockBytes(expected), BlockBytes(changed)) << "the caller's block is what was written";

    // Nothing changed on the card, or no file: the block itself.
    for (bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "no file" : "the card as read");
        if (missing) std::filesystem::remove(root.Host(kParamFile));
        else root.WriteFile(kParamFile, BlockBytes(read));
        ParamBlock block = Filled(0x22);
        ASSERT_EQ(1, file.Save(&block, &read));
        EXPECT_EQ(BlockBytes(Filled(0x22)), root.ReadFile(kParamFile));
    }
}

TEST_F(ParamFileTest, FailedSaveReportsZeroAndLeavesTheOldFile)
{
    const std::string original = DefaultBytes();
    root.WriteFile(kParamFile, original);
    ParamBlock block = Filled(0x77);
    CParamFile file;

    qplat::FailFileWritesAfter(100);
    EXPECT_EQ(0, file.Save(&block));
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ(original, root.ReadFile(kParamFile));

    EXPECT_EQ(1, file.Save(&block));
    EXPECT_EQ(BlockBytes(block), root.ReadFile(kParamFile));
}

TEST_F(ParamFileTest, UnreadableFileIsNeverReplaced)
{
    // Held open without sharing, the file cannot be read: the defaults a
    // caller writes after the failed load must not take its place.
    const std::string original = Pattern(PARAM_BLOCK_SIZE, 1);
    root.WriteFile(kParamFile, original);
    HANDLE held = CreateFileW(kParamFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ParamBlock block = Filled(0);
    CParamFile file;
    EXPECT_EQ(0, file.Load(&block));
    file.WriteDefaults(&block);
    EXPECT_EQ(0, file.Save(&block));
    CloseHandle(held);
    EXPECT_EQ(original, root.ReadFile(kParamFile));
    EXPECT_EQ(1, block.deviceType);  // the program still runs on the defaults
}

TEST_F(ParamFileTest, MissingCardMakesEveryOperationFail)
{
    SetCardFolder(u"\\NoCard");
    ParamBlock block = Filled(0);
    CParamFile file;
    EXPECT_EQ(0, file.Load(&block));
    EXPECT_EQ(0, file.Save(&block));
    file.WriteDefaults(&block);
    EXPECT_FALSE(root.Exists(u"\\NoCard"));
    EXPECT_EQ(u"", Text(file.GetQavJournalName()));
}

TEST_F(ParamFileTest, JournalNamesComeFromTheFile)
{
    CParamFile file;
    EXPECT_EQ(u"", Text(file.GetQavJournalName()));
    EXPECT_EQ(u"", Text(file.GetQodJournalName()));

    ParamBlock block = Filled(0);
    qplat::CopyField(block.qavJournalName, PARAM_NAME_CHARS, u"Depot 7");
    qplat::CopyField(block.qodJournalName, PARAM_NAME_CHARS, u"Discs");
    ASSERT_EQ(1, file.Save(&block));
    EXPECT_EQ(u"Depot 7", Text(file.GetQavJournalName()));
    EXPECT_EQ(u"Discs", Text(file.GetQodJournalName()));

    // A name that fills its field without a terminator is cut at the field.
    for (int i = 0; i < PARAM_NAME_CHARS; ++i)
        block.qavJournalName[i] = u'a' + (i % 26);
    ASSERT_EQ(1, file.Save(&block));
    const std::u16string name = file.GetQavJournalName();
    EXPECT_EQ(static_cast<size_t>(PARAM_NAME_CHARS), name.size());
    EXPECT_EQ(u'a', name[0]);
    EXPECT_EQ(u'x', name[49]);
}

TEST_F(ParamFileTest, CalculationSettingsCopyTheirFieldsOnly)
{
    ParamBlock block = Filled(0);
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k)
        block.dimensions[k] = 1000 * (k + 1) - 7;
    block.option1 = 2;
    block.option2 = 3;
    block.option3 = 2;
    block.option4 = 3;
    block.wheelTypeOption = 5;
    block.option6 = 9;  // not part of the wheel settings
    for (int k = 0; k < PARAM_SWITCH_COUNT; ++k)
        block.switches[k] = static_cast<BYTE>(k % 2 ? 2 : 1);
    block.discL1 = 123456;
    block.discL2 = -42;
    block.discSwitches[0] = 1;
    block.discSwitches[3] = 2;
    block.discOption1 = 1;
    block.discHeadMode = 1;

    CParamFile file;
    HeadSettings head;
    std::memset(&head, 0xEE, sizeof(head));
    file.WheelCalcSettingsFromBlock(&head, block);
    EXPECT_EQ(std::vector<LONG>(block.dimensions, block.dimensions + PARAM_DIMENSION_COUNT),
              std::vector<LONG>(head.dimensions, head.dimensions + PARAM_DIMENSION_COUNT));
    EXPECT_EQ(std::vector<BYTE>({2, 3, 2, 3, 5}), std::vector<BYTE>(head.options, head.options + 5));
    EXPECT_EQ(std::vector<BYTE>(block.switches, block.switches + PARAM_SWITCH_COUNT),
              std::vector<BYTE>(head.switches, head.switches + PARAM_SWITCH_COUNT));
    EXPECT_EQ(static_cast<LONG>(0xEEEEEEEE), head.spare);
    EXPECT_EQ(0xEE, head.spare2);

    DiscSettings disc;
    std::memset(&disc, 0xEE, sizeof(disc));
    file.DiskCalcSettingsFromBlock(&disc, block);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(disc.discL1, 123456), FIELD_IS(disc.discL2, -42),
                                 FIELD_IS(disc.discOption1, 1), FIELD_IS(disc.headMode, 1)));
    EXPECT_EQ(std::vector<BYTE>({1, 0, 0, 2}), std::vector<BYTE>(disc.switches, disc.switches + 4));
    EXPECT_EQ(0xEE, disc.spare);
}

TEST_F(ParamFileTest, ProgramFolderFollowsTheRegistry)
{
    CProgramFolder folder;
    EXPECT_EQ(u"\\SDMMC\\Autorun\\", Text(folder.GetPath()));

    SetCardFolder(u"\\Storage Card\\");
    EXPECT_EQ(u"\\Storage Card\\Autorun\\", Text(folder.GetPath()));

    // A value too long for the query is treated as unreadable.
    SetCardFolder(std::u16string(200, u'x'));
    EXPECT_EQ(u"\\Autorun\\", Text(folder.GetPath()));

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, KEY_ALL_ACCESS, &key));
    RegDeleteValueW(key, PROGRAM_FOLDER_VALUE);
    RegCloseKey(key);
    EXPECT_EQ(u"\\Autorun\\", Text(folder.GetPath()));
}

}  // namespace
