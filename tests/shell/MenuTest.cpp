// The three menus: their buttons by device type, the settings block read
// again after every screen they ran (through a scratch block, so a failed
// read keeps the running block), and the screens they open: a new current
// sensor leaves the link down, so the monitor connects to it. What a new
// language or device type shows on return is compared pixel by pixel in
// StylusRunTest.cpp.

#include "scheme/ui/ReferListDlg.h"
#include "scheme/ui/SchemeListDlg.h"
#include "sensor/ui/BTDeviceListDlg.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/ui/ScreenTestSupport.h"

using namespace qtest;

namespace {

class Menus : public qtest::ShellTest {
protected:
    // Opens the menu of `command`, runs `inside` with the menu's window, then
    // leaves it by its back button.
    void InMenu(int command, int backId, const std::function<void(HWND)>& inside)
    {
        Then([=] {
            HWND menu = FrontDialog();
            inside(menu);
            TapWindow(GetDlgItem(menu, backId));
        });
        SendMessageW(main, WM_COMMAND, command, 0);
    }
    // Runs the set-clock screen from the settings menu and leaves it.
    void RunClockScreen(HWND menu)
    {
        Then([] { SendMessageW(FrontDialog(), WM_CLOSE, 0, 0); });
        SendMessageW(menu, WM_COMMAND, 419, 0);
    }
};

TEST_F(Menus, ParameterMenuButtonsByDeviceType)
{
    struct Case {
        int type;
        bool options, switches, table;
    };
    for (const Case c : {Case{1, true, true, true}, Case{2, false, true, false}, Case{3, true, true, false},
                         Case{4, true, true, true}}) {
        SCOPED_TRACE(c.type);
        WriteParams(root, [&](ParamBlock& b) { b.deviceType = static_cast<BYTE>(c.type); });
        ASSERT_NE(Start(), nullptr);
        bool options = false, switches = false, table = false;
        InMenu(CMD_PARAM_MENU, 163, [&](HWND menu) {
            options = IsWindowEnabled(GetDlgItem(menu, 165));
            switches = IsWindowEnabled(GetDlgItem(menu, 166));
            table = IsWindowEnabled(GetDlgItem(menu, 164));
        });
        EXPECT_EQ(options, c.options);
        EXPECT_EQ(switches, c.switches);
        EXPECT_EQ(table, c.table);
        Close();
    }
}

TEST_F(Menus, ButtonsSitWhereTheMenusPutThem)
{
    ASSERT_NE(Start(), nullptr);
    struct Expect {
        int id, x, y, w, h;
    };
    auto check = [](HWND menu, const std::vector<Expect>& expect) {
        for (const Expect& e : expect) {
            SCOPED_TRACE(e.id);
            ExpectPlaced(menu, GetDlgItem(menu, e.id), e.x, e.y, e.w, e.h);
        }
    };
    InMenu(CMD_SETTINGS_MENU, 417, [&](HWND menu) {
        check(menu, {{417, 435, 7, 36, 36}, {418, 50, 75, 161, 51}, {599, 50, 136, 161, 51}, {419, 50, 197, 161, 51},
                     {420, 261, 75, 161, 51}, {421, 261, 136, 161, 51}, {598, 261, 197, 161, 51}});
    });
    InMenu(CMD_DATA_MENU, 167, [&](HWND menu) {
        check(menu, {{167, 435, 7, 36, 36}, {168, 50, 75, 161, 51}, {169, 50, 136, 161, 51}, {170, 50, 197, 161, 51},
                     {171, 261, 75, 161, 51}, {172, 261, 136, 161, 51}});
    });
    EXPECT_EQ(g_settingsMenuButtons[1].m_captionLeft, 45) << "settings captions start 45 px in";
    EXPECT_EQ(g_dataMenuButtons[1].m_captionLeft, 0);
}

TEST_F(Menus, TheDataMenuNamesTypesAndReferencesByDeviceFamily)
{
    WriteParams(root, [](ParamBlock& b) { b.deviceType = 4; });
    ASSERT_NE(Start(), nullptr);
    CLanguage texts;
    texts.Load();
    const std::u16string discTypes = texts.GetText(40028);
    InMenu(CMD_DATA_MENU, 167, [](HWND) {});
    EXPECT_EQ(std::u16string(g_dataMenuButtons[5].m_caption), discTypes);
}

TEST_F(Menus, TheSettingsAreReadAgainAfterEveryScreenAndAFailedReadKeepsThem)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(g_paramBlock.deviceType, 1);
    InMenu(CMD_SETTINGS_MENU, 417, [&](HWND menu) {
        // Another screen changed the file behind the running block.
        WriteParams(root, [](ParamBlock& b) {
            b.deviceType = 4;
            b.unitSystem = 2;
        });
        RunClockScreen(menu);
        EXPECT_EQ(g_paramBlock.deviceType, 4);
        EXPECT_EQ(g_paramBlock.unitSystem, 2);

        // The file is gone: the running block stays as it was.
        DeleteFileW(kParamPath);
        RunClockScreen(menu);
        EXPECT_EQ(g_paramBlock.deviceType, 4);
        EXPECT_EQ(g_paramBlock.unitSystem, 2);
    });
    EXPECT_EQ(g_mainScreenActive, 1);
}

TEST_F(Menus, PowerKeyInAMenuClosesThePortAndTheMenuFirst)
{
    ASSERT_NE(Start(), nullptr);
    qplat::ClearPowerStateRequests();
    bool menuClosedFirst = false;
    Then([&] {
        HWND menu = FrontDialog();
        Then([] { TapWindow(GetDlgItem(FrontDialog(), 343)); });
        SendMessageW(menu, WM_POWERKEY, 0, 0);
        menuClosedFirst = !IsWindow(menu) || !IsWindowVisible(menu);
    });
    SendMessageW(main, WM_COMMAND, CMD_DATA_MENU, 0);
    EXPECT_TRUE(menuClosedFirst);
    EXPECT_EQ(qplat::PowerStateRequests().size(), 1u);
    EXPECT_EQ(g_linkMonitor.m_comPort.load(), nullptr);
}

TEST_F(Menus, TheSettingsMenuOpensThePairedSensorsAndANewSensorIsConnectedAnew)
{
    ASSERT_NE(Start(), nullptr);
    ASSERT_EQ(g_paramBlock.deviceType, 1);
    bool opened = false;
    BYTE linkAfter = 1;
    InMenu(CMD_SETTINGS_MENU, 417, [&](HWND menu) {
        Then([&] {
            HWND dlg = FrontDialog();
            opened = CBTDeviceListDlg::Current() != nullptr && CBTDeviceListDlg::Current()->m_hWnd == dlg;
            Press(dlg, CBTDeviceListDlg::kFirstRadioId + 3);
            Press(dlg, CBTDeviceListDlg::kBackId);
        });
        g_linkMonitor.m_connected.store(1);
        SendMessageW(menu, WM_COMMAND, 420, 0);
        linkAfter = g_linkMonitor.m_connected.load();
        EXPECT_EQ(g_paramBlock.deviceType, 4) << "the running settings were read again";
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(linkAfter, 0) << "the monitor connects to the new type's sensor";
}

TEST_F(Menus, TheDataMenuOpensTheReferenceAndSchemeLists)
{
    ASSERT_NE(Start(), nullptr);
    bool refer = false, schemes = false;
    InMenu(CMD_DATA_MENU, 167, [&](HWND menu) {
        Then([&] {
            refer = CReferListDlg::Current() != nullptr && CReferListDlg::Current()->m_hWnd == FrontDialog();
            Press(FrontDialog(), CReferListDlg::kBackId);
        });
        SendMessageW(menu, WM_COMMAND, 169, 0);
        Then([&] {
            schemes = CSchemeListDlg::Current() != nullptr && CSchemeListDlg::Current()->m_hWnd == FrontDialog();
            Press(FrontDialog(), CSchemeListDlg::kBackId);
        });
        SendMessageW(menu, WM_COMMAND, 170, 0);
    });
    EXPECT_TRUE(refer);
    EXPECT_TRUE(schemes);
}

}  // namespace
