// Parameters that make no physical sense, through the real executable with
// small runs. They are taken as the formulas say: the run completes and its
// report holds no NaN; a data set that cannot be started at all stops with
// one clear message (status 1) instead of a report of garbage.
#include <gtest/gtest.h>

#include "tests/driver/process_fixture.hpp"

namespace bw {
namespace {

using test::kBeadwalks;
using test::Process;
using test::read_file;

class NonPhysical : public test::Executable {
protected:
    // Runs one data set of model `code` (10 beads, NCONF = 1000, NCONFAVE =
    // 50, seed 3, hydrodynamics on, P(r) in two intervals up to 5) with the
    // model-specific `items`.
    Process run_model(int code, const std::string& items, const std::string& general = "10\n1000\n50\n3\n1\n2\n5.0\n") {
        data("run.dat", general + items + "-1\n");
        return run(kBeadwalks, std::to_string(code) + "\nrun.dat\nrun.out\n\n");
    }
    std::string output() const { return read_file(dir_ / "run.out"); }
    std::string record_after(const std::string& head) const {
        for (const std::string& line : file("run.out"))
            if (line.starts_with(head)) return line.substr(head.size());
        return "(no record " + head + ")";
    }
    void expect_report_without_nan(const Process& p, const std::string& what) {
        EXPECT_EQ(p.status, 0) << what << ": " << p.err;
        EXPECT_NE(output().find(" FINAL RESULTS:"), std::string::npos) << what;
        EXPECT_EQ(output().find("NaN"), std::string::npos) << what << "\n" << output();
        for (const std::string& line : p.out) EXPECT_EQ(line.find("NaN"), std::string::npos) << what << ": " << line;
    }
};

const std::string kRejected = " Number of rejected conformations =";
const std::string kPercent = " Percent of rejected conformations=";

TEST_F(NonPhysical, negative_and_oversized_parameters_run_as_the_formulas_say) {
    struct Case { int code; const char* what; std::string items; };
    const std::vector<Case> cases = {
        {1, "negative DHS (its square is the overlap bound)", "-0.5\n1.0\n"},
        {1, "negative DELTAPHI", "0.5\n-3.0\n"},
        {2, "negative HOOK", "1.0\n1.0\n2.5\n-1.0\n0.5\n"},
        {2, "negative SIG", "1.0\n-1.0\n2.5\n3.0\n0.5\n"},
        {2, "negative RCUT", "1.0\n1.0\n-2.5\n3.0\n0.5\n"},
        {2, "negative AMPL", "1.0\n1.0\n2.5\n3.0\n-0.5\n"},
        {3, "negative ALPHA", "1.0\n-1.0\n2.5\n3.0\n0.5\n"},
        {3, "negative HOOK", "1.0\n1.0\n2.5\n-5.0\n0.5\n"},
        {3, "negative A and AMPL", "-2.0\n1.0\n2.5\n3.0\n-0.5\n"},
    };
    for (const Case& c : cases) expect_report_without_nan(run_model(c.code, c.items), c.what);
}

TEST_F(NonPhysical, a_hard_sphere_wider_than_the_bond_refuses_every_move) {
    // 5 subsamples * 10 samples * NFREQ 20 sweeps * 10 beads = 10000 attempts.
    const Process p = run_model(1, "1.5\n1.0\n");
    expect_report_without_nan(p, "DHS 1.5");
    EXPECT_EQ(record_after(kRejected), "          10000");
    EXPECT_EQ(record_after(kPercent), "100.00");
    // Two beads: both are end beads, and the bond itself overlaps.
    run_model(1, "1.01\n1.0\n", "2\n1000\n50\n3\n0\n0\n");
    EXPECT_EQ(record_after(kRejected), "           2000");
    EXPECT_EQ(record_after(kPercent), "100.00");
}

TEST_F(NonPhysical, no_cycles_asked_for_prints_a_zero_percentage) {
    for (const char* nconf : {"0", "-1000"}) {
        const Process p = run_model(2, "1.0\n1.0\n2.5\n3.0\n0.5\n", std::string("10\n") + nconf + "\n50\n3\n0\n0\n");
        expect_report_without_nan(p, nconf);
        EXPECT_EQ(record_after(kRejected), "              0") << nconf;
        EXPECT_EQ(record_after(kPercent), "  0.00") << nconf;
    }
}

TEST_F(NonPhysical, starting_energies_that_overflow_stop_with_a_message) {
    const std::string message =
        "Monte Carlo: a pair energy of the initial chain is not finite; the interaction parameters cannot be simulated";
    struct Case { int code; const char* what; std::string items; };
    const std::vector<Case> cases = {
        {2, "SIG 1e10: (SIG/r)^12 overflows", "1.0\n1e10\n2.5\n3.0\n0.5\n"},
        {2, "EPS -1e38: 4 EPS overflows", "-1e38\n1.0\n2.5\n3.0\n0.5\n"},
        {3, "ALPHA -200: exp(200 r) overflows", "1.0\n-200\n2.5\n3.0\n0.5\n"},
    };
    for (const Case& c : cases) {
        const Process p = run_model(c.code, c.items);
        EXPECT_EQ(p.status, 1) << c.what;
        EXPECT_EQ(p.err, "") << c.what;
        const auto out = file("run.out");
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.back(), message) << c.what;
        EXPECT_EQ(p.out.back(), message) << c.what;
        EXPECT_EQ(output().find("FINAL RESULTS"), std::string::npos) << c.what;
    }
}

TEST_F(NonPhysical, a_chain_torn_apart_overflows_without_turning_into_nan) {
    // A negative spring constant pays for every stretch and a displacement of
    // 1e18 makes it huge: squared distances leave the float range, so the
    // averages may be Inf, and the hydrodynamic stages say they failed; but
    // no sum of infinities may turn into NaN.
    const Process p = run_model(2, "1.0\n1.0\n2.5\n-1.0\n1e18\n", "10\n10000\n50\n3\n1\n2\n5.0\n");
    expect_report_without_nan(p, "HOOK -1, AMPL 1e18");
}

}  // namespace
}  // namespace bw
