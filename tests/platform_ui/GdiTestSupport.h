// A memory bitmap to draw on in GDI tests, with pixel probes.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "platform/WinGdi.h"
#include "platform/gdi/Surface.h"

namespace qtest {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;

// A rectangle's edges (left, top, right, bottom), to compare in one check.
using Edges = std::array<LONG, 4>;
inline Edges EdgesOf(const RECT& r)
{
    return Edges{r.left, r.top, r.right, r.bottom};
}

// Fills the rectangle of the context with a solid brush of the colour.
inline void FillWith(HDC dc, const RECT& r, COLORREF c)
{
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

// A pixel to probe and the colour it must have.
struct Probe {
    int x, y;
    COLORREF colour;
};

class Canvas {
public:
    Canvas(int w, int h, COLORREF background = kWhite) : width(w), height(h)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        old = SelectObject(dc, bitmap);
        Fill(background);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void Fill(COLORREF c) { FillWith(dc, RECT{0, 0, width, height}, c); }
    // The bitmap's own pixel, whatever the DC's clipping (GetPixel refuses
    // clipped pixels); CLR_INVALID outside the bitmap.
    COLORREF At(int x, int y) const
    {
        auto s = qplat::SurfaceOfBitmap(bitmap);
        if (!s || !s->Contains(x, y)) return CLR_INVALID;
        return qplat::PixelToColor(s->At(x, y));
    }
    // Each probed pixel has its colour; a miss names the pixel.
    void ExpectPixels(std::initializer_list<Probe> probes) const
    {
        for (const Probe& p : probes) EXPECT_EQ(At(p.x, p.y), p.colour) << "pixel " << p.x << "," << p.y;
    }
    // Pixels in the box that differ from `background`.
    int Ink(const RECT& box, COLORREF background = kWhite) const
    {
        int n = 0;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x)
                if (At(x, y) != background) ++n;
        return n;
    }
    // The bounding box of the pixels that differ from `background` (empty when none).
    RECT InkBox(COLORREF background = kWhite) const
    {
        RECT r{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y) != background) {
                    if (x < r.left) r.left = x;
                    if (y < r.top) r.top = y;
                    if (x + 1 > r.right) r.right = x + 1;
                    if (y + 1 > r.bottom) r.bottom = y + 1;
                }
        if (r.right <= r.left) r = RECT{0, 0, 0, 0};
        return r;
    }

    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

// Selects a pen and a brush for the life of the object.
class Tools {
public:
    Tools(HDC dc, HPEN pen, HBRUSH brush) : dc_(dc), pen_(pen), brush_(brush)
    {
        oldPen_ = SelectObject(dc, pen);
        oldBrush_ = SelectObject(dc, brush);
    }
    ~Tools()
    {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }

private:
    HDC dc_;
    HPEN pen_;
    HBRUSH brush_;
    HGDIOBJ oldPen_, oldBrush_;
};

}  // namespace qtest
