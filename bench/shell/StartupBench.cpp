// Start-up of the measuring application headless, from nothing to the first
// composed frame of the start screen: the program-wide objects, the main
// window with its start-up (language, settings, status images, buttons, the
// link monitor), its first painting and the composed screen. Each iteration
// ends the program again (objects destroyed, class unregistered).
//
//   build/<dir>/bench/bench_shell --benchmark_filter=StartUp
// The median must stay under 100 ms in a release build.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "settings/ProgramFolder.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"
#include "bench/support/BenchCard.h"

namespace {

namespace fs = std::filesystem;

// A card with the program folder and the delivered language files.
std::string MakeCard()
{
    return qbench::MakeCard("qav5-startup-bench");
}

void BM_StartUpToFirstFrame(benchmark::State& state)
{
    const std::string root = MakeCard();
    qplat::StartPresenter(qplat::PresenterKind::Headless);
    long frames = 0;
    for (auto _ : state) {
        BuildProgramObjects();
        if (!InitInstance(nullptr, SW_SHOW)) {
            state.SkipWithError("the start screen did not open");
            break;
        }
        qplat::ProcessPendingMessages();
        const qplat::Surface screen = qplat::ComposeScreen();
        frames += screen.width == 480 ? 1 : 0;
        state.PauseTiming();
        if (HWND main = FindWindowW(u"QAV5_PA", u"")) DestroyWindow(main);
        qplat::ProcessPendingMessages();
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyProgramObjects();
        UnregisterClassW(u"QAV5_PA", nullptr);
        state.ResumeTiming();
    }
    state.counters["frames"] = static_cast<double>(frames);
    qplat::StopPresenter();
    fs::remove_all(root);
}
BENCHMARK(BM_StartUpToFirstFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
