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
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "settings/ProgramFolder.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"

namespace {

namespace fs = std::filesystem;

std::string SourceFile(const std::string& relative)
{
    std::ifstream in(std::string(QAV5_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteDevice(const std::u16string& path, const std::string& bytes)
{
    const std::string host = qplat::HostPath(path);
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream(host, std::ios::binary) << bytes;
}

// A card with the program folder and the delivered language files.
std::string MakeCard()
{
    const fs::path root = fs::temp_directory_path() / "qav5-startup-bench";
    fs::remove_all(root);
    fs::create_directories(root);
    qplat::SetDeviceRoot(root.string());
    qplat::SyncFileWrites(false);
    HKEY key = nullptr;
    DWORD disposition = 0;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    const std::u16string card = u"\\SDMMC";
    RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(card.c_str()),
                   static_cast<DWORD>((card.size() + 1) * 2));
    RegCloseKey(key);
    WriteDevice(u"\\SDMMC\\Autorun\\Language\\ENG.LNG", SourceFile("data/Language/ENG.LNG"));
    WriteDevice(u"\\SDMMC\\Autorun\\Language\\Language.ini", "File_Language=ENG.LNG\r\n");
    return root.string();
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
