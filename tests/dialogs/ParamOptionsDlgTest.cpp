// The option groups against "param.qav": the radios of each device type, which
// of them the stored bytes check (and that no byte reaches into another
// group), what OK stores and what close leaves, and the step dial.

#include "dialogs/ParamOptionsDlg.h"

#include "tests/dialogs/SettingsScreenTestSupport.h"

using namespace qtest;

namespace {

using Dlg = CParamOptionsDlg;

const std::vector<int> kWheelRadios = {459, 460, 461, 462, 463, 465, 466, 665, 666, 667, 467, 468, 668, 669};
const std::vector<int> kDiscRadios = {755, 756, 753, 754};
const std::vector<int> kStepRadios = {456, 457, 458};

std::vector<int> AllRadios()
{
    std::vector<int> all = kWheelRadios;
    all.insert(all.end(), kDiscRadios.begin(), kDiscRadios.end());
    all.insert(all.end(), kStepRadios.begin(), kStepRadios.end());
    all.push_back(464);
    return all;
}

std::vector<int> Present(HWND dlg)
{
    std::vector<int> ids;
    for (int id : AllRadios())
        if (GetDlgItem(dlg, id)) ids.push_back(id);
    return ids;
}

std::vector<int> Checked(HWND dlg)
{
    std::vector<int> ids;
    for (int id : AllRadios())
        if (GetDlgItem(dlg, id) && IsDlgButtonChecked(dlg, id) == BST_CHECKED) ids.push_back(id);
    return ids;
}

class ParamOptions : public SettingsScreenTest {
protected:
    BOOL Run(std::vector<Step> steps) { return RunWith<Dlg>(std::move(steps)); }
    // Settings naming a wheel type, with every option at a value the screen
    // writes itself.
    ParamBlock Device(BYTE deviceType, BYTE unit)
    {
        ParamBlock p = Params(deviceType, unit);
        p.option1 = 2;
        p.option2 = 3;
        p.option3 = 1;
        p.option4 = 2;
        p.option5 = 1;
        p.option6 = 2;
        p.gaugeSteps = 3;
        p.discHeadMode = 2;
        p.discOption1 = 1;
        CopyName(p.wheelTypeName, u"Type 1");
        CopyName(p.discTypeName, u"Disc 1");
        return p;
    }
    // The radios checked, taken just before OK is pressed.
    static Step CheckedThenOk(std::vector<int>* checked)
    {
        return [checked](HWND dlg) {
            *checked = Checked(dlg);
            PostCommand(dlg, Dlg::kOkId);
        };
    }
    // The radios checked for the settings.
    std::vector<int> CheckedFor(const ParamBlock& p)
    {
        WriteParams(p);
        std::vector<int> checked;
        Run({[&](HWND dlg) { checked = Checked(dlg); }, Close()});
        return checked;
    }
};

// ---------------------------------------------------------------- what is shown

TEST_F(ParamOptions, RadiosByDeviceType)
{
    struct Case {
        BYTE deviceType;
        std::vector<int> radios;
        std::vector<int> checked;
    };
    const std::vector<Case> cases = {
        {1, kWheelRadios, {460, 463, 465, 666, 467, 669}},
        {2, {}, {}},
        {3, kStepRadios, {457}},
        {4, kDiscRadios, {756, 753}},
    };
    for (const Case& c : cases) {
        WriteParams(Device(c.deviceType, 1));
        std::vector<int> radios, checked;
        Run({[&](HWND dlg) {
                 radios = Present(dlg);
                 checked = Checked(dlg);
             },
             Close()});
        SCOPED_TRACE(int(c.deviceType));
        EXPECT_EQ(radios, c.radios);
        EXPECT_EQ(checked, c.checked);
    }
}

TEST_F(ParamOptions, AStoredByteChecksOnlyARadioOfItsOwnGroup)
{
    struct Case {
        const char* what;
        void (*set)(ParamBlock&);
        std::vector<int> checked;
    };
    const std::vector<Case> cases = {
        // 810 = 3 would be radio 461, the first of the thickness variants.
        {"810 beyond its group", [](ParamBlock& p) { p.option1 = 3; }, {463, 465, 666, 467, 669}},
        {"810 of 0", [](ParamBlock& p) { p.option1 = 0; }, {463, 465, 666, 467, 669}},
        // 811 = 0 would be radio 460 of the group before.
        {"811 of 0", [](ParamBlock& p) { p.option2 = 0; }, {460, 465, 666, 467, 669}},
        {"811 of 4: no radio of its group", [](ParamBlock& p) { p.option2 = 4; }, {460, 465, 666, 467, 669}},
        // 812 = 3 would be 467 of the averaging group.
        {"812 beyond its group", [](ParamBlock& p) { p.option3 = 3; }, {460, 463, 666, 467, 669}},
        {"813 of 4", [](ParamBlock& p) { p.option4 = 4; }, {460, 463, 465, 467, 669}},
        {"815 of 200", [](ParamBlock& p) { p.option6 = 200; }, {460, 463, 465, 666, 467}},
    };
    for (const Case& c : cases) {
        ParamBlock p = Device(1, 1);
        c.set(p);
        EXPECT_EQ(CheckedFor(p), c.checked) << c.what;
    }
    // The step count: 6 and 3 check their radios, anything else n = 1.
    for (const auto& [steps, radio] : std::vector<std::pair<BYTE, int>>{{1, 456}, {3, 457}, {6, 458}, {2, 456}, {0, 456}}) {
        ParamBlock p = Device(3, 1);
        p.gaugeSteps = steps;
        EXPECT_EQ(CheckedFor(p), std::vector<int>{radio}) << int(steps);
    }
    // The disc groups.
    ParamBlock d = Device(4, 1);
    d.discHeadMode = 1;
    d.discOption1 = 2;
    EXPECT_EQ(CheckedFor(d), (std::vector<int>{755, 754}));
    d.discHeadMode = 0;
    EXPECT_EQ(CheckedFor(d), (std::vector<int>{754}));
}

// ---------------------------------------------------------------- OK and close

TEST_F(ParamOptions, OkWithoutAChangeKeepsEveryByteAndTheWheelType)
{
    for (BYTE unit : {1, 2})
        for (BYTE device : {1, 2, 3, 4})
            ExpectOkKeeps<Dlg>(Device(device, unit),
                               "unit " + std::to_string(unit) + " device " + std::to_string(device));
    // The device without groups saves even bytes no screen writes unchanged.
    ParamBlock odd = Device(2, 1);
    odd.option1 = 9;
    odd.gaugeSteps = 2;
    ExpectOkKeeps<Dlg>(odd, "bytes no screen writes");
}

TEST_F(ParamOptions, TapsStoreTheChosenValuesAndClearTheWheelType)
{
    for (BYTE unit : {1, 2}) {
        const ParamBlock before = Device(1, unit);
        WriteParams(before);
        Run({Tap(459), Tap(461), Tap(466), Tap(667), Tap(468), Tap(668), Command(Dlg::kOkId)});
        ExpectStored(before, [](ParamBlock& p) {
            p.option1 = 1;
            p.option2 = 1;
            p.option3 = 2;
            p.option4 = 3;
            p.option5 = 2;
            p.option6 = 1;
        });
    }
    // The disc groups, and the wheel type name goes for them too.
    const ParamBlock disc = Device(4, 1);
    WriteParams(disc);
    std::vector<int> checked;
    Run({Tap(755), Tap(754), CheckedThenOk(&checked)});
    EXPECT_EQ(checked, (std::vector<int>{755, 754}));
    ExpectStored(disc, [](ParamBlock& p) {
        p.discHeadMode = 1;
        p.discOption1 = 2;
    });
}

TEST_F(ParamOptions, TheFourthThicknessVariantIsKeptUntilAnotherIsChosen)
{
    ParamBlock p = Device(1, 1);
    p.option2 = 4;
    WriteParams(p);
    Run({Tap(460), Command(Dlg::kOkId)});  // another group only; 810 was 2 already
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p)) << "811 keeps 4";

    std::vector<int> checked;
    Run({Tap(462), Tap(461), Tap(463), CheckedThenOk(&checked)});
    EXPECT_EQ(checked, (std::vector<int>{460, 463, 465, 666, 467, 669}));
    ExpectStored(p, [](ParamBlock& e) { e.option2 = 3; });
}

TEST_F(ParamOptions, AGroupWithNoRadioCheckedStoresItsLastValue)
{
    ParamBlock p = Device(1, 1);
    p.option1 = 0;
    p.option3 = 7;
    p.option4 = 0;
    WriteParams(p);
    Run({Command(Dlg::kOkId)});
    ExpectStored(p, [](ParamBlock& e) {
        e.option1 = 2;
        e.option3 = 2;
        e.option4 = 3;
    });
}

TEST_F(ParamOptions, TheStepCountOfTwoBecomesOne)
{
    ParamBlock p = Device(3, 1);
    p.gaugeSteps = 2;
    WriteParams(p);
    Run({Command(Dlg::kOkId)});
    ExpectStored(p, [](ParamBlock& e) { e.gaugeSteps = 1; });
}

TEST_F(ParamOptions, AStepTapChangesTheDialAtOnceAndCloseWritesNothing)
{
    const ParamBlock before = Device(3, 1);
    WriteParams(before);
    BYTE atOnce = 0;
    auto markAt = [](int i, int n) {
        POINT c{};
        DialMarkCentre(Dlg::kDialX, Dlg::kDialY, n, i, &c);
        POINT origin{0, 0};
        ClientToScreen(Dlg::Current()->m_hWnd, &origin);
        return qplat::ScreenPixel(origin.x + c.x, origin.y + c.y);
    };
    COLORREF sixth = 0, third = 0;
    EXPECT_TRUE(Run({[&](HWND) {
                         qplat::ProcessPendingMessages();
                         third = markAt(2, 3);
                     },
                     Tap(458),
                     [&](HWND) {
                         atOnce = Dlg::Current()->Params().gaugeSteps;
                         qplat::ProcessPendingMessages();
                         sixth = markAt(5, 6);
                     },
                     Close()}));
    EXPECT_EQ(third, ResultStateColour(1)) << "mark 3 of 3 in state 1";
    EXPECT_EQ(sixth, ResultStateColour(1)) << "mark 6 of 6 after the tap";
    EXPECT_EQ(atOnce, 6);
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before));

    Run({Tap(456), Command(Dlg::kOkId)});
    ExpectStored(before, [](ParamBlock& e) { e.gaugeSteps = 1; });
}

TEST_F(ParamOptions, CloseAndBackWriteNothingAndAFailedSaveIsShown)
{
    const ParamBlock before = Device(1, 1);
    ExpectLeavingKeeps<Dlg>(before, {Tap(459)});

    ExpectRefusedOkStays<Dlg>({Tap(459)}, Dlg::kOkId, Close());
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before));
}

TEST_F(ParamOptions, Snapshots)
{
    const struct {
        BYTE device;
        const char* language;
        const char* file;
    } shots[] = {{1, "ENG.LNG", "param_options_head.png"},
                 {3, "ENG.LNG", "param_options_steps.png"},
                 {4, "ENG.LNG", "param_options_disc.png"},
                 {1, "RUS.LNG", "param_options_head_ru.png"}};
    for (const auto& shot : shots) {
        UseLanguage(shot.language);
        WriteParams(Device(shot.device, 1));
        bool frameCaption = false;
        Run({[&](HWND) {
                 ASSERT_TRUE(SaveShot(shot.file));
                 // The first group's caption on its frame's top edge.
                 frameCaption = AnyPixel({24, 52, 120, 66}, Blue);
             },
             Close()});
        EXPECT_TRUE(frameCaption) << shot.file;
    }
}

}  // namespace
