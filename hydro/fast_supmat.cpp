#include "hydro/fast_supmat.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "hydro/supmat.hpp"

namespace bw {

namespace {

// Scalars of the non-overlapping pair formula for bead J with the beads
// I = I0 .. I0 + count - 1 (all above J): d = r_J - r_I, r, and the
// coefficients A and B of BLK = 6 (A I + B d d^T), with
// Q = IND (aI^2 + aJ^2) / r^2, A = (1 + Q/3) / (8 r), B = (1 - Q) / (8 r^3),
// every operation in the order pair_block performs it. Compiled for the
// widest vectors the processor offers; IEEE single-precision square roots
// and divisions are correctly rounded in every vector width, so each version
// gives the same floats.
constexpr std::int32_t CHUNK = 128;
struct PairChunk {
    std::array<float, CHUNK> d0, d1, d2, r, A, B;
};

[[gnu::always_inline]] inline void pair_chunk_body(std::int32_t J, std::int32_t I0, std::int32_t count,
                                                   const float* x, const float* y, const float* z, const float* rad,
                                                   float ind, PairChunk& c)
{
    const float xj = x[J], yj = y[J], zj = z[J], aJ = rad[J];
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t I = I0 + i;
        const float d0 = xj - x[I];
        const float d1 = yj - y[I];
        const float d2 = zj - z[I];
        const float r2 = d0 * d0 + d1 * d1 + d2 * d2;
        const float r = std::sqrt(r2);
        const float aI = rad[I];
        const float Q = ind * (aI * aI + aJ * aJ) / r2;
        c.A[i] = (1.0f + Q / 3.0f) / (8.0f * r);
        c.B[i] = (1.0f - Q) / (8.0f * (r * r * r));
        c.d0[i] = d0;
        c.d1[i] = d1;
        c.d2[i] = d2;
        c.r[i] = r;
    }
}

// Rows 3I + a of column 3J + b for the beads of the chunk (col points at
// row 3 I0): 6 ((a == b ? A : 0) + B d_a d_b), B d_a formed first as in
// pair_block.
template <int b>
[[gnu::always_inline]] inline void store_chunk_body(std::int32_t count, const PairChunk& c, float* col)
{
    const float* db = b == 0 ? c.d0.data() : b == 1 ? c.d1.data() : c.d2.data();
    for (std::int32_t i = 0; i < count; ++i) {
        col[3 * i + 0] = 6.0f * ((b == 0 ? c.A[i] : 0.0f) + c.B[i] * c.d0[i] * db[i]);
        col[3 * i + 1] = 6.0f * ((b == 1 ? c.A[i] : 0.0f) + c.B[i] * c.d1[i] * db[i]);
        col[3 * i + 2] = 6.0f * ((b == 2 ? c.A[i] : 0.0f) + c.B[i] * c.d2[i] * db[i]);
    }
}

// The two loops compiled once per instruction set (the bodies are inlined
// into each), and chosen once through function pointers: a resolver run by
// the dynamic loader (target_clones) would run before a sanitizer's runtime
// is ready.
struct ChunkKernels {
    void (*pair)(std::int32_t, std::int32_t, std::int32_t, const float*, const float*, const float*, const float*,
                 float, PairChunk&);
    void (*store0)(std::int32_t, const PairChunk&, float*);
    void (*store1)(std::int32_t, const PairChunk&, float*);
    void (*store2)(std::int32_t, const PairChunk&, float*);
};

#define BW_CHUNK_KERNELS(NAME, ATTR)                                                                          \
    ATTR void pair_##NAME(std::int32_t J, std::int32_t I0, std::int32_t count, const float* x, const float* y, \
                          const float* z, const float* rad, float ind, PairChunk& c) {                         \
        pair_chunk_body(J, I0, count, x, y, z, rad, ind, c);                                                   \
    }                                                                                                          \
    template <int b>                                                                                           \
    ATTR void store_##NAME(std::int32_t count, const PairChunk& c, float* col) {                               \
        store_chunk_body<b>(count, c, col);                                                                    \
    }                                                                                                          \
    constexpr ChunkKernels kernels_##NAME{pair_##NAME, store_##NAME<0>, store_##NAME<1>, store_##NAME<2>};

BW_CHUNK_KERNELS(default, )
#if defined(__x86_64__)
BW_CHUNK_KERNELS(avx2, [[gnu::target("avx2")]])
BW_CHUNK_KERNELS(avx512, [[gnu::target("avx512f")]])
#endif

const ChunkKernels& chunk_kernels() {
    static const ChunkKernels chosen = [] {
#if defined(__x86_64__)
        if (__builtin_cpu_supports("avx512f")) return kernels_avx512;
        if (__builtin_cpu_supports("avx2")) return kernels_avx2;
#endif
        return kernels_default;
    }();
    return chosen;
}

// The block (I, J), J <= I, at the transpose of STOBLK's places.
void store_block(std::int64_t n, std::int32_t I, std::int32_t J, const Mat3& BLK, float* A)
{
    for (int a = 0; a < 3; ++a) {
        const int bmax = J < I ? 3 : a + 1;
        for (int b = 0; b < bmax; ++b) A[(3 * I + a) + n * (3 * J + b)] = BLK(a, b);
    }
}

}  // namespace

void fast_supermatrix(const HydroModel& m, FastWork& fw)
{
    fw.reserve(m.N);
    const std::int64_t n = 3 * std::int64_t{m.N};
    float* A = fw.A.data();
    const float* x = m.COORD;
    const float* y = m.COORD + m.LDC;
    const float* z = m.COORD + 2 * std::int64_t{m.LDC};
    // Only the interaction-free model and the overlapping pairs of the
    // Rotne-Prager-Yamakawa model leave the vectorised formula.
    const bool formula = m.IND != IND_NONE;
    PairChunk c;
    const ChunkKernels& k = chunk_kernels();
    for (std::int32_t J = 0; J < m.N; ++J) {
        store_block(n, J, J, self_block(m.RAD[J]), A);
        if (!formula) {
            for (std::int32_t I = J + 1; I < m.N; ++I)
                store_block(n, I, J, pair_block(m.IND, m.RAD[I], m.RAD[J], {}), A);
            continue;
        }
        for (std::int32_t I0 = J + 1; I0 < m.N; I0 += CHUNK) {
            const std::int32_t count = std::min(CHUNK, m.N - I0);
            k.pair(J, I0, count, x, y, z, m.RAD, static_cast<float>(m.IND), c);
            k.store0(count, c, A + 3 * I0 + n * (3 * J + 0));
            k.store1(count, c, A + 3 * I0 + n * (3 * J + 1));
            k.store2(count, c, A + 3 * I0 + n * (3 * J + 2));
            if (m.IND != IND_RPY) continue;
            for (std::int32_t i = 0; i < count; ++i)
                if (m.RAD[I0 + i] + m.RAD[J] > 1.01f * c.r[i])
                    store_block(n, I0 + i, J,
                                pair_block(m.IND, m.RAD[I0 + i], m.RAD[J], {c.d0[i], c.d1[i], c.d2[i]}), A);
        }
    }
}

}  // namespace bw
