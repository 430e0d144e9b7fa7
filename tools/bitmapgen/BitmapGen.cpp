// Draws every bitmap resource of the program, and the program's icon, with
// the platform's own GDI and writes them as PNG files named after their
// resource id ("173.png").
//
//   bitmapgen OUTPUT_FOLDER [--sheets SHEET_FOLDER]
//
// With --sheets it also writes contact sheets, one per screen group, at one
// and two times the size, with a sample caption where the code draws one:
// the way to look over the pictures as the operator will see them.
//
// One style for all: button faces are dark slate with a light symbol in the
// left strip and plain dark room for the caption the code draws; pressed
// faces are darker with the symbol shifted by one pixel; disabled faces are
// grey. Status pictures sit on white.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/bitmapgen/Groups.h"

int main(int argc, char** argv)
{
    using namespace bitmapgen;
    const char* sheets = nullptr;
    if (argc == 4 && std::strcmp(argv[2], "--sheets") == 0) sheets = argv[3];
    if (argc != 2 && !sheets) {
        std::fprintf(stderr, "usage: bitmapgen OUTPUT_FOLDER [--sheets SHEET_FOLDER]\n");
        return 2;
    }
    Output out(argv[1]);
    StartAndMenuBitmaps(out);
    MeasureBitmaps(out);
    JournalBitmaps(out);
    SettingsBitmaps(out);
    SensorAndSchemeBitmaps(out);
    StatusBitmaps(out);
    KeyboardBitmaps(out);
    bool ok = out.Ok();
    if (sheets) ok = out.WriteSheets(sheets, 1) && out.WriteSheets(sheets, 2) && ok;
    return ok ? 0 : 1;
}
