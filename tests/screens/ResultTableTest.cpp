// The result tables of the series screen and the journal browser: which rows
// the device type, the option bytes and the switches give, in which order,
// with which values, units and formats; the table's bounds; the printed value
// of a row and of a panel line.
#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "tests/screens/ResultTestSupport.h"

using namespace qtest;

namespace {

// A row's printed value, into a buffer holding a leftover.
std::u16string Printed(const ResultRow& row)
{
    WCHAR out[RESULT_VALUE_CHARS] = u"x";
    FormatRowValue(out, RESULT_VALUE_CHARS, row, u"Pass", u"Fail");
    return out;
}

class ResultTableTest : public ::testing::Test {
protected:
    // Writes the settings and builds the wheel table with a fresh view (a
    // view reads its settings once).
    int Wheel(const ParamBlock& settings, const WheelResult& a, const WheelResult& b, BYTE everyRow,
              int capacity = RESULT_TABLE_ROWS)
    {
        ResultRoot::Save(settings);
        return WheelWith(a, b, everyRow, capacity);
    }
    int WheelWith(const WheelResult& a, const WheelResult& b, BYTE everyRow, int capacity = RESULT_TABLE_ROWS)
    {
        auto view = std::make_unique<CResultView>();
        count = 0xEE;
        view->BuildWheelTable(a, b, 0, rows, capacity, &count, everyRow);
        return count;
    }
    int Disc(const ParamBlock& settings, const DiscResult& d, BYTE everyRow)
    {
        ResultRoot::Save(settings);
        auto view = std::make_unique<CResultView>();
        count = 0xEE;
        view->BuildDiscTable(d, 0, rows, RESULT_TABLE_ROWS, &count, everyRow);
        return count;
    }
    std::vector<std::u16string> Names() const { return NamesOf(rows, count); }
    const ResultRow* Row(const std::u16string& name) const { return Named(rows, count, name); }

    ResultRoot env;
    // The settings a test adjusts, from the factory's.
    ParamBlock s = ResultRoot::Factory();
    // The result a test builds its table of.
    WheelResult a{};
    ResultRow rows[RESULT_TABLE_ROWS + 4] = {};
    BYTE count = 0;
};

using NameList = std::vector<std::u16string>;

TEST_F(ResultTableTest, FactorySettingsGiveFlangeHeightThicknessAndSlope)
{
    a = WheelValues(28000);
    a.values[5] = 9500;
    a.status[0] = 2;
    a.status[1] = 1;
    a.status[2] = 0;
    const WheelResult b = WheelValues(30000);
    ASSERT_EQ(3, Wheel(s, a, b, 0));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"qR"}), Names());
    EXPECT_FLOAT_EQ(28.0f, rows[0].valueA);
    EXPECT_FLOAT_EQ(30.0f, rows[0].valueB);
    EXPECT_FLOAT_EQ(28.001f, rows[1].valueA);
    EXPECT_FLOAT_EQ(9.5f, rows[2].valueA);
    EXPECT_FLOAT_EQ(30.005f, rows[2].valueB);
    EXPECT_EQ(2, rows[0].status);
    EXPECT_EQ(1, rows[1].status);
    EXPECT_EQ(0, rows[2].status);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(u"mm", Text(rows[i].units));
        EXPECT_EQ(u"%.2f", Text(rows[i].format));
    }
    EXPECT_EQ(u"28.00", Printed(rows[0]));

    // The same settings for the type-2 gauge: none of them is a gauge row.
    s.deviceType = 2;
    ASSERT_EQ(1, Wheel(s, a, b, 0));
    EXPECT_EQ((NameList{u"D"}), Names());
    // The journal browser shows every switched-on value of any device type,
    // and the type-3 reading wherever there is one.
    ASSERT_EQ(5, Wheel(s, a, b, 1));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"qR", u"D", u"G"}), Names());
}

TEST_F(ResultTableTest, Gauge2ShowsItsReadingAndTheType3ReadingOnlyBySwitch)
{
    s.deviceType = 2;
    AllWheelSwitches(s);
    s.switches[833 - 820] = 1;
    s.switches[827 - 820] = 1;
    a.values[7] = 812345;
    a.status[3] = 2;
    ASSERT_EQ(1, Wheel(s, a, a, 0));
    EXPECT_EQ(u"D", Text(rows[0].name));
    EXPECT_FLOAT_EQ(812.345f, rows[0].valueA);
    EXPECT_EQ(2, rows[0].status);
    EXPECT_EQ(u"%.1f", Text(rows[0].format));  // one decimal fewer
    EXPECT_EQ(u"812.3", Printed(rows[0]));

    s.switches[833 - 820] = 2;
    ASSERT_EQ(2, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"D", u"G"}), Names());
}

TEST_F(ResultTableTest, Gauge3StepRowsSkipStepsWithoutReading)
{
    s.deviceType = 3;
    s.gaugeSteps = 3;
    a.values[28] = 6000;
    a.status[10] = 1;
    a.values[29] = 5000;
    a.values[30] = 0;
    a.values[31] = 7000;
    a.values[32] = 9000;  // a fourth step is not counted with three steps
    ASSERT_EQ(3, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"G", u"G1", u"G3"}), Names());
    EXPECT_EQ(1, rows[0].status);
    EXPECT_EQ(0, rows[1].status);
    EXPECT_FLOAT_EQ(5.0f, rows[1].valueA);
    EXPECT_FLOAT_EQ(7.0f, rows[2].valueA);
    EXPECT_FLOAT_EQ(0.0f, rows[2].valueB);
    EXPECT_EQ(u"%.1f", Text(rows[2].format));

    // Six steps count the fourth; one step counts none.
    s.gaugeSteps = 6;
    ASSERT_EQ(4, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"G", u"G1", u"G3", u"G4"}), Names());
    s.gaugeSteps = 1;
    ASSERT_EQ(1, Wheel(s, a, a, 0));

    // The diameter only by its switch.
    s.switches[827 - 820] = 2;
    ASSERT_EQ(2, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"D", u"G"}), Names());
}

TEST_F(ResultTableTest, Variant4DropsTheOtherVariantsRowsAndAlwaysShowsTheFlankLevel)
{
    AllWheelSwitches(s);
    s.option2 = 4;
    s.switches[838 - 820] = 1;
    s.switches[833 - 820] = 1;
    a = WheelValues(1000);
    ASSERT_EQ(6, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"Sl", u"D", u"Wr", u"W"}), Names());
    EXPECT_FLOAT_EQ(1.002f, Row(u"Sl")->valueA);

    // Without the wheel head (and without the every-row flag) T does not hold.
    s.deviceType = 2;
    ASSERT_EQ(1, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"D"}), Names());
}

TEST_F(ResultTableTest, Variant3AddsTheSecondLevelRows)
{
    s.option2 = 3;
    s.switches[838 - 820] = 2;
    s.switches[839 - 820] = 2;
    a = WheelValues(2000);
    a.status[21] = 1;
    a.status[22] = 2;
    a.status[23] = 1;
    ASSERT_EQ(6, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"Sl", u"Sdb", u"Lb", u"qR"}), Names());
    EXPECT_EQ(1, Row(u"Sl")->status);
    EXPECT_EQ(2, Row(u"Sdb")->status);
    EXPECT_EQ(1, Row(u"Lb")->status);
    EXPECT_FLOAT_EQ(2.004f, Row(u"Lb")->valueA);
}

TEST_F(ResultTableTest, FlangeSlopeAsLengthAngleOrVerdict)
{
    a.values[5] = 9000;
    a.values[6] = 45000;
    s.option4 = 2;
    ASSERT_EQ(3, Wheel(s, a, a, 0));
    EXPECT_FLOAT_EQ(45.0f, rows[2].valueA);
    EXPECT_EQ(u"°", Text(rows[2].units));
    // Degrees are thousandths in both unit systems.
    s.unitSystem = 2;
    ASSERT_EQ(3, Wheel(s, a, a, 0));
    EXPECT_FLOAT_EQ(45.0f, rows[2].valueA);
    EXPECT_EQ(u"°", Text(rows[2].units));
    EXPECT_EQ(u"45.000", Printed(rows[2]));

    // Option 3: a verdict of value 5, no unit.
    s.unitSystem = 1;
    s.option4 = 3;
    a.status[2] = 1;
    ASSERT_EQ(3, Wheel(s, a, a, 0));
    EXPECT_EQ(u"", Text(rows[2].units));
    EXPECT_FLOAT_EQ(9.0f, rows[2].valueA);
    EXPECT_EQ(u"Pass", Printed(rows[2]));
    a.status[2] = 2;
    ASSERT_EQ(3, Wheel(s, a, a, 0));
    EXPECT_EQ(u"Fail", Printed(rows[2]));
    // Any other option: a verdict of value 6.
    s.option4 = 0;
    ASSERT_EQ(3, Wheel(s, a, a, 0));
    EXPECT_EQ(u"", Text(rows[2].units));
    EXPECT_FLOAT_EQ(45.0f, rows[2].valueA);
}

TEST_F(ResultTableTest, WheelTypeOptionChoosesWearLineOrWearPair)
{
    s.switches[829 - 820] = 2;
    a.values[13] = 1500;
    a.values[22] = 700;
    a.values[23] = 2000;
    a.status[18] = 2;
    s.wheelTypeOption = 1;
    ASSERT_EQ(4, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"qR", u"Wr"}), Names());
    EXPECT_FLOAT_EQ(1.5f, rows[3].valueA);
    EXPECT_EQ(2, rows[3].status);
    EXPECT_FLOAT_EQ(0.0f, rows[3].valueB);

    s.wheelTypeOption = 2;
    ASSERT_EQ(5, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"qR", u"Rw", u"dRw"}), Names());
    EXPECT_FLOAT_EQ(2.0f, rows[3].valueA);
    EXPECT_FLOAT_EQ(1.3f, rows[4].valueA);
    EXPECT_EQ(0, rows[3].status);
}

TEST_F(ResultTableTest, InchesConvertLengthsAndAreasButNotAnglesOrPercentages)
{
    AllWheelSwitches(s);
    s.unitSystem = 2;
    s.wheelTypeOption = 1;
    a.values[0] = 25400;
    a.values[7] = 50800;
    a.values[9] = 1500;
    a.values[11] = 45000;
    a.values[16] = 127000;
    a.values[25] = 645160;
    a.values[28] = 12700;
    ASSERT_EQ(21, Wheel(s, a, a, 0));
    EXPECT_EQ(u"1.000", Printed(*Row(u"Sh")));
    EXPECT_EQ(u"in", Text(Row(u"Sh")->units));
    EXPECT_EQ(u"45.000", Printed(*Row(u"Fa")));
    EXPECT_EQ(u"°", Text(Row(u"Fa")->units));
    EXPECT_EQ(u"1.500", Printed(*Row(u"Ti1")));
    EXPECT_EQ(u"%", Text(Row(u"Ti1")->units));
    EXPECT_EQ(u"1.000", Printed(*Row(u"Az")));
    EXPECT_EQ(u"in2", Text(Row(u"Az")->units));
    // Diameter, gauge reading and rim width keep one decimal fewer.
    EXPECT_EQ(u"2.00", Printed(*Row(u"D")));
    EXPECT_EQ(u"0.50", Printed(*Row(u"G")));
    EXPECT_EQ(u"5.00", Printed(*Row(u"W")));

    s.unitSystem = 1;
    ASSERT_EQ(21, Wheel(s, a, a, 0));
    EXPECT_EQ(u"645.16", Printed(*Row(u"Az")));
    EXPECT_EQ(u"mm2", Text(Row(u"Az")->units));
    EXPECT_EQ(u"50.8", Printed(*Row(u"D")));
}

TEST_F(ResultTableTest, OnlyUnitByteTwoMeansInches)
{
    // A zeroed, short or damaged copy never shows inch numbers under a
    // millimetre label (or the reverse).
    a.values[0] = 25400;
    for (BYTE unit : {0, 1, 3, 255}) {
        s.unitSystem = unit;
        ASSERT_EQ(3, Wheel(s, a, a, 0)) << int(unit);
        EXPECT_EQ(u"mm", Text(rows[0].units)) << int(unit);
        EXPECT_EQ(u"25.40", Printed(rows[0])) << int(unit);
    }
    s.unitSystem = 2;
    ASSERT_EQ(3, Wheel(s, a, a, 0));
    EXPECT_EQ(u"in", Text(rows[0].units));
}

TEST_F(ResultTableTest, EverySwitchOnBuildsThirtyOneRowsAndNeverPassesTheCapacity)
{
    AllWheelSwitches(s);
    s.option2 = 3;
    s.gaugeSteps = 6;
    s.wheelTypeOption = 2;
    a = WheelValues(1000);
    ASSERT_EQ(31, Wheel(s, a, a, 0));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"Sl", u"Sdb", u"Lb", u"qR", u"Ti1", u"Ti2", u"Fa", u"Sa", u"D",
                     u"T", u"G", u"G1", u"G2", u"G3", u"G4", u"G5", u"G6", u"Rw", u"dRw", u"dSd", u"Wn",
                     u"Hw", u"dH", u"Dv", u"Az", u"Wd", u"W", u"Oh", u"Ch"}),
              Names());
    // Differences of stored values.
    EXPECT_FLOAT_EQ(0.001f, Row(u"dRw")->valueA);
    EXPECT_FLOAT_EQ(0.001f, Row(u"dH")->valueA);
    EXPECT_FLOAT_EQ(0.001f, Row(u"dH")->valueB);
    // Value B only where the reference has the value.
    EXPECT_FLOAT_EQ(1.017f, Row(u"Hw")->valueB);
    EXPECT_FLOAT_EQ(0.0f, Row(u"Dv")->valueB);
    EXPECT_FLOAT_EQ(0.0f, Row(u"G3")->valueB);

    // A smaller table: filled to its end, not one row beyond.
    std::memset(rows, 0x5A, sizeof(rows));
    ASSERT_EQ(22, WheelWith(a, a, 0, 22));
    EXPECT_EQ(u"Rw", Text(rows[19].name));
    EXPECT_EQ(u"dSd", Text(rows[21].name));
    const unsigned char* past = reinterpret_cast<const unsigned char*>(&rows[22]);
    for (size_t i = 0; i < sizeof(ResultRow) * 4; ++i) ASSERT_EQ(0x5A, past[i]) << i;
    EXPECT_EQ(0, WheelWith(a, a, 0, 0));
}

TEST_F(ResultTableTest, DifferencesOfExtremeWordsDoNotOverflow)
{
    s.switches[840 - 820] = 2;
    a.values[21] = INT_MAX;
    a.values[20] = INT_MIN;
    WheelResult b{};
    b.values[21] = INT_MIN;
    b.values[20] = INT_MAX;
    ASSERT_EQ(4, Wheel(s, a, b, 0));
    EXPECT_FLOAT_EQ(4294967.295f, rows[3].valueA);
    EXPECT_FLOAT_EQ(-4294967.295f, rows[3].valueB);
}

TEST_F(ResultTableTest, UnreadableSettingsShowMillimetresAndOnlyTheGaugeReading)
{
    env.RemoveSettings();
    a = WheelValues(1000);
    auto view = std::make_unique<CResultView>();
    view->BuildWheelTable(a, a, 0, rows, RESULT_TABLE_ROWS, &count, 0);
    EXPECT_EQ(0, count);
    EXPECT_FALSE(view->SettingsRead());
    EXPECT_EQ(1, view->loaded);

    view = std::make_unique<CResultView>();
    view->BuildWheelTable(a, a, 0, rows, RESULT_TABLE_ROWS, &count, 1);
    ASSERT_EQ(1, count);
    EXPECT_EQ(u"G", Text(rows[0].name));
    EXPECT_EQ(u"mm", Text(rows[0].units));
    EXPECT_EQ(u"%.1f", Text(rows[0].format));
    a.values[28] = 0;
    view->BuildWheelTable(a, a, 0, rows, RESULT_TABLE_ROWS, &count, 1);
    EXPECT_EQ(0, count);

    DiscResult d{};
    view->BuildDiscTable(d, 0, rows, RESULT_TABLE_ROWS, &count, 0);
    EXPECT_EQ(0, count);
    view->BuildDiscTable(d, 0, rows, RESULT_TABLE_ROWS, &count, 1);
    EXPECT_EQ(7, count);
    EXPECT_EQ(u"mm", Text(rows[0].units));
}

TEST_F(ResultTableTest, ShortSettingsFileReadsAsZeroBeyondItsEnd)
{
    // 818 bytes: the device type is there, the unit byte and the switches are not.
    s.unitSystem = 2;
    ResultRoot::Save(s);
    const std::string path = env.root.Host(u"\\SDMMC\\Autorun\\param.qav");
    std::filesystem::resize_file(path, 818);
    a.values[28] = 25400;
    auto view = std::make_unique<CResultView>();
    view->BuildWheelTable(a, a, 0, rows, RESULT_TABLE_ROWS, &count, 1);
    EXPECT_TRUE(view->SettingsRead());
    ASSERT_EQ(1, count);
    EXPECT_EQ(u"G", Text(rows[0].name));
    EXPECT_EQ(u"mm", Text(rows[0].units));  // byte 818 was not read
    EXPECT_FLOAT_EQ(25.4f, rows[0].valueA);
}

TEST_F(ResultTableTest, TheViewKeepsTheSettingsOfItsFirstUse)
{
    ResultRoot::Save(s);
    auto view = std::make_unique<CResultView>();
    a = WheelValues(1000);
    view->BuildWheelTable(a, a, 0, rows, RESULT_TABLE_ROWS, &count, 0);
    ASSERT_EQ(3, count);
    AllWheelSwitches(s);
    ResultRoot::Save(s);
    view->BuildWheelTable(a, a, 0, rows, RESULT_TABLE_ROWS, &count, 0);
    EXPECT_EQ(3, count);
}

TEST_F(ResultTableTest, DiscTableOrderSwitchesAndUnits)
{
    DiscResult d{};
    for (int j = 0; j < 7; ++j) {
        d.values[j] = 1000 * (j + 1);
        d.status[j] = static_cast<BYTE>(j % 3);
    }
    s.discSwitches[0] = s.discSwitches[1] = s.discSwitches[2] = s.discSwitches[3] = 1;
    ASSERT_EQ(7, Disc(s, d, 1));
    EXPECT_EQ((NameList{u"H1", u"Dp1", u"U1", u"H2", u"Dp2", u"U2", u"Th"}), Names());
    for (int j = 0; j < 7; ++j) {
        EXPECT_FLOAT_EQ(static_cast<float>(j + 1), rows[j].valueA) << j;
        EXPECT_EQ(j % 3, rows[j].status) << j;
        EXPECT_EQ(u"mm", Text(rows[j].units));
        EXPECT_EQ(u"%.2f", Text(rows[j].format));
    }
    ASSERT_EQ(0, Disc(s, d, 0));
    s.discSwitches[2] = 2;
    ASSERT_EQ(1, Disc(s, d, 0));
    EXPECT_EQ(u"Th", Text(rows[0].name));
    EXPECT_FLOAT_EQ(7.0f, rows[0].valueA);
    s.discSwitches[3] = 2;
    s.unitSystem = 2;
    ASSERT_EQ(3, Disc(s, d, 0));
    EXPECT_EQ((NameList{u"U1", u"U2", u"Th"}), Names());
    EXPECT_EQ(u"in", Text(rows[0].units));
    EXPECT_FLOAT_EQ(3000.0f / 25400.0f, rows[0].valueA);
    EXPECT_EQ(u"%.3f", Text(rows[0].format));
}

TEST_F(ResultTableTest, LongTextsAreCutToTheirFieldsKeepingTheDigit)
{
    env.WriteLanguage("LONG.LNG",
                      "40305=millimetres\r\n40604=FlangeHeight\r\n40613=Inclination\r\n40624=Area\r\n");
    s.switches[825 - 820] = 2;
    s.switches[835 - 820] = 2;
    a = WheelValues(1000);
    ASSERT_EQ(7, Wheel(s, a, a, 0));
    EXPECT_EQ(u"FlangeHei", Text(rows[0].name));
    EXPECT_EQ(u"millimetr", Text(rows[0].units));
    EXPECT_EQ(u"Inclinat1", Text(Row(u"Inclinat1")->name));
    EXPECT_NE(nullptr, Row(u"Inclinat2"));
    EXPECT_EQ(u"millimet2", Text(Row(u"Area")->units));
    // An id the file lacks names the row by its digits.
    EXPECT_EQ(u"40605", Text(rows[1].name));
}

// ---- the printed value of a panel line

std::u16string Line(float value, DWORD divisor, const WCHAR* units, int kind, BYTE status = 0,
                    BYTE placeholder = 0, bool inches = false, const WCHAR* pass = u"Pass")
{
    WCHAR out[RESULT_VALUE_CHARS];
    FormatLineValue(out, RESULT_VALUE_CHARS, value, divisor, units, kind, status, placeholder, inches, pass,
                    u"Fail");
    return out;
}

TEST(ResultLineValueTest, RangeCheckAndFormats)
{
    EXPECT_EQ(u"140.5", Line(140500, 1000, u"mm", CHECK_PROFILE_LENGTH));
    EXPECT_EQ(u"100.00", Line(100000, 1000, u"mm", CHECK_PROFILE_LENGTH));
    EXPECT_EQ(u"150.0", Line(150000, 1000, u"mm", CHECK_PROFILE_LENGTH));
    EXPECT_EQ(u"-1.00", Line(150500, 1000, u"mm", CHECK_PROFILE_LENGTH));
    EXPECT_EQ(u"-1.00", Line(-200, 1000, u"mm", CHECK_PROFILE_LENGTH));
    EXPECT_EQ(u"0.00", Line(0, 1000, u"mm", CHECK_PROFILE_LENGTH));
    EXPECT_EQ(u"1.000", Line(25400, 25400, u"in", CHECK_NONE, 0, 0, true));
    // Negative values never take the short format.
    EXPECT_EQ(u"-180.00", Line(-180000, 1000, u"%", CHECK_PERCENT));
    EXPECT_EQ(u"180.0", Line(180000, 1000, u"%", CHECK_PERCENT));
    EXPECT_EQ(u"-1.00", Line(-180010, 1000, u"%", CHECK_PERCENT));
    EXPECT_EQ(u"-500.00", Line(-500000, 1000, u"mm", 5));

    EXPECT_FLOAT_EQ(150.0f, CResultView::CheckRange(150.0f, 0));
    EXPECT_FLOAT_EQ(-1.0f, CResultView::CheckRange(150.01f, 0));
    EXPECT_FLOAT_EQ(0.0f, CResultView::CheckRange(0.0f, 0));
    EXPECT_FLOAT_EQ(-1.0f, CResultView::CheckRange(-0.01f, 0));
    EXPECT_FLOAT_EQ(-180.0f, CResultView::CheckRange(-180.0f, 2));
    EXPECT_FLOAT_EQ(-1.0f, CResultView::CheckRange(180.01f, 2));
    EXPECT_FLOAT_EQ(1e9f, CResultView::CheckRange(1e9f, 1));
    EXPECT_FLOAT_EQ(-1.0f, CResultView::CheckRange(std::numeric_limits<float>::quiet_NaN(), 0));
}

TEST(ResultLineValueTest, PlaceholderAndVerdicts)
{
    EXPECT_EQ(u"  -----", Line(140500, 1000, u"mm", 0, 2, 1));
    EXPECT_EQ(u"  -----", Line(0, 1000, u"", 0, 2, 1));
    EXPECT_EQ(u"Pass", Line(9000, 1000, u"", 0, 0));
    EXPECT_EQ(u"Pass", Line(9000, 1000, u"", 0, 1));
    EXPECT_EQ(u"Fail", Line(9000, 1000, u"", 0, 2));
    // No verdict without a result: a verdict line whose value is 0 (nothing
    // measured, or the slope could not be computed) stays empty.
    EXPECT_EQ(u"", Line(0, 1000, u"", 0, 0));
    EXPECT_EQ(u"", Line(0, 1000, u"", 0, 2));
    EXPECT_EQ(u"0.00", Line(0, 1000, u"mm", 0)) << "a number line still shows its 0";
    // A verdict longer than the value buffer is cut to it.
    const std::u16string longPass(80, u'p');
    EXPECT_EQ(longPass.substr(0, RESULT_VALUE_CHARS - 1), Line(9000, 1000, u"", 0, 0, 0, false, longPass.c_str()));
    // A zero divisor prints the value undivided, never a division by zero.
    EXPECT_EQ(u"7.00", Line(7, 0, u"mm", 0));
}

TEST(ResultRowValueTest, VerdictRowWithoutAResultShowsNoVerdict)
{
    ResultRow row{};
    EXPECT_EQ(u"", Printed(row));
    row.valueA = 9.0f;
    EXPECT_EQ(u"Pass", Printed(row));
    row.status = 2;
    EXPECT_EQ(u"Fail", Printed(row));
}

TEST(ResultRowValueTest, DamagedFormatPrintsNothing)
{
    ResultRow row{};
    row.valueA = 2.5f;
    qplat::CopyField(row.units, RESULT_UNITS_CHARS, u"mm");
    qplat::CopyField(row.format, RESULT_FORMAT_CHARS, u"%s%s%s");
    EXPECT_EQ(u"", Printed(row));
    qplat::CopyField(row.format, RESULT_FORMAT_CHARS, u"%.1f");
    EXPECT_EQ(u"2.5", Printed(row));
}

}  // namespace
