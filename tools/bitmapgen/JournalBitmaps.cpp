// The journal manager and the journal browser: journal books, the list and
// record tools, the filter and the save-as-reference button.
#include "tools/bitmapgen/Faces.h"
#include "tools/bitmapgen/Groups.h"

namespace bitmapgen {

void JournalBitmaps(Output& out)
{
    out.Group("journal");
    const Caption def = Caption::Default;
    Icon book = [](Sketch& s, const Grid& g, const Ink& k) { Book(s, g.Sub(13, 16, 30), k); };
    StripButton(out, NPD(233, 234), 141, 41, def, u"Добавить", With(book, Mark::Plus));
    StripButton(out, NPD(235, 236), 141, 41, def, u"Удалить", With(book, Mark::Cross));
    StripButton(out, NPD(237, 238), 141, 41, def, u"Выбрать", With(book, Mark::Tick));

    // The browser's tools.
    IconButton(out, NPD(335, 336, 337), 40, 34, ProfileChart, 26);
    IconButton(out, NPD(338, 339, 340), 40, 34, ListLines, 25);
    IconButton(out, NPD(278, 279, 280), 38, 38, With(ListLines, Mark::Cross, 24, 24, 7.8), 28);
    IconButton(out, NPD(654, 653, 652), 38, 38, Funnel, 27);
    IconButton(out, NPD(651, 650, 649), 38, 38, With(Funnel, Mark::Cross, 24, 24, 7.8), 28);
    IconButton(out, NPD(738, 737, 736), 38, 38, ReferenceStore, 28);
}

}  // namespace bitmapgen
