// GDI objects and device contexts: the handle tables, selection, attributes,
// clipping, pixels and blits. Shapes are in Raster.cpp, text in Text.cpp.
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include "platform/gdi/GdiInternal.h"

namespace qplat {

std::recursive_mutex& GdiMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

}  // namespace qplat

namespace qplat::gdi {
namespace {

constexpr int kMaxBitmapSide = 16384;

struct Tables {
    std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
    std::unordered_map<uintptr_t, std::unique_ptr<Dc>> dcs;
    uintptr_t nextObject = 0x00100000;
    uintptr_t nextDc = 0x40000000;
    HGDIOBJ stock[18] = {};
    HBRUSH sysBrushes[29] = {};
    HBITMAP defaultBitmap = nullptr;
};

Tables& T()
{
    static Tables* tables = new Tables();  // lives to the very end: worker threads may draw during exit
    return *tables;
}

using Lock = std::lock_guard<std::recursive_mutex>;

HGDIOBJ MakeStock(std::shared_ptr<Object> o)
{
    o->stock = true;
    return Insert(std::move(o));
}

void InitStock()
{
    Tables& t = T();
    if (t.stock[BLACK_PEN]) return;
    auto brush = [](COLORREF c, bool null) {
        auto b = std::make_shared<Brush>();
        b->color = c;
        b->null = null;
        return MakeStock(b);
    };
    auto pen = [](COLORREF c, int style) {
        auto p = std::make_shared<Pen>();
        p->color = c;
        p->style = style;
        return MakeStock(p);
    };
    t.stock[WHITE_BRUSH] = brush(0xFFFFFF, false);
    t.stock[LTGRAY_BRUSH] = brush(0xC0C0C0, false);
    t.stock[GRAY_BRUSH] = brush(0x808080, false);
    t.stock[DKGRAY_BRUSH] = brush(0x404040, false);
    t.stock[BLACK_BRUSH] = brush(0x000000, false);
    t.stock[NULL_BRUSH] = brush(0, true);
    t.stock[WHITE_PEN] = pen(0xFFFFFF, PS_SOLID);
    t.stock[BLACK_PEN] = pen(0x000000, PS_SOLID);
    t.stock[NULL_PEN] = pen(0, PS_NULL);
    auto font = [](LONG height, const char16_t* face) {
        auto f = std::make_shared<Font>();
        f->log.lfHeight = height;
        f->log.lfWeight = FW_NORMAL;
        for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) f->log.lfFaceName[i] = face[i];
        return MakeStock(f);
    };
    HGDIOBJ system = font(-13, u"Tahoma");
    t.stock[SYSTEM_FONT] = system;
    t.stock[DEVICE_DEFAULT_FONT] = system;
    t.stock[ANSI_VAR_FONT] = system;
    t.stock[DEFAULT_GUI_FONT] = system;
    HGDIOBJ fixed = font(-13, u"DejaVu Sans Mono");
    t.stock[OEM_FIXED_FONT] = fixed;
    t.stock[ANSI_FIXED_FONT] = fixed;
    t.stock[SYSTEM_FIXED_FONT] = fixed;
    auto bmp = std::make_shared<Bitmap>();
    bmp->surface = std::make_shared<Surface>(1, 1, 0);
    t.defaultBitmap = static_cast<HBITMAP>(MakeStock(bmp));
}

const COLORREF kSysColors[29] = {
    0xC8C8C8,  // scroll bar
    0xFFFFFF,  // background
    0x6B2408,  // active caption
    0xC0C0C0,  // inactive caption
    0xFFFFFF,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC0C0C0,  // active border
    0xC0C0C0,  // inactive border
    0x808080,  // app workspace
    0x6B2408,  // highlight
    0xFFFFFF,  // highlight text
    0xE0E0E0,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0x000000,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x404040,  // 3-D dark shadow
    0xE0E0E0,  // 3-D light
    0x000000,  // info text
    0xE1FFFF,  // info background
    0xFFFFFF,  // static
    0x000000,  // static text
    0x6B2408,  // gradient active caption
    0xC0C0C0,  // gradient inactive caption
};

int SysIndex(int index)
{
    int i = index & ~SYS_COLOR_INDEX_FLAG;
    return (i >= 0 && i < 29) ? i : -1;
}

void SetDefaults(Dc& dc)
{
    InitStock();
    Tables& t = T();
    dc.state.pen = std::static_pointer_cast<Pen>(Lookup(t.stock[BLACK_PEN]));
    dc.state.penHandle = t.stock[BLACK_PEN];
    dc.state.brush = std::static_pointer_cast<Brush>(Lookup(t.stock[WHITE_BRUSH]));
    dc.state.brushHandle = t.stock[WHITE_BRUSH];
    dc.state.font = std::static_pointer_cast<Font>(Lookup(t.stock[SYSTEM_FONT]));
    dc.state.fontHandle = t.stock[SYSTEM_FONT];
    if (dc.memory) {
        dc.state.bitmap = std::static_pointer_cast<Bitmap>(Lookup(t.defaultBitmap));
        dc.state.bitmapHandle = t.defaultBitmap;
    }
}

HDC InsertDc(std::unique_ptr<Dc> dc)
{
    Tables& t = T();
    uintptr_t key = t.nextDc;
    t.nextDc += 4;
    t.dcs[key] = std::move(dc);
    return reinterpret_cast<HDC>(key);
}

std::shared_ptr<Bitmap> NewBitmap(int width, int height)
{
    if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return nullptr;
    if (width == 0 || height == 0) width = height = 1;
    auto b = std::make_shared<Bitmap>();
    b->surface = std::make_shared<Surface>(width, height, 0);
    return b;
}

}  // namespace

Surface* Dc::Target() const
{
    if (memory) return state.bitmap ? state.bitmap->surface.get() : nullptr;
    return surface.get();
}

RECT Dc::DeviceClip() const
{
    Surface* s = Target();
    if (!s) return RECT{0, 0, 0, 0};
    RECT r{0, 0, s->width, s->height};
    if (!memory) {
        RECT sys{systemClip.left + originX, systemClip.top + originY, systemClip.right + originX,
                 systemClip.bottom + originY};
        r = Intersect(r, sys);
    }
    if (state.hasUserClip) {
        RECT u{state.userClip.left + originX, state.userClip.top + originY, state.userClip.right + originX,
               state.userClip.bottom + originY};
        r = Intersect(r, u);
    }
    return r;
}

std::shared_ptr<Object> Lookup(HGDIOBJ handle)
{
    Tables& t = T();
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

HGDIOBJ Insert(std::shared_ptr<Object> object)
{
    if (!object) return nullptr;
    Tables& t = T();
    uintptr_t key = t.nextObject;
    t.nextObject += 4;
    t.objects[key] = std::move(object);
    return reinterpret_cast<HGDIOBJ>(key);
}

Dc* LookupDc(HDC hdc)
{
    Tables& t = T();
    auto it = t.dcs.find(reinterpret_cast<uintptr_t>(hdc));
    return it == t.dcs.end() ? nullptr : it->second.get();
}

void FillSpan(Surface& s, const RECT& clip, int y, int x0, int x1, uint32_t pixel)
{
    if (y < clip.top || y >= clip.bottom) return;
    x0 = std::max<int>(x0, clip.left);
    x1 = std::min<int>(x1, clip.right);
    if (x0 >= x1) return;
    std::fill(s.Row(y) + x0, s.Row(y) + x1, pixel);
}

void FillBox(Surface& s, const RECT& clip, const RECT& box, uint32_t pixel)
{
    RECT r = Intersect(clip, box);
    for (int y = r.top; y < r.bottom; ++y) std::fill(s.Row(y) + r.left, s.Row(y) + r.right, pixel);
}

void BlendPixel(Surface& s, const RECT& clip, int x, int y, uint32_t pixel, unsigned alpha)
{
    if (alpha == 0 || x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
    uint32_t& d = s.Row(y)[x];
    if (alpha >= 255) {
        d = pixel;
        return;
    }
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        unsigned dc = (d >> shift) & 0xFFu, sc = (pixel >> shift) & 0xFFu;
        unsigned v = (sc * alpha + dc * (255u - alpha) + 127u) / 255u;
        out |= v << shift;
    }
    d = out;
}

}  // namespace qplat::gdi

using namespace qplat;
using namespace qplat::gdi;

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
}

// ---------------------------------------------------------------- platform side

namespace qplat {

HDC CreateSurfaceDC(std::shared_ptr<Surface> surface, int originX, int originY, const RECT& clip)
{
    Lock lock(GdiMutex());
    if (!surface) return nullptr;
    auto dc = std::make_unique<Dc>();
    dc->surface = std::move(surface);
    dc->originX = originX;
    dc->originY = originY;
    dc->systemClip = clip;
    SetDefaults(*dc);
    return InsertDc(std::move(dc));
}

BOOL ReleaseSurfaceDC(HDC hdc)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || dc->memory) return FALSE;
    T().dcs.erase(reinterpret_cast<uintptr_t>(hdc));
    return TRUE;
}

void MoveSurfaceClient(const Surface* surface, int oldX, int oldY, const RECT& oldClient, int newX, int newY,
                       const RECT& newClient)
{
    Lock lock(GdiMutex());
    for (auto& [key, dc] : T().dcs) {
        if (dc->memory || dc->surface.get() != surface || dc->originX != oldX || dc->originY != oldY) continue;
        dc->originX = newX;
        dc->originY = newY;
        const RECT& c = dc->systemClip;
        if (c.left == oldClient.left && c.top == oldClient.top && c.right == oldClient.right &&
            c.bottom == oldClient.bottom) {
            dc->systemClip = newClient;
        } else {
            dc->systemClip = RECT{std::max(c.left, newClient.left), std::max(c.top, newClient.top),
                                  std::min(c.right, newClient.right), std::min(c.bottom, newClient.bottom)};
        }
    }
}

std::shared_ptr<Surface> SurfaceOfDC(HDC hdc)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return nullptr;
    if (dc->memory) return dc->state.bitmap ? dc->state.bitmap->surface : nullptr;
    return dc->surface;
}

std::shared_ptr<Surface> SurfaceOfBitmap(HBITMAP bitmap)
{
    Lock lock(GdiMutex());
    auto b = LookupAs<Bitmap>(bitmap, Kind::Bitmap);
    return b ? b->surface : nullptr;
}

HBITMAP CreateBitmapFromSurface(std::shared_ptr<Surface> surface)
{
    Lock lock(GdiMutex());
    if (!surface || surface->width <= 0 || surface->height <= 0) return nullptr;
    auto b = std::make_shared<Bitmap>();
    b->surface = std::move(surface);
    return static_cast<HBITMAP>(Insert(b));
}

}  // namespace qplat

// ---------------------------------------------------------------- colours and stock objects

DWORD GetSysColor(int index)
{
    int i = SysIndex(index);
    return i < 0 ? 0 : kSysColors[i];
}

HBRUSH GetSysColorBrush(int index)
{
    Lock lock(GdiMutex());
    int i = SysIndex(index);
    if (i < 0) return nullptr;
    Tables& t = T();
    if (!t.sysBrushes[i]) {
        auto b = std::make_shared<Brush>();
        b->color = kSysColors[i];
        t.sysBrushes[i] = static_cast<HBRUSH>(MakeStock(b));
    }
    return t.sysBrushes[i];
}

HGDIOBJ GetStockObject(int object)
{
    Lock lock(GdiMutex());
    InitStock();
    if (object < 0 || object >= 18) return nullptr;
    return T().stock[object];
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    auto o = Lookup(handle);
    if (!dc || !o) return nullptr;
    DcState& s = dc->state;
    HGDIOBJ old = nullptr;
    switch (o->kind) {
    case Kind::Pen:
        old = s.penHandle;
        s.pen = std::static_pointer_cast<Pen>(o);
        s.penHandle = handle;
        break;
    case Kind::Brush:
        old = s.brushHandle;
        s.brush = std::static_pointer_cast<Brush>(o);
        s.brushHandle = handle;
        break;
    case Kind::Font:
        old = s.fontHandle;
        s.font = std::static_pointer_cast<Font>(o);
        s.fontHandle = handle;
        break;
    case Kind::Bitmap:
        if (!dc->memory) return nullptr;
        old = s.bitmapHandle;
        s.bitmap = std::static_pointer_cast<Bitmap>(o);
        s.bitmapHandle = handle;
        break;
    case Kind::Region: {
        int r = SelectClipRgn(hdc, static_cast<HRGN>(handle));
        return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(r));
    }
    }
    return old;
}

BOOL DeleteObject(HGDIOBJ handle)
{
    Lock lock(GdiMutex());
    auto o = Lookup(handle);
    if (!o) return FALSE;
    if (o->stock) return TRUE;
    T().objects.erase(reinterpret_cast<uintptr_t>(handle));
    return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer)
{
    Lock lock(GdiMutex());
    auto o = Lookup(handle);
    if (!o) return 0;
    auto give = [&](const void* data, int need) -> int {
        if (!buffer) return need;
        if (size < need) return 0;
        std::memcpy(buffer, data, static_cast<size_t>(need));
        return need;
    };
    switch (o->kind) {
    case Kind::Bitmap: {
        const Surface& s = *std::static_pointer_cast<Bitmap>(o)->surface;
        BITMAP bm{0, s.width, s.height, s.width * 4, 1, 32, nullptr};
        return give(&bm, sizeof bm);
    }
    case Kind::Pen: {
        auto p = std::static_pointer_cast<Pen>(o);
        LOGPEN lp{static_cast<UINT>(p->style), POINT{p->width, 0}, p->color};
        return give(&lp, sizeof lp);
    }
    case Kind::Brush: {
        auto b = std::static_pointer_cast<Brush>(o);
        LOGBRUSH lb{b->null ? static_cast<UINT>(BS_NULL) : static_cast<UINT>(BS_SOLID), b->color, 0};
        return give(&lb, sizeof lb);
    }
    case Kind::Font:
        return give(&std::static_pointer_cast<Font>(o)->log, sizeof(LOGFONTW));
    case Kind::Region:
        return 0;
    }
    return 0;
}

DWORD GetObjectType(HGDIOBJ handle)
{
    Lock lock(GdiMutex());
    if (Dc* dc = LookupDc(static_cast<HDC>(handle))) return dc->memory ? OBJ_MEMDC : OBJ_DC;
    auto o = Lookup(handle);
    if (!o) return 0;
    switch (o->kind) {
    case Kind::Pen: return OBJ_PEN;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Font: return OBJ_FONT;
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Region: return OBJ_REGION;
    }
    return 0;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_PEN: return dc->state.penHandle;
    case OBJ_BRUSH: return dc->state.brushHandle;
    case OBJ_FONT: return dc->state.fontHandle;
    case OBJ_BITMAP: return dc->state.bitmapHandle;
    default: return nullptr;
    }
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    Lock lock(GdiMutex());
    auto p = std::make_shared<Pen>();
    p->style = (style == PS_NULL || style == PS_DASH) ? style : PS_SOLID;
    p->width = width < 1 ? 1 : (width > 1000 ? 1000 : width);
    p->color = color & 0xFFFFFFu;
    return static_cast<HPEN>(Insert(p));
}

HPEN CreatePenIndirect(const LOGPEN* pen)
{
    if (!pen) return nullptr;
    return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    Lock lock(GdiMutex());
    auto b = std::make_shared<Brush>();
    b->color = color & 0xFFFFFFu;
    return static_cast<HBRUSH>(Insert(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush)
{
    if (!brush) return nullptr;
    Lock lock(GdiMutex());
    auto b = std::make_shared<Brush>();
    b->null = brush->lbStyle == BS_NULL;
    b->color = brush->lbColor & 0xFFFFFFu;
    return static_cast<HBRUSH>(Insert(b));
}

// ---------------------------------------------------------------- DCs and bitmaps

HDC CreateCompatibleDC(HDC)
{
    Lock lock(GdiMutex());
    auto dc = std::make_unique<Dc>();
    dc->memory = true;
    SetDefaults(*dc);
    return InsertDc(std::move(dc));
}

BOOL DeleteDC(HDC hdc)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !dc->memory) return FALSE;
    T().dcs.erase(reinterpret_cast<uintptr_t>(hdc));
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    Lock lock(GdiMutex());
    return static_cast<HBITMAP>(Insert(NewBitmap(width, height)));
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits)
{
    Lock lock(GdiMutex());
    auto b = NewBitmap(width, height);
    if (!b) return nullptr;
    if (bits && bitsPerPixel == 32 && width > 0 && height > 0) {
        // Rows of 0x00RRGGBB, as a 32-bit DIB would hold them top-down.
        std::memcpy(b->surface->pixels.data(), bits, b->surface->pixels.size() * 4);
        for (auto& p : b->surface->pixels) p &= 0x00FFFFFFu;
    } else if (bits && bitsPerPixel == 1 && width > 0 && height > 0) {
        const auto* src = static_cast<const uint8_t*>(bits);
        int stride = ((width + 15) / 16) * 2;  // rows are WORD-aligned
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                b->surface->Row(y)[x] = (src[y * stride + x / 8] & (0x80 >> (x % 8))) ? 0xFFFFFFu : 0u;
    }
    return static_cast<HBITMAP>(Insert(b));
}

int GetDeviceCaps(HDC hdc, int index)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    Surface* s = dc ? dc->Target() : nullptr;
    switch (index) {
    case HORZRES: return dc && !dc->memory && s ? s->width : 480;
    case VERTRES: return dc && !dc->memory && s ? s->height : 272;
    case HORZSIZE: return 95;
    case VERTSIZE: return 54;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
    }
}

int SaveDC(HDC hdc)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return 0;
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || dc->saved.empty()) return FALSE;
    int n = static_cast<int>(dc->saved.size());
    int level = saved < 0 ? n + saved + 1 : saved;
    if (level < 1 || level > n) return FALSE;
    dc->state = dc->saved[static_cast<size_t>(level - 1)];
    dc->saved.resize(static_cast<size_t>(level - 1));
    return TRUE;
}

// ---------------------------------------------------------------- attributes

namespace {

// One attribute of a context's state: the setters give the old value back,
// and every call on an unknown context gives the attribute's failure value.
template <typename T>
T SwapAttribute(HDC hdc, T DcState::*field, std::type_identity_t<T> value, std::type_identity_t<T> failed)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return failed;
    T old = dc->state.*field;
    dc->state.*field = value;
    return old;
}

template <typename T>
T ReadAttribute(HDC hdc, T DcState::*field, std::type_identity_t<T> failed)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    return dc ? dc->state.*field : failed;
}

}  // namespace

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    return SwapAttribute(hdc, &DcState::textColor, color & 0xFFFFFFu, CLR_INVALID);
}

COLORREF GetTextColor(HDC hdc)
{
    return ReadAttribute(hdc, &DcState::textColor, CLR_INVALID);
}

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    return SwapAttribute(hdc, &DcState::bkColor, color & 0xFFFFFFu, CLR_INVALID);
}

COLORREF GetBkColor(HDC hdc)
{
    return ReadAttribute(hdc, &DcState::bkColor, CLR_INVALID);
}

int SetBkMode(HDC hdc, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return SwapAttribute(hdc, &DcState::bkMode, mode, 0);
}

int GetBkMode(HDC hdc)
{
    return ReadAttribute(hdc, &DcState::bkMode, 0);
}

UINT SetTextAlign(HDC hdc, UINT align)
{
    return SwapAttribute(hdc, &DcState::textAlign, align, 0xFFFFFFFFu);
}

UINT GetTextAlign(HDC hdc)
{
    return ReadAttribute(hdc, &DcState::textAlign, 0xFFFFFFFFu);
}

int SetPolyFillMode(HDC hdc, int mode)
{
    if (mode != ALTERNATE && mode != WINDING) return 0;
    return SwapAttribute(hdc, &DcState::polyFillMode, mode, 0);
}

int SetStretchBltMode(HDC hdc, int)
{
    Lock lock(GdiMutex());
    return LookupDc(hdc) ? COLORONCOLOR : 0;
}

// ---------------------------------------------------------------- clipping

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    Lock lock(GdiMutex());
    auto r = std::make_shared<Region>();
    r->rect = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    return static_cast<HRGN>(Insert(r));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    if (!rect) return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom)
{
    Lock lock(GdiMutex());
    auto r = LookupAs<Region>(region, Kind::Region);
    if (!r) return FALSE;
    r->rect = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    return TRUE;
}

int GetRgnBox(HRGN region, LPRECT rect)
{
    Lock lock(GdiMutex());
    auto r = LookupAs<Region>(region, Kind::Region);
    if (!r || !rect) return ERROR;
    *rect = r->rect;
    return Empty(r->rect) ? NULLREGION : SIMPLEREGION;
}

namespace {
int ClipKind(Dc& dc)
{
    return Empty(dc.DeviceClip()) ? NULLREGION : SIMPLEREGION;
}
}  // namespace

int SelectClipRgn(HDC hdc, HRGN region)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return ERROR;
    if (!region) {
        dc->state.hasUserClip = false;
        return ClipKind(*dc);
    }
    auto r = LookupAs<Region>(region, Kind::Region);
    if (!r) return ERROR;
    dc->state.hasUserClip = true;
    dc->state.userClip = r->rect;
    return ClipKind(*dc);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc) return ERROR;
    RECT r{left, top, right, bottom};
    if (Empty(r)) r = RECT{0, 0, 0, 0};
    if (dc->state.hasUserClip) {
        dc->state.userClip = Intersect(dc->state.userClip, r);
    } else {
        dc->state.hasUserClip = true;
        dc->state.userClip = r;
    }
    return ClipKind(*dc);
}

int GetClipBox(HDC hdc, LPRECT rect)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !rect) return ERROR;
    RECT c = dc->DeviceClip();
    *rect = Empty(c) ? RECT{0, 0, 0, 0}
                     : RECT{c.left - dc->originX, c.top - dc->originY, c.right - dc->originX, c.bottom - dc->originY};
    return Empty(c) ? NULLREGION : SIMPLEREGION;
}

// ---------------------------------------------------------------- pixels and rectangles

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    Surface* s = dc ? dc->Target() : nullptr;
    if (!s) return CLR_INVALID;
    RECT clip = dc->DeviceClip();
    int px = x + dc->originX, py = y + dc->originY;
    if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom) return CLR_INVALID;
    s->Row(py)[px] = ColorToPixel(color);
    return color & 0xFFFFFFu;
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    Surface* s = dc ? dc->Target() : nullptr;
    if (!s) return CLR_INVALID;
    RECT clip = dc->DeviceClip();
    int px = x + dc->originX, py = y + dc->originY;
    if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom) return CLR_INVALID;
    return PixelToColor(s->Row(py)[px]);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    Surface* s = dc ? dc->Target() : nullptr;
    auto b = LookupAs<Brush>(brush, Kind::Brush);
    if (!b) {
        // A brush may also be given as a system colour index plus one.
        intptr_t v = reinterpret_cast<intptr_t>(brush);
        if (v > 0 && v <= 29) b = LookupAs<Brush>(GetSysColorBrush(static_cast<int>(v - 1)), Kind::Brush);
    }
    if (!s || !rect || !b) return 0;
    if (b->null) return 1;
    RECT box{rect->left + dc->originX, rect->top + dc->originY, rect->right + dc->originX, rect->bottom + dc->originY};
    FillBox(*s, dc->DeviceClip(), box, ColorToPixel(b->color));
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    if (!rect) return 0;
    Lock lock(GdiMutex());
    if (Empty(*rect)) return 1;
    RECT edges[4] = {{rect->left, rect->top, rect->right, rect->top + 1},
                     {rect->left, rect->bottom - 1, rect->right, rect->bottom},
                     {rect->left, rect->top, rect->left + 1, rect->bottom},
                     {rect->right - 1, rect->top, rect->right, rect->bottom}};
    int ok = 1;
    for (const RECT& e : edges) ok &= FillRect(hdc, &e, brush);
    return ok;
}

BOOL InvertRect(HDC hdc, const RECT* rect)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    Surface* s = dc ? dc->Target() : nullptr;
    if (!s || !rect) return FALSE;
    RECT box{rect->left + dc->originX, rect->top + dc->originY, rect->right + dc->originX, rect->bottom + dc->originY};
    RECT r = Intersect(dc->DeviceClip(), box);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) s->Row(y)[x] ^= 0x00FFFFFFu;
    return TRUE;
}

// ---------------------------------------------------------------- blits

namespace {

uint32_t Rop(DWORD rop, uint32_t src, uint32_t dst, uint32_t pat)
{
    switch (rop) {
    case SRCCOPY: return src;
    case SRCPAINT: return src | dst;
    case SRCAND: return src & dst;
    case SRCINVERT: return (src ^ dst) & 0x00FFFFFFu;
    case NOTSRCCOPY: return ~src & 0x00FFFFFFu;
    case DSTINVERT: return ~dst & 0x00FFFFFFu;
    case PATCOPY: return pat;
    case BLACKNESS: return 0;
    case WHITENESS: return 0x00FFFFFFu;
    default: return dst;
    }
}

bool NeedsSource(DWORD rop)
{
    return rop == SRCCOPY || rop == SRCPAINT || rop == SRCAND || rop == SRCINVERT || rop == NOTSRCCOPY;
}

bool KnownRop(DWORD rop)
{
    return NeedsSource(rop) || rop == DSTINVERT || rop == PATCOPY || rop == BLACKNESS || rop == WHITENESS;
}

// Copies with the source taken from a snapshot when source and destination are
// the same surface, so an overlapping copy reads the original pixels.
BOOL Blit(HDC dstDc, int x, int y, int w, int h, HDC srcDc, int sx, int sy, int sw, int sh, DWORD rop)
{
    Dc* dst = LookupDc(dstDc);
    Surface* ds = dst ? dst->Target() : nullptr;
    if (!ds || !KnownRop(rop)) return FALSE;
    uint32_t pat = 0;
    if (rop == PATCOPY) {
        if (!dst->state.brush || dst->state.brush->null) return TRUE;
        pat = ColorToPixel(dst->state.brush->color);
    }
    const Surface* ss = nullptr;
    Surface copy;
    int sox = 0, soy = 0;
    if (NeedsSource(rop)) {
        Dc* src = LookupDc(srcDc);
        ss = src ? src->Target() : nullptr;
        if (!ss) return FALSE;
        sox = src->originX;
        soy = src->originY;
        if (ss == ds) {
            copy = *ss;
            ss = &copy;
        }
    }
    // The handheld's copies never mirror; a negative size draws nothing.
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return TRUE;
    RECT clip = dst->DeviceClip();
    RECT box = Intersect(clip, RECT{x + dst->originX, y + dst->originY, x + dst->originX + w, y + dst->originY + h});
    if (Empty(box)) return TRUE;
    bool identity = sw == w && sh == h;
    std::vector<int> colMap(static_cast<size_t>(box.right - box.left));
    for (int px = box.left; px < box.right; ++px) {
        long long i = px - (x + dst->originX);
        long long off = identity ? i : (2 * i + 1) * sw / (2LL * w);
        colMap[static_cast<size_t>(px - box.left)] = static_cast<int>(sx + off + sox);
    }
    for (int py = box.top; py < box.bottom; ++py) {
        long long j = py - (y + dst->originY);
        long long offY = identity ? j : (2 * j + 1) * sh / (2LL * h);
        int srow = static_cast<int>(sy + offY + soy);
        uint32_t* drow = ds->Row(py);
        if (!ss) {
            for (int px = box.left; px < box.right; ++px) drow[px] = Rop(rop, 0, drow[px], pat);
            continue;
        }
        if (srow < 0 || srow >= ss->height) continue;
        const uint32_t* srowp = ss->Row(srow);
        if (rop == SRCCOPY && identity) {
            int c0 = colMap[0], n = box.right - box.left;
            int from = std::max(0, -c0), to = std::min(n, ss->width - c0);
            if (from < to) std::copy(srowp + c0 + from, srowp + c0 + to, drow + box.left + from);
            continue;
        }
        for (int px = box.left; px < box.right; ++px) {
            int scol = colMap[static_cast<size_t>(px - box.left)];
            if (scol < 0 || scol >= ss->width) continue;
            drow[px] = Rop(rop, srowp[scol], drow[px], pat);
        }
    }
    return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    Lock lock(GdiMutex());
    return Blit(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop)
{
    Lock lock(GdiMutex());
    return Blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop)
{
    Lock lock(GdiMutex());
    if (NeedsSource(rop)) return FALSE;
    return Blit(hdc, x, y, width, height, nullptr, 0, 0, width, height, rop);
}

BOOL GdiFlush()
{
    return TRUE;
}
