// Inside platform/backend only: the compositor and the presenters' common
// shape.
#pragma once

#include <memory>

#include "platform/Presenter.h"
#include "platform/WinDef.h"
#include "platform/gdi/Surface.h"

namespace qplat::backend {

// Composes every visible window into `screen` (made 480 x 272).
void Compose(Surface& screen);
// Changes whenever something that may alter the screen happened.
unsigned ScreenVersion();

class Presenter {
public:
    virtual ~Presenter() = default;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // Called on the user-interface thread when it has no message to handle:
    // takes input, shows the screen. Returns the longest wait (ms) before it
    // wants to be called again.
    virtual unsigned long Idle() = 0;
};

// The screen on a display or in a window: the largest whole scale that fits
// (at least 1), centred.
int WholeScale(int width, int height);
// True for a display of the screen's own shape at a whole scale (480 x 272,
// 960 x 544, ...): the window then fills it, as the handheld's panel.
bool IsScreenShaped(int width, int height);
struct ScreenPlacement {
    int x = 0, y = 0;  // top left of the scaled screen in the output
    int scale = 1;
};
ScreenPlacement PlaceScreen(int outputWidth, int outputHeight);
// The window on a display: `area` is the room the display leaves for windows
// (its usable bounds, in display coordinates), `frame` the thickness of the
// frame a window manager puts around the window on each side (all 0 without
// one). The window gets the largest whole scale at which it fits with its
// frame and stands centred with it; a window that does not fit even at
// scale 1 keeps its frame's top left corner inside the area.
struct WindowPlacement {
    int x = 0, y = 0;  // top left of the window's own area (inside the frame)
    int width = 0, height = 0;
    int scale = 1;
};
WindowPlacement PlaceWindow(const RECT& area, const RECT& frame);
// The screen point under an output point (kept on the screen).
POINT OutputToScreen(const ScreenPlacement& placement, int x, int y);

// Whether SDL_VIDEODRIVER names the driver (one of its list, in any case).
bool VideoDriverNamed(const char* driver);

std::unique_ptr<Presenter> MakeHeadlessPresenter();
std::unique_ptr<Presenter> MakeSdlPresenter();

}  // namespace qplat::backend
