#include "tools/bitmapgen/Drawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "platform/gdi/Surface.h"

namespace bitmapgen {

namespace {

const double kPi = 3.14159265358979323846;

}  // namespace

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

std::shared_ptr<qplat::Surface> Canvas::Pixels() const
{
    return qplat::SurfaceOfBitmap(bitmap);
}

bool Canvas::Save(const std::string& folder, int id) const
{
    auto s = Pixels();
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
    switch (look) {
    case Look::Pressed: return kFacePressed;
    case Look::Disabled: return kFaceDisabled;
    case Look::Selected: return kFaceSelected;
    case Look::Normal: break;
    }
    return kFace;
}

COLORREF IconColor(Look look)
{
    return look == Look::Disabled ? kIconDisabled : kIcon;
}

COLORREF Mix(COLORREF a, COLORREF b, double t)
{
    auto ch = [t](int x, int y) { return static_cast<int>(std::lround(x * (1 - t) + y * t)); };
    return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}

int Face(Canvas& c, Look look)
{
    RECT all{0, 0, c.w, c.h};
    HBRUSH white = CreateSolidBrush(kWhite);
    FillRect(c.dc, &all, white);
    DeleteObject(white);
    Paint p(c.dc, look == Look::Disabled ? kEdgeDisabled : kEdge, 1, FaceColor(look));
    RoundRect(c.dc, 0, 0, c.w, c.h, 10, 10);
    return look == Look::Pressed ? 1 : 0;
}

// ------------------------------------------------------------ smooth drawing

Sketch::Sketch(int width, int height, COLORREF background) : m_big(width * kScale, height * kScale, background) {}

POINT Sketch::Big(Pt p) const
{
    return POINT{static_cast<LONG>(std::lround(p.x * kScale)), static_cast<LONG>(std::lround(p.y * kScale))};
}

void Sketch::Fill(const std::vector<Pt>& outline, COLORREF c)
{
    if (outline.size() < 3) return;
    std::vector<POINT> pts;
    pts.reserve(outline.size());
    for (const Pt& p : outline) pts.push_back(Big(p));
    Paint paint(m_big.dc, c, 0, c);
    SetPolyFillMode(m_big.dc, WINDING);
    Polygon(m_big.dc, pts.data(), static_cast<int>(pts.size()));
}

void Sketch::FillEvenOdd(const std::vector<std::vector<Pt>>& rings, COLORREF c)
{
    // One polygon that visits every ring and comes back along the same edge:
    // the connecting edges cancel out under the alternate rule.
    std::vector<POINT> pts;
    for (const auto& ring : rings) {
        if (ring.size() < 3) continue;
        for (const Pt& p : ring) pts.push_back(Big(p));
        pts.push_back(Big(ring.front()));
        if (!rings.front().empty()) pts.push_back(Big(rings.front().front()));
    }
    if (pts.size() < 3) return;
    Paint paint(m_big.dc, c, 0, c);
    SetPolyFillMode(m_big.dc, ALTERNATE);
    Polygon(m_big.dc, pts.data(), static_cast<int>(pts.size()));
    SetPolyFillMode(m_big.dc, WINDING);
}

void Sketch::Stroke(const std::vector<Pt>& path, double width, COLORREF c, bool closed)
{
    if (path.empty()) return;
    double h = width / 2;
    size_t n = path.size();
    size_t segments = closed ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
        Pt a = path[i], b = path[(i + 1) % n];
        double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
        if (len < 1e-9) continue;
        double nx = -dy / len * h, ny = dx / len * h;
        Fill({{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}}, c);
    }
    for (const Pt& p : path) Disc(p, h, c);
}

void Sketch::Dashed(const std::vector<Pt>& path, double width, double dash, double gap, COLORREF c)
{
    if (dash <= 0 || gap < 0) return;
    // The pattern runs on along the whole path: `left` is what remains of the
    // current dash or gap.
    bool on = true;
    double left = dash;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        Pt a = path[i], b = path[i + 1];
        double len = std::hypot(b.x - a.x, b.y - a.y);
        double done = 0;
        while (len - done > 1e-9) {
            double step = std::min(len - done, left);
            if (on) {
                double t0 = done / len, t1 = (done + step) / len;
                Segment({a.x + (b.x - a.x) * t0, a.y + (b.y - a.y) * t0}, {a.x + (b.x - a.x) * t1, a.y + (b.y - a.y) * t1},
                        width, c);
            }
            done += step;
            left -= step;
            if (left <= 1e-9) {
                on = !on;
                left = on ? dash : gap;
                if (left <= 0) left = dash, on = true;
            }
        }
    }
}

void Sketch::Disc(Pt centre, double r, COLORREF c)
{
    if (r <= 0) return;
    Fill(ArcPoints(centre, r, 0, 360), c);
}

void Sketch::Ring(Pt centre, double r, double width, COLORREF c)
{
    std::vector<Pt> outer = ArcPoints(centre, r + width / 2, 0, 360);
    std::vector<Pt> inner = ArcPoints(centre, std::max(0.0, r - width / 2), 0, 360);
    FillEvenOdd({outer, inner}, c);
}

void Sketch::Arc(Pt centre, double r, double fromDeg, double toDeg, double width, COLORREF c)
{
    Stroke(ArcPoints(centre, r, fromDeg, toDeg), width, c);
}

void Sketch::RoundBox(double l, double t, double r, double b, double radius, COLORREF c)
{
    Fill(RoundRectPoints(l, t, r, b, radius), c);
}

void Sketch::Frame(double l, double t, double r, double b, double radius, double width, COLORREF c)
{
    FillEvenOdd({RoundRectPoints(l, t, r, b, radius),
                 RoundRectPoints(l + width, t + width, r - width, b - width, std::max(0.0, radius - width))},
                c);
}

void Sketch::Label(const char16_t* text, double cx, double cy, double height, COLORREF c, int weight,
                   const char16_t* face)
{
    HFONT f = CreateFontW(-static_cast<int>(std::lround(height * kScale)), 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 0,
                          face);
    HGDIOBJ old = SelectObject(m_big.dc, f);
    SetBkMode(m_big.dc, TRANSPARENT);
    SetTextColor(m_big.dc, c);
    POINT centre = Big({cx, cy});
    RECT r{centre.x - m_big.w, centre.y - m_big.h, centre.x + m_big.w, centre.y + m_big.h};
    DrawTextW(m_big.dc, text, -1, &r, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(m_big.dc, old);
    DeleteObject(f);
}

void Sketch::Resolve(Canvas& out, int x, int y) const
{
    static const std::array<double, 256> linear = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i) {
            double v = i / 255.0;
            t[i] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        }
        return t;
    }();
    auto encode = [](double v) {
        double s = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        return static_cast<uint32_t>(std::clamp(std::lround(s * 255.0), 0L, 255L));
    };
    auto src = m_big.Pixels();
    auto dst = out.Pixels();
    if (!src || !dst) return;
    const int n = kScale * kScale;
    for (int oy = 0; oy < Height(); ++oy) {
        for (int ox = 0; ox < Width(); ++ox) {
            double r = 0, g = 0, b = 0;
            for (int sy = 0; sy < kScale; ++sy) {
                const uint32_t* row = src->Row(oy * kScale + sy) + ox * kScale;
                for (int sx = 0; sx < kScale; ++sx) {
                    r += linear[(row[sx] >> 16) & 0xFF];
                    g += linear[(row[sx] >> 8) & 0xFF];
                    b += linear[row[sx] & 0xFF];
                }
            }
            if (dst->Contains(x + ox, y + oy))
                dst->Row(y + oy)[x + ox] = (encode(r / n) << 16) | (encode(g / n) << 8) | encode(b / n);
        }
    }
}

std::vector<Pt> Smooth(const std::vector<Pt>& p, int steps)
{
    if (p.size() < 3) return p;
    std::vector<Pt> out;
    for (size_t i = 0; i + 1 < p.size(); ++i) {
        Pt p0 = p[i == 0 ? 0 : i - 1], p1 = p[i], p2 = p[i + 1], p3 = p[i + 2 < p.size() ? i + 2 : i + 1];
        for (int s = 0; s < steps; ++s) {
            double t = static_cast<double>(s) / steps, t2 = t * t, t3 = t2 * t;
            auto f = [&](double a, double b, double c, double d) {
                return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
            };
            out.push_back({f(p0.x, p1.x, p2.x, p3.x), f(p0.y, p1.y, p2.y, p3.y)});
        }
    }
    out.push_back(p.back());
    return out;
}

std::vector<Pt> ArcPoints(Pt c, double r, double fromDeg, double toDeg, int steps)
{
    if (steps <= 0) steps = std::max(12, static_cast<int>(std::abs(toDeg - fromDeg) / 360.0 * (24 + r * 6)));
    std::vector<Pt> pts;
    pts.reserve(static_cast<size_t>(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        double a = (fromDeg + (toDeg - fromDeg) * i / steps) * kPi / 180.0;
        pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return pts;
}

std::vector<Pt> RoundRectPoints(double l, double t, double r, double b, double radius)
{
    radius = std::min({radius, (r - l) / 2, (b - t) / 2});
    if (radius <= 0) return {{l, t}, {r, t}, {r, b}, {l, b}};
    std::vector<Pt> pts;
    auto corner = [&](double cx, double cy, double from) {
        auto arc = ArcPoints({cx, cy}, radius, from, from + 90, 8);
        pts.insert(pts.end(), arc.begin(), arc.end());
    };
    corner(r - radius, t + radius, 270);
    corner(r - radius, b - radius, 0);
    corner(l + radius, b - radius, 90);
    corner(l + radius, t + radius, 180);
    return pts;
}

int Face(Sketch& s, Look look)
{
    double w = s.Width(), h = s.Height();
    s.Box(0, 0, w, h, kWhite);
    COLORREF edge = look == Look::Disabled ? kEdgeDisabled : look == Look::Selected ? kEdgeSelected : kEdge;
    s.RoundBox(0, 0, w, h, 5, edge);
    s.RoundBox(1, 1, w - 1, h - 1, 4, FaceColor(look));
    return look == Look::Pressed ? 1 : 0;
}

Ink InkFor(Look look)
{
    Ink ink;
    ink.face = FaceColor(look);
    if (look == Look::Disabled) {
        ink.fg = kIconDisabled;
        ink.soft = RGB(186, 190, 195);
        ink.paper = kIconDisabled;
        ink.print = RGB(150, 156, 162);
        ink.good = ink.bad = ink.warn = ink.laser = ink.accent = RGB(118, 124, 130);
        ink.badgeMark = kIconDisabled;
        return ink;
    }
    ink.fg = kIcon;
    ink.soft = look == Look::Selected ? RGB(170, 200, 240) : RGB(128, 150, 176);
    ink.paper = RGB(250, 252, 255);
    ink.print = RGB(60, 78, 100);
    ink.good = RGB(70, 196, 104);
    ink.bad = RGB(236, 84, 72);
    ink.warn = RGB(250, 192, 60);
    ink.laser = RGB(255, 72, 60);
    ink.accent = RGB(27, 80, 184);
    ink.badgeMark = kWhite;
    return ink;
}

Grid Grid::Turned(double deg) const
{
    Grid g = *this;
    double a = deg * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    g.ca = ca * c - sa * s;
    g.sa = sa * c + ca * s;
    return g;
}

std::vector<Pt> Grid::Path(std::initializer_list<Pt> units) const
{
    std::vector<Pt> pts;
    for (const Pt& u : units) pts.push_back(P(u.x, u.y));
    return pts;
}

std::vector<Pt> Grid::Path(const std::vector<Pt>& units) const
{
    std::vector<Pt> pts;
    for (const Pt& u : units) pts.push_back(P(u.x, u.y));
    return pts;
}

// ------------------------------------------------------------ output

void Output::Add(int id, const Canvas& c, Caption caption, const char16_t* sample)
{
    m_ok = c.Save(m_folder, id) && m_ok;
    auto pixels = c.Pixels();
    if (pixels)
        m_items.push_back(Item{id, m_group, caption, sample ? sample : u"", std::make_shared<qplat::Surface>(*pixels)});
}

void Output::Add(int id, const Sketch& s, Caption caption, const char16_t* sample)
{
    Canvas c(s.Width(), s.Height(), kWhite);
    s.Resolve(c);
    Add(id, c, caption, sample);
}

namespace {

// The caption as the buttons draw it: white bold Calibri placed by the rule
// of the face.
void DrawSampleCaption(HDC dc, int w, int h, Caption caption, const std::u16string& text)
{
    if (caption == Caption::None || text.empty()) return;
    int height = static_cast<int>(h / 2.8), width = static_cast<int>(height / 2.6);
    RECT r{0, static_cast<LONG>(h / 3.5), w, h};
    UINT format = 0;
    switch (caption) {
    case Caption::Default: r.left = static_cast<LONG>(w / 3.5); break;
    case Caption::From45: r.left = 45; break;
    case Caption::From40: r.left = 40; break;
    case Caption::Third: r.left = w / 3; break;
    case Caption::CentredLow:
        width = w / 16;
        height = width * 3;
        r.top = static_cast<LONG>(h / 1.5);
        format = DT_CENTER;
        break;
    case Caption::None: break;
    }
    HFONT f = CreateFontW(height, width, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, DRAFT_QUALITY, 0, u"Calibri");
    HGDIOBJ old = SelectObject(dc, f);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    DrawTextW(dc, text.c_str(), -1, &r, format);
    SelectObject(dc, old);
    DeleteObject(f);
}

}  // namespace

bool Output::WriteSheets(const std::string& folder, int zoom) const
{
    std::vector<std::string> groups;
    for (const Item& it : m_items)
        if (std::find(groups.begin(), groups.end(), it.group) == groups.end()) groups.push_back(it.group);
    bool ok = true;
    const int maxWidth = 1100, pad = 8, label = 14;
    for (const std::string& g : groups) {
        // Flow the pictures into rows.
        struct Place {
            const Item* item;
            int x, y;
        };
        std::vector<Place> places;
        int x = pad, y = pad, rowH = 0, sheetW = 0;
        for (const Item& it : m_items) {
            if (it.group != g) continue;
            int cw = std::max(it.pixels->width * zoom, 30), ch = it.pixels->height * zoom + label;
            if (x + cw + pad > maxWidth && x > pad) {
                x = pad;
                y += rowH + pad;
                rowH = 0;
            }
            places.push_back(Place{&it, x, y});
            x += cw + pad;
            rowH = std::max(rowH, ch);
            sheetW = std::max(sheetW, x);
        }
        Canvas sheet(sheetW, y + rowH + pad, RGB(214, 218, 224));
        for (const Place& p : places) {
            const qplat::Surface& px = *p.item->pixels;
            Canvas one(px.width, px.height, kWhite);
            *one.Pixels() = px;
            DrawSampleCaption(one.dc, px.width, px.height, p.item->caption, p.item->sample);
            StretchBlt(sheet.dc, p.x, p.y + label, px.width * zoom, px.height * zoom, one.dc, 0, 0, px.width, px.height,
                       SRCCOPY);
            std::u16string id;
            for (char ch : std::to_string(p.item->id)) id.push_back(static_cast<char16_t>(ch));
            Text(sheet.dc, id.c_str(), RECT{p.x, p.y, p.x + 30, p.y + label}, 10, kBlack);
        }
        std::string path = folder + "/sheet-" + g + "-x" + std::to_string(zoom) + ".png";
        auto s = sheet.Pixels();
        bool wrote = s && qplat::WritePng(*s, path);
        std::printf("%s %s\n", wrote ? "wrote" : "FAILED", path.c_str());
        ok = ok && wrote;
    }
    return ok;
}

}  // namespace bitmapgen
