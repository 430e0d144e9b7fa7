// Inside platform/gdi only: the objects behind GDI handles and the state of a
// device context. Every function here expects the GDI lock to be held.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/WinGdi.h"
#include "platform/gdi/Surface.h"

namespace qplat::gdi {

class FontInstance;

enum class Kind { Pen, Brush, Font, Bitmap, Region };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
};

struct Pen : Object {
    Pen() : Object(Kind::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Brush : Object {
    Brush() : Object(Kind::Brush) {}
    bool null = false;
    COLORREF color = 0;
};

struct Font : Object {
    Font() : Object(Kind::Font) {}
    LOGFONTW log{};
    std::shared_ptr<FontInstance> instance;  // resolved on first use
};

struct Bitmap : Object {
    Bitmap() : Object(Kind::Bitmap) {}
    std::shared_ptr<Surface> surface;
};

struct Region : Object {
    Region() : Object(Kind::Region) {}
    RECT rect{};
};

struct DcState {
    std::shared_ptr<Pen> pen;
    std::shared_ptr<Brush> brush;
    std::shared_ptr<Font> font;
    std::shared_ptr<Bitmap> bitmap;  // memory DCs
    HGDIOBJ penHandle = nullptr, brushHandle = nullptr, fontHandle = nullptr, bitmapHandle = nullptr;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    int polyFillMode = ALTERNATE;
    POINT position{0, 0};
    bool hasUserClip = false;
    RECT userClip{};  // DC coordinates
};

struct Dc {
    bool memory = false;
    std::shared_ptr<Surface> surface;  // window DCs
    int originX = 0, originY = 0;
    RECT systemClip{};  // DC coordinates; window DCs only
    DcState state;
    std::vector<DcState> saved;

    Surface* Target() const;
    // The rectangle that may be drawn, in surface coordinates (empty when none).
    RECT DeviceClip() const;
};

// Handle tables.
std::shared_ptr<Object> Lookup(HGDIOBJ handle);
template <class T>
std::shared_ptr<T> LookupAs(HGDIOBJ handle, Kind kind)
{
    auto o = Lookup(handle);
    if (!o || o->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(o);
}
HGDIOBJ Insert(std::shared_ptr<Object> object);
Dc* LookupDc(HDC hdc);

// Rectangle helpers.
inline bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
           a.bottom < b.bottom ? a.bottom : b.bottom};
    if (Empty(r)) r = RECT{0, 0, 0, 0};
    return r;
}

// Painting primitives in surface coordinates, cut to `clip`.
void FillSpan(Surface& s, const RECT& clip, int y, int x0, int x1, uint32_t pixel);
void FillBox(Surface& s, const RECT& clip, const RECT& box, uint32_t pixel);
void BlendPixel(Surface& s, const RECT& clip, int x, int y, uint32_t pixel, unsigned alpha);

// Text (Font.cpp).
std::shared_ptr<FontInstance> ResolveFont(Font& font);
struct TextMetrics {
    int ascent = 0, descent = 0, internalLeading = 0, aveWidth = 0, maxWidth = 0;
    int Height() const { return ascent + descent; }
};
TextMetrics Metrics(FontInstance& font);
// Advance of each character (in pixels along the base line).
int TextWidth(FontInstance& font, const char16_t* text, int count, int* advances = nullptr);
// Draws the text with its base-line origin at (x, y) in surface coordinates.
void DrawGlyphs(FontInstance& font, Surface& s, const RECT& clip, int x, int y, const char16_t* text, int count,
                uint32_t pixel);
// The font a DC uses (its selected one or the stock default).
FontInstance& DcFont(Dc& dc);
std::string FontFileOf(FontInstance& font);
// Angle of the base line in degrees (0 for ordinary text).
double FontAngle(FontInstance& font);

}  // namespace qplat::gdi
