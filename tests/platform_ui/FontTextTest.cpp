// Fonts and text: faces, sizes, extents and the DrawTextW layout flags,
// checked with probes (never whole images, which change with a font version).
#include <string>
#include <vector>

#include "platform/WinText.h"
#include "tests/platform_ui/GdiTestSupport.h"

using namespace qtest;

namespace {

HFONT MakeFont(LONG height, LONG width = 0, LONG weight = FW_NORMAL, LONG escapement = 0,
               const char16_t* face = u"Calibri")
{
    return CreateFontW(height, width, escapement, 0, weight, 0, 0, 0, 0, 0, 0, DRAFT_QUALITY, 0, face);
}

// A canvas with a font selected and black text on a transparent background.
struct TextCanvas : Canvas {
    TextCanvas(int w, int h, HFONT f) : Canvas(w, h), font(f)
    {
        old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kBlack);
    }
    ~TextCanvas()
    {
        SelectObject(dc, old);
        DeleteObject(font);
    }
    SIZE Extent(const char16_t* text)
    {
        SIZE s{};
        GetTextExtentPoint32W(dc, text, static_cast<int>(std::u16string(text).size()), &s);
        return s;
    }
    HFONT font;
    HGDIOBJ old;
};

}  // namespace

TEST(Font, SizesFollowTheLogicalFont)
{
    TextCanvas small(10, 10, MakeFont(-12));
    TextCanvas big(10, 10, MakeFont(-24));
    TEXTMETRICW a{}, b{};
    ASSERT_TRUE(GetTextMetricsW(small.dc, &a));
    ASSERT_TRUE(GetTextMetricsW(big.dc, &b));
    // A negative height is the character height: the cell is taller by the leading.
    EXPECT_GE(a.tmHeight, 12);
    EXPECT_LE(a.tmHeight, 18);
    EXPECT_EQ(a.tmHeight, a.tmAscent + a.tmDescent);
    EXPECT_EQ(a.tmInternalLeading, a.tmHeight - 12);
    EXPECT_NEAR(b.tmHeight, 2 * a.tmHeight, 2);
    EXPECT_NEAR(big.Extent(u"Measure").cx, 2 * small.Extent(u"Measure").cx, 4);
    // A positive height is the cell height.
    TextCanvas cell(10, 10, MakeFont(18));
    TEXTMETRICW c{};
    GetTextMetricsW(cell.dc, &c);
    EXPECT_NEAR(c.tmHeight, 18, 1);
}

TEST(Font, WidthNarrowsTheText)
{
    TextCanvas narrow(10, 10, MakeFont(18, 5));
    TextCanvas wide(10, 10, MakeFont(18, 10));
    TEXTMETRICW n{};
    GetTextMetricsW(narrow.dc, &n);
    EXPECT_NEAR(n.tmAveCharWidth, 5, 1);
    EXPECT_LT(narrow.Extent(u"Journal").cx * 3, wide.Extent(u"Journal").cx * 2);
}

TEST(Font, ExtentsAddUpAndEmptyTextIsNothing)
{
    TextCanvas t(10, 10, MakeFont(-16));
    SIZE w = t.Extent(u"W"), ww = t.Extent(u"WW"), none = t.Extent(u"");
    EXPECT_GT(w.cx, 5);
    EXPECT_EQ(ww.cx, 2 * w.cx);
    EXPECT_EQ(none.cx, 0);
    EXPECT_EQ(none.cy, w.cy);
    int fit = 0;
    int dx[5] = {};
    SIZE s{};
    ASSERT_TRUE(GetTextExtentExPointW(t.dc, u"WWWWW", 5, 2 * w.cx, &fit, dx, &s));
    EXPECT_EQ(fit, 2);
    EXPECT_EQ(dx[4], s.cx);
    EXPECT_FALSE(GetTextExtentPoint32W(t.dc, u"x", -1, &s));
}

TEST(Font, MissingFacesFallBackAndCalibriIsCarlito)
{
    TextCanvas calibri(10, 10, MakeFont(-16));
    TextCanvas missing(10, 10, MakeFont(-16, 0, FW_NORMAL, 0, u"No Such Face 123"));
    TextCanvas dejavu(10, 10, MakeFont(-16, 0, FW_NORMAL, 0, u"DejaVu Sans"));
    // Carlito is narrower than DejaVu Sans; a missing face draws as DejaVu Sans.
    EXPECT_LT(calibri.Extent(u"Wheel profile").cx, dejavu.Extent(u"Wheel profile").cx);
    EXPECT_EQ(missing.Extent(u"Wheel profile").cx, dejavu.Extent(u"Wheel profile").cx);
    WCHAR face[LF_FACESIZE] = {};
    EXPECT_GT(GetTextFaceW(calibri.dc, LF_FACESIZE, face), 0);
    EXPECT_EQ(std::u16string(face), u"Calibri");
}

TEST(Text, TextOutDrawsFromItsTopLeftInTheTextColour)
{
    TextCanvas t(120, 40, MakeFont(-20));
    SetTextColor(t.dc, kRed);
    TextOutW(t.dc, 10, 5, u"HHH", 3);
    RECT ink = t.InkBox();
    TEXTMETRICW tm{};
    GetTextMetricsW(t.dc, &tm);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.left, 13);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.bottom, 5 + tm.tmAscent + 1);  // capitals stand on the base line
    EXPECT_GE(ink.bottom, 5 + tm.tmAscent - 1);
    EXPECT_LE(ink.right, 10 + t.Extent(u"HHH").cx + 1);
    // The middle of an H's stem is the text colour itself.
    bool solid = false;
    for (int x = ink.left; x < ink.left + 4; ++x)
        if (t.At(x, (ink.top + ink.bottom) / 2) == kRed) solid = true;
    EXPECT_TRUE(solid);
}

TEST(Text, OpaqueBackgroundFillsTheCell)
{
    TextCanvas t(100, 40, MakeFont(-16));
    SetBkMode(t.dc, OPAQUE);
    SetBkColor(t.dc, kBlue);
    TextOutW(t.dc, 0, 0, u"ab", 2);
    SIZE s = t.Extent(u"ab");
    EXPECT_EQ(t.At(0, 0), kBlue);
    EXPECT_EQ(t.At(s.cx - 1, s.cy - 1), kBlue);
    EXPECT_EQ(t.At(s.cx, 0), kWhite);
    EXPECT_EQ(t.At(0, s.cy), kWhite);
}

TEST(DrawText, CalcRectMeasuresWithoutDrawing)
{
    TextCanvas t(200, 100, MakeFont(-16));
    TEXTMETRICW tm{};
    GetTextMetricsW(t.dc, &tm);
    RECT r{10, 20, 200, 100};
    int h = DrawTextW(t.dc, u"Settings", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(h, tm.tmHeight);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 10 + t.Extent(u"Settings").cx);
    EXPECT_EQ(r.bottom, 20 + tm.tmHeight);
    EXPECT_EQ(t.Ink(RECT{0, 0, 200, 100}), 0);
    // Line breaks in the text make lines; DT_SINGLELINE ignores them.
    RECT two{0, 0, 200, 100};
    EXPECT_EQ(DrawTextW(t.dc, u"one\ntwo", -1, &two, DT_CALCRECT), 2 * tm.tmHeight);
    RECT one{0, 0, 200, 100};
    EXPECT_EQ(DrawTextW(t.dc, u"one\ntwo", -1, &one, DT_CALCRECT | DT_SINGLELINE), tm.tmHeight);
    // "&&" shows one ampersand, "&x" shows x.
    RECT amp{0, 0, 200, 100};
    DrawTextW(t.dc, u"a&&b", -1, &amp, DT_CALCRECT);
    EXPECT_EQ(amp.right, t.Extent(u"a&b").cx);
    RECT raw{0, 0, 200, 100};
    DrawTextW(t.dc, u"a&&b", -1, &raw, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(raw.right, t.Extent(u"a&&b").cx);
}

TEST(DrawText, WordBreakWrapsAtSpacesOnly)
{
    TextCanvas t(300, 200, MakeFont(-16));
    TEXTMETRICW tm{};
    GetTextMetricsW(t.dc, &tm);
    int word = t.Extent(u"profile").cx;
    RECT r{0, 0, word + 5, 200};
    EXPECT_EQ(DrawTextW(t.dc, u"profile profile profile", -1, &r, DT_CALCRECT | DT_WORDBREAK), 3 * tm.tmHeight);
    EXPECT_LE(r.right, word + 5);
    // A word wider than the box stays whole on its line.
    RECT narrow{0, 0, 10, 200};
    EXPECT_EQ(DrawTextW(t.dc, u"measurement", -1, &narrow, DT_CALCRECT | DT_WORDBREAK), tm.tmHeight);
    // Without DT_WORDBREAK nothing wraps.
    RECT flat{0, 0, word + 5, 200};
    EXPECT_EQ(DrawTextW(t.dc, u"profile profile profile", -1, &flat, DT_CALCRECT), tm.tmHeight);
}

TEST(DrawText, AlignmentFlagsPlaceTheInk)
{
    TextCanvas t(200, 60, MakeFont(-16));
    RECT box{20, 10, 180, 50};
    DrawTextW(t.dc, u"OK", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RECT ink = t.InkBox();
    EXPECT_NEAR((ink.left + ink.right) / 2, 100, 2);
    EXPECT_NEAR((ink.top + ink.bottom) / 2, 30, 4);
    t.Fill(kWhite);
    DrawTextW(t.dc, u"OK", -1, &box, DT_RIGHT | DT_SINGLELINE);
    ink = t.InkBox();
    EXPECT_LE(ink.right, 180);
    EXPECT_GE(ink.right, 176);
    EXPECT_LT(ink.top, 20);  // at the top, not centred
    t.Fill(kWhite);
    DrawTextW(t.dc, u"OK", -1, &box, 0);
    ink = t.InkBox();
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.left, 23);
}

TEST(DrawText, TextIsCutToItsBoxUnlessNoClipOrEndsInDots)
{
    TextCanvas t(200, 60, MakeFont(-20));
    RECT box{10, 10, 30, 20};
    DrawTextW(t.dc, u"Wheel profile gauge", -1, &box, 0);
    RECT ink = t.InkBox();
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 30);
    EXPECT_LE(ink.bottom, 20);
    t.Fill(kWhite);
    DrawTextW(t.dc, u"Wheel profile gauge", -1, &box, DT_NOCLIP);
    EXPECT_GT(t.InkBox().right, 60);

    // With DT_END_ELLIPSIS a line too wide for its box keeps the most of its
    // start that fits with "..." behind it, and a line that fits stays as it is.
    const std::u16string text = u"Wheel profile gauge";
    RECT wide{10, 30, 90, 55};
    std::u16string shown = text;
    while (t.Extent((shown + u"...").c_str()).cx > wide.right - wide.left) shown.pop_back();
    shown += u"...";
    ASSERT_LT(shown.size(), text.size());
    auto pixels = [&] {
        std::vector<COLORREF> all;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 200; ++x) all.push_back(t.At(x, y));
        return all;
    };
    t.Fill(kWhite);
    DrawTextW(t.dc, text.c_str(), -1, &wide, DT_SINGLELINE | DT_END_ELLIPSIS);
    const auto ellipsis = pixels();
    t.Fill(kWhite);
    DrawTextW(t.dc, shown.c_str(), -1, &wide, DT_SINGLELINE);
    EXPECT_TRUE(ellipsis == pixels()) << "drawn as \"" << qplat::ToUtf8(shown) << "\"";
    EXPECT_LE(t.InkBox().right, wide.right);
    RECT measured = wide;
    DrawTextW(t.dc, text.c_str(), -1, &measured, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(measured.right, wide.left + t.Extent(shown.c_str()).cx);
    RECT fits{10, 30, 190, 55};
    DrawTextW(t.dc, text.c_str(), -1, &fits, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(fits.right, 10 + t.Extent(text.c_str()).cx);
    // Not even the dots fit: as many of them as do.
    RECT tiny{10, 30, 10 + t.Extent(u"..").cx, 55};
    DrawTextW(t.dc, text.c_str(), -1, &tiny, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(tiny.right, 10 + t.Extent(u"..").cx);
}

TEST(Text, RotatedFontRunsUpwards)
{
    TextCanvas t(60, 200, MakeFont(-16, 0, FW_BOLD, 900));
    TextOutW(t.dc, 10, 180, u"Measure", 7);
    RECT ink = t.InkBox();
    ASSERT_GT(ink.bottom, ink.top);
    EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left));
    EXPECT_LE(ink.bottom, 182);
    EXPECT_LT(ink.top, 150);
}

TEST(Text, OddInputIsHandledSafely)
{
    TextCanvas t(100, 40, MakeFont(-14));
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    SIZE s{};
    EXPECT_TRUE(GetTextExtentPoint32W(t.dc, lone, 4, &s));
    EXPECT_GT(s.cx, 0);
    const char16_t pair[] = {0xD83D, 0xDE00, 0};  // one character outside the 16-bit range
    EXPECT_TRUE(TextOutW(t.dc, 0, 0, pair, 2));
    RECT r{0, 0, 100, 40};
    EXPECT_EQ(DrawTextW(t.dc, nullptr, 0, &r, DT_CALCRECT), GetTextExtentPoint32W(t.dc, u"", 0, &s) ? s.cy : -1);
    EXPECT_EQ(DrawTextW(t.dc, nullptr, 5, &r, 0), 0);
    EXPECT_EQ(DrawTextW(t.dc, u"x", -1, nullptr, 0), 0);
    EXPECT_FALSE(TextOutW(t.dc, 0, 0, u"x", -1));
    EXPECT_FALSE(TextOutW(nullptr, 0, 0, u"x", 1));
    // A font far too large or with odd values still lays out.
    TextCanvas huge(10, 10, MakeFont(-100000, -5, 5000, 123456));
    EXPECT_TRUE(GetTextExtentPoint32W(huge.dc, u"W", 1, &s));
    EXPECT_GT(s.cy, 0);
}
