// Choosing, starting and stopping the presenter, and the hook through which
// the user-interface thread hands it its idle time.

#include <cstdlib>
#include <mutex>

#include "platform/WinKernel.h"
#include "platform/backend/BackendInternal.h"
#include "platform/user/UserInternal.h"

namespace {

struct PresenterState {
    std::unique_ptr<qplat::backend::Presenter> presenter;
    qplat::PresenterKind kind = qplat::PresenterKind::None;
};

PresenterState& P()
{
    static PresenterState* p = new PresenterState;
    return *p;
}

DWORD IdleHook()
{
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
    user::SetIdleHook(IdleHook);
    return true;
}

void StopPresenter()
{
    auto& p = P();
    user::SetIdleHook(nullptr);
    if (p.presenter) p.presenter->Stop();
    p.presenter.reset();
    p.kind = PresenterKind::None;
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
