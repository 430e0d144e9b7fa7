// Runs the program headless with a script and probes its snapshots: the demo
// screen's panel lines, button faces, logo and status area, the busy
// animation after "Start", and the back button ending the program.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/gdi/Surface.h"
#include "tests/platform_ui/GdiTestSupport.h"

namespace {

namespace fs = std::filesystem;

qplat::Surface ReadPng(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    qplat::Surface s;
    qplat::DecodePng(bytes.data(), bytes.size(), s);
    return s;
}

COLORREF At(const qplat::Surface& s, int x, int y)
{
    return s.Contains(x, y) ? qplat::PixelToColor(s.At(x, y)) : CLR_INVALID;
}

bool Bluish(COLORREF c)
{
    return GetBValue(c) > 120 && GetBValue(c) > GetRValue(c) + 40;
}

bool AnyIn(const qplat::Surface& s, RECT r, bool (*test)(COLORREF))
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (test(At(s, x, y))) return true;
    return false;
}

}  // namespace

TEST(DemoScreen, HeadlessSnapshotShowsTheToolkitPieces)
{
    fs::path program = fs::path(QAV5_BINARY_DIR) / "shell" / "Qav5_PA";
    ASSERT_TRUE(fs::exists(program)) << "build the Qav5_PA target first";
    fs::path dir = fs::temp_directory_path() / ("qav5-demo-test-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::remove_all(dir);
    fs::create_directories(dir / "root");
    fs::path still = dir / "still.png", busy = dir / "busy.png", after = dir / "after.png";
    {
        std::ofstream script(dir / "script.txt");
        script << "wait 200\nsnapshot " << still.string() << "\n"
               << "tap 80 244\nwait 250\nsnapshot " << busy.string() << "\n"
               << "tap 453 25\nwait 100\nsnapshot " << after.string() << "\nquit\n";
    }
    std::string command = "\"" + program.string() + "\" --headless --root \"" + (dir / "root").string() +
                          "\" --script \"" + (dir / "script.txt").string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);

    qplat::Surface s = ReadPng(still);
    ASSERT_EQ(s.width, 480);
    ASSERT_EQ(s.height, 272);
    // The panel: border, the title band's line at 48 and the button band's at 217.
    EXPECT_EQ(At(s, 100, 48), qtest::kBlack);
    EXPECT_EQ(At(s, 100, 217), qtest::kBlack);
    EXPECT_EQ(At(s, 100, 216), qtest::kWhite);
    EXPECT_EQ(At(s, 0, 150), qtest::kBlack);
    // Button faces: "Start" and the back button, normal look.
    EXPECT_EQ(At(s, 140, 230), RGB(38, 56, 78));
    EXPECT_EQ(At(s, 453, 39), RGB(38, 56, 78));
    EXPECT_EQ(At(s, 460, 25), RGB(236, 244, 252));  // the back arrow
    // The logo in the corner and the link picture in the status area.
    EXPECT_TRUE(AnyIn(s, RECT{5, 5, 49, 43}, Bluish));
    EXPECT_TRUE(AnyIn(s, RECT{310, 70, 338, 98}, Bluish));
    EXPECT_EQ(At(s, 240, 136), qtest::kWhite);  // no animation yet
    // The caption's white text over the dark face of "Start".
    EXPECT_TRUE(AnyIn(s, RECT{40, 230, 100, 260}, [](COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 200; }));

    qplat::Surface b = ReadPng(busy);
    ASSERT_EQ(b.width, 480);
    EXPECT_TRUE(AnyIn(b, RECT{220, 116, 260, 156}, Bluish));  // the spinner over the screen's centre

    // The back button (or, failing that, the script's quit) ended the program,
    // stopping the animation, with result 0.
    fs::remove_all(dir);
}
