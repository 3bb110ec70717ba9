// Whole runs of real processes with several data sets: beadwalks on every
// CPU against beadwalks pinned to one (which runs them one after another),
// and beadwalks-mpi on 1, 2 and 3 ranks against beadwalks. The output file,
// the console, standard error and the exit status must be the same bytes,
// also when the run stops in the middle of the file.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

using test::read_file;
using test::write_file;

struct Outcome {
    int status = -1;
    std::string file, console, err;
};

// Runs `launcher exe` in a fresh folder on `data` with model code `code`.
Outcome run(const std::string& launcher, const std::string& exe, const std::string& data, int code = 2) {
    test::TempDir dir;
    write_file(dir / "study.dat", data);
    write_file(dir / "answers.txt", std::to_string(code) + "\nstudy.dat\nstudy.out\n\n");
    const std::string cmd = "cd '" + dir.path().string() + "' && " + launcher + " '" + exe +
                            "' < answers.txt > console.txt 2> stderr.txt";
    const int raw = std::system(cmd.c_str());
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.file = read_file(dir / "study.out");
    r.console = read_file(dir / "console.txt");
    r.err = read_file(dir / "stderr.txt");
    return r;
}

void expect_same(const Outcome& got, const Outcome& want, const std::string& what) {
    EXPECT_EQ(got.status, want.status) << what;
    EXPECT_EQ(got.file, want.file) << what;
    EXPECT_EQ(got.console, want.console) << what;
    EXPECT_EQ(got.err, want.err) << what;
}

// Model code 2 (springs with Lennard-Jones beads): N beads, NCONF cycles,
// NCONFAVE samples, the seed as written, hydrodynamics, P(r) intervals.
std::string gs(int N, int NCONF, int NCONFAVE, const std::string& ISEED, int IHYD, int NPR,
               const std::string& EPS = "0.3", const std::string& SIG = "0.8") {
    return std::to_string(N) + "\n" + std::to_string(NCONF) + "\n" + std::to_string(NCONFAVE) + "\n" + ISEED + "\n" +
           std::to_string(IHYD) + "\n" + std::to_string(NPR) + "\n" + (NPR > 0 ? "8.0\n" : "") + EPS + "\n" + SIG +
           "\n2.5\n3\n0.7\n";
}

// Model code 3 (springs of rest length 1, soft exponential beads), with
// hydrodynamics: A, ALPHA, RCUT, HOOK and AMPL as written.
std::string ss(int N, int NCONF, int NCONFAVE, const std::string& ISEED, int NPR, const std::string& RMAX,
               const std::string& A, const std::string& ALPHA, const std::string& RCUT, const std::string& HOOK,
               const std::string& AMPL) {
    return std::to_string(N) + "\n" + std::to_string(NCONF) + "\n" + std::to_string(NCONFAVE) + "\n" + ISEED +
           "\n1\n" + std::to_string(NPR) + "\n" + (NPR > 0 ? RMAX + "\n" : "") + A + "\n" + ALPHA + "\n" + RCUT +
           "\n" + HOOK + "\n" + AMPL + "\n";
}

// Six data sets of different lengths, two with hydrodynamics, most with P(r).
std::string study() {
    return gs(12, 3000, 300, "31337", 1, 8) + gs(30, 20000, 500, "-5", 0, 10) + gs(8, 1000, 50, "7", 0, 0) +
           gs(20, 2000, 100, "99", 1, 4) + gs(40, 8000, 400, "2024", 0, 6) + gs(5, 500, 25, "1", 0, 3);
}

struct Case {
    const char* name;
    std::string data;
    int code = 2;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<Case> cases() {
    const std::string s = study();
    return {
        {"study", s + "-1\n"},
        {"validation_stop", s.substr(0, s.find("\n8\n1000")) + "\n150\n" + s + "-1\n"},
        {"conversion_error", gs(12, 3000, 300, "31337", 1, 8) + gs(30, 20000, 500, "-5", 0, 10) + "20\n2000\nmany\n" +
                                 s + "-1\n"},
        // The Lennard-Jones energy of the starting chain overflows: this
        // data set cannot be sampled, and the run stops with its message.
        {"unsimulatable", gs(12, 3000, 300, "31337", 1, 8) + gs(30, 20000, 500, "-5", 0, 10) +
                              gs(10, 1000, 50, "3", 0, 0, "-1e38", "1e10") + s + "-1\n"},
        // The third seed record gives no value: that data set starts from the
        // random state the second leaves.
        {"carried_seed", gs(12, 3000, 300, "31337", 1, 8) + gs(30, 20000, 500, "-5", 0, 10) +
                             gs(20, 4000, 200, ",", 0, 5) + gs(6, 600, 30, "/", 1, 0) + "-1\n"},
        {"no_end_record", s},
        // Messages of the hydrodynamic stages, in sampling order, from three
        // data sets of model code 3 in flight at once. In the first, the ends
        // of a three-bead chain without springs are pulled together by a deep
        // soft well (A = -1e9 kT) and moved by 1e-5 at most: they close in
        // until they sit within float rounding of each other, and the
        // interaction supermatrix of such a conformation is no longer
        // positive definite (" ERROR: INFO1=..."). In the second, a negative
        // spring constant lets the chain run away to lengths whose squares
        // overflow, and the friction and viscosity matrices come out singular.
        {"hydro_messages",
         ss(3, 5000000, 25, "12345", 4, "1.0", "-1e9", "1.0", "10.0", "0.0", "1e-5") +
             ss(30, 400, 20, "4711", 0, "", "0.0", "1.0", "2.5", "-1e-30", "1e19") +
             ss(12, 3000, 300, "99", 6, "8.0", "1.0", "2.0", "2.5", "20.0", "0.3") + "-1\n",
         3},
    };
}

class ParallelRuns : public ::testing::TestWithParam<Case> {};

TEST_P(ParallelRuns, every_cpu_writes_what_one_cpu_writes) {
    const Outcome one = run("taskset -c 0", BEADWALKS_EXE, GetParam().data, GetParam().code);
    const Outcome all = run("", BEADWALKS_EXE, GetParam().data, GetParam().code);
    expect_same(all, one, GetParam().name);
    EXPECT_NE(one.file.find("FINAL RESULTS"), std::string::npos);
    if (GetParam().code == 3) {
        EXPECT_NE(one.console.find(" ERROR: INFO1="), std::string::npos) << "no factorisation failed";
        EXPECT_NE(one.console.find(" ********** F66 IS SINGULAR"), std::string::npos);
    }
}

#ifdef BEADWALKS_MPI_EXE
// Open MPI leaves its own allocations to the end of the process: in the
// AddressSanitizer build the leak report would be all about them (the
// program's own leaks are looked for in the runs of beadwalks).
const std::string kNoMpiLeakReport = "ASAN_OPTIONS=detect_leaks=0 ";

std::string mpirun(int ranks) {
    std::string launcher = kNoMpiLeakReport + "timeout 300 mpirun --quiet --oversubscribe";
    if (geteuid() == 0) launcher += " --allow-run-as-root";
    return launcher + " -np " + std::to_string(ranks);
}

TEST_P(ParallelRuns, any_number_of_ranks_writes_what_beadwalks_writes) {
    const Outcome serial = run("taskset -c 0", BEADWALKS_EXE, GetParam().data, GetParam().code);
    for (int ranks : {1, 2, 3}) expect_same(run(mpirun(ranks), BEADWALKS_MPI_EXE, GetParam().data, GetParam().code), serial,
                                            std::string(GetParam().name) + " on " + std::to_string(ranks) + " ranks");
}

// A rank killed in the middle of the run (once rank 0 has answered the
// dialogue and opened the output file: a slow start, under a sanitizer say,
// must not turn it into a kill during the dialogue) ends the whole job with a message, well before the timeout,
// and the output file keeps the reports written.
TEST(MpiRun, a_killed_rank_ends_the_job_with_a_message) {
    std::string data;
    for (int k = 0; k < 12; ++k) data += gs(60, 200000, 1000, std::to_string(100 + k), 0, 5);
    data += "-1\n";
    test::TempDir dir;
    write_file(dir / "study.dat", data);
    write_file(dir / "answers.txt", "2\nstudy.dat\nstudy.out\n\n");
    // A name of its own, so that only this job's ranks are found.
    const std::string exe = dir / "bw-mpi-under-test";
    ASSERT_EQ(symlink(BEADWALKS_MPI_EXE, exe.c_str()), 0);
    std::string launcher = kNoMpiLeakReport + "timeout 120 mpirun --oversubscribe";
    if (geteuid() == 0) launcher += " --allow-run-as-root";
    const std::string cmd = "cd '" + dir.path().string() + "' && (" + launcher + " -np 3 '" + exe +
                            "' < answers.txt > console.txt 2> stderr.txt; echo $? > status.txt) & "
                            "for i in $(seq 600); do sleep 0.1; "
                            "[ -e '" + (dir / "study.out") + "' ] && break; done; sleep 1.5; "
                            "kill -9 $(pgrep -f '^" + exe + "' | sort -n | tail -1); wait";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const int status = std::stoi(read_file(dir / "status.txt"));
    EXPECT_NE(status, 0);
    EXPECT_NE(status, 124) << "the job hung until the timeout";
    EXPECT_NE(read_file(dir / "stderr.txt"), "");
    const std::string file = read_file(dir / "study.out");
    EXPECT_EQ(file.rfind("\n\n     ====", 0), 0u) << "the banner was lost";
}
#endif

INSTANTIATE_TEST_SUITE_P(Files, ParallelRuns, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace bw
