#include "diagnose/diagnosis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "tests/diagnose/series_fixture.hpp"

namespace bw::diagnose {
namespace {

// The five-subsample error of runs, as steave forms it (divisor n (n - 1)).
float subsample_error(const std::vector<std::vector<double>>& runs) {
    double m[5], s = 0.0;
    for (int j = 0; j < 5; ++j) {
        m[j] = 0.0;
        for (double v : runs[j]) m[j] += v;
        m[j] /= double(runs[j].size());
        s += m[j];
    }
    s /= 5.0;
    double v = 0.0;
    for (double x : m) v += (x - s) * (x - s);
    return float(std::sqrt(v / 20.0));
}

PropertyDiagnosis diagnose(const std::vector<std::vector<double>>& runs, std::int32_t NFREQ, float error) {
    const auto n = static_cast<std::int32_t>(5 * runs[0].size());
    return diagnose_property(runs, {n * NFREQ, n, NFREQ}, 0.0f, error);
}

TEST(Diagnosis, independent_samples_in_plenty_are_reliable) {
    const auto runs = test::runs(2000, 0.0, 0.0, 1.0, 8);
    const PropertyDiagnosis d = diagnose(runs, 500, subsample_error(runs));
    EXPECT_EQ(d.verdict, "reliable");
    EXPECT_EQ(d.advice, "none");
    EXPECT_NEAR(d.tau_samples, 1.0, 0.15);
    EXPECT_NEAR(d.tau_cycles, 500.0 * d.tau_samples, 1e-9);
    EXPECT_NEAR(d.n_eff, 10000.0 / d.tau_samples, 1e-6);
    // sqrt(var tau / n) with var = 1.
    EXPECT_NEAR(d.error_autocorr, std::sqrt(d.tau_samples / 10000.0), 0.001);
}

TEST(Diagnosis, correlated_samples_name_n_eff_and_the_run_that_would_do) {
    // tau = 19 samples, 10 cycles each: 190 cycles; 10000 samples are worth 526.
    const auto runs = test::runs(2000, 0.9, 0.0, 1.0, 9);
    const PropertyDiagnosis d = diagnose(runs, 10, 1.0f);
    ASSERT_EQ(d.verdict.rfind("correlated samples: n_eff = ", 0), 0u) << d.verdict;
    EXPECT_EQ(d.verdict, "correlated samples: n_eff = " + std::to_string(std::lround(d.n_eff)));
    EXPECT_NEAR(d.tau_samples, 19.0, 6.0);
    // 1000 tau samples at NFREQ = 10, rounded up to a multiple of 5.
    const long NCONFAVE = 5 * std::lround(std::ceil(10000.0 * (1000.0 / d.n_eff) / 5.0));
    EXPECT_EQ(d.advice.rfind("NCONF = " + std::to_string(NCONFAVE * 10) + " with NCONFAVE = " +
                                 std::to_string(NCONFAVE) + " (NFREQ = 10), or NCONF = ",
                             0),
              0u)
        << d.advice;
}

TEST(Diagnosis, a_subsample_shorter_than_fifty_tau_says_tau_is_underestimated) {
    // tau = 39 samples: 1000 samples per subsample span about 26 tau, 4000 about 100.
    const auto short_runs = test::runs(1000, 0.95, 0.0, 1.0, 21);
    const PropertyDiagnosis d = diagnose(short_runs, 10, 1.0f);
    char span[16];
    std::snprintf(span, sizeof span, "%.3g", 1000.0 / d.tau_samples);
    const std::string named = "tau underestimated: a subsample spans only " + std::string(span) + " tau";
    EXPECT_NE(d.verdict.find("correlated samples: n_eff = " + std::to_string(std::lround(d.n_eff)) + "; " + named),
              std::string::npos)
        << d.verdict;
    // The run advised gives every subsample at least 50 tau at the tau measured.
    const long NCONFAVE = std::stol(d.advice.substr(d.advice.find("NCONFAVE = ") + 11));
    EXPECT_GE(NCONFAVE / 5.0, 50.0 * d.tau_samples) << d.advice;

    const auto long_runs = test::runs(4000, 0.95, 0.0, 1.0, 22);
    EXPECT_EQ(diagnose(long_runs, 10, 1.0f).verdict.find("tau underestimated"), std::string::npos);
}

TEST(Diagnosis, a_start_far_from_equilibrium_is_named) {
    // Offset 3 sigma decaying over 200 of 2000 samples per subsample: the mean
    // is 0.3 too high, against an error of about 0.01.
    const auto runs = test::runs(2000, 0.0, 3.0, 200.0, 10);
    const PropertyDiagnosis d = diagnose(runs, 500, subsample_error(runs));
    // The rule stops where what is left of the offset no longer inflates the
    // variance; most of the bias goes with the burn-in.
    EXPECT_GE(d.burn_in_samples, 200u);
    EXPECT_LE(d.burn_in_shift, -0.2);
    EXPECT_GE(d.burn_in_shift, -0.32);
    EXPECT_EQ(d.verdict.rfind("not equilibrated: first " + std::to_string(d.burn_in_samples) +
                                  " samples of each subsample",
                              0),
              0u)
        << d.verdict;
}

TEST(Diagnosis, an_error_bar_below_half_the_autocorrelation_error_is_too_small) {
    const auto runs = test::runs(2000, 0.0, 0.0, 1.0, 8);
    const PropertyDiagnosis fine = diagnose(runs, 500, 0.6f * float(std::sqrt(1.0 / 10000.0)));
    EXPECT_EQ(fine.verdict, "reliable");
    const PropertyDiagnosis small = diagnose(runs, 500, 0.4f * float(std::sqrt(1.0 / 10000.0)));
    EXPECT_EQ(small.verdict, "error bar too small");
    EXPECT_EQ(small.advice.rfind("none; quote the autocorrelation error ", 0), 0u);
}

TEST(Diagnosis, few_independent_samples_are_too_few_not_correlated) {
    const auto runs = test::runs(100, 0.0, 0.0, 1.0, 12);
    const PropertyDiagnosis d = diagnose(runs, 500, subsample_error(runs));
    EXPECT_EQ(d.verdict.rfind("too few samples: n_eff = ", 0), 0u) << d.verdict;
}

TEST(Diagnosis, series_that_say_nothing) {
    const std::vector<std::vector<double>> one(5, std::vector<double>{1.0});
    EXPECT_EQ(diagnose(one, 10, 0.0f).verdict, "cannot be diagnosed: fewer than 2 samples per subsample");
    const std::vector<std::vector<double>> flat = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}};
    const PropertyDiagnosis d = diagnose(flat, 10, 0.7f);
    EXPECT_EQ(d.verdict, "cannot be diagnosed: no change within any subsample");
    EXPECT_TRUE(std::isnan(d.tau_samples));
    std::vector<std::vector<double>> inf = {{1, 2}, {2, 1}, {3, 4}, {4, 3}, {5, INFINITY}};
    EXPECT_EQ(diagnose(inf, 10, 0.0f).verdict, "cannot be diagnosed: values not finite");
}

}  // namespace
}  // namespace bw::diagnose
