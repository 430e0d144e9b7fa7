// Draws every bitmap resource of the program with the platform's own GDI and
// writes them as PNG files named after their resource id ("173.png").
//
// One style for all: button faces are dark slate with a light icon in the left
// strip and plain dark room for the caption the code draws; pressed faces are
// darker with the icon shifted by one pixel; disabled faces are grey. Status
// pictures sit on white.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/bitmapgen/Drawing.h"

using namespace bitmapgen;

namespace {

const COLORREF kAccent = RGB(27, 80, 184);
const COLORREF kGreen = RGB(40, 170, 70);
const COLORREF kRed = RGB(210, 40, 40);
const COLORREF kGrey = RGB(150, 150, 150);

void Tick(HDC dc, int x, int y, int size, COLORREF c)
{
    int t = size / 6 + 1;
    Line(dc, x, y + size / 2, x + size / 3, y + size - size / 6, c, t);
    Line(dc, x + size / 3, y + size - size / 6, x + size, y + size / 8, c, t);
}

void Cross(HDC dc, int x, int y, int size, COLORREF c)
{
    int t = size / 6 + 1;
    Line(dc, x, y, x + size, y + size, c, t);
    Line(dc, x + size, y, x, y + size, c, t);
}

void BackArrow(HDC dc, int cx, int cy, int size, COLORREF c)
{
    int h = size / 2;
    Poly(dc, {{cx - h, cy}, {cx - h / 6, cy - h}, {cx - h / 6, cy + h}}, c);
    Paint p(dc, c, 1, c);
    Rectangle(dc, cx - h / 6, cy - h / 3, cx + h, cy + h / 3 + 1);
}

void Battery(Canvas& c, int segments, COLORREF segColor, bool unknown)
{
    HDC dc = c.dc;
    {
        Paint p(dc, RGB(40, 40, 40), 2, RGB(255, 255, 255));
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
        Paint p(dc, RGB(255, 255, 255), 0, RGB(255, 255, 255));
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

void Logo(Canvas& c)
{
    HDC dc = c.dc;
    // A wheel profile: the tread with the flange rising on the left, over a rail head.
    std::vector<POINT> profile{{4, 8},  {8, 6},   {11, 9},  {13, 18}, {16, 22}, {22, 23},
                               {40, 25}, {40, 31}, {4, 31}};
    Poly(dc, profile, kAccent);
    Paint p(dc, RGB(60, 60, 60), 1, RGB(60, 60, 60));
    RoundRect(dc, 20, 27, 36, 35, 4, 4);
    Line(dc, 2, 35, 42, 35, RGB(60, 60, 60), 1);
}

void MessageIcon(Canvas& c, int kind)
{
    HDC dc = c.dc;
    if (kind == 1) {  // warning
        Poly(dc, {{20, 3}, {38, 36}, {2, 36}}, RGB(240, 180, 0));
        Text(dc, u"!", RECT{2, 12, 38, 36}, 20, RGB(0, 0, 0));
        return;
    }
    COLORREF col = kind == 0 ? kRed : kAccent;
    {
        Paint p(dc, col, 0, col);
        Ellipse(dc, 2, 2, 38, 38);
    }
    if (kind == 0) Cross(dc, 12, 12, 16, RGB(255, 255, 255));
    if (kind == 2) Text(dc, u"?", RECT{2, 2, 38, 38}, 24, RGB(255, 255, 255));
    if (kind == 3) Text(dc, u"i", RECT{2, 2, 38, 38}, 24, RGB(255, 255, 255));
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bitmapgen OUTPUT_FOLDER\n");
        return 2;
    }
    std::string out = argv[1];
    bool ok = true;
    auto save = [&](Canvas& c, int id) { ok = c.Save(out, id) && ok; };

    // Back / close button.
    for (int i = 0; i < 2; ++i) {
        Canvas c(36, 36, RGB(255, 255, 255));
        int d = Face(c, i ? Look::Pressed : Look::Normal);
        BackArrow(c.dc, 18 + d, 18 + d, 20, kIcon);
        save(c, 173 + i);
    }
    // Wide buttons with an icon in the left strip and room for the caption.
    auto wide = [&](int id, int w, int h, Look look, const std::function<void(HDC, int, int, COLORREF)>& icon) {
        Canvas c(w, h, RGB(255, 255, 255));
        int d = Face(c, look);
        int strip = w / 3.5 > 30 ? 30 : static_cast<int>(w / 3.5);
        icon(c.dc, (strip - 18) / 2 + 4 + d, (h - 18) / 2 + d, IconColor(look));
        save(c, id);
    };
    auto tick = [](HDC dc, int x, int y, COLORREF col) { Tick(dc, x, y, 18, col); };
    auto cross = [](HDC dc, int x, int y, COLORREF col) { Cross(dc, x + 2, y + 2, 14, col); };
    wide(210, 141, 41, Look::Normal, tick);
    wide(211, 141, 41, Look::Pressed, tick);
    wide(212, 141, 41, Look::Disabled, tick);
    wide(317, 100, 36, Look::Normal, tick);
    wide(318, 100, 36, Look::Pressed, tick);
    wide(314, 100, 36, Look::Normal, cross);
    wide(315, 100, 36, Look::Pressed, cross);

    {
        Canvas c(44, 38, RGB(255, 255, 255));
        Logo(c);
        save(c, 185);
    }
    for (int f = 0; f < 8; ++f) {
        Canvas c(40, 40, RGB(255, 255, 255));
        Spinner(c, f);
        save(c, 717 + f);
    }
    // Batteries: slot images by charge.
    struct Bat {
        int id, segments;
        COLORREF color;
        bool unknown;
    };
    const Bat bats[] = {{636, 0, kRed, false},   {626, 2, kRed, false},   {627, 3, kGreen, false},
                        {628, 4, kGreen, false}, {629, 5, kGreen, false}, {630, 6, kGreen, false},
                        {631, 8, kGreen, false}, {632, 10, kGreen, false}, {633, 10, kGreen, false},
                        {637, 0, kGrey, true}};
    for (const Bat& b : bats) {
        Canvas c(48, 48, RGB(255, 255, 255));
        Battery(c, b.segments, b.color, b.unknown);
        save(c, b.id);
    }
    {
        Canvas c(10, 16, RGB(255, 255, 255));
        Bolt(c, kGreen);
        save(c, 634);
    }
    {
        Canvas c(10, 16, RGB(255, 255, 255));
        Bolt(c, RGB(230, 150, 0));
        save(c, 635);
    }
    {
        Canvas c(12, 12, RGB(255, 255, 255));
        Plug(c);
        save(c, 638);
    }
    for (int up = 0; up < 2; ++up) {
        Canvas big(28, 28, RGB(255, 255, 255));
        Radio(big, 28, up == 1);
        save(big, up ? 161 : 162);
        Canvas small(24, 24, RGB(255, 255, 255));
        Radio(small, 24, up == 1);
        save(small, up ? 696 : 695);
    }
    const int icons[4] = {319, 322, 321, 320};  // message types 0 to 3
    for (int kind = 0; kind < 4; ++kind) {
        Canvas c(40, 40, RGB(255, 255, 255));
        MessageIcon(c, kind);
        save(c, icons[kind]);
    }
    return ok ? 0 : 1;
}
