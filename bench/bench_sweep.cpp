// Monte Carlo sweeps per second for each chain family at N = 20 and N = 100,
// with parameters of the interacting variants (hard spheres, Lennard-Jones,
// soft repulsion) and move sizes giving acceptance rates of common use. Each
// case runs with the straightforward scalar pair loop (the baseline) and the
// lane passes for the baseline instruction set, AVX2 and AVX-512; all give the
// same trajectory, which the benchmark checks before it times anything.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "montecarlo/conformation.hpp"
#include "montecarlo/pair_lanes.hpp"
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

// kernel argument: 0 scalar baseline, 1 generic lanes, 2 AVX2, 3 AVX-512.
bw::SweepKernel kernel_of(std::int64_t arg) {
    constexpr bw::SweepKernel kernels[] = {bw::SweepKernel::scalar, bw::SweepKernel::generic, bw::SweepKernel::avx2,
                                           bw::SweepKernel::avx512};
    return kernels[arg];
}

// The chain after 200 sweeps, with NREJ and the stream state.
struct Warmed {
    bw::Conformation conf;
    std::int64_t nrej;
    std::int32_t seed;
};
Warmed warm(bw::Sampler& sampler, const bw::RunData& run) {
    sampler.start_subsample();
    for (int k = 0; k < 200; ++k) sampler.SWEEP();  // leave the initial chain behind
    Warmed w;
    sampler.copy_to(w.conf);
    w.nrej = sampler.NREJ();
    w.seed = run.ISEED;
    return w;
}

void BM_Sweep(benchmark::State& state) {
    const auto icode = static_cast<std::int32_t>(state.range(0));
    const auto N = static_cast<std::int32_t>(state.range(1));
    const bw::SweepKernel kernel = kernel_of(state.range(2));
    if (!bw::sweep_kernel_supported(kernel)) {
        state.SkipWithError("this processor lacks the kernel");
        return;
    }
    bw::RunData run = bench_run(icode, N);
    bw::Sampler sampler(run, kernel);
    const Warmed w = warm(sampler, run);
    bw::RunData reference_run = bench_run(icode, N);
    bw::Sampler reference(reference_run, bw::SweepKernel::scalar);
    const Warmed r = warm(reference, reference_run);
    if (w.conf.x != r.conf.x || w.conf.y != r.conf.y || w.conf.z != r.conf.z || w.nrej != r.nrej || w.seed != r.seed) {
        state.SkipWithError("trajectory differs from the scalar loop");
        return;
    }
    state.SetLabel(bw::sweep_kernel_name(kernel));
    const std::int64_t rejected = sampler.NREJ();
    for (auto _ : state) {
        sampler.SWEEP();
    }
    state.counters["sweeps/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["refused"] = static_cast<double>(sampler.NREJ() - rejected) /
                                (static_cast<double>(state.iterations()) * run.N);
}

BENCHMARK(BM_Sweep)->ArgNames({"family", "N", "kernel"})->ArgsProduct({{1, 2, 3}, {20, 100}, {0, 1, 2, 3}});

}  // namespace

BENCHMARK_MAIN();
