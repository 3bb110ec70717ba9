// Whole runs of the real executable, one data file per model code, each with
// a data set without and one with hydrodynamics. The expected output file and
// console are stored beside the data files; their numbers were checked against
// what the models must give (see the physics checks below) before they were
// stored. The conformational records depend only on the random stream and the
// single-precision arithmetic and must match to the character. D* and [eta]*
// also depend on the LAPACK in use and on the route of the hydrodynamic
// calculation, so those two records are compared by value to a relative 1e-4.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

using test::lines_of;
using test::read_file;

const std::string kRuns = BEADWALKS_RUNS;

struct RunOutput {
    int status = -1;
    std::vector<std::string> file, console;
};

// `launcher` goes before the executable on the command line (e.g. taskset).
RunOutput run_example(const test::TempDir& dir, const std::string& name, int code, const std::string& launcher = "") {
    const std::string data = read_file(kRuns + "/" + name + ".dat");
    test::write_file(dir / (name + ".dat"), data);
    test::write_file(dir / "answers.txt",
                     std::to_string(code) + "\n" + name + ".dat\n" + name + ".out\n\n");
    const std::string cmd = "cd '" + dir.path().string() + "' && " + launcher + " '" + std::string(BEADWALKS_EXE) +
                            "' < answers.txt > console.txt 2> stderr.txt";
    const int raw = std::system(cmd.c_str());
    RunOutput r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.file = lines_of(read_file(dir / (name + ".out")));
    r.console = lines_of(read_file(dir / "console.txt"));
    return r;
}

bool is_hydro_record(const std::string& line) {
    return line.rfind(" Reduced diffusion coefficient  D*=", 0) == 0 ||
           line.rfind(" Reduced intrinsic viscosity [eta]*=", 0) == 0;
}

// "<label>= value+- error" -> {value, error}
std::array<double, 2> values_of(const std::string& line) {
    const auto eq = line.find('=');
    const auto pm = line.find("+-", eq);
    return {std::stod(line.substr(eq + 1, pm - eq - 1)), std::stod(line.substr(pm + 2))};
}

void expect_same_records(const std::vector<std::string>& got, const std::vector<std::string>& want,
                         const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (is_hydro_record(want[i])) {
            ASSERT_EQ(got[i].substr(0, 36), want[i].substr(0, 36)) << what << " record " << i + 1;
            ASSERT_EQ(got[i].size(), want[i].size()) << what << " record " << i + 1;
            const auto g = values_of(got[i]), w = values_of(want[i]);
            EXPECT_NEAR(g[0], w[0], 1e-4 * std::fabs(w[0]) + 1e-5) << what << ": " << got[i];
            EXPECT_NEAR(g[1], w[1], 1e-3 * std::fabs(w[1]) + 1e-5) << what << ": " << got[i];
        } else {
            EXPECT_EQ(got[i], want[i]) << what << " record " << i + 1;
        }
    }
}

// Value and error of the first record that starts with `label`, from the
// report of data set `nth` (1-based).
std::array<double, 2> reported(const std::vector<std::string>& file, const std::string& label, int nth) {
    int seen = 0;
    for (const std::string& l : file)
        if (l.rfind(label, 0) == 0 && ++seen == nth) {
            const auto eq = l.find("*=");
            const auto pm = l.find("+-", eq);
            return {std::stod(l.substr(eq + 2, pm - eq - 2)), std::stod(l.substr(pm + 2))};
        }
    ADD_FAILURE() << "no record " << label;
    return {0, 0};
}

const std::string kR2 = " Reduced mean square end-to-end distance <r2>*=";
const std::string kS2 = " Reduced mean square radius of gyration  <s2>*=";

class SimulationRun : public ::testing::TestWithParam<std::pair<std::string, int>> {};

TEST_P(SimulationRun, output_file_and_console_are_those_stored) {
    const auto& [name, code] = GetParam();
    test::TempDir dir;
    const RunOutput r = run_example(dir, name, code);
    ASSERT_EQ(r.status, 0);
    expect_same_records(r.file, lines_of(read_file(kRuns + "/" + name + ".out")), name + ".out");
    expect_same_records(r.console, lines_of(read_file(kRuns + "/" + name + ".console")), name + " console");
}

// The hydrodynamics of the sampled conformations run on every CPU the
// process may use; pinned to one CPU the run must write the same bytes.
TEST_P(SimulationRun, output_does_not_depend_on_the_number_of_cpus) {
    const auto& [name, code] = GetParam();
    test::TempDir all, one;
    const RunOutput everywhere = run_example(all, name, code);
    const RunOutput pinned = run_example(one, name, code, "taskset -c 0");
    ASSERT_EQ(everywhere.status, 0);
    ASSERT_EQ(pinned.status, 0);
    EXPECT_EQ(read_file(all / (name + ".out")), read_file(one / (name + ".out")));
    EXPECT_EQ(read_file(all / "console.txt"), read_file(one / "console.txt"));
}

INSTANTIATE_TEST_SUITE_P(ModelCodes, SimulationRun,
                         ::testing::Values(std::make_pair(std::string("rl"), 1), std::make_pair(std::string("gs"), 2),
                                           std::make_pair(std::string("ss"), 3)),
                         [](const auto& info) { return info.param.first; });

// The first data set of rl and gs is an ideal chain of 10 beads: the freely
// jointed chain of unit bonds and the Gaussian spring chain with HOOK = 3 (mean
// square bond length 3 / HOOK = 1) both have <r2>* = N - 1 = 9 and
// <s2>* = (N^2 - 1) / (6 N) = 1.65. The reported error rests on 5 subsample
// means; 4 errors allow for its own uncertainty. The freely jointed chain
// refuses no move.
TEST(SimulationPhysics, ideal_chains_give_their_exact_averages) {
    for (const auto& [name, code] : {std::make_pair(std::string("rl"), 1), std::make_pair(std::string("gs"), 2)}) {
        test::TempDir dir;
        const RunOutput r = run_example(dir, name, code);
        ASSERT_EQ(r.status, 0);
        const auto r2 = reported(r.file, kR2, 1), s2 = reported(r.file, kS2, 1);
        EXPECT_NEAR(r2[0], 9.0, 4 * r2[1]) << name;
        EXPECT_NEAR(s2[0], 1.65, 4 * s2[1]) << name;
        EXPECT_LT(r2[1], 0.1 * 9.0) << name;
    }
    test::TempDir dir;
    const RunOutput rl = run_example(dir, "rl", 1);
    EXPECT_EQ(rl.file[std::find(rl.file.begin(), rl.file.end(), " FINAL RESULTS:") - rl.file.begin() + 1],
              " Number of rejected conformations =              0");
}

// The P(r) rows of the first rl data set: 12 intervals of width 0.5 on [0, 6];
// their fractions add up to the fraction of chains with r <= 6 (all but a few
// of the ideal 10-bead chains: r <= 9 always, <r2> = 9).
TEST(SimulationPhysics, distribution_rows_are_fractions_per_interval) {
    test::TempDir dir;
    const RunOutput r = run_example(dir, "rl", 1);
    const auto first = std::find(r.file.begin(), r.file.end(), " FINAL RESULTS:");
    ASSERT_NE(first, r.file.end());
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) {
        const std::string& row = *(first + 5 + i);
        ASSERT_EQ(row.size(), 16u) << row;
        const double centre = std::stod(row.substr(0, 6));
        EXPECT_NEAR(centre, 0.25 + 0.5 * i, 1e-9) << row;
        sum += std::stod(row.substr(6));
    }
    EXPECT_GT(sum, 0.9);
    EXPECT_LE(sum, 1.0 + 1e-4);
}

}  // namespace
}  // namespace bw
