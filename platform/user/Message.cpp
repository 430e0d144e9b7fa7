// Per-thread message queues: sending (also across threads), posting, the
// retrieval order (sent, posted, quit, paint, timers), timers on the
// platform clock, and the default window procedure.

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/user/UserInternal.h"

#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_INVALID_THREAD_ID 1444L

namespace qplat::user {

namespace {

IdleHook g_idleHook = nullptr;

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder();
};

// A thread that ends leaves its windows without a message loop: they go away
// without their procedures being called, and whoever waits on them is
// answered 0.
QueueHolder::~QueueHolder()
{
    if (!queue) return;
    std::lock_guard<std::mutex> g(S().lock);
    auto& s = S();
    queue->alive = false;
    for (auto& m : queue->sent) {
        m->done = true;
        if (m->sender) WakeLocked(*m->sender);
    }
    queue->sent.clear();
    std::vector<uintptr_t> gone;
    for (auto& [h, w] : s.windows)
        if (w->queue == queue) gone.push_back(h);
    for (uintptr_t h : gone) {
        auto w = s.windows[h];
        w->dead = true;
        if (w->parent) {
            if (auto p = FindLocked(w->parent)) {
                auto& l = p->children;
                l.erase(std::remove(l.begin(), l.end(), w->handle), l.end());
            }
        } else {
            s.topLevel.erase(std::remove(s.topLevel.begin(), s.topLevel.end(), w->handle), s.topLevel.end());
        }
    }
    for (uintptr_t h : gone) s.windows.erase(h);
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.queue == queue; }),
                   s.timers.end());
    s.queues.erase(queue->threadId);
    if (s.capture && !FindLocked(s.capture)) s.capture = nullptr;
    ScreenChanged();
}

thread_local QueueHolder t_queue;

bool Due(DWORD now, DWORD due)
{
    return static_cast<int32_t>(now - due) >= 0;
}

bool MatchesFilter(HWND msgHwnd, HWND filter, UINT msg, UINT min, UINT max)
{
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (msgHwnd) return false;
    } else if (filter && msgHwnd != filter && !IsDescendantLocked(filter, msgHwnd)) {
        return false;
    }
    if (min == 0 && max == 0) return true;
    return msg >= min && msg <= max;
}

// A window of this queue that needs painting, parents before children.
HWND DirtyWindowLocked(const ThreadQueue& q, HWND filter, const std::vector<HWND>& list)
{
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        auto w = FindLocked(*it);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        if (w->queue.get() == &q && w->dirty && MatchesFilter(w->handle, filter, WM_PAINT, 0, 0)) return w->handle;
        HWND c = DirtyWindowLocked(q, filter, w->children);
        if (c) return c;
    }
    return nullptr;
}

void HandleSent(std::unique_lock<std::mutex>& lk, const std::shared_ptr<ThreadQueue>& q)
{
    auto m = q->sent.front();
    q->sent.pop_front();
    auto w = FindLocked(m->hwnd);
    lk.unlock();
    LRESULT r = 0;
    if (w) {
        q->inSend++;
        r = CallProc(w, m->msg, m->wParam, m->lParam);
        q->inSend--;
    }
    lk.lock();
    m->result = r;
    m->done = true;
    if (m->sender) WakeLocked(*m->sender);
}

enum class Got { None, Message, Quit };

// One step of retrieval; runs sent messages on the way. With `remove` the
// message leaves the queue (paint messages stay until validated).
Got TryGet(std::unique_lock<std::mutex>& lk, const std::shared_ptr<ThreadQueue>& q, MSG* out, HWND filter,
           UINT min, UINT max, bool remove)
{
    while (!q->sent.empty()) HandleSent(lk, q);
    auto& s = S();
    for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
        if (!MatchesFilter(it->hwnd, filter, it->message, min, max)) continue;
        *out = *it;
        if (remove) {
            if (it->message == WM_LBUTTONUP) ++q->stylusUpsTaken;
            q->posted.erase(it);
        }
        return out->message == WM_QUIT ? Got::Quit : Got::Message;
    }
    if (q->quitPosted && (min == 0 && max == 0 ? true : (WM_QUIT >= min && WM_QUIT <= max))) {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, GetTickCount(), q->lastPos};
        if (remove) q->quitPosted = false;
        return Got::Quit;
    }
    if (min == 0 && max == 0 ? true : (WM_PAINT >= min && WM_PAINT <= max)) {
        HWND dirty = DirtyWindowLocked(*q, filter, s.topLevel);
        if (dirty) {
            *out = MSG{dirty, WM_PAINT, 0, 0, GetTickCount(), q->lastPos};
            return Got::Message;
        }
    }
    if (min == 0 && max == 0 ? true : (WM_TIMER >= min && WM_TIMER <= max)) {
        DWORD now = GetTickCount();
        Timer* best = nullptr;
        for (auto& t : s.timers) {
            if (t.queue != q || !Due(now, t.due)) continue;
            if (t.hwnd && !MatchesFilter(t.hwnd, filter, WM_TIMER, 0, 0)) continue;
            if (!t.hwnd && filter && filter != reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) continue;
            if (!best || static_cast<int32_t>(t.due - best->due) < 0) best = &t;
        }
        if (best) {
            *out = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), now, q->lastPos};
            if (remove) best->due = now + best->elapse;
            return Got::Message;
        }
    }
    return Got::None;
}

// How long a wait may last before timers or the clock need a look.
DWORD WaitBudgetLocked(const std::shared_ptr<ThreadQueue>& q)
{
    DWORD budget = 100;
    DWORD now = GetTickCount();
    for (auto& t : S().timers) {
        if (t.queue != q) continue;
        int32_t left = static_cast<int32_t>(t.due - now);
        DWORD l = left < 0 ? 0 : static_cast<DWORD>(left);
        budget = std::min(budget, l);
    }
    // A manual clock moves only when a test advances it; look again soon.
    if (qplat::ManualClockActive()) budget = std::min<DWORD>(budget, 5);
    return budget;
}

bool IsUiThreadLocked(const ThreadQueue& q)
{
    return S().uiThreadSet && S().uiThread == q.threadId;
}

}  // namespace

std::shared_ptr<ThreadQueue> CurrentQueue()
{
    if (!t_queue.queue) {
        auto q = std::make_shared<ThreadQueue>();
        q->threadId = GetCurrentThreadId();
        std::lock_guard<std::mutex> g(S().lock);
        S().queues[q->threadId] = q;
        t_queue.queue = q;
    }
    return t_queue.queue;
}

unsigned long StylusUpsTaken()
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    return q->stylusUpsTaken;
}

void WakeLocked(ThreadQueue& q)
{
    q.cv.notify_all();
}

void SetIdleHook(IdleHook hook)
{
    std::lock_guard<std::mutex> g(S().lock);
    g_idleHook = hook;
}

void KillWindowTimersLocked(HWND hwnd)
{
    auto& t = S().timers;
    t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd; }), t.end());
}

LRESULT CallProc(const std::shared_ptr<Window>& w, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> g(S().lock);
        if (w->dead) return 0;
        proc = w->proc;
    }
    return proc ? proc(w->handle, msg, wParam, lParam) : 0;
}

// Runs on any thread that waits: in GetMessageW, in a send to another thread.
static void WaitForWork(std::unique_lock<std::mutex>& lk, const std::shared_ptr<ThreadQueue>& q)
{
    DWORD budget = WaitBudgetLocked(q);
    if (IsUiThreadLocked(*q) && g_idleHook) {
        IdleHook hook = g_idleHook;
        lk.unlock();
        DWORD allowed = hook();
        lk.lock();
        budget = std::min(budget, allowed);
        if (!q->sent.empty() || !q->posted.empty() || q->quitPosted) return;
    }
    if (budget == 0) return;
    q->cv.wait_for(lk, std::chrono::milliseconds(budget));
}

}  // namespace qplat::user

using namespace qplat::user;

namespace qplat {

bool IsUserInterfaceThread()
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    return IsUiThreadLocked(*q);
}

int ProcessPendingMessages()
{
    int count = 0;
    MSG msg;
    for (int guard = 0; guard < 100000; ++guard) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) break;
        if (msg.message == WM_QUIT) break;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

}  // namespace qplat

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> all;
        {
            std::lock_guard<std::mutex> g(S().lock);
            all = S().topLevel;
        }
        for (HWND h : all) SendMessageW(h, msg, wParam, lParam);
        return 0;
    }
    auto me = CurrentQueue();
    std::unique_lock<std::mutex> lk(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) {
        lk.unlock();
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (w->queue == me) {
        lk.unlock();
        return CallProc(w, msg, wParam, lParam);
    }
    auto target = w->queue;
    if (!target->alive) return 0;
    auto m = std::make_shared<SentMessage>();
    m->hwnd = hwnd;
    m->msg = msg;
    m->wParam = wParam;
    m->lParam = lParam;
    m->sender = me;
    target->sent.push_back(m);
    WakeLocked(*target);
    // While waiting, messages sent to this thread are handled, so two threads
    // sending to each other do not lock up.
    while (!m->done) {
        if (!me->sent.empty()) {
            auto in = me->sent.front();
            me->sent.pop_front();
            auto tw = FindLocked(in->hwnd);
            lk.unlock();
            LRESULT r = 0;
            if (tw) {
                me->inSend++;
                r = CallProc(tw, in->msg, in->wParam, in->lParam);
                me->inSend--;
            }
            lk.lock();
            in->result = r;
            in->done = true;
            if (in->sender) WakeLocked(*in->sender);
            continue;
        }
        if (!target->alive) break;
        me->cv.wait_for(lk, std::chrono::milliseconds(50));
    }
    return m->done ? m->result : 0;
}

BOOL SendNotifyMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (w->queue == CurrentQueue()) {
        CallProc(w, msg, wParam, lParam);
        return TRUE;
    }
    return PostMessageW(hwnd, msg, wParam, lParam);
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), msg, wParam, lParam);
    std::lock_guard<std::mutex> g(S().lock);
    if (hwnd == HWND_BROADCAST) {
        for (HWND h : S().topLevel) {
            auto w = FindLocked(h);
            if (!w) continue;
            w->queue->posted.push_back(MSG{h, msg, wParam, lParam, GetTickCount(), w->queue->lastPos});
            WakeLocked(*w->queue);
        }
        return TRUE;
    }
    auto w = FindLocked(hwnd);
    if (!w || !w->queue->alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->queue->posted.push_back(MSG{hwnd, msg, wParam, lParam, GetTickCount(), w->queue->lastPos});
    WakeLocked(*w->queue);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (threadId == GetCurrentThreadId()) CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    auto it = S().queues.find(threadId);
    auto q = it == S().queues.end() ? nullptr : it->second.lock();
    if (!q || !q->alive) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    q->posted.push_back(MSG{nullptr, msg, wParam, lParam, GetTickCount(), q->lastPos});
    WakeLocked(*q);
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    q->quitPosted = true;
    q->quitCode = exitCode;
    WakeLocked(*q);
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg) return FALSE;
    auto q = CurrentQueue();
    std::unique_lock<std::mutex> lk(S().lock);
    for (;;) {
        Got got = TryGet(lk, q, msg, hwnd, filterMin, filterMax, true);
        if (got == Got::Quit) return FALSE;
        if (got == Got::Message) {
            q->lastTime = msg->time;
            return TRUE;
        }
        WaitForWork(lk, q);
    }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg) return FALSE;
    auto q = CurrentQueue();
    std::unique_lock<std::mutex> lk(S().lock);
    Got got = TryGet(lk, q, msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
    return got == Got::None ? FALSE : TRUE;
}

BOOL WaitMessage()
{
    auto q = CurrentQueue();
    std::unique_lock<std::mutex> lk(S().lock);
    MSG m;
    while (TryGet(lk, q, &m, nullptr, 0, 0, false) == Got::None) WaitForWork(lk, q);
    return TRUE;
}

BOOL InSendMessage()
{
    return CurrentQueue()->inSend > 0 ? TRUE : FALSE;
}

DWORD GetQueueStatus(UINT flags)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    DWORD status = 0;
    if (!q->posted.empty()) status |= QS_POSTMESSAGE;
    if (!q->sent.empty()) status |= QS_SENDMESSAGE;
    if (DirtyWindowLocked(*q, nullptr, S().topLevel)) status |= QS_PAINT;
    DWORD now = GetTickCount();
    for (auto& t : S().timers)
        if (t.queue == q && Due(now, t.due)) status |= QS_TIMER;
    status &= flags;
    return status | (status << 16);
}

DWORD GetMessagePos()
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(q->lastPos.x), static_cast<WORD>(q->lastPos.y)));
}

LONG GetMessageTime()
{
    return static_cast<LONG>(CurrentQueue()->lastTime);
}

UINT RegisterWindowMessageW(LPCWSTR name)
{
    static std::vector<std::u16string>* names = new std::vector<std::u16string>;
    if (!name || !name[0]) return 0;
    std::lock_guard<std::mutex> g(S().lock);
    std::u16string folded = Fold(name);
    for (size_t i = 0; i < names->size(); ++i)
        if ((*names)[i] == folded) return static_cast<UINT>(0xC100 + i);
    names->push_back(folded);
    return static_cast<UINT>(0xC100 + names->size() - 1);
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg) return FALSE;
    return (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd) return 0;
    auto w = Find(msg->hwnd);
    if (!w) return 0;
    unsigned paints = 0;
    if (msg->message == WM_PAINT) {
        std::lock_guard<std::mutex> g(S().lock);
        paints = w->beginPaints;
    }
    LRESULT r = CallProc(w, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        // A procedure that answers WM_PAINT without BeginPaint would be asked
        // again at once, for ever; its window counts as painted.
        std::lock_guard<std::mutex> g(S().lock);
        if (w->beginPaints == paints) {
            w->dirty = false;
            w->erase = false;
        }
    }
    return r;
}

// ---------------------------------------------------------------- timers

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    std::shared_ptr<ThreadQueue> q;
    if (!hwnd) q = CurrentQueue();
    std::lock_guard<std::mutex> g(S().lock);
    auto& s = S();
    if (hwnd) {
        auto w = FindLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        q = w->queue;
    }
    if (elapse == 0) elapse = 1;
    DWORD due = GetTickCount() + elapse;
    if (hwnd) {
        for (auto& t : s.timers)
            if (t.hwnd == hwnd && t.id == id) {
                t.elapse = elapse;
                t.proc = proc;
                t.due = due;
                WakeLocked(*q);
                return id ? id : 1;
            }
    } else {
        for (auto& t : s.timers)
            if (!t.hwnd && t.id == id && t.queue == q) {
                t.elapse = elapse;
                t.proc = proc;
                t.due = due;
                return id;
            }
        id = s.nextTimerId++;
    }
    s.timers.push_back(Timer{hwnd, id, elapse, proc, due, q});
    WakeLocked(*q);
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> g(S().lock);
    auto& t = S().timers;
    auto it = std::find_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd && x.id == id; });
    if (it == t.end()) return FALSE;
    t.erase(it);
    return TRUE;
}

// ---------------------------------------------------------------- default procedure

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCCREATE: {
        auto cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) && cs->lpszName[0] != 0xFFFF) {
            std::lock_guard<std::mutex> g(S().lock);
            if (auto w = FindLocked(hwnd)) w->text = cs->lpszName;
        }
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETTEXT: {
        bool caption = false;
        {
            std::lock_guard<std::mutex> g(S().lock);
            auto w = FindLocked(hwnd);
            if (!w) return FALSE;
            auto text = reinterpret_cast<LPCWSTR>(lParam);
            w->text = text ? std::u16string(text) : std::u16string();
            caption = (w->style & WS_CAPTION) == WS_CAPTION;
        }
        if (caption) DrawFrame(hwnd);
        return TRUE;
    }
    case WM_GETTEXT: {
        auto buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0) return 0;
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) {
            buffer[0] = 0;
            return 0;
        }
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(buffer, w->text.data(), n * sizeof(WCHAR));
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_SETFONT: {
        {
            std::lock_guard<std::mutex> g(S().lock);
            if (auto w = FindLocked(hwnd)) w->font = reinterpret_cast<HFONT>(wParam);
        }
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_GETFONT: {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = nullptr;
        {
            std::lock_guard<std::mutex> g(S().lock);
            auto w = FindLocked(hwnd);
            if (!w) return 0;
            brush = w->cls->wc.hbrBackground;
        }
        if (!brush) return 0;
        uintptr_t v = reinterpret_cast<uintptr_t>(brush);
        if (v > 0 && v <= 31) brush = GetSysColorBrush(static_cast<int>(v - 1));  // COLOR_x + 1
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_NCHITTEST: return HTCLIENT;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == 0xF060) SendMessageW(hwnd, WM_CLOSE, 0, 0);  // SC_CLOSE
        return 0;
    default: return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}
