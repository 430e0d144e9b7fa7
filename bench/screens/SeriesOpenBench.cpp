// The opening work of the measuring-series screen (the work of its first
// timer: the stored results cleared, the measured marks of every position
// from the current journal, the results of the measured positions recomputed
// into their slots, the value list, the scroll bar and the step buttons) on
// the largest train a scheme holds, 40 cars of 36 two-wheel axles (2880
// positions), over a journal of 1000 records of its positions (about 24 MB),
// the journal read included.
//
//   bench_screens --benchmark_filter=SeriesOpen
//
// The median must stay under 100 ms in a release build.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/BenchCard.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/WinUser.h"
#include "screens/SeriesDlg.h"
#include "settings/DBJournal_Qav.h"

namespace {

constexpr int kCars = SCHEME_MAX_CARS;
constexpr int kAxles = SCHEME_MAX_AXLES;
constexpr int kOrderType = 3;
constexpr int kJournalRecords = 1000;
constexpr const char16_t* kJournal = u"bench";

// The card of the bench: the settings of the wheel head along a scheme,
// with the journal of the series named.
struct SeriesRoot {
    qbench::BenchRoot root{"series"};
    SeriesRoot()
    {
        ParamBlock block{};
        CParamFile file;
        file.WriteDefaults(&block);
        block.deviceType = 1;
        block.measureMode = 0;
        qplat::CopyField(block.qavJournalName, PARAM_NAME_CHARS, kJournal);
        file.Save(&block);
    }
};

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// What the launcher leaves behind: the scheme loaded with its order, the
// record with the first position's names, and a journal that holds a
// measured record for 1000 of the positions.
struct SeriesSetUp {
    SeriesRoot root;
    std::unique_ptr<CScheme> scheme = std::make_unique<CScheme>();
    std::unique_ptr<CMeasureController> controller = std::make_unique<CMeasureController>();
    CLinkMonitor linkMonitor;
    std::unique_ptr<QavJournalRecord> record = std::make_unique<QavJournalRecord>();
    HWND host = nullptr;

    SeriesSetUp()
    {
        BuildDefaultScheme(scheme.get(), kCars, kAxles, kOrderType, 2);
        scheme->BuildOrder(kOrderType, kCars);
        qplat::CopyField(record->date, 10, u"09/12/26");
        std::vector<QavJournalRecord> journal(kJournalRecords);
        const int positions = scheme->orderCount;
        for (int k = 0; k < kJournalRecords; ++k) {
            QavJournalRecord& r = journal[static_cast<size_t>(k)];
            r = *record;
            scheme->SelectEntry(k * positions / kJournalRecords, -1);
            scheme->FillRecordNames(&r);
            for (int i = 0; i < 1200; ++i) r.profileZ[i] = 5000 + i;
            for (int word : {0, 1, 2, 6}) SetQavRecordValue(&r, word, 28000 + k + word);
        }
        CDBJournalQav file;
        file.GetCount(kJournal);
        file.WriteAll(kJournal, journal.data(), kJournalRecords, nullptr, -1);
        scheme->SelectEntry(0, -1);
        scheme->FillRecordNames(record.get());

        WNDCLASSW wc{};
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = u"SeriesBenchHost";
        RegisterClassW(&wc);
        host = CreateWindowExW(0, u"SeriesBenchHost", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr,
                               nullptr, nullptr);
    }
    ~SeriesSetUp()
    {
        if (host) DestroyWindow(host);
    }
};

void BM_SeriesOpen(benchmark::State& state)
{
    SeriesSetUp setUp;
    auto screen = std::make_unique<CSeriesDlg>();
    if (!screen->Prepare(nullptr, setUp.host, setUp.controller.get(), setUp.record.get(), nullptr,
                         setUp.scheme.get(), &setUp.linkMonitor)) {
        state.SkipWithError("the series screen could not be prepared");
        return;
    }
    // The screen's controls go on the host as they would on its dialog.
    screen->m_hWnd = setUp.host;
    screen->CreateControls();
    int measured = 0;
    for (auto _ : state) {
        if (!screen->StartSeries()) {
            state.SkipWithError("the journal could not be read");
            return;
        }
        measured = 0;
        for (int i = 0; i < setUp.scheme->orderCount; ++i)
            if (setUp.scheme->order[i].state & STATE_MEASURED) ++measured;
        benchmark::DoNotOptimize(measured);
    }
    if (measured != kJournalRecords) state.SkipWithError("the journal's positions were not all marked measured");
    if (setUp.controller->m_storedResults[setUp.scheme->orderCount - 1].values[0] == 0 &&
        setUp.controller->m_storedResults[0].values[0] == 0)
        state.SkipWithError("no stored result was recomputed");
    state.counters["positions"] = setUp.scheme->orderCount;
    state.counters["measured"] = measured;
}
BENCHMARK(BM_SeriesOpen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
