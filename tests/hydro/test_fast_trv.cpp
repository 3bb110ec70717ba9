// The fast route of TRV against the packed route: the same supermatrix
// element for element, DT and ETA to single-precision agreement on many
// conformations, and the same console records, failures included.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "driver/records/record_sink.hpp"
#include "hydro/fast_gram.hpp"
#include "hydro/fast_supmat.hpp"
#include "hydro/packed.hpp"
#include "hydro/supmat.hpp"
#include "hydro/trv.hpp"
#include "hydro_test_support.hpp"

namespace {

using bw::Vec3;
using bw::test::BeadModel;
using bw::test::random_walk;

// Steps drawn from a cone of half-opening acos(1 - 2 spread) around +x:
// spread 1 is an ordinary random walk, small values give stretched chains.
std::vector<Vec3> cone_walk(std::int32_t n, double spread, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<Vec3> pos(static_cast<std::size_t>(n));
    double p[3] = {0.0, 0.0, 0.0};
    for (std::int32_t i = 0; i < n; ++i) {
        for (int m = 0; m < 3; ++m) pos[i][m] = static_cast<float>(p[m]);
        const double ct = 1.0 - 2.0 * spread * u(gen);
        const double st = std::sqrt(1.0 - ct * ct);
        const double ph = 6.283185307179586 * u(gen);
        p[0] += ct;
        p[1] += st * std::cos(ph);
        p[2] += st * std::sin(ph);
    }
    return pos;
}

// A compact chain: a serpentine path through a cube of lattice sites with
// unit spacing, slightly shaken.
std::vector<Vec3> compact_chain(std::int32_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> jitter(-0.05f, 0.05f);
    const int side = static_cast<int>(std::ceil(std::cbrt(static_cast<double>(n))));
    std::vector<Vec3> pos;
    for (int k = 0; k < side && static_cast<std::int32_t>(pos.size()) < n; ++k)
        for (int j0 = 0; j0 < side && static_cast<std::int32_t>(pos.size()) < n; ++j0)
            for (int i0 = 0; i0 < side && static_cast<std::int32_t>(pos.size()) < n; ++i0) {
                const int j = k % 2 == 0 ? j0 : side - 1 - j0;
                const int i = j0 % 2 == 0 ? i0 : side - 1 - i0;
                pos.push_back({i + jitter(gen), j + jitter(gen), k + jitter(gen)});
            }
    return pos;
}

// Beads at unit spacing on the line through the origin along (1, 2, 3).
std::vector<Vec3> tilted_line(std::int32_t n) {
    const double e = 1.0 / std::sqrt(14.0);
    std::vector<Vec3> pos(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i)
        pos[i] = {static_cast<float>(i * e), static_cast<float>(2 * i * e), static_cast<float>(3 * i * e)};
    return pos;
}

std::vector<Vec3> shifted(std::vector<Vec3> pos, const Vec3& t) {
    for (auto& p : pos)
        for (int m = 0; m < 3; ++m) p[m] += t[m];
    return pos;
}

struct Outcome {
    bw::HydroWorkspace ws;
    bw::CapturingSink console;
};

Outcome packed(BeadModel& b, std::int32_t IND = 1, std::int32_t IP = 0) {
    Outcome r;
    bw::TRV(b.model(IND, IP), r.ws, r.console);
    return r;
}

Outcome fast(BeadModel& b, std::int32_t IND = 1, std::int32_t IP = 0) {
    Outcome r;
    bw::FastWork fw;
    bw::TRV(b.model(IND, IP), r.ws, r.console, &fw);
    return r;
}

// Distance of the centroid from the origin over the radius of gyration.
double offset_ratio(const std::vector<Vec3>& pos) {
    double c[3] = {0.0, 0.0, 0.0};
    for (const auto& p : pos)
        for (int m = 0; m < 3; ++m) c[m] += p[m] / static_cast<double>(pos.size());
    double rg2 = 0.0;
    for (const auto& p : pos)
        for (int m = 0; m < 3; ++m) rg2 += (p[m] - c[m]) * (p[m] - c[m]) / static_cast<double>(pos.size());
    return std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) / std::sqrt(rg2);
}

}  // namespace

// ---------------------------------------------------------------------------
// The supermatrix of the fast route

TEST(fast_supermatrix, equals_the_packed_supermatrix_bit_for_bit) {
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> radius(0.2f, 0.6f);
    struct Case {
        std::vector<Vec3> pos;
        bool unequal;
    };
    // Unit random walks come close enough for overlapping pairs; unequal
    // radii exercise the mean-volume sphere; N = 100 fills every vector lane
    // and N = 140 runs past the partner batch of 128 beads.
    const std::vector<Case> cases = {{random_walk(1, 1), false},   {random_walk(2, 2), false},
                                     {random_walk(37, 3), false},  {random_walk(100, 4), false},
                                     {random_walk(140, 8), false},
                                     {random_walk(23, 5), true},   {compact_chain(64, 6), true},
                                     {cone_walk(50, 0.05, 7), false}};
    for (const auto& c : cases)
        for (std::int32_t IND : {0, 1, 9}) {
            BeadModel b(c.pos);
            if (c.unequal)
                for (auto& a : b.rad) a = radius(gen);
            const bw::HydroModel m = b.model(IND);
            bw::SUPMAT(m.AP, IND, b.view(), b.N, m.RAD);
            bw::FastWork fw;
            fw.reserve(b.N);
            const float sentinel = -12345.0f;
            std::fill(fw.A.begin(), fw.A.end(), sentinel);
            bw::fast_supermatrix(m, fw);
            const std::int64_t n = 3 * std::int64_t{b.N};
            // fw.A holds the lower triangle: its (q, p) is SUPMAT's (p, q).
            for (std::int64_t q = 0; q < n; ++q)
                for (std::int64_t p = 0; p < n; ++p) {
                    if (p < q) {
                        ASSERT_EQ(fw.A[p + n * q], sentinel) << "upper triangle written at " << p << "," << q;
                        continue;
                    }
                    const float got = fw.A[p + n * q];
                    const float want = m.AP[bw::packed_index(q, p)];
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want))
                        << "N=" << b.N << " IND=" << IND << " element " << p << "," << q << ": " << got
                        << " vs " << want;
                }
        }
}

// ---------------------------------------------------------------------------
// DT and ETA: fast route against packed route
//
// Bound. Both routes hand single-precision friction tensors about the
// coordinate origin to the same later stages. The fast route's are the
// rounded values of sums formed in double from a Gram matrix accurate to
// about cond(A) * 6e-8 (cond(A) < 100 here); the packed route's carry the
// rounding of the explicit packed inverse and of N^2 single-precision pair
// sums, a few 1e-7 to 1e-6 relative (both measured against a
// double-precision evaluation). The intrinsic viscosity is formed about the
// viscosity centre and is stationary in it, so it inherits only these
// differences: |dETA| <= 1e-5 ETA (observed at most 2.2e-6). DT passes
// through the 6x6 friction matrix about the origin and its transfer to the
// centre of diffusion, which cancels terms that grow with the distance L of
// the chain from the origin relative to its radius of gyration Rg; a
// relative perturbation of the inputs comes out in DT amplified by a factor
// that grows with L/Rg (observed at most 1.7e-5 (1 + L/Rg) over N = 2..100,
// largest for two beads, whose rotational friction about their axis is only
// the 1e-4 regularisation). Hence |dDT| <= 3e-5 (1 + L/Rg) DT.
namespace {

struct ChainCase {
    const char* name;
    std::vector<Vec3> pos;
};

std::vector<ChainCase> chain_cases() {
    std::vector<ChainCase> c;
    for (std::int32_t n : {2, 3, 5, 10, 20, 50, 100})
        for (unsigned s = 1; s <= 3; ++s) c.push_back({"random walk", random_walk(n, 100 * n + s)});
    for (std::int32_t n : {8, 27, 64, 100}) c.push_back({"compact", compact_chain(n, n)});
    for (std::int32_t n : {10, 40, 100}) c.push_back({"stretched", cone_walk(n, 0.02, n)});
    for (std::int32_t n : {5, 30, 100}) c.push_back({"straight", cone_walk(n, 0.0, n)});
    for (std::int32_t n : {3, 30, 100}) c.push_back({"straight, tilted", tilted_line(n)});
    for (std::int32_t n : {2, 12, 60}) c.push_back({"far from origin", shifted(random_walk(n, n), {60.0f, -35.0f, 80.0f})});
    c.push_back({"far stretched", shifted(cone_walk(100, 0.05, 9), {-200.0f, 150.0f, 0.0f})});
    c.push_back({"more than MAXBEADS", random_walk(110, 110)});
    return c;
}

}  // namespace

TEST(fast_trv, dt_and_eta_agree_with_the_packed_route) {
    for (const auto& c : chain_cases()) {
        BeadModel b(c.pos);
        const Outcome ref = packed(b);
        const Outcome got = fast(b);
        const double bound_dt = 3e-5 * (1.0 + offset_ratio(c.pos));
        EXPECT_NEAR(got.ws.res.DT, ref.ws.res.DT, bound_dt * ref.ws.res.DT) << c.name << " N=" << b.N;
        EXPECT_NEAR(got.ws.res.ETA, ref.ws.res.ETA, 1e-5 * ref.ws.res.ETA) << c.name << " N=" << b.N;
        EXPECT_EQ(got.console.records, ref.console.records) << c.name << " N=" << b.N;
        EXPECT_EQ(got.ws.INFO1, 0);
    }
}

TEST(fast_trv, leaves_coordinates_and_work_array_untouched) {
    const auto pos = shifted(random_walk(30, 5), {3.0f, -4.0f, 5.0f});
    BeadModel b(pos);
    std::fill(b.ap.begin(), b.ap.end(), 7.0f);
    const auto coord = b.coord;
    fast(b);
    EXPECT_EQ(b.coord, coord);
    EXPECT_TRUE(std::all_of(b.ap.begin(), b.ap.end(), [](float v) { return v == 7.0f; }));
}

// ---------------------------------------------------------------------------
// Messages and failures

TEST(fast_trv, failed_factorisation_takes_the_packed_route) {
    // Oseen tensor, two beads 0.3 apart: not positive definite at order 4.
    BeadModel a({{0.0f, 0.0f, 0.0f}, {0.3f, 0.0f, 0.0f}});
    BeadModel b({{0.0f, 0.0f, 0.0f}, {0.3f, 0.0f, 0.0f}});
    const Outcome ref = packed(a, bw::IND_OSEEN);
    const Outcome got = fast(b, bw::IND_OSEEN);
    ASSERT_FALSE(ref.console.records.empty());
    EXPECT_EQ(ref.console.records[0], " ERROR: INFO1=4 INFO2=0 . SEE INSTRUCTIONS FOR INVSTO_D SUBROUTINE");
    EXPECT_EQ(got.console.records, ref.console.records);
    EXPECT_EQ(got.ws.INFO1, 4);
    // The same route: the results on the partial factor are the same floats,
    // and AP holds the same partial factor.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got.ws.res.DT), std::bit_cast<std::uint32_t>(ref.ws.res.DT));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got.ws.res.ETA), std::bit_cast<std::uint32_t>(ref.ws.res.ETA));
    EXPECT_EQ(a.ap, b.ap);
}

TEST(fast_trv, inversion_status_carries_over_between_calls_as_in_the_packed_route) {
    // INFO2 is printed after a failed factorisation with the value the last
    // inversion left. Start both workspaces with a stale INFO2 = 7: a failure
    // first shows it; after a successful call it must read 0 in both routes.
    const std::vector<Vec3> bad = {{0.0f, 0.0f, 0.0f}, {0.3f, 0.0f, 0.0f}};
    const std::vector<Vec3> good = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
    bw::HydroWorkspace ws_ref, ws_fast;
    ws_ref.INFO2 = ws_fast.INFO2 = 7;
    bw::CapturingSink out_ref, out_fast;
    bw::FastWork fw;
    for (const auto* pos : {&bad, &good, &bad}) {
        BeadModel a(*pos), b(*pos);
        bw::TRV(a.model(bw::IND_OSEEN), ws_ref, out_ref);
        bw::TRV(b.model(bw::IND_OSEEN), ws_fast, out_fast, &fw);
    }
    ASSERT_GE(out_ref.records.size(), 2u);
    EXPECT_EQ(out_ref.records.front(), " ERROR: INFO1=4 INFO2=7 . SEE INSTRUCTIONS FOR INVSTO_D SUBROUTINE");
    EXPECT_EQ(out_ref.records.back(), " ERROR: INFO1=4 INFO2=0 . SEE INSTRUCTIONS FOR INVSTO_D SUBROUTINE");
    EXPECT_EQ(out_fast.records, out_ref.records);
}

TEST(fast_trv, singular_small_matrices_give_the_same_messages) {
    // One bead at the origin: no rotational friction, so F66 is singular,
    // and the stages after it report what they meet, in both routes alike.
    BeadModel a({{0.0f, 0.0f, 0.0f}}), b({{0.0f, 0.0f, 0.0f}});
    const Outcome ref = packed(a);
    const Outcome got = fast(b);
    ASSERT_FALSE(ref.console.records.empty());
    EXPECT_EQ(ref.console.records[0], " ********** F66 IS SINGULAR");
    EXPECT_EQ(got.console.records, ref.console.records);
}

TEST(fast_trv, printed_stages_have_the_same_layout) {
    // With IP = 1 every stage prints; the two routes print the same lines,
    // digits aside (the last printed digit may differ by rounding).
    BeadModel a(random_walk(12, 3)), b(random_walk(12, 3));
    const Outcome ref = packed(a, bw::IND_RPY, 1);
    const Outcome got = fast(b, bw::IND_RPY, 1);
    auto mask = [](std::vector<std::string> lines) {
        for (auto& l : lines)
            for (char& ch : l)
                if (ch >= '0' && ch <= '9') ch = '#';
        return lines;
    };
    ASSERT_GT(ref.console.records.size(), 20u);
    EXPECT_EQ(mask(got.console.records), mask(ref.console.records));
}
