#include "montecarlo/iniconf.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "montecarlo/simulation_error.hpp"
#include "tests/montecarlo/lcg_replay.hpp"

namespace bw {
namespace {

Conformation straight_chain(std::int32_t N) {
    Conformation c;
    c.N = N;
    for (std::int32_t i = 0; i < N; ++i) c.x[i] = static_cast<float>(i);
    return c;
}

// Every bead one unit from its predecessor and at squared distance > 0.9
// from all earlier beads.
void expect_valid_walk(const Conformation& c) {
    EXPECT_EQ(c.x[0], 0.0f);
    EXPECT_EQ(c.y[0], 0.0f);
    EXPECT_EQ(c.z[0], 0.0f);
    for (std::int32_t i = 2; i <= c.N; ++i) {
        EXPECT_NEAR(DIST2(c, i - 1, i), 1.0f, 2e-5f) << "bond " << i;
        for (std::int32_t j = 1; j < i; ++j) ASSERT_GT(DIST2(c, j, i), 0.9f) << j << "," << i;
    }
}

void expect_same_chain(const Conformation& c, const Conformation& d) {
    EXPECT_EQ(c.N, d.N);
    EXPECT_EQ(c.x, d.x);
    EXPECT_EQ(c.y, d.y);
    EXPECT_EQ(c.z, d.z);
}

TEST(Dist2Test, SquaredDistanceOfTwoBeads) {
    const Conformation c = straight_chain(10);
    EXPECT_EQ(DIST2(c, 1, 2), 1.0f);
    EXPECT_EQ(DIST2(c, 1, 10), 81.0f);
    EXPECT_EQ(DIST2(c, 10, 1), 81.0f);
    Conformation d;
    d.N = 2;
    d.x[1] = 1.0f, d.y[1] = 2.0f, d.z[1] = -2.0f;
    EXPECT_EQ(DIST2(d, 1, 2), 9.0f);
}

TEST(IniconfTest, SingleBeadSitsAtOriginWithoutDraws) {
    Conformation c;
    c.x[0] = 5.0f;
    std::int32_t seed = 4321;
    INICONF(1, seed, c);
    EXPECT_EQ(c.N, 1);
    EXPECT_EQ(c.x[0], 0.0f);
    EXPECT_EQ(seed, 4321);
}

TEST(IniconfTest, TwoBeadsTakeOneUnitStepFromTwoDraws) {
    std::int32_t seed = 12345;
    Conformation c;
    INICONF(2, seed, c);
    EXPECT_EQ(replay::draws_between(12345, seed), 2);
    // The step direction from the two draws, azimuth factor 6.2831855.
    const float u1 = replay::lcg_value(replay::advance(12345, 1));
    const float u2 = replay::lcg_value(replay::advance(12345, 2));
    const float ct = 2.0f * u1 - 1.0f;
    const float st = std::sqrt(1.0f - ct * ct);
    const float phi = u2 * 6.2831855f;
    EXPECT_EQ(c.x[1], st * std::cos(phi));
    EXPECT_EQ(c.y[1], st * std::sin(phi));
    EXPECT_EQ(c.z[1], ct);
    EXPECT_NEAR(DIST2(c, 1, 2), 1.0f, 1e-6f);
}

TEST(IniconfTest, LongChainsAreSelfAvoidingWalksOfUnitSteps) {
    for (std::int32_t seed0 : {0, 1, -1, 12345, 987654321}) {
        std::int32_t seed = seed0;
        Conformation c;
        INICONF(MAXBEADS, seed, c);
        expect_valid_walk(c);
        // Two draws per attempted position, at least one attempt per bead.
        const std::int64_t draws = replay::draws_between(seed0, seed);
        EXPECT_GE(draws, 2 * (MAXBEADS - 1));
        EXPECT_EQ(draws % 2, 0);
        // Same seed, same chain.
        std::int32_t again = seed0;
        Conformation d;
        INICONF(MAXBEADS, again, d);
        EXPECT_EQ(again, seed);
        expect_same_chain(c, d);
    }
}

// A seed from which an N-bead walk needs at least one redraw.
std::int32_t seed_with_a_redraw(std::int32_t N) {
    for (std::int32_t s = 1;; ++s) {
        std::int32_t seed = s;
        Conformation c;
        INICONF(N, seed, c);
        if (replay::draws_between(s, seed) > 2 * (N - 1)) return s;
    }
}

TEST(IniconfTest, BoundedRedrawsRestartFromBeadOneOnTheSameStream) {
    const std::int32_t N = 20;
    const std::int32_t seed0 = seed_with_a_redraw(N);
    std::int32_t seed = seed0;
    Conformation c;
    // No redraw allowed: every refusal starts the chain again.
    INICONF(N, seed, c, IniconfLimits{0, 100000});
    expect_valid_walk(c);
    const std::int64_t draws = replay::draws_between(seed0, seed);
    ASSERT_GT(draws, 2 * (N - 1));
    // The final chain is the walk built without refusal from the last
    // 2 (N-1) draws of the same stream.
    std::int32_t start = replay::advance(seed0, draws - 2 * (N - 1));
    Conformation d;
    INICONF(N, start, d);
    EXPECT_EQ(start, seed);
    expect_same_chain(c, d);
}

TEST(IniconfTest, GivesUpWithSimulationErrorInsteadOfLoopingForever) {
    std::int32_t seed = seed_with_a_redraw(MAXBEADS);
    Conformation c;
    try {
        INICONF(MAXBEADS, seed, c, IniconfLimits{0, 0});
        FAIL() << "no error";
    } catch (const SimulationError& e) {
        EXPECT_NE(std::string(e.what()).find("100 beads"), std::string::npos) << e.what();
    }
    EXPECT_THROW(INICONF(MAXBEADS + 1, seed, c), SimulationError);
    EXPECT_THROW(INICONF(-3, seed, c), SimulationError);
}

}  // namespace
}  // namespace bw
