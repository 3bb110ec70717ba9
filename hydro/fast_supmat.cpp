#include "hydro/fast_supmat.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "hydro/supmat.hpp"

namespace bw {

namespace {

// Scalars of the non-overlapping pair formula for bead I with the beads
// J = J0 .. J0 + count - 1 (all below I): d = r_J - r_I, r, and the
// coefficients A and B of BLK = 6 (A I + B d d^T), with
// Q = IND (aI^2 + aJ^2) / r^2, A = (1 + Q/3) / (8 r), B = (1 - Q) / (8 r^3),
// every operation in the order pair_block performs it. Compiled for the
// widest vectors the processor offers; IEEE single-precision square roots
// and divisions are correctly rounded in every vector width, so each clone
// gives the same floats.
constexpr std::int32_t CHUNK = 128;
struct PairChunk {
    std::array<float, CHUNK> d0, d1, d2, r, A, B;
};

[[gnu::target_clones("avx512f", "avx2", "default")]] void pair_chunk(std::int32_t I, std::int32_t J0,
                                                                        std::int32_t count, const float* x,
                                                                        const float* y, const float* z,
                                                                        const float* rad, float ind, PairChunk& c)
{
    const float xi = x[I], yi = y[I], zi = z[I], aI = rad[I];
    for (std::int32_t j = 0; j < count; ++j) {
        const std::int32_t J = J0 + j;
        const float d0 = x[J] - xi;
        const float d1 = y[J] - yi;
        const float d2 = z[J] - zi;
        const float r2 = d0 * d0 + d1 * d1 + d2 * d2;
        const float r = std::sqrt(r2);
        const float aJ = rad[J];
        const float Q = ind * (aI * aI + aJ * aJ) / r2;
        c.A[j] = (1.0f + Q / 3.0f) / (8.0f * r);
        c.B[j] = (1.0f - Q) / (8.0f * (r * r * r));
        c.d0[j] = d0;
        c.d1[j] = d1;
        c.d2[j] = d2;
        c.r[j] = r;
    }
}

// Rows 3J + b of column 3I + a for the beads of the chunk (col points at
// row 3 J0): 6 ((a == b ? A : 0) + B d_a d_b).
template <int a>
[[gnu::target_clones("avx512f", "avx2", "default")]] void store_chunk(std::int32_t count, const PairChunk& c,
                                                                         float* col)
{
    const float* da = a == 0 ? c.d0.data() : a == 1 ? c.d1.data() : c.d2.data();
    for (std::int32_t j = 0; j < count; ++j) {
        const float Bda = c.B[j] * da[j];
        col[3 * j + 0] = 6.0f * ((a == 0 ? c.A[j] : 0.0f) + Bda * c.d0[j]);
        col[3 * j + 1] = 6.0f * ((a == 1 ? c.A[j] : 0.0f) + Bda * c.d1[j]);
        col[3 * j + 2] = 6.0f * ((a == 2 ? c.A[j] : 0.0f) + Bda * c.d2[j]);
    }
}

// The block (I, J) as STOBLK lays it into the upper triangle.
void store_block(std::int64_t n, std::int32_t I, std::int32_t J, const Mat3& BLK, float* A)
{
    for (int a = 0; a < 3; ++a) {
        const int bmax = J < I ? 3 : a + 1;
        for (int b = 0; b < bmax; ++b) A[(3 * J + b) + n * (3 * I + a)] = BLK(a, b);
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
    for (std::int32_t I = 0; I < m.N; ++I) {
        store_block(n, I, I, self_block(m.RAD[I]), A);
        if (!formula) {
            for (std::int32_t J = 0; J < I; ++J) store_block(n, I, J, pair_block(m.IND, m.RAD[I], m.RAD[J], {}), A);
            continue;
        }
        for (std::int32_t J0 = 0; J0 < I; J0 += CHUNK) {
            const std::int32_t count = std::min(CHUNK, I - J0);
            pair_chunk(I, J0, count, x, y, z, m.RAD, static_cast<float>(m.IND), c);
            store_chunk<0>(count, c, A + 3 * J0 + n * (3 * I + 0));
            store_chunk<1>(count, c, A + 3 * J0 + n * (3 * I + 1));
            store_chunk<2>(count, c, A + 3 * J0 + n * (3 * I + 2));
            if (m.IND != IND_RPY) continue;
            for (std::int32_t j = 0; j < count; ++j)
                if (m.RAD[I] + m.RAD[J0 + j] > 1.01f * c.r[j])
                    store_block(n, I, J0 + j,
                                pair_block(m.IND, m.RAD[I], m.RAD[J0 + j], {c.d0[j], c.d1[j], c.d2[j]}), A);
        }
    }
}

}  // namespace bw
