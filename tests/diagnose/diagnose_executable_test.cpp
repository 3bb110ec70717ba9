// Runs of the real executables: beadwalks-diagnose against beadwalks on the
// same data files, the verdicts on two chains of known relaxation, and what a
// user sees for bad arguments and bad data files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

using test::lines_of;
using test::read_file;
using test::write_file;

const std::string kDiagnose = BEADWALKS_DIAGNOSE_EXE;
const std::string kBeadwalks = BEADWALKS_EXE;
const std::string kRun = BEADWALKS_RUN_EXE;
const std::string kRuns = BEADWALKS_RUNS;
const std::string kUsage =
    "usage: beadwalks-diagnose CODE INFILE [--json FILE] [--series DIR] [--moves local|pivot] [--pivots K]"
    "  (CODE 1 rigid bonds, 2 Hookean springs, 3 springs of rest length 1)";

struct Outcome {
    int status = -1;
    std::vector<std::string> out, err;
};

class Diagnose : public ::testing::Test {
protected:
    Outcome shell(const std::string& command) {
        const std::string cmd = "cd '" + dir_.path().string() + "' && " + command + " > out.txt 2> err.txt";
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, lines_of(read_file(dir_ / "out.txt")),
                lines_of(read_file(dir_ / "err.txt"))};
    }
    Outcome diagnose(const std::string& args) { return shell("'" + kDiagnose + "' " + args); }
    Outcome beadwalks(int code, const std::string& data) {
        write_file(dir_ / "answers.txt", std::to_string(code) + "\n" + data + "\nbw.out\n\n");
        return shell("'" + kBeadwalks + "' < answers.txt");
    }
    std::vector<std::string> file(const std::string& name) { return lines_of(read_file(dir_ / name)); }
    void data(const std::string& name, const std::string& text) { write_file(dir_ / name, text); }

    test::TempDir dir_;
};

// The records of the diagnosis's standard output that beadwalks also writes
// to its output file: from the first separator on, without the diagnosis
// tables and the console-only headings of the P(r) table.
std::vector<std::string> shared_records(const std::vector<std::string>& out) {
    std::vector<std::string> r;
    bool in_table = false;
    for (std::size_t i = 2; i < out.size(); ++i) {
        const std::string& l = out[i];
        if (l == " --------------" && i + 1 < out.size() && out[i + 1].rfind(" DIAGNOSIS", 0) == 0) in_table = true;
        if (l == test::kRule) in_table = false;
        if (in_table || l == " Table of radial distribution function" || l == "   r*     P(r*)") continue;
        r.push_back(l);
    }
    return r;
}

std::vector<std::string> from_first_rule(const std::vector<std::string>& file) {
    auto it = std::find(file.begin(), file.end(), test::kRule);
    it = std::find(it + 1, file.end(), test::kRule);  // the banner has two rules
    it = std::find(it + 1, file.end(), test::kRule);
    return {it, file.end()};
}

// The value of "key": inside the JSON text after the first occurrence of `after`.
std::string json_value(const std::string& json, const std::string& after, const std::string& key) {
    const std::size_t at = json.find(after);
    const std::size_t k = json.find("\"" + key + "\": ", at);
    if (at == std::string::npos || k == std::string::npos) return "";
    const std::size_t v = k + key.size() + 4;
    if (json[v] == '"') return json.substr(v + 1, json.find('"', v + 1) - v - 1);
    return json.substr(v, json.find_first_of(",}]", v) - v);
}

TEST_F(Diagnose, runs_every_model_code_exactly_as_beadwalks_with_and_without_hydrodynamics) {
    for (const auto& [name, code] : std::vector<std::pair<std::string, int>>{{"rl", 1}, {"gs", 2}, {"ss", 3}}) {
        data(name + ".dat", read_file(kRuns + "/" + name + ".dat"));
        const Outcome bw = beadwalks(code, name + ".dat");
        ASSERT_EQ(bw.status, 0) << name;
        const Outcome dg = diagnose(std::to_string(code) + " " + name + ".dat --json " + name + ".json");
        ASSERT_EQ(dg.status, 0) << name;
        EXPECT_EQ(shared_records(dg.out), from_first_rule(file("bw.out"))) << name;

        // The report of the JSON document holds the printed digits.
        const std::string json = read_file(dir_ / (name + ".json"));
        const std::vector<std::string> out = file("bw.out");
        std::vector<std::string> r2;
        for (const std::string& l : out)
            if (l.rfind(" Reduced mean square end-to-end distance <r2>*=", 0) == 0) r2.push_back(l);
        ASSERT_EQ(r2.size(), 2u) << name;  // the data set without hydrodynamics, then the one with
        const std::string printed = r2[1].substr(r2[1].find('=') + 1);
        EXPECT_EQ(std::stod(json_value(json, "\"index\": 2", "mean")), std::stod(printed.substr(0, 7))) << name;
        EXPECT_EQ(std::stod(json_value(json, "\"index\": 2", "error")), std::stod(printed.substr(10))) << name;
        EXPECT_NE(json.find("\"eta\": {\"mean\": "), std::string::npos) << name;
    }
}

// Ideal springs (HOOK = 3, AMPL = 1): r2 relaxes in about 110 cycles, so
// samples 500 cycles apart are independent and 2000 of them are plenty.
TEST_F(Diagnose, the_ideal_spring_chain_sampled_every_500_cycles_is_reliable) {
    data("ideal.dat", "10\n1000000\n2000\n4711\n0\n0\n0.0\n0.8\n2.5\n3\n1.0\n-1\n");
    const Outcome r = diagnose("2 ideal.dat --json ideal.json --series series");
    ASSERT_EQ(r.status, 0);
    const std::string json = read_file(dir_ / "ideal.json");
    EXPECT_EQ(json_value(json, "\"properties\"", "verdict"), "reliable");
    EXPECT_EQ(json_value(json, "\"s2\": {\"mean\": 1", "verdict"), "reliable");
    EXPECT_LT(std::stod(json_value(json, "\"properties\"", "tau_samples")), 1.5);
    EXPECT_EQ(json_value(json, "\"properties\"", "advice"), "none");
    const std::vector<std::string> csv = file("series/data_set_1.csv");
    ASSERT_EQ(csv.size(), 2001u);
    EXPECT_EQ(csv[0], "subsample,sample,cycle,r2,s2");
    EXPECT_EQ(csv[1].rfind("1,1,500,", 0), 0u);
    EXPECT_EQ(csv[2000].rfind("5,400,200000,", 0), 0u);
}

// Stiff springs (HOOK = 100, AMPL = 0.2): r2 relaxes in about 2,200 cycles
// (2347, 2284 and 2174 cycles measured on three runs of 2,000,000 samples).
// 100,000 samples 10 cycles apart span about 90 autocorrelation times per
// subsample, enough for an estimate to some 20 %, and are worth some 450.
TEST_F(Diagnose, the_stiff_spring_chain_sampled_every_10_cycles_is_flagged) {
    data("stiff.dat", "10\n1000000\n100000\n12345\n0\n0\n0.0\n1.0\n1.0\n100\n0.2\n-1\n");
    const Outcome r = diagnose("3 stiff.dat --json stiff.json");
    ASSERT_EQ(r.status, 0);
    const std::string json = read_file(dir_ / "stiff.json");
    const std::string verdict = json_value(json, "\"properties\"", "verdict");
    EXPECT_NE(verdict.find("correlated samples: n_eff = "), std::string::npos) << verdict;
    const double tau = std::stod(json_value(json, "\"properties\"", "tau_cycles"));
    EXPECT_GT(tau, 1400.0);
    EXPECT_LT(tau, 3300.0);
    EXPECT_EQ(std::stod(json_value(json, "\"properties\"", "tau_samples")) * 10.0, tau);
    EXPECT_EQ(json_value(json, "\"properties\"", "advice").rfind("NCONF = ", 0), 0u);
    // The table says the same.
    bool shown = false;
    for (const std::string& l : r.out) shown |= l.rfind(" <r2>*: " + verdict, 0) == 0;
    EXPECT_TRUE(shown);
}

TEST_F(Diagnose, runs_pivot_data_sets_exactly_as_beadwalks_run) {
    for (const auto& [name, code] : std::vector<std::pair<std::string, int>>{{"rl", 1}, {"gs", 2}, {"ss", 3}}) {
        data(name + ".dat", read_file(kRuns + "/" + name + ".dat"));
        const Outcome run =
            shell("'" + kRun + "' " + std::to_string(code) + " " + name + ".dat bw.out --moves pivot --pivots 2");
        ASSERT_EQ(run.status, 0) << name;
        const Outcome dg = diagnose(std::to_string(code) + " " + name + ".dat --moves pivot --pivots 2");
        ASSERT_EQ(dg.status, 0) << name;
        EXPECT_EQ(shared_records(dg.out), from_first_rule(file("bw.out"))) << name;
    }
}

// The stiff springs of the test above with one pivot a cycle: samples 10
// cycles apart are about independent, where local moves need some 2,200.
TEST_F(Diagnose, pivots_relax_the_stiff_spring_chain_within_a_few_cycles) {
    data("stiff.dat", "10\n200000\n20000\n12345\n0\n0\n0.0\n1.0\n1.0\n100\n0.2\n-1\n");
    const Outcome r = diagnose("3 stiff.dat --json stiff.json --moves pivot");
    ASSERT_EQ(r.status, 0);
    const std::string json = read_file(dir_ / "stiff.json");
    EXPECT_LT(std::stod(json_value(json, "\"properties\"", "tau_cycles")), 40.0);
    EXPECT_LT(std::stod(json_value(json, "\"s2\": {\"mean\"", "tau_cycles")), 40.0);
    EXPECT_GT(std::stod(json_value(json, "\"properties\"", "n_eff")), 4000.0);
}

TEST_F(Diagnose, bad_arguments_get_the_usage_line_and_status_2) {
    data("ok.dat", "-1\n");
    for (const std::string& args : {std::string(""), std::string("4 ok.dat"), std::string("x ok.dat"),
                                    std::string("3"), std::string("3 ok.dat --colour"),
                                    std::string("3 ok.dat --json"), std::string("3 ok.dat extra"),
                                    std::string("3 ok.dat --moves sideways"), std::string("3 ok.dat --pivots 2"),
                                    std::string("3 ok.dat --moves pivot --pivots 0")}) {
        const Outcome r = diagnose(args);
        EXPECT_EQ(r.status, 2) << args;
        ASSERT_FALSE(r.err.empty()) << args;
        EXPECT_EQ(r.err.back(), kUsage) << args;
        EXPECT_EQ(r.err.front().rfind("beadwalks-diagnose: ", 0), 0u) << args;
        EXPECT_TRUE(r.out.empty()) << args;
    }
    const Outcome missing = diagnose("3 missing.dat");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, (std::vector<std::string>{"file not found, unit 4, file missing.dat", kUsage}));
    const Outcome help = diagnose("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, std::vector<std::string>{kUsage});
}

TEST_F(Diagnose, bad_data_files_stop_as_in_beadwalks) {
    // A refused item: the same message, status 1.
    data("big.dat", "101\n");
    const Outcome bw = beadwalks(2, "big.dat");
    const Outcome dg = diagnose("2 big.dat --json big.json");
    EXPECT_EQ(bw.status, 1);
    EXPECT_EQ(dg.status, 1);
    EXPECT_EQ(dg.out.back(), bw.out.back());
    EXPECT_EQ(read_file(dir_ / "big.json"), "{\"data_sets\": []}\n");

    // An item that is no number after a data set that ran: status 2, the same
    // diagnostic, and the data set diagnosed before it stays in the document.
    data("text.dat", "10\n1000\n50\n7\n0\n0\n0.0\n0.8\n2.5\n3\n0.9\n10\nmany\n");
    const Outcome bw2 = beadwalks(2, "text.dat");
    const Outcome dg2 = diagnose("2 text.dat --json text.json");
    EXPECT_EQ(bw2.status, 2);
    EXPECT_EQ(dg2.status, 2);
    EXPECT_EQ(dg2.err.back(), bw2.err.back());
    EXPECT_EQ(dg2.err.back(), "input conversion error, unit 4, file text.dat");
    const std::string json = read_file(dir_ / "text.json");
    EXPECT_NE(json.find("\"index\": 1, \"N\": 10, \"NCONF\": 1000, \"NCONFAVE\": 50, \"NFREQ\": 20"),
              std::string::npos);

    // A JSON file that cannot be created is refused before anything runs.
    const Outcome nojson = diagnose("2 text.dat --json no/such/folder/x.json");
    EXPECT_EQ(nojson.status, 2);
    EXPECT_EQ(nojson.err.back(), "--json: cannot open file, file no/such/folder/x.json");
}

}  // namespace
}  // namespace bw
