// The program's resource table: the embedded bitmaps, the dialog templates
// (built once into the system's binary template layout) and the strings.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WinResource.h"
#include "resources/EmbeddedBitmaps.h"
#include "resources/ResourceIds.h"

namespace {

// Styles and control classes as the templates store them.
constexpr uint32_t kChild = 0x40000000u, kVisible = 0x10000000u, kPopup = 0x80000000u, kBorder = 0x00800000u,
                   kCaption = 0x00C00000u, kSysMenu = 0x00080000u, kGroup = 0x00020000u, kTabStop = 0x00010000u,
                   kVScroll = 0x00200000u;
constexpr uint32_t kSetFont = 0x40u, kCenter = 0x800u;
constexpr uint32_t kSsCenter = 0x1u, kEsAutoHScroll = 0x80u, kEsReadOnly = 0x800u, kEsNumber = 0x2000u,
                   kBsOwnerDraw = 0xBu, kCbsDropDownList = 0x3u;
constexpr uint16_t kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kComboBox = 0x85;

struct Item {
    uint16_t cls;
    uint16_t id;
    int16_t x, y, cx, cy;
    uint32_t style;
    const char16_t* text;
};

struct Dialog {
    uint16_t id;
    int16_t cx, cy;
    uint16_t points;
    uint32_t style;
    std::vector<Item> items;
};

constexpr uint32_t kCommon = kPopup | kBorder | kSysMenu | kSetFont;
constexpr uint32_t kStaticStyle = kChild | kVisible | kGroup;
constexpr uint32_t kEditStyle = kChild | kVisible | kBorder | kTabStop | kEsAutoHScroll;
constexpr uint32_t kComboStyle = kChild | kVisible | kVScroll | kTabStop | kCbsDropDownList;
constexpr uint32_t kClockEdit = kChild | kVisible | kBorder | kTabStop | kEsNumber | kEsAutoHScroll;
constexpr uint32_t kClockButton = kChild | kVisible | kTabStop | kBsOwnerDraw;

std::vector<Dialog> Dialogs()
{
    std::vector<Dialog> d;
    // The common form: a bordered pop-up covering the screen, controls made at run time.
    for (uint16_t id : {219, 247, 326, 469, 473, 474, 475, 606, 731, 732, 733})
        d.push_back({id, 248, 128, 11, kCommon, {}});
    d.push_back({270, 248, 128, 11, kCommon, {}});
    d.push_back({590, 242, 128, 11, kCommon, {}});
    d.push_back({IDD_MESSAGE, 150, 63, 11, kPopup | kCaption | kCenter | kSetFont,
                 {{kStatic, 345, 32, 3, 109, 33, kStaticStyle | kSsCenter, u""}}});
    d.push_back({228, 248, 128, 11, kCommon,
                 {{kEdit, 240, 90, 26, 78, 12, kEditStyle, u""}, {kStatic, 241, 6, 27, 55, 8, kStaticStyle, u""}}});
    d.push_back({242, 248, 128, 11, kCommon,
                 {{kStatic, 298, 8, 23, 194, 16, kStaticStyle, u""}, {kStatic, 299, 7, 87, 93, 8, kStaticStyle, u""}}});
    d.push_back({346, 248, 128, 11, kCommon,
                 {{kEdit, 400, 88, 26, 94, 12, kEditStyle, u""}, {kStatic, 401, 6, 27, 81, 8, kStaticStyle, u""}}});
    d.push_back({347, 248, 128, 11, kCommon,
                 {{kStatic, 415, 6, 27, 81, 8, kStaticStyle, u""}, {kEdit, 416, 88, 26, 87, 12, kEditStyle, u""}}});
    d.push_back({IDD_KEYBOARD, 213, 114, 12, kPopup | kBorder | kSysMenu | kSetFont,
                 {{kStatic, 477, 11, 22, 153, 8, kStaticStyle, u""},
                  {kEdit, 476, 11, 33, 152, 14, kChild | kVisible | kBorder | kEsReadOnly | kEsAutoHScroll, u""}}});
    d.push_back({559, 248, 128, 11, kCommon,
                 {{kEdit, 479, 88, 24, 78, 12, kEditStyle, u""},
                  {kEdit, 481, 88, 39, 78, 12, kEditStyle, u""},
                  {kComboBox, 480, 88, 54, 78, 80, kComboStyle, u""},
                  {kComboBox, 482, 88, 69, 78, 60, kComboStyle, u""},
                  {kComboBox, 488, 88, 84, 78, 40, kComboStyle, u""},
                  {kStatic, 483, 6, 26, 78, 8, kStaticStyle, u""},
                  {kStatic, 485, 6, 41, 78, 8, kStaticStyle, u""},
                  {kStatic, 484, 6, 56, 78, 8, kStaticStyle, u""},
                  {kStatic, 486, 6, 70, 78, 8, kStaticStyle, u""},
                  {kStatic, 487, 6, 84, 78, 8, kStaticStyle, u""}}});
    d.push_back({563, 248, 128, 11, kCommon,
                 {{kStatic, 494, 6, 26, 65, 8, kStaticStyle, u""},
                  {kEdit, 495, 73, 25, 64, 12, kEditStyle | kEsReadOnly, u""}}});
    d.push_back({575, 242, 128, 11, kCommon,
                 {{kStatic, 498, 5, 26, 70, 8, kStaticStyle, u""}, {kEdit, 499, 78, 25, 63, 12, kEditStyle, u""}}});
    d.push_back({655, 150, 75, 12, kPopup | kBorder | kCenter | kSetFont, {}});
    // The set-clock screen: fields with their up and down step buttons.
    Dialog clock{IDD_SET_CLOCK, 213, 114, 12, kPopup | kBorder | kSetFont, {}};
    struct Field {
        uint16_t edit;
        int16_t x, w;
        uint16_t up, down;
        int16_t bx;
        const char16_t* text;
    };
    const Field fields[] = {{200, 26, 21, 189, 188, 27, u""}, {206, 49, 6, 0, 0, 0, u"-"},
                            {201, 62, 11, 191, 190, 59, u""}, {207, 79, 8, 0, 0, 0, u"-"},
                            {205, 89, 11, 193, 192, 86, u""}, {202, 119, 12, 195, 194, 117, u""},
                            {208, 136, 6, 0, 0, 0, u":"},     {203, 147, 12, 197, 196, 144, u""},
                            {209, 163, 6, 0, 0, 0, u":"},     {204, 174, 11, 199, 198, 171, u""}};
    for (const Field& f : fields) {
        clock.items.push_back({kEdit, f.edit, f.x, 51, f.w, 12, kClockEdit, f.text});
        if (f.up) {
            clock.items.push_back({kButton, f.up, f.bx, 30, 16, 15, kClockButton, u""});
            clock.items.push_back({kButton, f.down, f.bx, 67, 16, 15, kClockButton, u""});
        }
    }
    d.push_back(clock);
    return d;
}

struct Writer {
    std::vector<uint8_t> bytes;
    void Word(uint16_t v)
    {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void Dword(uint32_t v)
    {
        Word(static_cast<uint16_t>(v));
        Word(static_cast<uint16_t>(v >> 16));
    }
    void Text(const char16_t* s)
    {
        for (; *s; ++s) Word(*s);
        Word(0);
    }
    void Align4()
    {
        while (bytes.size() % 4) bytes.push_back(0);
    }
};

std::vector<uint8_t> Encode(const Dialog& d)
{
    Writer w;
    w.Dword(d.style);
    w.Dword(0);
    w.Word(static_cast<uint16_t>(d.items.size()));
    w.Word(0);
    w.Word(0);
    w.Word(static_cast<uint16_t>(d.cx));
    w.Word(static_cast<uint16_t>(d.cy));
    w.Word(0);  // no menu
    w.Word(0);  // the standard dialog class
    w.Text(u"");
    if (d.style & kSetFont) {
        w.Word(d.points);
        w.Text(u"Calibri");
    }
    for (const Item& it : d.items) {
        w.Align4();
        w.Dword(it.style);
        w.Dword(0);
        w.Word(static_cast<uint16_t>(it.x));
        w.Word(static_cast<uint16_t>(it.y));
        w.Word(static_cast<uint16_t>(it.cx));
        w.Word(static_cast<uint16_t>(it.cy));
        w.Word(it.id);
        w.Word(0xFFFF);
        w.Word(it.cls);
        w.Text(it.text);
        w.Word(0);  // no creation data
    }
    return w.bytes;
}

// Strings: 1 the window title (empty: the running main window has none),
// 2 the main window's class name, 3 the start screen's footer line.
const char16_t kClassName[] = u"QAV5_PA";
const char16_t kFooter[] = u"Qav5 wheel and brake-disc profile gauge - operator software for Linux";

struct Table {
    std::vector<std::vector<uint8_t>> dialogs;
    std::vector<qplat::ResourceEntry> entries;
};

const Table& Build()
{
    static Table table;
    static std::once_flag once;
    std::call_once(once, [] {
        // The bitmaps folder also holds the program's icon (101.png): it is an
        // icon resource, not a bitmap.
        for (size_t i = 0; i < qav::res::kBitmapCount; ++i) {
            qplat::ResourceEntry e = qav::res::kBitmaps[i];
            if (e.id == IDI_APP) e.type = 3;
            table.entries.push_back(e);
        }
        std::vector<Dialog> dialogs = Dialogs();
        table.dialogs.reserve(dialogs.size());
        for (const Dialog& d : dialogs) table.dialogs.push_back(Encode(d));
        for (size_t i = 0; i < dialogs.size(); ++i)
            table.entries.push_back({5, dialogs[i].id, table.dialogs[i].data(), table.dialogs[i].size()});
        table.entries.push_back({6, IDS_APP_CLASS, reinterpret_cast<const uint8_t*>(kClassName),
                                 (sizeof kClassName) - sizeof(char16_t)});
        table.entries.push_back(
            {6, IDS_FOOTER, reinterpret_cast<const uint8_t*>(kFooter), (sizeof kFooter) - sizeof(char16_t)});
    });
    return table;
}

}  // namespace

extern "C" const qplat::ResourceEntry* QavResourceTable(size_t* count)
{
    const Table& t = Build();
    if (count) *count = t.entries.size();
    return t.entries.data();
}
