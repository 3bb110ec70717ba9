#include "hydro/fast_supmat.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#include "hydro/supmat.hpp"

namespace bw {

namespace {

// Scalars of the non-overlapping pair formula for bead I with each bead
// J < I: d = r_J - r_I, r, and the coefficients A and B of
// BLK = 6 (A I + B d d^T), with Q = IND (aI^2 + aJ^2) / r^2,
// A = (1 + Q/3) / (8 r), B = (1 - Q) / (8 r^3), every operation in the order
// pair_block performs it. Compiled for the widest vectors the processor
// offers; IEEE single-precision square roots and divisions are correctly
// rounded in every vector width, so each clone gives the same floats.
struct PairRow {
    float *d0, *d1, *d2, *r, *A, *B;  // N each
    PairRow(std::vector<float>& s, std::int32_t N)
        : d0(s.data()), d1(d0 + N), d2(d1 + N), r(d2 + N), A(r + N), B(A + N) {}
};

[[gnu::target_clones("avx512f", "avx2", "default")]] void pair_row(std::int32_t I, const float* x, const float* y,
                                                                      const float* z, const float* rad, float ind,
                                                                      const PairRow& row)
{
    const float xi = x[I], yi = y[I], zi = z[I], aI = rad[I];
    for (std::int32_t J = 0; J < I; ++J) {
        const float d0 = x[J] - xi;
        const float d1 = y[J] - yi;
        const float d2 = z[J] - zi;
        const float r2 = d0 * d0 + d1 * d1 + d2 * d2;
        const float r = std::sqrt(r2);
        const float aJ = rad[J];
        const float Q = ind * (aI * aI + aJ * aJ) / r2;
        row.A[J] = (1.0f + Q / 3.0f) / (8.0f * r);
        row.B[J] = (1.0f - Q) / (8.0f * (r * r * r));
        row.d0[J] = d0;
        row.d1[J] = d1;
        row.d2[J] = d2;
        row.r[J] = r;
    }
}

// Column 3I + a, rows 3J + b for J < I: 6 ((a == b ? A : 0) + B d_a d_b).
template <int a>
[[gnu::target_clones("avx512f", "avx2", "default")]] void store_column(std::int32_t I, const PairRow& row, float* col)
{
    const float* da = a == 0 ? row.d0 : a == 1 ? row.d1 : row.d2;
    for (std::int32_t J = 0; J < I; ++J) {
        const float Bda = row.B[J] * da[J];
        col[3 * J + 0] = 6.0f * ((a == 0 ? row.A[J] : 0.0f) + Bda * row.d0[J]);
        col[3 * J + 1] = 6.0f * ((a == 1 ? row.A[J] : 0.0f) + Bda * row.d1[J]);
        col[3 * J + 2] = 6.0f * ((a == 2 ? row.A[J] : 0.0f) + Bda * row.d2[J]);
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
    const PairRow row(fw.pair, m.N);
    for (std::int32_t I = 0; I < m.N; ++I) {
        store_block(n, I, I, self_block(m.RAD[I]), A);
        if (I == 0) continue;
        if (!formula) {
            for (std::int32_t J = 0; J < I; ++J) store_block(n, I, J, pair_block(m.IND, m.RAD[I], m.RAD[J], {}), A);
            continue;
        }
        pair_row(I, x, y, z, m.RAD, static_cast<float>(m.IND), row);
        store_column<0>(I, row, A + n * (3 * I + 0));
        store_column<1>(I, row, A + n * (3 * I + 1));
        store_column<2>(I, row, A + n * (3 * I + 2));
        if (m.IND != IND_RPY) continue;
        for (std::int32_t J = 0; J < I; ++J)
            if (m.RAD[I] + m.RAD[J] > 1.01f * row.r[J])
                store_block(n, I, J, pair_block(m.IND, m.RAD[I], m.RAD[J], {row.d0[J], row.d1[J], row.d2[J]}), A);
    }
}

}  // namespace bw
