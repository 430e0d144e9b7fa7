#include "tools/bitmapgen/Symbols.h"

#include <cmath>

namespace bitmapgen {

namespace {

const double kPi = 3.14159265358979323846;

// Circle points in grid units.
std::vector<Pt> Circle(const Grid& g, double u, double v, double r, double from = 0, double to = 360)
{
    std::vector<Pt> units = ArcPoints({u, v}, r, from, to, 48);
    return g.Path(units);
}

void DiscAt(Sketch& s, const Grid& g, double u, double v, double r, COLORREF c)
{
    s.Fill(Circle(g, u, v, r), c);
}

void RingAt(Sketch& s, const Grid& g, double u, double v, double r, double w, COLORREF c)
{
    s.FillEvenOdd({Circle(g, u, v, r + w / 2), Circle(g, u, v, std::max(0.0, r - w / 2))}, c);
}

void ArcAt(Sketch& s, const Grid& g, double u, double v, double r, double from, double to, double w, COLORREF c)
{
    s.Stroke(g.Path(ArcPoints({u, v}, r, from, to, 32)), g.L(w), c);
}

void BoxAt(Sketch& s, const Grid& g, double l, double t, double r, double b, COLORREF c, double radius = 0)
{
    s.Fill(g.Path(RoundRectPoints(l, t, r, b, radius)), c);
}

void FrameAt(Sketch& s, const Grid& g, double l, double t, double r, double b, double w, COLORREF c,
             double radius = 0)
{
    s.FillEvenOdd({g.Path(RoundRectPoints(l, t, r, b, radius)),
                   g.Path(RoundRectPoints(l + w, t + w, r - w, b - w, std::max(0.0, radius - w)))},
                  c);
}

void Seg(Sketch& s, const Grid& g, double u0, double v0, double u1, double v1, double w, COLORREF c)
{
    s.Segment(g.P(u0, v0), g.P(u1, v1), g.L(w), c);
}

void Lines(Sketch& s, const Grid& g, std::initializer_list<Pt> units, double w, COLORREF c)
{
    s.Stroke(g.Path(units), g.L(w), c);
}

void Shape(Sketch& s, const Grid& g, std::initializer_list<Pt> units, COLORREF c)
{
    s.Fill(g.Path(units), c);
}

// The running surface of a wheel rim seen in section, flange rising on the
// left (as the profile charts show it), in units of a 32 grid.
const std::vector<Pt>& ProfileUnits()
{
    static const std::vector<Pt> pts = Smooth({{3, 24},
                                               {3, 13},
                                               {4.2, 8.6},
                                               {6.6, 6.6},
                                               {9.0, 7.4},
                                               {10.6, 10.4},
                                               {12.0, 15.6},
                                               {13.6, 18.6},
                                               {16.6, 20.2},
                                               {22, 20.9},
                                               {29, 21.9}},
                                              6);
    return pts;
}

}  // namespace

// ------------------------------------------------------------ marks

void TickMark(Sketch& s, const Grid& g, COLORREF c, double width)
{
    Lines(s, g, {{6.5, 16.5}, {13, 23}, {25.5, 9.5}}, width, c);
}

void CrossMark(Sketch& s, const Grid& g, COLORREF c, double width)
{
    Seg(s, g, 8.5, 8.5, 23.5, 23.5, width, c);
    Seg(s, g, 23.5, 8.5, 8.5, 23.5, width, c);
}

void PlusMark(Sketch& s, const Grid& g, COLORREF c, double width)
{
    Seg(s, g, 16, 6.5, 16, 25.5, width, c);
    Seg(s, g, 6.5, 16, 25.5, 16, width, c);
}

void MinusMark(Sketch& s, const Grid& g, COLORREF c, double width)
{
    Seg(s, g, 6.5, 16, 25.5, 16, width, c);
}

void Badge(Sketch& s, const Grid& g, double u, double v, Mark mark, const Ink& k, double radius)
{
    if (mark == Mark::Pencil) {
        // A pencil needs no disc: it lies across the corner, cut free of the symbol.
        Grid p = g.Sub(u, v, radius * 2.6);
        Lines(s, p, {{7, 25}, {25, 7}}, 10.5, k.face);
        Pencil(s, p, k);
        return;
    }
    DiscAt(s, g, u, v, radius + 1.6, k.face);
    COLORREF disc = mark == Mark::Cross ? k.bad : k.good;
    DiscAt(s, g, u, v, radius, disc);
    Grid m = g.Sub(u, v, radius * 2.0);
    switch (mark) {
    case Mark::Plus: PlusMark(s, m.Sub(16, 16, 26), k.badgeMark, 5.2); break;
    case Mark::Cross: CrossMark(s, m.Sub(16, 16, 25), k.badgeMark, 5.2); break;
    case Mark::Tick: TickMark(s, m.Sub(16, 17, 27), k.badgeMark, 5.0); break;
    case Mark::Apply: ArrowRight(s, m.Sub(17, 16, 24), k.badgeMark); break;
    case Mark::Pencil: break;
    }
}

// ------------------------------------------------------------ things

void Pencil(Sketch& s, const Grid& g, const Ink& k)
{
    // Lying from the lower left (tip) to the upper right.
    Pt a = {8.5, 23.5}, b = {24.5, 7.5};
    double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    double ux = dx / len, uy = dy / len, nx = -uy * 3.2, ny = ux * 3.2;
    auto at = [&](double t, double side) { return Pt{a.x + ux * t + nx * side, a.y + uy * t + ny * side}; };
    // Body, eraser band, sharpened wood and the lead.
    s.Fill(g.Path({at(6, 1), at(len, 1), at(len, -1), at(6, -1)}), k.warn);
    s.Fill(g.Path({at(len - 3.5, 1), at(len, 1), at(len, -1), at(len - 3.5, -1)}), k.bad);
    s.Fill(g.Path({at(0, 0), at(6, 1), at(6, -1)}), k.paper);
    s.Fill(g.Path({at(0, 0), at(2.4, 0.4), at(2.4, -0.4)}), k.print);
    s.Segment(g.P(at(6, 0).x, at(6, 0).y), g.P(at(len - 3.5, 0).x, at(len - 3.5, 0).y), g.L(0.8),
              Mix(k.warn, k.print, 0.35));
}

std::vector<Pt> ProfileLine(const Grid& g)
{
    return g.Path(ProfileUnits());
}

void WheelSection(Sketch& s, const Grid& g, COLORREF c)
{
    // The rim in section, muted, under its running surface drawn bold: the
    // eye takes the line, the profile, first.
    std::vector<Pt> units = ProfileUnits();
    units.push_back({29, 28});
    units.push_back({3, 28});
    s.Fill(g.Path(units), c);
}

void ProfileBlock(Sketch& s, const Grid& g, const Ink& k)
{
    std::vector<Pt> units = ProfileUnits();
    units.push_back({29, 28});
    units.push_back({3, 28});
    s.Fill(g.Path(units), Mix(k.fg, k.face, 0.55));
    s.Stroke(g.Path(ProfileUnits()), g.L(2.6), k.fg);
}

void LaserHead(Sketch& s, const Grid& g, const Ink& k, double beamTo)
{
    // The fan of the line laser first, so the body sits on top of it.
    Shape(s, g, {{16, 12}, {6.5, beamTo}, {25.5, beamTo}}, Mix(k.laser, k.face, 0.72));
    Lines(s, g, {{6.5, beamTo}, {16, 12}, {25.5, beamTo}}, 1.1, k.laser);
    BoxAt(s, g, 7.5, 1.5, 24.5, 11, k.fg, 2);
    BoxAt(s, g, 12.5, 10, 19.5, 13, k.laser, 0.8);
    // The grip ribs on the body.
    for (double u : {11.5, 14.5, 17.5, 20.5}) Seg(s, g, u, 4, u, 8, 1.1, k.soft);
}

void DiscSection(Sketch& s, const Grid& g, COLORREF c)
{
    // A ventilated brake disc in section: the two friction rings (their
    // faces slightly worn hollow) joined at the rim and the root, the cooling
    // channel between them, and the hub neck below.
    std::vector<Pt> left = Smooth({{8.5, 2.5}, {9.3, 9}, {9.6, 14.5}, {9.3, 20}, {8.5, 25}}, 6);
    std::vector<Pt> outline;
    for (const Pt& p : left) outline.push_back(p);
    for (auto it = left.rbegin(); it != left.rend(); ++it) outline.push_back({32 - it->x, it->y});
    std::vector<Pt> channel = RoundRectPoints(13.6, 6, 18.4, 21.5, 1.2);
    s.FillEvenOdd({g.Path(outline), g.Path(channel)}, c);
    BoxAt(s, g, 13.5, 24, 18.5, 30.5, c, 0.6);
}

void Book(Sketch& s, const Grid& g, const Ink& k)
{
    // An open journal: the cover behind, two pages bowing up from the spine,
    // lines of records on them and a bookmark ribbon.
    Shape(s, g, {{1, 9}, {15, 10.5}, {16, 12}, {17, 10.5}, {31, 9}, {31, 27.5}, {17.5, 28.5}, {16, 30}, {14.5, 28.5},
                 {1, 27.5}},
          k.soft);
    for (int side = 0; side < 2; ++side) {
        Grid p = side ? g.Mirrored() : g;
        std::vector<Pt> page = Smooth({{2.5, 7}, {8, 5.5}, {15.5, 8.5}}, 6);
        std::vector<Pt> bottom = Smooth({{15.5, 27.5}, {8, 24.5}, {2.5, 25.5}}, 6);
        page.insert(page.end(), bottom.begin(), bottom.end());
        s.Fill(p.Path(page), k.paper);
        for (int i = 0; i < 4; ++i) {
            double v = 11.5 + i * 3.6;
            Seg(s, p, 5, v - 1.2 + (side ? 0 : 0), 13, v + 0.4, 1.0, k.print);
        }
    }
    Seg(s, g, 16, 8.5, 16, 27.5, 0.8, k.soft);
    Shape(s, g, {{19.5, 7}, {22.5, 6.6}, {22.5, 15}, {21, 13.5}, {19.5, 15}}, k.bad);
}

void Folder(Sketch& s, const Grid& g, const Ink& k)
{
    Shape(s, g, {{2.5, 7}, {11, 7}, {13.5, 9.5}, {29.5, 9.5}, {29.5, 27.5}, {2.5, 27.5}}, k.soft);
    // Two documents standing in it.
    Shape(s, g, {{6, 5}, {18, 3.5}, {19.8, 19}, {7.8, 20.5}}, k.paper);
    for (double v : {7.0, 9.6, 12.2}) Seg(s, g, 8.6, v + 0.9, 16.6, v - 0.1, 0.9, k.print);
    BoxAt(s, g, 14, 4.5, 27, 20, Mix(k.paper, k.soft, 0.12), 0.6);
    for (double v : {8.0, 10.6, 13.2}) Seg(s, g, 16.4, v, 24.8, v, 0.9, k.print);
    Shape(s, g, {{1.8, 14}, {30.2, 14}, {28.6, 28}, {3.4, 28}}, k.fg);
}

void JournalSheet(Sketch& s, const Grid& g, const Ink& k)
{
    BoxAt(s, g, 5.5, 1.5, 26.5, 30.5, k.paper, 1.5);
    // A small profile chart at the top, then the lines of the records.
    Grid chart = g.Sub(16, 9, 17);
    s.Stroke(ProfileLine(chart), g.L(1.6), k.accent);
    Seg(s, g, 8.5, 15.5, 23.5, 15.5, 0.7, k.soft);
    for (double v : {19.5, 23.2, 26.9}) {
        DiscAt(s, g, 9.6, v, 1.0, k.print);
        Seg(s, g, 12, v, 23.5, v, 1.5, k.print);
    }
}

void Calipers(Sketch& s, const Grid& g, const Ink& k)
{
    // The beam with its scale, the fixed jaw on the left and the slider.
    BoxAt(s, g, 2, 3.5, 30, 9, k.fg, 1);
    for (int i = 0; i < 9; ++i) {
        double u = 10 + i * 2.4;
        Seg(s, g, u, 3.8, u, i % 2 ? 5.4 : 6.4, 0.6, k.face);
    }
    Shape(s, g, {{2, 8}, {7, 8}, {7, 20}, {4.5, 24}, {2, 20}}, k.fg);
    FrameAt(s, g, 17, 2.5, 25, 10.5, 1.3, k.fg, 1);
    Shape(s, g, {{20, 10}, {25, 10}, {25, 20}, {22.5, 24}, {20, 20}}, k.fg);
    // The wheel rim between the jaws.
    WheelSection(s, g.Sub(14.5, 24, 16), k.warn);
}

void Gear(Sketch& s, const Grid& g, const Ink& k)
{
    std::vector<Pt> units;
    const int teeth = 9;
    const double ro = 14.6, ri = 11.0, c = 16;
    for (int i = 0; i < teeth; ++i) {
        double a = i * 360.0 / teeth;
        for (double d : {-20.0, -11.0, 11.0, 20.0}) {
            double r = std::abs(d) < 15 ? ro : ri;
            double t = (a + d) * kPi / 180;
            units.push_back({c + r * std::cos(t), c + r * std::sin(t)});
        }
    }
    s.Fill(g.Path(units), k.fg);
    DiscAt(s, g, 16, 16, 4.8, k.face);
}

void Power(Sketch& s, const Grid& g, const Ink& k)
{
    ArcAt(s, g, 16, 17.5, 10.5, 305, 595, 3.6, k.fg);
    Seg(s, g, 16, 3.5, 16, 16, 3.6, k.fg);
}

void Magnifier(Sketch& s, const Grid& g, const Ink& k)
{
    Seg(s, g, 20.5, 20.5, 28, 28, 5.6, k.fg);
    RingAt(s, g, 13.5, 13.5, 9.2, 3.0, k.fg);
}

void RadioWaves(Sketch& s, const Grid& g, const Ink& k)
{
    DiscAt(s, g, 16, 16, 2.4, k.fg);
    for (double r : {6.0, 10.5}) {
        ArcAt(s, g, 16, 16, r, -40, 40, 2.3, k.fg);
        ArcAt(s, g, 16, 16, r, 140, 220, 2.3, k.fg);
    }
}

void ClockCalendar(Sketch& s, const Grid& g, const Ink& k)
{
    BoxAt(s, g, 2, 4.5, 23, 25, k.paper, 2);
    BoxAt(s, g, 2, 4.5, 23, 10.5, k.bad, 2);
    BoxAt(s, g, 2, 8, 23, 10.5, k.bad);
    Seg(s, g, 7, 2.5, 7, 6.5, 2, k.fg);
    Seg(s, g, 18, 2.5, 18, 6.5, 2, k.fg);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) BoxAt(s, g, 4.2 + c * 4.4, 12.6 + r * 4, 6.8 + c * 4.4, 14.8 + r * 4, k.print);
    DiscAt(s, g, 21.5, 21, 10.2, k.face);
    DiscAt(s, g, 21.5, 21, 8.8, k.fg);
    for (int i = 0; i < 12; i += 3) {
        double a = i * 30 * kPi / 180;
        Seg(s, g, 21.5 + 6.8 * std::cos(a), 21 + 6.8 * std::sin(a), 21.5 + 7.8 * std::cos(a),
            21 + 7.8 * std::sin(a), 1.0, k.print);
    }
    Lines(s, g, {{21.5, 15.2}, {21.5, 21}, {25.8, 23.4}}, 1.9, k.print);
}

void Languages(Sketch& s, const Grid& g, const Ink& k)
{
    BoxAt(s, g, 1.5, 2, 20, 17.5, k.fg, 3);
    Shape(s, g, {{5, 16}, {5, 22}, {11, 16}}, k.fg);
    s.Label(u"A", g.P(10.8, 10).x, g.P(10.8, 10).y, g.L(12), k.face);
    FrameAt(s, g, 10.5, 11.5, 31.5, 29, 1.8, k.face, 4);
    BoxAt(s, g, 12, 13, 30, 27.5, k.warn, 3);
    Shape(s, g, {{26, 26}, {26.5, 31}, {21, 26}}, k.warn);
    s.Label(u"Я", g.P(21, 20.6).x, g.P(21, 20.6).y, g.L(12), k.print);
}

void Car(Sketch& s, const Grid& g, const Ink& k)
{
    BoxAt(s, g, 2.5, 7.5, 29.5, 21, k.fg, 2);
    for (double u : {5.5, 12.2, 18.9}) BoxAt(s, g, u, 10, u + 4.6, 14.5, k.face, 0.6);
    BoxAt(s, g, 25.2, 10, 27.4, 18.5, k.face, 0.4);
    for (double u : {6.5, 11.5, 20.5, 25.5}) {
        DiscAt(s, g, u, 23.8, 2.9, k.face);
        DiscAt(s, g, u, 23.8, 2.2, k.fg);
    }
    Seg(s, g, 1, 26.8, 31, 26.8, 1.0, k.soft);
}

void Train(Sketch& s, const Grid& g, const Ink& k)
{
    for (double x : {1.5, 17.0}) {
        BoxAt(s, g, x, 9, x + 13.5, 20, k.fg, 1.6);
        for (double w : {x + 2.2, x + 7.4}) BoxAt(s, g, w, 11.5, w + 3.8, 15, k.face, 0.5);
        for (double u : {x + 3.3, x + 10.2}) {
            DiscAt(s, g, u, 22.2, 2.6, k.face);
            DiscAt(s, g, u, 22.2, 2.0, k.fg);
        }
    }
    Seg(s, g, 15, 17, 17, 17, 1.4, k.fg);
    Seg(s, g, 0.5, 25, 31.5, 25, 1.0, k.soft);
}

void LimitsBar(Sketch& s, const Grid& g, const Ink& k)
{
    // The scale, the band between the limits, the limit marks and the value.
    BoxAt(s, g, 2, 17, 30, 23, k.soft, 1);
    BoxAt(s, g, 10, 17, 22, 23, k.good);
    for (double u : {10.0, 22.0}) Seg(s, g, u, 12.5, u, 27.5, 2.6, k.bad);
    Shape(s, g, {{12, 5}, {20, 5}, {16, 11.5}}, k.fg);
    Seg(s, g, 16, 11, 16, 23, 1.3, k.fg);
}

void ProfileWithReference(Sketch& s, const Grid& g, const Ink& k)
{
    ProfileBlock(s, g.Sub(17, 18, 28), k);
    s.Dashed(ProfileLine(g.Sub(14.5, 13, 28)), g.L(2), g.L(2.6), g.L(1.8), k.warn);
}

void DiscWithReference(Sketch& s, const Grid& g, const Ink& k)
{
    DiscSection(s, g.Sub(17, 17, 28), k.fg);
    // The new disc's faces, dashed, outside the worn ones.
    Grid r = g.Sub(17, 17, 28);
    s.Dashed(r.Path({{7.6, 2}, {7.6, 26}}), g.L(2), g.L(2.6), g.L(1.8), k.warn);
    s.Dashed(r.Path({{24.4, 2}, {24.4, 26}}), g.L(2), g.L(2.6), g.L(1.8), k.warn);
}

void ProfileDimensions(Sketch& s, const Grid& g, const Ink& k)
{
    WheelSection(s, g.Sub(16, 19.5, 27), k.fg);
    // A width across the top and the flange height on the right.
    Seg(s, g, 4, 1.5, 4, 8, 0.9, k.soft);
    Seg(s, g, 28, 1.5, 28, 8, 0.9, k.soft);
    Seg(s, g, 6, 4.6, 26, 4.6, 1.4, k.warn);
    Shape(s, g, {{4, 4.6}, {8, 2.4}, {8, 6.8}}, k.warn);
    Shape(s, g, {{28, 4.6}, {24, 2.4}, {24, 6.8}}, k.warn);
    Seg(s, g, 26.5, 10.5, 26.5, 20.5, 1.4, k.warn);
    Shape(s, g, {{26.5, 9}, {24.3, 12.6}, {28.7, 12.6}}, k.warn);
    Shape(s, g, {{26.5, 22}, {24.3, 18.4}, {28.7, 18.4}}, k.warn);
}

void CheckList(Sketch& s, const Grid& g, const Ink& k)
{
    for (int i = 0; i < 3; ++i) {
        double v = 6.5 + i * 9.5;
        BoxAt(s, g, 2, v - 3.8, 9.6, v + 3.8, k.paper, 1);
        if (i != 1) TickMark(s, g.Sub(5.8, v, 8.6), k.good, 4.6);
        Seg(s, g, 13, v, 29, v, 2.6, k.fg);
    }
}

void RadioGroup(Sketch& s, const Grid& g, const Ink& k)
{
    for (int i = 0; i < 3; ++i) {
        double v = 6.5 + i * 9.5;
        RingAt(s, g, 5.8, v, 3.4, 1.6, k.fg);
        if (i == 1) DiscAt(s, g, 5.8, v, 1.7, k.good);
        Seg(s, g, 13, v, 29, v, 2.6, k.fg);
    }
}

void Sensor(Sketch& s, const Grid& g, const Ink& k)
{
    // The measuring head: a hand-held body with its display, the laser
    // window and beam below and the radio link above.
    Shape(s, g, {{13.5, 25}, {7.5, 31.5}, {21.5, 31.5}, {15.5, 25}}, Mix(k.laser, k.face, 0.6));
    BoxAt(s, g, 5.5, 6, 23.5, 26, k.fg, 3);
    BoxAt(s, g, 8.5, 9, 20.5, 16.5, k.face, 1);
    s.Stroke(ProfileLine(g.Sub(14.5, 12.5, 10)), g.L(1.2), k.good);
    DiscAt(s, g, 14.5, 21, 2.2, k.soft);
    BoxAt(s, g, 11, 24.5, 18, 27, k.laser, 0.8);
    ArcAt(s, g, 23.5, 6, 4.5, 270, 360, 1.8, k.fg);
    ArcAt(s, g, 23.5, 6, 8.0, 270, 360, 1.8, k.fg);
}

void Bluetooth(Sketch& s, const Grid& g, COLORREF c, double width)
{
    Lines(s, g, {{9.5, 10}, {22, 21.5}, {16, 27.5}, {16, 4.5}, {22, 10.5}, {9.5, 22}}, width, c);
}

void WheelSide(Sketch& s, const Grid& g, const Ink& k)
{
    RingAt(s, g, 16, 16, 12.6, 3.6, k.fg);
    RingAt(s, g, 16, 16, 9.2, 1.0, k.soft);
    DiscAt(s, g, 16, 16, 5.0, k.fg);
    DiscAt(s, g, 16, 16, 1.8, k.face);
}

void UsbTrident(Sketch& s, const Grid& g, COLORREF c)
{
    Seg(s, g, 16, 7, 16, 25, 2.4, c);
    Shape(s, g, {{16, 1.5}, {11.8, 8.5}, {20.2, 8.5}}, c);
    DiscAt(s, g, 16, 26.5, 3.6, c);
    Lines(s, g, {{16, 22}, {8.5, 16.5}, {8.5, 12.5}}, 2.4, c);
    DiscAt(s, g, 8.5, 11, 2.6, c);
    Lines(s, g, {{16, 19}, {23.5, 13.5}, {23.5, 10}}, 2.4, c);
    BoxAt(s, g, 21, 6, 26, 11, c);
}

void RulerUnits(Sketch& s, const Grid& g, const Ink& k)
{
    BoxAt(s, g, 1.5, 19, 30.5, 29, k.warn, 1.2);
    for (int i = 0; i <= 10; ++i) {
        double u = 4 + i * 2.4;
        Seg(s, g, u, 19.2, u, i % 5 == 0 ? 25 : i % 2 ? 22 : 23.2, 0.8, k.print);
    }
    s.Label(u"mm", g.P(8.8, 10).x, g.P(8.8, 10).y, g.L(8.6), k.fg);
    Seg(s, g, 18.6, 14, 21, 5, 1.5, k.soft);
    s.Label(u"in", g.P(26.4, 10).x, g.P(26.4, 10).y, g.L(9.4), k.fg);
}

void ListLines(Sketch& s, const Grid& g, const Ink& k)
{
    for (int i = 0; i < 4; ++i) {
        double v = 5.5 + i * 7;
        BoxAt(s, g, 2.5, v - 2, 6.5, v + 2, k.fg, 0.6);
        Seg(s, g, 10, v, 29.5, v, 2.4, k.fg);
    }
}

void ProfileChart(Sketch& s, const Grid& g, const Ink& k)
{
    Lines(s, g, {{3, 2.5}, {3, 29}, {30, 29}}, 1.6, k.soft);
    for (double v : {9.0, 16.0, 23.0}) s.Dashed(g.Path({{3, v}, {30, v}}), g.L(0.6), g.L(1.2), g.L(1.4), k.soft);
    s.Stroke(ProfileLine(g.Sub(17.5, 14.5, 26)), g.L(2.6), k.fg);
}

void DeviationBars(Sketch& s, const Grid& g, const Ink& k)
{
    const double heights[6] = {5, 9, 3.5, -6, -10, 4.5};
    for (int i = 0; i < 6; ++i) {
        double u = 4.5 + i * 4.6, h = heights[i];
        BoxAt(s, g, u - 1.5, h > 0 ? 16 - h : 16, u + 1.5, h > 0 ? 16 : 16 - h, h > 0 ? k.good : k.bad);
    }
    Seg(s, g, 1.5, 16, 30.5, 16, 1.6, k.fg);
}

void ValueTable(Sketch& s, const Grid& g, const Ink& k)
{
    BoxAt(s, g, 2.5, 4, 29.5, 10.5, k.fg, 1);
    FrameAt(s, g, 2.5, 4, 29.5, 28, 1.6, k.fg, 1);
    for (double v : {16.0, 22.0}) Seg(s, g, 3, v, 29, v, 1.2, k.fg);
    Seg(s, g, 13, 10, 13, 27.5, 1.2, k.fg);
}

void Funnel(Sketch& s, const Grid& g, const Ink& k)
{
    Shape(s, g, {{3, 4.5}, {29, 4.5}, {18.8, 16.5}, {18.8, 27.5}, {13.2, 24.5}, {13.2, 16.5}}, k.fg);
}

void Form(Sketch& s, const Grid& g, const Ink& k)
{
    BoxAt(s, g, 3, 2, 25, 30, k.paper, 1.5);
    for (int i = 0; i < 4; ++i) {
        double v = 7 + i * 5.6;
        Seg(s, g, 6, v, 9.5, v, 1.4, k.print);
        FrameAt(s, g, 11.5, v - 2.1, 22, v + 2.1, 0.8, k.soft, 0.5);
    }
}

void ArrowRight(Sketch& s, const Grid& g, COLORREF c)
{
    Seg(s, g, 5, 16, 19, 16, 5.2, c);
    Shape(s, g, {{15, 6}, {27.5, 16}, {15, 26}}, c);
}

void DoubleArrowRight(Sketch& s, const Grid& g, COLORREF c)
{
    Shape(s, g, {{3.5, 6}, {15.5, 16}, {3.5, 26}}, c);
    Shape(s, g, {{16, 6}, {28, 16}, {16, 26}}, c);
}

void UndoArrow(Sketch& s, const Grid& g, COLORREF c)
{
    ArcAt(s, g, 17, 18, 8.5, 200, 450, 3.6, c);
    Seg(s, g, 17, 26.5, 12, 26.5, 3.6, c);
    Shape(s, g, {{2.5, 13.5}, {12.5, 9}, {11.5, 19.5}}, c);
}

void DownArrow(Sketch& s, const Grid& g, COLORREF c)
{
    Seg(s, g, 16, 3, 16, 17, 5.2, c);
    Shape(s, g, {{7, 14}, {25, 14}, {16, 26}}, c);
}

void Sigma(Sketch& s, const Grid& g, const Ink& k)
{
    // Several profiles summed into one.
    for (int i = 0; i < 3; ++i) s.Stroke(ProfileLine(g.Sub(9, 4.5 + i * 3.2, 15)), g.L(1.0), k.soft);
    Lines(s, g, {{29, 8}, {29, 5}, {17, 5}, {23.5, 16}, {17, 27}, {29, 27}, {29, 24}}, 2.9, k.fg);
    s.Stroke(ProfileLine(g.Sub(8, 23, 16)), g.L(2.2), k.good);
}

void ReferenceStore(Sketch& s, const Grid& g, const Ink& k)
{
    // A profile going down into the drawer of reference profiles.
    s.Stroke(ProfileLine(g.Sub(16, 6.5, 16)), g.L(2.0), k.fg);
    DownArrow(s, g.Sub(16, 14.5, 12), k.good);
    Lines(s, g, {{3, 18}, {3, 29}, {29, 29}, {29, 18}}, 2.2, k.fg);
    BoxAt(s, g, 5.5, 22, 26.5, 26.5, k.soft, 1);
    Seg(s, g, 13, 24.2, 19, 24.2, 1.6, k.face);
}

void CatalogueCard(Sketch& s, const Grid& g, const Ink& k)
{
    // A card of the catalogue with a wheel and a disc on it.
    BoxAt(s, g, 1.5, 5, 30.5, 28, k.paper, 1.6);
    BoxAt(s, g, 1.5, 2.5, 12, 7, k.paper, 1.2);
    Ink onPaper = k;
    onPaper.fg = k.print;
    onPaper.soft = Mix(k.paper, k.print, 0.45);
    onPaper.face = k.paper;
    WheelSide(s, g.Sub(10.5, 16.5, 15), onPaper);
    DiscSection(s, g.Sub(23.5, 16.5, 17), k.accent);
}

void DiameterGauge(Sketch& s, const Grid& g, const Ink& k)
{
    // The diameter gauge: a bar standing on the tread with two legs and
    // feeling the height of the arc in the middle.
    const double cu = 16, cv = 44, r = 25;
    std::vector<Pt> cap = ArcPoints({cu, cv}, r, 212, 328, 32);
    cap.push_back({30, 30.5});
    cap.push_back({2, 30.5});
    std::vector<Pt> units;
    for (const Pt& p : cap) units.push_back({p.x, std::min(p.y, 30.5)});
    s.Fill(g.Path(units), k.soft);
    BoxAt(s, g, 2.5, 6.5, 29.5, 11, k.fg, 1);
    for (double u : {5.5, 26.5}) {
        double v = cv - std::sqrt(r * r - (u - cu) * (u - cu));
        Seg(s, g, u, 10, u, v, 2.2, k.fg);
    }
    BoxAt(s, g, 12.5, 3, 19.5, 11, k.fg, 1.5);
    BoxAt(s, g, 13.8, 4.6, 18.2, 8, k.good, 0.5);
    Seg(s, g, 16, 11, 16, cv - r, 1.4, k.laser);
}

void WheelSetGauge(Sketch& s, const Grid& g, const Ink& k)
{
    // A wheel set from the front: two rims on the axle, the gauge spanning the
    // distance between their inner faces.
    BoxAt(s, g, 7, 19.5, 25, 23, k.soft);
    for (int side = 0; side < 2; ++side) {
        Grid w = side ? g.Mirrored() : g;
        Shape(s, w, {{2, 8}, {7.5, 8}, {7.5, 27}, {9.5, 27}, {9.5, 30}, {2, 30}}, k.fg);
    }
    Seg(s, g, 10.5, 12, 21.5, 12, 1.6, k.warn);
    Shape(s, g, {{8.2, 12}, {12, 9.6}, {12, 14.4}}, k.warn);
    Shape(s, g, {{23.8, 12}, {20, 9.6}, {20, 14.4}}, k.warn);
}

void ZeroGauge(Sketch& s, const Grid& g, const Ink& k)
{
    s.Label(u"0", g.P(16, 15).x, g.P(16, 15).y, g.L(15), k.fg);
    Seg(s, g, 1, 15.5, 6.5, 15.5, 2.4, k.good);
    Shape(s, g, {{10, 15.5}, {5.6, 11.6}, {5.6, 19.4}}, k.good);
    Seg(s, g, 31, 15.5, 25.5, 15.5, 2.4, k.good);
    Shape(s, g, {{22, 15.5}, {26.4, 11.6}, {26.4, 19.4}}, k.good);
    BoxAt(s, g, 4, 25, 28, 29, k.soft, 1);
    Seg(s, g, 16, 22, 16, 30, 1.4, k.fg);
}

void CheckBox(Sketch& s, double l, double t, double size, bool ticked, const Ink& k)
{
    if (ticked) {
        s.RoundBox(l, t, l + size, t + size, 2, k.paper);
        TickMark(s, Grid(l + size / 2, t + size / 2 + 0.5, size * 1.15), k.good, 5.0);
    } else {
        s.Frame(l, t, l + size, t + size, 2, 1.6, k.fg);
    }
}

void HeadOverProfile(Sketch& s, const Grid& g, const Ink& k)
{
    // The fan reaches into the rim; the rim drawn over it cuts the fan off
    // at the running surface, where the laser line lies.
    LaserHead(s, g.Sub(16, 7.5, 21), k, 36);
    ProfileBlock(s, g.Sub(16, 21.5, 22), k);
}

void HeadsAtDisc(Sketch& s, const Grid& g, const Ink& k)
{
    DiscSection(s, g.Sub(16, 16, 30), k.fg);
    LaserHead(s, g.Sub(5.5, 14, 16).Turned(-90), k, 27);
    LaserHead(s, g.Sub(26.5, 14, 16).Turned(90), k, 27);
}

void SingleOrScheme(Sketch& s, const Grid& g, const Ink& k)
{
    WheelSection(s, g.Sub(9.5, 8.5, 15), k.fg);
    Car(s, g.Sub(20.5, 23.5, 21), k);
    Lines(s, g, {{20, 4}, {26, 4}, {26, 9.5}}, 1.8, k.soft);
    Shape(s, g, {{26, 12.5}, {23.2, 8.6}, {28.8, 8.6}}, k.soft);
    Lines(s, g, {{10, 27.5}, {4.5, 27.5}, {4.5, 21.5}}, 1.8, k.soft);
    Shape(s, g, {{4.5, 18.5}, {1.7, 22.4}, {7.3, 22.4}}, k.soft);
}

}  // namespace bitmapgen
