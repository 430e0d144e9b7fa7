// Wheel journals of the size a depot's season produces (1000 records, about
// 24 MB): appending a record, replacing record 500, the axle's pair saves
// (two records appended, two replaced), and reading the journal whole,
// against one plain read of the same bytes.
//
//   bench_core --benchmark_filter=Journal
//
// Every save writes its roll-back file first (the records it overwrites and
// the ones it writes), then its records in place, then deletes the roll-back:
// a save costs the same whatever the journal's length (compare the /100 and
// /1000 runs). Reading all records should stay within twice the plain read.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/BenchCard.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/DBJournal_Qav.h"

namespace {

qbench::BenchRoot& Root()
{
    static qbench::BenchRoot root("journal");
    return root;
}

std::unique_ptr<QavJournalRecord> Record(int tag)
{
    auto rec = std::make_unique<QavJournalRecord>();
    std::memset(rec.get(), 0, sizeof(QavJournalRecord));
    qplat::CopyField(rec->date, 10, u"09/12/26");
    for (int i = 0; i < 1200; ++i) rec->profileZ[i] = tag * 7 + i;
    return rec;
}

// A journal of n records under a name of its own, made once per name.
std::u16string Journal(const char* kind, int n)
{
    Root();
    std::u16string name = qplat::FromUtf8(std::string(kind) + std::to_string(n));
    CDBJournalQav journal;
    if (journal.GetCount(name.c_str()) != n) {
        std::vector<QavJournalRecord> all(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) all[static_cast<size_t>(i)] = *Record(i);
        journal.WriteAll(name.c_str(), all.data(), n, nullptr, -1);
    }
    return name;
}

// Cuts the journal back to n records, untimed, as the program never does.
bool CutBack(const std::u16string& name, int n)
{
    const std::u16string path = u"\\SDMMC\\Autorun\\DB\\" + name + u".qav";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const unsigned long long size = static_cast<unsigned long long>(n) * QAV_RECORD_SIZE;
    LONG high = static_cast<LONG>(size >> 32);
    const bool cut = SetFilePointer(file, static_cast<LONG>(size & 0xFFFFFFFFull), &high, FILE_BEGIN) !=
                         INVALID_SET_FILE_POINTER &&
                     SetEndOfFile(file);
    return CloseHandle(file) && cut;
}

// One record appended; the journal is cut back again outside the timing so
// that it keeps its length.
void BM_JournalAppend(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto name = Journal("Append", n);
    CDBJournalQav journal;
    auto rec = Record(1);
    for (auto _ : state) {
        if (journal.Append(name.c_str(), rec.get()) != 1) state.SkipWithError("append failed");
        state.PauseTiming();
        if (!CutBack(name, n)) state.SkipWithError("cut back failed");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * QAV_RECORD_SIZE);
}
BENCHMARK(BM_JournalAppend)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_JournalReplace(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto name = Journal("Replace", n);
    CDBJournalQav journal;
    auto rec = Record(2);
    for (auto _ : state) {
        if (journal.Replace(name.c_str(), rec.get(), n / 2) != 1) state.SkipWithError("replace failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * QAV_RECORD_SIZE);
}
BENCHMARK(BM_JournalReplace)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The two wheels of an axle replaced as one.
void BM_JournalPairReplace(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto name = Journal("PairReplace", n);
    CDBJournalQav journal;
    auto left = Record(3);
    auto right = Record(4);
    for (auto _ : state) {
        if (journal.ReplacePair(name.c_str(), left.get(), n / 2, right.get(), n / 2 + 1) != 1)
            state.SkipWithError("pair replace failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * QAV_RECORD_SIZE);
}
BENCHMARK(BM_JournalPairReplace)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// A new axle's two records appended as one; the journal is cut back again
// outside the timing so that it keeps its length.
void BM_JournalPairAppend(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto name = Journal("PairAppend", n);
    CDBJournalQav journal;
    auto left = Record(3);
    auto right = Record(4);
    for (auto _ : state) {
        if (journal.AppendPair(name.c_str(), left.get(), right.get()) != 1) state.SkipWithError("pair append failed");
        state.PauseTiming();
        if (!CutBack(name, n)) state.SkipWithError("cut back failed");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * QAV_RECORD_SIZE);
}
BENCHMARK(BM_JournalPairAppend)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_JournalReadAll(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto name = Journal("Read", n);
    CDBJournalQav journal;
    std::vector<QavJournalRecord> all(static_cast<size_t>(n));
    for (auto _ : state) {
        const int count = journal.GetCount(name.c_str());
        if (count != n || journal.ReadAll(name.c_str(), all.data(), count) != 1) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(all.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n * QAV_RECORD_SIZE);
}
BENCHMARK(BM_JournalReadAll)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same bytes with one open, one read and one close.
void BM_JournalPlainRead(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto name = Journal("Read", n);
    const std::u16string path = u"\\SDMMC\\Autorun\\DB\\" + name + u".qav";
    std::vector<BYTE> bytes(static_cast<size_t>(n) * QAV_RECORD_SIZE);
    for (auto _ : state) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD got = 0;
        if (file == INVALID_HANDLE_VALUE || !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
            got != bytes.size())
            state.SkipWithError("plain read failed");
        CloseHandle(file);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n * QAV_RECORD_SIZE);
}
BENCHMARK(BM_JournalPlainRead)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
