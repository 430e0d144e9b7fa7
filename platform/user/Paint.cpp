// Invalidation, WM_PAINT and the device contexts of windows. Every window
// draws into its own surface; the presenter composes them into the screen.

#include <algorithm>

#include "platform/WinKernel.h"
#include "platform/user/UserInternal.h"

namespace qplat::user {

void InvalidateLocked(Window& w, const RECT* rect, bool erase)
{
    RECT client{0, 0, std::max(0, w.ClientWidth()), std::max(0, w.ClientHeight())};
    RECT r = client;
    if (rect) IntersectRect(&r, rect, &client);
    if (IsRectEmpty(&r)) return;
    if (w.dirty) UnionRect(&w.update, &w.update, &r);
    else w.update = r;
    w.dirty = true;
    if (erase) w.erase = true;
    WakeLocked(*w.queue);
}

namespace {

// Invalidates, in `w` and every visible window inside it, the part of the
// screen rectangle `area` each one shows.
void InvalidateAreaLocked(Window& w, const RECT& area)
{
    if (!(w.style & WS_VISIBLE) || w.destroying || w.dead) return;
    POINT o = ClientOriginLocked(w);
    RECT local{area.left - o.x, area.top - o.y, area.right - o.x, area.bottom - o.y};
    InvalidateLocked(w, &local, true);
    for (HWND h : w.children)
        if (auto c = FindLocked(h)) InvalidateAreaLocked(*c, area);
}

}  // namespace

void UncoverLocked(const Window& gone)
{
    if (!VisibleLocked(gone)) return;
    const POINT o = ClientOriginLocked(gone);
    const RECT area{o.x - gone.insets.left, o.y - gone.insets.top,
                    o.x - gone.insets.left + (gone.rect.right - gone.rect.left),
                    o.y - gone.insets.top + (gone.rect.bottom - gone.rect.top)};
    if (IsRectEmpty(&area)) return;
    // Only what lay behind it is uncovered: the windows after it in its
    // z-order list and, for a child, its parent (children are cut to it).
    const std::vector<HWND>* siblings = &S().topLevel;
    std::shared_ptr<Window> parent;
    if (gone.parent) {
        parent = FindLocked(gone.parent);
        if (!parent) return;
        siblings = &parent->children;
    }
    auto at = std::find(siblings->begin(), siblings->end(), gone.handle);
    if (at == siblings->end()) return;
    for (auto it = at + 1; it != siblings->end(); ++it)
        if (auto w = FindLocked(*it)) InvalidateAreaLocked(*w, area);
    if (parent && !parent->destroying) {
        const POINT po = ClientOriginLocked(*parent);
        RECT local{area.left - po.x, area.top - po.y, area.right - po.x, area.bottom - po.y};
        InvalidateLocked(*parent, &local, true);
    }
}

}  // namespace qplat::user

using namespace qplat::user;

namespace {

// The screen as one surface for GetDC(NULL): drawing there is not shown.
std::shared_ptr<qplat::Surface> DesktopSurface()
{
    static auto* surface = new std::shared_ptr<qplat::Surface>(
        std::make_shared<qplat::Surface>(qplat::kScreenWidth, qplat::kScreenHeight, 0u));
    return *surface;
}

}  // namespace

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    std::lock_guard<std::mutex> g(S().lock);
    if (!hwnd) {
        for (HWND h : S().topLevel)
            if (auto w = FindLocked(h)) InvalidateLocked(*w, nullptr, erase != FALSE);
        return TRUE;
    }
    auto w = FindLocked(hwnd);
    if (!w) return FALSE;
    InvalidateLocked(*w, rect, erase != FALSE);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) return FALSE;
    if (!rect) {
        w->dirty = false;
        w->erase = false;
        return TRUE;
    }
    // Rectangular update areas: a part validated from the middle leaves the
    // whole bounding box to be painted, which only paints more than needed.
    RECT inter;
    if (IntersectRect(&inter, rect, &w->update) && EqualRect(&inter, &w->update)) {
        w->dirty = false;
        w->erase = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->dirty ? w->update : RECT{0, 0, 0, 0};
    return w->dirty ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w) return FALSE;
    bool dirty;
    {
        std::lock_guard<std::mutex> g(S().lock);
        dirty = w->dirty && (w->style & WS_VISIBLE);
    }
    if (dirty) {
        MSG m{hwnd, WM_PAINT, 0, 0, GetTickCount(), POINT{0, 0}};
        if (w->queue == CurrentQueue()) DispatchMessageW(&m);
        else SendMessageW(hwnd, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps)
{
    if (!ps) return nullptr;
    *ps = PAINTSTRUCT{};
    std::shared_ptr<qplat::Surface> surface;
    RECT clip{};
    bool erase = false;
    int ox = 0, oy = 0;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) return nullptr;
        w->beginPaints++;
        clip = w->dirty ? w->update : RECT{0, 0, 0, 0};
        erase = w->dirty && w->erase;
        w->dirty = false;
        w->erase = false;
        surface = w->surface;
        ox = w->insets.left;
        oy = w->insets.top;
    }
    HDC dc = qplat::CreateSurfaceDC(surface, ox, oy, clip);
    ps->hdc = dc;
    ps->rcPaint = clip;
    ps->fErase = FALSE;
    if (erase && dc) ps->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* ps)
{
    if (!ps || !ps->hdc) return FALSE;
    qplat::ReleaseSurfaceDC(ps->hdc);
    ScreenChanged();
    return TRUE;
}

HDC GetDC(HWND hwnd)
{
    if (!hwnd) {
        RECT all{0, 0, qplat::kScreenWidth, qplat::kScreenHeight};
        return qplat::CreateSurfaceDC(DesktopSurface(), 0, 0, all);
    }
    std::shared_ptr<qplat::Surface> surface;
    RECT clip{};
    int ox = 0, oy = 0;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) return nullptr;
        surface = w->surface;
        clip = RECT{0, 0, std::max(0, w->ClientWidth()), std::max(0, w->ClientHeight())};
        ox = w->insets.left;
        oy = w->insets.top;
    }
    ScreenChanged();
    return qplat::CreateSurfaceDC(surface, ox, oy, clip);
}

HDC GetWindowDC(HWND hwnd)
{
    if (!hwnd) return GetDC(nullptr);
    std::shared_ptr<qplat::Surface> surface;
    RECT clip{};
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) return nullptr;
        surface = w->surface;
        clip = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    }
    ScreenChanged();
    return qplat::CreateSurfaceDC(surface, 0, 0, clip);
}

int ReleaseDC(HWND, HDC hdc)
{
    if (!hdc) return 0;
    ScreenChanged();
    return qplat::ReleaseSurfaceDC(hdc) ? 1 : 0;
}
