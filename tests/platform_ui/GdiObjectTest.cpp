// GDI objects, DCs, clipping, pixels, blits and the surface DCs the window
// system opens.
#include <thread>
#include <vector>

#include "platform/gdi/Surface.h"
#include "tests/platform_ui/GdiTestSupport.h"
#include "tests/support/Fields.h"

using namespace qtest;

TEST(GdiObjects, BitmapsDescribeThemselves)
{
    HBITMAP b = CreateCompatibleBitmap(nullptr, 120, 80);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(b, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(bm.bmWidth, 120), FIELD_IS(bm.bmHeight, 80), FIELD_IS(bm.bmBitsPixel, 32)));
    EXPECT_EQ(GetObjectW(b, 4, &bm), 0);  // too small: no partial description
    EXPECT_EQ(GetObjectW(b, 0, nullptr), static_cast<int>(sizeof bm));
    EXPECT_EQ(GetObjectType(b), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_FALSE(DeleteObject(b));
    EXPECT_EQ(GetObjectW(b, sizeof bm, &bm), 0);

    HBITMAP tiny = CreateCompatibleBitmap(nullptr, 0, 0);
    ASSERT_NE(tiny, nullptr);
    GetObjectW(tiny, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 1);
    DeleteObject(tiny);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 100000, 10), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, -5, 10), nullptr);
}

TEST(GdiObjects, SelectionReturnsThePreviousObject)
{
    Canvas c(10, 10);
    HPEN red = CreatePen(PS_SOLID, 1, kRed);
    HGDIOBJ old = SelectObject(c.dc, red);
    EXPECT_EQ(old, GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(c.dc, old), red);
    // A bitmap cannot go into a window-less non-memory context, and nothing
    // invalid is selected.
    EXPECT_EQ(SelectObject(c.dc, reinterpret_cast<HGDIOBJ>(0x1234)), nullptr);
    EXPECT_EQ(SelectObject(nullptr, red), nullptr);
    DeleteObject(red);

    // Stock objects survive DeleteObject.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));

    // A brush deleted while selected stays usable until it is replaced.
    HBRUSH blue = CreateSolidBrush(kBlue);
    HGDIOBJ prev = SelectObject(c.dc, blue);
    DeleteObject(blue);
    Rectangle(c.dc, 0, 0, 10, 10);
    EXPECT_EQ(c.At(5, 5), kBlue);
    SelectObject(c.dc, prev);
}

TEST(GdiObjects, PensBrushesAndFontsDescribeThemselves)
{
    HPEN pen = CreatePen(PS_SOLID, 3, kRed);
    LOGPEN lp{};
    ASSERT_EQ(GetObjectW(pen, sizeof lp, &lp), static_cast<int>(sizeof lp));
    EXPECT_EQ(lp.lopnWidth.x, 3);
    EXPECT_EQ(lp.lopnColor, kRed);
    DeleteObject(pen);
    LOGFONTW in{};
    in.lfHeight = -18;
    in.lfWeight = FW_BOLD;
    in.lfEscapement = 900;
    HFONT font = CreateFontIndirectW(&in);
    LOGFONTW out{};
    ASSERT_EQ(GetObjectW(font, sizeof out, &out), static_cast<int>(sizeof out));
    EXPECT_EQ(out.lfHeight, -18);
    EXPECT_EQ(out.lfEscapement, 900);
    DeleteObject(font);
}

TEST(GdiObjects, SystemColours)
{
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), kWhite);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), kBlack);
    EXPECT_EQ(GetSysColor(5), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), GetSysColorBrush(COLOR_WINDOW));
    EXPECT_EQ(GetSysColorBrush(1000), nullptr);
    Canvas c(4, 4, kBlack);
    RECT r{0, 0, 4, 4};
    FillRect(c.dc, &r, GetSysColorBrush(COLOR_WINDOW));
    EXPECT_EQ(c.At(1, 1), kWhite);
}

TEST(GdiObjects, WindowContextsAreNotDeletedAsMemoryContexts)
{
    auto surface = std::make_shared<qplat::Surface>(50, 40, 0x00FFFFFF);
    HDC dc = qplat::CreateSurfaceDC(surface, 10, 5, RECT{0, 0, 20, 20});
    ASSERT_NE(dc, nullptr);
    EXPECT_FALSE(DeleteDC(dc));
    // Drawing lands at the origin and never leaves the clip.
    FillWith(dc, RECT{-100, -100, 100, 100}, kRed);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(surface->At(10, 5), 0x00FF0000u), FIELD_IS(surface->At(29, 24), 0x00FF0000u),
                                 FIELD_IS(surface->At(30, 24), 0x00FFFFFFu), FIELD_IS(surface->At(9, 5), 0x00FFFFFFu)));
    EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
    EXPECT_EQ(GetPixel(dc, 25, 0), CLR_INVALID);
    RECT box{};
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 20);
    // A surface that shrinks under an open context is still safe to draw on.
    surface->Resize(8, 8);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 30, 30);
    EXPECT_TRUE(qplat::ReleaseSurfaceDC(dc));
    EXPECT_FALSE(qplat::ReleaseSurfaceDC(dc));
}

TEST(GdiClip, ClipRectanglesLimitEveryDrawing)
{
    Canvas c(40, 40);
    EXPECT_EQ(IntersectClipRect(c.dc, 10, 10, 20, 20), SIMPLEREGION);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{0, 0, 40, 40};
    FillRect(c.dc, &all, red);
    EXPECT_EQ(c.Ink(all), 100);
    // Clips intersect; a region selected replaces the DC's own clip.
    IntersectClipRect(c.dc, 15, 0, 40, 40);
    RECT box{};
    GetClipBox(c.dc, &box);
    EXPECT_EQ(box.left, 15);
    EXPECT_EQ(box.right, 20);
    SelectClipRgn(c.dc, nullptr);
    c.Fill(kWhite);
    HRGN rgn = CreateRectRgn(30, 30, 35, 35);
    EXPECT_EQ(SelectClipRgn(c.dc, rgn), SIMPLEREGION);
    DeleteObject(rgn);  // the DC keeps its own copy
    HBRUSH blue = CreateSolidBrush(kBlue);
    FillRect(c.dc, &all, blue);
    EXPECT_EQ(c.Ink(all), 25);
    EXPECT_EQ(SetPixel(c.dc, 1, 1, kRed), CLR_INVALID);
    SelectClipRgn(c.dc, nullptr);
    FillRect(c.dc, &all, red);
    EXPECT_EQ(c.Ink(all, kRed), 0);
    EXPECT_EQ(IntersectClipRect(c.dc, 5, 5, 5, 5), NULLREGION);
    DeleteObject(red);
    DeleteObject(blue);
}

TEST(GdiBlit, BitBltCopiesAndSkipsWhatLiesOutsideTheSource)
{
    Canvas src(10, 10, kRed);
    SetPixel(src.dc, 0, 0, kBlue);
    Canvas dst(30, 30);
    EXPECT_TRUE(BitBlt(dst.dc, 5, 5, 10, 10, src.dc, 0, 0, SRCCOPY));
    dst.ExpectPixels({{5, 5, kBlue}, {14, 14, kRed}, {15, 15, kWhite}});
    dst.Fill(kWhite);
    BitBlt(dst.dc, 0, 0, 20, 20, src.dc, 5, 5, SRCCOPY);
    dst.ExpectPixels({{4, 4, kRed}, {5, 5, kWhite}});  // beyond the source: untouched
    EXPECT_EQ(dst.Ink(RECT{0, 0, 30, 30}), 25);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 5, 5, nullptr, 0, 0, BLACKNESS));
    EXPECT_EQ(dst.At(1, 1), kBlack);
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 5, 5, nullptr, 0, 0, SRCCOPY));
}

TEST(GdiBlit, OverlappingCopyReadsTheOriginalPixels)
{
    Canvas c(20, 1);
    for (int x = 0; x < 20; ++x) SetPixel(c.dc, x, 0, RGB(x, 0, 0));
    BitBlt(c.dc, 1, 0, 19, 1, c.dc, 0, 0, SRCCOPY);
    for (int x = 1; x < 20; ++x) EXPECT_EQ(c.At(x, 0), RGB(x - 1, 0, 0)) << x;
}

TEST(GdiBlit, StretchBltPicksTheNearestPixel)
{
    Canvas src(2, 2);
    SetPixel(src.dc, 0, 0, kRed);
    SetPixel(src.dc, 1, 1, kBlue);
    Canvas dst(10, 10);
    StretchBlt(dst.dc, 0, 0, 8, 8, src.dc, 0, 0, 2, 2, SRCCOPY);
    dst.ExpectPixels({{0, 0, kRed}, {3, 3, kRed}, {4, 4, kBlue}, {7, 7, kBlue}, {4, 3, kWhite}, {8, 8, kWhite}});
    // Shrinking keeps a picture inside its box.
    Canvas big(100, 100, kRed);
    dst.Fill(kWhite);
    StretchBlt(dst.dc, 1, 1, 5, 5, big.dc, 0, 0, 100, 100, SRCCOPY);
    EXPECT_EQ(dst.Ink(RECT{0, 0, 10, 10}), 25);
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, -5, 5, big.dc, 0, 0, 100, 100, SRCCOPY));
    EXPECT_EQ(dst.Ink(RECT{0, 0, 10, 10}), 25);
}

TEST(GdiThreads, SeveralThreadsDrawAtOnce)
{
    std::vector<std::thread> threads;
    std::vector<int> good(6, 0);
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([t, &good] {
            COLORREF color = RGB(t * 40, 255 - t * 40, t);
            Canvas c(64, 64);
            for (int i = 0; i < 40; ++i) {
                HBRUSH b = CreateSolidBrush(color);
                HGDIOBJ old = SelectObject(c.dc, b);
                Ellipse(c.dc, 0, 0, 64, 64);
                SelectObject(c.dc, old);
                DeleteObject(b);
            }
            good[static_cast<size_t>(t)] = c.At(32, 32) == color;
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 6; ++t) EXPECT_EQ(good[static_cast<size_t>(t)], 1) << t;
}

TEST(GdiPng, WritesAndReadsBack)
{
    qplat::Surface s(5, 3, 0x00123456);
    s.Row(2)[4] = 0x00FF0000;
    std::string path = ::testing::TempDir() + "/qav_gdi_png_test.png";
    ASSERT_TRUE(qplat::WritePng(s, path));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    qplat::Surface back;
    ASSERT_TRUE(qplat::DecodePng(bytes.data(), bytes.size(), back));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(back.width, 5), FIELD_IS(back.height, 3),
                                 FIELD_IS(back.At(0, 0), 0x00123456u), FIELD_IS(back.At(4, 2), 0x00FF0000u)));
    // Cut or damaged files are refused without harm.
    EXPECT_FALSE(qplat::DecodePng(bytes.data(), bytes.size() / 2, back));
    EXPECT_EQ(back.width, 0);
    bytes[20] ^= 0xFF;
    EXPECT_FALSE(qplat::DecodePng(bytes.data(), bytes.size(), back));
    EXPECT_FALSE(qplat::WritePng(s, "/nonexistent-folder/x.png"));
    std::remove(path.c_str());
}
