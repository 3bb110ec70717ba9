// Vectors of 32 and 64 bytes passed between inlined helpers: no ABI is
// involved, so the note about their calling convention is noise.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "montecarlo/pair_lanes.hpp"

#include <cmath>
#include <cstring>

// The lane kernels are written once (lane_kernels.inc) with the compiler's
// vector types and compiled once per instruction set: on x86-64 for SSE2 (the
// baseline every x86-64 processor has), AVX2 and AVX-512, chosen at run time.
// Elsewhere a GNU-compatible compiler gets the same code on 4-lane vectors of
// its own target; other compilers run the scalar reference loops.

#if defined(__GNUC__)
#define BW_HAVE_LANES 1
#else
#define BW_HAVE_LANES 0
#endif
#if BW_HAVE_LANES && defined(__x86_64__)
#define BW_LANES_X86 1
#include <immintrin.h>
#else
#define BW_LANES_X86 0
#endif

namespace bw {

namespace {

[[maybe_unused]] void set_bits(LaneMask& mask, std::int32_t k, std::uint64_t bits) {
    mask.w[static_cast<std::size_t>(k) / 64] |= bits << (k % 64);
}

// Clears the bits of lanes >= n.
[[maybe_unused]] void keep_first(LaneMask& mask, std::int32_t n) {
    for (std::size_t j = 0; j < mask.w.size(); ++j) {
        const std::int64_t room = std::int64_t{n} - static_cast<std::int64_t>(j) * 64;
        mask.w[j] &= room >= 64 ? ~std::uint64_t{0} : room <= 0 ? 0 : (std::uint64_t{1} << room) - 1;
    }
}

#if BW_HAVE_LANES

// Family 2: the lanes already hold the Lennard-Jones energies.
void finish_interactions(const GaussianSpringModel&, const LaneMask&, float*) {}

// Family 3: the lanes inside the cut-off hold the exponent of USR; A times
// its exp, with the scalar exp of USR.
void finish_interactions(const SoftSpringModel& model, const LaneMask& inside, float* E) {
    inside.for_each([&](std::int32_t k) { E[k] = model.A * std::exp(E[k]); });
}

#if BW_LANES_X86

namespace sse2 {
constexpr std::int32_t W = 4;
typedef float V __attribute__((vector_size(16)));
typedef std::int32_t M __attribute__((vector_size(16)));
inline std::uint64_t bits(M m) { return static_cast<std::uint32_t>(_mm_movemask_ps(reinterpret_cast<__m128>(m))); }
inline V vsqrt(V v) { return reinterpret_cast<V>(_mm_sqrt_ps(reinterpret_cast<__m128>(v))); }
#include "montecarlo/lane_kernels.inc"
}  // namespace sse2

// Everything defined between BW_TARGET_BEGIN and BW_TARGET_END is compiled
// for the named instruction set.
#define BW_PRAGMA(...) _Pragma(#__VA_ARGS__)
#if defined(__clang__)
#define BW_TARGET_BEGIN(isa) BW_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define BW_TARGET_END BW_PRAGMA(clang attribute pop)
#else
#define BW_TARGET_BEGIN(isa) BW_PRAGMA(GCC push_options) BW_PRAGMA(GCC target(isa))
#define BW_TARGET_END BW_PRAGMA(GCC pop_options)
#endif

BW_TARGET_BEGIN("avx2")
namespace avx2 {
constexpr std::int32_t W = 8;
typedef float V __attribute__((vector_size(32)));
typedef std::int32_t M __attribute__((vector_size(32)));
inline std::uint64_t bits(M m) {
    return static_cast<std::uint32_t>(_mm256_movemask_ps(reinterpret_cast<__m256>(m)));
}
inline V vsqrt(V v) { return reinterpret_cast<V>(_mm256_sqrt_ps(reinterpret_cast<__m256>(v))); }
#include "montecarlo/lane_kernels.inc"
}  // namespace avx2
BW_TARGET_END

BW_TARGET_BEGIN("avx512f,avx512dq")
namespace avx512 {
constexpr std::int32_t W = 16;
typedef float V __attribute__((vector_size(64)));
typedef std::int32_t M __attribute__((vector_size(64)));
inline std::uint64_t bits(M m) { return _mm512_movepi32_mask(reinterpret_cast<__m512i>(m)); }
inline V vsqrt(V v) { return reinterpret_cast<V>(_mm512_maskz_sqrt_ps(0xFFFF, reinterpret_cast<__m512>(v))); }
#include "montecarlo/lane_kernels.inc"
}  // namespace avx512
BW_TARGET_END

namespace generic = sse2;

#else  // GNU-compatible compiler, not x86-64

namespace generic {
constexpr std::int32_t W = 4;
typedef float V __attribute__((vector_size(16)));
typedef std::int32_t M __attribute__((vector_size(16)));
inline std::uint64_t bits(M m) {
    std::uint64_t b = 0;
    for (std::int32_t j = 0; j < W; ++j) b |= static_cast<std::uint64_t>(m[j] < 0) << j;
    return b;
}
inline V vsqrt(V v) {
    for (std::int32_t j = 0; j < W; ++j) v[j] = __builtin_sqrtf(v[j]);
    return v;
}
#include "montecarlo/lane_kernels.inc"
}  // namespace generic

#endif  // BW_LANES_X86

#endif  // BW_HAVE_LANES

// Kernels this build or processor lacks fall back to the generic lanes,
// which give the same floats.
[[maybe_unused]] SweepKernel runnable(SweepKernel kernel) {
    return kernel != SweepKernel::scalar && sweep_kernel_supported(kernel) ? kernel : SweepKernel::generic;
}

// Returns CALL evaluated with `isa` naming the namespace of the kernel to run.
#if BW_LANES_X86
#define BW_DISPATCH(kernel, CALL)                      \
    switch (runnable(kernel)) {                        \
    case SweepKernel::avx512: {                        \
        namespace isa = avx512;                        \
        return CALL;                                   \
    }                                                  \
    case SweepKernel::avx2: {                          \
        namespace isa = avx2;                          \
        return CALL;                                   \
    }                                                  \
    default: {                                         \
        namespace isa = generic;                       \
        return CALL;                                   \
    }                                                  \
    }
#elif BW_HAVE_LANES
#define BW_DISPATCH(kernel, CALL) \
    {                             \
        (void)(kernel);           \
        namespace isa = generic;  \
        return CALL;              \
    }
#endif

struct CpuKernels {
    bool avx2 = false, avx512 = false;
    CpuKernels() {
#if BW_LANES_X86
        avx2 = __builtin_cpu_supports("avx2");
        avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
#endif
    }
};

}  // namespace

bool sweep_kernel_supported(SweepKernel kernel) {
    static const CpuKernels cpu;  // the processor does not change while we run
    switch (kernel) {
    case SweepKernel::scalar:
        return true;
    case SweepKernel::generic:
        return BW_HAVE_LANES != 0;
    case SweepKernel::avx2:
        return cpu.avx2;
    case SweepKernel::avx512:
        return cpu.avx512;
    }
    return false;
}

SweepKernel best_sweep_kernel() {
    for (SweepKernel k : {SweepKernel::avx512, SweepKernel::avx2, SweepKernel::generic}) {
        if (sweep_kernel_supported(k)) return k;
    }
    return SweepKernel::scalar;
}

const char* sweep_kernel_name(SweepKernel kernel) {
    switch (kernel) {
    case SweepKernel::scalar:
        return "scalar";
    case SweepKernel::generic:
        return "generic";
    case SweepKernel::avx2:
        return "avx2";
    case SweepKernel::avx512:
        return "avx512";
    }
    return "?";
}

#if BW_HAVE_LANES

LaneMask overlap_lanes(SweepKernel kernel, const LaneChain& chain, const TrialPoint& T, float DHS2) {
    BW_DISPATCH(kernel, isa::overlap(chain, T, DHS2))
}

float energy_change_lanes(SweepKernel kernel, const GaussianSpringModel& model, const LaneChain& chain,
                          const TrialPoint& T, std::int32_t i, const float* old, float* E, LaneMask& changed) {
    BW_DISPATCH(kernel, isa::energy_change(model, chain, T, i, old, E, changed))
}

float energy_change_lanes(SweepKernel kernel, const SoftSpringModel& model, const LaneChain& chain,
                          const TrialPoint& T, std::int32_t i, const float* old, float* E, LaneMask& changed) {
    BW_DISPATCH(kernel, isa::energy_change(model, chain, T, i, old, E, changed))
}

#else  // no vector types: the sampler runs the scalar loops and never calls these

LaneMask overlap_lanes(SweepKernel, const LaneChain&, const TrialPoint&, float) { return {}; }
float energy_change_lanes(SweepKernel, const GaussianSpringModel&, const LaneChain&, const TrialPoint&, std::int32_t,
                          const float*, float*, LaneMask&) {
    return 0.0f;
}
float energy_change_lanes(SweepKernel, const SoftSpringModel&, const LaneChain&, const TrialPoint&, std::int32_t,
                          const float*, float*, LaneMask&) {
    return 0.0f;
}

#endif

}  // namespace bw
