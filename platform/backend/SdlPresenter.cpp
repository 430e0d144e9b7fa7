// The screen in an SDL2 window, at the largest whole scale the display holds
// (a display of the screen's own size, like the handheld's panel, is filled
// without a frame). Mouse and touch both act as the stylus; the mouse events
// SDL makes up from touches are dropped so that one tap counts once. F12 (and
// a keyboard's power key) is the handheld's power key; the window's close
// button asks the program to close.

#include <SDL.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "platform/backend/BackendInternal.h"
#include "platform/user/UserInternal.h"

namespace {

// Without a session bus in the environment, the desktop-bus library SDL uses
// starts one of its own (dbus-launch and a session dbus-daemon) that outlives
// the program. A user session's bus at its usual place is still used; else
// the address is one that fails at once. Runs before the program's threads
// exist, as the environment may only change then; programs started later
// inherit it, so they start no bus either.
void KeepDesktopBusFromStartingOne()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && address[0]) return;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0]) {
        const std::string bus = std::string(runtime) + "/bus";
        struct stat st {};
        if (::stat(bus.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + bus).c_str(), 1);
            return;
        }
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

// SDL falls back to a driver that keeps the window in memory when no display
// answers (a DISPLAY or WAYLAND_DISPLAY inherited from a session that is
// gone): the program would run unseen, with nothing to drive it. Such a
// driver is a window only when SDL_VIDEODRIVER names it (a test's run).
bool ShowsAWindow(const char* driver)
{
    if (!driver) return false;
    bool showsNothing = false;
    for (const char* unseen : {"offscreen", "dummy", "evdev"})
        showsNothing = showsNothing || SDL_strcasecmp(driver, unseen) == 0;
    return !showsNothing || qplat::backend::VideoDriverNamed(driver);
}

class SdlPresenter : public qplat::backend::Presenter {
public:
    bool Start() override
    {
        if (!qplat::DisplayAvailable() && !qplat::UnseenDriverNamed()) return false;
        // SIGINT and SIGTERM are the presenters' own (a close request), not
        // SDL's.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
        // The close button is a close request of its own; no second one
        // follows as SDL_QUIT.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        // Leave nothing of the desktop bus behind when the screen closes.
        SDL_SetHint("SDL_SHUTDOWN_DBUS_ON_QUIT", "1");
        KeepDesktopBusFromStartingOne();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        if (!ShowsAWindow(SDL_GetCurrentVideoDriver())) {
            SDL_Quit();
            return false;
        }
        SDL_Rect display{0, 0, 0, 0}, usable{0, 0, 0, 0};
        bool known = SDL_GetDisplayBounds(0, &display) == 0 && display.w > 0 && display.h > 0;
        if (known && (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0)) usable = display;
        bool panel = known && qplat::backend::IsScreenShaped(display.w, display.h);
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
        // The window is made at its final size and place: a window manager
        // may ignore a later move, and without one a later centring may not
        // take effect at all.
        const RECT area = known ? RECT{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h}
                                : RECT{0, 0, qplat::kScreenWidth, qplat::kScreenHeight};
        qplat::backend::WindowPlacement place = qplat::backend::PlaceWindow(area, RECT{0, 0, 0, 0});
        if (panel) {
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            place.scale = qplat::backend::WholeScale(display.w, display.h);
            place.x = display.x;
            place.y = display.y;
            place.width = display.w;
            place.height = display.h;
        }
        const int x = known ? place.x : static_cast<int>(SDL_WINDOWPOS_CENTERED);
        const int y = known ? place.y : static_cast<int>(SDL_WINDOWPOS_CENTERED);
        window_ = SDL_CreateWindow("QAV5", x, y, place.width, place.height, flags);
        if (window_ && known && !panel) {
            // The frame a window manager adds takes room of its own; it is
            // known only once the window exists.
            int top = 0, left = 0, bottom = 0, right = 0;
            if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
            if (top || left || bottom || right) {
                place = qplat::backend::PlaceWindow(area, RECT{left, top, right, bottom});
                SDL_SetWindowSize(window_, place.width, place.height);
                SDL_SetWindowPosition(window_, place.x, place.y);
            }
        }
        if (window_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (renderer_)
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                         qplat::kScreenWidth, qplat::kScreenHeight);
        if (!texture_) {
            Stop();
            return false;
        }
        SDL_ShowWindow(window_);
        Place();
        return true;
    }

    void Stop() override
    {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        texture_ = nullptr;
        renderer_ = nullptr;
        window_ = nullptr;
        SDL_Quit();
    }

    unsigned long Idle() override
    {
        SDL_Event e;
        while (SDL_PollEvent(&e)) Handle(e);
        if (qplat::user::g_raiseRequested.exchange(false) && window_) SDL_RaiseWindow(window_);
        DWORD now = GetTickCount();
        unsigned version = qplat::backend::ScreenVersion();
        // Contexts kept open (a chart's own DC) draw without telling anyone,
        // so the screen is refreshed now and then even when nothing said so.
        if (version != shownVersion_ || now - shownAt_ >= 200) {
            Present();
            shownVersion_ = version;
            shownAt_ = now;
        }
        unsigned long wait = 10;
        if (!qplat::InputScriptFinished()) {
            unsigned long w = qplat::RunInputScriptStep();
            if (w < wait) wait = w;
        }
        return wait;
    }

private:
    // Where the screen stands in the window as it is now (the window manager
    // may have given it another size than asked for).
    void Place()
    {
        int outW = 0, outH = 0, winW = 0, winH = 0;
        if (SDL_GetRendererOutputSize(renderer_, &outW, &outH) != 0) outW = outH = 0;
        SDL_GetWindowSize(window_, &winW, &winH);
        placement_ = qplat::backend::PlaceScreen(outW, outH);
        // Events come in window units, which differ from pixels on a
        // high-density display.
        pixelsPerUnitX_ = winW > 0 && outW > 0 ? static_cast<double>(outW) / winW : 1.0;
        pixelsPerUnitY_ = winH > 0 && outH > 0 ? static_cast<double>(outH) / winH : 1.0;
        windowW_ = winW;
        windowH_ = winH;
    }

    void Present()
    {
        qplat::backend::Compose(screen_);
        SDL_UpdateTexture(texture_, nullptr, screen_.pixels.data(), screen_.width * 4);
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_Rect target{placement_.x, placement_.y, qplat::kScreenWidth * placement_.scale,
                        qplat::kScreenHeight * placement_.scale};
        SDL_RenderCopy(renderer_, texture_, nullptr, &target);
        SDL_RenderPresent(renderer_);
    }

    POINT ToScreen(double windowX, double windowY) const
    {
        return qplat::backend::OutputToScreen(placement_, static_cast<int>(windowX * pixelsPerUnitX_),
                                              static_cast<int>(windowY * pixelsPerUnitY_));
    }

    void Handle(const SDL_Event& e)
    {
        POINT p{};
        switch (e.type) {
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
            p = ToScreen(e.button.x, e.button.y);
            qplat::StylusDown(p.x, p.y);
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
            p = ToScreen(e.button.x, e.button.y);
            qplat::StylusUp(p.x, p.y);
            break;
        case SDL_MOUSEMOTION:
            if (e.motion.which == SDL_TOUCH_MOUSEID) break;
            p = ToScreen(e.motion.x, e.motion.y);
            qplat::StylusMove(p.x, p.y);
            break;
        case SDL_FINGERDOWN:
            if (finger_ != -1) break;  // one stylus: further fingers are ignored
            finger_ = e.tfinger.fingerId;
            p = ToScreen(e.tfinger.x * windowW_, e.tfinger.y * windowH_);
            qplat::StylusDown(p.x, p.y);
            break;
        case SDL_FINGERMOTION:
            if (e.tfinger.fingerId != finger_) break;
            p = ToScreen(e.tfinger.x * windowW_, e.tfinger.y * windowH_);
            qplat::StylusMove(p.x, p.y);
            break;
        case SDL_FINGERUP:
            if (e.tfinger.fingerId != finger_) break;
            finger_ = -1;
            p = ToScreen(e.tfinger.x * windowW_, e.tfinger.y * windowH_);
            qplat::StylusUp(p.x, p.y);
            break;
        case SDL_KEYDOWN:
            if (e.key.repeat) break;
            if (e.key.keysym.sym == SDLK_F12 || e.key.keysym.sym == SDLK_POWER) qplat::PowerKey(WM_POWERKEY);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) qplat::RequestClose();
            if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) Place();
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                shownAt_ = GetTickCount() - 1000;
            break;
        case SDL_QUIT:  // the desktop session ends
            qplat::RequestClose();
            break;
        default: break;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    qplat::Surface screen_;
    qplat::backend::ScreenPlacement placement_{};
    double pixelsPerUnitX_ = 1.0, pixelsPerUnitY_ = 1.0;
    int windowW_ = qplat::kScreenWidth, windowH_ = qplat::kScreenHeight;
    unsigned shownVersion_ = ~0u;
    DWORD shownAt_ = 0;
    SDL_FingerID finger_ = -1;
};

}  // namespace

namespace qplat::backend {

std::unique_ptr<Presenter> MakeSdlPresenter()
{
    return std::make_unique<SdlPresenter>();
}

}  // namespace qplat::backend
