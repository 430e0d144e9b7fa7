// The cold start of the measuring application, seen from outside: from
// starting the process to the first composed frame of the start screen, on a
// prepared card, headless. The program's script writes a snapshot to its
// standard output, a pipe, at its first idle moment, when the start screen is
// up and painted; the first byte of it ends the measurement (what follows, the
// rest of the picture and the program's end, is not timed). For comparison,
// the start of the same program that only prints its usage (--help).
//
//   build/release/bench/bench_shell --benchmark_filter=ColdStart
// The median start to the first frame must stay under 100 ms in a release
// build on a quiet machine.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/support/BenchCard.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Starts the program with `args`, its standard output into a pipe, standard
// error to /dev/null; the seconds until the first byte of output arrives (or
// the output closes), or -1 when it could not be started.
double SecondsToFirstOutput(const std::vector<std::string>& args)
{
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return -1;
    }
    pollfd p{out[0], POLLIN, 0};
    while (::poll(&p, 1, -1) < 0) {
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    char buffer[65536];
    while (::read(out[0], buffer, sizeof buffer) > 0) {
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

void Measure(benchmark::State& state, const std::vector<std::string>& args)
{
    for (auto _ : state) {
        const double seconds = SecondsToFirstOutput(args);
        if (seconds < 0) {
            state.SkipWithError("the program did not start and end cleanly");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_ColdStartToFirstFrame(benchmark::State& state)
{
    const std::string root = qbench::MakeCard("qav5-coldstart-bench");
    const std::string script = root + "-first-frame.txt";
    std::ofstream(script) << "snapshot /dev/stdout\nquit\n";
    // A first run lays out what a first start writes (settings, registry), so
    // every measured start is the start of a program that has run before.
    SecondsToFirstOutput({QAV5_PROGRAM, "--headless", "--root", root, "--script", script});
    Measure(state, {QAV5_PROGRAM, "--headless", "--root", root, "--script", script});
    fs::remove_all(root);
    fs::remove(script);
}
BENCHMARK(BM_ColdStartToFirstFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ColdStartHelpOnly(benchmark::State& state)
{
    Measure(state, {QAV5_PROGRAM, "--help"});
}
BENCHMARK(BM_ColdStartHelpOnly)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
