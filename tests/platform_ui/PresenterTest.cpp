// The composed screen, stylus routing and the headless presenter with its
// scripted input.

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/HeldCall.h"
#include "platform/PowerSleep.h"
#include "tests/platform_ui/WindowTestSupport.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDeviceRoot.h"

using namespace qtest;

namespace {

class Presenter : public qtest::WindowTest {};

TEST_F(Presenter, WindowsAreComposedInZOrderWithChildrenCutToTheirParent)
{
    HWND back = Keep(MakeTop(0, 0, 480, 272));
    HWND front = Keep(MakeTop(100, 50, 100, 100));
    HWND child = MakeChild(front, 1, 50, 50, 100, 100);  // reaches past its parent
    qplat::ProcessPendingMessages();
    Fill(back, RGB(0, 0, 255));
    Fill(front, RGB(0, 255, 0));
    Fill(child, RGB(255, 0, 0));
    EXPECT_EQ(qplat::ScreenPixel(10, 10), RGB(0, 0, 255));
    EXPECT_EQ(qplat::ScreenPixel(120, 60), RGB(0, 255, 0));
    EXPECT_EQ(qplat::ScreenPixel(160, 110), RGB(255, 0, 0));
    EXPECT_EQ(qplat::ScreenPixel(199, 149), RGB(255, 0, 0));
    EXPECT_EQ(qplat::ScreenPixel(205, 110), RGB(0, 0, 255)) << "the child is cut at its parent's edge";
    ShowWindow(child, SW_HIDE);
    EXPECT_EQ(qplat::ScreenPixel(160, 110), RGB(0, 255, 0)) << "its parent's own pixels are kept under it";
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(qplat::ScreenPixel(120, 60), RGB(0, 0, 255));
    EXPECT_EQ(qplat::ScreenPixel(480, 0), 0xFFFFFFFFu);
}

TEST_F(Presenter, PaintingThroughBeginPaintReachesTheScreenAtTheClientOrigin)
{
    HWND h = Keep(MakeTop(10, 20, 100, 60, WS_POPUP | WS_BORDER | WS_VISIBLE));
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (w != h || m != WM_PAINT) return false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, 0, 17, nullptr);
        LineTo(dc, 50, 17);
        SelectObject(dc, old);
        DeleteObject(pen);
        EndPaint(w, &ps);
        r = 0;
        return true;
    };
    InvalidateRect(h, nullptr, TRUE);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(qplat::ScreenPixel(11, 21 + 17), RGB(255, 0, 0));
    EXPECT_EQ(qplat::ScreenPixel(11 + 49, 21 + 17), RGB(255, 0, 0));
    EXPECT_EQ(qplat::ScreenPixel(11 + 50, 21 + 17), RGB(255, 255, 255)) << "the end point is not drawn";
    EXPECT_EQ(qplat::ScreenPixel(10, 40), RGB(0, 0, 0)) << "the border";
}

TEST_F(Presenter, StylusGoesToTheTopmostEnabledWindowUnderIt)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND a = MakeChild(top, 1, 10, 10, 50, 50);
    HWND over = MakeChild(top, 2, 30, 30, 50, 50);  // below a in the order
    qplat::ProcessPendingMessages();
    Log().Clear();
    Tap(40, 40);
    EXPECT_EQ(Log().For(a, {WM_LBUTTONDOWN, WM_LBUTTONUP}), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(Log().Count(over, WM_LBUTTONDOWN), 0);
    for (auto& e : Log().All())
        if (e.hwnd == a && e.msg == WM_LBUTTONDOWN) {
            EXPECT_EQ(LOWORD(e.lParam), 30);
            EXPECT_EQ(HIWORD(e.lParam), 30);
            EXPECT_EQ(e.wParam, static_cast<WPARAM>(MK_LBUTTON));
        }
    EnableWindow(a, FALSE);
    Log().Clear();
    Tap(20, 20);
    EXPECT_EQ(Log().Count(top, WM_LBUTTONDOWN), 1) << "a disabled child passes the stylus to its parent";
    EnableWindow(top, FALSE);
    Log().Clear();
    Tap(200, 200);
    EXPECT_TRUE(Log().All().empty() || Log().Count(top, WM_LBUTTONDOWN) == 0) << "a disabled screen takes nothing";
}

TEST_F(Presenter, CaptureKeepsTheStylusAndMovesArriveOnlyWhileTouching)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND a = MakeChild(top, 1, 10, 10, 50, 50);
    qplat::ProcessPendingMessages();
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM, LPARAM, LRESULT&) {
        if (w == a && m == WM_LBUTTONDOWN) SetCapture(a);
        if (w == a && m == WM_LBUTTONUP) ReleaseCapture();
        return false;
    };
    qplat::StylusMove(20, 20);
    qplat::StylusDown(20, 20);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(GetCapture(), a);
    qplat::StylusMove(300, 200);
    qplat::StylusUp(300, 200);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Log().For(a, {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
    for (auto& e : Log().All())
        if (e.hwnd == a && e.msg == WM_LBUTTONUP) {
            EXPECT_EQ(static_cast<SHORT>(LOWORD(e.lParam)), 290);
            EXPECT_EQ(static_cast<SHORT>(HIWORD(e.lParam)), 190);
        }
    EXPECT_EQ(Log().Count(top, WM_LBUTTONUP), 0);
}

TEST_F(Presenter, PowerKeyGoesToTheScreenInFront)
{
    HWND main = Keep(MakeTop(0, 0, 480, 272));
    HWND front = Keep(MakeTop(20, 20, 200, 100, WS_POPUP | WS_VISIBLE, main));
    EnableWindow(main, FALSE);
    qplat::PowerKey(WM_POWERKEY);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(front, WM_POWERKEY), 1);
    EXPECT_EQ(Log().Count(main, WM_POWERKEY), 0);
    DestroyWindow(front);
    EnableWindow(main, TRUE);
    qplat::PowerKey(WM_POWERKEY_SHELL);
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(main, WM_POWERKEY_SHELL), 1);
}

class HeadlessScript : public Presenter {
protected:
    qtest::TempDeviceRoot root;
};

TEST_F(HeadlessScript, ScriptTapsWaitsSnapshotsAndQuits)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND button = MakeChild(top, 1, 100, 100, 40, 40);
    qplat::ProcessPendingMessages();
    Fill(top, RGB(0, 0, 255));
    Fill(button, RGB(0, 255, 0));
    std::string png = root.Path() + "/shot.png";
    std::string error;
    ASSERT_TRUE(qplat::SetInputScript("# a comment\n\ntap 110 120\nwait 20\nsnapshot " + png + "\npower\nquit\n", &error))
        << error;
    ASSERT_TRUE(qplat::StartPresenter(qplat::PresenterKind::Headless));
    MSG m;
    int guard = 0;
    while (GetMessageW(&m, nullptr, 0, 0) && ++guard < 10000) DispatchMessageW(&m);
    qplat::StopPresenter();
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_TRUE(qplat::InputScriptFinished());
    EXPECT_EQ(Log().Count(button, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(Log().Count(top, WM_POWERKEY), 1);
    const qplat::Surface shot = ReadPngFile(png);
    ASSERT_EQ(shot.width, 480) << "the snapshot was written whole";
    EXPECT_EQ(shot.height, 272);
    EXPECT_EQ(shot.At(5, 5) & 0xFFFFFFu, 0x0000FFu);
    EXPECT_EQ(shot.At(120, 120) & 0xFFFFFFu, 0x00FF00u);
}

TEST_F(HeadlessScript, BadScriptsAreRefusedWithTheirLine)
{
    std::string error;
    EXPECT_FALSE(qplat::SetInputScript("tap 1 2\njump 3\n", &error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    for (const char* bad :
         {"tap 1\n", "tap 1 2 3\n", "wait -5\n", "wait soon\n", "snapshot\n", "power key now\n", "close 1\n"})
        EXPECT_FALSE(qplat::SetInputScript(bad, &error)) << bad;
    EXPECT_FALSE(qplat::LoadInputScript(root.Path() + "/missing.txt", &error));
    EXPECT_FALSE(qplat::SetInputScript("power switch\n", &error));
    EXPECT_NE(error.find("switch"), std::string::npos);
    // The stylus only touches the screen.
    for (const char* off : {"tap 480 10\n", "tap 10 272\n", "press -1 5\n", "move 5 -1\n", "release 1000 1000\n"}) {
        EXPECT_FALSE(qplat::SetInputScript(std::string("wait 1\n") + off, &error)) << off;
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
        EXPECT_NE(error.find("outside"), std::string::npos) << error;
    }
    EXPECT_TRUE(qplat::SetInputScript("tap 0 0\ntap 479 271\n", &error)) << "the corners are on it: " << error;
    EXPECT_FALSE(qplat::LoadInputScript(root.Path(), &error)) << "a folder is not a script";
    EXPECT_NE(error.find("folder"), std::string::npos);
    EXPECT_TRUE(qplat::SetInputScript("press 1 2\r\nmove 3 4\r\nrelease 3 4\r\n", &error)) << error;
    EXPECT_FALSE(qplat::InputScriptFinished());
    qplat::ClearInputScript();
    EXPECT_TRUE(qplat::InputScriptFinished());
    ASSERT_TRUE(qplat::SetInputScript("", &error));
    EXPECT_FALSE(qplat::InputScriptFinished()) << "an empty script still ends the program";
    qplat::ClearInputScript();
}

TEST_F(HeadlessScript, AScriptThatEndsWithoutQuitEndsTheProgramAfterItsLastAction)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND button = MakeChild(top, 1, 100, 100, 40, 40);
    qplat::ProcessPendingMessages();
    MSG m{};
    std::string note;
    ASSERT_TRUE(qtest::RunScript("wait 10\ntap 110 120\n", top, m, &note)) << "the program ended";
    EXPECT_EQ(m.wParam, 0u) << "with status 0";
    EXPECT_EQ(Log().Count(button, WM_LBUTTONUP), 1) << "after the last tap was handled";
    EXPECT_NE(note.find("without \"quit\""), std::string::npos) << note;
    EXPECT_TRUE(qplat::InputScriptFinished());

    // A call that holds the program under the last action (the sensor
    // search) runs to its end; the run ends once what it brought is handled.
    int rounds = 0;
    qtest::TestHandler() = [&](HWND w, UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (w == button && msg == WM_LBUTTONUP) {
            for (rounds = 0; rounds < 50 && !qplat::HeldCallEnds(); ++rounds) {
            }
            PostMessageW(top, WM_APP, 0, 0);
        }
        return false;
    };
    Log().Clear();
    const bool quit = qtest::RunScript("tap 110 120\n", top, m, &note);
    qtest::TestHandler() = nullptr;
    ASSERT_TRUE(quit);
    EXPECT_EQ(rounds, 50) << "the script's end cut the held call";
    EXPECT_EQ(Log().Count(top, WM_APP), 1) << "what the call brought was handled before the end";
    EXPECT_NE(note.find("without \"quit\""), std::string::npos) << note;

    // A script that says "quit" ends with its own code and no note.
    EXPECT_TRUE(qtest::RunScript("quit\n", top, m, &note));
    EXPECT_EQ(note, "");
}

TEST_F(HeadlessScript, PowerKeyInBothSpellingsAndCloseReachTheirWindows)
{
    HWND main = Keep(MakeTop(0, 0, 480, 272));
    HWND front = Keep(MakeTop(20, 20, 200, 100, WS_POPUP | WS_VISIBLE, main));
    ASSERT_EQ(qplat::ProgramMainWindow(), main);
    qplat::ProcessPendingMessages();
    MSG m{};
    EXPECT_TRUE(qtest::RunScript("power key\npower\nclose\nquit\n", main, m));
    EXPECT_EQ(Log().Count(front, WM_POWERKEY), 2);
    EXPECT_EQ(Log().Count(main, WM_CLOSE), 1) << "close goes to the main window";
    EXPECT_EQ(Log().Count(front, WM_CLOSE), 0);
    EXPECT_EQ(Log().Count(main, WM_POWERKEY_SHELL) + Log().Count(front, WM_POWERKEY_SHELL), 0);
}

// A long platform call that holds the user-interface thread (the Bluetooth
// inquiry) keeps the script going, leaves the messages it causes queued, and
// is told to end once a close request or a quit waits; off that thread, or
// without a presenter, it is only told.
TEST_F(HeadlessScript, AHeldCallGoesOnWithTheScriptAndEndsOnceACloseWaits)
{
    HWND main = Keep(MakeTop(0, 0, 480, 272));
    HWND owned = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE, main);
    qplat::ProcessPendingMessages();
    // A WM_CLOSE of the program's own to another window is no close request.
    PostMessageW(owned, WM_CLOSE, 0, 0);
    EXPECT_FALSE(qplat::CloseRequestWaiting());
    qplat::ProcessPendingMessages();
    ASSERT_FALSE(IsWindow(owned));
    unsigned long wait = 0;
    EXPECT_FALSE(qplat::HeldCallEnds(&wait)) << "no presenter";
    EXPECT_EQ(wait, 100u);
    std::string error;
    ASSERT_TRUE(qplat::SetInputScript("tap 300 200\nclose\nquit\n", &error)) << error;
    ASSERT_TRUE(qplat::StartPresenter(qplat::PresenterKind::Headless));
    int calls = 0;
    while (!qplat::HeldCallEnds(&wait) && ++calls < 1000) {
    }
    EXPECT_LT(calls, 1000) << "the held call was never told to end";
    EXPECT_TRUE(qplat::CloseRequestWaiting());
    EXPECT_EQ(Log().Count(main, WM_LBUTTONDOWN) + Log().Count(main, WM_CLOSE), 0) << "handled while held";
    bool toldElsewhere = false;
    std::thread([&] { toldElsewhere = qplat::HeldCallEnds(); }).join();
    EXPECT_TRUE(toldElsewhere);
    EXPECT_FALSE(qplat::InputScriptFinished()) << "the script went past the close while held";

    // Once handled, the close waits no longer; the quit that follows does.
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(main, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(Log().Count(main, WM_CLOSE), 1);
    EXPECT_FALSE(qplat::CloseRequestWaiting());
    EXPECT_TRUE(qplat::HeldCallEnds(&wait)) << "the script's quit";
    qplat::StopPresenter();
    EXPECT_TRUE(qplat::InputScriptFinished());
    MSG m{};
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(qplat::CloseRequestWaiting());
}

// The power-off of the handheld: the screen goes dark, the tap that wakes it
// reaches no window, and the screen is back as it was.
TEST_F(HeadlessScript, APowerOffDarkensTheScreenUntilATapThatReachesNoWindow)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND button = MakeChild(top, 1, 100, 100, 40, 40);
    qplat::ProcessPendingMessages();
    Fill(top, RGB(0, 0, 255));
    Fill(button, RGB(0, 255, 0));
    std::atomic<bool> asleepInHandler{false};
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (w != top || m != WM_POWERKEY) return false;
        SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE);
        // Back from the sleep: awake again.
        asleepInHandler = qplat::DeviceAsleep();
        r = 0;
        return true;
    };
    qplat::SetPowerHandler(nullptr);
    const unsigned sleeps = qplat::DeviceSleeps(), wakes = qplat::DeviceWakes();
    const std::string before = root.Path() + "/before.png", dark = root.Path() + "/dark.png",
                      after = root.Path() + "/after.png";
    // While asleep, the stylus going up and moving and a second snapshot
    // change nothing; the tap wakes; the next tap is the program's again.
    MSG m{};
    EXPECT_TRUE(qtest::RunScript("snapshot " + before + "\npower\nwait 20\nrelease 110 120\nmove 110 120\nsnapshot " +
                                     dark + "\ntap 110 120\nwait 20\nsnapshot " + after + "\ntap 110 120\nquit\n",
                                 top, m));
    qplat::SetPowerHandler([](DWORD) {});
    EXPECT_EQ(qplat::DeviceSleeps(), sleeps + 1);
    EXPECT_EQ(qplat::DeviceWakes(), wakes + 1);
    EXPECT_FALSE(asleepInHandler);
    EXPECT_EQ(Log().Count(button, WM_LBUTTONDOWN), 1) << "only the tap after waking";
    EXPECT_EQ(Log().Count(button, WM_LBUTTONUP), 1);
    const qplat::Surface b = qtest::ReadPngFile(before), d = qtest::ReadPngFile(dark), a = qtest::ReadPngFile(after);
    ASSERT_EQ(d.width, 480);
    for (uint32_t px : d.pixels) ASSERT_EQ(px & 0xFFFFFFu, 0u) << "the sleeping screen is dark";
    ASSERT_EQ(b.width, 480);
    EXPECT_EQ(b.At(120, 120) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(a.pixels, b.pixels) << "woken, the screen is as it was";
}

TEST_F(HeadlessScript, ThePowerKeyAndACloseRequestWakeTheScreenAndReachNoWindowWhileAsleep)
{
    HWND main = Keep(MakeTop(0, 0, 480, 272));
    qplat::ProcessPendingMessages();
    int powerKeys = 0;
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (w != main || m != WM_POWERKEY) return false;
        // The second power key wakes; the third comes to the window again
        // and sends the device to sleep once more; the close request wakes it.
        if (++powerKeys <= 2) SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE);
        r = 0;
        return true;
    };
    qplat::SetPowerHandler(nullptr);
    const unsigned sleeps = qplat::DeviceSleeps(), wakes = qplat::DeviceWakes();
    MSG m{};
    const bool quit = qtest::RunScript("power\nwait 10\npower\nwait 10\npower\nwait 10\nclose\n", main, m);
    qplat::SetPowerHandler([](DWORD) {});
    EXPECT_TRUE(quit);
    EXPECT_EQ(powerKeys, 2) << "the power key that woke the device reached no window";
    EXPECT_EQ(qplat::DeviceSleeps(), sleeps + 2);
    EXPECT_EQ(qplat::DeviceWakes(), wakes + 2);
    EXPECT_EQ(Log().Count(main, WM_CLOSE), 1) << "the close request woke the program and reached it";
    EXPECT_FALSE(qplat::DeviceAsleep());
}

TEST_F(HeadlessScript, ASnapshotThatCannotBeWrittenEndsTheRunWithStatusTwo)
{
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    HWND button = MakeChild(top, 1, 100, 100, 40, 40);
    qplat::ProcessPendingMessages();
    std::string error;
    // A folder that is not there, and a name that is a folder.
    for (const std::string& target : {root.Path() + "/missing/shot.png", root.Path()}) {
        SCOPED_TRACE(target);
        Log().Clear();
        MSG m{};
        std::string note;
        ASSERT_TRUE(qtest::RunScript("snapshot " + target + "\ntap 110 120\nquit\n", top, m, &note));
        EXPECT_EQ(m.wParam, 2u);
        EXPECT_TRUE(qplat::InputScriptFailed());
        EXPECT_TRUE(qplat::InputScriptFinished());
        EXPECT_NE(note.find("line 1"), std::string::npos) << note;
        EXPECT_NE(note.find("cannot write the snapshot"), std::string::npos) << note;
        EXPECT_EQ(Log().Count(button, WM_LBUTTONDOWN), 0) << "nothing after the failed snapshot runs";
    }
    ASSERT_TRUE(qplat::SetInputScript("quit\n", &error));
    EXPECT_FALSE(qplat::InputScriptFailed()) << "a new script starts afresh";
    qplat::ClearInputScript();
}

TEST_F(Presenter, ACloseRequestGoesToTheOldestMainWindowAndIsNoPowerKey)
{
    qtest::TemplateBuilder tmpl(WS_POPUP | WS_VISIBLE, 0, 0, 50, 20);
    HWND dialog = CreateDialogIndirectParamW(nullptr, tmpl.Get(), nullptr, nullptr, 0);
    ASSERT_TRUE(dialog);
    HWND main = Keep(MakeTop(0, 0, 480, 272));
    HWND owned = Keep(MakeTop(20, 20, 200, 100, WS_POPUP | WS_VISIBLE, main));
    HWND later = Keep(MakeTop(0, 0, 100, 100));  // in front, but not the first
    qplat::ProcessPendingMessages();
    EXPECT_EQ(qplat::ProgramMainWindow(), main) << "not a dialog, not an owned window, not a later one";
    qplat::RequestClose();
    qplat::ProcessPendingMessages();
    EXPECT_EQ(Log().Count(main, WM_CLOSE), 1);
    EXPECT_EQ(Log().Count(owned, WM_CLOSE) + Log().Count(later, WM_CLOSE), 0);
    for (HWND h : {main, owned, later})
        EXPECT_EQ(Log().Count(h, WM_POWERKEY) + Log().Count(h, WM_POWERKEY_SHELL), 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(qplat::ProgramMainWindow(), later) << "the oldest one left";
    DestroyWindow(later);
    DestroyWindow(dialog);
    // No window left to ask: the user-interface thread is told to quit.
    ASSERT_EQ(qplat::ProgramMainWindow(), nullptr);
    qplat::RequestClose();
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 0u);
}

std::atomic<int> g_earlierHandlerCalls{0};
extern "C" void EarlierHandler(int)
{
    g_earlierHandlerCalls++;
}

TEST_F(HeadlessScript, SigtermAndSigintAskTheMainWindowToCloseOnceAndAreGivenBack)
{
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig == SIGTERM ? "SIGTERM" : "SIGINT");
        struct sigaction earlier {}, saved {}, now {};
        earlier.sa_handler = EarlierHandler;
        sigemptyset(&earlier.sa_mask);
        ASSERT_EQ(sigaction(sig, &earlier, &saved), 0);
        HWND main = Keep(MakeTop(0, 0, 480, 272));
        qtest::TestHandler() = [main](HWND w, UINT msg, WPARAM, LPARAM, LRESULT& r) {
            if (w != main || msg != WM_CLOSE) return false;
            PostQuitMessage(5);  // the program's orderly way out
            r = 0;
            return true;
        };
        ASSERT_EQ(qplat::ProgramMainWindow(), main);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(qplat::StartPresenter(qplat::PresenterKind::Headless));
        raise(sig);
        MSG m{};
        bool quit = qtest::RunUntilQuit(main, m);
        sigaction(sig, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << "a second signal ends a program that does not close";
        qplat::StopPresenter();
        std::string note = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(quit);
        EXPECT_EQ(m.wParam, 5u);
        EXPECT_EQ(Log().Count(main, WM_CLOSE), 1);
        EXPECT_EQ(Log().Count(main, WM_POWERKEY) + Log().Count(main, WM_POWERKEY_SHELL), 0);
        EXPECT_NE(note.find(sig == SIGTERM ? "SIGTERM" : "SIGINT"), std::string::npos) << note;
        sigaction(sig, nullptr, &now);
        EXPECT_EQ(now.sa_handler, EarlierHandler) << "the handler from before the presenter is back";
        EXPECT_EQ(g_earlierHandlerCalls.load(), 0);
        sigaction(sig, &saved, nullptr);
        qtest::TestHandler() = nullptr;
        DestroyWindow(main);
        Log().Clear();
    }
}

// SDL's desktop-bus connection keeps a block that the leak checker reports,
// so this runs only when asked for (QAV5_TEST_SDL=1, leak checking off).
TEST_F(HeadlessScript, TheWindowPresenterRunsTheSameScriptOnSdlsOffscreenDriver)
{
    const char* asked = std::getenv("QAV5_TEST_SDL");
    if (!asked || std::string(asked) != "1") GTEST_SKIP() << "set QAV5_TEST_SDL=1 to run the SDL presenter";
    qtest::ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    qtest::ScopedEnv display("DISPLAY", ":qav5-test");
    HWND top = Keep(MakeTop(0, 0, 480, 272));
    qplat::ProcessPendingMessages();
    std::string error;
    // No "quit": the script's end ends the run, after the close request.
    ASSERT_TRUE(qplat::SetInputScript("tap 50 60\nwait 30\nclose\n", &error)) << error;
    bool started = qplat::StartPresenter(qplat::PresenterKind::Window);
    if (started) {
        EXPECT_EQ(qplat::ActivePresenter(), qplat::PresenterKind::Window);
        MSG m;
        int guard = 0;
        while (GetMessageW(&m, nullptr, 0, 0) && ++guard < 10000) DispatchMessageW(&m);
        qplat::StopPresenter();
        EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
        EXPECT_EQ(Log().Count(top, WM_LBUTTONDOWN), 1);
        EXPECT_EQ(Log().Count(top, WM_CLOSE), 1);
        EXPECT_EQ(Log().Count(top, WM_POWERKEY_SHELL), 0);
        EXPECT_EQ(qplat::ActivePresenter(), qplat::PresenterKind::None);
    }
    EXPECT_TRUE(started) << "SDL's off-screen video driver did not start";
}

TEST_F(Presenter, ATransparentWindowLetsTheStylusThroughToTheWindowBelow)
{
    HWND below = Keep(MakeTop(0, 0, 480, 272));
    HWND tip = Keep(MakeTop(100, 100, 80, 30, WS_POPUP | WS_VISIBLE));
    HWND label = MakeChild(below, 7, 10, 10, 50, 20);
    qtest::TestHandler() = [&](HWND w, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m != WM_NCHITTEST || (w != tip && w != label)) return false;
        r = HTTRANSPARENT;
        return true;
    };
    qplat::ProcessPendingMessages();
    Log().Clear();
    Tap(110, 110);
    Tap(20, 20);
    EXPECT_EQ(Log().Count(below, WM_LBUTTONDOWN), 2);
    EXPECT_EQ(Log().Count(tip, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(Log().Count(label, WM_LBUTTONDOWN), 0);
}

TEST_F(Presenter, AKeptDeviceContextStillReachesTheScreenAfterAResize)
{
    HWND h = Keep(MakeTop(0, 0, 100, 100));
    qplat::ProcessPendingMessages();
    HDC kept = GetDC(h);
    ASSERT_TRUE(kept);
    MoveWindow(h, 0, 0, 200, 150, TRUE);
    qplat::ProcessPendingMessages();
    FillWith(kept, RECT{10, 10, 20, 20}, RGB(0, 128, 0));
    EXPECT_EQ(qplat::ScreenPixel(15, 15), RGB(0, 128, 0));
    ReleaseDC(h, kept);
}

}  // namespace
