// The storage-card watch: the card-missing screen appears at the first test
// that misses the card folder and closes once it is back; a Stop
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

// Hang guards only: every wait below ends on an event, and these bounds are
// reached only when the event never comes.
constexpr int kGuardMs = 30000;

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
    // the screen is up.
    void WhenShown(std::function<void()> whileShown)
    {
        const auto guard = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
        poll = [=, this] {
            if (g_cardMissingDlg && g_cardMissingDlg->m_busy) {
                shown = true;
                whileShown();
            } else if (std::chrono::steady_clock::now() < guard) {
                Sleep(5);
                Then(poll);
            }
        };
        Then(poll);
    }
    // Pumps until the screen was shown and has closed again.
    bool ShownAndClosed()
    {
        return PumpUntil([&] { return shown && g_cardMissingDlg == nullptr; }, kGuardMs);
    }

    std::function<void()> poll;
    fs::path card, away;
    bool shown = false;
};

TEST_F(CardWatch, TheScreenComesAtTheFirstTestWithoutTheCardAndGoesWhenTheCardIsBack)
{
    CCardWatch watch;
    watch.Start(nullptr, owner);
    ASSERT_TRUE(watch.ThreadRunning());
    ASSERT_TRUE(PumpUntil([&] { return watch.TestsMade() >= 1; }, kGuardMs));
    TakeCard();
    const unsigned testsBefore = watch.TestsMade();
    unsigned testsUntilShown = 0;
    bool black = false, dots = false;
    WhenShown([&] {
        testsUntilShown = watch.TestsMade() - testsBefore;
        qplat::ProcessPendingMessages();
        black = qplat::ScreenPixel(20, 20) == 0x000000u && qplat::ScreenPixel(470, 260) == 0x000000u;
        // The dots move on the screen's own timer while the card is out.
        const int firstX = g_cardMissingDlg->m_textX;
        PumpUntil([&] { return g_cardMissingDlg->m_textX != firstX; }, kGuardMs);
        dots = g_cardMissingDlg->m_textX != firstX &&
               qtest::AnyPixel(RECT{40, 172, 440, 260}, [](COLORREF c) { return c == 0x0082C3u; });
        PutCardBack();
    });
    ASSERT_TRUE(ShownAndClosed()) << "the screen came and went";
    // The test that found the card missing brought the screen: the one under
    // way when the card went, or the next (a second a test).
    EXPECT_LE(testsUntilShown, 1u);
    EXPECT_TRUE(black);
    EXPECT_TRUE(dots) << "the orange dots, moving";
    watch.Stop();
    EXPECT_FALSE(watch.ThreadRunning());
    EXPECT_EQ(0, watch.ThreadsAlive());
}

TEST_F(CardWatch, StartTwiceAndStopStartLeaveOneThread)
{
    CCardWatch watch;
    watch.Start(nullptr, owner);
    watch.Start(nullptr, owner);
    watch.Stop();
    EXPECT_EQ(0, watch.ThreadsAlive()) << "the stopped thread was joined";
    watch.Start(nullptr, owner);
    // Two tests after the start (a second apart): any second thread has long
    // begun by then and would count itself alive.
    const unsigned before = watch.TestsMade();
    ASSERT_TRUE(PumpUntil([&] { return watch.TestsMade() >= before + 2; }, kGuardMs));
    EXPECT_EQ(1, watch.ThreadsAlive());
    watch.Stop();
    EXPECT_EQ(0, watch.ThreadsAlive());
}

TEST_F(CardWatch, AStopInTheSameMomentTheCardGoesCannotHang)
{
    CCardWatch watch;
    watch.Start(nullptr, owner);
    ASSERT_TRUE(PumpUntil([&] { return watch.TestsMade() >= 1; }, kGuardMs));
    TakeCard();
    // The watch asks for the screen and waits; the user-interface thread is
    // busy with the measure command (it pumps nothing) and stops the watch
    // before it reads the request.
    const auto guard = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
    while (watch.RequestsPosted() == 0 && std::chrono::steady_clock::now() < guard) Sleep(5);
    ASSERT_EQ(1u, watch.RequestsPosted()) << "the watch asked for the screen";
    watch.Stop();
    EXPECT_FALSE(watch.ThreadRunning());
    EXPECT_EQ(0, watch.ThreadsAlive()) << "the waiting thread was released and joined";
    // The stale request is dropped: no screen. An action queued behind the
    // request runs inside the screen's modal loop if the request opened one.
    bool checked = false, opened = false;
    Then([&] {
        checked = true;
        opened = g_cardMissingDlg != nullptr;
        if (opened) PutCardBack();
    });
    ASSERT_TRUE(PumpUntil([&] { return checked && g_cardMissingDlg == nullptr; }, kGuardMs));
    EXPECT_FALSE(opened);
    // Started again, the watch notices the missing card itself.
    watch.Start(nullptr, owner);
    WhenShown([&] { PutCardBack(); });
    EXPECT_TRUE(ShownAndClosed());
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
    WhenShown([&] {
        watch.Stop();
        stopped = !watch.ThreadRunning() && watch.ThreadsAlive() == 0;
    });
    ASSERT_TRUE(ShownAndClosed());
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
