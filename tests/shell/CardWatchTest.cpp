// The storage-card watch: the card-missing screen appears within about a
// second of the card folder going and closes soon after it is back; a Stop
// and Start leave one watch thread, also when the card goes in the same
// moment as a Stop; the serial USB mode has no watch; the moving dots.

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "shell/CardWatch.h"
#include "tests/shell/ShellTestSupport.h"

using qtest::PumpUntil;
using qtest::Then;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class CardWatch : public qtest::DialogFixture {
protected:
    void SetUp() override
    {
        qtest::DialogFixture::SetUp();
        card = fs::path(root.Path()) / "SDMMC";
        away = fs::path(root.Path()) / "SDMMC-away";
    }
    void TakeCard() { fs::rename(card, away); }
    void PutCardBack() { fs::rename(away, card); }

    // Runs `whileShown` inside the card-missing screen's modal loop, as soon as
    // the screen is up; fails when it does not come within `ms`.
    void WhenShown(int ms, std::function<void()> whileShown)
    {
        const auto start = Clock::now();
        poll = [=, this] {
            if (g_cardMissingDlg && g_cardMissingDlg->m_busy) {
                shownAfterMs = MsSince(start);
                whileShown();
            } else if (MsSince(start) < ms) {
                Sleep(5);
                Then(poll);
            }
        };
        Then(poll);
    }

    std::function<void()> poll;
    fs::path card, away;
    long long shownAfterMs = -1;
};

TEST_F(CardWatch, TheScreenComesWithinASecondAndGoesWhenTheCardIsBack)
{
    CCardWatch watch;
    watch.Start(nullptr, owner);
    ASSERT_TRUE(watch.ThreadRunning());
    PumpUntil([&] { return watch.TestsMade() >= 1; }, 2000);
    TakeCard();
    const auto taken = Clock::now();
    Clock::time_point back;
    bool black = false, dots = false;
    WhenShown(2500, [&] {
        qplat::ProcessPendingMessages();
        black = qplat::ScreenPixel(20, 20) == 0x000000u && qplat::ScreenPixel(470, 260) == 0x000000u;
        Sleep(250);
        qplat::ProcessPendingMessages();
        dots = qtest::AnyPixel(RECT{40, 172, 440, 260}, [](COLORREF c) { return c == 0x0082C3u; });
        PutCardBack();
        back = Clock::now();
    });
    ASSERT_TRUE(PumpUntil([&] { return shownAfterMs >= 0 && g_cardMissingDlg == nullptr; }, 5000));
    const long long closeMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - back).count();
    EXPECT_LE(MsSince(taken) - closeMs, 1800) << "shown about a second after the card went";
    EXPECT_LE(closeMs, 400) << "closed soon after the card came back";
    EXPECT_TRUE(black);
    EXPECT_TRUE(dots) << "the orange dots";
    watch.Stop();
    EXPECT_FALSE(watch.ThreadRunning());
}

TEST_F(CardWatch, StartTwiceAndStopStartLeaveOneThread)
{
    CCardWatch watch;
    watch.Start(nullptr, owner);
    watch.Start(nullptr, owner);
    watch.Stop();
    watch.Start(nullptr, owner);
    const unsigned before = watch.TestsMade();
    PumpUntil([] { return false; }, 2300);
    const unsigned made = watch.TestsMade() - before;
    // One thread tests once a second: two or three tests in 2.3 s; two
    // threads would make twice as many.
    EXPECT_GE(made, 2u);
    EXPECT_LE(made, 3u);
    watch.Stop();
}

TEST_F(CardWatch, AStopInTheSameMomentTheCardGoesCannotHang)
{
    CCardWatch watch;
    watch.Start(nullptr, owner);
    PumpUntil([&] { return watch.TestsMade() >= 1; }, 2000);
    TakeCard();
    // The watch asks for the screen and waits; the user-interface thread is
    // busy with the measure command and stops the watch before it reads the
    // request.
    const unsigned seen = watch.TestsMade();
    while (watch.TestsMade() == seen) Sleep(5);
    Sleep(20);
    const auto stopAt = Clock::now();
    watch.Stop();
    EXPECT_LE(MsSince(stopAt), 500);
    EXPECT_FALSE(watch.ThreadRunning());
    // The stale request is dropped: no screen.
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(g_cardMissingDlg, nullptr);
    // Started again, the watch notices the missing card itself.
    watch.Start(nullptr, owner);
    WhenShown(2500, [&] { PutCardBack(); });
    EXPECT_TRUE(PumpUntil([&] { return shownAfterMs >= 0 && g_cardMissingDlg == nullptr; }, 5000));
    watch.Stop();
}

TEST_F(CardWatch, AStopClosesAnOpenScreen)
{
    CCardWatch watch;
    watch.Start(nullptr, owner);
    TakeCard();
    bool stopped = false;
    // The program ends while the card is out: the screen closes so the
    // thread can end.
    WhenShown(2500, [&] {
        watch.Stop();
        stopped = !watch.ThreadRunning();
    });
    ASSERT_TRUE(PumpUntil([&] { return shownAfterMs >= 0 && g_cardMissingDlg == nullptr; }, 5000));
    EXPECT_TRUE(stopped);
    PutCardBack();
}

TEST_F(CardWatch, TheDotsStepTenPixelsAndWrapAt380)
{
    TakeCard();
    CCardMissingDlg screen;
    std::vector<int> xs;
    auto step = [&] {
        screen.DlgProc(owner, WM_TIMER, 6, 0);
        xs.push_back(screen.m_textX);
    };
    step();
    step();
    screen.m_textX = 360;
    step();
    step();
    EXPECT_EQ(xs, (std::vector<int>{60, 70, 370, 50}));
    PutCardBack();
}

class CardWatchInShell : public qtest::ShellTest {};

TEST_F(CardWatchInShell, TheSerialUsbModeHasNoWatch)
{
    qtest::WriteParams(root, [](ParamBlock& b) { b.usbMode = 1; });
    ASSERT_NE(Start(), nullptr);
    EXPECT_FALSE(g_cardWatch.ThreadRunning());
    fs::rename(fs::path(root.Path()) / "SDMMC", fs::path(root.Path()) / "SDMMC-away");
    PumpUntil([] { return false; }, 1300);
    EXPECT_EQ(g_cardMissingDlg, nullptr);
    fs::rename(fs::path(root.Path()) / "SDMMC-away", fs::path(root.Path()) / "SDMMC");
}

}  // namespace
