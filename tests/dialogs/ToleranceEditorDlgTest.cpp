// The tolerance-set editor against its files: what it shows for which
// settings, and every byte it writes to "Dopusk.qav", "Dopusk.qod" and
// "param.qav" for save, cancel, new, edit, delete, make-current and close, in
// millimetres and in inches.

#include "dialogs/ToleranceEditorDlg.h"

#include "tests/dialogs/SettingsScreenTestSupport.h"
#include "tests/support/Fields.h"

using namespace qtest;

namespace {

using Dlg = CToleranceEditorDlg;

DopuskQavRecord QavSet(const char16_t* name, LONG base)
{
    DopuskQavRecord r{};
    CopyName(r.name, name);
    for (int k = 0; k < QAV_LIMIT_COUNT; ++k) {
        r.lower[k] = base + 10 * k + 1;
        r.lowerWarning[k] = base + 10 * k + 3;
        r.upperWarning[k] = base + 10 * k + 7;
        r.upper[k] = base + 10 * k + 9;
    }
    r.spare = 0x12345678;
    return r;
}

DopuskQodRecord QodSet(const char16_t* name, LONG base)
{
    DopuskQodRecord r{};
    CopyName(r.name, name);
    for (int i = 0; i < QOD_LIMIT_COUNT; ++i) r.limits[i] = base + 111 * i;
    r.spare = 0x0BADF00D;
    return r;
}

HWND SetList(HWND dlg) { return GetDlgItem(dlg, Dlg::kSetListId); }
HWND ValueList(HWND dlg) { return GetDlgItem(dlg, Dlg::kValueListId); }

// The value list's headers and its value and unit cells that do not show
// whole (column 0 is the long row label, which its column cannot hold).
std::vector<std::u16string> CutTexts(HWND list)
{
    std::vector<std::u16string> cut;
    for (int c = 1; c <= 5; ++c) {
        if (!FitsColumn(list, c, ColumnHeader(list, c))) cut.push_back(ColumnHeader(list, c));
        for (int r = 0; r < RowCount(list); ++r)
            if (!FitsColumn(list, c, CellText(list, r, c))) cut.push_back(CellText(list, r, c));
    }
    return cut;
}

// The first rows' row labels, too long for their column, end in "...": the
// most pixel rows with ink that one shows in the last 8 columns before its
// cell's right padding (4 pixels); dots fill a row or three, a letter cut
// there many.
int LabelEndInkRows(HWND list)
{
    int most = 0;
    const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    for (int r = 0; r < std::min(3, RowCount(list)); ++r) {
        const POINT c = CellCentre(list, r, 0);
        const int textEnd = c.x - width / 2 + width - 4;
        int rows = 0;
        for (int y = c.y - 8; y <= c.y + 8; ++y) {
            bool ink = false;
            for (int x = textEnd - 8; x < textEnd; ++x) ink = ink || qplat::ScreenPixel(x, y) != 0xFFFFFFu;
            rows += ink ? 1 : 0;
        }
        most = std::max(most, rows);
    }
    return most;
}

class ToleranceEditor : public SettingsScreenTest {
protected:
    BOOL Run(std::vector<Step> steps) { return RunWith<Dlg>(std::move(steps)); }
    static Step TapName()
    {
        return [](HWND dlg) { TapWindow(GetDlgItem(dlg, Dlg::kNameFieldId)); };
    }
    void WriteQav(const std::vector<DopuskQavRecord>& sets) { root.WriteFile(kDopuskQavPath, Bytes(sets)); }
    void WriteQod(const std::vector<DopuskQodRecord>& sets) { root.WriteFile(kDopuskQodPath, Bytes(sets)); }
    // Wheel settings naming set "B" as current, every switch as given.
    ParamBlock Wheel(BYTE unit, BYTE switchValue = 2)
    {
        ParamBlock p = Params(1, unit);
        for (BYTE& s : p.switches) s = switchValue;
        CopyName(p.qavToleranceName, u"B");
        CopyName(p.wheelTypeName, u"Type 1");
        return p;
    }
    ParamBlock Disc(BYTE unit)
    {
        ParamBlock p = Params(4, unit);
        for (BYTE& s : p.discSwitches) s = 2;
        CopyName(p.qodToleranceName, u"D2");
        CopyName(p.discTypeName, u"Disc type");
        return p;
    }
};

// ---------------------------------------------------------------- what is shown

TEST_F(ToleranceEditor, OpeningSelectsTheFirstSetAndMarksTheCurrentOne)
{
    WriteParams(Wheel(1));
    WriteQav({QavSet(u"A", 1000), QavSet(u"B", 2000), QavSet(u"C", 3000)});
    std::vector<std::u16string> names, marks, firstRow;
    int selected = -2, current = -2;
    EXPECT_TRUE(Run({[&](HWND dlg) {
                         names = Column(SetList(dlg), 0);
                         marks = Column(SetList(dlg), 1);
                         firstRow = {CellText(ValueList(dlg), 0, 1), CellText(ValueList(dlg), 0, 2),
                                     CellText(ValueList(dlg), 0, 3), CellText(ValueList(dlg), 0, 4)};
                         selected = Dlg::Current()->SelectedSet();
                         current = Dlg::Current()->CurrentSet();
                     },
                     Close()}));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(names, (std::vector<std::u16string>{u"A", u"B", u"C"})),
                                 FIELD_IS(marks, (std::vector<std::u16string>{u"", u"\u2022", u""})),
                                 FIELD_IS(selected, 0), FIELD_IS(current, 1)));
    // Set A's first row in the column order lower, lower warning, upper warning, upper.
    EXPECT_EQ(firstRow, (std::vector<std::u16string>{u"1.00", u"1.00", u"1.01", u"1.01"}));

    // No set carries the settings' name: no mark at all.
    ParamBlock p = Wheel(1);
    CopyName(p.qavToleranceName, u"Z");
    WriteParams(p);
    EXPECT_TRUE(Run({[&](HWND dlg) { marks = Column(SetList(dlg), 1); }, Close()}));
    EXPECT_EQ(marks, (std::vector<std::u16string>{u"", u"", u""}));
}

TEST_F(ToleranceEditor, RowsFollowDeviceTypeSwitchesAndOptions)
{
    struct Case {
        const char* what;
        BYTE deviceType, option2;
        std::vector<int> on;  // switch indexes k of byte 820 + k
        std::vector<std::u16string> rows;
    };
    const std::vector<Case> cases = {
        {"factory switches", 1, 1, {0, 1, 2}, {u"Sh", u"Sd", u"qR"}},
        {"flange slope hidden by variant 4", 1, 4, {0, 1, 2}, {u"Sh", u"Sd"}},
        {"variant 3 adds the second thickness", 1, 3, {1}, {u"Sd", u"Sdb"}},
        {"diameter of the gauge device", 2, 1, {}, {u"D"}},
        {"reading of the step gauge", 3, 1, {}, {u"G"}},
        {"all on",
         1,
         3,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21},
         {u"Sh", u"Sd", u"qR", u"Sl", u"Sdb", u"Lb", u"D", u"T", u"Wr", u"dSd", u"Wn", u"Fa", u"Sa", u"Ti", u"Hw",
          u"W", u"G", u"Oh"}},
    };
    WriteQav({QavSet(u"A", 1000)});
    for (const Case& c : cases) {
        ParamBlock p = Wheel(1, 1);
        p.deviceType = c.deviceType;
        p.option2 = c.option2;
        for (int k : c.on) p.switches[k] = 2;
        WriteParams(p);
        std::vector<std::u16string> labels;
        Run({[&](HWND dlg) { labels = Column(ValueList(dlg), 0); }, Close()});
        std::vector<std::u16string> shorts;
        for (const auto& l : labels) shorts.push_back(l.substr(0, l.find(u'-')));
        EXPECT_EQ(shorts, c.rows) << c.what;
    }
    EXPECT_EQ(Text(40604) + u"-" + Text(40343), u"Sh-Flange height") << "label: short name, '-', caption";

    // The disc rows follow the disc switches 1328 to 1331.
    WriteQod({QodSet(u"D1", 5000)});
    ParamBlock d = Disc(1);
    d.discSwitches[1] = 1;
    WriteParams(d);
    std::vector<std::u16string> labels;
    Run({[&](HWND dlg) { labels = Column(ValueList(dlg), 0); }, Close()});
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(labels[0].substr(0, 2), u"H-"), FIELD_IS(labels[1].substr(0, 2), u"U-"),
                                 FIELD_IS(labels[2].substr(0, 3), u"Th-")));
}

TEST_F(ToleranceEditor, LengthsFollowTheUnitSystemAnglesAndPercentagesDoNot)
{
    DopuskQavRecord set = QavSet(u"A", 0);
    set.lower[0] = 25400;   // row 1, a length
    set.lower[8] = 45000;   // row 12, an angle
    set.lower[11] = 2500;   // row 14, a percentage
    set.lower[2] = 30000;   // row 3, angle or length by byte 813
    set.upper[0] = -1;      // no limit: an empty cell
    WriteQav({set});
    struct Shown {
        std::u16string length, angle, percent, slope, none;
        std::u16string lengthUnit, angleUnit, percentUnit, slopeUnit;
    };
    auto show = [&](BYTE unit, BYTE slopeOption) {
        ParamBlock p = Wheel(unit, 1);
        for (int k : {0, 2, 3, 5}) p.switches[k] = 2;
        p.option4 = slopeOption;
        WriteParams(p);
        Shown s;
        Run({[&](HWND dlg) {
                 HWND list = ValueList(dlg);
                 // Rows: Sh (0), qR (1), Fa (2), Ti (3).
                 s = {CellText(list, 0, 1), CellText(list, 2, 1), CellText(list, 3, 1), CellText(list, 1, 1),
                      CellText(list, 0, 4), CellText(list, 0, 5), CellText(list, 2, 5), CellText(list, 3, 5),
                      CellText(list, 1, 5)};
             },
             Close()});
        return s;
    };
    Shown mm = show(1, 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(mm.length, u"25.40"), FIELD_IS(mm.angle, u"45.00"),
                                 FIELD_IS(mm.percent, u"2.50"), FIELD_IS(mm.slope, u"30.00"), FIELD_IS(mm.none, u""),
                                 FIELD_IS(mm.lengthUnit, Text(40305)), FIELD_IS(mm.angleUnit, u"\u00B0"),
                                 FIELD_IS(mm.percentUnit, u"%"), FIELD_IS(mm.slopeUnit, Text(40305))));

    Shown in = show(2, 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(in.length, u"1.000"), FIELD_IS(in.angle, u"45.000"),
                                 FIELD_IS(in.percent, u"2.500"), FIELD_IS(in.slope, u"1.181"),
                                 FIELD_IS(in.lengthUnit, Text(40306))));

    // Byte 813 = 2: the slope is an angle, in degrees in both unit systems.
    Shown angle = show(2, 2);
    EXPECT_EQ(angle.slope, u"30.000");
    EXPECT_EQ(angle.slopeUnit, u"\u00B0");
}

// ---------------------------------------------------------------- saving

TEST_F(ToleranceEditor, EditAndSaveWithoutAChangeKeepsEveryByte)
{
    for (BYTE unit : {1, 2}) {
        DopuskQavRecord odd = QavSet(u"A", 12345);
        odd.lower[1] = -1;
        odd.upper[8] = -1;
        odd.lowerWarning[14] = 777;  // a position without a row
        WriteQav({odd, QavSet(u"B", 2000)});
        WriteParams(Wheel(unit));
        const std::string sets = root.ReadFile(kDopuskQavPath);
        const std::string params = root.ReadFile(kParamPath);
        EXPECT_TRUE(Run({Command(Dlg::kEditId), Command(Dlg::kSaveId),
                         [](HWND) { EXPECT_EQ(Dlg::Current()->Editing(), 0); }, Command(Dlg::kEditId),
                         Command(Dlg::kCancelId), Close()}));
        EXPECT_EQ(root.ReadFile(kDopuskQavPath), sets) << "unit system " << int(unit);
        EXPECT_EQ(root.ReadFile(kParamPath), params);
    }
}

TEST_F(ToleranceEditor, DiscSetsStoreTheHalfARowDoesNotUseAsZero)
{
    for (BYTE unit : {1, 2}) {
        // A set as this screen writes it: every unused half is 0.
        DopuskQodRecord written = QodSet(u"D1", 1000);
        for (int j : {0, 2}) written.limits[4 + j] = written.limits[8 + j] = 0;
        for (int j : {1, 3}) written.limits[j] = written.limits[12 + j] = 0;
        written.limits[12] = -1;
        WriteQod({written, QodSet(u"D2", 9000)});
        WriteParams(Disc(unit));
        const std::string before = root.ReadFile(kDopuskQodPath);
        Run({Command(Dlg::kEditId), Command(Dlg::kSaveId), Close()});
        EXPECT_EQ(root.ReadFile(kDopuskQodPath), before) << "unit system " << int(unit);

        // A set from elsewhere: the halves the rows do not show become 0,
        // the shown words and the further word stay.
        WriteQod({QodSet(u"D1", 1000), QodSet(u"D2", 9000)});
        Run({Command(Dlg::kEditId), Command(Dlg::kSaveId), Close()});
        const auto sets = Records<DopuskQodRecord>(root.ReadFile(kDopuskQodPath));
        ASSERT_EQ(sets.size(), 2u);
        const DopuskQodRecord source = QodSet(u"D1", 1000);
        for (int i = 0; i < QOD_LIMIT_COUNT; ++i) {
            const int j = i % 4, group = i / 4;  // groups: lower, upper, upper warning, lower warning
            const bool lowerSide = j == 0 || j == 2;
            const bool shown = lowerSide ? (group == 0 || group == 3) : (group == 1 || group == 2);
            EXPECT_EQ(sets[0].limits[i], shown ? source.limits[i] : 0) << "word " << i;
        }
        EXPECT_EQ(sets[0].spare, source.spare);
        EXPECT_EQ(Bytes(sets[1]), Bytes(QodSet(u"D2", 9000)));
    }
}

TEST_F(ToleranceEditor, AnEditedCellSavesExactlyWhatItShows)
{
    for (BYTE unit : {1, 2}) {
        WriteQav({QavSet(u"A", 1000)});
        ParamBlock p = Wheel(unit, 1);
        for (int k : {0, 1, 3, 5}) p.switches[k] = 2;  // rows Sh, Sd, Fa, Ti
        WriteParams(p);
        std::u16string lengthCell, angleCell, percentCell;
        Run({Command(Dlg::kEditId), [](HWND dlg) { TapCell(ValueList(dlg), 0, 1, true); }, Type(u"1.2345"),
             [](HWND dlg) { TapCell(ValueList(dlg), 2, 4, true); }, Type(u"45"),
             [](HWND dlg) { TapCell(ValueList(dlg), 3, 2, true); }, Type(u"2.5"),
             [&](HWND dlg) {
                 lengthCell = CellText(ValueList(dlg), 0, 1);
                 angleCell = CellText(ValueList(dlg), 2, 4);
                 percentCell = CellText(ValueList(dlg), 3, 2);
                 PostCommand(dlg, Dlg::kSaveId);
             },
             Close()});
        const auto sets = Records<DopuskQavRecord>(root.ReadFile(kDopuskQavPath));
        ASSERT_EQ(sets.size(), 1u);
        DopuskQavRecord expected = QavSet(u"A", 1000);
        const bool mm = unit == 1;
        EXPECT_EQ(lengthCell, mm ? u"1.23" : u"1.234");
        EXPECT_EQ(angleCell, mm ? u"45.00" : u"45.000");
        EXPECT_EQ(percentCell, mm ? u"2.50" : u"2.500");
        expected.lower[0] = mm ? 1230 : 31343;  // 1.234 in = 31343.6 µm, truncated
        expected.upper[8] = 45000;       // limit entry 8 in thousandths of a degree
        expected.lowerWarning[11] = 2500;  // entry 11 in thousandths in both unit systems
        EXPECT_EQ(Bytes(sets[0]), Bytes(expected)) << "unit system " << int(unit);
    }
}

TEST_F(ToleranceEditor, RefusedCancelledAndEmptyCellsChangeNothing)
{
    DopuskQavRecord set = QavSet(u"A", 1000);
    set.upper[0] = -1;
    WriteQav({set});
    WriteParams(Wheel(1));
    const std::string before = root.ReadFile(kDopuskQavPath);
    std::u16string afterRefused, afterPoint, afterCancel, afterTooLarge;
    std::u16string refused, point, tooLarge;
    HWND frontAfterEmptyTap = nullptr, screen = nullptr;
    Run({Command(Dlg::kEditId), [](HWND dlg) { TapCell(ValueList(dlg), 0, 1, true); }, Type(u"abc"),
         Answer(true, &refused),
         [&](HWND dlg) {
             afterRefused = CellText(ValueList(dlg), 0, 1);
             TapCell(ValueList(dlg), 0, 1, true);
         },
         Type(u"."), Answer(true, &point),
         [&](HWND dlg) {
             afterPoint = CellText(ValueList(dlg), 0, 1);
             TapCell(ValueList(dlg), 0, 2, true);
         },
         CancelKeyboard(),
         [&](HWND dlg) {
             afterCancel = CellText(ValueList(dlg), 0, 2);
             TapCell(ValueList(dlg), 0, 3, true);
         },
         Type(u"99999999"), Answer(true, &tooLarge),
         [&](HWND dlg) {
             afterTooLarge = CellText(ValueList(dlg), 0, 3);
             screen = dlg;
             TapCell(ValueList(dlg), 0, 4, true);  // the empty cell of the -1 word
         },
         [&](HWND front) {
             frontAfterEmptyTap = front;
             PostCommand(front, Dlg::kSaveId);
         },
         Close()});
    // A refusal says why, and the previous value stays.
    EXPECT_EQ(refused, Text(TEXT_NOT_A_NUMBER));
    EXPECT_EQ(point, Text(TEXT_NOT_A_NUMBER)) << "a lone point";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(tooLarge, Text(TEXT_OUT_OF_RANGE)), FIELD_IS(afterRefused, u"1.00"),
                                 FIELD_IS(afterPoint, u"1.00"), FIELD_IS(afterCancel, u"1.00"),
                                 FIELD_IS(afterTooLarge, u"1.01")));
    EXPECT_EQ(frontAfterEmptyTap, screen) << "an empty cell opens no keyboard";
    EXPECT_EQ(root.ReadFile(kDopuskQavPath), before) << "the -1 word survives the save";
}

TEST_F(ToleranceEditor, AHiddenRowKeepsItsWordsWhenTheSetIsSaved)
{
    WriteQav({QavSet(u"A", 1000)});
    ParamBlock p = Wheel(1, 1);
    p.switches[0] = 2;  // only row Sh; the angle row (switch 823) is off
    WriteParams(p);
    Run({Command(Dlg::kEditId), [](HWND dlg) { TapCell(ValueList(dlg), 0, 4, true); }, Type(u"3"),
         Command(Dlg::kSaveId), Close()});
    const auto sets = Records<DopuskQavRecord>(root.ReadFile(kDopuskQavPath));
    ASSERT_EQ(sets.size(), 1u);
    DopuskQavRecord expected = QavSet(u"A", 1000);
    expected.upper[0] = 3000;
    EXPECT_EQ(Bytes(sets[0]), Bytes(expected));
}

// ---------------------------------------------------------------- new sets and names

TEST_F(ToleranceEditor, ANewSetIsAppendedWithTheTypedName)
{
    for (BYTE unit : {1, 2}) {
        WriteQav({QavSet(u"A", 1000)});
        WriteParams(Wheel(unit));
        const std::string before = root.ReadFile(kDopuskQavPath);
        std::u16string title, field, zero;
        HWND focusAfterName = nullptr, nameField = nullptr;
        Run({Command(Dlg::kNewId),
             [&](HWND dlg) {
                 title = Dlg::Current()->TitleText();
                 field = WindowText(GetDlgItem(dlg, Dlg::kNameFieldId));
                 zero = CellText(ValueList(dlg), 0, 1);
                 TapWindow(GetDlgItem(dlg, Dlg::kNameFieldId));
             },
             Type(u"Wheel set 2"),
             [&](HWND dlg) {
                 nameField = GetDlgItem(dlg, Dlg::kNameFieldId);
                 focusAfterName = GetFocus();
                 PostCommand(dlg, Dlg::kSaveId);
             },
             Close()});
        EXPECT_EQ(title, Text(40415));
        EXPECT_EQ(field, Text(40415));
        EXPECT_EQ(zero, unit == 1 ? u"0.00" : u"0.000");
        EXPECT_NE(focusAfterName, nameField) << "the keyboard must not open again by itself";
        const std::string after = root.ReadFile(kDopuskQavPath);
        ASSERT_EQ(after.size(), before.size() + sizeof(DopuskQavRecord));
        EXPECT_EQ(after.substr(0, before.size()), before);
        DopuskQavRecord expected{};
        CopyName(expected.name, u"Wheel set 2");
        EXPECT_EQ(after.substr(before.size()), Bytes(expected));
    }
}

TEST_F(ToleranceEditor, TheNameFieldAsksAgainOnlyWhenTapped)
{
    WriteQav({});
    WriteParams(Wheel(1));
    std::u16string name;
    int keyboards = 0;
    Run({Command(Dlg::kNewId), TapName(),
         [&](HWND kb) {
             ++keyboards;
             Type(u"First")(kb);
         },
         [&](HWND dlg) {
             // Still the screen: the keyboard did not come back.
             EXPECT_NE(GetDlgItem(dlg, Dlg::kNameFieldId), nullptr);
             TapWindow(GetDlgItem(dlg, Dlg::kNameFieldId));
         },
         [&](HWND kb) {
             ++keyboards;
             Type(u"")(kb);  // empty: the name stays
         },
         [&](HWND dlg) {
             name = WindowText(GetDlgItem(dlg, Dlg::kNameFieldId));
             PostCommand(dlg, Dlg::kCancelId);
         },
         Close()});
    EXPECT_EQ(keyboards, 2);
    EXPECT_EQ(name, u"First");
    EXPECT_EQ(root.ReadFile(kDopuskQavPath), "") << "cancel writes nothing";
}

TEST_F(ToleranceEditor, ATakenNameIsRefusedAndTheOwnNameAccepted)
{
    WriteQav({QavSet(u"A", 1000), QavSet(u"B", 2000)});
    WriteParams(Wheel(1));
    const std::string before = root.ReadFile(kDopuskQavPath);
    std::u16string newMessage, editMessage;
    int editingAfterNew = -1, editingAfterEdit = -1;
    Run({// A new set named like set A.
         Command(Dlg::kNewId), TapName(), Type(u"A"),
         Command(Dlg::kSaveId), Answer(true, &newMessage),
         [&](HWND dlg) {
             editingAfterNew = Dlg::Current()->Editing();
             PostCommand(dlg, Dlg::kCancelId);
         },
         // Set A (row 0) renamed to B.
         Command(Dlg::kEditId), TapName(), Type(u"B"),
         Command(Dlg::kSaveId), Answer(true, &editMessage),
         [&](HWND dlg) {
             editingAfterEdit = Dlg::Current()->Editing();
             PostCommand(dlg, Dlg::kCancelId);
         },
         Close()});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(newMessage, Text(50012)), FIELD_IS(editMessage, Text(50012)),
                                 FIELD_IS(editingAfterNew, 1), FIELD_IS(editingAfterEdit, 1)));
    EXPECT_EQ(root.ReadFile(kDopuskQavPath), before);
}

TEST_F(ToleranceEditor, RenamingTheCurrentSetRenamesItInTheSettings)
{
    WriteQav({QavSet(u"A", 1000), QavSet(u"B", 2000)});
    WriteParams(Wheel(1));
    ParamBlock expected = ReadParams();
    Run({[](HWND dlg) { TapCell(SetList(dlg), 1, 0); }, Command(Dlg::kEditId),
         TapName(), Type(u"B new"), Command(Dlg::kSaveId),
         Close()});
    const auto sets = Records<DopuskQavRecord>(root.ReadFile(kDopuskQavPath));
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(Name(sets[1].name), u"B new");
    CopyName(expected.qavToleranceName, u"B new");
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected)) << "the wheel type stays as it is";
}

TEST_F(ToleranceEditor, RenamingTheCurrentSetIsAllOrNothing)
{
    WriteQav({QavSet(u"A", 1000), QavSet(u"B", 2000)});
    WriteParams(Wheel(1));
    const std::string sets = root.ReadFile(kDopuskQavPath);
    const std::string settings = root.ReadFile(kParamPath);
    // Set B renamed and saved once `fault` has been made; the boxes the save
    // opens answered; `undo`, then the edit cancelled.
    auto rename = [&](const Step& fault, const std::vector<Step>& boxes, const Step& undo) {
        Run(Join(Join({[](HWND dlg) {
                           TapCell(SetList(dlg), 1, 0);
                           PostCommand(dlg, Dlg::kEditId);
                       },
                       TapName(), Type(u"B new"),
                       [fault](HWND dlg) {
                           fault(dlg);
                           PostCommand(dlg, Dlg::kSaveId);
                       }},
                      boxes),
                 {[undo](HWND dlg) {
                      undo(dlg);
                      PostCommand(dlg, Dlg::kCancelId);
                  },
                  Close()}));
    };

    // The settings cannot be written (a folder stands in their place): the
    // set keeps its name in its file too, and editing goes on.
    std::u16string notRenamed;
    int editing = -1;
    rename([](HWND) {
               DeleteFileW(kParamPath.c_str());
               CreateDirectoryW(kParamPath.c_str(), nullptr);
           },
           {Answer(true, &notRenamed)},
           [&](HWND) {
               editing = Dlg::Current()->Editing();
               RemoveDirectoryW(kParamPath.c_str());
               root.WriteFile(kParamPath, settings);
           });
    EXPECT_EQ(notRenamed, Text(50090));
    EXPECT_EQ(editing, 1);
    EXPECT_EQ(root.ReadFile(kDopuskQavPath), sets);
    EXPECT_EQ(root.ReadFile(kParamPath), settings);

    // The settings are written but the sets' file is not (a folder stands in
    // its place): the settings are put back, so the old name stays current.
    std::u16string failed;
    rename([](HWND) {
               DeleteFileW(kDopuskQavPath.c_str());
               CreateDirectoryW(kDopuskQavPath.c_str(), nullptr);
           },
           {Answer(true, &failed)},
           [&](HWND) {
               RemoveDirectoryW(kDopuskQavPath.c_str());
               root.WriteFile(kDopuskQavPath, sets);
           });
    EXPECT_EQ(failed, Text(TEXT_SAVE_FAILED));
    EXPECT_EQ(root.ReadFile(kParamPath), settings);

    // Nothing can be written after the settings: the operator is told to
    // make the set current again.
    std::u16string first, second;
    rename([](HWND) { qplat::FailFileWritesAfter(PARAM_BLOCK_SIZE); }, {Answer(true, &first), Answer(true, &second)},
           [](HWND) { qplat::FailFileWritesAfter(-1); });
    EXPECT_EQ(first, Text(TEXT_SAVE_FAILED));
    EXPECT_EQ(second, Text(50091));
    EXPECT_EQ(root.ReadFile(kDopuskQavPath), sets);
}

// ---------------------------------------------------------------- make current

TEST_F(ToleranceEditor, MakeCurrentSavesTheSetNameAndMovesTheMark)
{
    for (BYTE unit : {1, 2}) {
        WriteQav({QavSet(u"A", 1000), QavSet(u"B", 2000)});
        WriteParams(Wheel(unit));
        const std::string before = root.ReadFile(kParamPath);
        // The current set again: nothing changes.
        Run({[](HWND dlg) { TapCell(SetList(dlg), 1, 0); }, Command(Dlg::kMakeCurrentId), Close()});
        EXPECT_EQ(root.ReadFile(kParamPath), before);

        std::vector<std::u16string> marks;
        std::u16string field;
        Run({[](HWND dlg) { TapCell(SetList(dlg), 0, 0); }, Command(Dlg::kMakeCurrentId),
             [&](HWND dlg) {
                 marks = Column(SetList(dlg), 1);
                 field = WindowText(GetDlgItem(dlg, Dlg::kNameFieldId));
             },
             Close()});
        EXPECT_EQ(marks, (std::vector<std::u16string>{u"\u2022", u""}));
        EXPECT_EQ(field, u"A");
        ExpectStored(Wheel(unit), [](ParamBlock& e) { CopyName(e.qavToleranceName, u"A"); },
                     "another set clears the wheel type");
    }
    // The disc family keeps its disc type.
    WriteQod({QodSet(u"D1", 1000), QodSet(u"D2", 2000)});
    WriteParams(Disc(2));
    Run({[](HWND dlg) { TapCell(SetList(dlg), 0, 0); }, Command(Dlg::kMakeCurrentId), Close()});
    ParamBlock expected = Disc(2);
    CopyName(expected.qodToleranceName, u"D1");
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));
}

TEST_F(ToleranceEditor, MakeCurrentThatCannotSaveMovesNoMark)
{
    WriteQav({QavSet(u"A", 1000), QavSet(u"B", 2000)});
    WriteParams(Wheel(1));
    const std::string before = root.ReadFile(kParamPath);
    std::u16string message;
    std::vector<std::u16string> marks;
    int current = -1;
    Run({[](HWND dlg) {
             TapCell(SetList(dlg), 0, 0);
             qplat::FailFileWritesAfter(0);
         },
         Command(Dlg::kMakeCurrentId), Answer(true, &message),
         [&](HWND dlg) {
             qplat::FailFileWritesAfter(-1);
             marks = Column(SetList(dlg), 1);
             current = Dlg::Current()->CurrentSet();
         },
         Close()});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(message, Text(TEXT_SAVE_FAILED)),
                                 FIELD_IS(marks, (std::vector<std::u16string>{u"", u"\u2022"})), FIELD_IS(current, 1)));
    EXPECT_EQ(root.ReadFile(kParamPath), before);
}

TEST_F(ToleranceEditor, CommandsWithoutASelectedSetSaySo)
{
    WriteQav({});
    WriteParams(Wheel(1));
    std::u16string edit, current, remove;
    Run({Command(Dlg::kEditId), Answer(true, &edit), Command(Dlg::kMakeCurrentId), Answer(true, &current),
         Command(Dlg::kDeleteId), Answer(true, &remove), Close()});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(edit, Text(50011)), FIELD_IS(current, Text(50011)),
                                 FIELD_IS(remove, Text(50011))));
}

// ---------------------------------------------------------------- deleting

TEST_F(ToleranceEditor, DeletingRefusesTheCurrentSetAndRewritesTheFileForAnother)
{
    for (BYTE unit : {1, 2}) {
        const std::vector<DopuskQavRecord> sets = {QavSet(u"A", 1000), QavSet(u"B", 2000), QavSet(u"C", 3000)};
        WriteQav(sets);
        WriteParams(Wheel(unit));
        const std::string params = root.ReadFile(kParamPath);
        std::u16string refused, question;
        int selected = -1;
        std::vector<std::u16string> names;
        Run({[](HWND dlg) { TapCell(SetList(dlg), 1, 0); }, Command(Dlg::kDeleteId), Answer(true, &refused),
             [](HWND dlg) { TapCell(SetList(dlg), 2, 0); }, Command(Dlg::kDeleteId), Answer(false),
             Command(Dlg::kDeleteId), Answer(true, &question),
             [&](HWND dlg) {
                 selected = Dlg::Current()->SelectedSet();
                 names = Column(SetList(dlg), 0);
             },
             Close()});
        EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(refused, Text(50014)), FIELD_IS(question, Text(50013)),
                                     FIELD_IS(selected, 0),
                                     FIELD_IS(names, (std::vector<std::u16string>{u"A", u"B"}))));
        EXPECT_EQ(root.ReadFile(kDopuskQavPath), Bytes(std::vector<DopuskQavRecord>{sets[0], sets[1]}));
        EXPECT_EQ(root.ReadFile(kParamPath), params);
    }
}

// The sets changed on the card while the screen is open (a PC added some,
// another card was put in): a delete, or a set confirmed even unchanged,
// writes nothing, says so, and the list shows the card's sets; none goes.
TEST_F(ToleranceEditor, SetsChangedOnTheCardAreNeverWrittenOverFromTheScreen)
{
    const std::vector<DopuskQavRecord> a = {QavSet(u"Demo", 1000), QavSet(u"A tol 1", 2000), QavSet(u"A tol 2", 3000)};
    const std::vector<DopuskQavRecord> b = {QavSet(u"Demo", 1000), QavSet(u"B tol 1", 4000), QavSet(u"B tol 2", 5000),
                                            QavSet(u"B tol 3", 6000), QavSet(u"B tol 4", 7000)};
    const std::string cardB = Bytes(b);
    const auto swap = [&](HWND) { root.WriteFile(kDopuskQavPath, cardB); };
    const struct {
        const char* what;
        std::vector<Step> steps;
    } acts[] = {
        {"delete", {[](HWND dlg) { TapCell(SetList(dlg), 2, 0); }, swap, Command(Dlg::kDeleteId), Answer(true)}},
        {"an unchanged set confirmed", {Command(Dlg::kEditId), swap, Command(Dlg::kSaveId)}},
    };
    for (const auto& act : acts) {
        SCOPED_TRACE(act.what);
        WriteQav(a);
        WriteParams(Wheel(1));
        std::u16string told;
        std::vector<std::u16string> names;
        std::vector<Step> steps = act.steps;
        steps.push_back(Answer(true, &told));
        steps.push_back([&](HWND dlg) {
            names = Column(SetList(dlg), 0);
            EXPECT_EQ(Dlg::Current()->Editing(), 0);
        });
        steps.push_back(Close());
        Run(steps);
        EXPECT_EQ(told, Text(SCREEN_CARD_CHANGED));
        EXPECT_EQ(root.ReadFile(kDopuskQavPath), cardB) << "every set of the card kept";
        EXPECT_EQ(names.size(), b.size()) << "the list shows the card's sets";
    }
}

TEST_F(ToleranceEditor, WithNoCurrentSetASetWithoutANameIsNeitherMarkedNorKept)
{
    WriteQav({QavSet(u"", 1000), QavSet(u"B", 2000)});
    ParamBlock p = Wheel(1);
    CopyName(p.qavToleranceName, u"");
    WriteParams(p);
    std::vector<std::u16string> marks, names;
    std::u16string question;
    int current = -2;
    Run({[&](HWND dlg) {
             marks = Column(SetList(dlg), 1);
             current = Dlg::Current()->CurrentSet();
             TapCell(SetList(dlg), 0, 0);
             PostCommand(dlg, Dlg::kDeleteId);
         },
         Answer(true, &question), [&](HWND dlg) { names = Column(SetList(dlg), 0); }, Close()});
    EXPECT_EQ(marks, (std::vector<std::u16string>{u"", u""}));
    EXPECT_EQ(current, -1);
    EXPECT_EQ(question, Text(50013)) << "asked, not refused as the current set";
    EXPECT_EQ(names, std::vector<std::u16string>{u"B"});
}

TEST_F(ToleranceEditor, AFailedWriteIsShownAndLeavesTheFileAsItWas)
{
    WriteQav({QavSet(u"A", 1000), QavSet(u"B", 2000)});
    WriteParams(Wheel(1));
    const std::string before = root.ReadFile(kDopuskQavPath);
    std::u16string deleteMessage, saveMessage;
    int editing = -1;
    Run({[](HWND dlg) {
             TapCell(SetList(dlg), 0, 0);
             qplat::FailFileWritesAfter(0);
         },
         Command(Dlg::kDeleteId), Answer(true), Answer(true, &deleteMessage), Command(Dlg::kNewId),
         Command(Dlg::kSaveId), Answer(true, &saveMessage),
         [&](HWND) {
             editing = Dlg::Current()->Editing();
             qplat::FailFileWritesAfter(-1);
         },
         Close()});
    EXPECT_EQ(deleteMessage, Text(TEXT_SAVE_FAILED));
    EXPECT_EQ(saveMessage, Text(TEXT_SAVE_FAILED));
    EXPECT_EQ(editing, 1) << "the new set stays on the screen";
    EXPECT_EQ(root.ReadFile(kDopuskQavPath), before);
}

// ---------------------------------------------------------------- leaving and looking

TEST_F(ToleranceEditor, BackButtonAndCloseBothReturnTrue)
{
    WriteQav({QavSet(u"A", 1000)});
    ExpectLeavingKeeps<Dlg>(Wheel(1), {});
}

TEST_F(ToleranceEditor, SnapshotsOfBrowsingAndEditing)
{
    WriteQav({QavSet(u"Standard", 30000), QavSet(u"Wide limits", 20000)});
    ParamBlock p = Wheel(1, 1);
    for (int k : {0, 1, 2, 3, 5}) p.switches[k] = 2;
    WriteParams(p);
    COLORREF limitCell = 0, warningCell = 0, editCell = 0;
    std::u16string prompt, title;
    std::vector<std::u16string> cut, cutRussian;
    int labelEnd = -1, labelEndEditing = -1;
    Run({[&](HWND dlg) {
             ASSERT_TRUE(SaveShot("tolerance_browse.png"));
             cut = CutTexts(ValueList(dlg));
             labelEnd = LabelEndInkRows(ValueList(dlg));
             const POINT lower = CellCentre(ValueList(dlg), 0, 1);
             const POINT warning = CellCentre(ValueList(dlg), 0, 2);
             limitCell = qplat::ScreenPixel(lower.x + 20, lower.y - 5);
             warningCell = qplat::ScreenPixel(warning.x + 20, warning.y - 5);
             PostCommand(dlg, Dlg::kEditId);
         },
         [&](HWND dlg) {
             ASSERT_TRUE(SaveShot("tolerance_edit.png"));
             labelEndEditing = LabelEndInkRows(ValueList(dlg));
             const POINT upper = CellCentre(ValueList(dlg), 0, 4);
             editCell = qplat::ScreenPixel(upper.x + 25, upper.y - 5);
             TapCell(ValueList(dlg), 0, 4, true);
         },
         [&](HWND keyboard) {
             prompt = WindowText(GetDlgItem(keyboard, 477));
             ASSERT_TRUE(SaveShot("tolerance_prompt.png"));
             CancelKeyboard()(keyboard);
         },
         Close()});
    EXPECT_EQ(limitCell, 0x7878FFu) << "browsing: limits on red";
    EXPECT_EQ(warningCell, 0x78B4FFu) << "browsing: warning limits on orange";
    EXPECT_EQ(editCell, 0xE6E6FFu) << "editing: pale red";
    EXPECT_EQ(prompt, Text(40419) + u" " + Text(40604) + u"-" + Text(40343) + u"(" + Text(40305) + u")");
    EXPECT_TRUE(cut.empty()) << qplat::ToUtf8(cut.front());
    EXPECT_GT(labelEnd, 0) << "browsing: the 40-pixel label column";
    EXPECT_LE(labelEnd, 3) << "browsing: the 40-pixel label column";
    EXPECT_GT(labelEndEditing, 0) << "editing: the 100-pixel label column";
    EXPECT_LE(labelEndEditing, 3) << "editing: the 100-pixel label column";

    // The same screens in Russian.
    UseLanguage("RUS.LNG");
    Run({[&](HWND dlg) {
             ASSERT_TRUE(SaveShot("tolerance_browse_ru.png"));
             cutRussian = CutTexts(ValueList(dlg));
             PostCommand(dlg, Dlg::kNewId);
         },
         [&](HWND) {
             ASSERT_TRUE(SaveShot("tolerance_new_ru.png"));
             title = Dlg::Current()->TitleText();
         },
         Close()});
    EXPECT_EQ(title, u"Новый набор допусков");
    EXPECT_TRUE(cutRussian.empty()) << qplat::ToUtf8(cutRussian.front());
}

}  // namespace
