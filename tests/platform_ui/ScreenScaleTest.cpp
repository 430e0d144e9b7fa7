// How the window presenter sizes the screen on a display: the largest whole
// scale that fits, a frameless fill of a display shaped like the handheld's
// panel, and the stylus point under a point of the window.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/backend/BackendInternal.h"
#include "tests/support/Fields.h"

namespace {

using qplat::backend::IsScreenShaped;
using qplat::backend::OutputToScreen;
using qplat::backend::PlaceScreen;
using qplat::backend::PlaceWindow;
using qplat::backend::WholeScale;

// A placement of the screen, each value named: "scale 2 at 20,28".
std::string Placed(const qplat::backend::ScreenPlacement& p)
{
    return "scale " + std::to_string(p.scale) + " at " + std::to_string(p.x) + "," + std::to_string(p.y);
}

// The screen point under an output point, as (x, y).
std::vector<LONG> Under(const qplat::backend::ScreenPlacement& p, int x, int y)
{
    const POINT q = OutputToScreen(p, x, y);
    return {q.x, q.y};
}

TEST(ScreenScale, TheLargestWholeScaleThatFitsAndNeverBelowOne)
{
    EXPECT_EQ(WholeScale(800, 600 - 60), 1) << "960 x 544 would be cut off on an 800 x 600 screen";
    EXPECT_EQ(WholeScale(1920, 1080 - 40), 3) << "the height decides";
    EXPECT_EQ(WholeScale(3840, 2160), 7);
    EXPECT_EQ(WholeScale(959, 2000), 1) << "the width decides";
    EXPECT_EQ(WholeScale(480, 272), 1);
    EXPECT_EQ(WholeScale(320, 240), 1) << "a smaller display still gets the whole screen";
    EXPECT_EQ(WholeScale(0, 0), 1);
}

TEST(ScreenScale, ADisplayOfTheScreensShapeIsFilled)
{
    EXPECT_TRUE(IsScreenShaped(480, 272));
    EXPECT_TRUE(IsScreenShaped(960, 544));
    EXPECT_FALSE(IsScreenShaped(800, 480));
    EXPECT_FALSE(IsScreenShaped(480, 320));
    EXPECT_FALSE(IsScreenShaped(240, 136));
    EXPECT_FALSE(IsScreenShaped(0, 0));
}

TEST(ScreenScale, TheScreenStandsCentredAndTheStylusFindsItsPixel)
{
    auto p = PlaceScreen(1000, 600);  // a window the window manager made larger
    EXPECT_EQ(Placed(p), "scale 2 at 20,28");
    EXPECT_EQ(Under(p, 20, 28), (std::vector<LONG>{0, 0}));
    EXPECT_EQ(Under(p, 20 + 2 * 100 + 1, 28 + 2 * 50 + 1), (std::vector<LONG>{100, 50}));
    EXPECT_EQ(Under(p, 5, 599), (std::vector<LONG>{0, 271})) << "on the black band";
    EXPECT_EQ(Placed(PlaceScreen(480, 272)), "scale 1 at 0,0");
    auto small = PlaceScreen(300, 200);
    EXPECT_EQ(small.x, 0) << "shows its top left part";
    EXPECT_EQ(Under(small, 299, 199), (std::vector<LONG>{299, 199}));
}

TEST(ScreenScale, TheWindowIsPlacedAtItsScaledSizeCentredOnTheDisplay)
{
    // A 1024 x 768 display without a window manager: 960 x 544, centred,
    // inside the display (not centred for 480 x 272 at 272, 248).
    auto p = PlaceWindow(RECT{0, 0, 1024, 768}, RECT{0, 0, 0, 0});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(p.scale, 2), FIELD_IS(p.width, 960), FIELD_IS(p.height, 544),
                                 FIELD_IS(p.x, 32), FIELD_IS(p.y, 112)));
    EXPECT_LE(p.x + p.width, 1024);
    EXPECT_LE(p.y + p.height, 768);

    // A frame of its own (title bar 30, sides 2) and a panel taking the top
    // 40 rows of a second display to the right of the first.
    auto framed = PlaceWindow(RECT{1920, 40, 1920 + 1920, 1080}, RECT{2, 30, 2, 2});
    EXPECT_EQ(framed.scale, 3) << "1440 x 816 and its frame fit in 1920 x 1040";
    EXPECT_EQ(framed.x, 1920 + (1920 - 1440 - 4) / 2 + 2);
    EXPECT_EQ(framed.y, 40 + (1040 - 816 - 32) / 2 + 30);

    // The frame decides the scale where the window alone would just fit.
    EXPECT_EQ(PlaceWindow(RECT{0, 0, 960, 544}, RECT{0, 0, 0, 0}).scale, 2);
    EXPECT_EQ(PlaceWindow(RECT{0, 0, 960, 544}, RECT{1, 20, 1, 1}).scale, 1);

    // Smaller than the screen: scale 1, the frame's corner in the area.
    auto small = PlaceWindow(RECT{100, 50, 100 + 320, 50 + 240}, RECT{4, 20, 4, 4});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(small.scale, 1), FIELD_IS(small.width, 480), FIELD_IS(small.x, 104),
                                 FIELD_IS(small.y, 70)));
}

}  // namespace
