// Pixel rules of lines and shapes: end points and right/bottom edges excluded,
// pen widths, the inside filled with the brush.
#include "tests/platform_ui/GdiTestSupport.h"

using namespace qtest;

TEST(GdiLine, LeavesOutItsEndPoint)
{
    Canvas c(40, 40);
    MoveToEx(c.dc, 10, 10, nullptr);
    LineTo(c.dc, 20, 10);
    c.ExpectPixels({{9, 10, kWhite}, {10, 10, kBlack}, {19, 10, kBlack}, {20, 10, kWhite}});
    EXPECT_EQ(c.Ink(RECT{0, 0, 40, 40}), 10);
    // The current position moved to the end point.
    POINT p{};
    GetCurrentPositionEx(c.dc, &p);
    EXPECT_EQ(p.x, 20);
    EXPECT_EQ(p.y, 10);

    // Backwards and diagonal.
    c.Fill(kWhite);
    MoveToEx(c.dc, 30, 5, nullptr);
    LineTo(c.dc, 25, 0);
    c.ExpectPixels({{30, 5, kBlack}, {26, 1, kBlack}, {25, 0, kWhite}});
    EXPECT_EQ(c.Ink(RECT{0, 0, 40, 40}), 5);
}

TEST(GdiLine, WidePenCoversItsWidthAndNullPenNothing)
{
    Canvas c(40, 40);
    {
        Tools t(c.dc, CreatePen(PS_SOLID, 3, kRed), CreateSolidBrush(kWhite));
        MoveToEx(c.dc, 5, 20, nullptr);
        LineTo(c.dc, 30, 20);
    }
    c.ExpectPixels(
        {{10, 19, kRed}, {10, 20, kRed}, {10, 21, kRed}, {10, 18, kWhite}, {10, 22, kWhite}, {30, 20, kWhite}});
    c.Fill(kWhite);
    {
        Tools t(c.dc, CreatePen(PS_NULL, 1, kRed), CreateSolidBrush(kWhite));
        MoveToEx(c.dc, 0, 0, nullptr);
        LineTo(c.dc, 39, 39);
    }
    EXPECT_EQ(c.Ink(RECT{0, 0, 40, 40}), 0);
}

TEST(GdiLine, WildCoordinatesAreCutWithoutHanging)
{
    Canvas c(20, 20);
    MoveToEx(c.dc, -2000000000, 10, nullptr);
    LineTo(c.dc, 2000000000, 10);
    c.ExpectPixels({{0, 10, kBlack}, {19, 10, kBlack}});
    POINT pts[3] = {{-100000000, -100000000}, {100000000, 5}, {5, 100000000}};
    EXPECT_TRUE(Polygon(c.dc, pts, 3));
}

TEST(GdiShape, RectangleOutlineAndInside)
{
    Canvas c(40, 40);
    Tools t(c.dc, CreatePen(PS_SOLID, 1, kBlack), CreateSolidBrush(kRed));
    Rectangle(c.dc, 10, 10, 20, 15);
    c.ExpectPixels({{10, 10, kBlack}, {19, 14, kBlack}, {19, 12, kBlack}, {15, 14, kBlack}, {11, 11, kRed},
                    {18, 13, kRed}, {20, 12, kWhite}, {15, 15, kWhite}, {9, 12, kWhite}});
    EXPECT_EQ(EdgesOf(c.InkBox()), (Edges{10, 10, 20, 15}));
}

TEST(GdiShape, RectangleWithoutPenIsOnePixelSmaller)
{
    Canvas c(40, 40);
    Tools t(c.dc, CreatePen(PS_NULL, 1, 0), CreateSolidBrush(kRed));
    Rectangle(c.dc, 10, 10, 20, 15);
    EXPECT_EQ(EdgesOf(c.InkBox()), (Edges{10, 10, 19, 14}));
}

TEST(GdiShape, HollowBrushDrawsOnlyTheOutline)
{
    Canvas c(40, 40);
    HGDIOBJ oldBrush = SelectObject(c.dc, GetStockObject(NULL_BRUSH));
    Rectangle(c.dc, 5, 5, 25, 25);
    SelectObject(c.dc, oldBrush);
    c.ExpectPixels({{5, 5, kBlack}, {15, 15, kWhite}});
    EXPECT_EQ(c.Ink(RECT{0, 0, 40, 40}), 4 * 19);
}

TEST(GdiShape, EllipseTouchesItsBoxOnlyAtTheMiddles)
{
    Canvas c(40, 40);
    Tools t(c.dc, CreatePen(PS_SOLID, 1, kBlack), CreateSolidBrush(kRed));
    Ellipse(c.dc, 0, 0, 21, 11);
    c.ExpectPixels({{0, 0, kWhite}, {20, 10, kWhite}, {0, 5, kBlack}, {20, 5, kBlack}, {10, 0, kBlack},
                    {10, 10, kBlack}, {10, 5, kRed}, {21, 5, kWhite}, {10, 11, kWhite}});
    // Symmetric both ways.
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 21; ++x) {
            ASSERT_EQ(c.At(x, y), c.At(20 - x, y)) << x << "," << y;
            ASSERT_EQ(c.At(x, y), c.At(x, 10 - y)) << x << "," << y;
        }
}

TEST(GdiShape, RoundRectCutsItsCorners)
{
    Canvas c(40, 40);
    Tools t(c.dc, CreatePen(PS_SOLID, 2, kBlack), CreateSolidBrush(kRed));
    RoundRect(c.dc, 5, 5, 35, 25, 10, 10);
    // Two pixels of pen at the top, then the brush.
    c.ExpectPixels({{5, 5, kWhite}, {34, 24, kWhite}, {20, 5, kBlack}, {20, 6, kBlack}, {20, 7, kRed},
                    {5, 15, kBlack}, {20, 15, kRed}});
    // Without corners it is a rectangle.
    c.Fill(kWhite);
    RoundRect(c.dc, 5, 5, 35, 25, 0, 0);
    EXPECT_EQ(c.At(5, 5), kBlack);
}

TEST(GdiShape, PolygonFillsInsideAndOutlinesClosed)
{
    Canvas c(40, 40);
    Tools t(c.dc, CreatePen(PS_SOLID, 1, kBlack), CreateSolidBrush(kRed));
    POINT tri[3] = {{0, 0}, {30, 0}, {0, 30}};
    Polygon(c.dc, tri, 3);
    // The closing edge (15, 15) is drawn.
    c.ExpectPixels({{5, 5, kRed}, {20, 20, kWhite}, {15, 0, kBlack}, {0, 15, kBlack}, {15, 15, kBlack}});
    // A bow tie: the two side triangles are inside, above and below the crossing is not.
    c.Fill(kWhite);
    POINT bow[4] = {{0, 0}, {30, 30}, {30, 0}, {0, 30}};
    Polygon(c.dc, bow, 4);
    c.ExpectPixels({{5, 15, kRed}, {25, 15, kRed}, {15, 5, kWhite}, {15, 25, kWhite}});
}

TEST(GdiShape, PolylineIsOpenAndLeavesOutTheLastPoint)
{
    Canvas c(40, 40);
    POINT pts[3] = {{0, 10}, {10, 10}, {10, 20}};
    Polyline(c.dc, pts, 3);
    c.ExpectPixels({{0, 10, kBlack}, {10, 10, kBlack}, {10, 19, kBlack}, {10, 20, kWhite}, {5, 15, kWhite}});
    EXPECT_EQ(c.Ink(RECT{0, 0, 40, 40}), 20);
    EXPECT_FALSE(Polyline(c.dc, pts, 1));
}

TEST(GdiShape, FillRectAndFrameRectExcludeRightAndBottom)
{
    Canvas c(20, 20);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT r{2, 3, 8, 9};
    FillRect(c.dc, &r, red);
    EXPECT_EQ(c.Ink(RECT{0, 0, 20, 20}), 36);
    c.Fill(kWhite);
    FrameRect(c.dc, &r, red);
    c.ExpectPixels({{2, 3, kRed}, {7, 8, kRed}, {4, 5, kWhite}});
    EXPECT_EQ(c.Ink(RECT{0, 0, 20, 20}), 20);
    DeleteObject(red);
    // A system colour index plus one stands for its brush.
    RECT all{0, 0, 20, 20};
    FillRect(c.dc, &all, reinterpret_cast<HBRUSH>(static_cast<intptr_t>(8 + 1)));  // window text: black
    EXPECT_EQ(c.At(10, 10), kBlack);
}
