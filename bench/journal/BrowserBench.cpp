// Opening the journal browser on a journal of a depot's season (1000 wheel
// records with their profiles, about 24 MB) until the first list is drawn:
// the journal read whole, the tolerance set and the reference profile loaded
// and evaluated, the list of 1000 rows filled, row 0 evaluated against the
// reference with its results table, the screen painted and composed.
//
//   build/<dir>/bench/bench_journal --benchmark_filter=Browser
// Two figures: warm openings in one process, and the first opening in a
// fresh process with the journal not in the page cache. The median of either
// must stay under 200 ms in a release build on a quiet machine.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/journal/BrowserOpening.h"
#include "measurement/ReferStore.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
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
    journal.WriteAll(u"Season", records.data(), kRecords, nullptr, -1);
    return root;
}

void BM_BrowserOpenToFirstDrawnList(benchmark::State& state)
{
    const std::string root = MakeCard();
    qplat::StartPresenter(qplat::PresenterKind::Headless);
    HWND owner = qbench::MakeBrowserOwner();
    for (auto _ : state) {
        const qbench::BrowserOpening opening = qbench::OpenBrowser(owner);
        state.SetIterationTime(opening.seconds);
        if (opening.rows != kRecords) {
            state.SkipWithError("the list does not hold every record");
            break;
        }
    }
    DestroyWindow(owner);
    qplat::StopPresenter();
    fs::remove_all(root);
}

// Writes the journal's cached pages to the card and drops them from the page
// cache, without rights: dd's "nocache" hands the whole file to the kernel's
// don't-need advice after syncing it.
bool DropFromPageCache(const std::string& hostPath)
{
    const std::string command =
        "dd of=\"" + hostPath + "\" oflag=nocache conv=notrunc,fdatasync count=0 status=none 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// The first opening: a fresh process (bench_journal_first_open) whose fonts,
// bitmaps, language and code are cold, on the journal dropped from the page
// cache before each run, as when the operator opens the browser after the
// card was put in.
void BM_BrowserFirstOpening(benchmark::State& state)
{
    const std::string root = MakeCard();
    const std::string journal = qplat::HostPath(u"\\SDMMC\\Autorun\\DB\\Season.qav");
    const std::string result = root + "-first-opening.txt";
    const std::string command = std::string("\"") + QAV5_FIRST_OPEN_PROGRAM + "\" \"" + root + "\" \"" + result + "\"";
    for (auto _ : state) {
        if (!DropFromPageCache(journal)) {
            state.SkipWithError("the journal could not be dropped from the page cache");
            break;
        }
        fs::remove(result);
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the first opening did not run");
            break;
        }
        std::ifstream in(result);
        double seconds = 0;
        int rows = 0;
        in >> seconds >> rows;
        if (!in || rows != kRecords) {
            state.SkipWithError("the list does not hold every record");
            break;
        }
        state.SetIterationTime(seconds);
    }
    fs::remove(result);
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

BENCHMARK(BM_BrowserFirstOpening)
    ->Name("Browser/FirstOpeningFreshProcessColdFile/1000")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
