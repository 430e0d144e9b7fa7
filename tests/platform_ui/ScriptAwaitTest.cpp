// The script's "await": what it accepts, going on as soon as the screen shows
// the event, and the hang guard that ends the run with status 2.

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "tests/platform_ui/WindowTestSupport.h"
#include "tests/support/ProgramScript.h"

using namespace qtest;

namespace {

class ScriptAwait : public qtest::WindowTest {};


TEST_F(ScriptAwait, ThePointTheColourAndTheGuardAreCheckedWithTheLine)
{
    std::string error;
    for (const char* good : {"await 0 0 00FF00\n", "await 479 271 !a0b1c2\n", "await 10 20 FFFFFF 1\r\n",
                             "await 10 20 !000000 86400000\n", "await\t10 20\t123456   500  \n"}) {
        EXPECT_TRUE(qplat::SetInputScript(good, &error)) << good << ": " << error;
    }
    struct Bad {
        const char* script;
        const char* says;
    };
    for (const Bad& bad : {
             Bad{"tap 1 2\nawait 10 20\n", "line 2"},      // no colour
             Bad{"await 10 00FF00\n", "line 1"},           // no y
             Bad{"await 480 20 00FF00\n", "line 1"},       // off the screen: could never be met
             Bad{"await 10 272 00FF00\n", "line 1"},
             Bad{"await -1 20 00FF00\n", "line 1"},
             Bad{"await 10 20 0FF00\n", "line 1"},         // five digits
             Bad{"await 10 20 00FF000\n", "line 1"},       // seven
             Bad{"await 10 20 00GG00\n", "line 1"},
             Bad{"await 10 20 #00FF00\n", "line 1"},
             Bad{"await 10 20 !!00FF00\n", "line 1"},
             Bad{"await 10 20 ! 00FF00\n", "line 1"},
             Bad{"await 10 20 00FF00 0\n", "line 1"},      // a guard that runs out at once
             Bad{"await 10 20 00FF00 soon\n", "line 1"},
             Bad{"await 10 20 00FF00 500 snapshot\n", "line 1"},
         }) {
        error.clear();
        EXPECT_FALSE(qplat::SetInputScript(bad.script, &error)) << bad.script;
        EXPECT_NE(error.find(bad.says), std::string::npos) << bad.script << ": " << error;
    }
    qplat::ClearInputScript();
}

TEST_F(ScriptAwait, TheHelperWritesWhatTheScriptReads)
{
    EXPECT_EQ(qtest::AwaitLine(3, 4, RGB(0x12, 0xAB, 0x0F)), "await 3 4 12AB0F\n");
    EXPECT_EQ(qtest::AwaitLine(3, 4, RGB(0, 0, 255), true, 900), "await 3 4 !0000FF 900\n");
    qtest::Script s;
    s.Tap(qtest::Spot{1, 2}).Await(qtest::Spot{5, 6}, RGB(255, 0, 0)).AwaitGone(7, 8, RGB(1, 2, 3), 50).Wait(10);
    std::string error;
    EXPECT_TRUE(qplat::SetInputScript(s.Text(), &error)) << s.Text() << error;
    EXPECT_EQ(s.Text(), "tap 1 2\nawait 5 6 FF0000\nawait 7 8 !010203 50\nwait 10\n");
    qplat::ClearInputScript();
}

// The screen turns green only when a timer long after the script's start
// fires; the tap after the await must come after it, whatever the timer's
// delay, and the run ends well before the guard.
TEST_F(ScriptAwait, GoesOnAsSoonAsThePixelShowsTheEventAndNotBefore)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND button = MakeChild(top, 1, 100, 100, 40, 40);
    qplat::ProcessPendingMessages();
    Fill(top, RGB(0, 0, 255));
    Fill(button, RGB(0, 0, 255));
    // The first timer turns the button green; the first tap starts the
    // second, which turns it grey.
    int fills = 0;
    std::vector<int> fillsAtTaps;
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM wp, LPARAM, LRESULT& r) {
        if (w == button && m == WM_LBUTTONDOWN) fillsAtTaps.push_back(fills);
        if (w == button && m == WM_LBUTTONUP && fillsAtTaps.size() == 1) SetTimer(top, 7, 200, nullptr);
        if (w != top || m != WM_TIMER || wp != 7) return false;
        KillTimer(top, 7);
        ++fills;
        Fill(button, fills == 1 ? RGB(0, 255, 0) : RGB(128, 128, 128));
        r = 0;
        return true;
    };
    SetTimer(top, 7, 300, nullptr);
    const auto start = std::chrono::steady_clock::now();
    MSG m{};
    std::string note;
    const bool quit = qtest::RunScript("await 120 120 00FF00\ntap 120 120\nawait 120 120 !00FF00\ntap 120 120\nquit\n",
                                       top, m, &note);
    const auto took = std::chrono::steady_clock::now() - start;
    qtest::TestHandler() = nullptr;
    ASSERT_TRUE(quit);
    EXPECT_EQ(m.wParam, 0u) << note;
    EXPECT_EQ(note, "");
    EXPECT_EQ(fillsAtTaps, (std::vector<int>{1, 2})) << "each tap came after the change it awaited";
    EXPECT_LT(took, std::chrono::seconds(50)) << "the awaits went on with the events, not at their guards";
    EXPECT_TRUE(qplat::InputScriptFinished());
}

TEST_F(ScriptAwait, AnEventThatNeverComesEndsTheRunAtItsGuardWithStatusTwoAndTheLine)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND button = MakeChild(top, 1, 100, 100, 40, 40);
    qplat::ProcessPendingMessages();
    Fill(top, RGB(0, 0, 255));
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    MSG m{};
    std::string note;
    const bool quit = qtest::RunScript("# the screen stays blue\nawait 5 5 !0000FF 1000\ntap 120 120\nquit\n", top, m, &note);
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(quit) << "the guard ended the run";
    // Waiting sleeps between looks: a busy loop would take the whole time.
    EXPECT_LT(cpuMs, 0.5 * static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_EQ(m.wParam, 2u);
    // Not before the guard ran out (the program counts whole milliseconds).
    EXPECT_GE(took, std::chrono::milliseconds(990));
    EXPECT_EQ(Log().Count(button, WM_LBUTTONDOWN), 0) << "nothing after the await was carried out";
    EXPECT_TRUE(qplat::InputScriptFinished());
    EXPECT_NE(note.find("script line 2"), std::string::npos) << note;
    EXPECT_NE(note.find("(5, 5) is 0000FF"), std::string::npos) << note;
    EXPECT_NE(note.find("anything but 0000FF"), std::string::npos) << note;
    EXPECT_EQ(note.find("without \"quit\""), std::string::npos) << "one line, the guard's: " << note;

    // The same script with the colour that is there goes straight on.
    ASSERT_TRUE(qtest::RunScript("await 5 5 0000FF 400\ntap 120 120\nquit\n", top, m));
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(Log().Count(button, WM_LBUTTONDOWN), 1);
}

}  // namespace
