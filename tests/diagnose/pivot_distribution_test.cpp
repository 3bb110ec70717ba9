// Pivot moves sample the model's own distribution. Short fixed-seed runs,
// each average checked within 3 errors of the autocorrelation (err(acf) of
// the diagnosis, which counts the correlation of the samples):
// - ideal chains, against exact averages: Gaussian springs (code 2, EPS = 0)
//   <r2>* = 3 (N - 1) / HOOK, <s2>* = (N^2 - 1) / (2 N HOOK); springs of rest
//   length 1 (code 3, A = 0), whose bonds are independent with
//   p(b) ~ b^2 exp(-(HOOK/2) (b - 1)^2): <r2>* = (N - 1) <b2>,
//   <s2>* = <b2> (N^2 - 1) / (6 N);
// - interacting chains, pivot against local moves within 3 combined errors:
//   hard spheres (code 1, DHS = 0.8), Lennard-Jones (code 2, EPS = 1,
//   SIG = 1), soft repulsion (code 3, A = 10, ALPHA = 2).
// A wrong acceptance rule, a biased rotation or a part turned about the wrong
// bead moves these averages by many errors. tools/pivot-agreement.sh runs the
// long version with D* and [eta]* through the executables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "diagnose/diagnosis.hpp"
#include "diagnose/series_recorder.hpp"
#include "driver/records/record_sink.hpp"
#include "tests/montecarlo/run_setup.hpp"

namespace bw {
namespace {

struct Estimate {
    double mean = 0.0, error = 0.0;  // error: err(acf)
};

struct Averages {
    Estimate r2, s2;
};

Averages sample(RunData run) {
    diagnose::SeriesRecorder series(2, static_cast<std::size_t>(run.NCONFSUB));
    NullSink console;
    const DataSetOutcome out = run_data_set(run, console, 1, [] { return std::make_unique<RigidBeadHydro>(); }, &series);
    Averages a;
    Estimate* e[2] = {&a.r2, &a.s2};
    for (std::size_t p = 0; p < 2; ++p) {
        const diagnose::PropertyDiagnosis d = diagnose::diagnose_property(
            series.series(p), {run.NCONF, run.NCONFAVE, run.NFREQ}, out.PSTAT[p][0], out.PSTAT[p][1]);
        *e[p] = {out.PSTAT[p][0], d.error_autocorr};
    }
    return a;
}

RunData chain(std::int32_t ICODE, std::int32_t N, std::int32_t NCONF, std::int32_t NCONFAVE, std::int32_t K) {
    RunData run = replay::make_run(ICODE, N, NCONF, NCONFAVE, 8128 + ICODE + 7 * K);
    run.NPIVOT = K;
    return run;
}

RunData springs(std::int32_t ICODE, std::int32_t N, std::int32_t NCONF, std::int32_t NCONFAVE, std::int32_t K) {
    RunData run = chain(ICODE, N, NCONF, NCONFAVE, K);
    run.HOOK = ICODE == 2 ? 3.0f : 100.0f;
    run.AMPL = ICODE == 2 ? 1.0f : 0.2f;
    run.SIG = 1.0f, run.ALPHA = 2.0f, run.RCUT = 2.5f, run.RCUT2 = 6.25f;
    return run;
}

void expect_within(const Estimate& e, double exact, const std::string& what) {
    std::printf("%s: %.4f +- %.4f (expected %.4f)\n", what.c_str(), e.mean, e.error, exact);
    EXPECT_GT(e.error, 0.0) << what;
    EXPECT_LT(e.error, 0.03 * exact) << what << ": too short to tell";
    EXPECT_NEAR(e.mean, exact, 3.0 * e.error) << what;
}

void expect_agree(const Estimate& pivot, const Estimate& local, const std::string& what) {
    const double combined = std::sqrt(pivot.error * pivot.error + local.error * local.error);
    std::printf("%s: pivot %.4f +- %.4f, local %.4f +- %.4f\n", what.c_str(), pivot.mean, pivot.error, local.mean,
                local.error);
    EXPECT_LT(combined, 0.03 * local.mean) << what << ": too short to tell";
    EXPECT_NEAR(pivot.mean, local.mean, 3.0 * combined) << what;
}

// <b2> of a bond with p(b) ~ b^2 exp(-(HOOK/2)(b - 1)^2), by Simpson's rule.
double mean_square_bond(double HOOK) {
    const int n = 20000;
    const double h = 4.0 / n;
    double num = 0.0, den = 0.0;
    for (int i = 0; i <= n; ++i) {
        const double b = i * h, w = (i == 0 || i == n) ? 1.0 : (i % 2 == 1 ? 4.0 : 2.0);
        const double p = b * b * std::exp(-0.5 * HOOK * (b - 1.0) * (b - 1.0));
        num += w * p * b * b;
        den += w * p;
    }
    return num / den;
}

TEST(PivotDistribution, ideal_chains_have_their_exact_averages) {
    const std::int32_t N = 20;
    const Averages gs = sample(springs(2, N, 100000, 20000, 1));
    expect_within(gs.r2, 3.0 * (N - 1) / 3.0, "GS <r2>*");
    expect_within(gs.s2, (double(N) * N - 1.0) / (2.0 * N * 3.0), "GS <s2>*");
    const double b2 = mean_square_bond(100.0);
    const Averages ss = sample(springs(3, N, 100000, 20000, 2));
    expect_within(ss.r2, (N - 1) * b2, "SS <r2>*");
    expect_within(ss.s2, b2 * (double(N) * N - 1.0) / (6.0 * N), "SS <s2>*");
}

TEST(PivotDistribution, interacting_chains_agree_with_local_moves) {
    const std::int32_t N = 12;
    for (const std::int32_t ICODE : {1, 2, 3}) {
        const std::string name = "code " + std::to_string(ICODE);
        // The stiff springs relax slowly under local moves (tau of about
        // 2500 cycles at N = 12): a longer local run.
        RunData local = springs(ICODE, N, ICODE == 3 ? 2000000 : 400000, 20000, 0);
        RunData pivot = springs(ICODE, N, 100000, 20000, 1);
        for (RunData* r : {&local, &pivot}) {
            r->DHS = 0.8f, r->DELTAPHI = 2.0f;  // code 1
            r->EPS = 1.0f;                      // code 2
            r->A = 10.0f;                       // code 3
        }
        const Averages l = sample(local), p = sample(pivot);
        expect_agree(p.r2, l.r2, name + " <r2>*");
        expect_agree(p.s2, l.s2, name + " <s2>*");
    }
}

}  // namespace
}  // namespace bw
