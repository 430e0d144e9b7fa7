// Lines and filled shapes with GDI's pixel rules: a line leaves out its end
// point; a shape's bounding box leaves out its right and bottom edges; the
// outline is drawn with the pen inside the box (a wider pen grows inwards and
// outwards by half its width), the inside with the brush. A pixel belongs to a
// shape when its centre lies inside.
#include <algorithm>
#include <cmath>

#include "platform/gdi/GdiInternal.h"

using namespace qplat;
using namespace qplat::gdi;

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// A rounded rectangle in surface coordinates (an ellipse when the radii are
// half the box, a plain rectangle when they are 0).
struct Shape {
    double left, top, right, bottom, rx, ry;
};

bool Span(const Shape& s, int y, int& x0, int& x1)
{
    if (s.right <= s.left || s.bottom <= s.top) return false;
    double yc = y + 0.5;
    if (yc < s.top || yc >= s.bottom) return false;
    double xl = s.left, xr = s.right;
    double dy = 0;
    if (yc < s.top + s.ry)
        dy = s.top + s.ry - yc;
    else if (yc > s.bottom - s.ry)
        dy = yc - (s.bottom - s.ry);
    if (dy > 0 && s.ry > 0) {
        double t = 1.0 - (dy / s.ry) * (dy / s.ry);
        if (t < 0) return false;
        double dx = s.rx * std::sqrt(t);
        xl = s.left + s.rx - dx;
        xr = s.right - s.rx + dx;
    }
    x0 = static_cast<int>(std::ceil(xl - 0.5));
    x1 = static_cast<int>(std::ceil(xr - 0.5));
    return x1 > x0;
}

Shape Shrink(const Shape& s, double by)
{
    Shape r{s.left + by, s.top + by, s.right - by, s.bottom - by, std::max(0.0, s.rx - by), std::max(0.0, s.ry - by)};
    return r;
}

// Draws a shape given in DC coordinates with corner diameters cw, ch.
BOOL DrawShape(HDC hdc, int left, int top, int right, int bottom, double cw, double ch)
{
    Dc* dc = LookupDc(hdc);
    Surface* surf = dc ? dc->Target() : nullptr;
    if (!surf) return FALSE;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const Pen* pen = dc->state.pen.get();
    const Brush* brush = dc->state.brush.get();
    bool hasPen = pen && pen->style != PS_NULL;
    bool hasBrush = brush && !brush->null;
    double l = left + dc->originX, t = top + dc->originY, r = right + dc->originX, b = bottom + dc->originY;
    if (!hasPen) {
        // Without an outline the filled area is one pixel smaller, as on the handheld.
        r -= 1;
        b -= 1;
    }
    double w = r - l, h = b - t;
    double rx = std::min(cw, w) / 2.0, ry = std::min(ch, h) / 2.0;
    Shape outer{l, t, r, b, rx, ry};
    int penWidth = hasPen ? pen->width : 0;
    if (penWidth > 1) {
        double g = (penWidth - 1) / 2;
        outer = Shape{l - g, t - g, r + g, b + g, rx > 0 ? rx + g : 0, ry > 0 ? ry + g : 0};
    }
    Shape inner = hasPen ? Shrink(outer, penWidth) : outer;
    RECT clip = dc->DeviceClip();
    if (Empty(clip)) return TRUE;
    uint32_t penPixel = hasPen ? ColorToPixel(pen->color) : 0;
    uint32_t brushPixel = hasBrush ? ColorToPixel(brush->color) : 0;
    int y0 = std::max<int>(clip.top, static_cast<int>(std::floor(outer.top)));
    int y1 = std::min<int>(clip.bottom, static_cast<int>(std::ceil(outer.bottom)));
    for (int y = y0; y < y1; ++y) {
        int ox0, ox1;
        if (!Span(outer, y, ox0, ox1)) continue;
        int ix0, ix1;
        bool in = Span(inner, y, ix0, ix1);
        if (!in) {
            if (hasPen)
                FillSpan(*surf, clip, y, ox0, ox1, penPixel);
            else if (hasBrush)
                FillSpan(*surf, clip, y, ox0, ox1, brushPixel);
            continue;
        }
        if (hasBrush) FillSpan(*surf, clip, y, ix0, ix1, brushPixel);
        if (hasPen) {
            FillSpan(*surf, clip, y, ox0, ix0, penPixel);
            FillSpan(*surf, clip, y, ix1, ox1, penPixel);
        }
    }
    return TRUE;
}

// A line in surface coordinates from (x0, y0) towards (x1, y1), end point excluded.
void DrawLine(Dc& dc, int x0, int y0, int x1, int y1)
{
    const Pen* pen = dc.state.pen.get();
    Surface* surf = dc.Target();
    if (!surf || !pen || pen->style == PS_NULL) return;
    RECT clip = dc.DeviceClip();
    if (Empty(clip)) return;
    uint32_t pixel = ColorToPixel(pen->color);
    int w = pen->width;
    int half = w / 2;
    if (w > 1 && (y0 == y1 || x0 == x1) && pen->style == PS_SOLID) {
        RECT box = y0 == y1 ? RECT{std::min(x0, x1 + 1), y0 - half, std::max(x0 + 1, x1), y0 - half + w}
                            : RECT{x0 - half, std::min(y0, y1 + 1), x0 - half + w, std::max(y0 + 1, y1)};
        if (y0 == y1 && x0 == x1) return;
        FillBox(*surf, clip, box, pixel);
        return;
    }
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    int step = 0;
    while (x != x1 || y != y1) {
        bool draw = pen->style != PS_DASH || (step % 9) < 6;
        if (draw) {
            if (w <= 1) {
                if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) surf->Row(y)[x] = pixel;
            } else {
                FillBox(*surf, clip, RECT{x - half, y - half, x - half + w, y - half + w}, pixel);
            }
        }
        ++step;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

}  // namespace

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->state.position;
    dc->state.position = POINT{x, y};
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC hdc, LPPOINT position)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !position) return FALSE;
    *position = dc->state.position;
    return TRUE;
}

namespace {
// Lines far outside any surface are cut to a box that still covers the
// surface, so a wild coordinate never makes a long walk.
bool CutLine(double& x0, double& y0, double& x1, double& y1, double lo, double hi)
{
    // Liang-Barsky against [lo, hi] in both axes.
    double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
    double p[4] = {-dx, dx, -dy, dy}, q[4] = {x0 - lo, hi - x0, y0 - lo, hi - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
    double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy, nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
    x0 = nx0;
    y0 = ny0;
    x1 = nx1;
    y1 = ny1;
    return true;
}

void Line(Dc& dc, int x0, int y0, int x1, int y1)
{
    int ox = dc.originX, oy = dc.originY;
    long long ax0 = static_cast<long long>(x0) + ox, ay0 = static_cast<long long>(y0) + oy;
    long long ax1 = static_cast<long long>(x1) + ox, ay1 = static_cast<long long>(y1) + oy;
    const long long kFar = 40000;
    auto far = [&](long long v) { return v < -kFar || v > kFar; };
    if (far(ax0) || far(ay0) || far(ax1) || far(ay1)) {
        double fx0 = static_cast<double>(ax0), fy0 = static_cast<double>(ay0);
        double fx1 = static_cast<double>(ax1), fy1 = static_cast<double>(ay1);
        if (!CutLine(fx0, fy0, fx1, fy1, -kFar, kFar)) return;
        ax0 = std::llround(fx0);
        ay0 = std::llround(fy0);
        ax1 = std::llround(fx1);
        ay1 = std::llround(fy1);
    }
    DrawLine(dc, static_cast<int>(ax0), static_cast<int>(ay0), static_cast<int>(ax1), static_cast<int>(ay1));
}
}  // namespace

BOOL LineTo(HDC hdc, int x, int y)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return FALSE;
    Line(*dc, dc->state.position.x, dc->state.position.y, x, y);
    dc->state.position = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !points || count < 2) return FALSE;
    for (int i = 1; i < count; ++i) Line(*dc, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    Lock lock(GdiMutex());
    return DrawShape(hdc, left, top, right, bottom, 0, 0);
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height)
{
    Lock lock(GdiMutex());
    return DrawShape(hdc, left, top, right, bottom, std::max(0, width), std::max(0, height));
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    Lock lock(GdiMutex());
    double w = std::abs(right - left), h = std::abs(bottom - top);
    return DrawShape(hdc, left, top, right, bottom, w, h);
}

BOOL Polygon(HDC hdc, const POINT* points, int count)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    Surface* surf = dc ? dc->Target() : nullptr;
    if (!surf || !points || count < 2) return FALSE;
    RECT clip = dc->DeviceClip();
    const Brush* brush = dc->state.brush.get();
    if (brush && !brush->null && count >= 3 && !Empty(clip)) {
        uint32_t pixel = ColorToPixel(brush->color);
        double minY = 1e18, maxY = -1e18;
        for (int i = 0; i < count; ++i) {
            minY = std::min(minY, static_cast<double>(points[i].y) + dc->originY);
            maxY = std::max(maxY, static_cast<double>(points[i].y) + dc->originY);
        }
        int y0 = std::max<int>(clip.top, static_cast<int>(std::max(-1e9, std::floor(minY))));
        int y1 = std::min<int>(clip.bottom, static_cast<int>(std::min(1e9, std::ceil(maxY))));
        std::vector<std::pair<double, int>> xs;
        for (int y = y0; y < y1; ++y) {
            double yc = y + 0.5;
            xs.clear();
            for (int i = 0; i < count; ++i) {
                const POINT& a = points[i];
                const POINT& b = points[(i + 1) % count];
                double ay = a.y + dc->originY, by = b.y + dc->originY;
                if (ay == by) continue;
                bool up = ay < by;
                double lo = up ? ay : by, hi = up ? by : ay;
                if (yc < lo || yc >= hi) continue;
                double ax = a.x + dc->originX, bx = b.x + dc->originX;
                double x = ax + (yc - ay) * (bx - ax) / (by - ay);
                xs.emplace_back(x, up ? 1 : -1);
            }
            std::sort(xs.begin(), xs.end());
            int winding = 0;
            for (size_t k = 0; k + 1 < xs.size(); ++k) {
                winding += xs[k].second;
                bool inside = dc->state.polyFillMode == WINDING ? winding != 0 : (k % 2) == 0;
                if (!inside) continue;
                double xl = std::max(xs[k].first, -1e9), xr = std::min(xs[k + 1].first, 1e9);
                FillSpan(*surf, clip, y, static_cast<int>(std::ceil(xl - 0.5)), static_cast<int>(std::ceil(xr - 0.5)),
                         pixel);
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        const POINT& a = points[i];
        const POINT& b = points[(i + 1) % count];
        Line(*dc, a.x, a.y, b.x, b.y);
    }
    return TRUE;
}
