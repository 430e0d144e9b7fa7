// Inside platform/backend only: the compositor and the presenters' common
// shape.
#pragma once

#include <memory>

#include "platform/Presenter.h"
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

std::unique_ptr<Presenter> MakeHeadlessPresenter();
std::unique_ptr<Presenter> MakeSdlPresenter();

}  // namespace qplat::backend
