// Whole runs of the driver in this process: real files in a scratch folder,
// scripted console answers, a scripted simulation and a recorded command
// interpreter.
#include "driver/program.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

using test::lines_of;
using test::read_file;
using test::write_file;

class Run : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    // Runs the program with `answers` on the console.
    int run(const std::string& answers) {
        std::istringstream in(answers);
        std::ostringstream out, err;
        const int status = run_program({in, out, err}, runner, [this](const std::string& c) { commands.push_back(c); });
        console = lines_of(out.str());
        diagnostic = err.str();
        return status;
    }
    std::vector<std::string> file(const std::string& name) const { return lines_of(read_file(name)); }

    test::TempDir dir_;
    std::filesystem::path previous_;
    test::ScriptedRunner runner;
    std::vector<std::string> commands;
    std::vector<std::string> console;
    std::string diagnostic;
};

TEST_F(Run, two_data_sets_give_two_reports_and_one_pause) {
    write_file("two.dat", test::kTwoDataSets);
    EXPECT_EQ(run("1\ntwo.dat\ntwo.out\n\n"), kExitNormal);
    EXPECT_EQ(file("two.out"), test::two_data_sets_file());
    EXPECT_EQ(console, test::two_data_sets_console());
    EXPECT_EQ(diagnostic, "");
    ASSERT_EQ(runner.seen.size(), 2u);
    EXPECT_EQ(runner.seen[0].NPROG, 5);
    EXPECT_EQ(runner.seen[0].NPROP, 4);
    EXPECT_EQ(runner.seen[0].NCONFSUB, 20);
    EXPECT_EQ(runner.seen[0].ICODE, 1);
    EXPECT_EQ(runner.seen[1].NPROG, 2);
    EXPECT_EQ(runner.seen[1].NPROP, 4);
}

TEST_F(Run, a_non_empty_answer_at_the_pause_is_run_and_the_pause_comes_again) {
    write_file("two.dat", test::kTwoDataSets);
    EXPECT_EQ(run("1\ntwo.dat\ntwo.out\nls -l\n  \t \n"), kExitNormal);
    EXPECT_EQ(commands, std::vector<std::string>{"ls -l"});  // a blank line counts as empty
    EXPECT_EQ(std::count(console.begin(), console.end(), test::kPause), 2);
    EXPECT_EQ(file("two.out"), test::two_data_sets_file());
}

TEST_F(Run, a_failing_simulation_writes_its_message_to_both_and_stops) {
    write_file("two.dat", test::kTwoDataSets);
    runner.failure = "chain could not be built";
    EXPECT_EQ(run("1\ntwo.dat\ntwo.out\n\n"), kExitErrorStop);
    const auto out = file("two.out");
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "chain could not be built");
    EXPECT_EQ(out[out.size() - 2], " Hard sphere diameter=   0.80  DeltaPhi=  2.000");
    EXPECT_EQ(console.back(), "chain could not be built");
}

TEST_F(Run, invalid_model_code_after_the_banner_is_written) {
    write_file("two.dat", test::kTwoDataSets);
    EXPECT_EQ(run("4\ntwo.dat\ntwo.out\n"), kExitErrorStop);
    std::vector<std::string> expected = test::kBanner;
    expected.push_back("Code=  4 is not valid");
    EXPECT_EQ(file("two.out"), expected);
    EXPECT_EQ(console.back(), "Code=  4 is not valid");
    EXPECT_TRUE(runner.seen.empty());
}

TEST_F(Run, answers_may_carry_text_and_quoted_names_keep_blanks) {
    write_file("my data.dat", test::kTwoDataSets);
    EXPECT_EQ(run("  1  my choice\n'my data.dat'\n\"out, file\" the output\n\n"), kExitNormal);
    const auto out = file("out, file");
    ASSERT_GT(out.size(), 14u);
    EXPECT_EQ(out[10], " Code 1. RL or RLHS model");
    EXPECT_EQ(out[11], " Output file (this file): out, file                     ");
    EXPECT_EQ(out[12], " Input data file: my data.dat                   ");
}

TEST_F(Run, names_longer_than_thirty_characters_are_opened_and_written_whole) {
    const std::string in_name = "an_input_file_with_a_long_name_0123.dat";
    const std::string out_name = "sub/an_output_file_with_a_long_name.out";
    std::filesystem::create_directory("sub");
    write_file(in_name, "-1\n");
    EXPECT_EQ(run("3\n" + in_name + "\n" + out_name + "\n"), kExitNormal);
    std::vector<std::string> expected =
        test::file_start(" Code 3. SS or SSSR model", out_name, in_name);
    expected.push_back(test::kRule);
    EXPECT_EQ(file(out_name), expected);
}

TEST_F(Run, missing_input_file_is_fatal_and_creates_no_output) {
    EXPECT_EQ(run("1\nnosuch.dat\nout.txt\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "file not found, unit 4, file nosuch.dat\n");
    EXPECT_FALSE(std::filesystem::exists("out.txt"));
}

TEST_F(Run, output_file_that_cannot_be_created_is_fatal) {
    write_file("two.dat", test::kTwoDataSets);
    EXPECT_EQ(run("1\ntwo.dat\nnodir/out.txt\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "cannot open file, unit 8, file nodir/out.txt\n");
}

TEST_F(Run, a_failed_write_to_the_output_file_is_fatal) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    write_file("two.dat", test::kTwoDataSets);
    EXPECT_EQ(run("1\ntwo.dat\n/dev/full\n\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "write error, unit 8, file /dev/full\n");
    EXPECT_TRUE(runner.seen.empty());  // found at the latest when the pause flushes
}

TEST_F(Run, the_data_file_is_never_opened_as_the_output_file) {
    write_file("two.dat", test::kTwoDataSets);
    EXPECT_EQ(run("1\ntwo.dat\n./two.dat\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "file already open on unit 4, unit 8, file ./two.dat\n");
    EXPECT_EQ(read_file("two.dat"), test::kTwoDataSets);
}

TEST_F(Run, unreadable_console_answers_are_fatal) {
    EXPECT_EQ(run("one\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "input conversion error, unit 5, file stdin\n");
    EXPECT_EQ(run("1\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "end-of-file during read, unit 5, file stdin\n");
    EXPECT_EQ(run("1\n,\nout.txt\n"), kExitIoFailure);  // the name stays empty
    EXPECT_EQ(diagnostic, "file not found, unit 4, file \n");
}

TEST_F(Run, end_of_console_input_at_the_pause_keeps_the_echo) {
    write_file("two.dat", test::kTwoDataSets);
    EXPECT_EQ(run("1\ntwo.dat\ntwo.out\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "end-of-file during read, unit 5, file stdin\n");
    EXPECT_EQ(file("two.out").back(), " Hard sphere diameter=   0.80  DeltaPhi=  2.000");
    EXPECT_TRUE(runner.seen.empty());
}

TEST_F(Run, a_data_file_without_the_terminating_record_keeps_every_report) {
    std::string data = test::kTwoDataSets;
    data.resize(data.size() - 3);  // drop "-1\n"
    write_file("two.dat", data);
    EXPECT_EQ(run("1\ntwo.dat\ntwo.out\n\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "end-of-file during read, unit 4, file two.dat\n");
    auto expected = test::two_data_sets_file();
    EXPECT_EQ(file("two.out"), expected);  // the last separator was written before the read
}

TEST_F(Run, a_bad_item_in_the_second_data_set_keeps_the_first_report) {
    write_file("two.dat", "20\n2000\n100\n7\n0\n2\n10.0\n0.8\n2.0\n10\n500\nfifty\n");
    EXPECT_EQ(run("1\ntwo.dat\ntwo.out\n\n"), kExitIoFailure);
    EXPECT_EQ(diagnostic, "input conversion error, unit 4, file two.dat\n");
    const auto out = file("two.out");
    EXPECT_EQ(out.back(), test::kRule);
    EXPECT_EQ(out[out.size() - 2], " 7.500   4.00000");
}

TEST_F(Run, validation_stop_in_a_later_data_set_follows_the_first_report) {
    write_file("two.dat", "20\n2000\n100\n7\n0\n2\n10.0\n0.8\n2.0\n150\n");
    EXPECT_EQ(run("1\ntwo.dat\ntwo.out\n\n"), kExitErrorStop);
    const auto out = file("two.out");
    EXPECT_EQ(out.back(), " N=         150  is not valid. Maximum number of beads is 100");
    EXPECT_EQ(out[out.size() - 2], test::kRule);
    EXPECT_EQ(runner.seen.size(), 1u);
}

}  // namespace
}  // namespace bw
