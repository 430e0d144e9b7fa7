// Filling a report list of n rows the way the program's lists fill
// themselves: one InsertItem per row at the end, a second column set on each,
// after the list was emptied. Insertion must cost the same at any length, so
// the time per row stays flat from 1k to 100k rows.
//
//   build/<dir>/bench/bench_ui --benchmark_filter=ListFill
#include <benchmark/benchmark.h>

#include <string>

#include "platform/WinUser.h"
#include "ui/ControlWrappers.h"

namespace {

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND Host()
{
    static HWND host = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = u"QavListFillBench";
        RegisterClassW(&wc);
        return CreateWindowExW(0, u"QavListFillBench", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr,
                               nullptr, nullptr, nullptr);
    }();
    return host;
}

void ListFill(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    CListViewCtl list;
    list.Create(Host(), nullptr, 239, 10, 100, 450, 115, TRUE, TRUE);
    list.InsertColumn(0, u"Name", LVCFMT_LEFT, 400, 0);
    list.InsertColumn(1, u"", LVCFMT_LEFT, 25, 1);
    std::u16string name = u"Type 000000";
    for (auto _ : state) {
        list.DeleteAllItems();
        for (int i = 0; i < rows; ++i) {
            name[5] = static_cast<char16_t>(u'0' + i % 10);
            list.InsertItem(i, name.c_str());
            if (i % 1000 == 0) list.SetItemText(i, 1, u"\u2022");
        }
        benchmark::DoNotOptimize(list.GetItemCount());
    }
    if (list.GetItemCount() != rows) state.SkipWithError("the list lost rows");
    state.counters["us_per_row"] = benchmark::Counter(
        static_cast<double>(rows) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    DestroyWindow(list.m_hWnd);
}

}  // namespace

BENCHMARK(ListFill)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
