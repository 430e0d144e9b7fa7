// Opening the journal browser on a journal of a depot's season (1000 wheel
// records with their profiles, about 24 MB) until the first list is drawn:
// the journal read whole, the tolerance set and the reference profile loaded
// and evaluated, the list of 1000 rows filled, row 0 evaluated against the
// reference with its results table, the screen painted and composed.
//
//   build/<dir>/bench/bench_journal --benchmark_filter=Browser
// The median must stay under 200 ms in a release build.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "journal/JournalViewDlg.h"
#include "measurement/ReferStore.h"
#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/WinUser.h"
#include "settings/DBJournal_Qav.h"
#include "settings/ParamFile.h"
#include "tools/profilegen/ProfileGen.h"
#include "bench/support/BenchCard.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 1000;

std::vector<ProfilePoint> Wheel(double thinningUm)
{
    profilegen::WheelShape shape;
    shape.flangeThinningUm = thinningUm;
    const auto profile = profilegen::S1002Profile(50.0, shape);
    std::vector<ProfilePoint> points;
    for (size_t i = 0; i < profile.size() && points.size() < kMaxProfilePoints; ++i)
        points.push_back({1000 + static_cast<LONG>(50 * i), static_cast<LONG>(std::lround(profile[i].z))});
    return points;
}

// A card with the delivered language files, settings naming the journal and
// the reference, the reference file and a journal of 1000 records.
std::string MakeCard()
{
    const std::string root = qbench::MakeCard("qav5-browser-bench");
    fs::create_directories(qplat::HostPath(u"\\SDMMC\\Autorun\\DB"));
    fs::create_directories(qplat::HostPath(u"\\SDMMC\\Autorun\\Refer"));

    ParamBlock block;
    std::memset(&block, 0, sizeof block);
    CParamFile file;
    file.WriteDefaults(&block);
    qplat::CopyField(block.qavJournalName, PARAM_NAME_CHARS, u"Season");
    qplat::CopyField(block.qavReferName, PARAM_NAME_CHARS, u"S1002");
    file.Save(&block);
    const auto reference = Wheel(0.0);
    CReferStore().Write(u"S1002", reference.data(), static_cast<DWORD>(reference.size()), 1);

    std::vector<QavJournalRecord> records(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        QavJournalRecord& r = records[static_cast<size_t>(i)];
        std::memset(&r, 0, sizeof r);
        const std::u16string number = qplat::FromUtf8(std::to_string(1000 + i / 8));
        qplat::CopyField(r.date, 10, i < 500 ? u"01/12/26" : u"02/12/26");
        qplat::CopyField(r.carName, 20, u"Coach");
        qplat::CopyField(r.carNumber, 20, number.c_str());
        qplat::CopyField(r.axleName, 10, qplat::FromUtf8(std::to_string(1 + (i / 2) % 4)).c_str());
        qplat::CopyField(r.side, 2, i % 2 ? u"1" : u"0");
        qplat::CopyField(r.wheelName, 13, u"W");
        const auto points = Wheel(20.0 * (i % 50));
        StoreQavProfile(&r, points.data(), static_cast<DWORD>(points.size()), 500);
    }
    CDBJournalQav journal;
    journal.GetCount(u"Season");
    journal.WriteAll(u"Season", records.data(), kRecords);
    return root;
}

// Ends the browser once its list has been drawn and the screen composed.
using Clock = std::chrono::steady_clock;
Clock::time_point g_drawn;
int g_rows = 0;

LRESULT CALLBACK ActionProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_APP) return DefWindowProcW(hwnd, msg, wParam, lParam);
    HWND browser = GetActiveWindow();
    UpdateWindow(browser);
    HWND list = GetDlgItem(browser, CJournalViewDlg::kRecordListId);
    UpdateWindow(list);
    qplat::Surface screen = qplat::ComposeScreen();
    benchmark::DoNotOptimize(screen.pixels.data());
    g_drawn = Clock::now();
    g_rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    PostMessageW(browser, WM_CLOSE, 0, 0);
    return 0;
}

void BM_BrowserOpenToFirstDrawnList(benchmark::State& state)
{
    const std::string root = MakeCard();
    qplat::StartPresenter(qplat::PresenterKind::Headless);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ActionProc;
    wc.lpszClassName = u"QavBrowserBench";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, u"QavBrowserBench", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr,
                                 nullptr, nullptr);
    qplat::ProcessPendingMessages();
    for (auto _ : state) {
        // The posted action runs once the dialog's own loop is running, after
        // the dialog was built.
        PostMessageW(owner, WM_APP, 0, 0);
        const auto start = Clock::now();
        RunScreen<CJournalViewDlg>(nullptr, owner);
        state.SetIterationTime(std::chrono::duration<double>(g_drawn - start).count());
        if (g_rows != kRecords) {
            state.SkipWithError("the list does not hold every record");
            break;
        }
    }
    DestroyWindow(owner);
    qplat::StopPresenter();
    fs::remove_all(root);
}

}  // namespace

BENCHMARK(BM_BrowserOpenToFirstDrawnList)
    ->Name("Browser/OpenToFirstDrawnList/1000")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
