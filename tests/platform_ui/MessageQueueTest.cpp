// Message queues: retrieval order, posting and sending across threads,
// timers on the manual clock, invalidation and painting.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/platform_ui/WindowTestSupport.h"
#include "tests/support/TempDeviceRoot.h"

using namespace qtest;

namespace {

class MessageQueue : public qtest::WindowTest {};

TEST_F(MessageQueue, PostedMessagesComeInOrderThenQuitThenPaint)
{
    HWND h = Keep(MakeTop(0, 0, 50, 50));
    qplat::ProcessPendingMessages();
    InvalidateRect(h, nullptr, FALSE);
    PostMessageW(h, WM_USER + 1, 1, 0);
    PostMessageW(h, WM_USER + 2, 2, 0);
    PostQuitMessage(3);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&m);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) << "the window was painted";
}

TEST_F(MessageQueue, PeekWithoutRemoveLeavesTheMessageAndFiltersApply)
{
    HWND a = Keep(MakeTop(0, 0, 10, 10, WS_POPUP));
    HWND b = Keep(MakeTop(0, 0, 10, 10, WS_POPUP));
    PostMessageW(a, WM_USER, 0, 0);
    PostMessageW(b, WM_USER + 1, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, b);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a);
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5550)), WM_USER, 0, 0));
}

TEST_F(MessageQueue, SendToAWindowOfAnotherThreadRunsThereAndWaits)
{
    std::atomic<HWND> remote{nullptr};
    std::atomic<bool> stop{false};
    std::atomic<DWORD> workerId{0};
    std::thread worker([&] {
        workerId = GetCurrentThreadId();
        remote = MakeTop(0, 0, 10, 10, WS_POPUP);
        MSG m;
        while (!stop) {
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
            Sleep(1);
        }
        DestroyWindow(remote);
    });
    while (!remote) std::this_thread::yield();
    HWND mine = Keep(MakeTop(0, 0, 10, 10, WS_POPUP));
    // The worker answers WM_USER by sending back to this thread while this
    // thread is itself waiting in its send.
    qtest::TestHandler() = [&](HWND h, UINT msg, WPARAM w, LPARAM, LRESULT& r) {
        if (h == remote && msg == WM_USER) {
            r = SendMessageW(mine, WM_USER + 1, w, 0) + 1;
            return true;
        }
        if (h == mine && msg == WM_USER + 1) {
            r = static_cast<LRESULT>(w) * 10;
            return true;
        }
        return false;
    };
    EXPECT_EQ(SendMessageW(remote, WM_USER, 4, 0), 41);
    DWORD handledOn = 0, nestedOn = 0;
    for (auto& e : Log().All()) {
        if (e.hwnd == remote && e.msg == WM_USER) handledOn = e.thread;
        if (e.hwnd == mine && e.msg == WM_USER + 1) nestedOn = e.thread;
    }
    EXPECT_EQ(handledOn, workerId.load());
    EXPECT_EQ(nestedOn, GetCurrentThreadId());
    stop = true;
    worker.join();
}

TEST_F(MessageQueue, SendToAThreadThatEndsIsAnsweredZero)
{
    std::atomic<HWND> remote{nullptr};
    std::atomic<bool> go{false};
    std::thread worker([&] {
        remote = MakeTop(0, 0, 10, 10, WS_POPUP);
        while (!go) Sleep(1);
        Sleep(20);  // ends without ever reading its queue
    });
    while (!remote) std::this_thread::yield();
    go = true;
    EXPECT_EQ(SendMessageW(remote, WM_USER, 0, 0), 0);
    worker.join();
    EXPECT_FALSE(IsWindow(remote)) << "the window went with its thread";
}

TEST_F(MessageQueue, PostingAndInvalidationFromAnotherThreadWakeTheOwner)
{
    HWND h = Keep(MakeTop(0, 0, 20, 20));
    qplat::ProcessPendingMessages();
    std::thread poster([h] {
        Sleep(10);
        InvalidateRect(h, nullptr, FALSE);
        PostMessageW(h, WM_USER + 7, 0, 0);
    });
    MSG m;
    bool painted = false, posted = false;
    while (!(painted && posted) && GetMessageW(&m, nullptr, 0, 0)) {
        painted |= m.message == WM_PAINT;
        posted |= m.message == WM_USER + 7;
        DispatchMessageW(&m);
    }
    poster.join();
    EXPECT_TRUE(posted);
    EXPECT_TRUE(painted);
}

TEST_F(MessageQueue, ThreadMessagesReachTheirThread)
{
    DWORD me = GetCurrentThreadId();
    std::thread t([me] { PostThreadMessageW(me, WM_APP + 3, 5, 6); });
    t.join();
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 3));
    EXPECT_EQ(m.lParam, 6);
    EXPECT_FALSE(PostThreadMessageW(0xFFFFFFF0u, WM_APP, 0, 0));
}

class TimerTest : public MessageQueue {
protected:
    qtest::ManualClock clock;
};

TEST_F(TimerTest, TimersFireOnTheManualClockOnceADueTime)
{
    HWND h = Keep(MakeTop(0, 0, 10, 10, WS_POPUP));
    qplat::ProcessPendingMessages();
    ASSERT_EQ(SetTimer(h, 3001, 1000, nullptr), 3001u);
    SetTimer(h, 6, 100, nullptr);
    Log().Clear();
    clock.Advance(99);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(h, WM_TIMER), 0);
    clock.Advance(1);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(h, WM_TIMER), 1);
    // Late timers do not pile up: one WM_TIMER however long the delay.
    clock.Advance(950);
    qplat::ProcessPendingMessages();
    int sixes = 0, long_ = 0;
    for (auto& e : Log().All())
        if (e.msg == WM_TIMER) (e.wParam == 6 ? sixes : long_)++;
    EXPECT_EQ(sixes, 2);
    EXPECT_EQ(long_, 1);
    EXPECT_TRUE(KillTimer(h, 6));
    EXPECT_FALSE(KillTimer(h, 6));
    clock.Advance(5000);
    Log().Clear();
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(h, WM_TIMER), 1) << "only the remaining timer";
}

TEST_F(TimerTest, ResettingATimerRestartsItAndDestroyKillsIt)
{
    HWND h = MakeTop(0, 0, 10, 10, WS_POPUP);
    SetTimer(h, 1, 100, nullptr);
    clock.Advance(80);
    SetTimer(h, 1, 100, nullptr);
    clock.Advance(80);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(h, WM_TIMER), 0);
    DestroyWindow(h);
    clock.Advance(500);
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

std::atomic<int> g_procTicks{0};
void CALLBACK CountTicks(HWND, UINT, UINT_PTR, DWORD)
{
    g_procTicks++;
}

TEST_F(TimerTest, ATimerWithAProcedureCallsItAndGetMessageWaitsForIt)
{
    g_procTicks = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 50, CountTicks);
    ASSERT_NE(id, 0u);
    std::thread advancer([this] {
        Sleep(20);
        clock.Advance(60);
    });
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0)) << "woken by the timer, not by a message";
    DispatchMessageW(&m);
    advancer.join();
    EXPECT_EQ(g_procTicks.load(), 1);
    KillTimer(nullptr, id);
}

TEST_F(MessageQueue, PaintErasesWhenAskedAndClipsToTheUpdateArea)
{
    HWND h = Keep(MakeTop(0, 0, 100, 100));
    qplat::ProcessPendingMessages();
    RECT seen{};
    BOOL erasePending = TRUE;
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (w != h || m != WM_PAINT) return false;
        PAINTSTRUCT ps;
        BeginPaint(w, &ps);
        seen = ps.rcPaint;
        erasePending = ps.fErase;
        EndPaint(w, &ps);
        r = 0;
        return true;
    };
    RECT a{10, 10, 20, 20}, b{30, 5, 40, 15};
    InvalidateRect(h, &a, FALSE);
    InvalidateRect(h, &b, TRUE);
    Log().Clear();
    UpdateWindow(h);
    EXPECT_EQ(qtest::EdgesOf(seen), (qtest::Edges{10, 5, 40, 20}));
    EXPECT_EQ(Log().Count(h, WM_ERASEBKGND), 1);
    EXPECT_FALSE(erasePending) << "the class brush erased it";
    RECT outside{200, 200, 300, 300};
    InvalidateRect(h, &outside, FALSE);
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, h, WM_PAINT, WM_PAINT, PM_NOREMOVE)) << "nothing of the window to paint";
}

TEST_F(MessageQueue, AProcedureThatNeverValidatesIsNotAskedForEver)
{
    HWND h = Keep(MakeTop(0, 0, 10, 10));
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM, LPARAM, LRESULT& r) {
        r = 0;
        return w == h && m == WM_PAINT;  // answers without BeginPaint
    };
    InvalidateRect(h, nullptr, TRUE);
    int n = qplat::ProcessPendingMessages();
    EXPECT_LT(n, 5);
    EXPECT_EQ(Log().Count(h, WM_PAINT), 1);
}

TEST_F(MessageQueue, ParentsArePaintedBeforeChildren)
{
    HWND top = Keep(MakeTop(0, 0, 100, 100));
    HWND child = MakeChild(top, 1, 0, 0, 10, 10);
    qplat::ProcessPendingMessages();
    InvalidateRect(child, nullptr, FALSE);
    InvalidateRect(top, nullptr, FALSE);
    Log().Clear();
    qplat::ProcessPendingMessages();
    std::vector<HWND> order;
    for (auto& e : Log().All())
        if (e.msg == WM_PAINT) order.push_back(e.hwnd);
    EXPECT_EQ(order, (std::vector<HWND>{top, child}));
}

}  // namespace

// A screen closing over another leaves what it covered to be painted again
// by the windows behind it, children included; windows beside it or in
// front of it are left alone.
TEST_F(MessageQueue, WindowsUncoveredByAHiddenOrDestroyedWindowPaintAgain)
{
    HWND back = Keep(MakeTop(0, 0, 480, 272));
    HWND under = MakeChild(back, 1, 100, 100, 40, 40);
    HWND aside = MakeChild(back, 2, 400, 10, 40, 40);
    const RECT covered{50, 60, 250, 180};
    struct Way {
        const char* name;
        std::function<void(HWND)> remove;
    };
    const Way ways[] = {
        {"destroyed", [](HWND f) { DestroyWindow(f); }},
        {"hidden", [](HWND f) { ShowWindow(f, SW_HIDE); }},
        {"hidden by its position",
         [](HWND f) { SetWindowPos(f, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER); }},
        {"a modal dialog ended", [](HWND) {}},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const bool modal = std::string(way.name) == "a modal dialog ended";
        HWND front = modal ? nullptr : Keep(MakeTop(covered.left, covered.top, 200, 120));
        HWND above = modal ? nullptr : Keep(MakeTop(60, 70, 20, 20));
        qplat::ProcessPendingMessages();
        Log().Clear();
        RECT backArea{}, underArea{}, unused{};
        bool asideDirty = true, aboveDirty = true;
        auto look = [&] {
            GetUpdateRect(back, &backArea, FALSE);
            GetUpdateRect(under, &underArea, FALSE);
            asideDirty = GetUpdateRect(aside, &unused, FALSE) != FALSE;
            aboveDirty = GetUpdateRect(above, &unused, FALSE) != FALSE;
        };
        if (modal) {
            // A dialog of the covered size over `back`, ended from inside.
            qtest::TemplateBuilder t(WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
            qtest::TestHandler() = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
                if (h != back || m != WM_USER) return false;
                HWND dlg = GetActiveWindow();
                SetWindowPos(dlg, nullptr, covered.left, covered.top, 200, 120, SWP_NOZORDER);
                above = Keep(MakeTop(60, 70, 20, 20));
                qplat::ProcessPendingMessages();
                Log().Clear();
                EndDialog(dlg, 1);
                look();
                return true;
            };
            PostMessageW(back, WM_USER, 0, 0);
            DialogBoxIndirectParamW(nullptr, t.Get(), back, [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR {
                return m == WM_INITDIALOG;
            }, 0);
            qtest::TestHandler() = nullptr;
        } else {
            way.remove(front);
            look();
        }
        EXPECT_EQ(qtest::EdgesOf(backArea), qtest::EdgesOf(covered));
        EXPECT_EQ(underArea.right - underArea.left, 40) << "the child behind it, whole";
        EXPECT_FALSE(asideDirty) << "a child beside it";
        EXPECT_FALSE(aboveDirty) << "a window in front of it";
        qplat::ProcessPendingMessages();
        EXPECT_GE(Log().Count(back, WM_PAINT), 1);
        EXPECT_EQ(Log().Count(under, WM_PAINT), 1);
        EXPECT_EQ(Log().Count(aside, WM_PAINT), 0);
        DestroyWindow(above);
        if (front) DestroyWindow(front);
        qplat::ProcessPendingMessages();
    }
    // A child hidden uncovers its part of the parent only.
    Log().Clear();
    ShowWindow(under, SW_HIDE);
    RECT area{};
    ASSERT_TRUE(GetUpdateRect(back, &area, FALSE));
    EXPECT_EQ(qtest::EdgesOf(area), (qtest::Edges{100, 100, 140, 140}));
    EXPECT_FALSE(GetUpdateRect(aside, &area, FALSE));
}
