// Stylus and power-key input: hit-testing in z-order, capture, and delivery
// as messages to the window's own thread.

#include "platform/PowerSleep.h"
#include "platform/Presenter.h"
#include "platform/WinCtrl.h"
#include "platform/WinKernel.h"
#include "platform/controls/ControlsInternal.h"
#include "platform/user/UserInternal.h"

using namespace qplat::user;

namespace {

bool Contains(const RECT& r, LONG x, LONG y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// The child of `w` (recursively) under the client point, or w itself.
std::shared_ptr<Window> DescendLocked(const std::shared_ptr<Window>& w, LONG x, LONG y, bool askHitTest,
                                      std::vector<std::shared_ptr<Window>>& sameThreadCandidates)
{
    for (HWND h : w->children) {
        auto c = FindLocked(h);
        if (!c || !(c->style & WS_VISIBLE)) continue;
        if (!Contains(c->rect, x, y)) continue;
        if (c->style & WS_DISABLED) return w;  // a disabled child passes the stylus to its parent
        if (askHitTest) sameThreadCandidates.push_back(c);
        return DescendLocked(c, x - c->rect.left - c->insets.left, y - c->rect.top - c->insets.top, askHitTest,
                             sameThreadCandidates);
    }
    return w;
}

HWND HitTest(LONG x, LONG y)
{
    // Top-level windows under the point, front first.
    std::vector<std::shared_ptr<Window>> tops;
    {
        std::lock_guard<std::mutex> g(S().lock);
        for (HWND h : S().topLevel) {
            auto w = FindLocked(h);
            if (w && (w->style & WS_VISIBLE) && Contains(w->rect, x, y) && !(w->exStyle & WS_EX_TRANSPARENT))
                tops.push_back(w);
        }
    }
    auto me = CurrentQueue();
    LPARAM screenPoint = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
    for (auto& top : tops) {
        if (top->style & WS_DISABLED) return nullptr;  // a modal screen is in front of it
        // A window that declares itself transparent (a tip, a static text)
        // lets the stylus through to what lies below it.
        if (top->queue == me && SendMessageW(top->handle, WM_NCHITTEST, 0, screenPoint) == HTTRANSPARENT) continue;
        std::shared_ptr<Window> found;
        {
            std::lock_guard<std::mutex> g(S().lock);
            if (top->dead) continue;
            std::vector<std::shared_ptr<Window>> unused;
            found = DescendLocked(top, x - top->rect.left - top->insets.left, y - top->rect.top - top->insets.top,
                                  false, unused);
        }
        while (found && found != top && found->queue == me &&
               SendMessageW(found->handle, WM_NCHITTEST, 0, screenPoint) == HTTRANSPARENT)
            found = Find(found->parent);
        return found ? found->handle : nullptr;
    }
    return nullptr;
}

void PostBar(HWND hwnd, int bar, int code, int pos = 0)
{
    PostMessageW(hwnd, bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL,
                 MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(static_cast<SHORT>(pos))), 0);
}

// The stylus on a window's own scroll bar scrolls it and never reaches the
// client; true when the event was taken so.
bool BarInput(UINT msg, LONG x, LONG y, HWND& hit, bool& tested)
{
    HWND hwnd = nullptr;
    int bar = 0, part = 0, grab = 0, track = 0;
    POINT origin{};
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto& s = S();
        if (msg != WM_LBUTTONDOWN) {
            if (!s.barWindow) return false;
            hwnd = s.barWindow;
            bar = s.barWhich;
            part = s.barPart;
            grab = s.barGrab;
            track = s.barTrack;
            if (msg == WM_LBUTTONUP) s.barWindow = nullptr;
        } else if (s.capture && FindLocked(s.capture)) {
            return false;
        }
        s.cursor = POINT{x, y};
    }
    if (msg == WM_LBUTTONDOWN) {
        hwnd = hit = HitTest(x, y);
        tested = true;
        if (!hwnd) return false;
        {
            std::lock_guard<std::mutex> g(S().lock);
            auto w = FindLocked(hwnd);
            if (!w || (!w->barH && !w->barV)) return false;
            POINT o = ClientOriginLocked(*w);
            origin = POINT{o.x - w->insets.left, o.y - w->insets.top};
        }
        LONG wx = x - origin.x, wy = y - origin.y;
        for (int which : {SB_VERT, SB_HORZ}) {
            BarLayout l;
            if (!LayoutBar(hwnd, which, l)) continue;
            if (wx < l.rect.left || wx >= l.rect.right || wy < l.rect.top || wy >= l.rect.bottom) continue;
            // A disabled bar still keeps the stylus from the client.
            if (!l.enabled) {
                std::lock_guard<std::mutex> g(S().lock);
                S().barWindow = hwnd;
                S().barWhich = which;
                S().barPart = -1;
                return true;
            }
            int along = l.vertical ? wy : wx;
            if (along < l.trackStart) part = SB_LINEUP;
            else if (along >= l.trackEnd) part = SB_LINEDOWN;
            else if (!l.hasThumb) part = along < (l.trackStart + l.trackEnd) / 2 ? SB_PAGEUP : SB_PAGEDOWN;
            else if (along < l.thumbStart) part = SB_PAGEUP;
            else if (along >= l.thumbStart + l.thumbLen) part = SB_PAGEDOWN;
            else part = SB_THUMBTRACK;
            grab = along - l.thumbStart;
            SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
            GetScrollInfo(hwnd, which, &si);
            {
                std::lock_guard<std::mutex> g(S().lock);
                S().barWindow = hwnd;
                S().barWhich = which;
                S().barPart = part;
                S().barGrab = grab;
                S().barTrack = si.nPos;
            }
            if (part == SB_THUMBTRACK) qplat::controls::SetBarTrackPos(hwnd, which, si.nPos);
            else PostBar(hwnd, which, part);
            return true;
        }
        return false;
    }
    if (part == SB_THUMBTRACK) {
        if (msg == WM_MOUSEMOVE) {
            BarLayout l;
            {
                std::lock_guard<std::mutex> g(S().lock);
                auto w = FindLocked(hwnd);
                if (!w) return true;
                POINT o = ClientOriginLocked(*w);
                origin = POINT{o.x - w->insets.left, o.y - w->insets.top};
            }
            if (!LayoutBar(hwnd, bar, l) || !l.hasThumb) return true;
            int along = l.vertical ? y - origin.y : x - origin.x;
            int pos = BarPosAt(l, along - grab);
            if (pos == track) return true;
            {
                std::lock_guard<std::mutex> g(S().lock);
                S().barTrack = pos;
            }
            qplat::controls::SetBarTrackPos(hwnd, bar, pos);
            DrawFrame(hwnd);
            PostBar(hwnd, bar, SB_THUMBTRACK, pos);
            return true;
        }
        if (msg == WM_LBUTTONUP) PostBar(hwnd, bar, SB_THUMBPOSITION, track);
    }
    if (msg == WM_LBUTTONUP && part >= 0) PostBar(hwnd, bar, SB_ENDSCROLL);
    return true;
}

void Deliver(UINT msg, LONG x, LONG y, WPARAM keys)
{
    HWND hit = nullptr;
    bool tested = false;
    if (BarInput(msg, x, y, hit, tested)) return;
    HWND target = nullptr;
    {
        std::lock_guard<std::mutex> g(S().lock);
        S().cursor = POINT{x, y};
        if (S().capture && FindLocked(S().capture)) target = S().capture;
    }
    if (!target) target = tested ? hit : HitTest(x, y);
    if (!target) return;
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(target);
    if (!w || !w->queue->alive) return;
    POINT o = ClientOriginLocked(*w);
    LONG cx = x - o.x, cy = y - o.y;
    LPARAM lp = MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(cx)), static_cast<WORD>(static_cast<SHORT>(cy)));
    w->queue->lastPos = POINT{x, y};
    w->queue->posted.push_back(MSG{target, msg, keys, lp, GetTickCount(), POINT{x, y}});
    WakeLocked(*w->queue);
}

}  // namespace

namespace qplat {

void StylusDown(int x, int y)
{
    {
        std::lock_guard<std::mutex> g(S().lock);
        // The stylus that wakes a sleeping device: its whole tap, to the
        // stylus going up, only wakes it and reaches no window.
        if (WakeDevice()) {
            S().stylusDown = false;
            return;
        }
        S().stylusDown = true;
    }
    Deliver(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
}

void StylusMove(int x, int y)
{
    bool down;
    {
        std::lock_guard<std::mutex> g(S().lock);
        down = S().stylusDown && !DeviceAsleep();
    }
    // A stylus only moves while it touches the screen.
    if (!down) return;
    Deliver(WM_MOUSEMOVE, x, y, MK_LBUTTON);
}

void StylusUp(int x, int y)
{
    bool down;
    {
        std::lock_guard<std::mutex> g(S().lock);
        down = S().stylusDown && !DeviceAsleep();
        S().stylusDown = false;
    }
    if (!down) return;
    Deliver(WM_LBUTTONUP, x, y, 0);
}

void StylusTap(int x, int y)
{
    StylusDown(x, y);
    StylusUp(x, y);
}

namespace {

HWND MainWindowLocked()
{
    // Handles grow with each window made, so the smallest is the oldest.
    HWND main = nullptr;
    for (HWND h : S().topLevel) {
        auto w = FindLocked(h);
        if (!w || w->owner || w->cls->system || w->destroying || (w->style & WS_CHILD)) continue;
        if (!main || reinterpret_cast<uintptr_t>(h) < reinterpret_cast<uintptr_t>(main)) main = h;
    }
    return main;
}

}  // namespace

HWND ProgramMainWindow()
{
    std::lock_guard<std::mutex> g(S().lock);
    return MainWindowLocked();
}

void PowerKey(UINT message)
{
    // On a sleeping device the power key only switches it on again.
    if (WakeDevice()) return;
    HWND target = nullptr;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto& s = S();
        // The screen in front is the topmost visible enabled top-level window.
        for (HWND h : s.topLevel) {
            auto w = FindLocked(h);
            // Tips and other helper windows of the controls are not screens.
            if (w && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED) && (!w->cls->system || w->isDialog)) {
                target = h;
                break;
            }
        }
        if (!target) target = MainWindowLocked();
    }
    if (target) PostMessageW(target, message, 0, 0);
}

void RequestClose()
{
    // A program asked to close is woken first, so that it can close.
    WakeDevice();
    HWND main = nullptr;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto& s = S();
        main = MainWindowLocked();
        if (!main && s.uiThreadSet) {
            auto it = s.queues.find(s.uiThread);
            auto q = it != s.queues.end() ? it->second.lock() : nullptr;
            if (q) {
                q->quitPosted = true;
                q->quitCode = 0;
                WakeLocked(*q);
            }
        }
    }
    if (main) PostMessageW(main, WM_CLOSE, 0, 0);
}

bool CloseRequestWaiting()
{
    std::lock_guard<std::mutex> g(S().lock);
    auto& s = S();
    if (s.uiThreadSet) {
        auto it = s.queues.find(s.uiThread);
        auto q = it != s.queues.end() ? it->second.lock() : nullptr;
        if (q && q->quitPosted) return true;
    }
    HWND main = MainWindowLocked();
    auto w = main ? FindLocked(main) : nullptr;
    if (!w) return false;
    for (const MSG& m : w->queue->posted)
        if (m.hwnd == main && m.message == WM_CLOSE) return true;
    return false;
}

}  // namespace qplat

HWND WindowFromPoint(POINT point)
{
    return HitTest(point.x, point.y);
}

HWND ChildWindowFromPoint(HWND parent, POINT point)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(parent);
    if (!w) return nullptr;
    if (point.x < 0 || point.y < 0 || point.x >= w->ClientWidth() || point.y >= w->ClientHeight()) return nullptr;
    for (HWND h : w->children) {
        auto c = FindLocked(h);
        if (c && Contains(c->rect, point.x, point.y)) return h;
    }
    return parent;
}
