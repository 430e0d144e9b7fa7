// Builds the 480 x 272 screen from the windows' own surfaces: top-level
// windows from the back to the front, each followed by its children, every
// child cut to its parent's client area.

#include <algorithm>
#include <cstring>

#include "platform/PowerSleep.h"
#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/backend/BackendInternal.h"
#include "platform/user/UserInternal.h"

using namespace qplat::user;

namespace {

struct Layer {
    std::shared_ptr<qplat::Surface> surface;
    int x, y;    // screen position of the surface's top-left pixel
    RECT clip;   // screen rectangle that may be covered
};

RECT Cut(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

void CollectChildrenLocked(const Window& parent, POINT clientOrigin, const RECT& clip, std::vector<Layer>& out)
{
    RECT clientClip = Cut(clip, RECT{clientOrigin.x, clientOrigin.y, clientOrigin.x + std::max(0, parent.ClientWidth()),
                                     clientOrigin.y + std::max(0, parent.ClientHeight())});
    for (auto it = parent.children.rbegin(); it != parent.children.rend(); ++it) {
        auto c = FindLocked(*it);
        if (!c || !(c->style & WS_VISIBLE)) continue;
        int x = clientOrigin.x + c->rect.left, y = clientOrigin.y + c->rect.top;
        RECT own{x, y, x + (c->rect.right - c->rect.left), y + (c->rect.bottom - c->rect.top)};
        RECT cut = Cut(clientClip, own);
        if (cut.right <= cut.left || cut.bottom <= cut.top) continue;
        out.push_back(Layer{c->surface, x, y, cut});
        CollectChildrenLocked(*c, POINT{x + c->insets.left, y + c->insets.top}, cut, out);
    }
}

// The visible surfaces from the back to the front, each cut to what it may
// cover.
std::vector<Layer> CollectLayers()
{
    std::vector<Layer> layers;
    std::lock_guard<std::mutex> g(S().lock);
    RECT all{0, 0, qplat::kScreenWidth, qplat::kScreenHeight};
    auto& z = S().topLevel;
    for (auto it = z.rbegin(); it != z.rend(); ++it) {
        auto w = FindLocked(*it);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        RECT cut = Cut(all, w->rect);
        if (cut.right <= cut.left || cut.bottom <= cut.top) continue;
        layers.push_back(Layer{w->surface, w->rect.left, w->rect.top, cut});
        CollectChildrenLocked(*w, POINT{w->rect.left + w->insets.left, w->rect.top + w->insets.top}, cut, layers);
    }
    return layers;
}

RECT Covered(const Layer& l)
{
    return Cut(l.clip, RECT{l.x, l.y, l.x + l.surface->width, l.y + l.surface->height});
}

}  // namespace

namespace qplat::backend {

void Compose(Surface& screen)
{
    if (screen.width != kScreenWidth || screen.height != kScreenHeight)
        screen.Resize(kScreenWidth, kScreenHeight, 0);
    // A sleeping device shows nothing.
    if (DeviceAsleep()) {
        std::fill(screen.pixels.begin(), screen.pixels.end(), 0u);
        return;
    }
    std::vector<Layer> layers = CollectLayers();
    std::fill(screen.pixels.begin(), screen.pixels.end(), 0u);
    std::lock_guard<std::recursive_mutex> g(GdiMutex());
    for (auto& l : layers) {
        const Surface& s = *l.surface;
        RECT r = Covered(l);
        for (LONG y = r.top; y < r.bottom; ++y) {
            if (r.right <= r.left) break;
            const uint32_t* src = s.Row(y - l.y) + (r.left - l.x);
            std::memcpy(screen.Row(y) + r.left, src, static_cast<size_t>(r.right - r.left) * sizeof(uint32_t));
        }
    }
}

unsigned ScreenVersion()
{
    return g_screenVersion.load(std::memory_order_relaxed);
}

}  // namespace qplat::backend

namespace qplat {

Surface ComposeScreen()
{
    Surface s(kScreenWidth, kScreenHeight, 0);
    backend::Compose(s);
    return s;
}

COLORREF ScreenPixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return 0xFFFFFFFFu;
    if (DeviceAsleep()) return 0;
    // Only the frontmost surface over the point counts, so one pixel needs no
    // whole screen: scripts and checks that read pixel after pixel stay cheap.
    std::vector<Layer> layers = CollectLayers();
    std::lock_guard<std::recursive_mutex> g(GdiMutex());
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        const RECT r = Covered(*it);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return PixelToColor(it->surface->At(x - it->x, y - it->y) & 0x00FFFFFFu);
    }
    return 0;
}

bool SaveScreenPng(const std::string& hostPath)
{
    Surface s = ComposeScreen();
    return WritePng(s, hostPath);
}

}  // namespace qplat
