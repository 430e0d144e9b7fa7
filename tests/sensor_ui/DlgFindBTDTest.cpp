// The sensor search: the serial and address texts, the device-type filter
// over the sensors in reach, adding a sensor (current at once, kept once in
// the paired-sensor file), and the lookups that go wrong: the radio off, a
// device that never tells its name, a name query that keeps failing, more
// sensors than the list holds, and a file that cannot be written.
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "sensor/LinkMonitor.h"
#include "sensor/ui/DlgFindBTD.h"
#include "tests/sensor_ui/SensorScreensTestSupport.h"

namespace {

using namespace qtest;
using sensorui::RunSearch;

constexpr BT_ADDR kGauge = 0x00126F000001ULL;
constexpr BT_ADDR kHead = 0x00126F000002ULL;

class FindBTDTest : public sensorui::SensorScreensTest {
protected:
    static CDlgFindBTD& Screen() { return *CDlgFindBTD::Current(); }
    static std::vector<std::u16string> Rows() { return ColumnTexts(Screen().m_list, 0); }
    static std::u16string Status(HWND dlg) { return WindowText(GetDlgItem(dlg, CDlgFindBTD::kStatusId)); }
    static bool AddEnabled(HWND dlg) { return IsWindowEnabled(GetDlgItem(dlg, CDlgFindBTD::kAddId)) != 0; }
    // Runs the search screen with `steps` inside it.
    BOOL Run(std::function<void(HWND)> steps)
    {
        Then([steps] { steps(FrontDialog()); });
        CLinkMonitor monitor;
        return RunScreen<CDlgFindBTD>(nullptr, owner, &monitor);
    }
    // A search over the devices in reach, with a budget for failed name
    // queries when `budgetMs` is given: the rows it listed, its status line
    // and the name queries that failed.
    struct Found {
        std::vector<std::u16string> rows;
        std::u16string status;
        int failedQueries = 0;
    };
    Found Search(int budgetMs = 0)
    {
        Found found;
        Run([&](HWND dlg) {
            if (budgetMs) Screen().m_nameBudgetMs = budgetMs;
            RunSearch(dlg, 30);
            found.rows = Rows();
            found.status = Status(dlg);
            found.failedQueries = Screen().m_failedNameQueries;
            Press(dlg, CDlgFindBTD::kBackId);
        });
        return found;
    }
};

TEST(FindBTDTexts, SerialAndAddressTexts)
{
    EXPECT_EQ(std::u16string(CDlgFindBTD::SerialFromName(u"LX412 12345")), u"1235");
    EXPECT_EQ(std::u16string(CDlgFindBTD::SerialFromName(u"QUN 54321")), u"5431");
    EXPECT_EQ(std::u16string(CDlgFindBTD::FormatAddress(u"126fa00b7c")), u"00:12:6f:a0:0b:7c");
    EXPECT_EQ(std::u16string(CDlgFindBTD::FormatAddress(u"")), u"00:00:00:00:00:00");
    WCHAR text[32];
    CDlgFindBTD::AddressText(0x00126FA00B7CULL, text, 32);
    EXPECT_EQ(std::u16string(text), u"126fa00b7c") << "upper part without leading zeros";
    // A lower part that begins with a zero keeps it: eight digits always.
    CDlgFindBTD::AddressText(0x0012070A0B0CULL, text, 32);
    EXPECT_EQ(std::u16string(text), u"12070a0b0c");
    EXPECT_EQ(std::u16string(CDlgFindBTD::FormatAddress(text)), u"00:12:07:0a:0b:0c");
    CDlgFindBTD::AddressText(0x000000000001ULL, text, 32);
    EXPECT_EQ(std::u16string(text), u"000000001");
}

TEST_F(FindBTDTest, OnlySensorsOfTheChosenTypeAreListed)
{
    Announce("QUN 12345", kGauge);
    Announce("Q 55555", 0x00126F000003ULL);    // one letter of the word only
    Announce("QEM 33333", 0x00126F000004ULL);  // the other gauge: "Q" and then no more
    Announce("LX412 11111", kHead);
    Announce("LX413 22222", 0x0012070A0B0CULL);
    WriteSettings(2);
    std::vector<std::u16string> gauges, heads, addresses;
    std::u16string count, status;
    bool addBefore = true, addAfter = false;
    Run([&](HWND dlg) {
        addBefore = AddEnabled(dlg);
        EXPECT_EQ(Status(dlg), LanguageText(50035));
        RunSearch(dlg);
        gauges = Rows();
        status = Status(dlg);
        count = WindowText(GetDlgItem(dlg, CDlgFindBTD::kCountId));
        addAfter = AddEnabled(dlg);
        sensorui::Snapshot("find_btd.png");
        Press(dlg, CDlgFindBTD::kBackId);
    });
    EXPECT_FALSE(addBefore);
    EXPECT_EQ(gauges, std::vector<std::u16string>{u"QUN 12345"});
    EXPECT_EQ(status, LanguageText(50037));
    EXPECT_EQ(count, u"1 " + LanguageText(40212));
    EXPECT_TRUE(addAfter);

    // The heads' words share their letters: a type-1 search lists both.
    WriteSettings(1);
    Run([&](HWND dlg) {
        RunSearch(dlg);
        heads = Rows();
        addresses = ColumnTexts(Screen().m_list, 1);
        Press(dlg, CDlgFindBTD::kBackId);
    });
    EXPECT_EQ(heads, (std::vector<std::u16string>{u"LX412 11111", u"LX413 22222"}));
    EXPECT_EQ(addresses, (std::vector<std::u16string>{u"00:12:6f:00:00:02", u"00:12:07:0a:0b:0c"}));
}

TEST_F(FindBTDTest, AddingMakesTheSensorCurrentAndKeepsItOnce)
{
    Announce("QUN 12345", kGauge);
    WriteRecords({Record(1, u"LX412 11111", u"126f000002")});
    WriteSettings(2);
    const std::u16string headBefore = CurrentName(ReadSettings(), 1);
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(Run([&](HWND dlg) {
            RunSearch(dlg);
            Screen().m_list.SelectItem(0);
            Press(dlg, CDlgFindBTD::kAddId);
        })) << "the screen always answers 1";
    }
    const ParamBlock block = ReadSettings();
    const ParamBTRecord& sensor = block.qavSensors[1];
    EXPECT_EQ(qplat::FieldText(sensor.name, 12), u"QUN 12345");
    EXPECT_EQ(qplat::FieldText(sensor.pin, 5), u"1235");
    EXPECT_EQ(qplat::FieldText(sensor.address, 20), u"00126f000001");
    EXPECT_EQ(CurrentName(block, 1), headBefore) << "the other types keep theirs";
    const std::vector<BTDeviceRecord> records = ReadRecords();
    ASSERT_EQ(records.size(), 2u) << "the second add finds the name in the file";
    EXPECT_EQ(records[1].deviceType, 2u);
    EXPECT_EQ(qplat::FieldText(records[1].name, 12), u"QUN 12345");
    EXPECT_EQ(qplat::FieldText(records[1].address, 20), u"126f000001");
    EXPECT_EQ(qplat::FieldText(records[1].serial, 6), u"1235");
}

TEST_F(FindBTDTest, LongNamesAreCutToTheirFields)
{
    Announce("QUN 12345 and a long tail", kGauge);
    WriteSettings(2);
    Run([&](HWND dlg) {
        RunSearch(dlg);
        EXPECT_EQ(RowText(Screen().m_list, 0, 0), u"QUN 12345 and a long tail");
        Screen().m_list.SelectItem(0);
        Press(dlg, CDlgFindBTD::kAddId);
    });
    const ParamBlock block = ReadSettings();
    EXPECT_EQ(qplat::FieldText(block.qavSensors[1].name, 12), u"QUN 12345 a");
    EXPECT_EQ(block.qavSensors[1].name[11], 0);
    EXPECT_EQ(qplat::FieldText(block.qavSensors[1].pin, 5), u"1235");
    const std::vector<BTDeviceRecord> records = ReadRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(qplat::FieldText(records[0].name, 12), u"QUN 12345 a");
    EXPECT_EQ(records[0].name[11], 0);
}

TEST_F(FindBTDTest, NothingSelectedAndAFileThatCannotBeWrittenAreShown)
{
    Announce("QUN 12345", kGauge);
    WriteSettings(2);
    const std::u16string before = CurrentName(ReadSettings(), 2);
    std::vector<std::u16string> boxes;
    bool stillOpen = false;
    Run([&](HWND dlg) {
        RunSearch(dlg);
        AnswerBox(&boxes);
        Press(dlg, CDlgFindBTD::kAddId);
        Screen().m_list.SelectItem(0);
        qplat::FailFileWritesAfter(0);
        AnswerBox(&boxes);
        Press(dlg, CDlgFindBTD::kAddId);
        qplat::FailFileWritesAfter(-1);
        stillOpen = FrontDialog() == dlg;
        Press(dlg, CDlgFindBTD::kBackId);
    });
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50005), LanguageText(50015)}));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(CurrentName(ReadSettings(), 2), before) << "not made current";
    EXPECT_TRUE(ReadRecords().empty());
}

TEST_F(FindBTDTest, SettingsThatCannotBeSavedTakeTheAddedRecordBackOut)
{
    Announce("QUN 12345", kGauge);
    Announce("QUN 54321", 0x00126F000003ULL);
    WriteSettings(2);
    BTDeviceRecord kept{};
    kept.deviceType = 2;
    qplat::CopyField(kept.name, 12, u"QUN 54321");
    WriteRecords({kept});
    const std::string file = root.ReadFile(std::u16string(kAutorun) + u"BTDevice.qav");
    const std::u16string settingsPath = std::u16string(kAutorun) + u"param.qav";
    std::vector<std::u16string> boxes;
    std::string fileAfterUndo;
    Run([&](HWND dlg) {
        RunSearch(dlg);
        // The settings file cannot be replaced: a folder stands in its place.
        DeleteFileW(settingsPath.c_str());
        CreateDirectoryW(settingsPath.c_str(), nullptr);
        Screen().m_list.SelectItem(FindRow(Screen().m_list, 0, u"QUN 12345"));
        AnswerBox(&boxes);
        Press(dlg, CDlgFindBTD::kAddId);
        fileAfterUndo = root.ReadFile(std::u16string(kAutorun) + u"BTDevice.qav");

        // Neither file can be written: the record stays, and that is said
        // too. The append writes its roll-back (a 32-byte head, a 16-byte
        // range head, the record and a 4-byte check), then the record.
        qplat::FailFileWritesAfter(32 + 16 + 2 * BT_DEVICE_RECORD_SIZE + 4);
        AnswerBoxes(&boxes, {kBoxFirstButton, kBoxFirstButton});
        Press(dlg, CDlgFindBTD::kAddId);
        qplat::FailFileWritesAfter(-1);
        RemoveDirectoryW(settingsPath.c_str());
        Press(dlg, CDlgFindBTD::kBackId);
    });
    EXPECT_EQ(fileAfterUndo, file) << "the appended record went again";
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50088), LanguageText(50088), LanguageText(50089)}));
    const std::vector<BTDeviceRecord> records = ReadRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(qplat::FieldText(records[1].name, 12), u"QUN 12345");
}

TEST_F(FindBTDTest, WithTheRadioOffNothingCanBeAdded)
{
    Announce("QUN 12345", kGauge);
    ASSERT_TRUE(qplat::SetBluetoothRadio(false));
    WriteSettings(2);
    std::u16string status;
    bool add = true;
    Run([&](HWND dlg) {
        RunSearch(dlg);
        status = Status(dlg);
        add = AddEnabled(dlg);
        EXPECT_EQ(Screen().m_list.GetItemCount(), 0);
        Press(dlg, CDlgFindBTD::kBackId);
    });
    EXPECT_EQ(status, LanguageText(50038));
    EXPECT_FALSE(add);
}

TEST_F(FindBTDTest, ADeviceThatNeverTellsItsNameIsLeftOutAndTheOthersFound)
{
    Announce("QUN 11111", 0x00126F000011ULL, true);
    Announce("QUN 12345", kGauge);
    // A name longer than any query takes: the query keeps failing.
    Announce("QUN " + std::string(300, '9'), 0x00126F000012ULL);
    WriteSettings(2);
    const Found found = Search();
    EXPECT_EQ(found.rows, std::vector<std::u16string>{u"QUN 12345"});
    EXPECT_EQ(found.status, LanguageText(50037));
    EXPECT_EQ(found.failedQueries, 1 + FIND_BTD_NAME_TRIES)
        << "the time-out once, the failing query as often as one device may";
}

TEST_F(FindBTDTest, FailingNameQueriesShareOneBudgetForTheWholeSearch)
{
    Announce("QUN 12345", kGauge);
    for (int i = 0; i < 3; ++i) Announce("QUN " + std::string(300, char('1' + i)), 0x00126F000020ULL + i);
    Announce("QUN 54321", 0x00126F000030ULL);
    WriteSettings(2);
    // Seven failed queries for the whole search, however many devices fail.
    const Found found = Search(7 * FIND_BTD_NAME_PAUSE_MS);
    EXPECT_EQ(found.failedQueries, 7);
    EXPECT_EQ(found.rows, std::vector<std::u16string>{u"QUN 12345"}) << "the device after the spent budget is left out";
    EXPECT_EQ(found.status, LanguageText(50037));
}

TEST_F(FindBTDTest, TheListStopsAtTenAndTheLookupIsEnded)
{
    for (int i = 0; i < 12; ++i) Announce("QUN 1000" + std::to_string(i % 10) + char('a' + i), 0x00126F000100ULL + i);
    WriteSettings(2);
    std::vector<int> counts;
    std::u16string count;
    Run([&](HWND dlg) {
        RunSearch(dlg);
        counts.push_back(Screen().m_list.GetItemCount());
        RunSearch(dlg);
        counts.push_back(Screen().m_list.GetItemCount());
        count = WindowText(GetDlgItem(dlg, CDlgFindBTD::kCountId));
        Press(dlg, CDlgFindBTD::kBackId);
    });
    EXPECT_EQ(counts, (std::vector<int>{10, 10}));
    EXPECT_EQ(count, u"10 " + LanguageText(40212));
}

}  // namespace

namespace {

TEST_F(FindBTDTest, TheSearchSpeaksTheCurrentLanguage)
{
    UseLanguage("RUS.LNG");
    Announce("QEM 33333", 0x00126F000004ULL);
    WriteSettings(3);
    std::u16string status, count;
    Run([&](HWND dlg) {
        sensorui::Snapshot("find_btd_ru_start.png");
        RunSearch(dlg);
        status = Status(dlg);
        count = WindowText(GetDlgItem(dlg, CDlgFindBTD::kCountId));
        sensorui::Snapshot("find_btd_ru.png");
        Press(dlg, CDlgFindBTD::kBackId);
    });
    EXPECT_EQ(status, u"Поиск завершён. Выберите датчик и добавьте его.");
    EXPECT_EQ(count, u"1 устр. найдено");
}

}  // namespace
