// The lines of the drawn results panels without a screen: which lines the
// settings give, their values, units, divisors and check kinds, how the panel
// is divided, and the gauge's value text.
#include <memory>
#include <vector>

#include "tests/screens/ResultTestSupport.h"
#include "tests/support/Fields.h"

using namespace qtest;

namespace {

class ResultLinesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        language = std::make_unique<CLanguage>();
        language->Load();
    }
    int Wheel(const ParamBlock& settings, const WheelResult& m, const WheelResult& r)
    {
        n = WheelPanelLines(settings, *language, m, &r, lines, WHEEL_PANEL_LINES);
        return n;
    }
    std::vector<std::u16string> Names() const { return NamesOf(lines, n); }
    const ResultLine& Line(const std::u16string& name) const
    {
        if (const ResultLine* line = Named(lines, n, name)) return *line;
        ADD_FAILURE() << "no line " << qplat::ToUtf8(name);
        return lines[0];
    }

    ResultRoot env;
    // The settings a test adjusts, from the factory's.
    ParamBlock s = ResultRoot::Factory();
    std::unique_ptr<CLanguage> language;
    ResultLine lines[WHEEL_PANEL_LINES] = {};
    int n = 0;
};

using NameList = std::vector<std::u16string>;

void ExpectGeometry(const PanelGeometry& g, int firstY, int step, int font, int fontWidth)
{
    EXPECT_EQ(firstY, g.firstY);
    EXPECT_EQ(step, g.lineStep);
    EXPECT_EQ(font, g.fontHeight);
    EXPECT_EQ(fontWidth, g.fontWidth);
}

TEST_F(ResultLinesTest, EverySwitchDrawsTwentyOneLinesSpacedForTwenty)
{
    AllWheelSwitches(s);
    s.wheelTypeOption = 0;
    const WheelResult m = WheelValues(1000);
    ASSERT_EQ(21, Wheel(s, m, m));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"qR", u"Ti1", u"Ti2", u"Fa", u"Sa", u"D", u"T", u"Rw", u"dRw", u"dSd",
                        u"Wn", u"Hw", u"dH", u"Dv", u"Az", u"Wd", u"W", u"Oh", u"Ch"}),
              Names());
    EXPECT_EQ(20, CountWheelRowsOf(s));
    // Twenty lines' spacing still holds the twenty-first: 88 .. 248 + 9.
    ExpectGeometry(FittedPanelGeometry(87, 180, 20, 21), 88, 8, 9, 3);
    // Check kinds, units and the reference values by line.
    EXPECT_EQ(CHECK_PERCENT, Line(u"Ti1").checkKind);
    EXPECT_EQ(u"%", Text(Line(u"Ti1").units));
    EXPECT_EQ(CHECK_NONE, Line(u"Fa").checkKind);
    EXPECT_EQ(u"°", Text(Line(u"Fa").units));
    EXPECT_EQ(CHECK_PROFILE_LENGTH, Line(u"W").checkKind);
    EXPECT_EQ(CHECK_NONE, Line(u"D").checkKind);
    EXPECT_FLOAT_EQ(RESULT_NO_VALUE, Line(u"Hw").valueB);
    EXPECT_FLOAT_EQ(RESULT_NO_VALUE, Line(u"Rw").valueB);
    EXPECT_FLOAT_EQ(RESULT_NO_VALUE, Line(u"Az").valueB);
    EXPECT_FLOAT_EQ(1.0f, Line(u"dH").valueB);
    EXPECT_FLOAT_EQ(1.0f, Line(u"dRw").valueA);
    EXPECT_EQ(u"mm2", Text(Line(u"Az").units));
}

TEST_F(ResultLinesTest, WithoutAReferenceNoLineHasASecondValue)
{
    AllWheelSwitches(s);
    const WheelResult m = WheelValues(1000);
    n = WheelPanelLines(s, *language, m, nullptr, lines, WHEEL_PANEL_LINES);
    ASSERT_GT(n, 15);
    for (int i = 0; i < n; ++i) EXPECT_FLOAT_EQ(RESULT_NO_VALUE, lines[i].valueB) << qplat::ToUtf8(lines[i].name);
    // A loaded reference whose values are 0 shows them.
    const WheelResult zero{};
    ASSERT_EQ(n, Wheel(s, m, zero));
    EXPECT_FLOAT_EQ(0.0f, Line(u"Sh").valueB);
    EXPECT_FLOAT_EQ(0.0f, Line(u"qR").valueB);
}

TEST_F(ResultLinesTest, OtherDeviceTypesDrawOnlyDiameterTyreAndHeightDifference)
{
    AllWheelSwitches(s);
    s.deviceType = 2;
    const WheelResult m = WheelValues(1000);
    ASSERT_EQ(3, Wheel(s, m, m));
    EXPECT_EQ((NameList{u"D", u"T", u"dH"}), Names());
    EXPECT_EQ(2, CountWheelRowsOf(s));
    const PanelGeometry fitted = FittedPanelGeometry(87, 180, 2, 3);
    EXPECT_LE(fitted.firstY + 2 * fitted.lineStep + fitted.fontHeight, 87 + 180);
    s.option2 = 4;
    ASSERT_EQ(1, Wheel(s, m, m));
    EXPECT_EQ((NameList{u"D"}), Names());
}

TEST_F(ResultLinesTest, WheelTypeOptionChoosesWearLineOrPair)
{
    s.switches[829 - 820] = 2;
    WheelResult m{};
    m.values[13] = 500;
    m.values[22] = 300;
    m.values[23] = 800;
    m.status[18] = 1;
    s.wheelTypeOption = 1;
    ASSERT_EQ(4, Wheel(s, m, m));
    EXPECT_EQ(u"Wr", Text(lines[3].name));
    EXPECT_EQ(1, lines[3].status);
    EXPECT_EQ(4, CountWheelRowsOf(s));
    s.wheelTypeOption = 2;
    ASSERT_EQ(5, Wheel(s, m, m));
    EXPECT_EQ((NameList{u"Sh", u"Sd", u"qR", u"Rw", u"dRw"}), Names());
    EXPECT_FLOAT_EQ(500.0f, lines[4].valueA);
    EXPECT_EQ(5, CountWheelRowsOf(s));
}

TEST_F(ResultLinesTest, InchesAndTheSlopeUnit)
{
    AllWheelSwitches(s);
    s.unitSystem = 2;
    s.option4 = 2;
    WheelResult m = WheelValues(1000);
    m.status[19] = 2;
    ASSERT_EQ(20, Wheel(s, m, m));
    EXPECT_EQ(25400u, Line(u"Sh").divisor);
    EXPECT_EQ(u"in", Text(Line(u"Sh").units));
    EXPECT_EQ(1000u, Line(u"Ti1").divisor);
    EXPECT_EQ(1000u, Line(u"Fa").divisor);
    EXPECT_EQ(645160u, Line(u"Az").divisor);
    EXPECT_EQ(u"in2", Text(Line(u"Az").units));
    // Byte 813 = 2: the slope is value 6 in degrees in either unit system.
    EXPECT_FLOAT_EQ(1006.0f, Line(u"qR").valueA);
    EXPECT_EQ(1000u, Line(u"qR").divisor);
    EXPECT_EQ(u"°", Text(Line(u"qR").units));
    // The flange-thickness wear shows any grading as a warning.
    EXPECT_EQ(1, Line(u"dSd").status);

    s.option4 = 3;
    ASSERT_EQ(20, Wheel(s, m, m));
    EXPECT_EQ(u"", Text(Line(u"qR").units));
    EXPECT_FLOAT_EQ(1005.0f, Line(u"qR").valueA);
}

TEST_F(ResultLinesTest, DiscLinesAndTheirSpacing)
{
    DiscResult d{};
    for (int j = 0; j < 7; ++j) d.values[j] = 100 * (j + 1);
    d.status[4] = 2;
    s.discSwitches[0] = s.discSwitches[1] = s.discSwitches[2] = s.discSwitches[3] = 2;
    ResultLine disc[DISC_PANEL_LINES];
    ASSERT_EQ(7, DiscPanelLines(s, *language, d, disc, DISC_PANEL_LINES));
    const WCHAR* names[] = {u"H1", u"Dp1", u"U1", u"H2", u"Dp2", u"U2", u"Th"};
    const BYTE kinds[] = {0, 1, 0, 0, 1, 0, 0};
    for (int j = 0; j < 7; ++j) {
        EXPECT_EQ(Text(names[j]), Text(disc[j].name));
        EXPECT_FLOAT_EQ(100.0f * (j + 1), disc[j].valueA);
        EXPECT_EQ(kinds[j], disc[j].checkKind);
    }
    EXPECT_EQ(2, disc[4].status);
    EXPECT_EQ(7, CountDiscRowsOf(s));
    ExpectGeometry(PanelGeometryFor(87, 180, 7), 88, 24, 25, 10);

    s.discSwitches[0] = s.discSwitches[1] = s.discSwitches[3] = 1;
    ASSERT_EQ(1, DiscPanelLines(s, *language, d, disc, DISC_PANEL_LINES));
    EXPECT_EQ(u"Th", Text(disc[0].name));
    EXPECT_EQ(1, CountDiscRowsOf(s));
    ExpectGeometry(PanelGeometryFor(87, 180, 1), 158, 180, 40, 16);

    s.discSwitches[0] = s.discSwitches[1] = 2;
    s.discSwitches[2] = 1;
    s.unitSystem = 2;
    ASSERT_EQ(4, DiscPanelLines(s, *language, d, disc, DISC_PANEL_LINES));
    EXPECT_EQ(25400u, disc[0].divisor);
    EXPECT_EQ(u"in", Text(disc[3].units));
    ExpectGeometry(PanelGeometryFor(87, 180, 4), 90, 44, 40, 16);

    s.discSwitches[0] = s.discSwitches[1] = 1;
    EXPECT_EQ(0, CountDiscRowsOf(s));
    EXPECT_EQ(0, DiscPanelLines(s, *language, d, disc, DISC_PANEL_LINES));
}

TEST(GaugeValueTest, ReadingErrorReportAndPlaceholder)
{
    auto text = [](LONG value, bool measuring, BYTE unit, bool type3) {
        WCHAR out[RESULT_VALUE_CHARS];
        FormatGaugeValue(out, RESULT_VALUE_CHARS, value, measuring, UnitsOf(unit), type3);
        return std::u16string(out);
    };
    EXPECT_EQ(u"8.01", text(8007, false, 1, false));
    EXPECT_EQ(u"1.142", text(29007, false, 2, false));
    EXPECT_EQ(u"- - - - -", text(8007, true, 1, false));
    EXPECT_EQ(u"- - - - -", text(0, false, 1, true));
    EXPECT_EQ(u" Err.d ", text(167772155, false, 1, false));
    EXPECT_EQ(u" Err.d ", text(167772150, false, 1, true));
    EXPECT_EQ(u" Err.d ", text(167772159, false, 2, true));
    EXPECT_EQ(u"167772.16", text(167772160, false, 1, false));
    // From 1000 units on the type-3 gauge shows one decimal.
    EXPECT_EQ(u"1000.5", text(1000500, false, 1, true));
    EXPECT_EQ(u"1000.50", text(1000500, false, 1, false));
    EXPECT_EQ(u"999.50", text(999500, false, 1, true));
    EXPECT_EQ(u"-5.00", text(-5000, false, 0, false));
}

TEST(DialTest, MarksStartAtTheTopAndGoClockwise)
{
    POINT p;
    const POINT three[] = {{220, 154}, {259, 223}, {180, 223}};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(DialMarkCentre(220, 200, 3, i, &p));
        EXPECT_EQ(three[i].x, p.x) << i;
        EXPECT_EQ(three[i].y, p.y) << i;
    }
    const POINT six[] = {{220, 154}, {259, 177}, {259, 223}, {220, 246}, {180, 223}, {180, 177}};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(DialMarkCentre(220, 200, 6, i, &p));
        EXPECT_EQ(six[i].x, p.x) << i;
        EXPECT_EQ(six[i].y, p.y) << i;
    }
    ASSERT_TRUE(DialMarkCentre(280, 120, 1, 0, &p));
    EXPECT_EQ(280, p.x);
    EXPECT_EQ(74, p.y);
    EXPECT_FALSE(DialMarkCentre(220, 200, 0, 0, &p));
    EXPECT_FALSE(DialMarkCentre(220, 200, 7, 0, &p));
    EXPECT_FALSE(DialMarkCentre(220, 200, 3, 3, &p));

    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ResultStateColour(0), 0xC1C1C1u), FIELD_IS(ResultStateColour(1), 0x00C100u),
                                 FIELD_IS(ResultStateColour(2), 0xC10000u), FIELD_IS(ResultStateColour(3), 0xC100C1u),
                                 FIELD_IS(ResultStateColour(4), 0x000000u),
                                 FIELD_IS(ResultStateColour(-1), 0x000000u)));
}

}  // namespace
