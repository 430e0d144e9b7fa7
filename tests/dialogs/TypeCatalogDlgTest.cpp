// The type catalogue and its item editor against their files: what the lists
// show, every byte of "WheelType.qav", "DiskType.qod" and "param.qav" after
// apply, delete, new, edit and close, in millimetres and in inches, and the
// settings file as it was before New and Edit whatever the editor's settings
// screens wrote.

#include <memory>

#include "dialogs/TypeCatalogDlg.h"
#include "dialogs/TypeItemDlg.h"
#include "scheme/SchemeFile.h"
#include "tests/dialogs/SettingsScreenTestSupport.h"
#include "tests/support/Fields.h"

using namespace qtest;

namespace {

using Catalog = CTypeCatalogDlg;
using Item = CTypeItemDlg;

WheelTypeRecord WheelType(const char16_t* name, LONG base)
{
    WheelTypeRecord r{};
    CopyName(r.name, name);
    CopyName(r.referName, u"Ref wheel");
    CopyName(r.schemeName, u"Train A");
    CopyName(r.toleranceName, u"Tol A");
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k) r.dimensions[k] = k == DIM_L16 ? 0 : base + 1000 * k;
    r.option1 = 2;
    r.option2 = 3;
    r.option3 = 2;
    r.wheelTypeOption = 2;
    for (int k = 0; k < PARAM_SWITCH_COUNT; ++k) r.switches[k] = k % 3 == 0 ? 2 : 1;
    return r;
}

DiskTypeRecord DiskType(const char16_t* name, LONG base)
{
    DiskTypeRecord r{};
    CopyName(r.name, name);
    CopyName(r.referName, u"Ref disc");
    CopyName(r.schemeName, u"Disc train");
    CopyName(r.toleranceName, u"Tol D");
    r.discL1 = base;
    r.discL2 = base + 5;
    r.switches[0] = 2;
    r.switches[1] = 1;
    r.switches[2] = 2;
    r.switches[3] = 1;
    r.discOption1 = 1;
    r.headMode = 1;
    return r;
}

// What applying a wheel type does to a block.
ParamBlock Applied(ParamBlock p, const WheelTypeRecord& r)
{
    CopyName(p.wheelTypeName, r.name);
    CopyName(p.qavReferName, r.referName);
    CopyName(p.qavSchemeName, r.schemeName);
    CopyName(p.qavToleranceName, r.toleranceName);
    for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k)
        if (k != DIM_L16) p.dimensions[k] = r.dimensions[k];
    p.option1 = r.option1;
    p.option2 = r.option2;
    p.option3 = r.option3;
    p.wheelTypeOption = r.wheelTypeOption;
    std::memcpy(p.switches, r.switches, sizeof p.switches);
    return p;
}

HWND List(HWND dlg) { return GetDlgItem(dlg, Catalog::kListId); }

// What the editor's settings screens do in these tests: each writes a change
// of its own into "param.qav", as the real screens do.
int g_screensRun = 0;
BOOL RewriteSettings(void (*change)(ParamBlock&))
{
    ParamBlock p{};
    CParamFile file;
    file.Load(&p);
    change(p);
    ++g_screensRun;
    return file.Save(&p);
}
BOOL ChangeDimensions(HINSTANCE, HWND)
{
    return RewriteSettings([](ParamBlock& p) {
        p.dimensions[DIM_L1] = 123456;
        p.dimensions[DIM_L16] = 999;  // not part of a type
        p.discL1 = 77000;
    });
}
BOOL ChangeOptions(HINSTANCE, HWND)
{
    return RewriteSettings([](ParamBlock& p) {
        p.option2 = 4;
        p.option4 = p.option4 == 2 ? 1 : 2;  // not part of a type either
        p.discHeadMode = 2;
    });
}
BOOL ChangeSwitches(HINSTANCE, HWND)
{
    return RewriteSettings([](ParamBlock& p) {
        p.switches[21] = p.switches[21] == 2 ? 1 : 2;
        p.discSwitches[3] = 2;
    });
}

// The entry of a combo box the editor has chosen.
std::u16string Chosen(CComboBoxCtl& list)
{
    WCHAR text[100] = {};
    list.GetLBText(list.GetCurSel(), text, 100);
    return text;
}

class TypeCatalog : public SettingsScreenTest {
protected:
    void SetUp() override
    {
        SettingsScreenTest::SetUp();
        saved = g_typeItemScreens;
        g_typeItemScreens = {ChangeDimensions, ChangeOptions, ChangeSwitches};
        g_screensRun = 0;
    }
    void TearDown() override
    {
        g_typeItemScreens = saved;
        SettingsScreenTest::TearDown();
    }
    BOOL Run(std::vector<Step> steps) { return RunWith<Catalog>(std::move(steps)); }
    void WriteWheelTypes(const std::vector<WheelTypeRecord>& r) { root.WriteFile(kWheelTypePath, Bytes(r)); }
    void WriteDiskTypes(const std::vector<DiskTypeRecord>& r) { root.WriteFile(kDiskTypePath, Bytes(r)); }
    // Wheel settings whose current type is the record `current` applied.
    ParamBlock Wheel(BYTE unit, const WheelTypeRecord& current)
    {
        ParamBlock p = Applied(Params(1, unit), current);
        p.dimensions[DIM_L16] = 4242;
        return p;
    }
    // What the catalogue shows.
    struct Listed {
        std::vector<std::u16string> names, marks;
        std::u16string title, label, box;
        int marked = -1;
        bool boxReadOnly = false;
    };
    static Listed Look(HWND dlg)
    {
        const HWND box = GetDlgItem(dlg, Catalog::kNameBoxId);
        return {Column(List(dlg), 0), Column(List(dlg), 1), Catalog::Current()->TitleText(),
                WindowText(GetDlgItem(dlg, Catalog::kLabelId)), WindowText(box), Catalog::Current()->MarkedRow(),
                (GetWindowLongW(box, GWL_STYLE) & ES_READONLY) != 0};
    }
    static Step Select(int row)
    {
        return [row](HWND dlg) { TapCell(List(dlg), row, 0); };
    }
    // Types the name into the editor's name box and confirms it.
    static Step NameAndOk(const char16_t* name)
    {
        return [name](HWND editor) {
            SetWindowTextW(GetDlgItem(editor, Item::kNameBoxId), name);
            PostCommand(editor, Item::kOkId);
        };
    }
    // Waits inside the editor's loop until its focus timer has fired.
    static void AwaitKeyboardReady()
    {
        for (int i = 0; i < 200 && !Item::Current()->KeyboardReady(); ++i) {
            Sleep(5);
            qplat::ProcessPendingMessages();
        }
    }

    TypeItemSettingsScreens saved{};
};

// ---------------------------------------------------------------- the list

TEST_F(TypeCatalog, OpeningListsTheWheelTypesAndMarksTheCurrentOne)
{
    const WheelTypeRecord b = WheelType(u"B", 2000);
    WriteWheelTypes({WheelType(u"A", 1000), b, WheelType(u"C", 3000), b});
    WriteParams(Wheel(1, b));
    Listed shown;
    EXPECT_TRUE(Run({[&](HWND dlg) { shown = Look(dlg); }, Close()}));
    EXPECT_EQ(shown.names, (std::vector<std::u16string>{u"A", u"B", u"C", u"B"}));
    EXPECT_EQ(shown.marks, (std::vector<std::u16string>{u"", u"\u2022", u"", u"\u2022"})) << "both rows of the name";
    EXPECT_EQ(shown.marked, 3) << "the last of them";
    EXPECT_EQ(shown.title, Text(40023));
    EXPECT_EQ(shown.label, Text(40425));
    EXPECT_EQ(shown.box, u"B");
    EXPECT_TRUE(shown.boxReadOnly) << "the current type changes only through apply";
}

TEST_F(TypeCatalog, TheDiscDeviceShowsTheDiscTypes)
{
    WriteDiskTypes({DiskType(u"Disc 1", 100000), DiskType(u"Disc 2", 120000)});
    ParamBlock p = Params(4, 1);
    CopyName(p.discTypeName, u"Disc 2");
    CopyName(p.wheelTypeName, u"A wheel");
    WriteParams(p);
    Listed shown;
    Run({[&](HWND dlg) { shown = Look(dlg); }, Close()});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(shown.names, (std::vector<std::u16string>{u"Disc 1", u"Disc 2"})),
                                 FIELD_IS(shown.marks, (std::vector<std::u16string>{u"", u"\u2022"})),
                                 FIELD_IS(shown.title, Text(40028)), FIELD_IS(shown.label, Text(40432)),
                                 FIELD_IS(shown.box, u"Disc 2")));
}

// ---------------------------------------------------------------- apply

TEST_F(TypeCatalog, ApplyCopiesTheTypeExceptL16AndMovesTheMark)
{
    for (BYTE unit : {1, 2}) {
        const WheelTypeRecord a = WheelType(u"A", 1000), b = WheelType(u"B", 2000);
        WriteWheelTypes({a, b});
        const ParamBlock before = Wheel(unit, b);
        WriteParams(before);
        const std::string catalog = root.ReadFile(kWheelTypePath);
        // The current type again: not a byte changes.
        Run({Select(1), Command(Catalog::kApplyId), Close()});
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before));

        Listed shown;
        Run({Select(0), Command(Catalog::kApplyId), [&](HWND dlg) { shown = Look(dlg); }, Close()});
        EXPECT_EQ(shown.marks, (std::vector<std::u16string>{u"\u2022", u""}));
        EXPECT_EQ(shown.box, u"A");
        const ParamBlock after = ReadParams();
        EXPECT_EQ(after.dimensions[DIM_L16], 4242) << "L16 keeps its value";
        EXPECT_EQ(qplat::FieldText(after.wheelTypeName, PARAM_NAME_CHARS), u"A");
        // The type's own fields come from the record, and every other byte of
        // the block is as it was.
        EXPECT_EQ(Bytes(after), Bytes(Applied(before, a))) << "unit system " << int(unit);
        EXPECT_EQ(root.ReadFile(kWheelTypePath), catalog);
    }
}

TEST_F(TypeCatalog, ApplyingADiscTypeCopiesItsFields)
{
    const DiskTypeRecord d = DiskType(u"Disc 1", 100000);
    WriteDiskTypes({d});
    ParamBlock before = Params(4, 2);
    WriteParams(before);
    Run({Select(0), Command(Catalog::kApplyId), Close()});
    ParamBlock expected = before;
    CopyName(expected.discTypeName, d.name);
    CopyName(expected.qodReferName, d.referName);
    CopyName(expected.qodSchemeName, d.schemeName);
    CopyName(expected.qodToleranceName, d.toleranceName);
    expected.discL1 = d.discL1;
    expected.discL2 = d.discL2;
    std::memcpy(expected.discSwitches, d.switches, 4);
    expected.discOption1 = d.discOption1;
    expected.discHeadMode = d.headMode;
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));
}

TEST_F(TypeCatalog, ApplyThatCannotSaveChangesNothing)
{
    const WheelTypeRecord a = WheelType(u"A", 1000), b = WheelType(u"B", 2000);
    WriteWheelTypes({a, b});
    WriteParams(Wheel(1, b));
    const std::string before = root.ReadFile(kParamPath);
    std::u16string message;
    Listed shown;
    Run({[](HWND dlg) {
             TapCell(List(dlg), 0, 0);
             qplat::FailFileWritesAfter(0);
         },
         Command(Catalog::kApplyId), Answer(true, &message),
         [&](HWND dlg) {
             qplat::FailFileWritesAfter(-1);
             shown = Look(dlg);
         },
         // A later New restores the settings as the screen holds them: still B's.
         Command(Catalog::kNewId), [](HWND editor) { PostCommand(editor, Item::kBackId); }, Close()});
    EXPECT_EQ(message, Text(TEXT_SAVE_FAILED));
    EXPECT_EQ(shown.marks, (std::vector<std::u16string>{u"", u"\u2022"}));
    EXPECT_EQ(shown.box, u"B");
    EXPECT_EQ(root.ReadFile(kParamPath), before);
}

TEST_F(TypeCatalog, CommandsWithoutASelectedRowSaySo)
{
    WriteWheelTypes({WheelType(u"A", 1000)});
    WriteParams(Wheel(1, WheelType(u"A", 1000)));
    const std::string before = root.ReadFile(kParamPath);
    std::u16string edit, remove, apply;
    Run({Command(Catalog::kEditId), Answer(true, &edit), Command(Catalog::kDeleteId), Answer(true, &remove),
         Command(Catalog::kApplyId), Answer(true, &apply), Close()});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(edit, Text(50047)), FIELD_IS(remove, Text(50047)),
                                 FIELD_IS(apply, Text(50047))));
    EXPECT_EQ(root.ReadFile(kParamPath), before);
    EXPECT_EQ(g_screensRun, 0);
}

// ---------------------------------------------------------------- delete

TEST_F(TypeCatalog, DeletingMovesTheLaterRowsUpAndRefusesTheCurrentType)
{
    for (BYTE unit : {1, 2}) {
        std::vector<WheelTypeRecord> types;
        for (const char16_t* n : {u"T0", u"T1", u"T2", u"T3", u"T4"}) types.push_back(WheelType(n, 1000));
        WriteWheelTypes(types);
        WriteParams(Wheel(unit, types[1]));
        const std::string params = root.ReadFile(kParamPath);
        std::u16string refused, question;
        std::vector<std::u16string> names;
        int selected = -1;
        Run({Select(1), Command(Catalog::kDeleteId), Answer(true, &refused),
             Select(2), Command(Catalog::kDeleteId), Answer(true, &question),
             [&](HWND dlg) {
                 names = Column(List(dlg), 0);
                 selected = static_cast<int>(SendMessageW(List(dlg), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
             },
             Close()});
        EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(refused, Text(50049)), FIELD_IS(question, Text(50048)),
                                     FIELD_IS(names, (std::vector<std::u16string>{u"T0", u"T1", u"T3", u"T4"})),
                                     FIELD_IS(selected, 0)));
        EXPECT_EQ(root.ReadFile(kWheelTypePath), Bytes(std::vector<WheelTypeRecord>{types[0], types[1], types[3], types[4]}));
        EXPECT_EQ(root.ReadFile(kParamPath), params) << "unit system " << int(unit);
    }
}

// The catalogue changed on the card while its list or the editor is open (a
// PC's change, another card put in): a delete or the editor's confirm writes
// nothing, says so, and the list shows the types the card holds; none of the
// card's types goes.
TEST_F(TypeCatalog, ACatalogueChangedOnTheCardIsNeverWrittenOverFromTheScreen)
{
    std::vector<WheelTypeRecord> a, b;
    for (const char16_t* n : {u"A type 1", u"A type 2", u"A type 3"}) a.push_back(WheelType(n, 1000));
    for (const char16_t* n : {u"B type 1", u"B type 2", u"B type 3", u"B type 4", u"B type 5"})
        b.push_back(WheelType(n, 2000));
    const std::string cardB = Bytes(b);
    const auto swap = [&](HWND) { root.WriteFile(kWheelTypePath, cardB); };
    const struct {
        const char* what;
        std::vector<Step> steps;
    } acts[] = {
        {"delete", {Select(1), swap, Command(Catalog::kDeleteId), Answer(true)}},
        {"the editor's confirm", {Select(1), Command(Catalog::kEditId), swap, Command(Item::kOkId)}},
    };
    for (const auto& act : acts) {
        SCOPED_TRACE(act.what);
        WriteWheelTypes(a);
        WriteParams(Wheel(1, a[0]));
        std::u16string told;
        std::vector<std::u16string> names;
        std::vector<Step> steps = act.steps;
        steps.push_back(Answer(true, &told));
        steps.push_back([&](HWND dlg) { names = Column(List(dlg), 0); });
        steps.push_back(Close());
        Run(steps);
        EXPECT_EQ(told, Text(SCREEN_CARD_CHANGED));
        EXPECT_EQ(root.ReadFile(kWheelTypePath), cardB) << "every type of the card kept";
        EXPECT_EQ(names.size(), b.size()) << "the list shows the card's types";
    }
}

TEST_F(TypeCatalog, WithNoCurrentTypeATypeWithoutANameIsNeitherMarkedNorKept)
{
    const WheelTypeRecord nameless = WheelType(u"", 1000), b = WheelType(u"B", 2000);
    WriteWheelTypes({nameless, b});
    ParamBlock p = Wheel(1, b);
    CopyName(p.wheelTypeName, u"");
    WriteParams(p);
    std::vector<std::u16string> marks;
    std::u16string question;
    Run({[&](HWND dlg) {
             marks = Column(List(dlg), 1);
             TapCell(List(dlg), 0, 0);
             PostCommand(dlg, Catalog::kDeleteId);
         },
         Answer(true, &question), Close()});
    EXPECT_EQ(marks, (std::vector<std::u16string>{u"", u""}));
    EXPECT_EQ(question, Text(50048)) << "asked, not refused as the current type";
    EXPECT_EQ(root.ReadFile(kWheelTypePath), Bytes(std::vector<WheelTypeRecord>{b}));
}

TEST_F(TypeCatalog, DeletingTheLastRecordLeavesAnEmptyFile)
{
    WriteDiskTypes({DiskType(u"Old", 1000)});
    ParamBlock p = Params(4, 1);
    CopyName(p.discTypeName, u"Current");
    WriteParams(p);
    int rows = -1;
    std::u16string question;
    Run({Select(0), Command(Catalog::kDeleteId), Answer(true, &question),
         [&](HWND dlg) { rows = RowCount(List(dlg)); }, Close()});
    EXPECT_EQ(question, Text(50063));
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(root.Exists(kDiskTypePath));
    EXPECT_EQ(root.ReadFile(kDiskTypePath), "");
}

// ---------------------------------------------------------------- new and edit

TEST_F(TypeCatalog, NewTakesTheSettingsScreensValuesAndLeavesTheSettingsFileAsItWas)
{
    for (BYTE unit : {1, 2}) {
        const WheelTypeRecord a = WheelType(u"A", 1000);
        WriteWheelTypes({a});
        const ParamBlock before = Wheel(unit, a);
        WriteParams(before);
        std::u16string title, box;
        int rows = -1;
        Run({Command(Catalog::kNewId),
             [&](HWND editor) {
                 title = Item::Current()->TitleText();
                 box = WindowText(GetDlgItem(editor, Item::kNameBoxId));
                 AwaitKeyboardReady();
                 TapWindow(GetDlgItem(editor, Item::kNameBoxId));
             },
             Type(u"Wheel B"), Command(Item::kDimensionsId), Command(Item::kOptionsId), Command(Item::kSwitchesId),
             Command(Item::kOkId), [&](HWND dlg) { rows = RowCount(List(dlg)); }, Close()});
        EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(title, Text(40426)), FIELD_IS(box, Text(40435)), FIELD_IS(rows, 2),
                                     FIELD_IS(g_screensRun, 3 * unit)));
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before)) << "unit system " << int(unit);

        const auto types = Records<WheelTypeRecord>(root.ReadFile(kWheelTypePath));
        ASSERT_EQ(types.size(), 2u);
        EXPECT_EQ(Bytes(types[0]), Bytes(a));
        // The new entry: the name, the lists' choices, and the settings as
        // the screens left them, with "L16" not carried.
        WheelTypeRecord expected{};
        CopyName(expected.name, u"Wheel B");
        CopyName(expected.referName, u"");  // no reference profiles, schemes or sets on this card
        CopyName(expected.schemeName, u"");
        CopyName(expected.toleranceName, u"");
        for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k) expected.dimensions[k] = k == DIM_L16 ? 0 : before.dimensions[k];
        expected.dimensions[DIM_L1] = 123456;
        expected.option1 = before.option1;
        expected.option2 = 4;
        expected.option3 = before.option3;
        expected.wheelTypeOption = before.wheelTypeOption;
        std::memcpy(expected.switches, before.switches, sizeof expected.switches);
        expected.switches[21] = before.switches[21] == 2 ? 1 : 2;
        EXPECT_EQ(Bytes(types[1]), Bytes(expected));
    }
}

TEST_F(TypeCatalog, EditStartsFromTheEntryAndWritesItBackInPlace)
{
    // A card with reference profiles, schemes and tolerance sets to choose from.
    CSchemeFile schemes;
    ASSERT_EQ(schemes.Write(1, 2, 1, u"Train 0", 1, 1), 1);
    ASSERT_EQ(schemes.Write(1, 2, 1, u"Train A", 1, 1), 1);
    ASSERT_EQ(schemes.Write(1, 2, 1, u"Disc train", 1, 4), 1);
    root.WriteFile(kProgramFolder + u"Refer\\r0.ref", "Ref 0\r\n1000;500\r\n");
    root.WriteFile(kProgramFolder + u"Refer\\r1.ref", "Ref wheel\r\n1000;500\r\n");
    DopuskQavRecord tol0{}, tolA{};
    CopyName(tol0.name, u"Tol 0");
    CopyName(tolA.name, u"Tol A");
    root.WriteFile(kDopuskQavPath, Bytes(std::vector<DopuskQavRecord>{tol0, tolA}));

    for (BYTE unit : {1, 2}) {
        const WheelTypeRecord a = WheelType(u"A", 1000), b = WheelType(u"B", 2000);
        WriteWheelTypes({a, b});
        ParamBlock before = Wheel(unit, a);
        WriteParams(before);
        std::u16string title, box, refer, scheme, tolerance;
        Run({Select(1), Command(Catalog::kEditId),
             [&](HWND editor) {
                 title = Item::Current()->TitleText();
                 box = WindowText(GetDlgItem(editor, Item::kNameBoxId));
                 refer = Chosen(Item::Current()->m_referList);
                 scheme = Chosen(Item::Current()->m_schemeList);
                 tolerance = Chosen(Item::Current()->m_toleranceList);
                 PostCommand(editor, Item::kSwitchesId);
             },
             Command(Item::kOkId), Close()});
        EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(title, Text(40427)), FIELD_IS(box, u"B"), FIELD_IS(refer, u"Ref wheel"),
                                     FIELD_IS(scheme, u"Train A"), FIELD_IS(tolerance, u"Tol A")));
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before)) << "unit system " << int(unit);
        const auto types = Records<WheelTypeRecord>(root.ReadFile(kWheelTypePath));
        ASSERT_EQ(types.size(), 2u);
        WheelTypeRecord expected = b;
        expected.switches[21] = b.switches[21] == 2 ? 1 : 2;
        EXPECT_EQ(Bytes(types[0]), Bytes(a));
        EXPECT_EQ(Bytes(types[1]), Bytes(expected)) << "the same entry, changed by the switch screen only";
    }
}

TEST_F(TypeCatalog, ClosingTheEditorWritesNoCatalogueAndTheSettingsComeBack)
{
    for (BYTE unit : {1, 2}) {
        const DiskTypeRecord d = DiskType(u"Disc 1", 100000);
        WriteDiskTypes({d});
        ParamBlock before = Params(4, unit);
        CopyName(before.discTypeName, u"Other");
        WriteParams(before);
        const std::string catalog = root.ReadFile(kDiskTypePath);
        Run({Select(0), Command(Catalog::kEditId), Command(Item::kDimensionsId),
             Command(Item::kOptionsId), Command(Item::kBackId), Command(Catalog::kNewId),
             [](HWND editor) { PostMessageW(editor, WM_CLOSE, 0, 0); }, Close()});
        EXPECT_EQ(root.ReadFile(kDiskTypePath), catalog);
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before)) << "unit system " << int(unit);
    }
}

TEST_F(TypeCatalog, ADiscEntryIsWrittenFromTheDiscSettings)
{
    CSchemeFile schemes;
    ASSERT_EQ(schemes.Write(1, 2, 1, u"Wheel train", 1, 1), 1);
    ASSERT_EQ(schemes.Write(1, 2, 1, u"Disc 0", 1, 4), 1);
    ASSERT_EQ(schemes.Write(1, 2, 1, u"Disc train", 1, 4), 1);
    DopuskQodRecord tol0{}, tolD{};
    CopyName(tol0.name, u"Tol 0");
    CopyName(tolD.name, u"Tol D");
    root.WriteFile(kDopuskQodPath, Bytes(std::vector<DopuskQodRecord>{tol0, tolD}));
    const DiskTypeRecord d = DiskType(u"Disc 1", 100000);
    WriteDiskTypes({d});
    ParamBlock before = Params(4, 1);
    CopyName(before.discTypeName, u"Disc 1");
    WriteParams(before);
    std::vector<std::u16string> offered;
    std::u16string scheme, tolerance;
    Run({Select(0), Command(Catalog::kEditId),
         [&](HWND) {
             Item* item = Item::Current();
             const int n = static_cast<int>(SendMessageW(item->m_schemeList.m_hWnd, CB_GETCOUNT, 0, 0));
             WCHAR text[100] = {};
             for (int i = 0; i < n; ++i) {
                 item->m_schemeList.GetLBText(i, text, 100);
                 offered.push_back(text);
             }
             scheme = Chosen(item->m_schemeList);
             tolerance = Chosen(item->m_toleranceList);
         },
         Command(Item::kDimensionsId), Command(Item::kOptionsId), Command(Item::kSwitchesId), Command(Item::kOkId),
         Close()});
    std::sort(offered.begin(), offered.end());
    EXPECT_EQ(offered, (std::vector<std::u16string>{u"Disc 0", u"Disc train"})) << "the disc schemes only";
    EXPECT_EQ(scheme, u"Disc train");
    EXPECT_EQ(tolerance, u"Tol D");
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before));
    const auto types = Records<DiskTypeRecord>(root.ReadFile(kDiskTypePath));
    ASSERT_EQ(types.size(), 1u);
    DiskTypeRecord expected = d;
    // No disc reference profiles on this card: the entry keeps its own.
    expected.discL1 = 77000;
    expected.headMode = 2;
    expected.switches[3] = 2;
    EXPECT_EQ(Bytes(types[0]), Bytes(expected));
}

TEST_F(TypeCatalog, AListWithoutTheEntrysNameFallsBackToItsFirstEntryButTheReferenceIsKept)
{
    DopuskQavRecord tol0{}, tolA{};
    CopyName(tol0.name, u"Tol 0");
    CopyName(tolA.name, u"Tol A");
    root.WriteFile(kDopuskQavPath, Bytes(std::vector<DopuskQavRecord>{tol0, tolA}));
    root.WriteFile(kProgramFolder + u"Refer\\r0.ref", "Ref 0\r\n1000;500\r\n");
    WheelTypeRecord a = WheelType(u"A", 1000);
    CopyName(a.toleranceName, u"Deleted set");
    WriteWheelTypes({a});
    WriteParams(Params(1, 2));
    std::u16string shownRefer;
    Run({Select(0), Command(Catalog::kEditId),
         [&](HWND editor) {
             shownRefer = Chosen(Item::Current()->m_referList);
             PostCommand(editor, Item::kOkId);
         },
         Close()});
    const auto types = Records<WheelTypeRecord>(root.ReadFile(kWheelTypePath));
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(Name(types[0].toleranceName), u"Tol 0");
    // The entry's profile is on another card: its name is offered and kept.
    EXPECT_EQ(shownRefer, u"Ref wheel");
    EXPECT_EQ(Name(types[0].referName), u"Ref wheel");
}

TEST_F(TypeCatalog, EveryWayOutOfTheEditorLeavesTheSettingsFileByteForByte)
{
    const WheelTypeRecord a = WheelType(u"A", 1000), b = WheelType(u"B", 2000);
    // A settings file longer than the block: its tail must survive as well.
    const std::string settings = Bytes(Wheel(1, a)) + std::string("tail of a longer file");
    auto opened = [](bool edit) -> std::vector<Step> {
        if (!edit) return {Command(Catalog::kNewId)};
        return {Select(1), Command(Catalog::kEditId)};
    };
    // Every way runs the three settings screens first, which write the file.
    const std::vector<Step> screens = {Command(Item::kDimensionsId), Command(Item::kOptionsId),
                                       Command(Item::kSwitchesId)};
    std::vector<DWORD> power;
    bool openAfterPower = false;
    const std::vector<std::pair<const char*, std::vector<Step>>> ways = {
        {"confirm", {NameAndOk(u"C")}},
        {"a refused confirm, then back", {NameAndOk(u"A"), Answer(true), Command(Item::kBackId)}},
        {"the keyboard cancelled, then back", {[](HWND editor) {
                                                   AwaitKeyboardReady();
                                                   TapWindow(GetDlgItem(editor, Item::kNameBoxId));
                                               },
                                               CancelKeyboard(), Command(Item::kBackId)}},
        {"back", {Command(Item::kBackId)}},
        {"close", {Close()}},
        {"the power key", {[](HWND editor) {
                               qplat::ClearPowerStateRequests();
                               PostMessageW(editor, WM_POWERKEY, 0, 0);
                           },
                           Answer(true),
                           [&](HWND editor) {
                               power = qplat::PowerStateRequests();
                               // The handheld sleeps; the editor is there when it wakes.
                               openAfterPower = Item::Current() != nullptr && editor == Item::Current()->m_hWnd;
                               PostCommand(editor, Item::kBackId);
                           }}},
    };
    for (bool edit : {false, true}) {
        for (const auto& [way, steps] : ways) {
            WriteWheelTypes({a, b});
            root.WriteFile(kParamPath, settings);
            power.clear();
            openAfterPower = false;
            Run(Join(Join(opened(edit), Join(screens, steps)), {Close()}));
            EXPECT_EQ(root.ReadFile(kParamPath), settings) << (edit ? "edit, " : "new, ") << way;
            if (std::string(way) == "the power key") {
                EXPECT_EQ(power, std::vector<DWORD>{POWER_STATE_OFF}) << (edit ? "edit" : "new");
                EXPECT_TRUE(openAfterPower) << (edit ? "edit" : "new");
            }
        }
    }
}

// ---------------------------------------------------------------- the editor's name

TEST_F(TypeCatalog, TheEditorRefusesANameAnotherEntryHas)
{
    WriteWheelTypes({WheelType(u"A", 1000), WheelType(u"B", 2000)});
    WriteParams(Wheel(1, WheelType(u"A", 1000)));
    const std::string before = root.ReadFile(kWheelTypePath);
    std::u16string newMessage, editMessage;
    // The new entry and entry A named B; then A's own name again, which is accepted.
    Run({Command(Catalog::kNewId), NameAndOk(u"B"), Answer(true, &newMessage), Command(Item::kBackId), Select(0),
         Command(Catalog::kEditId), NameAndOk(u"B"), Answer(true, &editMessage), NameAndOk(u"A"), Close()});
    EXPECT_EQ(newMessage, Text(50050));
    EXPECT_EQ(editMessage, Text(50050));
    const auto types = Records<WheelTypeRecord>(root.ReadFile(kWheelTypePath));
    ASSERT_EQ(types.size(), 2u);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Name(types[0].name), u"A"), FIELD_IS(Name(types[1].name), u"B"),
                                 FIELD_IS(types[0].dimensions[DIM_L16], 0)));
}

TEST_F(TypeCatalog, WithAnEmptyCatalogueAnyNameIsAcceptedAndTheFileMade)
{
    ASSERT_FALSE(root.Exists(kDiskTypePath));
    WriteParams(Params(4, 1));
    Run({Command(Catalog::kNewId), NameAndOk(u"A name far longer than the forty-nine characters a field keeps"),
         Close()});
    const auto types = Records<DiskTypeRecord>(root.ReadFile(kDiskTypePath));
    ASSERT_EQ(types.size(), 1u);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Name(types[0].name), u"A name far longer than the forty-nine characters "),
                                 FIELD_IS(types[0].spare[0], 0), FIELD_IS(types[0].spare[1], 0)));
}

TEST_F(TypeCatalog, TheKeyboardOpensOnlyForATapAfterTheFirstFocus)
{
    WriteWheelTypes({});
    WriteParams(Params(1, 1));
    bool readyAtOpen = true;
    HWND focusAtOpen = nullptr, nameBox = nullptr, focusAfter = nullptr;
    std::u16string box;
    int keyboards = 0;
    Run({Command(Catalog::kNewId),
         [&](HWND editor) {
             readyAtOpen = Item::Current()->KeyboardReady();
             nameBox = GetDlgItem(editor, Item::kNameBoxId);
             focusAtOpen = GetFocus();
             AwaitKeyboardReady();
             TapWindow(nameBox);
         },
         [&](HWND keyboard) {
             keyboards += GetDlgItem(keyboard, kKeyboardEdit) != nullptr;
             Type(u"")(keyboard);
         },
         [&](HWND editor) {
             box = WindowText(nameBox);
             focusAfter = GetFocus();
             PostCommand(editor, Item::kBackId);
         },
         Close()});
    EXPECT_FALSE(readyAtOpen);
    EXPECT_EQ(focusAtOpen, nameBox) << "the first focus opens no keyboard";
    EXPECT_EQ(keyboards, 1);
    EXPECT_EQ(box, Text(40426)) << "an empty name becomes the default name";
    EXPECT_NE(focusAfter, nameBox);
}

// ---------------------------------------------------------------- looking

TEST_F(TypeCatalog, SnapshotsOfTheCatalogueAndTheEditor)
{
    const WheelTypeRecord a = WheelType(u"Freight wheel", 1000);
    WriteWheelTypes({a, WheelType(u"Passenger wheel", 2000)});
    WriteParams(Wheel(1, a));
    bool catalogue = false, editor = false;
    COLORREF labelInk = 0xFFFFFF;
    Run({[&](HWND) {
             catalogue = SaveShot("type_catalogue.png");
         },
         Select(0), Command(Catalog::kEditId),
         [&](HWND dlg) {
             editor = SaveShot("type_item.png");
             // Some ink of the label "Name" left of the name box.
             POINT o{0, 0};
             ClientToScreen(dlg, &o);
             for (int y = 70; y < 90 && labelInk == 0xFFFFFF; ++y)
                 for (int x = 10; x < 60 && labelInk == 0xFFFFFF; ++x)
                     if (qplat::ScreenPixel(o.x + x, o.y + y) != 0xFFFFFFu) labelInk = qplat::ScreenPixel(o.x + x, o.y + y);
             PostCommand(dlg, Item::kBackId);
         },
         Close()});
    EXPECT_TRUE(catalogue);
    EXPECT_TRUE(editor);
    EXPECT_NE(labelInk, 0xFFFFFFu);

    UseLanguage("RUS.LNG");
    std::u16string title;
    Run({[&](HWND) {
             catalogue = SaveShot("type_catalogue_ru.png");
         },
         Command(Catalog::kNewId),
         [&](HWND dlg) {
             editor = SaveShot("type_item_ru.png");
             title = Item::Current()->TitleText();
             PostCommand(dlg, Item::kBackId);
         },
         Close()});
    EXPECT_TRUE(catalogue);
    EXPECT_TRUE(editor);
    EXPECT_EQ(title, u"Новый тип колеса");
}

}  // namespace
