// The bitmap inventory: every picture the screens load is a resource, at the
// size its control or place takes, and every button face keeps what the
// buttons rely on: plain dark room where the caption goes, a pressed face
// that is darker, a disabled face that is grey, status pictures on white.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/WinUser.h"
#include "platform/gdi/Surface.h"
#include "resources/ResourceIds.h"
#include "tests/platform_ui/GdiTestSupport.h"

namespace {

struct Picture {
    int w = 0, h = 0;
    std::shared_ptr<qplat::Surface> pixels;
    COLORREF At(int x, int y) const { return qplat::PixelToColor(pixels->At(x, y)); }
};

Picture Load(int id)
{
    Picture p;
    HBITMAP b = static_cast<HBITMAP>(LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    if (!b) return p;
    auto s = qplat::SurfaceOfBitmap(b);
    if (s) {
        p.pixels = std::make_shared<qplat::Surface>(*s);
        p.w = s->width;
        p.h = s->height;
    }
    DeleteObject(b);
    return p;
}

int Luma(COLORREF c)
{
    return (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114) / 1000;
}

int Chroma(COLORREF c)
{
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::max({r, g, b}) - std::min({r, g, b});
}

std::vector<int> Range(int first, int last)
{
    std::vector<int> ids;
    for (int id = first; id <= last; ++id) ids.push_back(id);
    return ids;
}

// Sizes the inventory states (the control takes them, or the layout is built
// for them).
struct Size {
    std::vector<int> ids;
    int w, h;
};
const std::vector<Size> kStatedSizes{
    {{173, 174}, 36, 36},
    {{341, 342, 555, 556, 557, 558}, 31, 31},
    {{135, 136, 137, 138, 139, 140, 141, 142, 143, 180, 181, 182, 348, 349, 350, 779, 780, 781}, 141, 51},
    {{178, 179, 183, 184, 357, 358, 361, 362, 363, 364, 365, 366, 367, 368, 369, 370, 371, 372, 373, 374, 375,
      388, 389, 620, 621, 713, 714, 729, 730, 772, 773, 777, 778},
     161, 51},
    {{175, 176, 177, 210, 211, 212, 233, 234, 235, 236, 237, 238, 376, 377, 378, 382, 383, 384, 385, 386, 387,
      405, 406, 407, 408, 549, 550, 551, 552, 553, 554, 564, 565, 566, 567, 568, 569, 571, 572, 573, 574, 581,
      582, 583, 584, 585, 586, 587, 588, 589, 603, 604, 605, 769, 770, 774, 775},
     141, 41},
    {{273, 274, 607, 608, 609, 610, 611, 612, 613, 614, 615, 616, 617, 618}, 41, 41},
    {{691, 692, 693, 763, 764, 765}, 90, 111},
    {{685, 686, 687, 688, 689, 690}, 90, 79},
    {{626, 627, 628, 629, 630, 631, 632, 633, 636, 637}, 48, 48},
    {Range(717, 724), 40, 40},
    {{735}, 218, 170},
    {{513, 514, 515, 516}, 31, 26},
    {{542, 543}, 39, 26},
    {{534, 535}, 71, 41},
    // The catalogue item editor's stack at y 60/111/162 needs 51-high faces.
    {{601, 602, 622, 623, 624, 625}, 161, 51},
};

// Pictures whose size is their own: the bounds keep them clear of their
// neighbours on the screen.
struct Bound {
    std::vector<int> ids;
    int maxW, maxH;
};
const std::vector<Bound> kBounds{
    {{161, 162}, 40, 28},
    {{695, 696}, 28, 28},
    {{185}, 50, 40},
    {{259, 260, 261, 760, 761, 762}, 115, 85},
    {{262, 263, 264}, 115, 47},
    {{278, 279, 280, 649, 650, 651, 652, 653, 654, 736, 737, 738}, 40, 40},
    {{314, 315, 317, 318}, 145, 38},
    {{319, 320, 321, 322}, 50, 50},
    {{335, 336, 337, 338, 339, 340}, 44, 36},
    {{640, 641, 642, 643, 644, 645, 646, 647, 648, 703, 704, 705, 706}, 38, 36},
    {{634, 635}, 10, 16},
    {{638}, 12, 12},
    {{662, 663}, 115, 22},
    {{671, 672, 673, 674, 675, 676, 677, 678, 679, 680, 681, 682}, 115, 85},
    {{697, 698, 699}, 115, 45},
    {{700, 701, 702}, 115, 75},
    {{707, 708, 709, 710}, 44, 36},
    {{213, 214, 215, 216}, 40, 40},
    {{517, 518}, 60, 59},
    {{519, 520}, 208, 49},
    {{521, 522, 523, 524, 525}, 46, 49},
    {{526, 527, 528, 529, 530, 531}, 83, 49},
    {{532, 533, 540, 541}, 48, 49},
    {{538, 539}, 70, 40},
    {{544, 545, 546, 547, 548}, 460, 100},
    {{302}, 480, 272},
};

// The faces of one button: normal, pressed, disabled (0: none).
struct Button {
    int normal, pressed, disabled;
};
const std::vector<Button> kButtons{
    {135, 136, 137}, {138, 139, 140}, {141, 143, 142}, {173, 174, 0},   {175, 176, 177}, {178, 179, 0},
    {180, 181, 182}, {183, 184, 0},   {210, 211, 212}, {213, 214, 0},   {215, 216, 0},   {233, 234, 0},
    {235, 236, 0},   {237, 238, 0},   {259, 260, 261}, {262, 263, 264}, {273, 274, 0},   {278, 279, 280},
    {314, 315, 0},   {317, 318, 0},   {335, 336, 337}, {338, 339, 340}, {341, 342, 0},   {348, 350, 349},
    {357, 358, 0},   {361, 362, 0},   {363, 364, 0},   {365, 366, 0},   {367, 368, 369}, {370, 371, 372},
    {373, 374, 375}, {376, 377, 378}, {382, 383, 384}, {385, 386, 387}, {388, 389, 0},   {405, 406, 0},
    {407, 408, 0},   {517, 518, 0},   {519, 520, 0},   {521, 522, 523}, {524, 525, 0},   {530, 531, 526},
    {527, 528, 529}, {532, 533, 0},   {538, 539, 0},   {540, 541, 0},   {549, 550, 0},   {551, 552, 0},
    {553, 554, 0},   {555, 556, 0},   {557, 558, 0},   {564, 565, 0},   {566, 567, 0},   {568, 569, 0},
    {572, 571, 0},   {574, 573, 0},   {581, 582, 583}, {584, 585, 586}, {587, 588, 589}, {601, 602, 0},
    {603, 604, 605}, {607, 608, 609}, {610, 611, 612}, {613, 614, 615}, {616, 617, 618}, {620, 621, 0},
    {623, 622, 0},   {625, 624, 0},   {642, 641, 640}, {645, 644, 643}, {648, 647, 646}, {651, 650, 649},
    {654, 653, 652}, {673, 674, 675}, {676, 677, 678}, {679, 680, 671}, {681, 682, 672}, {687, 686, 685},
    {690, 689, 688}, {693, 692, 691}, {697, 698, 699}, {700, 701, 702}, {703, 704, 0},   {705, 706, 0},
    {713, 714, 0},   {729, 730, 0},   {738, 737, 736}, {760, 761, 762}, {763, 764, 765}, {769, 770, 0},
    {772, 773, 0},   {774, 775, 0},   {777, 778, 0},   {779, 780, 781},
    // Key caps: released, pressed.
    {514, 513, 0},   {516, 515, 0},   {534, 535, 0},   {542, 543, 0},
};

// Image toggles: first face (on) and second face (off).
const std::vector<std::pair<int, int>> kToggles{{662, 663}, {707, 708}, {709, 710}};

// Pictures on the white screen and the message box.
const std::vector<int> kOnWhite = [] {
    std::vector<int> ids{161, 162, 695, 696, 185, 319, 320, 321, 322, 634, 635, 638, 302};
    for (int id : Range(626, 633)) ids.push_back(id);
    for (int id : Range(636, 637)) ids.push_back(id);
    for (int id : Range(717, 724)) ids.push_back(id);
    return ids;
}();

// Where the code draws a white caption over a face.
enum class Rule { Default, From45, From40, CentredLow, Third };
struct Captioned {
    std::vector<int> ids;
    Rule rule;
};
const std::vector<Captioned> kCaptionedFaces{
    {{135, 136, 137, 138, 139, 140, 141, 142, 143, 180, 181, 182, 348, 349, 350, 779, 780, 781, 178, 179, 361,
      362, 363, 364, 365, 366, 367, 368, 369, 370, 371, 372, 373, 374, 375, 620, 621, 777, 778, 175, 176, 177,
      210, 211, 212, 233, 234, 235, 236, 237, 238, 376, 377, 378, 382, 383, 384, 385, 386, 387, 405, 406, 407,
      408, 549, 550, 551, 552, 553, 554, 564, 565, 566, 567, 568, 569, 571, 572, 573, 574, 581, 582, 583, 584,
      585, 586, 587, 588, 589, 603, 604, 605, 769, 770, 774, 775, 314, 315, 317, 318, 259, 260, 261, 262, 263,
      264, 671, 672, 673, 674, 675, 676, 677, 678, 679, 680, 681, 682, 697, 698, 699, 760, 761, 762},
     Rule::Default},
    {{183, 184, 357, 358, 388, 389, 713, 714, 729, 730, 772, 773}, Rule::From45},
    {{601, 602, 622, 623, 624, 625}, Rule::From40},
    {{685, 686, 687, 688, 689, 690, 691, 692, 693, 763, 764, 765}, Rule::CentredLow},
    {{662, 663}, Rule::Third},
};

// The text box of the caption, kept off the face's rounded edge.
RECT CaptionBand(Rule rule, int w, int h)
{
    int top = static_cast<int>(h / 3.5), height = static_cast<int>(h / 2.8);
    switch (rule) {
    case Rule::From45: return RECT{45, top, w - 3, top + height};
    case Rule::From40: return RECT{40, top, w - 3, top + height};
    case Rule::Third: return RECT{w / 3, top, w - 3, top + height};
    case Rule::CentredLow: return RECT{3, static_cast<int>(h / 1.5), w - 3, h - 3};
    case Rule::Default: break;
    }
    return RECT{static_cast<int>(w / 3.5), top, w - 3, top + height};
}

}  // namespace

TEST(BitmapInventory, EveryLoadedPictureIsThereAtItsSize)
{
    std::set<int> all;
    for (const Size& s : kStatedSizes)
        for (int id : s.ids) {
            all.insert(id);
            Picture p = Load(id);
            EXPECT_EQ(p.w, s.w) << id;
            EXPECT_EQ(p.h, s.h) << id;
        }
    for (const Bound& b : kBounds)
        for (int id : b.ids) {
            all.insert(id);
            Picture p = Load(id);
            EXPECT_GT(p.w, 0) << id;
            EXPECT_GT(p.h, 0) << id;
            EXPECT_LE(p.w, b.maxW) << id;
            EXPECT_LE(p.h, b.maxH) << id;
        }
    // Every id of the inventory has a size rule above: 286 pictures.
    EXPECT_EQ(all.size(), 286u);
    // Numbers the program never loads stay free, and the icon is no bitmap.
    for (int id : {536, 537, 570, 694, IDI_APP}) EXPECT_EQ(Load(id).w, 0) << id;
}

TEST(BitmapInventory, FacesOfOneControlShareTheirSize)
{
    auto same = [](const std::vector<int>& ids) {
        Picture first = Load(ids.front());
        for (int id : ids) {
            Picture p = Load(id);
            EXPECT_EQ(p.w, first.w) << id << " vs " << ids.front();
            EXPECT_EQ(p.h, first.h) << id << " vs " << ids.front();
        }
    };
    for (const Button& b : kButtons) {
        std::vector<int> ids{b.normal, b.pressed};
        if (b.disabled) ids.push_back(b.disabled);
        same(ids);
    }
    for (auto [on, off] : kToggles) same({on, off});
    // Buttons that take one another's place or stand in one column.
    same({314, 317});
    same({335, 338});
    same({642, 645, 648, 703, 705});
    same({278, 651, 654, 738});
    same({707, 709});
    same({259, 673, 676, 679, 681, 760});
    same({687, 690});
    same({693, 763});
    same({161, 162});
    same({695, 696});
    same({319, 320, 321, 322});
    same({213, 215});
    same({544, 545, 546, 547, 548});
    // The measuring screen's column at x 5: one width for every button in it.
    Picture column = Load(259);
    for (int id : {262, 697, 700}) EXPECT_EQ(Load(id).w, column.w) << id;
}

TEST(BitmapInventory, PressedFacesAreDarkerAndDisabledFacesGrey)
{
    for (const Button& b : kButtons) {
        Picture normal = Load(b.normal), pressed = Load(b.pressed);
        ASSERT_GT(normal.w, 0) << b.normal;
        ASSERT_GT(pressed.w, 0) << b.pressed;
        // A plain spot of the face near its right edge.
        int x = normal.w - 3, y = normal.h / 2;
        EXPECT_LT(Luma(pressed.At(x, y)) + 8, Luma(normal.At(x, y))) << b.normal << "/" << b.pressed;
        EXPECT_FALSE(pressed.pixels->pixels == normal.pixels->pixels) << b.pressed << " looks like " << b.normal;
        if (!b.disabled) continue;
        Picture disabled = Load(b.disabled);
        COLORREF grey = disabled.At(x, y);
        EXPECT_LE(Chroma(grey), 20) << b.disabled;
        EXPECT_GT(Luma(grey), Luma(normal.At(x, y))) << b.disabled;
        // Greyed, not blank: the symbol is still there.
        int symbol = 0;
        for (int yy = 3; yy < disabled.h - 3; ++yy)
            for (int xx = 3; xx < disabled.w - 3; ++xx) symbol += disabled.At(xx, yy) != grey;
        EXPECT_GT(symbol, 20) << b.disabled;
    }
    for (auto [on, off] : kToggles) EXPECT_FALSE(Load(on).pixels->pixels == Load(off).pixels->pixels) << on;
    // The view switches' first face is the lit one.
    for (auto [on, off] : {std::pair{707, 708}, std::pair{709, 710}}) {
        Picture lit = Load(on), plain = Load(off);
        EXPECT_GT(GetBValue(lit.At(3, lit.h / 2)), GetBValue(plain.At(3, plain.h / 2)) + 60) << on;
    }
}

TEST(BitmapInventory, CaptionRoomIsPlainAndDark)
{
    for (const Captioned& group : kCaptionedFaces)
        for (int id : group.ids) {
            Picture p = Load(id);
            ASSERT_GT(p.w, 0) << id;
            RECT band = CaptionBand(group.rule, p.w, p.h);
            COLORREF face = p.At(band.left, band.top);
            EXPECT_LE(Luma(face), 170) << id;
            int stray = 0;
            for (int y = band.top; y < band.bottom; ++y)
                for (int x = band.left; x < band.right; ++x) stray += p.At(x, y) != face;
            EXPECT_EQ(stray, 0) << id << ": the symbol reaches into the caption";
            // ...and the symbol is there, left of (or above) the caption.
            int symbol = 0;
            RECT strip = group.rule == Rule::CentredLow ? RECT{3, 3, p.w - 3, band.top}
                                                          : RECT{3, 3, band.left, p.h - 3};
            for (int y = strip.top; y < strip.bottom; ++y)
                for (int x = strip.left; x < strip.right; ++x) symbol += p.At(x, y) != face;
            EXPECT_GT(symbol, 30) << id;
        }
}

TEST(BitmapInventory, StatusPicturesSitOnWhiteAndTheCardPictureOnBlack)
{
    for (int id : kOnWhite) {
        Picture p = Load(id);
        ASSERT_GT(p.w, 0) << id;
        for (auto [x, y] : {std::pair{0, 0}, std::pair{p.w - 1, 0}, std::pair{0, p.h - 1}})
            EXPECT_EQ(p.At(x, y), qtest::kWhite) << id << " at " << x << "," << y;
    }
    Picture card = Load(735);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{217, 0}, std::pair{0, 169}, std::pair{217, 169}})
        EXPECT_EQ(card.At(x, y), qtest::kBlack) << x << "," << y;
    // Something bright stands on the black: the card and its warning sign.
    int lit = 0;
    for (int y = 0; y < card.h; ++y)
        for (int x = 0; x < card.w; ++x) lit += Luma(card.At(x, y)) > 150;
    EXPECT_GT(lit, card.w * card.h / 5);
    // A button face is white only outside its rounded corners.
    Picture face = Load(135);
    EXPECT_EQ(face.At(0, 0), qtest::kWhite);
    EXPECT_NE(face.At(face.w / 2, 2), qtest::kWhite);
}
