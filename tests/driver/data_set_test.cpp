// Reading, validation and echo of one data set, seen through the records that
// reach the output file and the console.
#include "driver/data_set.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "driver/io_error.hpp"
#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// One data set read from `text` with model code `icode`.
struct Read {
    Read(std::int32_t icode, const std::string& text) : data(text), reader(data, kInputUnit, "data.txt") {
        rd.ICODE = icode;
        out.attach_file(file, "out.txt");
        status = read_data_set(reader, rd, out);
    }
    std::vector<std::string> file_records() const { return lines(file.str()); }

    std::istringstream data;
    RecordReader reader;
    std::ostringstream console, file;
    Output out{console};
    RunData rd;
    DataSetStatus status;
};


TEST(data_set, echo_example_code_1_with_p_of_r) {
    Read r(1, test::kEchoExampleData);
    EXPECT_EQ(r.status, DataSetStatus::Ready);
    EXPECT_EQ(r.file_records(), test::kEchoExample);
    EXPECT_EQ(r.console.str(), r.file.str());
    EXPECT_EQ(r.rd.NFREQ, 20);
    EXPECT_EQ(r.rd.NCONFSUB, 200);
    EXPECT_EQ(r.rd.RMAX, 20.0f);
    EXPECT_EQ(r.rd.DHS, 0.5f);
    EXPECT_EQ(r.rd.DELTAPHI, 1.0f);
}

TEST(data_set, code_2_reads_eps_sig_rcut_hook_ampl_and_echoes_hook_first) {
    Read r(2, "30\n1000\n300\n7\n0\n0\n0.2\n0.8\n2.5\n3\n0.7\n");
    ASSERT_EQ(r.status, DataSetStatus::Ready);
    const auto f = r.file_records();
    ASSERT_EQ(f.size(), 14u);  // no RMAX record
    EXPECT_EQ(f[5], " Sampling frequecy for averaging:               3");
    EXPECT_EQ(f[7], " Hydrodynamic calculations?  (0-No, other-Yes):  0");
    EXPECT_EQ(f[8], " Radial distribution function P(r) ? (0-NO, other-Number of intervals):    0");
    EXPECT_EQ(f[9], " Model-specific data");
    EXPECT_EQ(f[11], " Hookean constant= 3.00");
    EXPECT_EQ(f[12], " Lennard Jones parameters  EPS=0.20  SIG=0.80  RCUT=2.50");
    EXPECT_EQ(f[13], " Amplitude of Monte-Carlo coordinate displacement= 0.700");
    EXPECT_EQ(r.rd.RCUT2, 2.5f * 2.5f);
    EXPECT_EQ(r.rd.HOOK, 3.0f);  // an integer where a real is expected
}

TEST(data_set, code_3_echo_and_narrow_fields) {
    Read r(3, "40\n5000\n100\n99\n1\n-2\n1\n2\n2\n30\n0.35\n");
    ASSERT_EQ(r.status, DataSetStatus::Ready);
    const auto f = r.file_records();
    ASSERT_EQ(f.size(), 14u);
    EXPECT_EQ(f[8], " Radial distribution function P(r) ? (0-NO, other-Number of intervals):   -2");
    EXPECT_EQ(f[11], " Hookean constant=30.000");
    EXPECT_EQ(f[12], " Exponential potential parameters  A= 1.000  Alpha= 2.000  RCUT=2.00");
    EXPECT_EQ(f[13], " Amplitude of Monte-Carlo coordinate displacement= 0.350");
    EXPECT_EQ(r.rd.RCUT2, 4.0f);

    Read wide(2, "30\n1000\n300\n7\n0\n0\n10.0\n0.8\n2.5\n100\n0.7\n");
    EXPECT_EQ(wide.file_records()[11], " Hookean constant=*****");
    EXPECT_EQ(wide.file_records()[12], " Lennard Jones parameters  EPS=****  SIG=0.80  RCUT=2.50");
}

TEST(data_set, negative_bead_count_ends_the_run_without_echo) {
    for (const char* text : {"-1\n", "     -1\n", "-1     end of data\n", "-5"}) {
        Read r(1, text);
        EXPECT_EQ(r.status, DataSetStatus::EndOfRun) << text;
        EXPECT_EQ(r.file.str(), "");
        EXPECT_EQ(r.console.str(), "");
    }
}

TEST(data_set, bead_count_limits) {
    Read over(1, "101\n");
    EXPECT_EQ(over.status, DataSetStatus::ErrorStop);
    EXPECT_EQ(over.file_records(),
              std::vector<std::string>{" N=         101  is not valid. Maximum number of beads is 100"});
    EXPECT_EQ(over.console.str(), over.file.str());

    Read hundred(1, "100\n10\n5\n1\n0\n0\n0\n1\n");
    EXPECT_EQ(hundred.status, DataSetStatus::Ready);

    for (const char* text : {"0\n", "1\n", "\n"}) {  // an empty record reads as 0
        Read few(1, text);
        EXPECT_EQ(few.status, DataSetStatus::ErrorStop) << text;
        ASSERT_EQ(few.file_records().size(), 1u);
        EXPECT_EQ(few.file_records()[0].substr(15), "  is not valid. Minimum number of beads is 2");
    }
    Read two(1, "2\n10\n5\n1\n0\n0\n0\n1\n");
    EXPECT_EQ(two.status, DataSetStatus::Ready);
}

TEST(data_set, nconfave_below_five_stops_before_the_echo) {
    Read four(1, "20\n1000\n4\n");
    EXPECT_EQ(four.status, DataSetStatus::ErrorStop);
    EXPECT_EQ(four.file_records(),
              (std::vector<std::string>{" NCONFAVE=           4 ",
                                        "  is not valid. Minimum value of conformations for averaging is 5"}));
    Read five(1, "20\n3\n5\n1\n0\n0\n0\n1\n");
    EXPECT_EQ(five.status, DataSetStatus::Ready);
    EXPECT_EQ(five.rd.NCONFSUB, 1);
    EXPECT_EQ(five.rd.NFREQ, 0);  // fewer cycles than samples
}

TEST(data_set, npr_beyond_a_million_is_refused_before_its_echo) {
    Read r(1, "20\n1000\n100\n1\n0\n1000001\n");
    EXPECT_EQ(r.status, DataSetStatus::ErrorStop);
    const auto f = r.file_records();
    ASSERT_EQ(f.size(), 9u);
    EXPECT_EQ(f[7], " Hydrodynamic calculations?  (0-No, other-Yes):  0");
    EXPECT_EQ(f[8], " NPR=     1000001  is not valid. Maximum number of intervals is 1000000");

    Read limit(1, "20\n1000\n100\n1\n0\n1000000\n50\n0\n1\n");
    EXPECT_EQ(limit.status, DataSetStatus::Ready);
    EXPECT_EQ(limit.file_records()[8],
              " Radial distribution function P(r) ? (0-NO, other-Number of intervals):*****");
}

TEST(data_set, explanatory_text_blank_records_and_kept_values) {
    Read r(1,
           "25     beads\n"
           "1000  total conformations\n"
           "\n"
           "  100, conformations for averaging\n"
           "12345 / seed\n"
           "1\n"
           "4  intervals\n"
           "8.0\n"
           "0.8  DHS\n"
           "2.0  DELTAPHI\n");
    ASSERT_EQ(r.status, DataSetStatus::Ready);
    EXPECT_EQ(r.rd.N, 25);
    EXPECT_EQ(r.rd.NCONF, 1000);
    EXPECT_EQ(r.rd.NCONFAVE, 100);
    EXPECT_EQ(r.rd.ISEED, 12345);
    EXPECT_EQ(r.rd.NPR, 4);
    EXPECT_EQ(r.rd.RMAX, 8.0f);
    EXPECT_EQ(r.rd.DHS, 0.8f);
    EXPECT_EQ(r.rd.DELTAPHI, 2.0f);
}

TEST(data_set, a_data_file_ending_inside_a_data_set_is_fatal_after_the_echo_so_far) {
    try {
        Read r(1, "20\n1000\n100\n1\n");
        FAIL();
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "end-of-file during read, unit 4, file data.txt");
    }

    std::istringstream data("20\n1000\n100\n1\n0\nx\n");
    RecordReader reader(data, kInputUnit, "data.txt");
    std::ostringstream console, file;
    Output out(console);
    out.attach_file(file, "out.txt");
    RunData rd;
    rd.ICODE = 1;
    EXPECT_THROW(read_data_set(reader, rd, out), IoError);
    EXPECT_EQ(lines(file.str()).size(), 8u);  // general data and the IHYD record stand
}

TEST(data_set, run_control_values) {
    EXPECT_EQ(property_count(0, 0), 2);
    EXPECT_EQ(property_count(0, 4), 6);
    EXPECT_EQ(property_count(-1, 3), 7);
    EXPECT_EQ(property_count(1, -3), 4);
    EXPECT_EQ(progress_interval(100), 5);
    EXPECT_EQ(progress_interval(19), 1);
    EXPECT_EQ(progress_interval(5), 1);
    EXPECT_EQ(progress_interval(1000), 50);
}

}  // namespace
}  // namespace bw

namespace bw {
namespace {

// A run with pivots echoes them after the model-specific data; the items
// read are the same.
TEST(data_set, pivots_are_echoed_after_the_model_specific_data) {
    const std::string text = "10\n1000\n50\n7\n0\n0\n0.5\n2.0\n";
    const Read local(1, text);
    std::istringstream data(text);
    RecordReader reader(data, kInputUnit, "data.txt");
    std::ostringstream console, file;
    Output out{console};
    out.attach_file(file, "out.txt");
    RunData rd;
    rd.ICODE = 1;
    rd.NPIVOT = 12;
    ASSERT_EQ(read_data_set(reader, rd, out), DataSetStatus::Ready);
    out.flush();
    std::vector<std::string> expected = local.file_records();
    expected.push_back(" Pivot moves after the local moves of each cycle, attempts per cycle=        12");
    EXPECT_EQ(lines(file.str()), expected);
    EXPECT_EQ(rd.DELTAPHI, 2.0f);
    EXPECT_EQ(rd.NPIVOT, 12);
}

}  // namespace
}  // namespace bw
