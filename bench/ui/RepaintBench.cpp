// A full repaint of the 480 x 272 screen as a typical screen of the program
// does it: the white panel, eight bitmap buttons with captions and a line of
// text, painted through the buffered context and composed into the screen.
//
//   build/<dir>/bench/bench_ui --benchmark_filter=FullRepaint
// The median must stay under 5 ms (200 full repaints a second).
#include <benchmark/benchmark.h>

#include "platform/Presenter.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "ui/BufferedDC.h"
#include "ui/OwnerButton.h"
#include "ui/PaintHelper.h"

namespace {

constexpr int kButtons = 8;
COwnerButton g_benchButtons[kButtons];
long g_paints = 0, g_items = 0;  // to show every iteration really repainted

LRESULT CALLBACK BenchProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        ++g_paints;
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        CBufferedDC* dc = new CBufferedDC(hdc, client);
        g_paintHelper.DrawPanel(hwnd, dc->m_hDC, 2.5f);
        g_paintHelper.DrawCaption(hwnd, dc->m_hDC, 65, 12, 0, u"Measuring parameters of the wheel profile", 20, 8,
                                  0x000000, TRUE, TRUE, 0);
        delete dc;
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM: {
        ++g_items;
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (COwnerButton& b : g_benchButtons)
            if (b.m_hWnd == dis->hwndItem) b.DrawItem(dis);
        return TRUE;
    }
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

HWND MakeScreen()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = BenchProc;
    wc.lpszClassName = u"QavRepaintBench";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"QavRepaintBench", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr,
                                nullptr, nullptr);
    const char16_t* captions[kButtons] = {u"Settings", u"Parameters", u"Data",   u"Journal",
                                          u"Measure",  u"Sensors",    u"Schemes", u"Exit"};
    for (int i = 0; i < kButtons; ++i) {
        int x = 10 + (i % 3) * 155, y = 60 + (i / 3) * 52;
        if (i >= 6) y = 224, x = 10 + (i - 6) * 320;
        g_benchButtons[i].Create(hwnd, nullptr, x, y, 141, 41, 100 + i, 210, 211, 212);
        g_benchButtons[i].SetCaption(captions[i], 0xFFFFFF, FALSE, FALSE, FALSE, 0, 0);
    }
    return hwnd;
}

void FullRepaint(benchmark::State& state)
{
    static HWND screen = MakeScreen();
    qplat::ProcessPendingMessages();
    g_paints = g_items = 0;
    for (auto _ : state) {
        InvalidateRect(screen, nullptr, FALSE);
        for (COwnerButton& b : g_benchButtons) InvalidateRect(b.m_hWnd, nullptr, FALSE);
        qplat::ProcessPendingMessages();
        qplat::Surface composed = qplat::ComposeScreen();
        benchmark::DoNotOptimize(composed.pixels.data());
    }
    state.counters["panels_per_iter"] = static_cast<double>(g_paints) / static_cast<double>(state.iterations());
    state.counters["buttons_per_iter"] = static_cast<double>(g_items) / static_cast<double>(state.iterations());
    state.counters["repaints_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                          benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(FullRepaint)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
