// Window classes, the window tree, positions, styles, window longs and texts.

#include <algorithm>
#include <cstring>

#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/WinCtrl.h"
#include "platform/WinText.h"
#include "platform/controls/ControlsInternal.h"
#include "platform/user/UserInternal.h"

#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_INVALID_INDEX 1413L

namespace qplat::user {

std::atomic<unsigned> g_screenVersion{0};

State& S()
{
    static State* state = new State;  // outlives every thread and static destructor
    return *state;
}

std::u16string Fold(std::u16string_view s)
{
    std::u16string out(s);
    for (auto& c : out) c = towupper(c);
    return out;
}

std::shared_ptr<Window> FindLocked(HWND hwnd)
{
    auto& s = S();
    auto it = s.windows.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == s.windows.end() || it->second->dead) return nullptr;
    return it->second;
}

std::shared_ptr<Window> Find(HWND hwnd)
{
    std::lock_guard<std::mutex> g(S().lock);
    return FindLocked(hwnd);
}

bool IsDescendantLocked(HWND ancestor, HWND hwnd)
{
    auto w = FindLocked(hwnd);
    while (w && w->parent) {
        if (w->parent == ancestor) return true;
        w = FindLocked(w->parent);
    }
    return false;
}

POINT ClientOriginLocked(const Window& w)
{
    POINT p{w.rect.left + w.insets.left, w.rect.top + w.insets.top};
    if (w.parent) {
        if (auto parent = FindLocked(w.parent)) {
            POINT o = ClientOriginLocked(*parent);
            p.x += o.x;
            p.y += o.y;
        }
    }
    return p;
}

bool VisibleLocked(const Window& w)
{
    if (!(w.style & WS_VISIBLE)) return false;
    if (!w.parent) return true;
    auto parent = FindLocked(w.parent);
    return parent && VisibleLocked(*parent);
}

HWND RootLocked(HWND hwnd)
{
    auto w = FindLocked(hwnd);
    while (w && w->parent) {
        auto p = FindLocked(w->parent);
        if (!p) break;
        w = p;
    }
    return w ? w->handle : nullptr;
}

RECT InsetsFor(DWORD style, DWORD exStyle)
{
    RECT r{0, 0, 0, 0};
    int edge = 0;
    if ((style & WS_BORDER) || (style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) edge += 1;
    if (exStyle & WS_EX_CLIENTEDGE) edge += 2;
    if (exStyle & WS_EX_STATICEDGE) edge += 1;
    r.left = r.top = r.right = r.bottom = edge;
    if ((style & WS_CAPTION) == WS_CAPTION) r.top += GetSystemMetrics(SM_CYCAPTION);
    return r;
}

namespace {

int BarThickness(int bar)
{
    return GetSystemMetrics(bar == SB_VERT ? SM_CXVSCROLL : SM_CYHSCROLL);
}

void DrawBars(HWND hwnd, HDC dc)
{
    using namespace qplat::controls;
    BarLayout h, v;
    bool hasH = LayoutBar(hwnd, SB_HORZ, h), hasV = LayoutBar(hwnd, SB_VERT, v);
    for (int bar = SB_HORZ; bar <= SB_VERT; ++bar) {
        const BarLayout& l = bar == SB_HORZ ? h : v;
        if (!(bar == SB_HORZ ? hasH : hasV)) continue;
        FillSolid(dc, l.rect, kTrough);
        RECT first = l.rect, second = l.rect, thumb = l.rect;
        if (l.vertical) {
            first.bottom = l.trackStart;
            second.top = l.trackEnd;
            thumb.top = l.thumbStart;
            thumb.bottom = l.thumbStart + l.thumbLen;
        } else {
            first.right = l.trackStart;
            second.left = l.trackEnd;
            thumb.left = l.thumbStart;
            thumb.right = l.thumbStart + l.thumbLen;
        }
        for (const RECT* r : {&first, &second}) {
            FillSolid(dc, *r, kButtonFace);
            FrameSolid(dc, *r, kFrame);
        }
        COLORREF ink = l.enabled ? kFrame : kGrid;
        Arrow(dc, first, l.vertical ? 0 : 2, ink);
        Arrow(dc, second, l.vertical ? 1 : 3, ink);
        if (l.hasThumb) {
            FillSolid(dc, thumb, kThumb);
            FrameSolid(dc, thumb, kFrame);
        }
    }
    if (hasH && hasV) {
        RECT corner{v.rect.left, h.rect.top, v.rect.right, h.rect.bottom};
        FillSolid(dc, corner, kButtonFace);
    }
}

}  // namespace

bool LayoutBar(HWND hwnd, int bar, BarLayout& out, const int* pos)
{
    RECT base{}, whole{};
    bool barH = false, barV = false;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) return false;
        base = InsetsFor(w->style, w->exStyle);
        whole = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        barH = w->barH;
        barV = w->barV;
    }
    if (!(bar == SB_HORZ ? barH : barV)) return false;
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &si)) return false;
    int tv = BarThickness(SB_VERT), th = BarThickness(SB_HORZ);
    out = BarLayout{};
    out.vertical = bar == SB_VERT;
    if (out.vertical)
        out.rect = RECT{whole.right - base.right - tv, base.top, whole.right - base.right,
                        whole.bottom - base.bottom - (barH ? th : 0)};
    else
        out.rect = RECT{base.left, whole.bottom - base.bottom - th, whole.right - base.right - (barV ? tv : 0),
                        whole.bottom - base.bottom};
    int start = out.vertical ? out.rect.top : out.rect.left;
    int end = std::max(start, out.vertical ? out.rect.bottom : out.rect.right);
    int arrow = std::min(out.vertical ? tv : th, (end - start) / 2);
    out.trackStart = start + arrow;
    out.trackEnd = end - arrow;
    int track = out.trackEnd - out.trackStart;
    out.minPos = si.nMin;
    out.maxPos = si.nMax - (si.nPage > 0 ? static_cast<int>(si.nPage) - 1 : 0);
    if (out.maxPos < out.minPos) out.maxPos = out.minPos;
    long long span = static_cast<long long>(si.nMax) - si.nMin + 1;
    out.enabled = si.nPage > 0 ? span > static_cast<long long>(si.nPage) : si.nMax > si.nMin;
    if (!out.enabled) return true;
    int len = si.nPage > 0 ? static_cast<int>(track * static_cast<long long>(si.nPage) / std::max(1LL, span))
                           : (out.vertical ? tv : th);
    len = std::max(len, 8);
    out.hasThumb = len < track;
    if (!out.hasThumb) return true;
    out.thumbLen = len;
    int at = std::clamp(pos ? *pos : si.nTrackPos, out.minPos, out.maxPos);
    long long room = track - len, range = static_cast<long long>(out.maxPos) - out.minPos;
    out.thumbStart = out.trackStart + (range > 0 ? static_cast<int>((at - out.minPos) * room / range) : 0);
    return true;
}

int BarPosAt(const BarLayout& l, int thumbStart)
{
    long long room = l.trackEnd - l.trackStart - l.thumbLen, range = static_cast<long long>(l.maxPos) - l.minPos;
    if (room <= 0 || range <= 0) return l.minPos;
    long long along = std::clamp<long long>(thumbStart - l.trackStart, 0, room);
    return l.minPos + static_cast<int>((along * range + room / 2) / room);
}

void DrawFrame(HWND hwnd)
{
    std::shared_ptr<Surface> surface;
    RECT insets{};
    int w = 0, h = 0;
    DWORD style = 0;
    std::u16string text;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto win = FindLocked(hwnd);
        if (!win) return;
        win->frameDirty = false;
        insets = win->insets;
        if (insets.left == 0 && insets.top == 0 && insets.right == 0 && insets.bottom == 0) return;
        surface = win->surface;
        w = win->rect.right - win->rect.left;
        h = win->rect.bottom - win->rect.top;
        style = win->style;
        text = win->text;
    }
    RECT all{0, 0, w, h};
    HDC dc = CreateSurfaceDC(surface, 0, 0, all);
    if (!dc) return;
    HBRUSH frame = CreateSolidBrush(RGB(0, 0, 0));
    int edge = insets.left;
    for (int i = 0; i < edge; ++i) {
        RECT r{i, i, w - i, h - i};
        FrameRect(dc, &r, frame);
    }
    DeleteObject(frame);
    if ((style & WS_CAPTION) == WS_CAPTION) {
        RECT bar{edge, edge, w - edge, insets.top};
        HBRUSH fill = CreateSolidBrush(RGB(0, 48, 140));
        FillRect(dc, &bar, fill);
        DeleteObject(fill);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        RECT textRect{bar.left + 4, bar.top, bar.right - 4, bar.bottom};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    }
    DrawBars(hwnd, dc);
    ReleaseSurfaceDC(dc);
    ScreenChanged();
}

std::shared_ptr<ClassInfo> FindClassLocked(LPCWSTR name, HINSTANCE instance)
{
    (void)instance;  // one program per process: every instance handle names it
    auto& s = S();
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
        for (auto& c : s.classes)
            if (c->atom == atom) return c;
        for (auto& c : s.systemClasses)
            if (c->atom == atom) return c;
        return nullptr;
    }
    std::u16string folded = Fold(name);
    for (auto& c : s.classes)
        if (c->folded == folded) return c;
    for (auto& c : s.systemClasses)
        if (c->folded == folded) return c;
    return nullptr;
}

}  // namespace qplat::user

using namespace qplat::user;

namespace {

std::shared_ptr<ClassInfo> MakeClass(const WNDCLASSW& wc)
{
    auto c = std::make_shared<ClassInfo>();
    c->name = wc.lpszClassName;
    c->folded = Fold(c->name);
    c->wc = wc;
    c->wc.lpszClassName = c->name.c_str();
    c->wc.lpszMenuName = nullptr;
    if (c->wc.cbWndExtra < 0) c->wc.cbWndExtra = 0;
    if (c->wc.cbClsExtra < 0) c->wc.cbClsExtra = 0;
    return c;
}

bool ValidClassName(LPCWSTR name)
{
    return name && !IS_INTRESOURCE(name) && name[0] != 0;
}

// Sends WM_SIZE and WM_MOVE with the window's present geometry.
void SendSizeMove(HWND hwnd, bool sized, bool moved)
{
    int cw = 0, ch = 0, cx = 0, cy = 0;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) return;
        cw = w->ClientWidth();
        ch = w->ClientHeight();
        cx = w->rect.left + w->insets.left;
        cy = w->rect.top + w->insets.top;
    }
    if (sized) SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
    if (moved) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(cx, cy));
}

void RemoveFromZOrderLocked(Window& w)
{
    auto& s = S();
    if (w.parent) {
        if (auto p = FindLocked(w.parent)) {
            auto& list = p->children;
            list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
        }
    } else {
        s.topLevel.erase(std::remove(s.topLevel.begin(), s.topLevel.end(), w.handle), s.topLevel.end());
    }
}

// Puts a top-level window in front of every window of its band (topmost or
// not), keeping windows it owns in front of it.
void RaiseTopLevelLocked(HWND hwnd)
{
    auto& s = S();
    auto w = FindLocked(hwnd);
    if (!w || w->parent) return;
    auto& z = s.topLevel;
    z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
    size_t pos = 0;
    if (!(w->exStyle & WS_EX_TOPMOST)) {
        while (pos < z.size()) {
            auto o = FindLocked(z[pos]);
            if (!o || !(o->exStyle & WS_EX_TOPMOST)) break;
            ++pos;
        }
    }
    z.insert(z.begin() + static_cast<long>(pos), hwnd);
    // Owned windows come along, staying in front of their owner.
    std::vector<HWND> owned;
    for (HWND h : z) {
        auto o = FindLocked(h);
        if (o && o->owner == hwnd) owned.push_back(h);
    }
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) RaiseTopLevelLocked(*it);
}

void InsertInZOrderLocked(Window& w, HWND after)
{
    auto& s = S();
    if (w.parent) {
        auto p = FindLocked(w.parent);
        if (!p) return;
        auto& list = p->children;
        list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
        if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
            list.insert(list.begin(), w.handle);
        } else if (after == HWND_BOTTOM) {
            list.push_back(w.handle);
        } else {
            auto it = std::find(list.begin(), list.end(), after);
            if (it == list.end()) list.insert(list.begin(), w.handle);
            else list.insert(it + 1, w.handle);
        }
        return;
    }
    if (after == HWND_TOPMOST) w.exStyle |= WS_EX_TOPMOST;
    if (after == HWND_NOTOPMOST) w.exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        RaiseTopLevelLocked(w.handle);
        return;
    }
    auto& z = s.topLevel;
    z.erase(std::remove(z.begin(), z.end(), w.handle), z.end());
    if (after == HWND_BOTTOM) {
        z.push_back(w.handle);
    } else {
        auto it = std::find(z.begin(), z.end(), after);
        if (it == z.end()) z.insert(z.begin(), w.handle);
        else z.insert(it + 1, w.handle);
    }
}

void ActivateLocked(HWND hwnd, std::vector<std::pair<HWND, WPARAM>>& notify)
{
    auto& s = S();
    if (s.active == hwnd) return;
    if (s.active && FindLocked(s.active)) notify.emplace_back(s.active, WA_INACTIVE);
    s.active = hwnd;
    s.foreground = hwnd;
    if (hwnd) notify.emplace_back(hwnd, WA_ACTIVE);
}

void SendActivations(const std::vector<std::pair<HWND, WPARAM>>& notify)
{
    for (auto& [h, state] : notify) SendMessageW(h, WM_ACTIVATE, state, 0);
}

// Focus and capture leave a window (and its children) that goes away or is
// hidden or disabled.
void DropFocusAndCapture(HWND hwnd)
{
    HWND focusLost = nullptr;
    std::shared_ptr<ThreadQueue> q;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto& s = S();
        if (s.capture && (s.capture == hwnd || IsDescendantLocked(hwnd, s.capture))) s.capture = nullptr;
        auto w = FindLocked(hwnd);
        if (!w) return;
        q = w->queue;
        if (q->focus && (q->focus == hwnd || IsDescendantLocked(hwnd, q->focus))) {
            focusLost = q->focus;
            q->focus = nullptr;
        }
    }
    if (focusLost) SendMessageW(focusLost, WM_KILLFOCUS, 0, 0);
}

void DestroyTree(HWND hwnd)
{
    std::shared_ptr<Window> w = Find(hwnd);
    if (!w) return;
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> g(S().lock);
        children = w->children;
    }
    for (HWND c : children) {
        auto cw = Find(c);
        if (!cw || cw->destroying) continue;
        cw->destroying = true;
        DestroyTree(c);
    }
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    std::lock_guard<std::mutex> g(S().lock);
    auto& s = S();
    KillWindowTimersLocked(hwnd);
    RemoveFromZOrderLocked(*w);
    w->dead = true;
    w->ended = true;
    if (s.capture == hwnd) s.capture = nullptr;
    if (s.active == hwnd) s.active = nullptr;
    if (s.foreground == hwnd) s.foreground = nullptr;
    if (w->queue->focus == hwnd) w->queue->focus = nullptr;
    // Messages still waiting for this window are answered 0 by their senders.
    for (auto it = w->queue->sent.begin(); it != w->queue->sent.end();) {
        if ((*it)->hwnd == hwnd) {
            (*it)->done = true;
            if ((*it)->sender) WakeLocked(*(*it)->sender);
            it = w->queue->sent.erase(it);
        } else {
            ++it;
        }
    }
    s.windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    WakeLocked(*w->queue);
    ScreenChanged();
}

}  // namespace

// ---------------------------------------------------------------- classes

ATOM RegisterClassW(const WNDCLASSW* wc)
{
    if (!wc || !ValidClassName(wc->lpszClassName) || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> g(S().lock);
    auto& s = S();
    std::u16string folded = Fold(wc->lpszClassName);
    for (auto& c : s.classes)
        if (c->folded == folded) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    auto c = MakeClass(*wc);
    c->atom = s.nextAtom++;
    s.classes.push_back(c);
    return c->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto& s = S();
    auto c = FindClassLocked(className, nullptr);
    if (!c || c->system) return FALSE;
    for (auto& [h, w] : s.windows)
        if (w->cls == c && !w->dead) return FALSE;  // still in use
    s.classes.erase(std::remove(s.classes.begin(), s.classes.end(), c), s.classes.end());
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, LPWNDCLASSW out)
{
    EnsureBuiltinClasses();
    std::lock_guard<std::mutex> g(S().lock);
    auto c = FindClassLocked(className, instance);
    if (!c || !out) return FALSE;
    *out = c->wc;
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR name, int maxCount)
{
    auto w = Find(hwnd);
    if (!w || !name || maxCount <= 0) return 0;
    qplat::CopyField(name, static_cast<size_t>(maxCount), w->cls->name.c_str());
    return static_cast<int>(wcslen(name));
}

namespace qplat {

ATOM RegisterSystemClass(const WNDCLASSW& wc)
{
    if (!ValidClassName(wc.lpszClassName) || !wc.lpfnWndProc) return 0;
    std::lock_guard<std::mutex> g(S().lock);
    auto& s = S();
    auto c = MakeClass(wc);
    c->system = true;
    for (auto& old : s.systemClasses)
        if (old->folded == c->folded) {
            c->atom = old->atom;
            old = c;  // windows already made keep their class
            return c->atom;
        }
    c->atom = s.nextAtom++;
    s.systemClasses.push_back(c);
    return c->atom;
}

}  // namespace qplat

// ---------------------------------------------------------------- creation

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    EnsureBuiltinClasses();
    auto q = CurrentQueue();
    auto w = std::make_shared<Window>();
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto& s = S();
        auto cls = FindClassLocked(className, instance);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (style & WS_CHILD) {
            if (!FindLocked(parent)) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            w->parent = parent;
            w->id = reinterpret_cast<LONG_PTR>(menu);
        } else {
            if (parent && !FindLocked(parent)) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            w->owner = parent ? RootLocked(parent) : nullptr;
            w->id = reinterpret_cast<LONG_PTR>(menu);
        }
        if (!s.uiThreadSet && !(style & WS_CHILD)) {
            s.uiThread = q->threadId;
            s.uiThreadSet = true;
        }
        w->handle = reinterpret_cast<HWND>(s.nextHandle++ << 4);
        w->cls = cls;
        w->queue = q;
        w->proc = cls->wc.lpfnWndProc;
        w->instance = instance;
        w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
        w->exStyle = exStyle;
        w->extra.assign(static_cast<size_t>(cls->wc.cbWndExtra), 0);
        w->isDialog = cls->wc.lpfnWndProc == DialogWndProc;
        bool top = !(style & WS_CHILD);
        if (x == CW_USEDEFAULT) x = 0, y = (y == CW_USEDEFAULT ? 0 : y);
        if (y == CW_USEDEFAULT) y = 0;
        if (width == CW_USEDEFAULT) {
            width = top ? qplat::kScreenWidth - x : 0;
            if (height == CW_USEDEFAULT || height == 0) height = top ? qplat::kScreenHeight - y : 0;
        }
        if (height == CW_USEDEFAULT) height = top ? qplat::kScreenHeight - y : 0;
        if (width < 0) width = 0;
        if (height < 0) height = 0;
        w->rect = RECT{x, y, x + width, y + height};
        w->insets = InsetsFor(style, exStyle);
        w->surface = std::make_shared<qplat::Surface>(width, height, 0x00FFFFFFu);
        s.windows[reinterpret_cast<uintptr_t>(w->handle)] = w;
        if (top) {
            s.topLevel.insert(s.topLevel.begin(), w->handle);
            RaiseTopLevelLocked(w->handle);
        } else {
            FindLocked(parent)->children.push_back(w->handle);
        }
    }
    HWND hwnd = w->handle;
    CREATESTRUCTW cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!Find(hwnd)) return nullptr;  // destroyed by its own creation
    DrawFrame(hwnd);
    SendSizeMove(hwnd, true, true);
    if (style & WS_VISIBLE) ShowWindow(hwnd, (style & WS_CHILD) ? SW_SHOWNA : SW_SHOW);
    // Only a program that runs on a screen takes part in the single-instance
    // check; windows made by tests without one touch no device root.
    if (!(style & WS_CHILD) && !w->owner && !w->cls->system && qplat::ActivePresenter() != qplat::PresenterKind::None)
        PublishMainWindow(hwnd, w->cls->name);
    return Find(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->destroying) return TRUE;
    w->destroying = true;
    bool wasVisible = false;
    {
        std::lock_guard<std::mutex> g(S().lock);
        wasVisible = (w->style & WS_VISIBLE) != 0;
        UncoverLocked(*w);
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    if (wasVisible) ScreenChanged();
    DropFocusAndCapture(hwnd);
    // Windows it owns go first.
    std::vector<HWND> owned;
    {
        std::lock_guard<std::mutex> g(S().lock);
        for (HWND h : S().topLevel) {
            auto o = FindLocked(h);
            if (o && o->owner == hwnd) owned.push_back(h);
        }
    }
    for (HWND h : owned) DestroyWindow(h);
    HWND nextActive = nullptr;
    {
        std::lock_guard<std::mutex> g(S().lock);
        if (S().active == hwnd) nextActive = w->owner;
    }
    DestroyTree(hwnd);
    if (nextActive && Find(nextActive)) {
        std::vector<std::pair<HWND, WPARAM>> notify;
        {
            std::lock_guard<std::mutex> g(S().lock);
            ActivateLocked(nextActive, notify);
        }
        SendActivations(notify);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    if (!hwnd) return FALSE;
    if (Find(hwnd)) return TRUE;
    return IsRemoteWindow(hwnd) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    if (w->style & WS_POPUP) return w->owner;
    return nullptr;
}

HWND SetParent(HWND child, HWND newParent)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(child);
    if (!w) return nullptr;
    if (newParent && !FindLocked(newParent)) return nullptr;
    if (newParent && (newParent == child || IsDescendantLocked(child, newParent))) return nullptr;
    HWND old = w->parent;
    RemoveFromZOrderLocked(*w);
    if (newParent) {
        w->parent = newParent;
        FindLocked(newParent)->children.insert(FindLocked(newParent)->children.begin(), child);
    } else {
        w->parent = nullptr;
        S().topLevel.insert(S().topLevel.begin(), child);
    }
    ScreenChanged();
    return old;
}

HWND GetWindow(HWND hwnd, UINT cmd)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (cmd == GW_OWNER) return w->parent ? nullptr : w->owner;
    const std::vector<HWND>* list = &S().topLevel;
    if (w->parent) {
        auto p = FindLocked(w->parent);
        if (!p) return nullptr;
        list = &p->children;
    }
    auto it = std::find(list->begin(), list->end(), hwnd);
    if (it == list->end()) return nullptr;
    switch (cmd) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return (it + 1 == list->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == list->begin()) ? nullptr : *(it - 1);
    default: return nullptr;
    }
}

BOOL IsChild(HWND parent, HWND hwnd)
{
    std::lock_guard<std::mutex> g(S().lock);
    return IsDescendantLocked(parent, hwnd) ? TRUE : FALSE;
}

HWND GetDesktopWindow()
{
    return nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId)
{
    auto w = Find(hwnd);
    if (!w) return 0;
    if (processId) *processId = 1;
    return w->queue->threadId;
}

HWND GetDlgItem(HWND dialog, int id)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(dialog);
    if (!w) return nullptr;
    for (HWND h : w->children) {
        auto c = FindLocked(h);
        if (c && c->id == id) return h;
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w || !(w->style & WS_CHILD)) return 0;
    return static_cast<int>(w->id);
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (text && maxCount > 0) text[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(item, text, maxCount));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    WCHAR buffer[16];
    if (isSigned) swprintf(buffer, 16, u"%d", static_cast<int>(value));
    else swprintf(buffer, 16, u"%u", value);
    return SetDlgItemTextW(dialog, id, buffer);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned)
{
    WCHAR buffer[32];
    if (translated) *translated = FALSE;
    if (!GetDlgItemTextW(dialog, id, buffer, 32)) return 0;
    WCHAR* end = nullptr;
    LONG v = wcstol(buffer, &end, 10);
    if (end == buffer) return 0;
    if (!isSigned && v < 0) return 0;
    if (translated) *translated = TRUE;
    return static_cast<UINT>(v);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    SendMessageW(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    if (!Find(dialog)) return FALSE;
    for (int id = firstId; id <= lastId; ++id) {
        HWND item = GetDlgItem(dialog, id);
        if (item) SendMessageW(item, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}

// ---------------------------------------------------------------- geometry

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w || !rect) return FALSE;
    POINT o{0, 0};
    if (w->parent) {
        if (auto p = FindLocked(w->parent)) o = ClientOriginLocked(*p);
    }
    *rect = RECT{w->rect.left + o.x, w->rect.top + o.y, w->rect.right + o.x, w->rect.bottom + o.y};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, std::max(0, w->ClientWidth()), std::max(0, w->ClientHeight())};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w || !point) return FALSE;
    POINT o = ClientOriginLocked(*w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w || !point) return FALSE;
    POINT o = ClientOriginLocked(*w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count)
{
    std::lock_guard<std::mutex> g(S().lock);
    POINT a{0, 0}, b{0, 0};
    if (from) {
        auto w = FindLocked(from);
        if (!w) return 0;
        a = ClientOriginLocked(*w);
    }
    if (to) {
        auto w = FindLocked(to);
        if (!w) return 0;
        b = ClientOriginLocked(*w);
    }
    LONG dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

// ---------------------------------------------------------------- show, enable, move

BOOL ShowWindow(HWND hwnd, int cmd)
{
    auto w = Find(hwnd);
    if (!w) return FALSE;
    bool show = cmd != SW_HIDE;
    bool was;
    {
        std::lock_guard<std::mutex> g(S().lock);
        was = (w->style & WS_VISIBLE) != 0;
    }
    if (was != show) {
        SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        {
            std::lock_guard<std::mutex> g(S().lock);
            if (show) {
                w->style |= WS_VISIBLE;
            } else {
                UncoverLocked(*w);
                w->style &= ~static_cast<DWORD>(WS_VISIBLE);
            }
            if (show) InvalidateLocked(*w, nullptr, true);
        }
        ScreenChanged();
        if (!show) DropFocusAndCapture(hwnd);
    }
    if (show && !w->parent && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE &&
        !(w->exStyle & WS_EX_NOACTIVATE)) {
        std::vector<std::pair<HWND, WPARAM>> notify;
        {
            std::lock_guard<std::mutex> g(S().lock);
            RaiseTopLevelLocked(hwnd);
            ActivateLocked(hwnd, notify);
        }
        SendActivations(notify);
        ScreenChanged();
    }
    return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    return (w && VisibleLocked(*w)) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    auto w = Find(hwnd);
    if (!w) return FALSE;
    bool wasDisabled;
    {
        std::lock_guard<std::mutex> g(S().lock);
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (enable) w->style &= ~static_cast<DWORD>(WS_DISABLED);
        else w->style |= WS_DISABLED;
    }
    if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
    if (!enable) DropFocusAndCapture(hwnd);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    auto w = Find(hwnd);
    return (w && !(w->style & WS_DISABLED)) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    auto w = Find(hwnd);
    if (!w) return FALSE;
    WINDOWPOS pos{};
    {
        std::lock_guard<std::mutex> g(S().lock);
        pos.hwnd = hwnd;
        pos.hwndInsertAfter = insertAfter;
        pos.x = (flags & SWP_NOMOVE) ? w->rect.left : x;
        pos.y = (flags & SWP_NOMOVE) ? w->rect.top : y;
        pos.cx = (flags & SWP_NOSIZE) ? w->rect.right - w->rect.left : std::max(0, cx);
        pos.cy = (flags & SWP_NOSIZE) ? w->rect.bottom - w->rect.top : std::max(0, cy);
        pos.flags = flags;
    }
    if (!(flags & SWP_NOSENDCHANGING)) SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    bool moved = false, sized = false;
    {
        std::lock_guard<std::mutex> g(S().lock);
        if (w->dead) return FALSE;
        RECT r{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
        moved = r.left != w->rect.left || r.top != w->rect.top;
        sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
        w->rect = r;
        if (sized) {
            // Resized in place: a device context kept open on the window (a
            // chart keeps its own) goes on drawing where it is seen.
            std::lock_guard<std::recursive_mutex> gg(qplat::GdiMutex());
            qplat::Surface& surface = *w->surface;
            qplat::Surface old = surface;
            surface.Resize(r.right - r.left, r.bottom - r.top, 0x00FFFFFFu);
            int cw = std::min(old.width, surface.width), ch = std::min(old.height, surface.height);
            for (int row = 0; row < ch; ++row)
                std::memcpy(surface.Row(row), old.Row(row), static_cast<size_t>(cw) * sizeof(uint32_t));
            w->frameDirty = true;
        }
        if (!(flags & SWP_NOZORDER)) InsertInZOrderLocked(*w, pos.hwndInsertAfter);
        if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
        if (flags & SWP_HIDEWINDOW) {
            UncoverLocked(*w);
            w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        }
        if (sized && !(flags & SWP_NOREDRAW)) InvalidateLocked(*w, nullptr, true);
        if ((flags & SWP_SHOWWINDOW)) InvalidateLocked(*w, nullptr, true);
    }
    ScreenChanged();
    if (flags & SWP_HIDEWINDOW) DropFocusAndCapture(hwnd);
    if (sized) DrawFrame(hwnd);
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    SendSizeMove(hwnd, sized, moved);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW)));
}

BOOL BringWindowToTop(HWND hwnd)
{
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// ---------------------------------------------------------------- window longs

LONG_PTR GetWindowLongW(HWND hwnd, int index)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWL_USERDATA: return w->userData;
    default: break;
    }
    if (w->isDialog) {
        if (index == DWL_MSGRESULT) return w->msgResult;
        if (index == DWL_DLGPROC) return reinterpret_cast<LONG_PTR>(w->dlgProc);
        if (index == DWL_USER) return w->dlgUser;
        if (index < 12) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    if (static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
    LONG v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value)
{
    bool styleChanged = false;
    LONG_PTR old = 0;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        switch (index) {
        case GWL_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            if (value) w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWL_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->instance);
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWL_HWNDPARENT:
            if (w->parent) return 0;
            old = reinterpret_cast<LONG_PTR>(w->owner);
            w->owner = FindLocked(reinterpret_cast<HWND>(value)) ? RootLocked(reinterpret_cast<HWND>(value)) : nullptr;
            return old;
        case GWL_ID:
            old = w->id;
            w->id = value;
            return old;
        case GWL_STYLE:
            old = static_cast<LONG>(w->style);
            styleChanged = (w->style & WS_VISIBLE) != (static_cast<DWORD>(value) & WS_VISIBLE);
            if (styleChanged && !(static_cast<DWORD>(value) & WS_VISIBLE)) UncoverLocked(*w);
            w->style = static_cast<DWORD>(value);
            break;
        case GWL_EXSTYLE:
            old = static_cast<LONG>(w->exStyle);
            w->exStyle = static_cast<DWORD>(value);
            return old;
        case GWL_USERDATA:
            old = w->userData;
            w->userData = value;
            return old;
        default:
            if (w->isDialog && index == DWL_MSGRESULT) {
                old = w->msgResult;
                w->msgResult = value;
                return old;
            }
            if (w->isDialog && index == DWL_DLGPROC) {
                old = reinterpret_cast<LONG_PTR>(w->dlgProc);
                w->dlgProc = reinterpret_cast<DLGPROC>(value);
                return old;
            }
            if (w->isDialog && index == DWL_USER) {
                old = w->dlgUser;
                w->dlgUser = value;
                return old;
            }
            if (w->isDialog && index < 12) {
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
            }
            if (index < 0 || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
            }
            if (static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
                std::memcpy(&old, w->extra.data() + index, sizeof old);
                std::memcpy(w->extra.data() + index, &value, sizeof value);
            } else {
                LONG o, v = static_cast<LONG>(value);
                std::memcpy(&o, w->extra.data() + index, sizeof o);
                std::memcpy(w->extra.data() + index, &v, sizeof v);
                old = o;
            }
            return old;
        }
    }
    if (styleChanged) ScreenChanged();
    return old;
}

// ---------------------------------------------------------------- texts

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    if (!Find(hwnd)) return FALSE;
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount)
{
    if (!text || maxCount <= 0) return 0;
    text[0] = 0;
    if (!Find(hwnd)) return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND hwnd)
{
    if (!Find(hwnd)) return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---------------------------------------------------------------- finding and activation

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName)
{
    {
        std::lock_guard<std::mutex> g(S().lock);
        std::u16string folded = (className && !IS_INTRESOURCE(className)) ? Fold(className) : std::u16string();
        for (HWND h : S().topLevel) {
            auto w = FindLocked(h);
            if (!w) continue;
            if (className) {
                if (IS_INTRESOURCE(className)) {
                    if (w->cls->atom != static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className))) continue;
                } else if (w->cls->folded != folded) {
                    continue;
                }
            }
            if (windowName && Fold(w->text) != Fold(windowName)) continue;
            return h;
        }
    }
    if (!className || IS_INTRESOURCE(className)) return nullptr;
    if (qplat::ActivePresenter() == qplat::PresenterKind::None) return nullptr;
    std::u16string title = windowName ? std::u16string(windowName) : std::u16string();
    return FindRemoteWindow(className, windowName ? &title : nullptr);
}

BOOL SetForegroundWindow(HWND hwnd)
{
    // The lowest bit asks for the owned windows too; they always come along.
    hwnd = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(hwnd) & ~static_cast<uintptr_t>(1));
    if (IsRemoteWindow(hwnd)) return BringRemoteToFront(hwnd) ? TRUE : FALSE;
    std::vector<std::pair<HWND, WPARAM>> notify;
    {
        std::lock_guard<std::mutex> g(S().lock);
        HWND root = RootLocked(hwnd);
        if (!root) return FALSE;
        RaiseTopLevelLocked(root);
        // The window in front is the last owned window raised, or the root.
        HWND front = root;
        for (HWND h : S().topLevel) {
            auto o = FindLocked(h);
            if (o && (h == root || o->owner == root) && (o->style & WS_VISIBLE)) {
                front = h;
                break;
            }
        }
        ActivateLocked(front, notify);
    }
    g_raiseRequested = true;
    SendActivations(notify);
    ScreenChanged();
    return TRUE;
}

HWND GetForegroundWindow()
{
    std::lock_guard<std::mutex> g(S().lock);
    return FindLocked(S().foreground) ? S().foreground : nullptr;
}

HWND SetActiveWindow(HWND hwnd)
{
    HWND old;
    std::vector<std::pair<HWND, WPARAM>> notify;
    {
        std::lock_guard<std::mutex> g(S().lock);
        old = S().active;
        HWND root = RootLocked(hwnd);
        if (!root) return nullptr;
        ActivateLocked(root, notify);
    }
    SendActivations(notify);
    return old;
}

HWND GetActiveWindow()
{
    std::lock_guard<std::mutex> g(S().lock);
    return FindLocked(S().active) ? S().active : nullptr;
}

HWND SetFocus(HWND hwnd)
{
    std::shared_ptr<ThreadQueue> q;
    HWND old = nullptr;
    {
        std::lock_guard<std::mutex> g(S().lock);
        if (hwnd) {
            auto w = FindLocked(hwnd);
            if (!w || (w->style & WS_DISABLED)) return nullptr;
            q = w->queue;
        } else {
            q = nullptr;
        }
    }
    if (!q) q = CurrentQueue();
    {
        std::lock_guard<std::mutex> g(S().lock);
        old = FindLocked(q->focus) ? q->focus : nullptr;
        if (old == hwnd) return old;
        q->focus = hwnd;
    }
    if (old) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && Find(hwnd)) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus()
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    return FindLocked(q->focus) ? q->focus : nullptr;
}

HWND SetCapture(HWND hwnd)
{
    HWND old;
    {
        std::lock_guard<std::mutex> g(S().lock);
        if (!FindLocked(hwnd)) return nullptr;
        old = FindLocked(S().capture) ? S().capture : nullptr;
        S().capture = hwnd;
    }
    if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture()
{
    HWND old;
    {
        std::lock_guard<std::mutex> g(S().lock);
        old = FindLocked(S().capture) ? S().capture : nullptr;
        S().capture = nullptr;
    }
    if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture()
{
    std::lock_guard<std::mutex> g(S().lock);
    return FindLocked(S().capture) ? S().capture : nullptr;
}

// ---------------------------------------------------------------- miscellany

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN: return qplat::kScreenWidth;
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN:
    case SM_CYVIRTUALSCREEN: return qplat::kScreenHeight;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL: return 13;
    case SM_CYCAPTION: return 24;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 1;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 24;
    case SM_MOUSEPRESENT: return 1;
    case SM_CMOUSEBUTTONS: return 1;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 8;
    default: return 0;
    }
}

BOOL MessageBeep(UINT)
{
    return TRUE;
}

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR)
{
    return nullptr;  // the program has no accelerator table
}

int TranslateAcceleratorW(HWND, HACCEL, LPMSG)
{
    return 0;
}

BOOL DestroyAcceleratorTable(HACCEL)
{
    return TRUE;
}

SHORT GetAsyncKeyState(int key)
{
    std::lock_guard<std::mutex> g(S().lock);
    if (key == VK_LBUTTON && S().stylusDown) return static_cast<SHORT>(0x8000);
    return 0;
}

SHORT GetKeyState(int key)
{
    return GetAsyncKeyState(key);
}

namespace {
HCURSOR g_cursor = nullptr;
int g_cursorCount = 0;
}  // namespace

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name)
{
    // Cursors are not shown on a touch screen; the handle only identifies the shape.
    return reinterpret_cast<HCURSOR>(reinterpret_cast<ULONG_PTR>(name) | 0x10000u);
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR old = g_cursor;
    g_cursor = cursor;
    return old;
}

HCURSOR GetCursor()
{
    return g_cursor;
}

int ShowCursor(BOOL show)
{
    g_cursorCount += show ? 1 : -1;
    return g_cursorCount;
}

BOOL SetCursorPos(int x, int y)
{
    std::lock_guard<std::mutex> g(S().lock);
    S().cursor = POINT{x, y};
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point)
{
    if (!point) return FALSE;
    std::lock_guard<std::mutex> g(S().lock);
    *point = S().cursor;
    return TRUE;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name)
{
    if (!name) return nullptr;
    if (!IS_INTRESOURCE(name)) return nullptr;
    if (reinterpret_cast<ULONG_PTR>(name) >= 32512) return reinterpret_cast<HICON>(reinterpret_cast<ULONG_PTR>(name));
    HRSRC r = FindResourceW(instance, name, RT_GROUP_ICON);
    if (!r) r = FindResourceW(instance, name, RT_ICON);
    return r ? reinterpret_cast<HICON>(r) : nullptr;
}

// ---------------------------------------------------------------- rectangles

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom)
{
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect)
{
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT dst, const RECT* src)
{
    if (!dst || !src) return FALSE;
    *dst = *src;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect)
{
    return (!rect || rect->right <= rect->left || rect->bottom <= rect->top) ? TRUE : FALSE;
}

BOOL PtInRect(const RECT* rect, POINT p)
{
    return (rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom) ? TRUE
                                                                                                     : FALSE;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy)
{
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy)
{
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b)
{
    if (!dst || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b)
{
    if (!dst || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *dst = IsRectEmpty(b) ? RECT{0, 0, 0, 0} : *b;
    } else if (IsRectEmpty(b)) {
        *dst = *a;
    } else {
        *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(dst) ? FALSE : TRUE;
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
    return (a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom)
               ? TRUE
               : FALSE;
}

namespace qplat::user {

void SetWindowBar(HWND hwnd, int bar, bool shown, bool redraw)
{
    bool changed = false;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w || w->dead) return;
        // Only a window made with the bar's style has room for it.
        DWORD styleBit = bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL;
        if (!(w->style & styleBit)) shown = false;
        bool& flag = bar == SB_HORZ ? w->barH : w->barV;
        if (flag != shown) {
            flag = shown;
            changed = true;
            RECT in = InsetsFor(w->style, w->exStyle);
            if (w->barV) in.right += GetSystemMetrics(SM_CXVSCROLL);
            if (w->barH) in.bottom += GetSystemMetrics(SM_CYHSCROLL);
            RECT oldClient{0, 0, std::max(0, w->ClientWidth()), std::max(0, w->ClientHeight())};
            RECT old = w->insets;
            w->insets = in;
            RECT newClient{0, 0, std::max(0, w->ClientWidth()), std::max(0, w->ClientHeight())};
            qplat::MoveSurfaceClient(w->surface.get(), old.left, old.top, oldClient, in.left, in.top, newClient);
            w->frameDirty = true;
            InvalidateLocked(*w, nullptr, true);
        }
    }
    if (changed || redraw) DrawFrame(hwnd);
    if (changed) {
        ScreenChanged();
        SendSizeMove(hwnd, true, false);
    }
}

}  // namespace qplat::user
