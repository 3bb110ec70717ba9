#include "diagnose/equilibration.hpp"

#include <gtest/gtest.h>

#include "tests/diagnose/series_fixture.hpp"

namespace bw::diagnose {
namespace {

// An offset A exp(-t / T) on noise of unit variance is gone, to within the
// noise, after a few T: A exp(-t0 / T) = 1 at t0 = T ln A.
TEST(Equilibration, a_decaying_offset_is_cut_after_a_few_decay_times) {
    const auto white = test::runs(10000, 0.0, 10.0, 50.0, 3);  // T ln A = 115
    const std::size_t t0 = equilibration(white);
    EXPECT_GE(t0, 100u);
    EXPECT_LE(t0, 500u);

    // Correlated noise of variance 1 / (1 - 0.81) = 5.3, tau 19: the same
    // offset in units of its spread, decaying over 500 samples.
    const auto correlated = test::runs(40000, 0.9, 23.0, 500.0, 4);  // T ln(A / 2.3) = 1150
    const std::size_t t1 = equilibration(correlated);
    EXPECT_GE(t1, 800u);
    EXPECT_LE(t1, 5000u);
}

TEST(Equilibration, an_equilibrated_chain_keeps_almost_everything) {
    for (std::uint64_t seed : {1u, 2u}) {
        EXPECT_LE(equilibration(test::runs(5000, 0.0, 0.0, 1.0, seed)), 250u) << seed;
        EXPECT_LE(equilibration(test::runs(10000, 0.9, 0.0, 1.0, seed)), 1000u) << seed;
    }
}

TEST(Equilibration, short_or_constant_runs) {
    EXPECT_EQ(equilibration({}), 0u);
    const std::vector<std::vector<double>> flat = {{1.0, 1.0, 1.0, 1.0}, {2.0, 2.0, 2.0, 2.0}};
    EXPECT_EQ(equilibration(flat), 0u);
    const std::vector<std::vector<double>> one = {{1.0}, {3.0}};
    EXPECT_EQ(equilibration(one), 0u);
}

}  // namespace
}  // namespace bw::diagnose
