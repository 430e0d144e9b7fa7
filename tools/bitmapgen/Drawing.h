// The drawing kit every picture group shares, so every button face and symbol
// comes out in one style and one set of colours.
//
// Two ways of drawing: Canvas draws straight onto the bitmap with the
// platform's GDI (the key caps, the status pictures), Sketch draws the same
// shapes kScale times larger and averages them down, so slanted strokes and
// round shapes of the small symbols come out smooth.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/WinGdi.h"

namespace qplat {
struct Surface;
}

namespace bitmapgen {

// Selected: an image toggle's "on" face (lit, not pushed).
enum class Look { Normal, Pressed, Disabled, Selected };

inline const COLORREF kFace = RGB(38, 56, 78);
inline const COLORREF kFacePressed = RGB(18, 30, 44);
inline const COLORREF kFaceDisabled = RGB(150, 156, 162);
inline const COLORREF kFaceSelected = RGB(30, 98, 196);
inline const COLORREF kEdge = RGB(96, 122, 150);
inline const COLORREF kEdgeDisabled = RGB(170, 174, 178);
inline const COLORREF kEdgeSelected = RGB(150, 196, 250);
inline const COLORREF kIcon = RGB(236, 244, 252);
inline const COLORREF kIconDisabled = RGB(208, 212, 216);
inline const COLORREF kWhite = RGB(255, 255, 255);
inline const COLORREF kBlack = RGB(0, 0, 0);

// A memory bitmap filled with one colour, saved as "<id>.png".
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    int w = 0, h = 0;
    Canvas(int width, int height, COLORREF background);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    bool Save(const std::string& folder, int id) const;
    std::shared_ptr<qplat::Surface> Pixels() const;
};

// Selects a pen and a brush for one shape and puts the old ones back.
struct Paint {
    HDC dc;
    HPEN pen;
    HBRUSH brush;
    HGDIOBJ oldPen, oldBrush;
    Paint(HDC d, COLORREF penColor, int width, COLORREF fill, bool hollow = false);
    ~Paint();
    Paint(const Paint&) = delete;
    Paint& operator=(const Paint&) = delete;
};

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF c, int width);
void Poly(HDC dc, std::vector<POINT> pts, COLORREF c, bool hollow = false, int width = 1);
void Text(HDC dc, const char16_t* text, RECT r, int height, COLORREF c);

COLORREF FaceColor(Look look);
COLORREF IconColor(Look look);
// a * (1 - t) + b * t, channel by channel.
COLORREF Mix(COLORREF a, COLORREF b, double t);

// A dark button face with a rounded edge; returns the symbol offset (1 when
// pressed).
int Face(Canvas& c, Look look);

// ------------------------------------------------------------ smooth drawing

struct Pt {
    double x, y;
};

class Sketch {
public:
    static constexpr int kScale = 8;

    Sketch(int width, int height, COLORREF background);
    Sketch(const Sketch&) = delete;
    Sketch& operator=(const Sketch&) = delete;

    int Width() const { return m_big.w / kScale; }
    int Height() const { return m_big.h / kScale; }

    // All coordinates are pixels of the final bitmap; widths too.
    void Fill(const std::vector<Pt>& outline, COLORREF c);
    // An outline with holes: every ring of the list is one closed contour;
    // areas covered an odd number of times are filled.
    void FillEvenOdd(const std::vector<std::vector<Pt>>& rings, COLORREF c);
    // Round-capped, round-jointed strokes.
    void Stroke(const std::vector<Pt>& path, double width, COLORREF c, bool closed = false);
    void Segment(Pt a, Pt b, double width, COLORREF c) { Stroke({a, b}, width, c); }
    void Dashed(const std::vector<Pt>& path, double width, double dash, double gap, COLORREF c);
    void Disc(Pt centre, double r, COLORREF c);
    void Ring(Pt centre, double r, double width, COLORREF c);
    // Degrees, 0 = right, counting clockwise on the screen (y grows down).
    void Arc(Pt centre, double r, double fromDeg, double toDeg, double width, COLORREF c);
    void Box(double l, double t, double r, double b, COLORREF c) { RoundBox(l, t, r, b, 0, c); }
    void RoundBox(double l, double t, double r, double b, double radius, COLORREF c);
    void Frame(double l, double t, double r, double b, double radius, double width, COLORREF c);
    // Text centred on (cx, cy), `height` the em height in pixels.
    void Label(const char16_t* text, double cx, double cy, double height, COLORREF c, int weight = FW_BOLD,
               const char16_t* face = u"DejaVu Sans");

    // Averages the large drawing down onto `out` at (x, y) (light-linear, so
    // thin light strokes on the dark faces keep their weight).
    void Resolve(Canvas& out, int x = 0, int y = 0) const;

private:
    POINT Big(Pt p) const;
    Canvas m_big;
};

// Points along a smooth curve through the given points (Catmull-Rom).
std::vector<Pt> Smooth(const std::vector<Pt>& through, int stepsPerSpan = 8);
// Points of a circle or a part of one (degrees as Sketch::Arc).
std::vector<Pt> ArcPoints(Pt centre, double r, double fromDeg, double toDeg, int steps = 0);
// A rounded rectangle as an outline.
std::vector<Pt> RoundRectPoints(double l, double t, double r, double b, double radius);

// The face of a button on a sketch: white outside the rounded edge. Returns
// the symbol offset (1 when pressed).
int Face(Sketch& s, Look look);

// The colours a symbol is drawn in on a face of a given look. On a disabled
// face every colour turns to a grey of about the same weight, so the symbol
// stays readable but plainly greyed.
struct Ink {
    COLORREF face;   // the face behind the symbol (for cut-outs)
    COLORREF fg;     // the symbol
    COLORREF soft;   // axes, grids, secondary lines
    COLORREF paper;  // sheets and cards
    COLORREF print;  // lines printed on paper
    COLORREF good;   // ticks, plus signs, stores
    COLORREF bad;    // crosses, limits
    COLORREF warn;   // pencils, reference curves, warnings
    COLORREF laser;  // laser beams and windows
    COLORREF accent; // profile curves on paper, highlights
    COLORREF badgeMark;  // the sign inside a round badge
};
Ink InkFor(Look look);

// A square design grid of 32 units centred on (cx, cy), `size` pixels wide:
// symbols are drawn in units so one design serves every button size.
// A grid may be turned about its centre (by quarter turns or any angle), so
// one design of a measuring head serves every side it looks from.
struct Grid {
    double cx = 16, cy = 16, k = 1, ca = 1, sa = 0;
    bool mirror = false;
    Grid() = default;
    Grid(double centreX, double centreY, double size) : cx(centreX), cy(centreY), k(size / 32.0) {}
    Pt P(double u, double v) const
    {
        double du = mirror ? 16 - u : u - 16, dv = v - 16;
        return Pt{cx + (du * ca - dv * sa) * k, cy + (du * sa + dv * ca) * k};
    }
    double L(double u) const { return u * k; }
    std::vector<Pt> Path(std::initializer_list<Pt> units) const;
    std::vector<Pt> Path(const std::vector<Pt>& units) const;
    // A grid of `size` units of this one placed with its centre at (u, v).
    Grid Sub(double u, double v, double size) const
    {
        Grid g = *this;
        Pt c = P(u, v);
        g.cx = c.x;
        g.cy = c.y;
        g.k = size * k / 32.0;
        return g;
    }
    // The same grid turned clockwise by `deg` degrees.
    Grid Turned(double deg) const;
    // The same grid mirrored left to right.
    Grid Mirrored() const
    {
        Grid g = *this;
        g.mirror = !mirror;
        return g;
    }
};

// ------------------------------------------------------------ output

// Where the caption the code draws over a face sits (for the contact sheets).
enum class Caption {
    None,
    Default,     // from x = width / 3.5, top = height / 3.5
    From45,      // settings menu: from x 45
    From40,      // catalogue item editor: from x 40
    CentredLow,  // series measure buttons: centred from two thirds of the height
    Third,       // image toggles: from x = width / 3
};

// Collects the pictures: writes each one and keeps it for the contact sheets.
class Output {
public:
    explicit Output(std::string folder) : m_folder(std::move(folder)) {}
    void Group(const char* name) { m_group = name; }
    void Add(int id, const Canvas& c, Caption caption = Caption::None, const char16_t* sample = nullptr);
    void Add(int id, const Sketch& s, Caption caption = Caption::None, const char16_t* sample = nullptr);
    bool Ok() const { return m_ok; }
    // One sheet per group: every picture at `zoom` times its size, with the
    // sample caption drawn where the code draws it. Returns false on a write
    // failure.
    bool WriteSheets(const std::string& folder, int zoom) const;

private:
    struct Item {
        int id;
        std::string group;
        Caption caption;
        std::u16string sample;
        std::shared_ptr<qplat::Surface> pixels;
    };
    std::string m_folder;
    std::string m_group = "misc";
    std::vector<Item> m_items;
    bool m_ok = true;
};

}  // namespace bitmapgen
