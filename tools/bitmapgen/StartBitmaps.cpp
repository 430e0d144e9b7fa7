// The start screen, its three menus (settings, parameters, data), the back
// button every screen shares, the corner logo and the program's icon.
#include "tools/bitmapgen/Faces.h"
#include "tools/bitmapgen/Groups.h"

namespace bitmapgen {

namespace {

const COLORREF kLogoBlue = RGB(27, 80, 184);
const COLORREF kRail = RGB(60, 60, 60);

void BackArrow(HDC dc, int cx, int cy, int size, COLORREF c)
{
    int h = size / 2;
    Poly(dc, {{cx - h, cy}, {cx - h / 6, cy - h}, {cx - h / 6, cy + h}}, c);
    Paint p(dc, c, 1, c);
    Rectangle(dc, cx - h / 6, cy - h / 3, cx + h, cy + h / 3 + 1);
}

void Logo(Canvas& c)
{
    HDC dc = c.dc;
    // A wheel profile: the tread with the flange rising on the left, over a rail head.
    std::vector<POINT> profile{{4, 8}, {8, 6}, {11, 9}, {13, 18}, {16, 22}, {22, 23}, {40, 25}, {40, 31}, {4, 31}};
    Poly(dc, profile, kLogoBlue);
    Paint p(dc, kRail, 1, kRail);
    RoundRect(dc, 20, 27, 36, 35, 4, 4);
    Line(dc, 2, 35, 42, 35, kRail, 1);
}

// The program's icon: the logo's motif, bold enough to read at half size.
void ProgramIcon(Output& out)
{
    Sketch s(32, 32, kWhite);
    s.RoundBox(0, 0, 32, 32, 6, kLogoBlue);
    Grid g(16, 15, 30);
    WheelSection(s, g, kWhite);
    s.RoundBox(10, 25, 24, 30, 2.2, RGB(30, 36, 44));
    s.Box(3, 29.2, 29, 30.6, RGB(30, 36, 44));
    out.Add(101, s);
}

}  // namespace

void StartAndMenuBitmaps(Output& out)
{
    out.Group("start");
    // Back / close button of every screen.
    for (int i = 0; i < 2; ++i) {
        Canvas c(36, 36, kWhite);
        int d = Face(c, i ? Look::Pressed : Look::Normal);
        BackArrow(c.dc, 18 + d, 18 + d, 20, kIcon);
        out.Add(173 + i, c);
    }
    {
        Canvas c(44, 38, kWhite);
        Logo(c);
        out.Add(185, c);
    }
    ProgramIcon(out);

    // The start screen's column.
    const Caption def = Caption::Default;
    StripButton(out, NPD(180, 181, 182), 141, 51, def, u"Параметры", Calipers);
    StripButton(out, NPD(135, 136, 137), 141, 51, def, u"Данные", Folder);
    StripButton(out, NPD(138, 139, 140), 141, 51, def, u"Журнал", JournalSheet);
    StripButton(out, NPD(141, 143, 142), 141, 51, def, u"Измерение", HeadOverProfile);
    StripButton(out, NPD(779, 780, 781), 141, 51, def, u"Измерение",
                [](Sketch& s, const Grid& g, const Ink& k) { HeadsAtDisc(s, g.Sub(15.5, 16, 28), k); });
    StripButton(out, NPD(348, 350, 349), 141, 51, def, u"Настройки", Gear);
    IconButton(out, NPD(341, 342), 31, 31, Power, 23);

    out.Group("menus");
    // Settings menu: captions from x 45.
    const Caption set = Caption::From45;
    StripButton(out, NPD(772, 773), 161, 51, set, u"Режим измерения", SingleOrScheme);
    StripButton(out, NPD(183, 184), 161, 51, set, u"Дата и время", ClockCalendar);
    StripButton(out, NPD(388, 389), 161, 51, set, u"Датчики", [](Sketch& s, const Grid& g, const Ink& k) {
        Sensor(s, g.Sub(11, 17, 26), k);
        Bluetooth(s, g.Sub(25, 14, 18), k.fg, 3.4);
    });
    StripButton(out, NPD(357, 358), 161, 51, set, u"Язык", Languages);
    StripButton(out, NPD(713, 714), 161, 51, set, u"Режим USB",
                [](Sketch& s, const Grid& g, const Ink& k) { UsbTrident(s, g, k.fg); });
    StripButton(out, NPD(729, 730), 161, 51, set, u"Единицы", RulerUnits);

    // Parameter menu.
    StripButton(out, NPD(367, 368, 369), 161, 51, def, u"Размеры", ProfileDimensions);
    StripButton(out, NPD(373, 374, 375), 161, 51, def, u"Опции", RadioGroup);
    StripButton(out, NPD(370, 371, 372), 161, 51, def, u"Величины", CheckList);

    // Data menu.
    StripButton(out, NPD(178, 179), 161, 51, def, u"Журналы", Book);
    StripButton(out, NPD(365, 366), 161, 51, def, u"Эталоны", ProfileWithReference);
    StripButton(out, NPD(777, 778), 161, 51, def, u"Эталоны", DiscWithReference);
    StripButton(out, NPD(361, 362), 161, 51, def, u"Схемы", Train);
    StripButton(out, NPD(363, 364), 161, 51, def, u"Допуски", LimitsBar);
    StripButton(out, NPD(620, 621), 161, 51, def, u"Типы колёс", CatalogueCard);
}

}  // namespace bitmapgen
