// Pivot moves: the rotation is a proper rotation drawn uniformly, the turned
// part keeps its shape and bead k stays, the fixed part is untouched, EPAIR
// after an accepted pivot is what a fresh fill gives, a refused pivot changes
// nothing but its count, the draws of an attempt, and the same trajectory
// with every kernel.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "montecarlo/pivot.hpp"
#include "montecarlo/sampler.hpp"
#include "tests/montecarlo/lcg_replay.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

std::uint32_t bits_of(float f) { return std::bit_cast<std::uint32_t>(f); }

double det(const Rotation& r) {
    const auto& R = r.R;
    return R[0][0] * (R[1][1] * R[2][2] - R[1][2] * R[2][1]) - R[0][1] * (R[1][0] * R[2][2] - R[1][2] * R[2][0]) +
           R[0][2] * (R[1][0] * R[2][1] - R[1][1] * R[2][0]);
}

TEST(PivotGeometry, rotations_are_proper_at_the_ends_of_the_grid_and_between) {
    const float last = 1.0f - 0x1p-24f;
    std::vector<std::array<float, 3>> us = {{0, 0, 0}, {last, last, last}, {0.5f, 0.25f, 0.75f}, {last, 0, 0.5f}};
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (int n = 0; n < 1000; ++n) us.push_back({u(gen), u(gen), u(gen)});
    for (const auto& v : us) {
        const Rotation r = uniform_rotation(v[0], v[1], v[2]);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                double dot = 0.0;
                for (int k = 0; k < 3; ++k) dot += r.R[i][k] * r.R[j][k];
                ASSERT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-14) << v[0] << " " << v[1] << " " << v[2];
            }
        }
        ASSERT_NEAR(det(r), 1.0, 1e-14);
    }
}

// Moments of the Haar measure: every entry has mean 0 and mean square 1/3,
// the trace mean 0 and mean square 1. A rotation biased towards the
// identity or towards some axis fails them.
TEST(PivotGeometry, rotations_have_the_moments_of_uniform_rotations) {
    std::mt19937 gen(2024);
    std::uniform_int_distribution<std::uint32_t> grid(0, (1u << 24) - 1);
    const auto ran = [&] { return static_cast<float>(grid(gen)) * 0x1p-24f; };
    const int n = 40000;
    double mean[3][3] = {}, square[3][3] = {}, trace = 0.0, trace2 = 0.0;
    for (int s = 0; s < n; ++s) {
        const float u1 = ran(), u2 = ran(), u3 = ran();
        const Rotation r = uniform_rotation(u1, u2, u3);
        const double t = r.R[0][0] + r.R[1][1] + r.R[2][2];
        trace += t, trace2 += t * t;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) mean[i][j] += r.R[i][j], square[i][j] += r.R[i][j] * r.R[i][j];
    }
    // Standard errors: entries sqrt(1/3 / n), their squares sqrt(4/45 / n),
    // the trace sqrt(1 / n), its square sqrt(2 / n) (E tr^4 = 3).
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(mean[i][j] / n, 0.0, 5.0 * std::sqrt(1.0 / 3.0 / n)) << i << j;
            EXPECT_NEAR(square[i][j] / n, 1.0 / 3.0, 5.0 * std::sqrt(4.0 / 45.0 / n)) << i << j;
        }
    }
    EXPECT_NEAR(trace / n, 0.0, 5.0 * std::sqrt(1.0 / n));
    EXPECT_NEAR(trace2 / n, 1.0, 5.0 * std::sqrt(2.0 / n));
}

TEST(PivotGeometry, every_inner_bead_is_as_likely_and_no_other_is_drawn) {
    for (std::int32_t N : {3, 7, 100}) {
        std::vector<std::int64_t> count(static_cast<std::size_t>(N) + 1, 0);
        for (std::uint32_t j = 0; j < (1u << 24); j += (N == 3 ? 1u : 3u)) {
            const std::int32_t k = pivot_bead(static_cast<float>(j) * 0x1p-24f, N);
            ASSERT_GE(k, 2);
            ASSERT_LE(k, N - 1);
            ++count[static_cast<std::size_t>(k)];
        }
        const auto [lo, hi] = std::minmax_element(count.begin() + 2, count.begin() + N);
        EXPECT_LE(*hi - *lo, 2) << "N=" << N;
    }
}

// A chain of N beads with the pivot drawn by the test (not the stream), so
// that the bead and the part are known.
struct PivotCase {
    std::string name;
    RunData run;
};

std::vector<PivotCase> interacting_cases(std::int32_t N) {
    RunData rl = replay::rigid_run(N, 0.8f, 2.0f, 31);
    RunData gs = replay::spring_run(2, N, 3.0f, 1.0f, 32);
    gs.EPS = 1.0f, gs.SIG = 1.0f;
    RunData ss = replay::spring_run(3, N, 100.0f, 0.2f, 33);
    ss.A = 10.0f, ss.ALPHA = 2.0f;
    return {{"RLHS DHS=0.8", rl}, {"GSLJ EPS=1 SIG=1", gs}, {"SSSR A=10 ALPHA=2", ss}};
}

double bond(const Conformation& c, std::int32_t i) {  // bond i (0-based) from bead i to bead i+1
    const double dx = c.x[i + 1] - c.x[i], dy = c.y[i + 1] - c.y[i], dz = c.z[i + 1] - c.z[i];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

TEST(PivotMove, a_pivot_turns_one_part_rigidly_and_keeps_epair_a_fresh_fill) {
    const std::int32_t N = 24;
    for (PivotCase& c : interacting_cases(N)) {
        Sampler s(c.run);
        s.start_subsample();
        std::mt19937 gen(99);
        std::uniform_int_distribution<std::int32_t> bead(2, N - 1);
        std::uniform_real_distribution<float> u(0.0f, 1.0f);
        int accepted = 0, refused = 0;
        for (int attempt = 0; attempt < 400; ++attempt) {
            if (attempt % 10 == 0) s.SWEEP();
            Conformation before, after;
            s.copy_to(before);
            std::vector<float> table;
            for (std::int32_t i = 1; i <= N; ++i)
                for (std::int32_t k = 1; k <= N; ++k) table.push_back(i == k ? 0.0f : s.EPAIR(i, k));
            const std::int64_t nprej = s.NPREJ();
            const std::int32_t k = bead(gen);
            const bool before_k = u(gen) < 0.5f;
            const bool ok = s.pivot(k, before_k, uniform_rotation(u(gen), u(gen), u(gen)));
            s.copy_to(after);
            ASSERT_EQ(s.NPREJ(), nprej + (ok ? 0 : 1)) << c.name;
            const std::string where = c.name + " attempt " + std::to_string(attempt);
            for (std::int32_t b = 0; b < N; ++b) {
                const bool turned = before_k ? b < k - 1 : b > k - 1;
                if (ok && turned) continue;
                ASSERT_EQ(bits_of(after.x[b]), bits_of(before.x[b])) << where << " bead " << b + 1;
                ASSERT_EQ(bits_of(after.y[b]), bits_of(before.y[b])) << where;
                ASSERT_EQ(bits_of(after.z[b]), bits_of(before.z[b])) << where;
            }
            // To rounding: each new coordinate is rounded once, to half a unit
            // in the last place of the chain's largest coordinate.
            float extent = 1.0f;
            for (std::int32_t b = 0; b < N; ++b)
                extent = std::max({extent, std::fabs(after.x[b]), std::fabs(after.y[b]), std::fabs(after.z[b])});
            const double rounding = 4.0 * extent * 0x1p-24;
            for (std::int32_t b = 0; b + 1 < N; ++b)
                ASSERT_NEAR(bond(after, b), bond(before, b), rounding) << where << " bond " << b + 1;
            if (ok) {
                ++accepted;
                RunData fresh_run = c.run;
                Sampler fresh(fresh_run);
                fresh.load(after);
                for (std::int32_t i = 1; i <= N; ++i) {
                    for (std::int32_t j = 1; j <= N; ++j) {
                        if (i == j) continue;
                        ASSERT_EQ(bits_of(s.EPAIR(i, j)), bits_of(fresh.EPAIR(i, j))) << where;
                    }
                }
            } else {
                ++refused;
                std::size_t t = 0;
                for (std::int32_t i = 1; i <= N; ++i) {
                    for (std::int32_t j = 1; j <= N; ++j, ++t) {
                        if (i == j) continue;
                        ASSERT_EQ(bits_of(s.EPAIR(i, j)), bits_of(table[t])) << where;
                    }
                }
            }
        }
        // Both outcomes were seen, so that neither branch went untested.
        EXPECT_GT(accepted, 20) << c.name;
        EXPECT_GT(refused, 20) << c.name;
    }
}

Rotation about_z(double angle) {
    Rotation r;
    r.R = {{{std::cos(angle), -std::sin(angle), 0.0}, {std::sin(angle), std::cos(angle), 0.0}, {0.0, 0.0, 1.0}}};
    return r;
}

Conformation straight_chain(std::int32_t N) {
    Conformation c;
    c.N = N;
    for (std::int32_t i = 0; i < N; ++i) c.x[i] = static_cast<float>(i), c.y[i] = 0.0f, c.z[i] = 0.0f;
    return c;
}

TEST(PivotMove, hard_spheres_refuse_a_turn_onto_the_fixed_part_and_take_a_free_one) {
    RunData run = replay::rigid_run(5, 0.8f, 2.0f, 1);
    Sampler s(run);
    s.load(straight_chain(5));
    const std::int32_t seed = run.ISEED;
    // Half a turn about bead 3 lays beads 4 and 5 onto beads 2 and 1.
    EXPECT_FALSE(s.pivot(3, false, about_z(3.141592653589793)));
    EXPECT_EQ(s.NPREJ(), 1);
    Conformation c;
    s.copy_to(c);
    EXPECT_EQ(c.x[3], 3.0f);
    // A quarter turn puts bead 4 at (2, 1, 0): sqrt(2) from bead 2.
    EXPECT_TRUE(s.pivot(3, false, about_z(3.141592653589793 / 2)));
    s.copy_to(c);
    EXPECT_NEAR(c.x[3], 2.0f, 1e-6f);
    EXPECT_NEAR(c.y[3], 1.0f, 1e-6f);
    EXPECT_NEAR(c.y[4], 2.0f, 1e-6f);
    EXPECT_EQ(c.x[2], 2.0f);
    EXPECT_EQ(s.NPREJ(), 1);
    EXPECT_EQ(run.ISEED, seed);  // hard spheres draw nothing to accept
}

TEST(PivotMove, draws_of_an_attempt) {
    // Five for the bead, the part and the rotation; no chain of two beads pivots.
    RunData rl = replay::rigid_run(10, 0.0f, 1.0f, 5);
    Sampler s(rl);
    s.start_subsample();
    for (int n = 0; n < 20; ++n) {
        const std::int32_t from = rl.ISEED;
        EXPECT_TRUE(s.pivot());
        EXPECT_EQ(replay::draws_between(from, rl.ISEED), 5);
    }
    RunData two = replay::rigid_run(2, 0.0f, 1.0f, 5);
    Sampler t(two);
    t.start_subsample();
    const std::int32_t from = two.ISEED;
    EXPECT_FALSE(t.pivot());
    EXPECT_EQ(two.ISEED, from);
    EXPECT_EQ(t.NPREJ(), 0);

    // Pair energies: no draw when dE <= 0 (the identity turns nothing), one
    // Metropolis draw when dE > 0 (a strong repulsion folds the chain back).
    RunData ss = replay::spring_run(3, 5, 100.0f, 0.2f, 5);
    ss.A = 1000.0f, ss.ALPHA = 1.0f, ss.RCUT = 3.0f, ss.RCUT2 = 9.0f;
    Sampler e(ss);
    e.load(straight_chain(5));
    const std::int32_t seed = ss.ISEED;
    EXPECT_TRUE(e.pivot(3, false, about_z(0.0)));
    EXPECT_EQ(ss.ISEED, seed);
    EXPECT_FALSE(e.pivot(3, false, about_z(2.5)));
    EXPECT_EQ(replay::draws_between(seed, ss.ISEED), 1);
    EXPECT_EQ(e.NPREJ(), 1);
}

// The scalar loops and the best lane kernel of this processor, cycle after
// cycle with three pivots each: the same draws, refusals and bits.
TEST(PivotMove, every_kernel_gives_the_same_trajectory) {
    if (best_sweep_kernel() == SweepKernel::scalar) GTEST_SKIP() << "no lane kernel on this processor";
    for (PivotCase& c : interacting_cases(40)) {
        c.run.NPIVOT = 3;
        RunData ra = c.run, rb = c.run;
        Sampler scalar(ra, SweepKernel::scalar), fast(rb, best_sweep_kernel());
        scalar.start_subsample();
        fast.start_subsample();
        Conformation a, b;
        for (int cycle = 0; cycle < 200; ++cycle) {
            scalar.CYCLE();
            fast.CYCLE();
            scalar.copy_to(a);
            fast.copy_to(b);
            bool same = ra.ISEED == rb.ISEED && scalar.NREJ() == fast.NREJ() && scalar.NPREJ() == fast.NPREJ();
            for (std::int32_t k = 0; k < c.run.N; ++k)
                same = same && bits_of(a.x[k]) == bits_of(b.x[k]) && bits_of(a.y[k]) == bits_of(b.y[k]) &&
                       bits_of(a.z[k]) == bits_of(b.z[k]);
            ASSERT_TRUE(same) << c.name << ": differs after cycle " << cycle + 1;
        }
        EXPECT_GT(scalar.NPREJ(), 0) << c.name;
        EXPECT_LT(scalar.NPREJ(), 600) << c.name;
    }
}

}  // namespace
}  // namespace bw
