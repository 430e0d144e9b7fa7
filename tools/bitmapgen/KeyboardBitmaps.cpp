// Draws the bitmaps of the on-screen keyboard (keys, function keys and the
// five keyboard pictures) and the set-clock step arrows, in the style of the
// other pictures: dark slate function keys with light symbols, light key caps
// for the letters with room for the black label the code draws.
#include <string>
#include <vector>

#include "tools/bitmapgen/Drawing.h"
#include "tools/bitmapgen/Groups.h"

namespace bitmapgen {

namespace {

const COLORREF kCap = RGB(238, 241, 245);
const COLORREF kCapPressed = RGB(168, 182, 198);
const COLORREF kCapEdge = RGB(120, 132, 146);

// Where the keyboard picture is drawn on the screen.
const int kPictureX = 18, kPictureY = 119, kPictureW = 442, kPictureH = 92;

// A light key cap at (x, y) of the given size.
void Cap(HDC dc, int x, int y, int w, int h, bool pressed)
{
    Paint p(dc, kCapEdge, 1, pressed ? kCapPressed : kCap);
    RoundRect(dc, x, y, x + w, y + h, 6, 6);
    if (!pressed) Line(dc, x + 3, y + h - 2, x + w - 3, y + h - 2, RGB(200, 206, 214), 1);
}

void KeyFace(Output& out, int id, int w, int h, bool pressed)
{
    Canvas c(w, h, RGB(255, 255, 255));
    Cap(c.dc, 0, 0, w, h, pressed);
    out.Add(id, c);
}

void UpArrow(HDC dc, int cx, int top, int size, COLORREF col, bool filled)
{
    int h = size / 2;
    std::vector<POINT> pts{{cx, top},           {cx + h, top + h},    {cx + h / 2, top + h},
                           {cx + h / 2, top + size}, {cx - h / 2, top + size}, {cx - h / 2, top + h},
                           {cx - h, top + h}};
    Poly(dc, pts, col, !filled, 2);
}

void DownArrow(HDC dc, int cx, int top, int size, COLORREF col)
{
    int h = size / 2;
    std::vector<POINT> pts{{cx, top + size},   {cx + h, top + h},    {cx + h / 2, top + h},
                           {cx + h / 2, top}, {cx - h / 2, top},   {cx - h / 2, top + h},
                           {cx - h, top + h}};
    Poly(dc, pts, col);
}

struct Key {
    const char16_t* label;
    int x, y, w, h;
};

// The key field as the keyboard's tables place it, each key a released cap
// with its label.
void Picture(Output& out, int id, const std::vector<Key>& keys, int labelHeight)
{
    Canvas c(kPictureW, kPictureH, RGB(255, 255, 255));
    for (const Key& k : keys) {
        int x = k.x - kPictureX, y = k.y - kPictureY;
        Cap(c.dc, x, y, k.w, k.h, false);
        Text(c.dc, k.label, RECT{x, y, x + k.w, y + k.h}, labelHeight, RGB(0, 0, 0));
    }
    out.Add(id, c);
}

std::vector<Key> Letters(const std::vector<std::u16string>& rows, const int starts[3], int w, int h,
                         std::vector<std::u16string>& store)
{
    std::vector<Key> keys;
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t k = 0; k < rows[r].size(); ++k) store.push_back(std::u16string(1, rows[r][k]));
    size_t n = 0;
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t k = 0; k < rows[r].size(); ++k)
            keys.push_back(Key{store[n++].c_str(), starts[r] + (w + 5) * static_cast<int>(k), 120 + (h + 5) * static_cast<int>(r), w, h});
    return keys;
}

void Symbols(std::vector<Key>& keys, bool shift)
{
    keys.push_back(Key{shift ? u"|" : u"/", 426, 151, 31, 26});
    keys.push_back(Key{shift ? u"," : u".", 380, 182, 31, 26});
    keys.push_back(Key{shift ? u"`" : u"_", 20, 182, 31, 26});
    keys.push_back(Key{shift ? u"'" : u"-", 416, 182, 31, 26});
}

}  // namespace

void KeyboardBitmaps(Output& out)
{
    out.Group("keyboard");
    auto save = [&](Canvas& c, int id) { out.Add(id, c); };

    // Letter, symbol and digit key caps.
    KeyFace(out, 513, 31, 26, true);
    KeyFace(out, 514, 31, 26, false);
    KeyFace(out, 515, 31, 26, true);
    KeyFace(out, 516, 31, 26, false);
    KeyFace(out, 543, 39, 26, true);
    KeyFace(out, 542, 39, 26, false);
    KeyFace(out, 535, 71, 41, true);
    KeyFace(out, 534, 71, 41, false);

    // OK: a tick.
    for (int i = 0; i < 2; ++i) {
        Canvas c(56, 52, RGB(255, 255, 255));
        int d = Face(c, i ? Look::Pressed : Look::Normal);
        Line(c.dc, 14 + d, 27 + d, 24 + d, 38 + d, kIcon, 5);
        Line(c.dc, 24 + d, 38 + d, 43 + d, 14 + d, kIcon, 5);
        save(c, 517 + i);
    }
    // Space: the open box of a blank.
    for (int i = 0; i < 2; ++i) {
        Canvas c(200, 44, RGB(255, 255, 255));
        int d = Face(c, i ? Look::Pressed : Look::Normal);
        Line(c.dc, 70 + d, 20 + d, 70 + d, 30 + d, kIcon, 3);
        Line(c.dc, 70 + d, 30 + d, 130 + d, 30 + d, kIcon, 3);
        Line(c.dc, 130 + d, 30 + d, 130 + d, 20 + d, kIcon, 3);
        save(c, 519 + i);
    }
    // Shift: an outlined arrow when off, a filled one when on; grey when disabled.
    const struct {
        int id;
        Look look;
        bool filled;
    } shifts[] = {{521, Look::Normal, false}, {522, Look::Pressed, false}, {523, Look::Disabled, false},
                  {524, Look::Normal, true},  {525, Look::Pressed, true}};
    for (const auto& s : shifts) {
        Canvas c(44, 44, RGB(255, 255, 255));
        int d = Face(c, s.look);
        UpArrow(c.dc, 22 + d, 9 + d, 26, s.filled ? RGB(255, 214, 80) : IconColor(s.look), s.filled);
        save(c, s.id);
    }
    // Alphabet key: each face names what a press switches to.
    const struct {
        int id;
        Look look;
        const char16_t* label;
    } alphabets[] = {{530, Look::Normal, u"АБВ"}, {531, Look::Pressed, u"АБВ"}, {526, Look::Disabled, u"АБВ"},
                     {527, Look::Normal, u"ABC"}, {528, Look::Pressed, u"ABC"}, {529, Look::Disabled, u"ABC"}};
    for (const auto& a : alphabets) {
        Canvas c(80, 44, RGB(255, 255, 255));
        int d = Face(c, a.look);
        Text(c.dc, a.label, RECT{d, d, 80 + d, 44 + d}, 18, IconColor(a.look));
        save(c, a.id);
    }
    // Letters / digits key.
    const struct {
        int id;
        Look look;
        const char16_t* label;
    } modes[] = {{532, Look::Normal, u"123"}, {533, Look::Pressed, u"123"}, {540, Look::Normal, u"ABC"},
                 {541, Look::Pressed, u"ABC"}};
    for (const auto& m : modes) {
        Canvas c(46, 44, RGB(255, 255, 255));
        int d = Face(c, m.look);
        Text(c.dc, m.label, RECT{d, d, 46 + d, 44 + d}, 14, IconColor(m.look));
        save(c, m.id);
    }
    // Backspace: an arrow-shaped tag with a cross.
    for (int i = 0; i < 2; ++i) {
        Canvas c(60, 36, RGB(255, 255, 255));
        int d = Face(c, i ? Look::Pressed : Look::Normal);
        Poly(c.dc, {{10 + d, 18 + d}, {20 + d, 8 + d}, {48 + d, 8 + d}, {48 + d, 28 + d}, {20 + d, 28 + d}}, kIcon, true, 2);
        Line(c.dc, 27 + d, 13 + d, 38 + d, 23 + d, kIcon, 2);
        Line(c.dc, 38 + d, 13 + d, 27 + d, 23 + d, kIcon, 2);
        save(c, 538 + i);
    }
    // Set-clock step arrows (stretched to the buttons).
    for (int i = 0; i < 2; ++i) {
        Canvas down(36, 36, RGB(255, 255, 255));
        int d = Face(down, i ? Look::Pressed : Look::Normal);
        DownArrow(down.dc, 18 + d, 7 + d, 22, kIcon);
        save(down, 213 + i);
        Canvas up(36, 36, RGB(255, 255, 255));
        d = Face(up, i ? Look::Pressed : Look::Normal);
        UpArrow(up.dc, 18 + d, 7 + d, 22, kIcon, true);
        save(up, 215 + i);
    }

    // The keyboard pictures.
    const int cyrStarts[3] = {20, 30, 56}, latStarts[3] = {20, 30, 64};
    for (int shift = 0; shift < 2; ++shift) {
        std::vector<std::u16string> store;
        store.reserve(64);
        std::vector<std::u16string> cyr = shift ? std::vector<std::u16string>{u"ЙЦУКЕНГШЩЗХЪ", u"ФЫВАПРОЛДЖЭ", u"ЯЧСМИТЬБЮ"}
                                                : std::vector<std::u16string>{u"йцукенгшщзхъ", u"фывапролджэ", u"ячсмитьбю"};
        auto keys = Letters(cyr, cyrStarts, 31, 26, store);
        Symbols(keys, shift != 0);
        Picture(out, shift ? 545 : 544, keys, 14);
        std::vector<std::u16string> store2;
        store2.reserve(64);
        std::vector<std::u16string> lat = shift ? std::vector<std::u16string>{u"QWERTYUIOP", u"ASDFGHJKL", u"ZXCVBNM"}
                                                : std::vector<std::u16string>{u"qwertyuiop", u"asdfghjkl", u"zxcvbnm"};
        auto lkeys = Letters(lat, latStarts, 39, 26, store2);
        Symbols(lkeys, shift != 0);
        Picture(out, shift ? 547 : 546, lkeys, 14);
    }
    std::vector<Key> digits;
    const char16_t* labels[10] = {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"0"};
    for (int i = 0; i < 10; ++i) digits.push_back(Key{labels[i], 20 + 76 * (i % 5), 120 + 46 * (i / 5), 71, 41});
    digits.push_back(Key{u".", 400, 166, 36, 41});
    Picture(out, 548, digits, 20);
}

}  // namespace bitmapgen
