// Pixel surfaces and the device contexts that draw on them. Inside platform/
// only: the window system gives every window a Surface, opens a device context
// on it for GetDC / BeginPaint, and the presenters compose the surfaces into
// the screen. Everything the program itself sees is in platform/WinGdi.h.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WinDef.h"

namespace qplat {

// A 32-bit pixel buffer. Pixels are 0x00RRGGBB (the top byte is ignored and
// kept 0), rows top to bottom, no padding: the layout SDL calls XRGB8888.
// GDI colours (COLORREF, 0x00BBGGRR) are converted with ColorToPixel /
// PixelToColor.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Surface() = default;
    Surface(int w, int h, uint32_t fill = 0x00FFFFFFu) { Resize(w, h, fill); }

    // Discards the content; negative sizes count as 0.
    void Resize(int w, int h, uint32_t fill = 0x00FFFFFFu)
    {
        width = w > 0 ? w : 0;
        height = h > 0 ? h : 0;
        pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
    const uint32_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
    // Outside the surface: 0xFFFFFFFF (no pixel).
    uint32_t At(int x, int y) const { return Contains(x, y) ? Row(y)[x] : 0xFFFFFFFFu; }
};

inline uint32_t ColorToPixel(COLORREF c)
{
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF PixelToColor(uint32_t p)
{
    return ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16);
}

// The one lock of GDI. Every GDI call takes it; a presenter that reads window
// surfaces while other threads may draw (the busy animation draws from its own
// thread) holds it while it composes.
std::recursive_mutex& GdiMutex();

// A device context that draws onto `surface`. Logical (0, 0) of the context is
// the surface pixel (originX, originY) (a window's client origin within its
// surface). Nothing outside `clip` is touched; `clip` is in the context's own
// coordinates (relative to the origin), e.g. the client rectangle for GetDC or
// the update rectangle for BeginPaint. It is further cut to the surface. The
// context keeps the surface alive; a later Resize of the surface is safe (the
// clip is re-cut to the surface on every drawing call).
// The returned HDC behaves like a window DC: SelectObject, SelectClipRgn and
// every drawing call work on it; it must be released with ReleaseSurfaceDC
// (DeleteDC refuses it, as it refuses a window DC).
HDC CreateSurfaceDC(std::shared_ptr<Surface> surface, int originX, int originY, const RECT& clip);
// Restores nothing and frees the context; FALSE when hdc is not a surface DC.
BOOL ReleaseSurfaceDC(HDC hdc);
// The client of a window moved within its surface (scroll bars came or went):
// contexts kept open on it follow. A context whose clip was the whole old
// client gets the whole new one; any other is cut to the new client.
void MoveSurfaceClient(const Surface* surface, int oldX, int oldY, const RECT& oldClient, int newX, int newY,
                       const RECT& newClient);
// The surface a DC draws on (window DC or memory DC with its selected bitmap);
// empty for an invalid handle or a memory DC without a bitmap.
std::shared_ptr<Surface> SurfaceOfDC(HDC hdc);

// The surface behind a bitmap handle (empty for an invalid handle), and a
// bitmap made from a surface (the bitmap shares it). For controls that show
// bitmaps and for tests that inspect memory bitmaps.
std::shared_ptr<Surface> SurfaceOfBitmap(HBITMAP bitmap);
HBITMAP CreateBitmapFromSurface(std::shared_ptr<Surface> surface);

// PNG files. WritePng returns false when the file cannot be written; DecodePng
// returns false (and leaves `out` empty) on anything that is not a readable PNG.
bool WritePng(const Surface& surface, const std::string& hostPath);
bool DecodePng(const uint8_t* data, size_t size, Surface& out);

}  // namespace qplat
