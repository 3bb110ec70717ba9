// Wall time of a whole study, run by the real executables: six data sets of
// about half a second each on one CPU (springs with Lennard-Jones beads, 60
// beads, no hydrodynamics, P(r)), run by beadwalks pinned to one CPU and on
// every CPU of the machine, and by beadwalks-mpi on one and on two ranks of
// one core each. Then the peak resident memory of beadwalks on a file of 100
// short data sets. Counters: peak_RSS_MB of the run (the largest process).
//
// BM_Control: the same plain arithmetic on 1 and on 2 threads; unless its
// 2-thread time is about half its 1-thread time, the machine did not have
// two free cores and the ratios say nothing about the code.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/control.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string data_set(int N, int NCONF, int NCONFAVE, int ISEED, int NPR) {
    return std::to_string(N) + "\n" + std::to_string(NCONF) + "\n" + std::to_string(NCONFAVE) + "\n" +
           std::to_string(ISEED) + "\n0\n" + std::to_string(NPR) + "\n12.0\n0.3\n0.8\n2.5\n3\n0.7\n";
}

// A scratch folder with the two data files and the dialogue answers.
struct Files {
    fs::path dir;
    Files() {
        char pattern[] = "/tmp/bench-study-XXXXXX";
        dir = mkdtemp(pattern);
        std::string six, hundred;
        for (int k = 0; k < 6; ++k) six += data_set(60, 80000, 1000, 101 + k, 20);
        for (int k = 0; k < 100; ++k) hundred += data_set(20 + k % 40, 4000, 200, 7 + k, 50);
        std::ofstream(dir / "six.dat") << six << "-1\n";
        std::ofstream(dir / "hundred.dat") << hundred << "-1\n";
        std::ofstream(dir / "six.ans") << "2\nsix.dat\nsix.out\n\n";
        std::ofstream(dir / "hundred.ans") << "2\nhundred.dat\nhundred.out\n\n";
    }
    ~Files() { fs::remove_all(dir); }
};

const Files& files() {
    static const Files f;
    return f;
}

// Runs `command` through the shell in the scratch folder; returns the peak
// resident memory (MB) of it and everything it started.
double run(const std::string& command) {
    const std::string cmd = "cd '" + files().dir.string() + "' && " + command + " > /dev/null 2>&1";
    const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1.0;
    int status = 0;
    rusage use{};
    wait4(pid, &status, 0, &use);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return static_cast<double>(use.ru_maxrss) / 1024.0;  // kB
}

void measure(benchmark::State& state, const std::string& command) {
    double peak = 0.0;
    for (auto _ : state) peak = run(command);
    state.counters["peak_RSS_MB"] = peak;
}

const std::string kExe = BEADWALKS_EXE;

void BM_Study(benchmark::State& state) {
    const std::string pin = state.range(0) == 1 ? "taskset -c 0 " : "";
    measure(state, pin + "'" + kExe + "' < six.ans");
}
BENCHMARK(BM_Study)->ArgName("cpus_1_or_all")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

#ifdef BEADWALKS_MPI_EXE
// One core per rank: Open MPI binds each rank to a core of its own.
void BM_StudyMpi(benchmark::State& state) {
    std::string launcher = "mpirun --quiet --bind-to core";
    if (geteuid() == 0) launcher += " --allow-run-as-root";
    measure(state, launcher + " -np " + std::to_string(state.range(0)) + " '" + BEADWALKS_MPI_EXE + "' < six.ans");
}
BENCHMARK(BM_StudyMpi)->ArgName("ranks")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

void BM_HundredDataSets(benchmark::State& state) { measure(state, "'" + kExe + "' < hundred.ans"); }
BENCHMARK(BM_HundredDataSets)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Control(benchmark::State& state) { bench::harmonic_control(state); }
BENCHMARK(BM_Control)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
