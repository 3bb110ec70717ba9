#pragma once
// Helpers for tests that run the whole program on files: a scratch folder,
// file contents as records, the fixed records of the start of a run, and a
// scripted data-set runner.
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>

#include "driver/data_set_runner.hpp"

namespace bw::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "beadwalks-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

inline void append(std::vector<std::string>& to, const std::vector<std::string>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

inline const std::string kRule = "     ======================================================================";

inline const std::vector<std::string> kBanner = {
    "",
    "",
    kRule,
    "                                Program BEADWALKS",
    "                 Monte Carlo simulation of flexible bead chains",
    "         rigid bonds, Hookean springs, hard, Lennard-Jones or soft beads",
    "           conformational averages and P(r) of the end-to-end distance",
    "             rigid-body hydrodynamics of every sampled conformation",
    kRule,
    "",
};

inline const std::string kPause = " ...Pause to confirm data. Press Enter key ";

// The output file of a run up to its first separator: banner, code record,
// file-name records (names padded to 30 columns).
inline std::vector<std::string> file_start(const std::string& code_record, const std::string& outfile30,
                                           const std::string& infile30) {
    std::vector<std::string> r = kBanner;
    append(r, {code_record, " Output file (this file): " + outfile30, " Input data file: " + infile30, ""});
    return r;
}

// The console of a run up to the code record: banner, menu, prompts.
inline std::vector<std::string> console_start() {
    std::vector<std::string> r = kBanner;
    append(r, {" Codes for your model:", " 1 -- RL , RLHS", " 2 -- GS , GSLJ", " 3 -- SS , SSSR",
               " Give your model code:", " Give name of input file:", " Give name of output file:",
               " (name of an already existing file will cause that file to be overwritten!)"});
    return r;
}

// Results made up from the data set so that a report can be checked by hand:
// NREJ = NCONF, property p has mean p and standard error p / 100.
class ScriptedRunner final : public DataSetRunner {
public:
    DataSetResult run(RunData& rd, RecordSink& console) override {
        seen.push_back(rd);
        console.record(" scripted run");
        if (!failure.empty()) throw std::runtime_error(failure);
        DataSetResult res;
        res.NREJ = rd.NCONF;
        for (int p = 1; p <= rd.NPROP; ++p)
            res.PSTAT.push_back({static_cast<float>(p), static_cast<float>(p) / 100.0f});
        return res;
    }
    std::vector<RunData> seen;
    std::string failure;  // when set, run() throws it
};

// A data set of model code 1 with hydrodynamics and P(r), and its echo.
inline const std::string kEchoExampleData = "20\n20000\n1000\n12345\n1\n50\n20.0\n0.5\n1.0\n";
inline const std::vector<std::string> kEchoExample = {
    " General data",
    " ------------",
    " N=  20",
    " Total number of conformations:           20000",
    " Number of conformations for averaging:            1000",
    " Sampling frequecy for averaging:              20",
    " Seed for random number generator:           12345",
    " Hydrodynamic calculations?  (0-No, other-Yes):  1",
    " Radial distribution function P(r) ? (0-NO, other-Number of intervals):   50",
    " P(r) from r=0.0 to rmax=   20.00",
    " Model-specific data",
    " -------------------",
    " Hard sphere diameter=   0.50  DeltaPhi=  1.000",
};

// Two data sets of model code 1 and the terminating record.
inline const std::string kTwoDataSets =
    "20      beads\n2000\n100\n7\n0\n2\n10.0\n0.8\n2.0\n"
    "10\n500\n50\n8\n1\n0\n0.5\n1.0\n"
    "-1\n";

inline const std::vector<std::string> kEchoOne = {
    " General data",
    " ------------",
    " N=  20",
    " Total number of conformations:            2000",
    " Number of conformations for averaging:             100",
    " Sampling frequecy for averaging:              20",
    " Seed for random number generator:               7",
    " Hydrodynamic calculations?  (0-No, other-Yes):  0",
    " Radial distribution function P(r) ? (0-NO, other-Number of intervals):    2",
    " P(r) from r=0.0 to rmax=   10.00",
    " Model-specific data",
    " -------------------",
    " Hard sphere diameter=   0.80  DeltaPhi=  2.000",
};

inline const std::vector<std::string> kEchoTwo = {
    " General data",
    " ------------",
    " N=  10",
    " Total number of conformations:             500",
    " Number of conformations for averaging:              50",
    " Sampling frequecy for averaging:              10",
    " Seed for random number generator:               8",
    " Hydrodynamic calculations?  (0-No, other-Yes):  1",
    " Radial distribution function P(r) ? (0-NO, other-Number of intervals):    0",
    " Model-specific data",
    " -------------------",
    " Hard sphere diameter=   0.50  DeltaPhi=  1.000",
};

// Reports of the ScriptedRunner: 2000 of 20 * 2000 moves rejected (5 %),
// properties 1, 2 and the bins at r = 2.5 and 7.5; then 500 of 10 * 500
// (10 %) with D* = 3 and [eta]* = 4.
inline const std::vector<std::string> kReportOne = {
    " --------------",
    " FINAL RESULTS:",
    " Number of rejected conformations =           2000",
    " Percent of rejected conformations=  5.00",
    " Reduced mean square end-to-end distance <r2>*=  1.000 +-  0.010",
    " Reduced mean square radius of gyration  <s2>*=  2.000 +-  0.020",
    " 2.500   3.00000",
    " 7.500   4.00000",
};
inline const std::vector<std::string> kTableHeadings = {" Table of radial distribution function",
                                                        "   r*     P(r*)"};
inline const std::vector<std::string> kReportTwo = {
    " --------------",
    " FINAL RESULTS:",
    " Number of rejected conformations =            500",
    " Percent of rejected conformations= 10.00",
    " Reduced mean square end-to-end distance <r2>*=  1.000 +-  0.010",
    " Reduced mean square radius of gyration  <s2>*=  2.000 +-  0.020",
    " Reduced diffusion coefficient  D*=  3.00000+-  0.03000",
    " Reduced intrinsic viscosity [eta]*=    4.000+-    0.040",
};

// The whole output file of kTwoDataSets run with the ScriptedRunner, the
// input named "two.dat" and the output "two.out".
inline std::vector<std::string> two_data_sets_file() {
    std::vector<std::string> r = file_start(" Code 1. RL or RLHS model", "two.out                       ",
                                            "two.dat                       ");
    r.push_back(kRule);
    append(r, kEchoOne);
    append(r, kReportOne);
    r.push_back(kRule);
    append(r, kEchoTwo);
    append(r, kReportTwo);
    r.push_back(kRule);
    return r;
}

// The console of the same run, answers "1", "two.dat", "two.out", "".
inline std::vector<std::string> two_data_sets_console() {
    std::vector<std::string> r = console_start();
    append(r, {" Code 1. RL or RLHS model", " Output file (this file): two.out                       ",
               " Input data file: two.dat                       ", "", kRule});
    append(r, kEchoOne);
    append(r, {kPause, " scripted run"});
    append(r, {kReportOne.begin(), kReportOne.end() - 2});
    append(r, kTableHeadings);
    append(r, {kReportOne.end() - 2, kReportOne.end()});
    r.push_back(kRule);
    append(r, kEchoTwo);
    r.push_back(" scripted run");
    append(r, kReportTwo);
    r.push_back(kRule);
    return r;
}

}  // namespace bw::test
