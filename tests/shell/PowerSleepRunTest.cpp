// The power key through the real program, driven by stylus taps: the power-off
// is a sleep with a dark screen that a tap ends. An ordinary screen is back as
// it was with its data, a menu has closed itself before, and the start screen
// has closed the program before, which then ends once it is woken.

#include <filesystem>
#include <string>

#include "platform/gdi/Surface.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;

// The question's "yes" and "no" buttons and the start screen's settings and parameter
// menus, where the program shows them.
constexpr const char* kYes = "tap 155 190\n";
constexpr const char* kNo = "tap 300 190\n";
constexpr const char* kSettingsMenu = "tap 88 85\n";
constexpr const char* kParamMenu = "tap 239 85\n";
constexpr const char* kDimensionTable = "tap 239 222\n";

class PowerSleepRun : public qtest::ProgramRunTest {
protected:
    std::string Shot(const std::string& name) const { return "snapshot " + Snap(name) + "\n"; }

    static bool Dark(const qplat::Surface& s)
    {
        if (s.width != 480) return false;
        for (uint32_t px : s.pixels)
            if (px & 0xFFFFFFu) return false;
        return true;
    }
};

TEST_F(PowerSleepRun, AnEditorScreenWithItsDataIsBackAsItWasAfterTheWakingTap)
{
    // The dimension table with its values and a row chosen, the power key
    // answered no (a closed question takes the list's focus, sleep or not:
    // the picture to compare with is the one after it), then answered yes,
    // the dark screen, the tap that wakes (on another row: it must not
    // choose it), and the table again; then its back button still leads to
    // the menu.
    const std::string script = std::string("wait 300\n") + kParamMenu + "wait 200\n" + kDimensionTable +
                               "wait 300\ntap 70 114\nwait 200\npower\nwait 200\n" + kNo + "wait 300\n" +
                               Shot("table") + "power\nwait 200\n" + Shot("question") + kYes + "wait 200\n" +
                               Shot("asleep") + "tap 240 136\nwait 300\n" + Shot("woken") +
                               "tap 453 25\nwait 200\n" + Shot("menu") + "quit\n";
    ASSERT_EQ(Run(script), 0);
    const qplat::Surface table = Png("table"), question = Png("question"), woken = Png("woken");
    EXPECT_NE(question.pixels, table.pixels) << "the question was shown";
    EXPECT_TRUE(Dark(Png("asleep"))) << "the screen went dark";
    EXPECT_EQ(woken.pixels, table.pixels) << "the table, its values and its chosen row, as before the power key";
    EXPECT_NE(At(woken, 200, 114), RGB(255, 255, 255)) << "the chosen row";
    EXPECT_EQ(At(woken, 200, 136), RGB(255, 255, 255)) << "the waking tap chose nothing";
    const qplat::Surface menu = Png("menu");
    EXPECT_NE(menu.pixels, table.pixels) << "the table's back button works after waking";
}

TEST_F(PowerSleepRun, AMenuClosesBeforeThePowerOffAndTheOperatorWakesOnTheStartScreen)
{
    const std::string script = std::string("wait 300\n") + Shot("start") + kSettingsMenu + "wait 200\n" +
                               Shot("menu") + "power\nwait 200\n" + kYes + "wait 200\n" + Shot("asleep") +
                               "tap 240 136\nwait 300\n" + Shot("woken") + "quit\n";
    ASSERT_EQ(Run(script), 0);
    const qplat::Surface start = Png("start"), menu = Png("menu"), woken = Png("woken");
    EXPECT_NE(menu.pixels, start.pixels);
    EXPECT_TRUE(Dark(Png("asleep")));
    EXPECT_EQ(woken.pixels, start.pixels) << "woken on the start screen";
}

TEST_F(PowerSleepRun, TheStartScreensPowerKeyEndsTheProgramOnceItIsWoken)
{
    // Whatever follows the waking tap is never carried out: the program has
    // ended with status 0 (the snapshot after it is not written). The script
    // takes its next action only once the program has handled all the tap
    // caused, so the snapshot needs no wait before it.
    const std::string script = std::string("wait 300\npower\nwait 200\n") + kYes + "wait 200\n" + Shot("asleep") +
                               "tap 240 136\n" + Shot("after") + "quit\n";
    ASSERT_EQ(Run(script), 0);
    EXPECT_TRUE(Dark(Png("asleep"))) << "asleep without a window, not ended";
    EXPECT_FALSE(fs::exists(Snap("after"))) << "the program ended at the waking tap";
}

TEST_F(PowerSleepRun, TheExitButtonEndsTheProgramOnceItIsWoken)
{
    const std::string script = std::string("wait 300\ntap 450 26\nwait 200\n") + Shot("question") + kYes +
                               "wait 200\n" + Shot("asleep") + "power\n" + Shot("after") + "quit\n";
    ASSERT_EQ(Run(script), 0);
    EXPECT_FALSE(Dark(Png("question")));
    EXPECT_TRUE(Dark(Png("asleep")));
    EXPECT_FALSE(fs::exists(Snap("after"))) << "the power key woke it and the program ended";
}

TEST_F(PowerSleepRun, AScriptThatCannotBeCarriedOutEndsTheRunWithStatusTwo)
{
    // A snapshot into a folder that is not there stops the run at that line.
    EXPECT_EQ(Run("wait 100\nsnapshot " + (dir / "missing" / "a.png").string() + "\n" + Shot("after") + "quit\n"), 2);
    EXPECT_FALSE(fs::exists(Snap("after")));
    // A tap off the screen is refused before the program starts.
    EXPECT_EQ(Run("wait 100\n" + Shot("before") + "tap 480 100\nquit\n"), 2);
    EXPECT_FALSE(fs::exists(Snap("before")));
}

}  // namespace
