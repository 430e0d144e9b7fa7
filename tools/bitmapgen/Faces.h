// Button faces built from a symbol: the three looks of one button, the
// symbol in the left strip beside the caption or filling the whole face.
#pragma once

#include <functional>

#include "tools/bitmapgen/Drawing.h"
#include "tools/bitmapgen/Symbols.h"

namespace bitmapgen {

using Icon = std::function<void(Sketch&, const Grid&, const Ink&)>;

// The ids of one button's faces; 0 where the button has no such face.
struct Ids {
    int normal = 0, pressed = 0, disabled = 0;
};

// Where the caption starts on a face of this width, by its rule.
double CaptionLeft(Caption caption, int width);

// Faces drawn by `draw` on the face of each look; `d` is the offset of a
// pressed face's picture.
using Picture = std::function<void(Sketch&, double d, const Ink&)>;
void CustomButton(Output& out, Ids ids, int w, int h, Caption caption, const char16_t* sample, const Picture& draw,
                  Look normal = Look::Normal);

// Faces with the symbol in the strip left of the caption; the rest of the
// face stays plain and dark for the white caption.
void StripButton(Output& out, Ids ids, int w, int h, Caption caption, const char16_t* sample, const Icon& icon);
// Faces whose symbol fills the face (`size` pixels of the 32-unit grid; 0:
// as large as the face allows with a small margin).
void IconButton(Output& out, Ids ids, int w, int h, const Icon& icon, double size = 0);

// A symbol with a badge, by default in its lower right corner.
Icon With(const Icon& base, Mark mark, double u = 24.5, double v = 24.5, double radius = 7.5);

// The Ids of the three looks in a plain list.
inline Ids NPD(int normal, int pressed, int disabled = 0)
{
    return Ids{normal, pressed, disabled};
}

}  // namespace bitmapgen
