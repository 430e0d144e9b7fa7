// Modal dialogs from templates: controls in dialog units, WM_INITDIALOG and
// the default focus, the owner disabled while the dialog runs, the dialog
// manager's defaults, dialogs on a worker thread, and failures that must not
// read as a confirmation.

#include <atomic>
#include <thread>

#include "tests/platform_ui/WindowTestSupport.h"

using qtest::MakeTop;

namespace {

struct DlgEvent {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};

std::mutex g_dlgLock;
std::vector<DlgEvent> g_dlgEvents;
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> g_dlgBehaviour;

INT_PTR CALLBACK TestDlgProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    {
        std::lock_guard<std::mutex> g(g_dlgLock);
        g_dlgEvents.push_back(DlgEvent{m, w, l, GetCurrentThreadId()});
    }
    return g_dlgBehaviour ? g_dlgBehaviour(h, m, w, l) : FALSE;
}

std::vector<DlgEvent> Events()
{
    std::lock_guard<std::mutex> g(g_dlgLock);
    return g_dlgEvents;
}

bool Saw(UINT msg)
{
    for (auto& e : Events())
        if (e.msg == msg) return true;
    return false;
}

qtest::TemplateBuilder MessageTemplate()
{
    qtest::TemplateBuilder t(WS_POPUP | WS_BORDER, 10, 10, 150, 63, u"Calibri", 11);
    t.Item(0x82, u"Hello", WS_CHILD | WS_VISIBLE | SS_CENTER, 32, 3, 109, 33, 345);
    t.Item(0x80, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 10, 40, 40, 15, 343);
    return t;
}

class Dialog : public qtest::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        std::lock_guard<std::mutex> g(g_dlgLock);
        g_dlgEvents.clear();
        g_dlgBehaviour = nullptr;
    }
    void TearDown() override
    {
        g_dlgBehaviour = nullptr;
        WindowTest::TearDown();
    }
};

TEST_F(Dialog, ModalDialogBuildsItsControlsFocusesAndDisablesItsOwner)
{
    HWND owner = Keep(MakeTop(0, 0, 480, 272));
    auto tmpl = MessageTemplate();
    HWND dialogSeen = nullptr, focusOffered = nullptr, text = nullptr;
    BOOL ownerEnabledInside = TRUE;
    RECT textRect{}, mapped{32, 3, 109, 33};  // x, y, width, height
    g_dlgBehaviour = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            dialogSeen = h;
            focusOffered = reinterpret_cast<HWND>(w);
            EXPECT_EQ(l, 1234);
            PostMessageW(h, WM_USER, 0, 0);
            return TRUE;
        }
        if (m == WM_USER) {
            ownerEnabledInside = IsWindowEnabled(owner);
            text = GetDlgItem(h, 345);
            GetWindowRect(text, &textRect);
            MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&textRect), 2);
            MapDialogRect(h, &mapped);
            EXPECT_EQ(GetFocus(), GetDlgItem(h, 343));
            EndDialog(h, 5);
            return TRUE;
        }
        return FALSE;
    };
    INT_PTR r = DialogBoxIndirectParamW(nullptr, tmpl.Get(), owner, TestDlgProc, 1234);
    EXPECT_EQ(r, 5);
    ASSERT_TRUE(dialogSeen);
    EXPECT_FALSE(IsWindow(dialogSeen)) << "destroyed when it ends";
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner is enabled again";
    EXPECT_TRUE(focusOffered);
    EXPECT_TRUE(text);
    // The mapped rectangle holds x, y, width and height.
    const qtest::Edges placed{textRect.left, textRect.top, textRect.right - textRect.left,
                              textRect.bottom - textRect.top};
    EXPECT_EQ(placed, qtest::EdgesOf(mapped));
    // Calibri 11 makes a dialog unit about two pixels.
    EXPECT_GT(mapped.right, 109 * 3 / 2);
    EXPECT_LT(mapped.right, 109 * 5 / 2);
    // WM_SETFONT reaches the dialog's procedure only through its controls; the
    // dialog itself sees WM_INITDIALOG before the posted message.
    auto ev = Events();
    size_t init = 0, user = 0;
    for (size_t i = 0; i < ev.size(); ++i) {
        if (ev[i].msg == WM_INITDIALOG) init = i + 1;
        if (ev[i].msg == WM_USER) user = i + 1;
    }
    EXPECT_NE(init, 0u) << "WM_INITDIALOG";
    EXPECT_LT(init, user) << "the posted message after WM_INITDIALOG";
}

TEST_F(Dialog, ADialogThatCannotStartAnswersZeroAndLeavesTheOwnerEnabled)
{
    HWND owner = Keep(MakeTop(0, 0, 100, 100));
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, nullptr, owner, TestDlgProc, 0), 0);
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(64999), owner, TestDlgProc, 0), 0);
    // A template whose item count runs past its data.
    uint32_t broken[8] = {};
    DWORD style = WS_POPUP;
    std::memcpy(broken, &style, 4);
    WORD count = 900;
    std::memcpy(reinterpret_cast<uint8_t*>(broken) + 8, &count, 2);
    std::vector<uint32_t> big(20000, 0xFFFFFFFFu);
    std::memcpy(big.data(), broken, sizeof broken);
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, reinterpret_cast<DLGTEMPLATE*>(big.data()), owner, TestDlgProc, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(Dialog, EndDialogInsideInitDialogEndsAtOnce)
{
    auto tmpl = MessageTemplate();
    g_dlgBehaviour = [](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) EndDialog(h, 0x10);
        return m == WM_INITDIALOG;
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, tmpl.Get(), nullptr, TestDlgProc, 0), 0x10);
}

TEST_F(Dialog, MessageResultAndColourBrushFollowTheDialogManagerRules)
{
    auto tmpl = MessageTemplate();
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    LRESULT notifyAnswer = 0, unhandled = -1;
    COLORREF inside = 0;
    g_dlgBehaviour = [&](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        switch (m) {
        case WM_INITDIALOG: PostMessageW(h, WM_USER, 0, 0); return TRUE;
        case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(red);
        case WM_NOTIFY: SetWindowLongW(h, DWL_MSGRESULT, 77); return TRUE;
        case WM_USER: {
            NMHDR hdr{h, 1, 0};
            notifyAnswer = SendMessageW(h, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&hdr));
            unhandled = SendMessageW(h, WM_USER + 9, 0, 0);
            InvalidateRect(h, nullptr, TRUE);
            UpdateWindow(h);
            RECT r;
            GetWindowRect(h, &r);
            inside = qplat::ScreenPixel(r.left + 3, r.bottom - 3);
            EndDialog(h, 1);
            return TRUE;
        }
        default: return FALSE;
        }
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, tmpl.Get(), nullptr, TestDlgProc, 0), 1);
    EXPECT_EQ(notifyAnswer, 77);
    EXPECT_EQ(unhandled, 0);
    EXPECT_EQ(inside, RGB(255, 0, 0)) << "the background is the WM_CTLCOLORDLG brush";
    DeleteObject(red);
}

TEST_F(Dialog, CloseWithoutAHandlerBecomesCancel)
{
    auto tmpl = MessageTemplate();
    g_dlgBehaviour = [](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) PostMessageW(h, WM_CLOSE, 0, 0);
        if (m == WM_COMMAND && LOWORD(w) == IDCANCEL) EndDialog(h, 22);
        return m == WM_INITDIALOG || m == WM_COMMAND;
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, tmpl.Get(), nullptr, TestDlgProc, 0), 22);
}

TEST_F(Dialog, QuitWhileADialogRunsEndsItAndReachesTheOuterLoop)
{
    auto tmpl = MessageTemplate();
    g_dlgBehaviour = [](HWND, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) PostQuitMessage(9);
        return m == WM_INITDIALOG;
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, tmpl.Get(), nullptr, TestDlgProc, 0), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 9u);
}

TEST_F(Dialog, ClosingTheMainWindowEndsTheModalDialogsOverItCleanly)
{
    // The program's orderly close destroys its main window (here through
    // DefWindowProc's WM_CLOSE), whatever dialog is open over it.
    HWND main = Keep(MakeTop(0, 0, 480, 272));
    ASSERT_EQ(qplat::ProgramMainWindow(), main);
    auto tmpl = MessageTemplate();
    HWND outer = nullptr, inner = nullptr;
    INT_PTR innerResult = -1;
    bool outerGoneWhenInnerReturned = false;
    g_dlgBehaviour = [&](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG && !outer) {
            outer = h;
            PostMessageW(h, WM_APP, 0, 0);  // the second dialog opens from the first one's loop
            return TRUE;
        }
        if (m == WM_APP && h == outer) {
            innerResult = DialogBoxIndirectParamW(nullptr, tmpl.Get(), outer, TestDlgProc, 0);
            outerGoneWhenInnerReturned = !IsWindow(outer);
            return TRUE;
        }
        if (m == WM_INITDIALOG) {
            inner = h;
            qplat::RequestClose();  // what the window's close button and SIGTERM do
            return TRUE;
        }
        return FALSE;
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, tmpl.Get(), main, TestDlgProc, 0), 0);
    EXPECT_EQ(innerResult, 0);
    EXPECT_TRUE(outerGoneWhenInnerReturned);
    EXPECT_EQ(qtest::Log().Count(main, WM_CLOSE), 1);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(outer));
    EXPECT_FALSE(IsWindow(inner));
    int destroyed = 0;
    for (auto& e : Events()) destroyed += e.msg == WM_DESTROY;
    EXPECT_EQ(destroyed, 2) << "each dialog saw its end";
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "nothing else was ended";
}

TEST_F(Dialog, AStylusPressOnAnOwnerDrawnButtonDrawsItPressedThenCommands)
{
    auto tmpl = MessageTemplate();
    std::vector<UINT> states;
    g_dlgBehaviour = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            PostMessageW(h, WM_USER, 0, 0);
            return TRUE;
        }
        if (m == WM_USER) {
            RECT r;
            GetWindowRect(GetDlgItem(h, 343), &r);
            qplat::StylusDown((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            qplat::StylusUp((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            return TRUE;
        }
        if (m == WM_DRAWITEM) {
            auto dis = reinterpret_cast<DRAWITEMSTRUCT*>(l);
            EXPECT_EQ(dis->CtlType, static_cast<UINT>(ODT_BUTTON));
            EXPECT_EQ(dis->CtlID, 343u);
            EXPECT_EQ(dis->hwndItem, GetDlgItem(h, 343));
            states.push_back(dis->itemState & ODS_SELECTED);
            return TRUE;
        }
        if (m == WM_COMMAND && LOWORD(w) == 343 && HIWORD(w) == BN_CLICKED) {
            EndDialog(h, 343);
            return TRUE;
        }
        return FALSE;
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, tmpl.Get(), nullptr, TestDlgProc, 0), 343);
    ASSERT_GE(states.size(), 2u);
    EXPECT_TRUE(std::find(states.begin(), states.end(), static_cast<UINT>(ODS_SELECTED)) != states.end());
    EXPECT_EQ(states.back(), 0u) << "released again before the command";
}

TEST_F(Dialog, AModalDialogRunsOnAWorkerThreadOverAWindowOfTheUserInterfaceThread)
{
    HWND owner = Keep(MakeTop(0, 0, 480, 272));
    auto tmpl = MessageTemplate();
    std::atomic<bool> done{false};
    std::atomic<INT_PTR> result{-1};
    DWORD workerId = 0;
    g_dlgBehaviour = [](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            SetTimer(h, 6, 30, nullptr);
            return TRUE;
        }
        if (m == WM_TIMER && w == 6) {
            KillTimer(h, 6);
            EndDialog(h, 1);
            return TRUE;
        }
        return FALSE;
    };
    std::thread worker([&] {
        workerId = GetCurrentThreadId();
        result = DialogBoxIndirectParamW(nullptr, tmpl.Get(), owner, TestDlgProc, 0);
        done = true;
    });
    bool sawDisabled = false;
    MSG m;
    while (!done) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        if (!IsWindowEnabled(owner)) sawDisabled = true;
        Sleep(1);
    }
    worker.join();
    EXPECT_EQ(result.load(), 1);
    EXPECT_TRUE(sawDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    for (auto& e : Events()) {
        if (e.msg == WM_INITDIALOG || e.msg == WM_TIMER) {
            EXPECT_EQ(e.thread, workerId);
        }
    }
    EXPECT_TRUE(Saw(WM_TIMER));
}

TEST_F(Dialog, TheScreenTemplatesCoverTheScreen)
{
    struct Case {
        short cx, cy;
        WORD points;
    } cases[] = {{248, 128, 11}, {213, 114, 12}, {242, 128, 11}};
    RECT r{};
    g_dlgBehaviour = [&](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m != WM_INITDIALOG) return FALSE;
        GetWindowRect(h, &r);
        EndDialog(h, 1);
        return TRUE;
    };
    for (auto c : cases) {
        qtest::TemplateBuilder t(WS_POPUP | WS_BORDER, 0, 0, c.cx, c.cy, u"Calibri", c.points);
        ASSERT_EQ(DialogBoxIndirectParamW(nullptr, t.Get(), nullptr, TestDlgProc, 0), 1);
        EXPECT_EQ(qtest::EdgesOf(r), (qtest::Edges{0, 0, 480, 272}))
            << c.cx << " x " << c.cy << " in " << c.points << " points";
    }
    // A small box keeps its own size.
    qtest::TemplateBuilder box(WS_POPUP | WS_BORDER | DS_CENTER, 0, 0, 150, 63, u"Calibri", 11);
    ASSERT_EQ(DialogBoxIndirectParamW(nullptr, box.Get(), nullptr, TestDlgProc, 0), 1);
    EXPECT_GT(r.right - r.left, 250);
    EXPECT_LT(r.right - r.left, 340);
    EXPECT_NEAR((r.left + r.right) / 2, 240, 1) << "centred";
}

TEST_F(Dialog, ControlsAskTheirParentForTheirColours)
{
    auto tmpl = MessageTemplate();
    HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
    g_dlgBehaviour = [&](HWND, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_CTLCOLORSTATIC) {
            SetBkMode(reinterpret_cast<HDC>(w), TRANSPARENT);
            return reinterpret_cast<INT_PTR>(yellow);
        }
        return m == WM_INITDIALOG;
    };
    HWND dlg = CreateDialogIndirectParamW(nullptr, tmpl.Get(), nullptr, TestDlgProc, 0);
    ASSERT_TRUE(dlg);
    ShowWindow(dlg, SW_SHOW);
    qplat::ProcessPendingMessages();
    HWND text = GetDlgItem(dlg, 345);
    bool asked = false;
    for (auto& e : Events())
        asked |= e.msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(e.lParam) == text;
    EXPECT_TRUE(asked);
    RECT r;
    GetWindowRect(text, &r);
    EXPECT_EQ(qplat::ScreenPixel(r.right - 1, r.bottom - 1), RGB(255, 255, 0));
    DestroyWindow(dlg);
    DeleteObject(yellow);
}

}  // namespace
