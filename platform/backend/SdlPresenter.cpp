// The screen in an SDL2 window, scaled up twice. Mouse and touch both act as
// the stylus; the mouse events SDL makes up from touches are dropped so that
// one tap counts once. The window's close button and the Escape, F12 and power
// keys are the handheld's power key.

#include <SDL.h>

#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "platform/backend/BackendInternal.h"
#include "platform/user/UserInternal.h"

namespace {

constexpr int kScale = 2;

class SdlPresenter : public qplat::backend::Presenter {
public:
    bool Start() override
    {
        if (!qplat::DisplayAvailable()) return false;
        // The program ends through its own power-off path, not through SDL's
        // handling of SIGINT and SIGTERM.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
        // Leave nothing of the desktop bus behind when the screen closes.
        SDL_SetHint("SDL_SHUTDOWN_DBUS_ON_QUIT", "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        window_ = SDL_CreateWindow("QAV5", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, qplat::kScreenWidth * kScale,
                                   qplat::kScreenHeight * kScale, 0);
        if (window_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (renderer_)
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                         qplat::kScreenWidth, qplat::kScreenHeight);
        if (!texture_) {
            Stop();
            return false;
        }
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
    void Present()
    {
        qplat::backend::Compose(screen_);
        SDL_UpdateTexture(texture_, nullptr, screen_.pixels.data(), screen_.width * 4);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    void Handle(const SDL_Event& e)
    {
        switch (e.type) {
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
            qplat::StylusDown(e.button.x / kScale, e.button.y / kScale);
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
            qplat::StylusUp(e.button.x / kScale, e.button.y / kScale);
            break;
        case SDL_MOUSEMOTION:
            if (e.motion.which == SDL_TOUCH_MOUSEID) break;
            qplat::StylusMove(e.motion.x / kScale, e.motion.y / kScale);
            break;
        case SDL_FINGERDOWN:
            if (finger_ != -1) break;  // one stylus: further fingers are ignored
            finger_ = e.tfinger.fingerId;
            qplat::StylusDown(FingerX(e), FingerY(e));
            break;
        case SDL_FINGERMOTION:
            if (e.tfinger.fingerId == finger_) qplat::StylusMove(FingerX(e), FingerY(e));
            break;
        case SDL_FINGERUP:
            if (e.tfinger.fingerId != finger_) break;
            finger_ = -1;
            qplat::StylusUp(FingerX(e), FingerY(e));
            break;
        case SDL_KEYDOWN:
            if (e.key.repeat) break;
            if (e.key.keysym.sym == SDLK_ESCAPE || e.key.keysym.sym == SDLK_F12 || e.key.keysym.sym == SDLK_POWER)
                qplat::PowerKey(WM_POWERKEY);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) qplat::PowerKey(WM_POWERKEY_SHELL);
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) shownAt_ = GetTickCount() - 1000;
            break;
        case SDL_QUIT:
            qplat::PowerKey(WM_POWERKEY_SHELL);
            break;
        default: break;
        }
    }

    static int Clamp(int v, int hi) { return v < 0 ? 0 : (v >= hi ? hi - 1 : v); }
    static int FingerX(const SDL_Event& e) { return Clamp(static_cast<int>(e.tfinger.x * qplat::kScreenWidth), qplat::kScreenWidth); }
    static int FingerY(const SDL_Event& e) { return Clamp(static_cast<int>(e.tfinger.y * qplat::kScreenHeight), qplat::kScreenHeight); }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    qplat::Surface screen_;
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
