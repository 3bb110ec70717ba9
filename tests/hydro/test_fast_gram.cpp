// The fast bilinear sums against an independent double-precision evaluation:
// the supermatrix is inverted explicitly here (Gauss-Jordan in double) and the
// pair sums are formed bead pair by bead pair, as the friction and viscosity
// stages define them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "hydro/fast_gram.hpp"
#include "montecarlo/run_data.hpp"

namespace {

using bw::FastWork;
using bw::FieldGram;
constexpr int LDC = bw::MAXBEADS;
constexpr float RADIUS = 0.257f;

struct Beads {
    int N = 0;
    std::array<float, 3 * LDC> COORD{};
    float r(int i, int a) const { return COORD[i + LDC * a]; }
};

// Random walk of unit steps keeping every bead at least 0.95 from the others
// (so no pair overlaps); `spread` < 1 draws the step directions from a cone
// around +x and gives stretched chains; `offset` moves the whole chain.
Beads random_chain(int N, std::mt19937& gen, double spread, std::array<double, 3> offset)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Beads b;
    b.N = N;
    std::vector<std::array<double, 3>> pos(N);
    pos[0] = {0.0, 0.0, 0.0};
    for (int i = 1; i < N; ++i) {
        for (;;) {
            const double ct = 1.0 - spread * u(gen) * 2.0;
            const double st = std::sqrt(std::max(0.0, 1.0 - ct * ct));
            const double ph = 6.283185307179586 * u(gen);
            const std::array<double, 3> p{pos[i - 1][0] + ct, pos[i - 1][1] + st * std::cos(ph),
                                          pos[i - 1][2] + st * std::sin(ph)};
            bool ok = true;
            for (int j = 0; j + 1 < i && ok; ++j) {
                const double d2 = (p[0] - pos[j][0]) * (p[0] - pos[j][0]) + (p[1] - pos[j][1]) * (p[1] - pos[j][1])
                                  + (p[2] - pos[j][2]) * (p[2] - pos[j][2]);
                ok = d2 > 0.95 * 0.95;
            }
            if (ok) {
                pos[i] = p;
                break;
            }
        }
    }
    for (int i = 0; i < N; ++i)
        for (int a = 0; a < 3; ++a) b.COORD[i + LDC * a] = static_cast<float>(pos[i][a] + offset[a]);
    return b;
}

// Rotne-Prager-Yamakawa supermatrix (times 6 pi eta) of equal beads that do
// not overlap, rounded to single precision, full symmetric storage.
std::vector<float> rpy_supermatrix(const Beads& b)
{
    const int n = 3 * b.N;
    std::vector<float> A(static_cast<std::size_t>(n) * n);
    const double a = RADIUS;
    for (int I = 0; I < b.N; ++I)
        for (int J = 0; J < b.N; ++J)
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) {
                    double v;
                    if (I == J) {
                        v = k == l ? 1.0 / a : 0.0;
                    } else {
                        std::array<double, 3> d{};
                        for (int c = 0; c < 3; ++c) d[c] = static_cast<double>(b.r(J, c)) - b.r(I, c);
                        const double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
                        const double r = std::sqrt(r2);
                        const double Q = 2.0 * a * a / r2;
                        v = 6.0 * ((k == l ? (1.0 + Q / 3.0) / (8.0 * r) : 0.0) + (1.0 - Q) / (8.0 * r2 * r) * d[k] * d[l]);
                    }
                    A[(3 * I + k) + static_cast<std::size_t>(n) * (3 * J + l)] = static_cast<float>(v);
                }
    return A;
}

// Explicit inverse in double by Gauss-Jordan elimination with partial pivoting.
std::vector<double> inverse(const std::vector<float>& Af, int n)
{
    std::vector<double> A(Af.begin(), Af.end());
    std::vector<double> X(static_cast<std::size_t>(n) * n, 0.0);
    auto at = [n](std::vector<double>& M, int i, int j) -> double& { return M[i + static_cast<std::size_t>(n) * j]; };
    for (int i = 0; i < n; ++i) at(X, i, i) = 1.0;
    for (int c = 0; c < n; ++c) {
        int p = c;
        for (int i = c + 1; i < n; ++i)
            if (std::abs(at(A, i, c)) > std::abs(at(A, p, c))) p = i;
        for (int j = 0; j < n; ++j) {
            std::swap(at(A, c, j), at(A, p, j));
            std::swap(at(X, c, j), at(X, p, j));
        }
        const double piv = at(A, c, c);
        for (int j = 0; j < n; ++j) {
            at(A, c, j) /= piv;
            at(X, c, j) /= piv;
        }
        for (int i = 0; i < n; ++i) {
            if (i == c) continue;
            const double f = at(A, i, c);
            if (f == 0.0) continue;
            for (int j = 0; j < n; ++j) {
                at(A, i, j) -= f * at(A, c, j);
                at(X, i, j) -= f * at(X, c, j);
            }
        }
    }
    return X;
}

using M3 = std::array<double, 9>;  // column-major

struct Exact {
    M3 FTT{}, FRT{}, FRR{};
    std::array<double, 3> BVEC{};
    double VSUM1 = 0, VSUM2 = 0, VSUM3 = 0, VSUM4 = 0;
};

M3 umat(double x, double y, double z)
{
    return {0.0, z, -y, -z, 0.0, x, y, -x, 0.0};  // rows (0,-z,y), (z,0,-x), (-y,x,0)
}

// The pair sums, bead pair by bead pair, in double from the explicit inverse.
Exact pair_sums(const Beads& b, const std::vector<double>& S, const std::array<float, 3>& VISCEN)
{
    const int n = 3 * b.N;
    Exact e;
    auto s = [&](int I, int J, int k, int l) { return S[(3 * I + k) + static_cast<std::size_t>(n) * (3 * J + l)]; };
    for (int I = 0; I < b.N; ++I)
        for (int J = 0; J < b.N; ++J) {
            const M3 UI = umat(b.r(I, 0), b.r(I, 1), b.r(I, 2));
            const M3 UJ = umat(b.r(J, 0), b.r(J, 1), b.r(J, 2));
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) {
                    e.FTT[k + 3 * l] += s(I, J, k, l);
                    for (int m = 0; m < 3; ++m) {
                        e.FRT[k + 3 * l] += UI[k + 3 * m] * s(I, J, m, l);
                        for (int q = 0; q < 3; ++q)
                            e.FRR[k + 3 * l] -= UI[k + 3 * m] * s(I, J, m, q) * UJ[q + 3 * l];
                    }
                }
            for (int m = 0; m < 3; ++m) {
                const double rIm = b.r(I, m), rJm = b.r(J, m);
                e.BVEC[m] += 4.0 * s(I, J, m, m) * (rIm + rJm);
                for (int k = 0; k < 3; ++k) {
                    if (k == m) continue;
                    e.BVEC[m] += 3.0 * s(I, J, k, k) * (rIm + rJm)
                                 + (3.0 * s(I, J, m, k) - 2.0 * s(I, J, k, m)) * b.r(I, k)
                                 + (3.0 * s(I, J, k, m) - 2.0 * s(I, J, m, k)) * b.r(J, k);
                }
            }
            auto rI = [&](int c) { return static_cast<double>(b.r(I, c)) - VISCEN[c]; };
            auto rJ = [&](int c) { return static_cast<double>(b.r(J, c)) - VISCEN[c]; };
            for (int m = 0; m < 3; ++m) {
                e.VSUM1 += s(I, J, m, m) * rI(m) * rJ(m);
                for (int k = 0; k < 3; ++k) {
                    if (k == m) continue;
                    e.VSUM2 += s(I, J, m, k) * rJ(m) * rI(k);
                    e.VSUM3 += s(I, J, m, k) * rI(m) * rJ(k);
                    e.VSUM4 += s(I, J, m, m) * rI(k) * rJ(k);
                }
            }
        }
    return e;
}

// Runs the fast route on the lower triangle of A.
std::int32_t fast(const Beads& b, const std::vector<float>& A, FastWork& work)
{
    const int n = 3 * b.N;
    std::fill(work.A.begin(), work.A.end(), -999.0f);  // the upper triangle must not be read
    for (int j = 0; j < n; ++j)
        for (int i = j; i < n; ++i) work.A[i + static_cast<std::size_t>(n) * j] = A[i + static_cast<std::size_t>(n) * j];
    return bw::field_gram(b.N, b.COORD.data(), LDC, work);
}

double max_abs(const M3& m)
{
    double s = 0.0;
    for (double v : m) s = std::max(s, std::abs(v));
    return s;
}

// |fast - exact| within tol times the largest element of the exact tensor.
void expect_close(const bw::Mat3& got, const M3& want, double tol, const char* what)
{
    const double scale = max_abs(want);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(got.a[i], want[i], tol * scale) << what << " element " << i;
}

// Two beads of radius 0.257 on the x axis: self blocks 1/0.257, pair block
// diag(pair).
std::vector<float> two_bead_matrix(const std::array<float, 3>& pair)
{
    std::vector<float> A(36, 0.0f);
    for (int k = 0; k < 3; ++k) {
        A[k + 6 * k] = A[(3 + k) + 6 * (3 + k)] = 1.0f / RADIUS;
        A[k + 6 * (3 + k)] = A[(3 + k) + 6 * k] = pair[k];
    }
    return A;
}

}  // namespace

TEST(fast_gram, two_beads_friction_by_hand)
{
    // Beads of radius 0.257 at (0,0,0) and (1,0,0): self blocks 1/0.257, pair
    // block diag(1.433951, 0.7830245, 0.7830245) (Rotne-Prager-Yamakawa).
    Beads b;
    b.N = 2;
    b.COORD[1] = 1.0f;
    const auto A = two_bead_matrix({1.433951f, 0.7830245f, 0.7830245f});
    FastWork work;
    ASSERT_EQ(fast(b, A, work), 0);
    const FieldGram& gram = work.gram;
    const auto f = bw::friction_sums(gram);
    // Each 3x3 system [[s, p], [p, s]] gives 2/(s + p) for the total friction.
    EXPECT_NEAR(f.FTT.a[0], 0.375587f, 2e-6f);
    EXPECT_NEAR(f.FTT.a[4], 0.427892f, 2e-6f);
    EXPECT_NEAR(f.FTT.a[8], 0.427892f, 2e-6f);
    EXPECT_NEAR(f.FRT.a[2 + 3 * 1], 0.213946f, 2e-6f);
    EXPECT_NEAR(f.FRT.a[1 + 3 * 2], -0.213946f, 2e-6f);
    EXPECT_NEAR(f.FRR.a[0], 0.0f, 1e-6f);
    EXPECT_NEAR(f.FRR.a[4], 0.267847f, 2e-6f);
    EXPECT_NEAR(f.FRR.a[8], 0.267847f, 2e-6f);
    for (int i : {1, 2, 3, 5, 6, 7}) {
        EXPECT_NEAR(f.FTT.a[i], 0.0f, 1e-7f);
        EXPECT_NEAR(f.FRR.a[i], 0.0f, 1e-7f);
    }
}

TEST(fast_gram, reports_first_non_positive_minor)
{
    // Oseen tensor of two beads 0.3 apart on x: the x components of the two
    // beads make a 2x2 minor 1/0.257^2 - (6/(4*0.3))^2 < 0, first met at order 4.
    Beads b;
    b.N = 2;
    b.COORD[1] = 0.3f;
    const float r = 0.3f;
    const auto A = two_bead_matrix({6.0f * (2.0f / (8.0f * r)), 6.0f / (8.0f * r), 6.0f / (8.0f * r)});
    FastWork work;
    EXPECT_EQ(fast(b, A, work), 4);
}

namespace {

// Random walks, stretched and compact chains, near and far from the origin.
struct ChainCase {
    int N;
    double spread;
    std::array<double, 3> offset;
    unsigned seed;
};

}  // namespace

class FastGramVsExplicitInverse : public ::testing::TestWithParam<ChainCase> {};

TEST_P(FastGramVsExplicitInverse, every_sum_matches)
{
    const ChainCase c = GetParam();
    std::mt19937 gen(c.seed);
    const Beads b = random_chain(c.N, gen, c.spread, c.offset);
    const auto A = rpy_supermatrix(b);
    const auto S = inverse(A, 3 * b.N);

    FastWork work;
    ASSERT_EQ(fast(b, A, work), 0);
    const FieldGram& gram = work.gram;
    const auto f = bw::friction_sums(gram);
    const auto v = bw::viscosity_centre_sums(gram);

    // A viscosity centre near the beads (here simply their first bead plus a
    // small displacement): the sums are checked at the point they are used at.
    const bw::Vec3 V{b.r(0, 0) + 0.3f, b.r(0, 1) - 0.2f, b.r(0, 2) + 0.1f};
    const auto vs = bw::viscosity_sums(gram, V);
    const Exact e = pair_sums(b, S, V);

    // Single-precision Cholesky, solve and rank update: the error relative to
    // the size of each tensor is of the order of cond(A) times the float
    // epsilon, below 1e-5 for these matrices (condition numbers under 100);
    // observed below 1e-6 with both the reference LAPACK and OpenBLAS.
    const double tol = 5e-6;
    expect_close(f.FTT, e.FTT, tol, "FTT");
    expect_close(f.FRT, e.FRT, tol, "FRT");
    expect_close(f.FRR, e.FRR, tol, "FRR");
    expect_close(v.FSUM, e.FTT, tol, "FSUM");
    const double bscale = std::max({std::abs(e.BVEC[0]), std::abs(e.BVEC[1]), std::abs(e.BVEC[2])});
    for (int m = 0; m < 3; ++m) EXPECT_NEAR(v.BVEC[m], e.BVEC[m], tol * bscale) << "BVEC " << m;

    // The viscosity sums are formed about a point near the chain; their size
    // is set by the chain, not by its distance from the origin.
    const double vscale = std::max({std::abs(e.VSUM1), std::abs(e.VSUM2), std::abs(e.VSUM3), std::abs(e.VSUM4)});
    EXPECT_NEAR(vs.VSUM1, e.VSUM1, tol * vscale);
    EXPECT_NEAR(vs.VSUM2, e.VSUM2, tol * vscale);
    EXPECT_NEAR(vs.VSUM3, e.VSUM3, tol * vscale);
    EXPECT_NEAR(vs.VSUM4, e.VSUM4, tol * vscale);
}

INSTANTIATE_TEST_SUITE_P(
    chains, FastGramVsExplicitInverse,
    ::testing::Values(ChainCase{2, 1.0, {0, 0, 0}, 1}, ChainCase{3, 1.0, {0, 0, 0}, 2},
                      ChainCase{5, 1.0, {0, 0, 0}, 3}, ChainCase{12, 1.0, {0, 0, 0}, 4},
                      ChainCase{20, 1.0, {0, 0, 0}, 5}, ChainCase{20, 0.05, {0, 0, 0}, 6},
                      ChainCase{20, 1.0, {150.0, -80.0, 40.0}, 7}, ChainCase{20, 0.05, {-300.0, 0.0, 500.0}, 8},
                      ChainCase{30, 1.0, {0, 0, 0}, 9}),
    [](const ::testing::TestParamInfo<ChainCase>& info) { return "case" + std::to_string(info.index); });
