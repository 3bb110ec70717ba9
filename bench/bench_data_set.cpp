// Wall time of a whole data set with hydrodynamics: Gaussian springs without
// interaction (code 2, EPS = 0), N = 100, NCONFAVE = 2000 sampled
// conformations, one sweep between samples (NFREQ = 1), on 1 and on 2
// threads. Counters: the peak resident set of the process so far (MB), and
// the CPU time of the whole process per data set (s), which shows what the
// hand-over between threads costs beyond the serial work.
//
// BM_Control runs the same amount of plain arithmetic on 1 and on 2 threads:
// unless its 2-thread time is about half its 1-thread time, the machine did
// not have two free cores during the run and the data-set ratio says nothing
// about the code.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "bench/control.hpp"

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/run_data.hpp"

namespace {

bw::RunData data_set() {
    bw::RunData run;
    run.ICODE = 2;
    run.N = 100;
    run.NCONF = 2000;
    run.NCONFAVE = 2000;
    run.ISEED = 1357;
    run.IHYD = 1;
    run.NPR = 10;
    run.RMAX = 30.0f;
    run.HOOK = 3.0f;
    run.EPS = 0.0f;
    run.SIG = 1.0f;
    run.RCUT = 2.5f;
    run.RCUT2 = run.RCUT * run.RCUT;
    run.AMPL = 1.0f;
    run.NFREQ = run.NCONF / run.NCONFAVE;
    run.NCONFSUB = run.NCONFAVE / bw::NSUB;
    run.NPROG = run.NCONFAVE / 20;
    run.NPROP = 2 + 2 + run.NPR;
    return run;
}

rusage usage() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return use;
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); }

double cpu_seconds() {
    const rusage use = usage();
    return seconds(use.ru_utime) + seconds(use.ru_stime);
}

void BM_DataSet(benchmark::State& state) {
    const auto threads = static_cast<unsigned>(state.range(0));
    const double cpu0 = cpu_seconds();
    for (auto _ : state) {
        bw::RunData run = data_set();
        bw::NullSink console;
        const bw::DataSetOutcome out = bw::run_data_set(run, console, threads);
        benchmark::DoNotOptimize(out.PSTAT.data());
    }
    state.counters["process_cpu_s"] = (cpu_seconds() - cpu0) / static_cast<double>(state.iterations());
    state.counters["peak_RSS_MB"] = static_cast<double>(usage().ru_maxrss) / 1024.0;  // ru_maxrss in kB
    state.counters["conformations/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DataSet)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The same data set on a pool of 1 or 2 CPUs shared with other data sets
// (none here), as the executable runs it.
void BM_DataSetOnSharedPool(benchmark::State& state) {
    bw::HydroPool pool(static_cast<unsigned>(state.range(0)), [] { return std::make_unique<bw::RigidBeadHydro>(); });
    for (auto _ : state) {
        bw::RunData run = data_set();
        bw::NullSink console;
        const bw::DataSetOutcome out = bw::run_data_set(run, console, pool);
        benchmark::DoNotOptimize(out.PSTAT.data());
    }
}
BENCHMARK(BM_DataSetOnSharedPool)->ArgName("cpus")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Control(benchmark::State& state) { bench::harmonic_control(state); }
BENCHMARK(BM_Control)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
