// Wall time of a whole data set with hydrodynamics: Gaussian springs without
// interaction (code 2, EPS = 0), N = 100, NCONFAVE = 2000 sampled
// conformations, one sweep between samples (NFREQ = 1), on 1 and on 2
// threads. The peak resident set of the process so far is reported as a
// counter (MB): with the 2-thread run last it covers both.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>

#include "averaging/data_set_run.hpp"
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

double peak_rss_mb() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_maxrss) / 1024.0;  // ru_maxrss is in kB
}

void BM_DataSet(benchmark::State& state) {
    const auto threads = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        bw::RunData run = data_set();
        bw::NullSink console;
        const bw::DataSetOutcome out = bw::run_data_set(run, console, threads);
        benchmark::DoNotOptimize(out.PSTAT.data());
    }
    state.counters["peak_RSS_MB"] = peak_rss_mb();
    state.counters["conformations/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DataSet)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
