// The window tree: creation and destruction messages, relations, geometry,
// show and enable states, window longs and texts.

#include "tests/platform_ui/WindowTestSupport.h"

using namespace qtest;

namespace {

class WindowTree : public qtest::WindowTest {};

TEST_F(WindowTree, CreationSendsNcCreateCreateSizeMoveInOrderAndPassesTheParameter)
{
    int marker = 7;
    void* seen = nullptr;
    qtest::TestHandler() = [&](HWND, UINT m, WPARAM, LPARAM l, LRESULT&) {
        if (m == WM_CREATE) seen = reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams;
        return false;
    };
    HWND h = Keep(CreateWindowExW(0, qtest::RecorderClass(), u"title", WS_POPUP, 10, 20, 100, 50, nullptr, nullptr,
                                  nullptr, &marker));
    ASSERT_TRUE(h);
    EXPECT_EQ(seen, &marker);
    EXPECT_EQ(Log().For(h, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    WCHAR text[16];
    EXPECT_EQ(GetWindowTextW(h, text, 16), 5);
    EXPECT_EQ(std::u16string(text), u"title");
}

TEST_F(WindowTree, CreateRefusedByTheProcedureGivesNoWindow)
{
    qtest::TestHandler() = [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m != WM_CREATE) return false;
        r = -1;
        return true;
    };
    HWND h = CreateWindowExW(0, qtest::RecorderClass(), u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(h, nullptr);
    // The half-made window was destroyed with its messages.
    bool sawDestroy = false;
    for (auto& e : Log().All()) sawDestroy |= e.msg == WM_NCDESTROY;
    EXPECT_TRUE(sawDestroy);
}

TEST_F(WindowTree, UnknownClassAndMissingParentFail)
{
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777770));
    EXPECT_EQ(MakeChild(bogus, 1, 0, 0, 5, 5), nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = qtest::RecordingProc;
    wc.lpszClassName = qtest::RecorderClass();
    EXPECT_EQ(RegisterClassW(&wc), 0) << "a class name is registered once";
    wc.lpszClassName = nullptr;
    EXPECT_EQ(RegisterClassW(&wc), 0);
}

TEST_F(WindowTree, RelationsAndDialogItems)
{
    HWND top = Keep(MakeTop(0, 0, 200, 100));
    HWND a = MakeChild(top, 11, 0, 0, 10, 10);
    HWND b = MakeChild(top, 12, 20, 0, 10, 10);
    HWND grand = MakeChild(a, 13, 1, 1, 5, 5);
    HWND popup = Keep(MakeTop(10, 10, 20, 20, WS_POPUP | WS_VISIBLE, a));
    EXPECT_EQ(GetParent(a), top);
    EXPECT_EQ(GetParent(grand), a);
    EXPECT_EQ(GetParent(top), nullptr);
    EXPECT_EQ(GetParent(popup), top) << "a pop-up's parent is its owner, the top-level window";
    EXPECT_EQ(GetWindow(popup, GW_OWNER), top);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a) << "the first child made is first in the order";
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(GetWindow(b, GW_HWNDPREV), a);
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), nullptr);
    EXPECT_TRUE(IsChild(top, grand));
    EXPECT_FALSE(IsChild(a, b));
    EXPECT_FALSE(IsChild(top, popup));
    EXPECT_EQ(GetDlgItem(top, 12), b);
    EXPECT_EQ(GetDlgItem(top, 13), nullptr) << "items are direct children only";
    EXPECT_EQ(GetDlgCtrlID(grand), 13);
}

TEST_F(WindowTree, DestroyNotifiesParentFirstAndFinishesChildrenFirst)
{
    HWND top = MakeTop(0, 0, 100, 100);
    HWND child = MakeChild(top, 1, 0, 0, 10, 10);
    HWND grand = MakeChild(child, 2, 0, 0, 5, 5);
    HWND owned = MakeTop(0, 0, 10, 10, WS_POPUP, top);
    Log().Clear();
    ASSERT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> order;
    for (auto& e : Log().All())
        if (e.msg == WM_DESTROY || e.msg == WM_NCDESTROY) order.emplace_back(e.hwnd, e.msg);
    std::vector<std::pair<HWND, UINT>> expected{{owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {top, WM_DESTROY},
                                                {child, WM_DESTROY}, {grand, WM_DESTROY}, {grand, WM_NCDESTROY},
                                                {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(grand));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(SendMessageW(top, WM_USER, 0, 0), 0);
}

TEST_F(WindowTree, GeometryOfBorderedAndCaptionedWindows)
{
    HWND top = Keep(MakeTop(30, 40, 200, 100, WS_POPUP | WS_BORDER | WS_VISIBLE));
    RECT r;
    ASSERT_TRUE(GetClientRect(top, &r));
    EXPECT_EQ(r.right, 198);
    EXPECT_EQ(r.bottom, 98);
    HWND child = MakeChild(top, 5, 10, 20, 50, 30);
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(r.left, 30 + 1 + 10);
    EXPECT_EQ(r.top, 40 + 1 + 20);
    EXPECT_EQ(r.right - r.left, 50);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ((std::vector<LONG>{p.x, p.y}), (std::vector<LONG>{41, 61}));
    ScreenToClient(top, &p);
    EXPECT_EQ((std::vector<LONG>{p.x, p.y}), (std::vector<LONG>{10, 20}));
    POINT pts[2] = {{0, 0}, {5, 5}};
    MapWindowPoints(child, top, pts, 2);
    EXPECT_EQ((std::vector<LONG>{pts[1].x, pts[1].y}), (std::vector<LONG>{15, 25}));

    HWND captioned = Keep(MakeTop(0, 0, 100, 100, WS_POPUP | WS_CAPTION));
    GetClientRect(captioned, &r);
    EXPECT_EQ(r.bottom, 100 - 2 - GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 480);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 272);
}

TEST_F(WindowTree, DefaultPositionCoversTheScreen)
{
    HWND h = Keep(MakeTop(CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, WS_VISIBLE));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(qtest::EdgesOf(r), (qtest::Edges{0, 0, 480, 272}));
}

TEST_F(WindowTree, ShowEnableAndMoveSendTheirMessages)
{
    HWND top = Keep(MakeTop(0, 0, 100, 100, WS_POPUP));
    EXPECT_FALSE(IsWindowVisible(top));
    EXPECT_FALSE(ShowWindow(top, SW_SHOW)) << "answers the previous visibility";
    EXPECT_TRUE(IsWindowVisible(top));
    HWND child = MakeChild(top, 1, 0, 0, 10, 10, WS_CHILD);
    EXPECT_FALSE(IsWindowVisible(child));
    ShowWindow(child, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(child));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(child)) << "hidden with its parent";
    ShowWindow(top, SW_SHOW);

    Log().Clear();
    EXPECT_FALSE(EnableWindow(child, FALSE)) << "was enabled";
    EXPECT_FALSE(IsWindowEnabled(child));
    EXPECT_TRUE(EnableWindow(child, FALSE)) << "was disabled";
    EXPECT_EQ(Log().Count(child, WM_ENABLE), 1) << "no message when nothing changes";
    EnableWindow(child, TRUE);
    EXPECT_TRUE(IsWindowEnabled(child));

    Log().Clear();
    ASSERT_TRUE(MoveWindow(child, 5, 6, 30, 40, TRUE));
    auto msgs = Log().For(child, {WM_SIZE, WM_MOVE});
    EXPECT_EQ(msgs, (std::vector<UINT>{WM_SIZE, WM_MOVE}));
    for (auto& e : Log().All())
        if (e.hwnd == child && e.msg == WM_SIZE) {
            EXPECT_EQ(LOWORD(e.lParam), 30);
            EXPECT_EQ(HIWORD(e.lParam), 40);
        }
    Log().Clear();
    SetWindowPos(child, nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(Log().For(child, {WM_SIZE, WM_MOVE}), (std::vector<UINT>{WM_MOVE}));
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 30);
}

TEST_F(WindowTree, ZOrderOfSiblingsFollowsSetWindowPos)
{
    HWND top = Keep(MakeTop(0, 0, 100, 100));
    HWND a = MakeChild(top, 1, 0, 0, 10, 10);
    HWND b = MakeChild(top, 2, 0, 0, 10, 10);
    HWND c = MakeChild(top, 3, 0, 0, 10, 10);
    SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(top, GW_CHILD), c);
    SetWindowPos(c, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(a, GW_HWNDLAST), c);
    SetWindowPos(a, b, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
}

TEST_F(WindowTree, WindowLongsHoldPointersAndRejectBadIndexes)
{
    HWND top = Keep(MakeTop(0, 0, 10, 10, WS_POPUP));
    int object = 0;
    LONG_PTR ptr = reinterpret_cast<LONG_PTR>(&object);
    EXPECT_EQ(SetWindowLongW(top, GWL_USERDATA, ptr), 0);
    EXPECT_EQ(GetWindowLongW(top, GWL_USERDATA), ptr) << "a pointer survives on a 64-bit host";
    EXPECT_EQ(GetWindowLongW(top, GWL_STYLE) & WS_POPUP, WS_POPUP);
    SetWindowLongW(top, 8, ptr);
    EXPECT_EQ(GetWindowLongW(top, 8), ptr);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongW(top, 16), 0) << "past the 16 extra bytes";
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(SetWindowLongW(top, -100, 1), 0);
    HWND child = MakeChild(top, 42, 0, 0, 1, 1);
    EXPECT_EQ(GetWindowLongW(child, GWL_ID), 42);
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongW(top, GWL_WNDPROC));
    EXPECT_EQ(old, qtest::RecordingProc);
}

LRESULT CALLBACK Subclass(HWND h, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_USER + 5) return 99;
    return qtest::RecordingProc(h, m, w, l);
}

TEST_F(WindowTree, SubclassingThroughTheWindowProcedure)
{
    HWND top = Keep(MakeTop(0, 0, 10, 10, WS_POPUP));
    SetWindowLongW(top, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass));
    EXPECT_EQ(SendMessageW(top, WM_USER + 5, 0, 0), 99);
}

TEST_F(WindowTree, WindowTextRoundTripsAndIsCutToTheBuffer)
{
    HWND top = Keep(MakeTop(0, 0, 10, 10, WS_POPUP));
    ASSERT_TRUE(SetWindowTextW(top, u"Привет, world"));
    EXPECT_EQ(GetWindowTextLengthW(top), 13);
    WCHAR small[6];
    EXPECT_EQ(GetWindowTextW(top, small, 6), 5);
    EXPECT_EQ(std::u16string(small), u"Приве");
    EXPECT_EQ(GetWindowTextW(top, small, 0), 0);
    EXPECT_EQ(Log().Count(top, WM_SETTEXT), 1);
}

TEST_F(WindowTree, FocusMovesWithItsMessages)
{
    HWND top = Keep(MakeTop(0, 0, 100, 100));
    HWND a = MakeChild(top, 1, 0, 0, 10, 10);
    HWND b = MakeChild(top, 2, 20, 0, 10, 10);
    SetFocus(a);
    Log().Clear();
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(GetFocus(), b);
    auto all = Log().All();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0].hwnd, a);
    EXPECT_EQ(all[0].msg, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(all[1].hwnd, b);
    EXPECT_EQ(all[1].msg, static_cast<UINT>(WM_SETFOCUS));
    EnableWindow(b, FALSE);
    EXPECT_EQ(GetFocus(), nullptr) << "a disabled window loses the focus";
    EXPECT_EQ(SetFocus(b), nullptr) << "and cannot take it";
    DestroyWindow(a);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowTree, FindWindowMatchesClassAndTitleWithoutRegardToCase)
{
    HWND top = Keep(CreateWindowExW(0, qtest::RecorderClass(), u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                    nullptr));
    EXPECT_EQ(FindWindowW(u"qavtestrecorder", u""), top) << "an empty title finds the untitled window";
    SetWindowTextW(top, u"Main");
    EXPECT_EQ(FindWindowW(u"QAVTESTRECORDER", u"main"), top);
    EXPECT_EQ(FindWindowW(u"QavTestRecorder", u"other"), nullptr);
    EXPECT_EQ(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(top) | 1)), TRUE)
        << "the lowest bit asks for the owned windows too";
    EXPECT_EQ(GetForegroundWindow(), top);
}

}  // namespace
