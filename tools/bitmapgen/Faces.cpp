#include "tools/bitmapgen/Faces.h"

#include <algorithm>

namespace bitmapgen {

namespace {

void EachLook(Ids ids, const std::function<void(int, Look)>& draw)
{
    if (ids.normal) draw(ids.normal, Look::Normal);
    if (ids.pressed) draw(ids.pressed, Look::Pressed);
    if (ids.disabled) draw(ids.disabled, Look::Disabled);
}

}  // namespace

double CaptionLeft(Caption caption, int width)
{
    switch (caption) {
    case Caption::Default: return static_cast<int>(width / 3.5);
    case Caption::From45: return 45;
    case Caption::From40: return 40;
    case Caption::Third: return width / 3;
    case Caption::CentredLow:
    case Caption::None: break;
    }
    return width;
}

void CustomButton(Output& out, Ids ids, int w, int h, Caption caption, const char16_t* sample, const Picture& draw,
                  Look normal)
{
    EachLook(ids, [&](int id, Look look) {
        if (look == Look::Normal) look = normal;
        Sketch s(w, h, kWhite);
        int d = Face(s, look);
        draw(s, d, InkFor(look));
        out.Add(id, s, caption, sample);
    });
}

void StripButton(Output& out, Ids ids, int w, int h, Caption caption, const char16_t* sample, const Icon& icon)
{
    double left = CaptionLeft(caption, w);
    double size = std::min({left - 7, h - 13.0, 32.0});
    CustomButton(out, ids, w, h, caption, sample,
                 [&](Sketch& s, double d, const Ink& k) { icon(s, Grid(left / 2 - 0.5 + d, h / 2.0 + d, size), k); });
}

void IconButton(Output& out, Ids ids, int w, int h, const Icon& icon, double size)
{
    if (size <= 0) size = std::min(w, h) - 10.0;
    CustomButton(out, ids, w, h, Caption::None, nullptr,
                 [&](Sketch& s, double d, const Ink& k) { icon(s, Grid(w / 2.0 + d, h / 2.0 + d, size), k); });
}

Icon With(const Icon& base, Mark mark, double u, double v, double radius)
{
    return [base, mark, u, v, radius](Sketch& s, const Grid& g, const Ink& k) {
        base(s, g, k);
        Badge(s, g, u, v, mark, k, radius);
    };
}

}  // namespace bitmapgen
