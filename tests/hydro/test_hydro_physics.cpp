// The whole calculation against an independent double-precision evaluation
// of the same physics: full (unpacked) supermatrix, Gauss-Jordan inverses,
// written here without the production code.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "driver/records/record_sink.hpp"
#include "hydro/trv.hpp"
#include "hydro_test_support.hpp"

namespace bw {
namespace {

using Dvec = std::array<double, 3>;
using Dmat = std::vector<std::vector<double>>;

Dmat inverse(Dmat a) {
    const std::size_t n = a.size();
    Dmat inv(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; ++i) inv[i][i] = 1.0;
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
        std::swap(a[c], a[p]);
        std::swap(inv[c], inv[p]);
        const double d = a[c][c];
        for (std::size_t l = 0; l < n; ++l) {
            a[c][l] /= d;
            inv[c][l] /= d;
        }
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = a[r][c];
            for (std::size_t l = 0; l < n; ++l) {
                a[r][l] -= f * a[c][l];
                inv[r][l] -= f * inv[c][l];
            }
        }
    }
    return inv;
}

// r x v as a matrix.
Dmat cross_matrix(const Dvec& r) { return {{0, -r[2], r[1]}, {r[2], 0, -r[0]}, {-r[1], r[0], 0}}; }

struct Reference {
    double DT, ETA;
    Dvec DIFCEN, VISCEN;
};

// Equal beads of radius a, RPY tensor with its overlap form below 2a/1.01.
Reference reference(const std::vector<Dvec>& r, double a) {
    const std::size_t N = r.size(), n = 3 * N;
    Dmat A(n, std::vector<double>(n, 0.0));
    for (std::size_t I = 0; I < N; ++I)
        for (std::size_t J = 0; J < N; ++J)
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) {
                    double v;
                    if (I == J) {
                        v = k == l ? 1.0 / a : 0.0;
                    } else {
                        const Dvec d = {r[J][0] - r[I][0], r[J][1] - r[I][1], r[J][2] - r[I][2]};
                        const double rr = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                        const double Q = 2.0 * a * a / (rr * rr);
                        if (2.0 * a > 1.01 * rr)  // overlapping equal spheres
                            v = ((k == l ? 1.0 - 9.0 * rr / (32.0 * a) : 0.0) + 3.0 * d[k] * d[l] / (32.0 * a * rr)) / a;
                        else
                            v = 6.0 * ((k == l ? (1.0 + Q / 3.0) / (8.0 * rr) : 0.0) +
                                       (1.0 - Q) / (8.0 * rr * rr * rr) * d[k] * d[l]);
                    }
                    A[3 * I + k][3 * J + l] = v;
                }
    const Dmat S = inverse(A);
    auto s = [&](std::size_t I, std::size_t J, int k, int l) { return S[3 * I + k][3 * J + l]; };

    // Friction about the origin, the 1e-4 trace regularisation, 6x6 inverse.
    Dmat F(6, std::vector<double>(6, 0.0));
    for (std::size_t I = 0; I < N; ++I)
        for (std::size_t J = 0; J < N; ++J) {
            const Dmat UI = cross_matrix(r[I]), UJ = cross_matrix(r[J]);
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) {
                    F[k][l] += s(I, J, k, l);
                    double us = 0.0, usu = 0.0;
                    for (int m = 0; m < 3; ++m) {
                        us += UI[k][m] * s(I, J, m, l);
                        for (int p = 0; p < 3; ++p) usu += UI[k][m] * s(I, J, m, p) * UJ[p][l];
                    }
                    F[3 + k][l] += us;
                    F[l][3 + k] += us;
                    F[3 + k][3 + l] -= usu;
                }
        }
    const double t = 1e-4 * (F[3][3] + F[4][4] + F[5][5]);
    for (int k = 3; k < 6; ++k) F[k][k] += t;
    const Dmat D = inverse(F);

    // Centre of diffusion: (tr(DRR) I - DRR) c = antisymmetric part of DRT.
    Dmat QQ(3, std::vector<double>(3));
    const double tr = D[3][3] + D[4][4] + D[5][5];
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) QQ[k][l] = (k == l ? tr : 0.0) - D[3 + k][3 + l];
    const Dvec v = {D[4][2] - D[5][1], D[5][0] - D[3][2], D[3][1] - D[4][0]};
    const Dmat Qi = inverse(QQ);
    Reference out{};
    for (int k = 0; k < 3; ++k) out.DIFCEN[k] = Qi[k][0] * v[0] + Qi[k][1] * v[1] + Qi[k][2] * v[2];
    const Dmat U = cross_matrix(out.DIFCEN);
    double trace = 0.0;
    for (int i = 0; i < 3; ++i) {
        double e = D[i][i];
        for (int k = 0; k < 3; ++k) {
            e += 2.0 * U[k][i] * D[3 + k][i];
            for (int l = 0; l < 3; ++l) e += U[k][i] * D[3 + k][3 + l] * U[l][i];
        }
        trace += e;
    }
    out.DT = trace / 3.0;

    // Viscosity centre, then the four sums about it.
    Dmat FS(3, std::vector<double>(3, 0.0));
    Dvec B = {0, 0, 0};
    for (std::size_t I = 0; I < N; ++I)
        for (std::size_t J = 0; J < N; ++J)
            for (int m = 0; m < 3; ++m) {
                for (int k = 0; k < 3; ++k) FS[m][k] += s(I, J, m, k);
                B[m] += 4.0 * s(I, J, m, m) * (r[I][m] + r[J][m]);
                for (int k = 0; k < 3; ++k)
                    if (k != m)
                        B[m] += 3.0 * s(I, J, k, k) * (r[I][m] + r[J][m]) +
                                (3.0 * s(I, J, m, k) - 2.0 * s(I, J, k, m)) * r[I][k] +
                                (3.0 * s(I, J, k, m) - 2.0 * s(I, J, m, k)) * r[J][k];
            }
    Dmat C(3, std::vector<double>(3));
    for (int m = 0; m < 3; ++m)
        for (int k = 0; k < 3; ++k)
            C[m][k] = m == k ? 8.0 * FS[m][m] + 6.0 * (FS[0][0] + FS[1][1] + FS[2][2] - FS[m][m]) : FS[m][k] + FS[k][m];
    const Dmat Ci = inverse(C);
    for (int m = 0; m < 3; ++m) out.VISCEN[m] = Ci[m][0] * B[0] + Ci[m][1] * B[1] + Ci[m][2] * B[2];
    std::vector<Dvec> x = r;
    for (auto& p : x)
        for (int m = 0; m < 3; ++m) p[m] -= out.VISCEN[m];
    double v1 = 0, v2 = 0, v3 = 0, v4 = 0;
    for (std::size_t I = 0; I < N; ++I)
        for (std::size_t J = 0; J < N; ++J)
            for (int m = 0; m < 3; ++m) {
                v1 += s(I, J, m, m) * x[I][m] * x[J][m];
                for (int k = 0; k < 3; ++k)
                    if (k != m) {
                        v2 += s(I, J, m, k) * x[J][m] * x[I][k];
                        v3 += s(I, J, m, k) * x[I][m] * x[J][k];
                        v4 += s(I, J, m, m) * x[I][k] * x[J][k];
                    }
            }
    out.ETA = 6.0 * 3.14159 * (v1 / 15.0 + v2 / 20.0 - v3 / 30.0 + v4 / 20.0);
    return out;
}

HydroResults production(const std::vector<Dvec>& r, float a) {
    std::vector<Vec3> pos;
    for (const auto& p : r) pos.push_back({float(p[0]), float(p[1]), float(p[2])});
    test::BeadModel bm(pos, a, 100);
    HydroWorkspace ws;
    CapturingSink sink;
    TRV(bm.model(), ws, sink);
    EXPECT_TRUE(sink.records.empty());
    return ws.res;
}

void expect_agree(const HydroResults& got, const Reference& want) {
    EXPECT_NEAR(got.DT, want.DT, 2e-5 * want.DT);
    EXPECT_NEAR(got.ETA, want.ETA, 2e-5 * want.ETA);
    for (int m = 0; m < 3; ++m) {
        EXPECT_NEAR(got.DIFCEN[m], want.DIFCEN[m], 1e-4);
        EXPECT_NEAR(got.VISCEN[m], want.VISCEN[m], 1e-4);
    }
}

TEST(hydro_physics, dumbbell_matches_closed_form_and_reference) {
    // Two beads at unit distance: about the midpoint the coupling vanishes,
    // so D_par = (alpha + beta_x)/2 and D_perp = (alpha + beta_y)/2 with the
    // self term alpha = 1/a and the pair terms beta of the RPY tensor.
    const double a = 0.257, Q = 2.0 * a * a;
    const double alpha = 1.0 / a, bx = 6.0 * ((1.0 + Q / 3.0) / 8.0 + (1.0 - Q) / 8.0), by = 6.0 * (1.0 + Q / 3.0) / 8.0;
    const double DT = ((alpha + bx) / 2.0 + 2.0 * (alpha + by) / 2.0) / 3.0;
    // Viscosity sums about the midpoint: VSUM1 = 1/(2(alpha - bx)),
    // VSUM4 = 1/(alpha - by), the others 0.
    const double ETA = 6.0 * 3.14159 * (1.0 / (30.0 * (alpha - bx)) + 1.0 / (20.0 * (alpha - by)));

    const std::vector<Dvec> r = {{0.0, 0.0, 0.0}, {1.0, 0.0, 0.0}};
    const HydroResults got = production(r, 0.257f);
    EXPECT_NEAR(got.DT, DT, 2e-5 * DT);
    EXPECT_NEAR(got.ETA, ETA, 2e-5 * ETA);
    expect_agree(got, reference(r, a));
}

TEST(hydro_physics, straight_rod_of_touching_beads) {
    std::vector<Dvec> r;
    for (int i = 0; i < 8; ++i) r.push_back({0.514 * i, 0.0, 0.0});
    const Reference want = reference(r, 0.257);
    EXPECT_NEAR(want.DIFCEN[0], 0.514 * 3.5, 1e-9);  // the rod's middle
    expect_agree(production(r, 0.257f), want);
}

TEST(hydro_physics, random_chains_off_the_axes_with_overlapping_pairs) {
    for (unsigned seed : {77u, 78u, 79u}) {
        std::vector<Dvec> r;
        for (const Vec3& p : test::random_walk(12, seed)) r.push_back({p[0] + 1.5, p[1] - 0.5, p[2] + 0.25});
        expect_agree(production(r, 0.257f), reference(r, 0.257));
    }
}

}  // namespace
}  // namespace bw
