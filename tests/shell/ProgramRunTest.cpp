// The application itself, run headless from scripts: a fresh card gets its
// settings file and the start screen, every menu opens and comes back, the
// program ends with status 0 (its threads joined: the sanitizers watch the
// whole run), and a second copy started on the same root ends at once with 0.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/gdi/Surface.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        qtest::LayOutCard(root);
        dir = fs::path(root.Path()).parent_path() / (fs::path(root.Path()).filename().string() + "-run");
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the program on the root with the script; its exit status.
    int Run(const std::string& script, const std::string& name = "script.txt")
    {
        return qtest::RunProgramScript(root.Path(), dir / name, script);
    }
    std::string Snap(const std::string& name) const { return (dir / (name + ".png")).string(); }

    static qplat::Surface ReadPng(const std::string& path) { return qtest::ReadPngFile(path); }
    static COLORREF At(const qplat::Surface& s, int x, int y)
    {
        return s.Contains(x, y) ? qplat::PixelToColor(s.At(x, y)) : CLR_INVALID;
    }
    static bool AnyBlue(const qplat::Surface& s, RECT r)
    {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (qtest::Blue(At(s, x, y))) return true;
        return false;
    }

    qtest::TempDeviceRoot root;
    fs::path dir;
};

TEST_F(ProgramRun, AFreshCardShowsTheStartScreenAndEveryMenuComesBack)
{
    ASSERT_FALSE(root.Exists(qtest::kParamPath));
    const std::string script = "wait 300\nsnapshot " + Snap("start") +
                               "\n"
                               "tap 88 85\nwait 200\nsnapshot " + Snap("settings") +
                               "\n"
                               "tap 130 222\nwait 200\nsnapshot " + Snap("clock") +
                               "\n"
                               "tap 453 25\nwait 150\ntap 453 25\nwait 150\n"
                               "tap 239 85\nwait 200\nsnapshot " + Snap("params") +
                               "\ntap 453 25\nwait 150\n"
                               "tap 390 85\nwait 200\nsnapshot " + Snap("data") +
                               "\ntap 453 25\nwait 200\nsnapshot " + Snap("back") + "\nquit\n";
    ASSERT_EQ(Run(script), 0);
    EXPECT_EQ(root.ReadFile(qtest::kParamPath).size(), PARAM_BLOCK_SIZE);

    const qplat::Surface start = ReadPng(Snap("start"));
    ASSERT_EQ(start.width, 480);
    ASSERT_EQ(start.height, 272);
    EXPECT_EQ(At(start, 200, 48), 0x000000u) << "title separator";
    EXPECT_EQ(At(start, 200, 250), 0x000000u) << "bottom separator";
    EXPECT_TRUE(AnyBlue(start, RECT{65, 7, 425, 30})) << "the blue title";
    // Each menu covers the start screen with its own title and back button,
    // and the start screen is back at the end.
    for (const char* menu : {"settings", "params", "data"}) {
        SCOPED_TRACE(menu);
        const qplat::Surface s = ReadPng(Snap(menu));
        ASSERT_EQ(s.width, 480);
        EXPECT_TRUE(AnyBlue(s, RECT{100, 8, 380, 34}));
        EXPECT_EQ(At(s, 200, 250), 0xFFFFFFu) << "a menu has no bottom separator";
    }
    const qplat::Surface clock = ReadPng(Snap("clock"));
    const qplat::Surface settings = ReadPng(Snap("settings"));
    ASSERT_EQ(clock.width, 480);
    EXPECT_NE(clock.pixels, settings.pixels) << "the set-clock screen opened over the menu";
    const qplat::Surface back = ReadPng(Snap("back"));
    EXPECT_EQ(At(back, 200, 250), 0x000000u);
}

TEST_F(ProgramRun, ASecondCopyOnTheSameRootEndsAtOnceWithZero)
{
    int first = -1;
    std::thread running([&] { first = Run("wait 4000\nquit\n", "first.txt"); });
    // The first copy's window is up once its settings file exists.
    for (int i = 0; i < 400 && !root.Exists(qtest::kParamPath); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("wait 5000\nquit\n", "second.txt"), 0);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count() / 1000.0;
    EXPECT_LT(seconds, 3.0) << "the second copy ended without running its script";
    running.join();
    EXPECT_EQ(first, 0);
}

}  // namespace
