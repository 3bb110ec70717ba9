// Runs of the real executables in a scratch folder: beadwalks itself (records
// up to the simulation, and the stops before it) and beadwalks_scripted, the
// same main with a scripted simulation, for whole runs.
#include <gtest/gtest.h>

#include "tests/driver/process_fixture.hpp"

namespace bw {
namespace {

using test::append;
using test::lines_of;
using test::read_file;
using test::write_file;

using test::Executable;
using test::kBeadwalks;
using test::kScripted;
using test::Process;
using test::start_of_file;

TEST_F(Executable, echo_of_a_data_set_in_the_file_and_on_the_console) {
    data("run.dat", test::kEchoExampleData + "-1\n");
    const Process p = run(kBeadwalks, "1\nrun.dat\nrun.out\n\n");

    std::vector<std::string> expected_file = start_of_file(" Code 1. RL or RLHS model");
    append(expected_file, test::kEchoExample);
    EXPECT_EQ(prefix(file("run.out"), expected_file.size()), expected_file);

    std::vector<std::string> expected_console = test::console_start();
    append(expected_console, {expected_file.begin() + 10, expected_file.end()});
    expected_console.push_back(test::kPause);
    EXPECT_EQ(prefix(p.out, expected_console.size()), expected_console);
}

TEST_F(Executable, a_data_file_with_windows_line_ends_reads_like_one_with_unix_line_ends) {
    std::string lf = test::kEchoExampleData + "-1\n", crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    data("run.dat", lf);
    const Process unix_run = run(kBeadwalks, "1\nrun.dat\nrun.out\n\n");
    const std::string unix_file = read_file(dir_ / "run.out");
    data("run.dat", crlf);
    const Process windows_run = run(kBeadwalks, "1\r\nrun.dat\r\nrun.out\r\n\r\n");
    EXPECT_EQ(read_file(dir_ / "run.out"), unix_file);
    EXPECT_EQ(windows_run.out, unix_run.out);
    EXPECT_EQ(windows_run.status, unix_run.status);
}

TEST_F(Executable, invalid_model_code_leaves_banner_and_message) {
    data("run.dat", test::kEchoExampleData + "-1\n");
    const Process p = run(kBeadwalks, "4\nrun.dat\nrun.out\n");
    EXPECT_EQ(p.status, 1);
    std::vector<std::string> expected = test::kBanner;
    expected.push_back("Code=  4 is not valid");
    EXPECT_EQ(file("run.out"), expected);
    EXPECT_EQ(p.out.back(), "Code=  4 is not valid");
}

TEST_F(Executable, too_many_beads) {
    data("run.dat", "101\n");
    const Process p = run(kBeadwalks, "2\nrun.dat\nrun.out\n");
    EXPECT_EQ(p.status, 1);
    std::vector<std::string> expected = start_of_file(" Code 2. GS or GSLJ model");
    expected.push_back(" N=         101  is not valid. Maximum number of beads is 100");
    EXPECT_EQ(file("run.out"), expected);
    EXPECT_EQ(p.out.back(), expected.back());
}

TEST_F(Executable, too_few_conformations_for_averaging) {
    data("run.dat", "30\n1000\n4\n");
    const Process p = run(kBeadwalks, "3\nrun.dat\nrun.out\n");
    EXPECT_EQ(p.status, 1);
    std::vector<std::string> expected = start_of_file(" Code 3. SS or SSSR model");
    append(expected, {" NCONFAVE=           4 ", "  is not valid. Minimum value of conformations for averaging is 5"});
    EXPECT_EQ(file("run.out"), expected);
}

TEST_F(Executable, a_negative_first_bead_count_ends_the_run_at_once) {
    data("run.dat", "-1\n");
    const Process p = run(kBeadwalks, "1\nrun.dat\nrun.out\n");
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(file("run.out"), start_of_file(" Code 1. RL or RLHS model"));
    EXPECT_EQ(p.out.back(), test::kRule);
    EXPECT_EQ(p.err, "");
}

TEST_F(Executable, two_data_sets_give_two_whole_reports) {
    data("two.dat", test::kTwoDataSets);
    const Process p = run(kScripted, "1\ntwo.dat\ntwo.out\n\n");
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(file("two.out"), test::two_data_sets_file());
    EXPECT_EQ(p.out, test::two_data_sets_console());
}

TEST_F(Executable, a_command_typed_at_the_pause_runs_in_the_shell) {
    data("two.dat", test::kTwoDataSets);
    const Process p = run(kScripted, "1\ntwo.dat\ntwo.out\necho typed-at-the-pause\n\n");
    EXPECT_EQ(p.status, 0);
    const auto pause = std::find(p.out.begin(), p.out.end(), test::kPause);
    ASSERT_NE(pause, p.out.end());
    ASSERT_GE(p.out.end() - pause, 3);
    EXPECT_EQ(pause[1], "typed-at-the-pause");
    EXPECT_EQ(pause[2], test::kPause);
    EXPECT_EQ(file("two.out"), test::two_data_sets_file());
}

TEST_F(Executable, fatal_input_failure_exits_with_status_two) {
    const Process missing = run(kBeadwalks, "1\nnosuch.dat\nrun.out\n");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "file not found, unit 4, file nosuch.dat\n");

    data("run.dat", "20\n1000\n100\n1.5\n");
    const Process bad = run(kBeadwalks, "1\nrun.dat\nrun.out\n");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "input conversion error, unit 4, file run.dat\n");
    EXPECT_EQ(file("run.out"), start_of_file(" Code 1. RL or RLHS model"));
}

TEST_F(Executable, bundled_examples_read_and_echo_cleanly) {
    const std::string examples = BEADWALKS_EXAMPLES;
    struct Example { const char* file; const char* code; std::size_t data_sets; };
    for (const Example& e : {Example{"rl_chain.dat", "1", 1}, Example{"gs_chain.dat", "2", 2},
                             Example{"ss_chain.dat", "3", 1}, Example{"echo_example.dat", "1", 1}}) {
        data("run.dat", read_file(examples + "/" + e.file));
        const Process p = run(kScripted, std::string(e.code) + "\nrun.dat\nrun.out\n\n");
        EXPECT_EQ(p.status, 0) << e.file;
        EXPECT_EQ(p.err, "") << e.file;
        const auto out = file("run.out");
        EXPECT_EQ(static_cast<std::size_t>(std::count(out.begin(), out.end(), test::kRule)), 2 + e.data_sets + 1)
            << e.file;  // two in the banner, one before each data set and the end
    }
    std::vector<std::string> expected = start_of_file(" Code 1. RL or RLHS model");
    append(expected, test::kEchoExample);
    EXPECT_EQ(prefix(file("run.out"), expected.size()), expected);
}

}  // namespace
}  // namespace bw
