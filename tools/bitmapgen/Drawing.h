// The drawing kit both picture generators share, so every button face and
// symbol comes out in one style and one set of colours.
#pragma once

#include <string>
#include <vector>

#include "platform/WinGdi.h"

namespace bitmapgen {

enum class Look { Normal, Pressed, Disabled };

inline const COLORREF kFace = RGB(38, 56, 78);
inline const COLORREF kFacePressed = RGB(18, 30, 44);
inline const COLORREF kFaceDisabled = RGB(150, 156, 162);
inline const COLORREF kEdge = RGB(96, 122, 150);
inline const COLORREF kIcon = RGB(236, 244, 252);
inline const COLORREF kIconDisabled = RGB(208, 212, 216);

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

// A dark button face with a rounded edge; returns the symbol offset (1 when
// pressed).
int Face(Canvas& c, Look look);

}  // namespace bitmapgen
