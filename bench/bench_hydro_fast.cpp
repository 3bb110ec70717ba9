// One TRV (rigid-body hydrodynamics of one conformation) at N = 100 on one
// core, by the packed route (SPPTRF + SPPTRI, then pair sums over the packed
// inverse) and by the fast route (SPOTRF + STRSM + SSYRK and the 12 x 12 Gram
// matrix), each on the reference LAPACK/BLAS and on the system's LAPACK
// (OpenBLAS where installed), all in one run; and the single-precision flop
// rate of one core (SGEMM of order 300, and a tight loop of fused
// multiply-adds) against which the fast route is judged.
//
// How two LAPACKs meet in one process: the reference BLAS and LAPACK are
// loaded into a link-map namespace of their own (dlmopen), where they resolve
// only against each other. This program defines the five Fortran entry points
// that hydro/lapack.cpp calls; each forwards to the provider chosen for the
// running benchmark: the reference namespace, or the next definition in the
// normal search order, which is the system's LAPACK.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <immintrin.h>
#include <link.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "driver/records/record_sink.hpp"
#include "hydro/fast_gram.hpp"
#include "hydro/fast_supmat.hpp"
#include "hydro/fast_trv.hpp"
#include "hydro/hydro_model.hpp"
#include "hydro/hydro_workspace.hpp"
#include "hydro/trv.hpp"
#include "montecarlo/conformation.hpp"
#include "montecarlo/iniconf.hpp"

namespace {

using spptrf_t = void (*)(const char*, const int*, float*, int*, std::size_t);
using spotrf_t = void (*)(const char*, const int*, float*, const int*, int*, std::size_t);
using strsm_t = void (*)(const char*, const char*, const char*, const char*, const int*, const int*, const float*,
                         const float*, const int*, float*, const int*, std::size_t, std::size_t, std::size_t,
                         std::size_t);
using ssyrk_t = void (*)(const char*, const char*, const int*, const int*, const float*, const float*, const int*,
                         const float*, float*, const int*, std::size_t, std::size_t);
using sgemm_t = void (*)(const char*, const char*, const int*, const int*, const int*, const float*, const float*,
                         const int*, const float*, const int*, const float*, float*, const int*, std::size_t,
                         std::size_t);

struct Provider {
    spptrf_t spptrf = nullptr;
    spptrf_t spptri = nullptr;  // same signature
    spotrf_t spotrf = nullptr;
    strsm_t strsm = nullptr;
    ssyrk_t ssyrk = nullptr;
    sgemm_t sgemm = nullptr;
};

template <class F>
F symbol(void* handle, const char* name) {
    void* p = dlsym(handle, name);
    if (p == nullptr) {
        std::fprintf(stderr, "bench_hydro_fast: no %s (%s)\n", name, dlerror());
        std::exit(1);
    }
    return reinterpret_cast<F>(p);
}

Provider load(void* handle) {
    Provider p;
    p.spptrf = symbol<spptrf_t>(handle, "spptrf_");
    p.spptri = symbol<spptrf_t>(handle, "spptri_");
    p.spotrf = symbol<spotrf_t>(handle, "spotrf_");
    p.strsm = symbol<strsm_t>(handle, "strsm_");
    p.ssyrk = symbol<ssyrk_t>(handle, "ssyrk_");
    p.sgemm = symbol<sgemm_t>(handle, "sgemm_");
    return p;
}

Provider reference_provider() {
    const char* blas = "/usr/lib/x86_64-linux-gnu/blas/libblas.so.3";
    const char* lapack = "/usr/lib/x86_64-linux-gnu/lapack/liblapack.so.3";
    void* hb = dlmopen(LM_ID_NEWLM, blas, RTLD_NOW | RTLD_LOCAL);
    if (hb == nullptr) {
        std::fprintf(stderr, "bench_hydro_fast: cannot load %s (%s)\n", blas, dlerror());
        std::exit(1);
    }
    Lmid_t ns = 0;
    dlinfo(hb, RTLD_DI_LMID, &ns);
    void* hl = dlmopen(ns, lapack, RTLD_NOW | RTLD_LOCAL);
    if (hl == nullptr) {
        std::fprintf(stderr, "bench_hydro_fast: cannot load %s (%s)\n", lapack, dlerror());
        std::exit(1);
    }
    return load(hl);
}

// The LAPACK the dynamic loader finds by its usual name (the system's choice,
// or whatever LD_LIBRARY_PATH points at), run single-threaded.
Provider system_provider() {
    void* h = dlopen("liblapack.so.3", RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        std::fprintf(stderr, "bench_hydro_fast: cannot load liblapack.so.3 (%s)\n", dlerror());
        std::exit(1);
    }
    using set_threads_t = void (*)(int);
    if (auto set_threads = reinterpret_cast<set_threads_t>(dlsym(h, "openblas_set_num_threads"))) set_threads(1);
    return load(h);
}

// The providers, set once in main; `active` is switched by each benchmark
// before its timed loop. File-local state of this harness only: the Fortran
// entry points below have no other way to learn the choice.
Provider system_lapack;
Provider reference_lapack;
const Provider* active = &system_lapack;

}  // namespace

extern "C" {
void spptrf_(const char* u, const int* n, float* ap, int* info, std::size_t l) { active->spptrf(u, n, ap, info, l); }
void spptri_(const char* u, const int* n, float* ap, int* info, std::size_t l) { active->spptri(u, n, ap, info, l); }
void spotrf_(const char* u, const int* n, float* a, const int* lda, int* info, std::size_t l) {
    active->spotrf(u, n, a, lda, info, l);
}
void strsm_(const char* s, const char* u, const char* t, const char* d, const int* m, const int* n, const float* al,
            const float* a, const int* lda, float* b, const int* ldb, std::size_t l1, std::size_t l2, std::size_t l3,
            std::size_t l4) {
    active->strsm(s, u, t, d, m, n, al, a, lda, b, ldb, l1, l2, l3, l4);
}
void ssyrk_(const char* u, const char* t, const int* n, const int* k, const float* al, const float* a, const int* lda,
            const float* be, float* c, const int* ldc, std::size_t l1, std::size_t l2) {
    active->ssyrk(u, t, n, k, al, a, lda, be, c, ldc, l1, l2);
}
}

namespace {

constexpr std::int32_t NBEADS = 100;

// A self-avoiding walk of 100 unit steps, the kind of chain the sampler
// starts from, as a rigid model of beads of radius 0.257 (the live call).
struct Model {
    std::array<float, bw::MAXBEADS * 3> COORD{};
    std::array<float, bw::MAXBEADS> RAD{};
    std::vector<float> AP = std::vector<float>(50000);
    bw::HydroModel m;
    Model() {
        bw::Conformation conf;
        std::int32_t ISEED = 12345;
        bw::INICONF(NBEADS, ISEED, conf);
        for (std::int32_t i = 0; i < NBEADS; ++i) {
            COORD[i] = conf.x[i];
            COORD[i + bw::MAXBEADS] = conf.y[i];
            COORD[i + 2 * bw::MAXBEADS] = conf.z[i];
            RAD[i] = 0.257f;
        }
        m.IND = 1;
        m.LDC = bw::MAXBEADS;
        m.N = NBEADS;
        m.COORD = COORD.data();
        m.RAD = RAD.data();
        m.NAP = static_cast<std::int32_t>(AP.size());
        m.AP = AP.data();
    }
};

// Useful work of the fast route at order n = 3N: Cholesky n^3/3, triangular
// solve with 12 right-hand sides 12 n^2, rank-n update of a 12 x 12 triangle
// 78 * 2n.
double fast_route_flops(double n) { return n * n * n / 3.0 + 12.0 * n * n + 156.0 * n; }

void run_trv(benchmark::State& state, const Provider& lapack, bool fast) {
    active = &lapack;
    Model model;
    bw::HydroWorkspace ws;
    bw::FastWork fw;
    bw::CapturingSink console;
    for (auto _ : state) {
        bw::TRV(model.m, ws, console, fast ? &fw : nullptr);
        benchmark::ClobberMemory();  // the results stay in ws
    }
    if (!console.records.empty()) state.SkipWithError("the hydrodynamic stages reported a failure");
    char label[64];
    std::snprintf(label, sizeof label, "DT=%.6g ETA=%.6g", ws.res.DT, ws.res.ETA);
    state.SetLabel(label);
    if (fast)
        state.counters["flops"] =
            benchmark::Counter(fast_route_flops(3.0 * NBEADS), benchmark::Counter::kIsIterationInvariantRate);
    active = &system_lapack;
}

void BM_TRV_packed_reference_lapack(benchmark::State& s) { run_trv(s, reference_lapack, false); }
void BM_TRV_packed_system_lapack(benchmark::State& s) { run_trv(s, system_lapack, false); }
void BM_TRV_fast_reference_lapack(benchmark::State& s) { run_trv(s, reference_lapack, true); }
void BM_TRV_fast_system_lapack(benchmark::State& s) { run_trv(s, system_lapack, true); }

// The Cholesky factorisation of the fast route alone (system LAPACK).
void BM_SPOTRF_300_system_lapack(benchmark::State& state) {
    Model model;
    bw::FastWork fw;
    const int n = 3 * NBEADS;
    bw::fast_supermatrix(model.m, fw);
    const std::vector<float> A(fw.A.begin(), fw.A.begin() + n * n);
    for (auto _ : state) {
        std::copy(A.begin(), A.end(), fw.A.begin());
        int info = 0;
        system_lapack.spotrf("L", &n, fw.A.data(), &n, &info, 1);
        benchmark::DoNotOptimize(info);
    }
    state.counters["flops"] =
        benchmark::Counter(double(n) * n * n / 3.0, benchmark::Counter::kIsIterationInvariantRate);
}

// Building the full supermatrix of the fast route alone.
void BM_supermatrix_full(benchmark::State& state) {
    Model model;
    bw::FastWork fw;
    for (auto _ : state) {
        bw::fast_supermatrix(model.m, fw);
        benchmark::DoNotOptimize(fw.A.data());
    }
}

// Flop rate of one core: SGEMM C := A B + C of order 300 (system BLAS).
void BM_SGEMM_300_system_blas(benchmark::State& state) {
    const int n = 300;
    std::vector<float> a(n * n, 0.5f), b(n * n, 0.25f), c(n * n, 0.0f);
    const float one = 1.0f;
    for (auto _ : state) {
        system_lapack.sgemm("N", "N", &n, &n, &n, &one, a.data(), &n, b.data(), &n, &one, c.data(), &n, 1, 1);
        benchmark::DoNotOptimize(c.data());
    }
    state.counters["flops"] = benchmark::Counter(2.0 * n * n * n, benchmark::Counter::kIsIterationInvariantRate);
}

// Peak of one core: independent chains of fused multiply-adds on 16-float
// vectors, enough of them to hide the latency.
constexpr int CHAINS = 12;

// noipa: the loop must run on every call, not be folded as a pure function.
[[gnu::noipa, gnu::target("avx512f")]] float fma_loop_avx512(std::int64_t iters) {
    __m512 acc[CHAINS];
    for (int j = 0; j < CHAINS; ++j) acc[j] = _mm512_set1_ps(float(j));
    const __m512 x = _mm512_set1_ps(0.999999f), y = _mm512_set1_ps(1e-7f);
    for (std::int64_t i = 0; i < iters; ++i) {
#pragma GCC unroll 16  // the chains must live in registers, not in memory
        for (int j = 0; j < CHAINS; ++j) acc[j] = _mm512_fmadd_ps(acc[j], x, y);
    }
    __m512 s = acc[0];
    for (int j = 1; j < CHAINS; ++j) s = _mm512_add_ps(s, acc[j]);
    alignas(64) float v[16];
    _mm512_store_ps(v, s);
    return v[0] + v[15];
}

void BM_FMA_peak(benchmark::State& state) {
    if (!__builtin_cpu_supports("avx512f")) {
        state.SkipWithError("no AVX-512 here: take the SGEMM rate as the flop limit");
        return;
    }
    const std::int64_t iters = 100000;
    [[maybe_unused]] volatile float sink = 0.0f;  // keeps the loop alive (DoNotOptimize mishandles floats)
    for (auto _ : state) sink = fma_loop_avx512(iters);
    state.counters["flops"] =
        benchmark::Counter(2.0 * 16.0 * CHAINS * double(iters), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_TRV_packed_reference_lapack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TRV_packed_system_lapack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TRV_fast_reference_lapack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TRV_fast_system_lapack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SPOTRF_300_system_lapack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_supermatrix_full)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SGEMM_300_system_blas)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FMA_peak)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    system_lapack = system_provider();
    reference_lapack = reference_provider();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
