// What checkpoints cost a run, in this process with the executable's own
// runner and executor: a study of four data sets of 100 beads with P(r) of
// 1000 intervals (two with hydrodynamics), about 2.5 s each on two CPUs, run
// with checkpoints and without,
// the checkpoints as beadwalks writes them (every 30 s, and when a data set
// ends); the same with a checkpoint every second, which gives the cost of one
// with data sets in flight; and the largest checkpoint of a file of 100 data
// sets with NPR = 1000.
//
// Counters: checkpoints written; ckpt_s, the seconds from asking for the
// states to the file on disk, summed; ckpt_percent, that share of the wall
// time; per_ckpt_ms; percent_at_30s, the share one checkpoint every 30 s
// costs; largest_kB, the largest checkpoint file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/control.hpp"
#include "driver/data_set_runner.hpp"
#include "driver/run_files.hpp"

namespace {

namespace fs = std::filesystem;

std::string data_set(int N, int NCONF, int NCONFAVE, int ISEED, int IHYD, int NPR) {
    return std::to_string(N) + "\n" + std::to_string(NCONF) + "\n" + std::to_string(NCONFAVE) + "\n" +
           std::to_string(ISEED) + "\n" + std::to_string(IHYD) + "\n" + std::to_string(NPR) +
           "\n40.0\n0.3\n0.8\n2.5\n3\n0.7\n";
}

struct Files {
    fs::path dir;
    Files() {
        char pattern[] = "/tmp/bench-checkpoint-XXXXXX";
        dir = mkdtemp(pattern);
        std::string study, hundred;
        for (int k = 0; k < 4; ++k) study += data_set(100, 150000, 1500, 11 + k, k % 2, 1000);
        for (int k = 0; k < 100; ++k) hundred += data_set(20 + k % 80, 4000, 200, 7 + k, k % 3 == 0, 1000);
        std::ofstream(dir / "study.dat") << study << "-1\n";
        std::ofstream(dir / "hundred.dat") << hundred << "-1\n";
    }
    ~Files() { fs::remove_all(dir); }
};

const Files& files() {
    static const Files f;
    return f;
}

bw::CheckpointStats run(const std::string& name, bool checkpoints, std::chrono::milliseconds interval) {
    const fs::path in = files().dir / (name + ".dat"), out = files().dir / (name + ".out");
    static const auto runner = bw::makeDataSetRunner();
    bw::ThreadExecutor executor(*runner, std::max(runner->concurrency(), 1u));
    std::ostringstream console;
    bw::RunStreams streams(console);
    bw::CheckpointStats stats;
    bw::CheckpointOptions options{checkpoints, nullptr, nullptr, interval, &stats};
    const int status = bw::run_files(streams, {2, in.string(), out.string()}, {&executor, nullptr}, nullptr, options);
    if (status != 0) std::fprintf(stderr, "the run of %s ended with status %d\n", name.c_str(), status);
    return stats;
}

void report(benchmark::State& state, const bw::CheckpointStats& s, double wall) {
    state.counters["checkpoints"] = static_cast<double>(s.written);
    state.counters["ckpt_s"] = s.seconds;
    state.counters["ckpt_percent"] = wall > 0 ? 100.0 * s.seconds / wall : 0.0;
    const double per = s.written > 0 ? s.seconds / static_cast<double>(s.written) : 0.0;
    state.counters["per_ckpt_ms"] = 1000.0 * per;
    state.counters["percent_at_30s"] = 100.0 * per / 30.0;
    state.counters["largest_kB"] = static_cast<double>(s.largest_bytes) / 1024.0;
}

void timed(benchmark::State& state, const std::string& name, bool checkpoints, std::chrono::milliseconds interval) {
    bw::CheckpointStats stats;
    double wall = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        stats = run(name, checkpoints, interval);
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    report(state, stats, wall);
}

// Without and with the checkpoints of beadwalks, one after the other.
void BM_Study(benchmark::State& state) { timed(state, "study", state.range(0) != 0, std::chrono::seconds(30)); }
BENCHMARK(BM_Study)->ArgName("checkpoints")->Arg(0)->Arg(1)->Arg(0)->Arg(1)->UseRealTime()
    ->Unit(benchmark::kMillisecond)->Iterations(1);

// A checkpoint every second: the cost of one with two data sets in flight.
void BM_StudyEverySecond(benchmark::State& state) { timed(state, "study", true, std::chrono::seconds(1)); }
BENCHMARK(BM_StudyEverySecond)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// 100 short data sets of NPR = 1000: without and with the checkpoints of
// beadwalks (one as each data set ends, as often as their cost allows), and
// written every 200 ms for the largest checkpoint such a file makes.
void BM_HundredDataSets(benchmark::State& state) {
    const std::chrono::milliseconds every = state.range(0) == 2 ? std::chrono::milliseconds(200) : std::chrono::seconds(30);
    timed(state, "hundred", state.range(0) != 0, every);
}
BENCHMARK(BM_HundredDataSets)->ArgName("checkpoints_0_1_often2")->Arg(0)->Arg(1)->Arg(0)->Arg(1)->Arg(2)
    ->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Control(benchmark::State& state) { bench::harmonic_control(state); }
BENCHMARK(BM_Control)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
