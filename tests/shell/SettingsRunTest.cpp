// The settings screens through the menus of the program itself, run headless
// from a script: the units go to inches, a dimension is edited, a parameter
// switched on, a tolerance set made and made current. Then a measurement of
// the S1002 profile by the simulated head is graded with what the run left on
// the card: the new limits, in the new units.

#include <filesystem>

#include "measurement/ParamSave.h"
#include "settings/CatalogFiles.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/TapScript.h"

namespace {

namespace fs = std::filesystem;

// The flange angle (value 11), graded against limit entry 8 into status 5.
constexpr int kAngle = 11;
constexpr int kAngleStatus = 5;

// One measurement of the S1002 profile by a simulated head, launched and
// graded as the measuring road does it, with the settings and tolerance sets
// on the card.
WheelResult MeasureS1002()
{
    qplat::ResetCommDevices();
    qplat::SetCommTimeoutScale(25);
    InitCommonControls();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ctltest::ParentProc;
    wc.lpszClassName = u"SettingsRunParent";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, u"SettingsRunParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr,
                                  nullptr, nullptr, nullptr);
    WheelResult result{};
    {
        sensortest::SimPort sim(ctltest::S1002Head());
        EXPECT_TRUE(qplat::BindCommPort(4, sim.server.Path()));
        HANDLE port = nullptr;
        CSensorLink link;
        EXPECT_EQ(1, link.OpenPort(4, &port));
        auto controller = std::make_unique<CMeasureController>();
        EXPECT_EQ(1, controller->AttachPort(port));
        controller->LoadQavTolerances();
        controller->ApplyParams();
        EXPECT_EQ(1, controller->ReadHeadSettings(parent, nullptr));
        EXPECT_NE(0, controller->MeasureWheel(parent, nullptr, 0, 0));
        result = controller->m_result;
        controller.reset();
        if (port) CloseHandle(port);
    }
    DestroyWindow(parent);
    qplat::SetCommTimeoutScale(100);
    qplat::ResetCommDevices();
    return result;
}

class SettingsRun : public qtest::ProgramRunTest {
protected:
    void SetUp() override
    {
        qtest::ProgramRunTest::SetUp();
        // The pictures stay for the people looking at them.
        dir = fs::path(QAV5_BINARY_DIR) / "settings_run";
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
};

TEST_F(SettingsRun, TheMenusSetUpTheGradingOfAnS1002Measurement)
{
    // Start screen buttons: settings menu, parameter menu, data menu.
    const POINT settingsMenu{87, 84}, paramMenu{238, 84}, dataMenu{389, 84};
    qtest::TapScript s;
    // Units: inches.
    s.Tap(settingsMenu.x, settingsMenu.y).TapBox(50, 136, 161, 51).Snap(Snap("1_units"));
    s.TapBox(70, 145, 300, 20).Snap(Snap("2_units_inches")).Confirm().Back();
    // The dimension table: L3 (row 2) to 0.4 inches.
    s.Tap(paramMenu.x, paramMenu.y).TapBox(159, 197, 161, 51).Snap(Snap("3_table"));
    s.TapTwice(200, 135).Snap(Snap("4_keyboard")).Backspace(5).Type(u"0.4").Snap(Snap("5_typed")).KeyboardOk();
    s.Snap(Snap("6_table_edited")).Confirm();
    // The switches: the page below the first shows 823, the flange angle,
    // fourth.
    s.TapBox(159, 136, 161, 51).Snap(Snap("7_switches")).Tap(458, 200).Snap(Snap("8_switches_down"));
    s.TapTwice(150, 156).Snap(Snap("9_angle_on")).Confirm().Back();
    // A new tolerance set: the flange height between 1 and 1.2 inches, the
    // flange angle up to 60 degrees (rows 0 and 3 of the value list).
    s.Tap(dataMenu.x, dataMenu.y).TapBox(261, 75, 161, 51).Snap(Snap("10_tolerances")).TapBox(20, 223, 141, 41);
    s.Snap(Snap("11_new_set"));
    s.TapTwice(143, 123).Backspace(5).Type(u"1").KeyboardOk();
    s.TapTwice(353, 123).Backspace(5).Type(u"1.2").KeyboardOk();
    s.TapTwice(353, 189).Backspace(5).Type(u"60").KeyboardOk().Snap(Snap("12_limits"));
    s.TapBox(70, 223, 141, 41).Snap(Snap("13_saved"));
    // Made current: the set is row 0 of the set list.
    s.Tap(60, 111).TapBox(20, 53, 141, 41).Snap(Snap("14_current")).Back().Back().Snap(Snap("15_start"));

    // With the factory settings (no tolerance set, the flange angle switched
    // off) the profile is graded nowhere.
    qtest::WriteParams(root, [](ParamBlock&) {});
    const WheelResult before = MeasureS1002();
    EXPECT_NEAR(before.values[0], 28000, 50);
    EXPECT_EQ(before.values[kAngle], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(before.status), sizeof before.status),
              std::string(sizeof before.status, '\0'));

    ASSERT_EQ(Run(s.Text()), 0);

    const ParamBlock p = qtest::StoredParams();
    CLanguage texts;
    texts.Load();
    EXPECT_EQ(p.unitSystem, 2);
    EXPECT_EQ(p.dimensions[DIM_L3], 10160) << "0.4 inches";
    EXPECT_EQ(p.switches[823 - 820], 2);
    EXPECT_EQ(qplat::FieldText(p.qavToleranceName, PARAM_NAME_CHARS), std::u16string(texts.GetText(40415)));
    const std::string sets = root.ReadFile(u"\\SDMMC\\Autorun\\Dopusk.qav");
    ASSERT_EQ(sets.size(), sizeof(DopuskQavRecord));
    DopuskQavRecord set{};
    std::memcpy(&set, sets.data(), sizeof set);
    EXPECT_EQ(set.lower[0], 25400);
    EXPECT_EQ(set.upper[0], 30480);
    EXPECT_EQ(set.upper[8], 60000) << "degrees in thousandths";

    // The same profile now: its flange height of 28 mm within 1 to 1.2
    // inches, its flange angle of about 60.9 degrees over 60.
    const WheelResult after = MeasureS1002();
    EXPECT_NEAR(after.values[0], 28000, 50);
    EXPECT_EQ(after.status[0], kStatusInTolerance);
    EXPECT_NEAR(after.values[kAngle], 60879, 200);
    EXPECT_EQ(after.status[kAngleStatus], kStatusOutOfTolerance);
}

}  // namespace
