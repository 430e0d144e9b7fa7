// The in-memory presenter: the screen exists only when someone composes it
// (a snapshot, a test's pixel probe); its idle time runs the input script.

#include "platform/backend/BackendInternal.h"

namespace {

class HeadlessPresenter : public qplat::backend::Presenter {
public:
    bool Start() override { return true; }
    void Stop() override {}
    unsigned long Idle() override
    {
        if (qplat::InputScriptFinished()) return 100;
        return qplat::RunInputScriptStep();
    }
};

}  // namespace

namespace qplat::backend {

std::unique_ptr<Presenter> MakeHeadlessPresenter()
{
    return std::make_unique<HeadlessPresenter>();
}

}  // namespace qplat::backend
