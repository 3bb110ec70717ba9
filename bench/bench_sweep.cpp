// Monte Carlo sweeps per second for each chain family at N = 20 and N = 100,
// with parameters of the interacting variants (hard spheres, Lennard-Jones,
// soft repulsion) and move sizes giving acceptance rates of common use.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "montecarlo/run_data.hpp"
#include "montecarlo/sampler.hpp"

namespace {

bw::RunData bench_run(std::int32_t icode, std::int32_t N) {
    bw::RunData run;
    run.ICODE = icode;
    run.N = N;
    run.ISEED = 12345;
    switch (icode) {
    case 1:  // RLHS
        run.DHS = 0.5f;
        run.DELTAPHI = 3.0f;
        break;
    case 2:  // GSLJ
        run.HOOK = 3.0f, run.EPS = 0.3f, run.SIG = 0.8f, run.RCUT = 2.0f, run.AMPL = 1.0f;
        break;
    default:  // SSSR
        run.HOOK = 100.0f, run.A = 10.0f, run.ALPHA = 3.0f, run.RCUT = 2.0f, run.AMPL = 0.4f;
        break;
    }
    run.RCUT2 = run.RCUT * run.RCUT;
    return run;
}

void BM_Sweep(benchmark::State& state) {
    bw::RunData run = bench_run(static_cast<std::int32_t>(state.range(0)), static_cast<std::int32_t>(state.range(1)));
    bw::Sampler sampler(run);
    sampler.start_subsample();
    for (int k = 0; k < 200; ++k) sampler.SWEEP();  // leave the initial chain behind
    const std::int64_t rejected = sampler.NREJ();
    for (auto _ : state) {
        sampler.SWEEP();
    }
    state.counters["sweeps/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["refused"] = static_cast<double>(sampler.NREJ() - rejected) /
                                (static_cast<double>(state.iterations()) * run.N);
}

BENCHMARK(BM_Sweep)
    ->ArgNames({"family", "N"})
    ->Args({1, 20})
    ->Args({1, 100})
    ->Args({2, 20})
    ->Args({2, 100})
    ->Args({3, 20})
    ->Args({3, 100});

}  // namespace

BENCHMARK_MAIN();
