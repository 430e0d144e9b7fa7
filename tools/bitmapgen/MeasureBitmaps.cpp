// The measuring screen and the measuring-series screen: the measure, save,
// zero and compute buttons of every device type, the chart tools and view
// switches, the option toggles and the step arrows.
#include "tools/bitmapgen/Faces.h"
#include "tools/bitmapgen/Groups.h"

namespace bitmapgen {

namespace {

// A laser head high in the strip, its fan reaching down to the wheel rim at
// the bottom: the tall measure buttons of the measuring screen.
void TallHeadOverProfile(Sketch& s, double cx, double top, double bottom, double width, const Ink& k)
{
    Grid rim(cx, bottom - width * 0.36, width);
    double headSize = width * 0.8;
    Grid head(cx, top + headSize * 0.45, headSize);
    double beamPx = bottom - width * 0.2;  // inside the rim, which cuts the fan off
    LaserHead(s, head, k, 16 + (beamPx - head.cy) / head.k);
    ProfileBlock(s, rim, k);
}

void SaveToJournal(Sketch& s, const Grid& g, const Ink& k)
{
    Book(s, g.Sub(14, 19, 25), k);
    Grid arrow = g.Sub(25, 9, 15);
    s.Disc(arrow.P(16, 15), arrow.L(15.5), k.face);
    DownArrow(s, arrow, k.good);
}

void MagnifierWith(Sketch& s, const Grid& g, const Ink& k, int what)
{
    Magnifier(s, g, k);
    Grid lens = g.Sub(13.5, 13.5, 13);
    if (what == 0) PlusMark(s, lens, k.fg, 4.8);
    if (what == 1) MinusMark(s, lens, k.fg, 4.8);
    if (what == 2) s.Label(u"1:1", g.P(13.5, 13.8).x, g.P(13.5, 13.8).y, g.L(8.2), k.fg);
}

}  // namespace

void MeasureBitmaps(Output& out)
{
    out.Group("measure");
    const Caption def = Caption::Default;
    // Measure buttons of the measuring screen, 110 wide: the symbol stands in
    // the 31-px strip left of the caption.
    CustomButton(out, NPD(259, 260, 261), 110, 80, def, u"Измерить", [](Sketch& s, double d, const Ink& k) {
        TallHeadOverProfile(s, 15 + d, 6 + d, 73 + d, 26, k);
    });
    StripButton(out, NPD(673, 674, 675), 110, 80, def, u"Измерить", DiameterGauge);
    StripButton(out, NPD(676, 677, 678), 110, 80, def, u"Измерить", WheelSetGauge);
    CustomButton(out, NPD(760, 761, 762), 110, 80, def, u"Измерить", [](Sketch& s, double d, const Ink& k) {
        HeadsAtDisc(s, Grid(16 + d, 40 + d, 24), k);
    });
    StripButton(out, NPD(679, 680, 671), 110, 80, def, u"Обнулить", ZeroGauge);
    StripButton(out, NPD(681, 682, 672), 110, 80, def, u"Обнулить", ZeroGauge);
    StripButton(out, NPD(262, 263, 264), 110, 42, def, u"Принять", SaveToJournal);
    StripButton(out, NPD(697, 698, 699), 110, 42, def, u"Применить", Sigma);
    // The averaging layout's measure button has no caption: a laser head over
    // the rim and a plus, "add one measurement".
    CustomButton(out, NPD(700, 701, 702), 110, 70, Caption::None, nullptr, [](Sketch& s, double d, const Ink& k) {
        HeadOverProfile(s, Grid(44 + d, 35 + d, 56), k);
        PlusMark(s, Grid(86 + d, 35 + d, 34), k.good, 5.2);
    });

    // Option toggles (first face: on).
    CustomButton(out, NPD(662, 0), 110, 20, Caption::Third, u"Отклонение",
                 [](Sketch& s, double, const Ink& k) { CheckBox(s, 12, 3.5, 13, true, k); });
    CustomButton(out, NPD(663, 0), 110, 20, Caption::Third, u"Отклонение",
                 [](Sketch& s, double, const Ink& k) { CheckBox(s, 12, 3.5, 13, false, k); });

    // Chart tools.
    IconButton(out, NPD(648, 647, 646), 36, 34, [](Sketch& s, const Grid& g, const Ink& k) { MagnifierWith(s, g, k, 1); }, 27);
    IconButton(out, NPD(642, 641, 640), 36, 34, [](Sketch& s, const Grid& g, const Ink& k) { MagnifierWith(s, g, k, 0); }, 27);
    IconButton(out, NPD(645, 644, 643), 36, 34, [](Sketch& s, const Grid& g, const Ink& k) { MagnifierWith(s, g, k, 2); }, 27);
    IconButton(out, NPD(703, 704), 36, 34, DeviationBars, 26);
    IconButton(out, NPD(705, 706), 36, 34, ProfileChart, 26);
    // View switches: the first face (lit) while its view is shown.
    CustomButton(out, NPD(707, 0), 42, 34, Caption::None, nullptr,
                 [](Sketch& s, double, const Ink& k) { ProfileChart(s, Grid(21, 17, 26), k); }, Look::Selected);
    CustomButton(out, NPD(708, 0), 42, 34, Caption::None, nullptr,
                 [](Sketch& s, double, const Ink& k) { ProfileChart(s, Grid(21, 17, 26), k); });
    CustomButton(out, NPD(709, 0), 42, 34, Caption::None, nullptr,
                 [](Sketch& s, double, const Ink& k) { ValueTable(s, Grid(21, 17, 26), k); }, Look::Selected);
    CustomButton(out, NPD(710, 0), 42, 34, Caption::None, nullptr,
                 [](Sketch& s, double, const Ink& k) { ValueTable(s, Grid(21, 17, 26), k); });

    out.Group("series");
    // Series measure buttons: picture in the upper two thirds, the caption
    // centred in the lower third.
    CustomButton(out, NPD(693, 692, 691), 90, 111, Caption::CentredLow, u"Измерить",
                 [](Sketch& s, double d, const Ink& k) { TallHeadOverProfile(s, 45 + d, 4 + d, 71 + d, 50, k); });
    CustomButton(out, NPD(763, 764, 765), 90, 111, Caption::CentredLow, u"Измерить",
                 [](Sketch& s, double d, const Ink& k) { HeadsAtDisc(s, Grid(45 + d, 38 + d, 62), k); });
    CustomButton(out, NPD(690, 689, 688), 90, 79, Caption::CentredLow, u"Измерить",
                 [](Sketch& s, double d, const Ink& k) { DiameterGauge(s, Grid(45 + d, 27 + d, 46), k); });
    CustomButton(out, NPD(687, 686, 685), 90, 79, Caption::CentredLow, u"Измерить",
                 [](Sketch& s, double d, const Ink& k) { WheelSetGauge(s, Grid(45 + d, 27 + d, 46), k); });
    IconButton(out, NPD(273, 274), 41, 41, [](Sketch& s, const Grid& g, const Ink& k) {
        Form(s, g, k);
        Badge(s, g, 24, 23, Mark::Pencil, k, 7.5);
    }, 31);
    auto left = [](const Icon& right) {
        return [right](Sketch& s, const Grid& g, const Ink& k) { right(s, g.Mirrored(), k); };
    };
    Icon single = [](Sketch& s, const Grid& g, const Ink& k) { ArrowRight(s, g, k.fg); };
    Icon twice = [](Sketch& s, const Grid& g, const Ink& k) { DoubleArrowRight(s, g, k.fg); };
    IconButton(out, NPD(616, 617, 618), 41, 41, left(single), 28);
    IconButton(out, NPD(610, 611, 612), 41, 41, single, 28);
    IconButton(out, NPD(613, 614, 615), 41, 41, left(twice), 28);
    IconButton(out, NPD(607, 608, 609), 41, 41, twice, 28);
}

}  // namespace bitmapgen
