// Hostile data files and console answers, through the real executable as a
// user meets them: each case ends with its diagnostic on standard error and
// exit status 2 (or reads exactly like its clean twin), and the output file
// keeps every record written before the failure. beadwalks_scripted stands in
// where a case has to get past the simulation.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/driver/process_fixture.hpp"

namespace bw {
namespace {

using test::Executable;
using test::kBeadwalks;
using test::kScripted;
using test::Process;
using test::read_file;

using HostileInput = Executable;

const std::string kAnswers = "1\nrun.dat\nrun.out\n\n";
const std::string kConversion = "input conversion error, unit 4, file run.dat\n";
const std::string kEndOfFile = "end-of-file during read, unit 4, file run.dat\n";
const std::string kModelHeading = " -------------------";

// A clean data set of model code 1 (no hydrodynamics, no P(r)) and the end.
const std::string kClean = "20\n1000\n100\n7\n0\n0\n0.5\n1.0\n-1\n";

struct FatalCase {
    const char* what;
    std::string data;
    std::string diagnostic;
    std::string last_record;  // of the output file
};

TEST_F(HostileInput, unreadable_data_files_stop_with_a_diagnostic_and_keep_the_output_so_far) {
    const std::string seed_echo = " Seed for random number generator:               7";
    std::vector<FatalCase> cases = {
        {"empty file", "", kEndOfFile, test::kRule},
        {"ends inside a data set", "20\n1000\n100\n7\n", kEndOfFile, seed_echo},
        {"last item without its line end, then nothing", "20\n1000\n100\n7\n0\n0\n0.5", kEndOfFile, kModelHeading},
        {"text for NCONF", "20\nmany\n", kConversion, test::kRule},
        {"text in the bead-count columns", "twenty\n", kConversion, test::kRule},
        {"text inside the first seven columns after -1", "-1 end\n", kConversion, test::kRule},
        {"NCONF one beyond the 32-bit range", "20\n2147483648\n", kConversion, test::kRule},
        {"ISEED one below the 32-bit range", "20\n1000\n100\n-2147483649\n", kConversion, test::kRule},
        {"twenty digits", "20\n99999999999999999999\n", kConversion, test::kRule},
        {"a real for an integer item", "20\n1000\n100.0\n", kConversion, test::kRule},
        {"ELF header", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0", 20), kConversion,
         test::kRule},
        {"NUL bytes in the bead-count columns", std::string(8, '\0') + "\n", kConversion, test::kRule},
        {"NUL bytes right behind a value", std::string("20\n1000\0\0\0\n", 12), kConversion, test::kRule},
        {"a record of two million characters", "20" + std::string(2'000'000, 'x') + "\n",
         "record too long, unit 4, file run.dat\n", test::kRule},
    };
    for (const char* real : {"1.0.0", "--1", "1e", "NaN", "Inf", "-Infinity", "1e39", "0x1p3", "1.5E+-2"})
        cases.push_back({real, "20\n1000\n100\n7\n0\n0\n" + std::string(real) + "\n1.0\n-1\n", kConversion,
                         kModelHeading});

    for (const FatalCase& c : cases) {
        data("run.dat", c.data);
        const Process p = run(kBeadwalks, kAnswers);
        EXPECT_EQ(p.status, 2) << c.what;
        EXPECT_EQ(p.err, c.diagnostic) << c.what;
        const auto out = file("run.out");
        ASSERT_FALSE(out.empty()) << c.what;
        EXPECT_EQ(out.back(), c.last_record) << c.what;
        EXPECT_EQ(p.out.back(), c.last_record) << c.what;  // the console shows the same
    }
}

TEST_F(HostileInput, a_file_ending_right_after_its_last_data_set_keeps_the_report) {
    data("run.dat", kClean.substr(0, kClean.size() - 3));  // no terminating "-1"
    const Process p = run(kScripted, kAnswers);
    EXPECT_EQ(p.status, 2);
    EXPECT_EQ(p.err, kEndOfFile);
    const auto out = file("run.out");
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out.back(), test::kRule);  // the separator before the missing data set
    EXPECT_EQ(out[out.size() - 2], " Reduced mean square radius of gyration  <s2>*=  2.000 +-  0.020");
}

TEST_F(HostileInput, the_extremes_of_the_32_bit_range_are_read_exactly) {
    data("run.dat", "20\n2147483647\n100\n-2147483648\n-0\n+0\n0.5\n1.0\n-1\n");
    const Process p = run(kScripted, kAnswers);
    EXPECT_EQ(p.status, 0);
    const auto out = file("run.out");
    EXPECT_NE(std::find(out.begin(), out.end(), " Total number of conformations:      2147483647"), out.end());
    EXPECT_NE(std::find(out.begin(), out.end(), " Sampling frequecy for averaging:        21474836"), out.end());
    EXPECT_NE(std::find(out.begin(), out.end(), " Seed for random number generator:     -2147483648"), out.end());
}

// Runs of a data file beside its clean twin: the output file, the console
// and the exit status of a run with the scripted simulation, as one string.
class CleanTwin : public Executable {
protected:
    std::string whole(const std::string& text, const std::string& answers = kAnswers) {
        data("run.dat", text);
        const Process p = run(kScripted, answers);
        std::string all = read_file(dir_ / "run.out") + "----- console\n";
        for (const std::string& line : p.out) all += line + "\n";
        return all + "----- status " + std::to_string(p.status) + "\n" + p.err;
    }
    static std::string crlf(const std::string& lf) {
        std::string r;
        for (const char c : lf) r += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return r;
    }
};

TEST_F(CleanTwin, tabs_read_as_blanks) {
    const std::string clean = whole(kClean);
    EXPECT_NE(clean.find("----- status 0\n"), std::string::npos);
    EXPECT_EQ(whole("\t20\t\n\t1000\tcycles\n100\t\t\n\t7\n0\t\n\t0\n0.5\tDHS\n\t1.0\n-1\n"), clean);
    EXPECT_EQ(whole(kClean, "\t1\t\n\trun.dat\t\n run.out\t\n\n"), clean);
}

TEST_F(CleanTwin, windows_line_ends_and_a_byte_order_mark_read_like_the_plain_file) {
    const std::string two = test::kTwoDataSets;
    const std::string clean = whole(two);
    EXPECT_EQ(whole(crlf(two)), clean);
    EXPECT_EQ(whole(crlf(two), crlf(kAnswers)), clean);
    EXPECT_EQ(whole("\xEF\xBB\xBF" + crlf(two)), clean);
    EXPECT_EQ(whole("\xEF\xBB\xBF" + two), clean);
}

TEST_F(CleanTwin, lines_of_a_hundred_thousand_characters) {
    const std::string clean = whole(kClean);
    const std::string comment(100'000, 'c');
    const std::string blanks(100'000, ' ');
    const std::string long_zeros = std::string(100'000 - 3, '0') + "100";  // NCONFAVE = 100
    EXPECT_EQ(whole("20     " + comment + "\n1000 " + comment + "\n" + blanks + "\n" + long_zeros +
                    "\n7\n0\n0\n0.5 " + comment + "\n1.0\n-1\n"),
              clean);
}

TEST_F(HostileInput, input_files_that_cannot_be_read) {
    std::filesystem::create_directory(dir_ / "folder");
    struct Case { std::string answers, diagnostic; };
    std::vector<Case> cases = {
        {"1\nfolder\nrun.out\n", "cannot open file, unit 4, file folder\n"},
        // Permissions do not stop root, so these are unreadable by their
        // nature: the process's own memory at address 0 fails with EIO, and a
        // device without line ends never ends its first record.
        {"1\n/proc/self/mem\nrun.out\n", "read error, unit 4, file /proc/self/mem\n"},
        {"1\n/dev/zero\nrun.out\n", "record too long, unit 4, file /dev/zero\n"},
        // The system would cut the name at the NUL and open "run.dat".
        {std::string("1\n'run.dat\0x'\nrun.out\n", 21), "invalid file name, unit 4, file run.dat\\x00x\n"},
    };
    data("run.dat", kClean);
    if (geteuid() != 0) {
        data("locked.dat", kClean);
        chmod((dir_ / "locked.dat").c_str(), 0);
        cases.push_back({"1\nlocked.dat\nrun.out\n", "cannot open file, unit 4, file locked.dat\n"});
    }
    for (const Case& c : cases) {
        std::filesystem::remove(dir_ / "run.out");
        const Process p = run(kBeadwalks, c.answers);
        EXPECT_EQ(p.status, 2) << c.diagnostic;
        EXPECT_EQ(p.err, c.diagnostic);
        const bool opened = c.diagnostic.starts_with("read error") || c.diagnostic.starts_with("record too");
        EXPECT_EQ(std::filesystem::exists(dir_ / "run.out"), opened) << c.diagnostic;
    }
}

TEST_F(HostileInput, output_files_that_cannot_be_written) {
    data("run.dat", kClean);
    struct Case { std::string name, diagnostic; };
    std::vector<Case> cases = {
        {"nodir/run.out", "cannot open file, unit 8, file nodir/run.out\n"},
        {"run.dat/run.out", "cannot open file, unit 8, file run.dat/run.out\n"},  // under a regular file
        {std::string("'run.out\0x'", 11), "invalid file name, unit 8, file run.out\\x00x\n"},
    };
    // /sys refuses new files to root as well.
    if (std::filesystem::is_directory("/sys") && access("/sys", W_OK) != 0)
        cases.push_back({"/sys/run.out", "cannot open file, unit 8, file /sys/run.out\n"});
    if (std::filesystem::exists("/dev/full"))
        cases.push_back({"/dev/full", "write error, unit 8, file /dev/full\n"});
    for (const Case& c : cases) {
        const Process p = run(kBeadwalks, "1\nrun.dat\n" + c.name + "\n\n");
        EXPECT_EQ(p.status, 2) << c.name;
        EXPECT_EQ(p.err, c.diagnostic);
        EXPECT_FALSE(std::filesystem::exists(dir_ / "run.out")) << c.name;
    }
    EXPECT_EQ(read_file(dir_ / "run.dat"), kClean);
}

TEST_F(HostileInput, console_closed_at_each_question_and_at_the_pause) {
    data("run.dat", kClean);
    const std::string eof = "end-of-file during read, unit 5, file stdin\n";
    const std::vector<std::string> cut = {"", "1\n", "1\nrun.dat\n", "1\nrun.dat\nrun.out\n"};
    for (const std::string& answers : cut) {
        const Process p = run(kBeadwalks, answers);
        EXPECT_EQ(p.status, 2) << answers;
        EXPECT_EQ(p.err, eof) << answers;
    }
    // At the pause the echo of the first data set stands in the file.
    EXPECT_EQ(file("run.out").back(), " Hard sphere diameter=   0.50  DeltaPhi=  1.000");
    EXPECT_EQ(run(kBeadwalks, "1\nrun.dat\nrun.out\n").out.back(), test::kPause);
}

TEST_F(HostileInput, console_answers_that_are_not_answers) {
    const std::string conversion = "input conversion error, unit 5, file stdin\n";
    EXPECT_EQ(run(kBeadwalks, std::string("\xff\xfe\0\x01\n", 5)).err, conversion);
    EXPECT_EQ(run(kBeadwalks, "2147483648\n").err, conversion);
    EXPECT_EQ(run(kBeadwalks, "1.0\n").err, conversion);
    const Process zero = run_from(kBeadwalks, "/dev/zero");
    EXPECT_EQ(zero.status, 2);
    EXPECT_EQ(zero.err, "record too long, unit 5, file stdin\n");
}

}  // namespace
}  // namespace bw
