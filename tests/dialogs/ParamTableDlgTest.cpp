// The dimension table against "param.qav": which dimensions it lists for which
// settings, how it shows and takes values in millimetres and in inches, and
// every byte it writes on OK and close.

#include "dialogs/ParamTableDlg.h"

#include "tests/dialogs/SettingsScreenTestSupport.h"
#include "tests/support/Fields.h"

using namespace qtest;

namespace {

using Dlg = CParamTableDlg;

HWND List(HWND dlg) { return GetDlgItem(dlg, Dlg::kListId); }

class ParamTable : public SettingsScreenTest {
protected:
    BOOL Run(std::vector<Step> steps) { return RunWith<Dlg>(std::move(steps)); }
    // Wheel settings with every switch as given, a selected wheel type, and
    // dimensions that millimetres and inches cannot show exactly.
    ParamBlock Wheel(BYTE unit, BYTE switchValue = 2)
    {
        ParamBlock p = Params(1, unit);
        for (BYTE& s : p.switches) s = switchValue;
        for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k) p.dimensions[k] = 12345 + 1001 * k;
        p.dimensions[DIM_L13] = -1;
        CopyName(p.wheelTypeName, u"Type 1");
        return p;
    }
    // The names of the rows and their values.
    std::vector<std::u16string> Names(const ParamBlock& p)
    {
        WriteParams(p);
        std::vector<std::u16string> names;
        Run({[&](HWND dlg) { names = Column(List(dlg), 0); }, Close()});
        return names;
    }
    // Double-taps the row of a dimension and types the text.
    static std::vector<Step> Edit(const char16_t* name, std::u16string text)
    {
        return {[name](HWND dlg) {
                    const auto names = Column(List(dlg), 0);
                    for (size_t r = 0; r < names.size(); ++r)
                        if (names[r] == name) TapCell(List(dlg), static_cast<int>(r), 1, true);
                },
                Type(std::move(text))};
    }
};

// ---------------------------------------------------------------- rows

TEST_F(ParamTable, RowsFollowTheDeviceTypeOptionsAndSwitches)
{
    struct Case {
        const char* what;
        BYTE deviceType, option2, option3;
        std::vector<int> on;  // switch bytes on; all others 1
        std::vector<std::u16string> rows;
    };
    const std::vector<Case> cases = {
        {"variant 4, every switch off", 1, 4, 1, {}, {u"L2", u"L3", u"L9"}},
        {"variant 1, every switch off", 1, 1, 1, {}, {u"L1", u"L2", u"L3"}},
        {"slope point 2 adds L4", 1, 1, 2, {}, {u"L1", u"L2", u"L3", u"L4"}},
        {"variant 3 with 838: L15", 1, 3, 1, {838}, {u"L1", u"L2", u"L3", u"L15"}},
        {"variant 2 never shows L15", 1, 2, 1, {838}, {u"L1", u"L2", u"L3"}},
        {"828 alone: L10 and L11", 1, 1, 1, {828}, {u"L1", u"L2", u"L3", u"L10", u"L11"}},
        {"variant 4: 827 gives L11 only", 1, 4, 1, {827, 828}, {u"L2", u"L3", u"L9", u"L11"}},
        {"variant 4 hides the rest", 1, 4, 1, {831, 825, 823, 836, 824, 826, 840}, {u"L2", u"L3", u"L9"}},
        {"841: L9",
         1,
         1,
         1,
         {841, 831, 825, 823},
         {u"L1", u"L2", u"L3", u"L5", u"L6", u"L7", u"L8", u"L9"}},
        {"826 and 840: the profile points and the diameters",
         1,
         1,
         1,
         {826, 840, 836, 824},
         {u"L1", u"L2", u"L3", u"L12", u"L16", u"P7_1", u"P7_2", u"P8_1", u"P8_2", u"D1", u"D2"}},
        {"the gauges list as the head does", 3, 1, 1, {824}, {u"L1", u"L2", u"L3", u"L16"}},
    };
    for (const Case& c : cases) {
        ParamBlock p = Wheel(1, 1);
        p.deviceType = c.deviceType;
        p.option2 = c.option2;
        p.option3 = c.option3;
        for (int b : c.on) p.switches[b - 820] = 2;
        EXPECT_EQ(Names(p), c.rows) << c.what;
    }
    // Every switch on: every wheel dimension but L13 (never listed) and L15
    // (variant 3 only).
    ParamBlock all = Wheel(1, 2);
    all.option3 = 2;
    std::vector<std::u16string> expected;
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k)
        if (k != DIM_L13 && k != DIM_L15) expected.push_back(g_paramNames[k]);
    EXPECT_EQ(Names(all), expected);

    // The disc device: its own two dimensions, whatever the switches.
    ParamBlock d = Params(4, 1);
    d.discL1 = 17500;
    d.discL2 = 2250;
    WriteParams(d);
    std::vector<std::u16string> names, values;
    Run({[&](HWND dlg) {
             names = Column(List(dlg), 0);
             values = Column(List(dlg), 1);
         },
         Close()});
    EXPECT_EQ(names, (std::vector<std::u16string>{u"L1", u"L2"}));
    EXPECT_EQ(values, (std::vector<std::u16string>{u"17.50", u"2.25"}));
}

TEST_F(ParamTable, ValuesAndUnitFollowTheUnitSystem)
{
    struct Case {
        BYTE unit;
        std::u16string l1, l2, unitText;
        std::u16string header1, header2;
    };
    for (const Case& c : {Case{1, u"12.35", u"13.35", Text(40305), Text(40301), Text(40302)},
                          Case{2, u"0.486", u"0.525", Text(40306), Text(40301), Text(40302)},
                          // Any other byte is millimetres, by the program's one rule.
                          Case{0, u"12.35", u"13.35", Text(40305), Text(40301), Text(40302)},
                          Case{7, u"12.35", u"13.35", Text(40305), Text(40301), Text(40302)}}) {
        WriteParams(Wheel(c.unit));
        std::u16string l1, l2, unit, header1, header2;
        Run({[&](HWND dlg) {
                 l1 = CellText(List(dlg), 0, 1);
                 l2 = CellText(List(dlg), 1, 1);
                 unit = CellText(List(dlg), 1, 2);
                 header1 = ColumnHeader(List(dlg), 0);
                 header2 = ColumnHeader(List(dlg), 1);
             },
             Close()});
        SCOPED_TRACE(int(c.unit));
        EXPECT_EQ(l1, c.l1);
        EXPECT_EQ(l2, c.l2);
        EXPECT_EQ(unit, c.unitText);
        EXPECT_EQ(header1, c.header1);
        EXPECT_EQ(header2, c.header2);
    }
}

// ---------------------------------------------------------------- OK and close

TEST_F(ParamTable, OkWithoutAnEditKeepsEveryByteAndTheWheelType)
{
    for (BYTE unit : {1, 2}) {
        for (BYTE device : {1, 4}) {
            ParamBlock p = Wheel(unit);
            p.deviceType = device;
            p.discL1 = -1;
            p.discL2 = 12345;
            CopyName(p.discTypeName, u"Disc 1");
            ExpectOkKeeps<Dlg>(p, "unit " + std::to_string(unit) + " device " + std::to_string(device));
        }
    }
}

TEST_F(ParamTable, AnEditedRowSavesExactlyWhatItShows)
{
    struct Case {
        BYTE unit;
        std::u16string typed, shown;
        LONG word;
    };
    for (const Case& c : {Case{1, u"12.5", u"12.50", 12500}, Case{2, u"1", u"1.000", 25400},
                          Case{1, u"1.2345", u"1.23", 1230}, Case{1, u"2.01", u"2.01", 2010},
                          Case{2, u"0.0015", u"0.001", 25}, Case{1, u"", u"0.00", 0}}) {
        SCOPED_TRACE(qplat::ToUtf8(c.typed));
        const ParamBlock before = Wheel(c.unit);
        WriteParams(before);
        std::u16string shown;
        EXPECT_TRUE(Run(Join(Edit(u"L3", c.typed), {[&](HWND dlg) {
                                                        shown = CellText(List(dlg), 2, 1);
                                                        PostCommand(dlg, Dlg::kOkId);
                                                    }})));
        EXPECT_EQ(shown, c.shown);
        ExpectStored(before, [&](ParamBlock& e) { e.dimensions[DIM_L3] = c.word; });
    }
}

TEST_F(ParamTable, RefusedCancelledAndUnchangedEntriesKeepTheStoredWord)
{
    const ParamBlock before = Wheel(1);
    WriteParams(before);
    std::u16string afterRefused, afterPoint, afterTooLarge, afterCancel, afterSame;
    std::u16string refused, point, tooLarge;
    Run(Join(Join(Join(Edit(u"L1", u"abc"), {Answer(true, &refused),
                                             [&](HWND dlg) { afterRefused = CellText(List(dlg), 0, 1); }}),
                  Join(Edit(u"L1", u"."), {Answer(true, &point),
                                           [&](HWND dlg) { afterPoint = CellText(List(dlg), 0, 1); }})),
             Join(Join(Edit(u"L1", u"99999999"), {Answer(true, &tooLarge),
                                                  [&](HWND dlg) {
                                                      afterTooLarge = CellText(List(dlg), 0, 1);
                                                      TapCell(List(dlg), 0, 1, true);
                                                  },
                                                  CancelKeyboard(),
                                                  [&](HWND dlg) { afterCancel = CellText(List(dlg), 0, 1); }}),
                  Join(Edit(u"L1", u"12.35"), {[&](HWND dlg) {
                                                   afterSame = CellText(List(dlg), 0, 1);
                                                   PostCommand(dlg, Dlg::kOkId);
                                               }}))));
    // A refusal says why, and the previous value stays.
    EXPECT_EQ(refused, Text(TEXT_NOT_A_NUMBER));
    EXPECT_EQ(point, Text(TEXT_NOT_A_NUMBER)) << "a lone point";
    EXPECT_EQ(tooLarge, Text(TEXT_OUT_OF_RANGE)) << "beyond the signed 32-bit range";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(afterRefused, u"12.35"), FIELD_IS(afterPoint, u"12.35"),
                                 FIELD_IS(afterTooLarge, u"12.35"), FIELD_IS(afterCancel, u"12.35"),
                                 FIELD_IS(afterSame, u"12.35")));
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before)) << "12345 is kept, not 12350";
}

TEST_F(ParamTable, TheKeyboardAsksForTheValueOfTheNamedDimension)
{
    for (BYTE unit : {1, 2}) {
        WriteParams(Wheel(unit));
        std::u16string prompt, initial;
        Run({[](HWND dlg) { TapCell(List(dlg), 1, 0, true); },
             [&](HWND keyboard) {
                 prompt = WindowText(GetDlgItem(keyboard, 477));
                 initial = WindowText(GetDlgItem(keyboard, kKeyboardEdit));
                 CancelKeyboard()(keyboard);
             },
             Close()});
        EXPECT_EQ(prompt, Text(50045) + u" L2(" + Text(unit == 1 ? 40305 : 40306) + u")");
        EXPECT_EQ(initial, unit == 1 ? u"13.35" : u"0.525");
    }
}

TEST_F(ParamTable, DimensionsWithoutARowKeepTheirWords)
{
    ParamBlock before = Wheel(2, 1);  // every switch off: L1, L2, L3 only
    WriteParams(before);
    Run(Join(Edit(u"L2", u"3"), {Command(Dlg::kOkId)}));
    ExpectStored(before, [](ParamBlock& e) { e.dimensions[DIM_L2] = 76200; },
                 "L13 (-1) and the hidden rows are untouched");
}

TEST_F(ParamTable, TheDiscDimensionsKeepTheDiscAndWheelTypes)
{
    for (BYTE unit : {1, 2}) {
        ParamBlock before = Params(4, unit);
        before.discL1 = 20000;
        before.discL2 = 3000;
        CopyName(before.discTypeName, u"Disc 1");
        CopyName(before.wheelTypeName, u"Type 1");
        WriteParams(before);
        Run(Join(Edit(u"L2", u"4"), {Command(Dlg::kOkId)}));
        ParamBlock expected = before;
        expected.discL2 = unit == 1 ? 4000 : 101600;
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));
    }
}

TEST_F(ParamTable, CloseAndTheBackButtonWriteNothingAndReturnTrue)
{
    ExpectLeavingKeeps<Dlg>(Wheel(1), Edit(u"L2", u"5"));
}

TEST_F(ParamTable, AFailedSaveIsShownAndTheScreenStaysForAnotherTry)
{
    const ParamBlock before = Wheel(1);
    WriteParams(before);
    ExpectRefusedOkStays<Dlg>(Edit(u"L2", u"5"), Dlg::kOkId, [&](HWND dlg) {
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before));
        PostCommand(dlg, Dlg::kOkId);
    });
    ExpectStored(before, [](ParamBlock& e) { e.dimensions[DIM_L2] = 5000; });
}

TEST_F(ParamTable, AMissingSettingsFileGivesTheFactoryDefaultsWrittenToTheCard)
{
    std::vector<std::u16string> values;
    Run({[&](HWND dlg) { values = Column(List(dlg), 1); }, Close()});
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(factory));
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values[0], u"2.00") << "factory L1";
}

TEST_F(ParamTable, Snapshots)
{
    ParamBlock p = Wheel(1, 1);
    for (int b : {831, 825, 823, 841}) p.switches[b - 820] = 2;
    WriteParams(p);
    bool title = false, value = false, unit = false, caption = false;
    Run({[&](HWND dlg) {
             ASSERT_TRUE(SaveShot("param_table.png"));
             title = AnyPixel({180, 10, 300, 32}, Blue);
             // Row 0's value and unit, each inside its own column.
             const POINT v = CellCentre(List(dlg), 0, 1);
             const POINT u = CellCentre(List(dlg), 0, 2);
             value = AnyPixel({v.x - 70, v.y - 6, v.x, v.y + 6}, Dark);
             unit = AnyPixel({u.x - 45, u.y - 6, u.x, u.y + 6}, Dark);
             caption = AnyPixel({200, 235, 300, 255}, [](COLORREF c) { return c == 0xFFFFFF; });
         },
         Close()});
    EXPECT_TRUE(title);
    EXPECT_TRUE(value);
    EXPECT_TRUE(unit);
    EXPECT_TRUE(caption) << "the white caption on the confirm button";

    UseLanguage("RUS.LNG");
    WriteParams(Wheel(2, 2));
    std::u16string header, unitText;
    Run({[&](HWND dlg) {
             ASSERT_TRUE(SaveShot("param_table_ru_inch.png"));
             unitText = CellText(List(dlg), 0, 2);
             header = ColumnHeader(List(dlg), 0);
         },
         Close()});
    EXPECT_EQ(header, u"Размер");
    EXPECT_EQ(unitText, u"\u2033");  // the inch mark, as narrow as "mm"
}

}  // namespace
