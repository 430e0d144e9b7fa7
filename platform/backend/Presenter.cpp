// Choosing, starting and stopping the presenter, the hook through which the
// user-interface thread hands it its idle time, and the close requests that
// arrive as signals.

#include <signal.h>
#include <strings.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/HeldCall.h"
#include "platform/PowerSleep.h"
#include "platform/WinKernel.h"
#include "platform/backend/BackendInternal.h"
#include "platform/user/UserInternal.h"

namespace {

struct PresenterState {
    std::unique_ptr<qplat::backend::Presenter> presenter;
    qplat::PresenterKind kind = qplat::PresenterKind::None;
    bool signalsTaken = false;
    struct sigaction oldTerm {};
    struct sigaction oldInt {};
};

// The signal that asked the program to close, until the user-interface thread
// has passed the request on (a signal handler may do no more than store it).
std::atomic<int> g_closeSignal{0};

extern "C" void OnCloseSignal(int sig)
{
    g_closeSignal.store(sig);
}

void TakeSignals(PresenterState& p)
{
    if (p.signalsTaken) return;
    struct sigaction sa {};
    sa.sa_handler = OnCloseSignal;
    sigemptyset(&sa.sa_mask);
    // The first signal asks; the handler is then gone, so a second one ends
    // a program that does not close.
    sa.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGTERM, &sa, &p.oldTerm);
    sigaction(SIGINT, &sa, &p.oldInt);
    p.signalsTaken = true;
}

void GiveSignalsBack(PresenterState& p)
{
    if (!p.signalsTaken) return;
    sigaction(SIGTERM, &p.oldTerm, nullptr);
    sigaction(SIGINT, &p.oldInt, nullptr);
    p.signalsTaken = false;
}

PresenterState& P()
{
    static PresenterState* p = new PresenterState;
    return *p;
}

DWORD IdleHook();

// A power-off: the screen goes dark until it is woken. On the user-interface
// thread the presenter keeps taking input and running the script meanwhile
// (the thread handles no messages: the program is switched off); on any other
// thread the user-interface thread's own idle time does that.
void SleepScreen()
{
    qplat::user::ScreenChanged();
    DWORD me = GetCurrentThreadId();
    bool uiThread;
    {
        std::lock_guard<std::mutex> g(qplat::user::S().lock);
        uiThread = qplat::user::S().uiThreadSet && qplat::user::S().uiThread == me;
    }
    while (qplat::DeviceAsleep()) {
        DWORD wait = uiThread ? IdleHook() : 100;
        qplat::WaitForWake(wait < 100 ? wait : 100);
    }
    qplat::user::ScreenChanged();
}

// A long call that holds the user-interface thread: the presenter's idle
// time goes on as during a sleep, and a close asked for meanwhile ends the
// call. On another thread the call is only told.
bool HeldCallSide(unsigned long* waitMs)
{
    *waitMs = qplat::IsUserInterfaceThread() ? IdleHook() : 100;
    return qplat::CloseRequestWaiting();
}

DWORD IdleHook()
{
    if (int sig = g_closeSignal.exchange(0)) {
        std::fprintf(stderr, "%s: closing the program\n", sig == SIGTERM ? "SIGTERM" : sig == SIGINT ? "SIGINT" : "signal");
        qplat::RequestClose();
    }
    auto& p = P();
    if (!p.presenter) return 100;
    return static_cast<DWORD>(p.presenter->Idle());
}

}  // namespace

namespace qplat {

bool DisplayAvailable()
{
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && x[0]) || (w && w[0]);
}

bool UnseenDriverNamed()
{
    return backend::VideoDriverNamed("offscreen") || backend::VideoDriverNamed("dummy");
}

namespace backend {

bool VideoDriverNamed(const char* driver)
{
    // SDL takes a list of drivers, separated by commas, in any case.
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const std::string list = asked ? asked : "";
    for (size_t at = 0; at <= list.size();) {
        size_t comma = list.find(',', at);
        if (comma == std::string::npos) comma = list.size();
        if (::strcasecmp(list.substr(at, comma - at).c_str(), driver) == 0) return true;
        at = comma + 1;
    }
    return false;
}

}  // namespace backend

bool StartPresenter(PresenterKind kind)
{
    StopPresenter();
    std::unique_ptr<backend::Presenter> presenter;
    if (kind == PresenterKind::Headless) presenter = backend::MakeHeadlessPresenter();
    if (kind == PresenterKind::Window) presenter = backend::MakeSdlPresenter();
    if (!presenter) return kind == PresenterKind::None;
    if (!presenter->Start()) return false;
    auto q = user::CurrentQueue();
    {
        std::lock_guard<std::mutex> g(user::S().lock);
        user::S().uiThread = q->threadId;
        user::S().uiThreadSet = true;
    }
    P().presenter = std::move(presenter);
    P().kind = kind;
    TakeSignals(P());
    user::SetIdleHook(IdleHook);
    SetSleepScreen(SleepScreen);
    qplat::SetHeldCallSide(HeldCallSide);
    return true;
}

void StopPresenter()
{
    auto& p = P();
    SetSleepScreen(nullptr);
    qplat::SetHeldCallSide(nullptr);
    user::SetIdleHook(nullptr);
    if (p.presenter) p.presenter->Stop();
    p.presenter.reset();
    p.kind = PresenterKind::None;
    GiveSignalsBack(p);
}

PresenterKind ActivePresenter()
{
    return P().kind;
}

HINSTANCE ProgramInstance()
{
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000u));
}

}  // namespace qplat
