// The start screen in-process: the program-wide objects, the start-up on a
// fresh card, the status area by device type and link state, the power key
// and the exit button, the orderly close the window system asks for, and the
// link monitor handed back to the start screen after every screen.

#include <string>
#include <vector>

#include "tests/shell/ShellTestSupport.h"
#include "ui/OwnerButton.h"
#include "ui/StatusImages.h"

using namespace qtest;

namespace {

class StartScreen : public qtest::ShellTest {
protected:
    // The status area as the link monitor would leave it, without its thread.
    void ShowLink(BYTE connected, BYTE battery, BYTE rssi = static_cast<BYTE>(-20))
    {
        g_linkMonitor.Stop();
        g_linkMonitor.m_connected.store(connected);
        g_linkMonitor.m_battery.store(battery);
        g_linkMonitor.m_mainsSeen.store(0);
        g_linkMonitor.m_rssi.store(rssi);
        Repaint();
    }
};

std::vector<std::string>& Trace()
{
    static std::vector<std::string> trace;
    return trace;
}

TEST_F(StartScreen, ProgramObjectsAreBuiltInOrderAndDestroyedInReverse)
{
    Trace().clear();
    BuildProgramObjects([](const char* name, bool built) { Trace().push_back((built ? "+" : "-") + std::string(name)); });
    DestroyProgramObjects();
    const std::vector<std::string> order = {
        "g_journalFilter", "g_messageBox", "g_mainButtons", "g_paramMenuButtons", "g_dataMenuButtons", "g_settingsMenuButtons",
        "g_language", "g_paramFile", "g_linkMonitor", "g_cardWatch", "g_programFolder", "g_measureController",
        "g_scheme", "g_schemeFile", "g_language2", "g_language3", "g_language4", "g_schemeView", "g_logFolder"};
    std::vector<std::string> expected;
    for (const std::string& n : order) expected.push_back("+" + n);
    for (auto it = order.rbegin(); it != order.rend(); ++it) expected.push_back("-" + *it);
    EXPECT_EQ(Trace(), expected);
    EXPECT_FALSE(ProgramObjectsBuilt());
}

TEST_F(StartScreen, AFreshCardGetsTheFactorySettingsAndTheSixButtons)
{
    ASSERT_FALSE(root.Exists(kParamPath));
    ASSERT_NE(Start(), nullptr);
    EXPECT_EQ(root.ReadFile(kParamPath).size(), PARAM_BLOCK_SIZE);
    EXPECT_EQ(g_paramBlock.deviceType, 1);
    EXPECT_EQ(g_mainScreenActive, 1);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 480);
    EXPECT_EQ(r.bottom - r.top, 272);

    struct Expect {
        int id, x, y, w, h;
    };
    const Expect expect[] = {{129, 435, 11, 31, 31},  {130, 18, 60, 141, 51},  {131, 169, 60, 141, 51},
                             {132, 320, 60, 141, 51}, {133, 18, 126, 141, 51}, {134, 18, 192, 141, 51}};
    for (int slot = 0; slot < 6; ++slot) {
        SCOPED_TRACE(slot);
        HWND b = g_mainButtons[slot].m_hWnd;
        EXPECT_EQ(GetDlgCtrlID(b), expect[slot].id);
        ExpectPlaced(main, b, expect[slot].x, expect[slot].y, expect[slot].w, expect[slot].h);
    }
    EXPECT_EQ(g_mainButtons[6].m_hWnd, nullptr) << "the seventh slot stays unused";
    EXPECT_STREQ(qplat::ToUtf8(g_mainButtons[1].m_caption).c_str(), "Settings");
    EXPECT_TRUE(g_linkMonitor.ThreadRunning());
    EXPECT_FALSE(g_cardWatch.ThreadRunning()) << "the factory USB mode is serial: no card watch";
    Close();
    WriteParams(root, [](ParamBlock& b) { b.usbMode = 0; });
    ASSERT_NE(Start(), nullptr);
    EXPECT_TRUE(g_cardWatch.ThreadRunning()) << "mass storage";
}

TEST_F(StartScreen, StatusAreaFollowsDeviceTypeAndLink)
{
    for (int type = 1; type <= 4; ++type) {
        for (BYTE linked : {BYTE(0), BYTE(1)}) {
            SCOPED_TRACE("device type " + std::to_string(type) + (linked ? ", link up" : ", link down"));
            WriteParams(root, [&](ParamBlock& b) {
                b.deviceType = static_cast<BYTE>(type);
                const char16_t serial[] = u"LX412 54321";
                std::memcpy(SensorRecordOf(&b, type)->name, serial, sizeof serial);
            });
            ASSERT_NE(Start(), nullptr);
            ShowLink(linked, 75);
            Snapshot("shell_start-type" + std::to_string(type) + (linked ? "-up.png" : "-down.png"));

            // The handheld's battery with its percent text, at 390,125.
            EXPECT_TRUE(AnyPixel(RECT{392, 130, 436, 170}, Dark));
            EXPECT_TRUE(AnyPixel(RECT{400, 187, 430, 198}, Dark)) << "75 %";
            // The sensor's item only for the laser heads; with no reading the
            // picture without a level and no percent.
            const bool sensorItem = type == 1 || type == 4;
            EXPECT_EQ(AnyPixel(RECT{300, 125, 348, 173}, Dark), sensorItem);
            EXPECT_FALSE(AnyPixel(RECT{300, 187, 348, 198}, Dark)) << "no percent without a reading";
            // Link text and serial beside the link picture at 310,210.
            EXPECT_TRUE(AnyPixel(RECT{370, 215, 470, 227}, Dark));
            EXPECT_TRUE(AnyPixel(RECT{370, 227, 440, 240}, Dark)) << "the serial";
            // Signal bars only while linked, right of the picture.
            SIZE link = GetBitmapSize(g_statusImages.m_link[0]);
            const int barsX = 310 + link.cx + 4;
            EXPECT_EQ(Pixel(barsX + 1, 210 + link.cy - 2), linked ? COLORREF(0xB8501B) : COLORREF(0xFFFFFF));
            EXPECT_EQ(IsWindowEnabled(g_mainButtons[5].m_hWnd) != FALSE, linked == 1);
            Close();
        }
    }
}

TEST_F(StartScreen, ADeviceTypeWithoutASerialFieldDrawsNone)
{
    WriteParams(root, [](ParamBlock& b) { b.deviceType = 9; });
    ASSERT_NE(Start(), nullptr);
    ShowLink(0, 50);
    EXPECT_TRUE(AnyPixel(RECT{370, 215, 470, 227}, Dark)) << "the link text";
    EXPECT_FALSE(AnyPixel(RECT{370, 227, 470, 240}, Dark)) << "no serial";
    EXPECT_FALSE(AnyPixel(RECT{300, 125, 348, 173}, Dark)) << "no sensor item";
}

TEST_F(StartScreen, RussianTextsRender)
{
    LayOutCard(root, "RUS.LNG");
    ASSERT_NE(Start(), nullptr);
    ShowLink(1, 40);
    Snapshot("shell_start-russian.png");
    EXPECT_TRUE(AnyPixel(RECT{65, 7, 425, 30}, Blue)) << "the title";
    EXPECT_NE(qplat::ToUtf8(g_mainButtons[1].m_caption), "Settings");
    EXPECT_NE(qplat::ToUtf8(g_mainButtons[1].m_caption), "40000");
}

TEST_F(StartScreen, PowerKeyAsksOnceAndYesClosesAndSwitchesOff)
{
    ASSERT_NE(Start(), nullptr);
    qplat::ClearPowerStateRequests();
    Then([] {
        HWND box = FrontDialog();
        // A second power key while the question is open goes to the
        // question, which does not ask again.
        qplat::PowerKey(WM_POWERKEY);
        qplat::ProcessPendingMessages();
        EXPECT_EQ(FrontDialog(), box);
        TapWindow(GetDlgItem(box, 344));
    });
    SendMessageW(main, WM_POWERKEY_SHELL, 0, 0);
    EXPECT_TRUE(qplat::PowerStateRequests().empty());
    EXPECT_TRUE(IsWindow(main));

    Then([] { TapWindow(GetDlgItem(FrontDialog(), 343)); });
    SendMessageW(main, WM_POWERKEY, 0, 0);
    ASSERT_EQ(qplat::PowerStateRequests().size(), 1u);
    EXPECT_FALSE(IsWindow(main)) << "the window closed before the device went off";
    EXPECT_FALSE(g_linkMonitor.ThreadRunning());
}

TEST_F(StartScreen, ExitButtonAsksTheSameQuestion)
{
    ASSERT_NE(Start(), nullptr);
    qplat::ClearPowerStateRequests();
    bool asked = false;
    // The tap is queued first, so the action runs inside the question.
    TapWindow(g_mainButtons[0].m_hWnd);
    Then([&] {
        asked = GetDlgItem(FrontDialog(), 345) != nullptr;
        TapWindow(GetDlgItem(FrontDialog(), 343));
    });
    PumpUntil([&] { return !IsWindow(main); }, 2000);
    EXPECT_TRUE(asked);
    EXPECT_EQ(qplat::PowerStateRequests().size(), 1u);
    EXPECT_FALSE(IsWindow(main));
}

TEST_F(StartScreen, AWindowSystemCloseTakesTheOrderlyPath)
{
    ASSERT_NE(Start(), nullptr);
    qplat::ClearPowerStateRequests();
    PostMessageW(main, WM_CLOSE, 0, 0);
    PumpUntil([&] { return !IsWindow(main); }, 2000);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(qplat::PowerStateRequests().empty()) << "no power action";
    EXPECT_FALSE(g_linkMonitor.ThreadRunning());
    EXPECT_FALSE(g_cardWatch.ThreadRunning());
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(StartScreen, ACloseWhileAMenuIsOpenEndsTheMenuAndRestartsNothing)
{
    ASSERT_NE(Start(), nullptr);
    Then([&] { PostMessageW(main, WM_CLOSE, 0, 0); });
    SendMessageW(main, WM_COMMAND, CMD_SETTINGS_MENU, 0);
    PumpUntil([&] { return !IsWindow(main); }, 2000);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(g_linkMonitor.ThreadRunning()) << "the monitor is not started again for a closed program";
}

TEST_F(StartScreen, MenusStopTheMonitorAndTheStartScreenTakesItBack)
{
    ASSERT_NE(Start(), nullptr);
    for (int command : {CMD_SETTINGS_MENU, CMD_PARAM_MENU, CMD_DATA_MENU}) {
        SCOPED_TRACE(command);
        bool stopped = false;
        int active = -1;
        Then([&] {
            HWND menu = FrontDialog();
            stopped = !g_linkMonitor.ThreadRunning();
            active = g_mainScreenActive;
            // A screen on the way makes itself the monitor's owner, as the
            // series screen does.
            g_linkMonitor.Start(menu);
            TapWindow(GetDlgItem(menu, command == CMD_SETTINGS_MENU ? 417 : command == CMD_PARAM_MENU ? 163 : 167));
        });
        SendMessageW(main, WM_COMMAND, command, 0);
        EXPECT_TRUE(stopped);
        EXPECT_EQ(active, 0);
        EXPECT_EQ(g_mainScreenActive, 1);
        EXPECT_TRUE(g_linkMonitor.ThreadRunning());
        EXPECT_EQ(g_linkMonitor.m_owner.load(), main);
    }
}

TEST_F(StartScreen, MeasuringRoadThatEndsAtOnceLeavesTheStartScreenAsItWas)
{
    ASSERT_NE(Start(), nullptr);
    // No head on the link: the road ends with its message.
    Then([] { Press(FrontDialog(), kBoxFirstButton); });
    SendMessageW(main, WM_COMMAND, CMD_MEASURE, 0);
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(g_mainScreenActive, 1);
    EXPECT_TRUE(g_linkMonitor.ThreadRunning());
    EXPECT_EQ(g_linkMonitor.m_owner.load(), main);
}

}  // namespace
