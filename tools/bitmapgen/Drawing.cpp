#include "tools/bitmapgen/Drawing.h"

#include <cstdio>

#include "platform/gdi/Surface.h"

namespace bitmapgen {

Canvas::Canvas(int width, int height, COLORREF background) : w(width), h(height)
{
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(nullptr, w, h);
    old = SelectObject(dc, bitmap);
    HBRUSH b = CreateSolidBrush(background);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, b);
    DeleteObject(b);
}

Canvas::~Canvas()
{
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

bool Canvas::Save(const std::string& folder, int id) const
{
    auto s = qplat::SurfaceOfBitmap(bitmap);
    std::string path = folder + "/" + std::to_string(id) + ".png";
    bool ok = s && qplat::WritePng(*s, path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    return ok;
}

Paint::Paint(HDC d, COLORREF penColor, int width, COLORREF fill, bool hollow) : dc(d)
{
    pen = width > 0 ? CreatePen(PS_SOLID, width, penColor) : CreatePen(PS_NULL, 1, 0);
    brush = hollow ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(fill);
    oldPen = SelectObject(dc, pen);
    oldBrush = SelectObject(dc, brush);
}

Paint::~Paint()
{
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF c, int width)
{
    Paint p(dc, c, width, c, true);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void Poly(HDC dc, std::vector<POINT> pts, COLORREF c, bool hollow, int width)
{
    Paint p(dc, c, width, c, hollow);
    Polygon(dc, pts.data(), static_cast<int>(pts.size()));
}

void Text(HDC dc, const char16_t* text, RECT r, int height, COLORREF c)
{
    HFONT f = CreateFontW(-height, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"DejaVu Sans");
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c);
    DrawTextW(dc, text, -1, &r, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    DeleteObject(f);
}

COLORREF FaceColor(Look look)
{
    return look == Look::Normal ? kFace : look == Look::Pressed ? kFacePressed : kFaceDisabled;
}

COLORREF IconColor(Look look)
{
    return look == Look::Disabled ? kIconDisabled : kIcon;
}

int Face(Canvas& c, Look look)
{
    RECT all{0, 0, c.w, c.h};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(c.dc, &all, white);
    DeleteObject(white);
    Paint p(c.dc, look == Look::Disabled ? RGB(170, 174, 178) : kEdge, 1, FaceColor(look));
    RoundRect(c.dc, 0, 0, c.w, c.h, 10, 10);
    return look == Look::Pressed ? 1 : 0;
}

}  // namespace bitmapgen
