// The sensor search and the paired-sensor list, the scheme list and editor.
#include "tools/bitmapgen/Faces.h"
#include "tools/bitmapgen/Groups.h"

namespace bitmapgen {

namespace {

// Looking for a sensor: its radio waves under a magnifier.
void FindSensor(Sketch& s, const Grid& g, const Ink& k)
{
    RadioWaves(s, g.Sub(13.5, 13.5, 17), k);
    Magnifier(s, g, k);
}

}  // namespace

void SensorAndSchemeBitmaps(Output& out)
{
    out.Group("sensors");
    const Caption def = Caption::Default;
    StripButton(out, NPD(175, 176, 177), 141, 41, def, u"Старт", FindSensor);
    StripButton(out, NPD(376, 377, 378), 141, 41, def, u"Добавить", FindSensor);
    Icon sensor = [](Sketch& s, const Grid& g, const Ink& k) { Sensor(s, g.Sub(13, 14, 28), k); };
    StripButton(out, NPD(382, 383, 384), 141, 41, def, u"Удалить", With(sensor, Mark::Cross));
    StripButton(out, NPD(385, 386, 387), 141, 41, def, u"Выбрать", With(sensor, Mark::Tick));

    out.Group("schemes");
    Icon train = [](Sketch& s, const Grid& g, const Ink& k) { Train(s, g.Sub(16, 11, 31), k); };
    StripButton(out, NPD(549, 550), 141, 41, def, u"Добавить", With(train, Mark::Plus));
    StripButton(out, NPD(551, 552), 141, 41, def, u"Удалить", With(train, Mark::Cross));
    StripButton(out, NPD(553, 554), 141, 41, def, u"Выбрать", With(train, Mark::Tick));
    // The list / diagram toggle shows where a press leads.
    IconButton(out, NPD(555, 556), 31, 31, ListLines, 22);
    IconButton(out, NPD(557, 558), 31, 31, Car, 25);
    // A picture for a static control that nothing shows.
    {
        Sketch s(40, 24, kWhite);
        Ink k = InkFor(Look::Normal);
        k.fg = kFace;
        k.face = kWhite;
        k.soft = RGB(150, 150, 150);
        Car(s, Grid(20, 11, 38), k);
        out.Add(302, s);
    }
}

}  // namespace bitmapgen
