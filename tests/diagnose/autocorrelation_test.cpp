#include "diagnose/autocorrelation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/diagnose/series_fixture.hpp"

namespace bw::diagnose {
namespace {

TEST(Autocorrelation, lag_sums_equal_the_direct_sums) {
    const std::vector<double> x = {1.0, 4.0, -2.0, 0.5, 3.0, 3.0, -1.0};
    const double m = 8.5 / 7.0;
    const std::vector<double> s = lag_sums(x);
    ASSERT_EQ(s.size(), x.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
        double direct = 0.0;
        for (std::size_t t = 0; t + k < x.size(); ++t) direct += (x[t] - m) * (x[t + k] - m);
        EXPECT_NEAR(s[k], direct, 1e-12) << k;
    }
}

TEST(Autocorrelation, pooling_adds_the_lag_sums_about_each_runs_own_mean) {
    // Runs {0, 2} (mean 1) and {10, 10, 13} (mean 11): the offset between
    // runs does not count. C(0) = (1 + 1 + 1 + 1 + 4) / 5, C(1) = (-1 + 1 - 2) / 5.
    const std::vector<std::vector<double>> runs = {{0.0, 2.0}, {10.0, 10.0, 13.0}};
    const std::vector<double> C = pooled_autocovariance(runs);
    ASSERT_EQ(C.size(), 3u);
    EXPECT_NEAR(C[0], 8.0 / 5.0, 1e-12);
    EXPECT_NEAR(C[1], -2.0 / 5.0, 1e-12);
    EXPECT_NEAR(C[2], -2.0 / 5.0, 1e-12);  // (10 - 11)(13 - 11)
}

// Sokal's estimate has a relative standard deviation of about
// sqrt(2 (2W + 1) / n); the tolerances below are four of those.
TEST(Autocorrelation, white_noise_has_tau_1) {
    std::mt19937_64 rng(11);
    const std::vector<double> x = test::ar1(200000, 0.0, rng);
    const std::vector<std::vector<double>> one = {x};
    const IntegratedTime it = integrated_time(pooled_autocovariance(one));
    EXPECT_TRUE(it.window_found);
    EXPECT_NEAR(it.tau, 1.0, 4.0 * std::sqrt(2.0 * 11.0 / 200000.0));
    EXPECT_LE(it.window, 8u);
}

TEST(Autocorrelation, ar1_with_coefficient_0_9_has_tau_19) {
    const auto runs = test::runs(100000, 0.9, 0.0, 1.0, 23);  // 500000 samples in 5 runs
    const IntegratedTime it = integrated_time(pooled_autocovariance(runs));
    EXPECT_TRUE(it.window_found);
    EXPECT_NEAR(it.tau, 19.0, 4.0 * 19.0 * std::sqrt(2.0 * 191.0 / 5e5));
    EXPECT_GE(static_cast<double>(it.window), 5.0 * it.tau);
}

TEST(Autocorrelation, a_series_shorter_than_its_window_says_so) {
    // rho = 1 at every lag: tau(W) = 1 + 2W never falls to W / 5.
    const std::vector<double> C = {2.0, 2.0, 2.0, 2.0};
    const IntegratedTime it = integrated_time(C);
    EXPECT_FALSE(it.window_found);
    EXPECT_EQ(it.window, 3u);
    EXPECT_EQ(it.tau, 7.0);
    // rho(1) = 0.5, then 0: tau = 2 from W = 1 on; found at W = 10.
    const std::vector<double> D = {1.0, 0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(integrated_time(D).window, 10u);
    EXPECT_EQ(integrated_time(D).tau, 2.0);
}

TEST(Autocorrelation, a_constant_series_has_no_time) {
    const std::vector<std::vector<double>> runs = {{2.0, 2.0, 2.0}, {5.0, 5.0, 5.0}};
    EXPECT_TRUE(std::isnan(integrated_time(pooled_autocovariance(runs)).tau));
    EXPECT_TRUE(std::isnan(integrated_time({}).tau));
}

}  // namespace
}  // namespace bw::diagnose
