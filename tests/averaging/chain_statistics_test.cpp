// Fixed-seed runs of the sampler with the subsample statistics, checked
// against the exact averages of ideal chains. For a chain of N beads whose
// bond vectors are independent and isotropic with mean square length <b2>,
//   <r2> = (N - 1) <b2>,   <s2> = <b2> (N^2 - 1) / (6 N).
// Each check allows 5 reported standard errors: with 5 subsample means the
// error estimate has 4 degrees of freedom and |t4| > 5 has probability 0.75%.
// The error itself must be under 4% of the value, so that the tolerance is
// not vacuous, and each subsample runs many relaxation times of the chain.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "averaging/steave.hpp"
#include "montecarlo/sampler.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

struct Averages {
    float r2, r2_err, s2, s2_err;
    std::int64_t NREJ;
};

Averages simulate(RunData& run) {
    NullSink console;
    Steave st(run, nullptr, console);
    const std::int64_t NREJ = MCRUN(run, st, console);
    return {st.PSTAT(1, 1), st.PSTAT(1, 2), st.PSTAT(2, 1), st.PSTAT(2, 2), NREJ};
}

void expect_ideal_chain(const Averages& a, std::int32_t N, double b2) {
    const double r2 = (N - 1) * b2;
    const double s2 = b2 * (double(N) * N - 1.0) / (6.0 * N);
    EXPECT_GT(a.r2_err, 0.0f);
    EXPECT_LT(a.r2_err, 0.04 * r2);
    EXPECT_LT(a.s2_err, 0.04 * s2);
    EXPECT_NEAR(a.r2, r2, 5.0 * a.r2_err) << "<r2>* = " << a.r2 << " +- " << a.r2_err;
    EXPECT_NEAR(a.s2, s2, 5.0 * a.s2_err) << "<s2>* = " << a.s2 << " +- " << a.s2_err;
    std::printf("N=%d <r2>*=%.4f+-%.4f (exact %.4f) <s2>*=%.4f+-%.4f (exact %.4f) NREJ=%lld\n", N, a.r2,
                a.r2_err, r2, a.s2, a.s2_err, s2, static_cast<long long>(a.NREJ));
}

TEST(ChainStatisticsTest, GaussianSpringChain) {
    // (HOOK / 2) b^2 with HOOK = 3 kT/b^2: each bond component has variance
    // 1/3, so <b2> = 1.
    const std::int32_t N = 10;
    RunData run = replay::make_run(2, N, 100 * 2000, 2000, 20240601);
    run.HOOK = 3.0f, run.AMPL = 1.0f, run.EPS = 0.0f, run.SIG = 1.0f, run.RCUT = 2.5f, run.RCUT2 = 6.25f;
    const Averages a = simulate(run);
    expect_ideal_chain(a, N, 1.0);
    EXPECT_GT(a.NREJ, 0);
}

TEST(ChainStatisticsTest, RigidBondChainWithoutExcludedVolume) {
    const std::int32_t N = 10;
    RunData run = replay::make_run(1, N, 50 * 2000, 2000, 777);
    run.DHS = 0.0f;
    run.DELTAPHI = 6.2831855f;
    const Averages a = simulate(run);
    expect_ideal_chain(a, N, 1.0);
    EXPECT_EQ(a.NREJ, 0);  // no hard spheres: nothing to refuse
}

// <b2> of a spring of rest length 1: the bond length b has the density
// b^2 exp(-(HOOK/2)(b - 1)^2) on b >= 0, integrated by the trapezoidal rule.
double spring_mean_square_length(double HOOK) {
    double z = 0.0, m = 0.0;
    const double h = 1e-4;
    for (double b = 0.0; b < 1.0 + 40.0 / std::sqrt(HOOK); b += h) {
        const double w = b * b * std::exp(-0.5 * HOOK * (b - 1.0) * (b - 1.0));
        z += w;
        m += w * b * b;
    }
    return m / z;
}

TEST(ChainStatisticsTest, StiffSoftSpringsApproachRigidBonds) {
    const std::int32_t N = 10;
    const float HOOK = 100.0f;
    const double b2 = spring_mean_square_length(HOOK);
    ASSERT_NEAR(b2, 1.0 + 4.0 / HOOK, 1.0 / HOOK);  // 1 + 3/k from the spread, + 1/k from the b^2 weight
    RunData run = replay::make_run(3, N, 400 * 1000, 1000, 4242);
    run.HOOK = HOOK, run.AMPL = 0.4f, run.A = 0.0f, run.ALPHA = 1.0f, run.RCUT = 2.5f, run.RCUT2 = 6.25f;
    const Averages a = simulate(run);
    expect_ideal_chain(a, N, b2);
    // Close to the rigid-bond chain: only the 4% longer mean square bond
    // separates them, plus the statistical error.
    EXPECT_NEAR(a.r2, N - 1, (N - 1) * (b2 - 1.0) + 5.0 * a.r2_err);
}

}  // namespace
}  // namespace bw
