// Status pictures (link, battery, charging marks, the busy spinner), the
// message box's icons and buttons, and the card-missing picture. Status
// pictures sit on white; the card-missing picture on black.
#include <algorithm>
#include <cmath>

#include "tools/bitmapgen/Faces.h"
#include "tools/bitmapgen/Groups.h"

namespace bitmapgen {

namespace {

const COLORREF kAccent = RGB(27, 80, 184);
const COLORREF kGreen = RGB(40, 170, 70);
const COLORREF kRed = RGB(210, 40, 40);
const COLORREF kGrey = RGB(150, 150, 150);

void Cross(HDC dc, int x, int y, int size, COLORREF c)
{
    int t = size / 6 + 1;
    Line(dc, x, y, x + size, y + size, c, t);
    Line(dc, x + size, y, x, y + size, c, t);
}

void Battery(Canvas& c, int segments, COLORREF segColor, bool unknown)
{
    HDC dc = c.dc;
    {
        Paint p(dc, RGB(40, 40, 40), 2, kWhite);
        Rectangle(dc, 3, 12, 42, 37);
    }
    {
        Paint p(dc, RGB(40, 40, 40), 1, RGB(40, 40, 40));
        Rectangle(dc, 42, 19, 46, 30);
    }
    for (int i = 0; i < segments; ++i) {
        Paint p(dc, segColor, 0, segColor);
        Rectangle(dc, 6 + i * 3 + (i >= 5 ? 1 : 0), 15, 6 + i * 3 + (i >= 5 ? 1 : 0) + 3, 35);
    }
    if (unknown) Text(dc, u"?", RECT{3, 12, 42, 37}, 20, RGB(60, 60, 60));
}

void Radio(Canvas& c, int size, bool up)
{
    HDC dc = c.dc;
    COLORREF col = up ? kAccent : kGrey;
    int cx = size / 2, base = size - 2;
    const int t = 2;
    // Mast and the waves either side.
    Line(dc, cx, size / 3, cx, base, col, t);
    Poly(dc, {{cx - size / 5, base}, {cx + size / 5, base}, {cx, size / 2}}, col);
    for (int k = 1; k <= 2; ++k) {
        int r = k * size / 6;
        Paint p(dc, col, t, col, true);
        Ellipse(dc, cx - r, size / 3 - r, cx + r + 1, size / 3 + r + 1);
    }
    {
        Paint p(dc, col, 1, col);
        Ellipse(dc, cx - 2, size / 3 - 2, cx + 3, size / 3 + 3);
    }
    // Cut the waves to the sides only.
    {
        Paint p(dc, kWhite, 0, kWhite);
        Polygon(dc, std::vector<POINT>{{cx - 3, 0}, {cx + 4, 0}, {cx + 1, size / 3 - 2}}.data(), 3);
        Polygon(dc, std::vector<POINT>{{cx - 3, size / 3 + 14}, {cx + 4, size / 3 + 14}, {cx + 1, size / 3 + 3}}.data(), 3);
    }
    if (!up) Cross(dc, size - size / 3 - 1, size - size / 3 - 1, size / 3 - 1, kRed);
}

void Spinner(Canvas& c, int frame)
{
    HDC dc = c.dc;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 8; ++i) {
        // The brightest dot leads; the rest fade behind it (clockwise).
        int age = (frame - i + 8) % 8;
        int shade = 40 + age * 26;
        COLORREF col = RGB(shade / 2, shade * 3 / 4, std::min(255, 120 + age * 18));
        if (age == 0) col = kAccent;
        double a = (i * 45.0 - 90.0) * pi / 180.0;
        int x = 20 + static_cast<int>(std::lround(14 * std::cos(a)));
        int y = 20 + static_cast<int>(std::lround(14 * std::sin(a)));
        int r = age == 0 ? 5 : 4;
        Paint p(dc, col, 0, col);
        Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
    }
}

void MessageIcon(Canvas& c, int kind)
{
    HDC dc = c.dc;
    if (kind == 1) {  // warning
        Poly(dc, {{20, 3}, {38, 36}, {2, 36}}, RGB(240, 180, 0));
        Text(dc, u"!", RECT{2, 12, 38, 36}, 20, kBlack);
        return;
    }
    COLORREF col = kind == 0 ? kRed : kAccent;
    {
        Paint p(dc, col, 0, col);
        Ellipse(dc, 2, 2, 38, 38);
    }
    if (kind == 0) Cross(dc, 12, 12, 16, kWhite);
    if (kind == 2) Text(dc, u"?", RECT{2, 2, 38, 38}, 24, kWhite);
    if (kind == 3) Text(dc, u"i", RECT{2, 2, 38, 38}, 24, kWhite);
}

void Bolt(Canvas& c, COLORREF col)
{
    Poly(c.dc, {{6, 0}, {1, 9}, {5, 9}, {3, 16}, {9, 6}, {5, 6}, {8, 0}}, col);
}

void Plug(Canvas& c)
{
    HDC dc = c.dc;
    Paint p(dc, RGB(50, 50, 50), 0, RGB(50, 50, 50));
    Rectangle(dc, 2, 4, 10, 9);
    Rectangle(dc, 3, 1, 5, 4);
    Rectangle(dc, 7, 1, 9, 4);
    Rectangle(dc, 5, 9, 7, 12);
}

// The storage card taken over by the PC: a memory card with a warning sign,
// and the USB mark on its label, on the black screen.
void CardMissing(Output& out)
{
    Sketch s(218, 170, kBlack);
    const COLORREF card = RGB(206, 212, 220), label = RGB(46, 62, 84), gold = RGB(222, 178, 70);
    s.Fill({{52, 14}, {134, 14}, {156, 36}, {156, 146}, {52, 146}}, card);
    // The write-protect notch and the contacts.
    s.Box(49, 46, 55, 62, RGB(150, 158, 168));
    for (int i = 0; i < 7; ++i) s.RoundBox(60 + i * 11.5, 20, 67 + i * 11.5, 38, 1.5, gold);
    s.RoundBox(62, 52, 146, 136, 5, label);
    UsbTrident(s, Grid(104, 94, 54), card);
    // The warning sign over the card's lower right corner.
    std::vector<Pt> tri{{158, 84}, {202, 160}, {114, 160}};
    s.Fill({{158, 74}, {212, 166}, {104, 166}}, kBlack);
    s.Fill(tri, RGB(250, 196, 40));
    s.Stroke(tri, 5, RGB(250, 196, 40), true);
    s.Box(154.5, 106, 161.5, 138, kBlack);
    s.RoundBox(154.5, 106, 161.5, 138, 2.5, kBlack);
    s.Disc({158, 148}, 4.5, kBlack);
    out.Add(735, s);
}

}  // namespace

void StatusBitmaps(Output& out)
{
    out.Group("status");
    for (int f = 0; f < 8; ++f) {
        Canvas c(40, 40, kWhite);
        Spinner(c, f);
        out.Add(717 + f, c);
    }
    // Batteries: slot images by charge.
    struct Bat {
        int id, segments;
        COLORREF color;
        bool unknown;
    };
    const Bat bats[] = {{636, 0, kRed, false},    {626, 2, kRed, false},    {627, 3, kGreen, false},
                        {628, 4, kGreen, false},  {629, 5, kGreen, false},  {630, 6, kGreen, false},
                        {631, 8, kGreen, false},  {632, 10, kGreen, false}, {633, 10, kGreen, false},
                        {637, 0, kGrey, true}};
    for (const Bat& b : bats) {
        Canvas c(48, 48, kWhite);
        Battery(c, b.segments, b.color, b.unknown);
        out.Add(b.id, c);
    }
    {
        Canvas c(10, 16, kWhite);
        Bolt(c, kGreen);
        out.Add(634, c);
    }
    {
        Canvas c(10, 16, kWhite);
        Bolt(c, RGB(230, 150, 0));
        out.Add(635, c);
    }
    {
        Canvas c(12, 12, kWhite);
        Plug(c);
        out.Add(638, c);
    }
    for (int up = 0; up < 2; ++up) {
        Canvas big(28, 28, kWhite);
        Radio(big, 28, up == 1);
        out.Add(up ? 161 : 162, big);
        Canvas small(24, 24, kWhite);
        Radio(small, 24, up == 1);
        out.Add(up ? 696 : 695, small);
    }
    CardMissing(out);

    out.Group("message");
    const int icons[4] = {319, 322, 321, 320};  // message types 0 to 3
    for (int kind = 0; kind < 4; ++kind) {
        Canvas c(40, 40, kWhite);
        MessageIcon(c, kind);
        out.Add(icons[kind], c);
    }
    // The message box's buttons (their size also places them).
    StripButton(out, NPD(317, 318), 100, 36, Caption::Default, u"OK",
                [](Sketch& s, const Grid& g, const Ink& k) { TickMark(s, g, k.fg, 4.6); });
    StripButton(out, NPD(314, 315), 100, 36, Caption::Default, u"Нет",
                [](Sketch& s, const Grid& g, const Ink& k) { CrossMark(s, g.Sub(16, 16, 28), k.fg, 4.8); });
}

}  // namespace bitmapgen
