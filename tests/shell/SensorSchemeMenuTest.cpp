// The menus open the paired-sensor list (settings menu) and the reference and
// scheme lists (data menu); a new current sensor leaves the link down, so the
// monitor connects to it, and the running settings follow the screen.

#include "scheme/ui/ReferListDlg.h"
#include "scheme/ui/SchemeListDlg.h"
#include "sensor/ui/BTDeviceListDlg.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/ui/ScreenTestSupport.h"

using qtest::FrontDialog;
using qtest::Press;
using qtest::TapWindow;
using qtest::Then;

namespace {

class MenuScreens : public qtest::ShellTest {
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
};

TEST_F(MenuScreens, TheSettingsMenuOpensThePairedSensorsAndANewSensorIsConnectedAnew)
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

TEST_F(MenuScreens, TheDataMenuOpensTheReferenceAndSchemeLists)
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
