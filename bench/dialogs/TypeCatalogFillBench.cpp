// The type catalogue opened on a huge damaged "WheelType.qav" (100 MB of
// random bytes: about 205,000 records of garbage names): the screen's refill,
// the file read and every row inserted, against the read alone. The refill
// must take about what the reading takes, not seconds more.
//
//   build/<dir>/bench/bench_dialogs --benchmark_filter=TypeCatalog
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "bench/support/BenchCard.h"
#include "dialogs/CatalogRecords.h"
#include "dialogs/TypeCatalogDlg.h"
#include "platform/WinUser.h"

namespace {

constexpr size_t kFileBytes = 100u * 1024u * 1024u;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The card with the damaged catalogue, laid out once for both benchmarks.
struct DamagedCatalogue {
    qbench::BenchRoot root{"catalogue"};
    DamagedCatalogue()
    {
        std::string bytes(kFileBytes, '\0');
        std::mt19937 random(26);
        for (char& b : bytes) b = static_cast<char>(random());
        qbench::WriteDevice(u"\\SDMMC\\Autorun\\WheelType.qav", bytes);
    }
};

DamagedCatalogue& Card()
{
    static DamagedCatalogue card;
    return card;
}

void TypeCatalogRead(benchmark::State& state)
{
    Card();
    CTypeRecords types;
    for (auto _ : state) {
        types.Load(false);
        benchmark::DoNotOptimize(types.Count());
    }
    state.counters["records"] = types.Count();
}

void TypeCatalogRefill(benchmark::State& state)
{
    Card();
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = u"QavCatalogueBench";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, u"QavCatalogueBench", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr,
                                nullptr, nullptr, nullptr);
    CTypeCatalogDlg screen;
    screen.FillList(host);
    for (auto _ : state) {
        screen.FillRows();
        benchmark::DoNotOptimize(screen.m_list.GetItemCount());
    }
    if (screen.m_list.GetItemCount() != screen.Count() || screen.Count() < 200000)
        state.SkipWithError("the list does not hold the catalogue");
    state.counters["rows"] = screen.m_list.GetItemCount();
    DestroyWindow(host);
}

}  // namespace

BENCHMARK(TypeCatalogRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(TypeCatalogRefill)->Unit(benchmark::kMillisecond)->Iterations(1);
