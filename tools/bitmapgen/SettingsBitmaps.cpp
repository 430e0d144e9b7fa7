// The settings and catalogue dialogs: the confirm button, the reference
// list, the tolerance-set editor, the type catalogue and its item editor.
#include "tools/bitmapgen/Faces.h"
#include "tools/bitmapgen/Groups.h"

namespace bitmapgen {

namespace {

// A smaller copy of a symbol, moved up and left to make room for a badge.
Icon Shrunk(void (*symbol)(Sketch&, const Grid&, const Ink&), double u = 13.5, double v = 14, double size = 27)
{
    return [symbol, u, v, size](Sketch& s, const Grid& g, const Ink& k) { symbol(s, g.Sub(u, v, size), k); };
}

}  // namespace

void SettingsBitmaps(Output& out)
{
    out.Group("settings");
    const Caption def = Caption::Default;
    // The confirm button of most dialogs (several use the normal face for
    // pressed too: the tick alone must carry it).
    StripButton(out, NPD(210, 211, 212), 141, 41, def, u"Принять",
                [](Sketch& s, const Grid& g, const Ink& k) { TickMark(s, g, k.fg, 4.4); });    // Reference list: wheel profiles and disc profiles.
    Icon wheel = [](Sketch& s, const Grid& g, const Ink& k) { ProfileBlock(s, g.Sub(14, 13, 28), k); };
    Icon disc = [](Sketch& s, const Grid& g, const Ink& k) { DiscSection(s, g.Sub(13, 14, 28), k.fg); };
    StripButton(out, NPD(405, 406), 141, 41, def, u"Выбрать", With(wheel, Mark::Tick));
    StripButton(out, NPD(407, 408), 141, 41, def, u"Удалить", With(wheel, Mark::Cross));
    StripButton(out, NPD(774, 775), 141, 41, def, u"Выбрать", With(disc, Mark::Tick));
    StripButton(out, NPD(769, 770), 141, 41, def, u"Удалить", With(disc, Mark::Cross));

    // Tolerance-set editor.
    Icon limits = Shrunk(LimitsBar, 14, 12, 28);
    StripButton(out, NPD(564, 565), 141, 41, def, u"Добавить", With(limits, Mark::Plus));
    StripButton(out, NPD(566, 567), 141, 41, def, u"Удалить", With(limits, Mark::Cross));
    StripButton(out, NPD(568, 569), 141, 41, def, u"Выбрать", With(limits, Mark::Tick));
    StripButton(out, NPD(574, 573), 141, 41, def, u"Изменить", With(limits, Mark::Pencil));
    StripButton(out, NPD(572, 571), 141, 41, def, u"Отмена",
                [](Sketch& s, const Grid& g, const Ink& k) { UndoArrow(s, g, k.fg); });

    // Type catalogue: wheel (or disc) types.
    Icon type = Shrunk(WheelSide, 13, 13, 26);
    StripButton(out, NPD(581, 582, 583), 141, 41, def, u"Добавить", With(type, Mark::Plus));
    StripButton(out, NPD(584, 585, 586), 141, 41, def, u"Удалить", With(type, Mark::Cross));
    StripButton(out, NPD(603, 604, 605), 141, 41, def, u"Изменить", With(type, Mark::Pencil));
    StripButton(out, NPD(587, 588, 589), 141, 41, def, u"Применить", [](Sketch& s, const Grid& g, const Ink& k) {
        WheelSide(s, g.Sub(11, 13, 22), k);
        ArrowRight(s, g.Sub(17.5, 22, 12), k.good);
        Gear(s, g.Sub(26, 23, 13), k);
    });

    // The catalogue item editor's stack (captions from x 40).
    const Caption from40 = Caption::From40;
    StripButton(out, NPD(623, 622), 161, 51, from40, u"Размеры", ProfileDimensions);
    StripButton(out, NPD(625, 624), 161, 51, from40, u"Опции", RadioGroup);
    StripButton(out, NPD(601, 602), 161, 51, from40, u"Величины", CheckList);
}

}  // namespace bitmapgen
