// The parameter switches against "param.qav": the rows of each device type and
// thickness variant, the marks, and every byte OK and close leave.

#include "dialogs/ParamSwitchesDlg.h"

#include "tests/dialogs/SettingsScreenTestSupport.h"
#include "tests/support/Fields.h"

using namespace qtest;

namespace {

using Dlg = CParamSwitchesDlg;

HWND List(HWND dlg) { return GetDlgItem(dlg, Dlg::kListId); }

class ParamSwitches : public SettingsScreenTest {
protected:
    BOOL Run(std::vector<Step> steps) { return RunWith<Dlg>(std::move(steps)); }
    // Wheel settings with a selected wheel type and switches on and off by turns.
    ParamBlock Wheel(BYTE unit, BYTE variant)
    {
        ParamBlock p = Params(1, unit);
        p.option2 = variant;
        for (int k = 0; k < PARAM_SWITCH_COUNT; ++k) p.switches[k] = k % 2 ? 2 : 1;
        CopyName(p.wheelTypeName, u"Type 1");
        return p;
    }
    ParamBlock Disc(BYTE unit)
    {
        ParamBlock p = Params(4, unit);
        const BYTE marks[4] = {2, 1, 1, 2};
        std::memcpy(p.discSwitches, marks, 4);
        CopyName(p.wheelTypeName, u"Type 1");
        CopyName(p.discTypeName, u"Disc 1");
        return p;
    }
    // The settings bytes of the rows.
    std::vector<int> RowBytes(const ParamBlock& p)
    {
        WriteParams(p);
        std::vector<int> bytes;
        Run({[&](HWND) {
                 for (int r = 0; r < Dlg::Current()->RowCount(); ++r) bytes.push_back(Dlg::Current()->ByteOfRow(r));
             },
             Close()});
        return bytes;
    }
    static Step Toggle(int row)
    {
        return [row](HWND dlg) { TapCell(List(dlg), row, 0, true); };
    }
};

// ---------------------------------------------------------------- rows

TEST_F(ParamSwitches, RowsByDeviceTypeAndThicknessVariant)
{
    const std::vector<int> all = {820, 821, 822, 838, 839, 829, 830, 831, 825, 823,
                                  824, 826, 833, 827, 828, 840, 836, 832, 841};
    std::vector<int> variant1 = all;
    variant1.erase(variant1.begin() + 3, variant1.begin() + 5);
    struct Case {
        const char* what;
        BYTE deviceType, variant;
        std::vector<int> bytes;
    };
    const std::vector<Case> cases = {
        {"variant 4", 1, 4, {820, 821, 829, 827, 832, 841}},
        {"variant 3: 838 and 839 after 822", 1, 3, all},
        {"variant 1", 1, 1, variant1},
        {"variant 2", 1, 2, variant1},
        {"the diameter gauge", 2, 1, variant1},
        {"the step gauge, variant 4", 3, 4, {820, 821, 829, 827, 832, 841}},
        {"the disc device", 4, 4, {1328, 1329, 1331, 1330}},
    };
    for (const Case& c : cases) {
        ParamBlock p = Wheel(1, c.variant);
        p.deviceType = c.deviceType;
        EXPECT_EQ(RowBytes(p), c.bytes) << c.what;
    }
}

TEST_F(ParamSwitches, RowTextsAndMarks)
{
    ParamBlock p = Wheel(1, 3);
    p.switches[0] = 2;   // 820 on
    p.switches[21] = 1;  // 841 off
    p.switches[18] = 0;  // 838: neither 1 nor 2 is off
    WriteParams(p);
    std::vector<std::u16string> names, marks;
    Run({[&](HWND dlg) {
             names = Column(List(dlg), 0);
             marks = Column(List(dlg), 1);
         },
         Close()});
    ASSERT_EQ(names.size(), 19u);
    EXPECT_EQ(names[0], Text(40343) + u"(" + Text(40604) + u")");
    EXPECT_EQ(names[3], Text(40344) + u"(" + Text(40608) + u")");
    EXPECT_EQ(names[18], Text(40360)) << "841 has no short name";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(marks[0], u"\u221A"), FIELD_IS(marks[3], u" "), FIELD_IS(marks[18], u" ")));
    EXPECT_EQ(marks[1], u"\u221A") << "821 (k = 1) is on";
}

// ---------------------------------------------------------------- OK and close

TEST_F(ParamSwitches, OkWithoutAChangeKeepsEveryByteAndTheTypes)
{
    for (BYTE unit : {1, 2}) {
        for (BYTE variant : {1, 3, 4})
            ExpectOkKeeps<Dlg>(Wheel(unit, variant),
                               "unit " + std::to_string(unit) + " variant " + std::to_string(variant));
        ExpectOkKeeps<Dlg>(Disc(unit), "disc, unit " + std::to_string(unit));
    }
}

TEST_F(ParamSwitches, TogglingTwiceBringsTheMarkBack)
{
    const ParamBlock p = Wheel(1, 1);
    WriteParams(p);
    std::u16string once, twice;
    Run({Toggle(2), [&](HWND dlg) { once = CellText(List(dlg), 2, 1); }, Toggle(2),
         [&](HWND dlg) {
             twice = CellText(List(dlg), 2, 1);
             PostCommand(dlg, Dlg::kOkId);
         }});
    EXPECT_EQ(once, u"\u221A") << "822 (k = 2) was off";
    EXPECT_EQ(twice, u" ");
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
}

TEST_F(ParamSwitches, AToggledRowIsStoredOnOkAndClearsTheWheelType)
{
    for (BYTE unit : {1, 2}) {
        const ParamBlock p = Wheel(unit, 4);
        WriteParams(p);
        // Variant 4: 820, 821, 829, 827, 832, 841; row 3 is 827, which is on.
        Run({Toggle(3), Toggle(0), Command(Dlg::kOkId)});
        ExpectStored(p, [](ParamBlock& e) {
            e.switches[827 - 820] = 1;
            e.switches[0] = 2;
        });
    }
}

TEST_F(ParamSwitches, AnyValueButTwoIsStoredAsOff)
{
    ParamBlock p = Wheel(1, 1);
    p.switches[0] = 0;
    p.switches[1] = 7;
    p.switches[2] = 2;
    p.switches[16] = 0;  // 836
    p.switches[15] = 5;  // 835 has no row: kept
    WriteParams(p);
    Run({Command(Dlg::kOkId)});
    ExpectStored(p, [](ParamBlock& e) { e.switches[0] = e.switches[1] = e.switches[16] = 1; });
}

TEST_F(ParamSwitches, DiscSwitchesKeepBothTypeNames)
{
    const ParamBlock d = Disc(1);
    WriteParams(d);
    // Rows: 1328, 1329, 1331, 1330.
    Run({Toggle(2), Toggle(3), Command(Dlg::kOkId)});
    ParamBlock expected = d;
    expected.discSwitches[3] = 1;
    expected.discSwitches[2] = 2;
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));
}

TEST_F(ParamSwitches, CloseAfterTogglingLeavesTheFileAndAFailedSaveIsShown)
{
    const ParamBlock p = Wheel(1, 1);
    ExpectLeavingKeeps<Dlg>(p, {Toggle(0)});

    ExpectRefusedOkStays<Dlg>({Toggle(0)}, Dlg::kOkId, Command(Dlg::kOkId));
    ExpectStored(p, [](ParamBlock& e) { e.switches[0] = 2; }, "the second try saved");
}

TEST_F(ParamSwitches, Snapshots)
{
    for (const char* language : {"ENG.LNG", "RUS.LNG"}) {
        UseLanguage(language);
        WriteParams(Wheel(1, 3));
        bool mark = false;
        Run({[&](HWND dlg) {
                 ASSERT_TRUE(SaveShot(language[0] == 'E' ? "param_switches.png" : "param_switches_ru.png"));
                 const POINT on = CellCentre(List(dlg), 1, 1);  // 821 is on
                 mark = AnyPixel({on.x - 69, on.y - 8, on.x, on.y + 8}, Dark);
             },
             Close()});
        EXPECT_TRUE(mark) << language;
    }
}

}  // namespace
