// Runs of the real executables: beadwalks-run with local moves against the
// dialogue run of beadwalks (output file, console, standard error and status
// byte for byte), pivot runs on one CPU and on all, the records a pivot run
// adds, a pivot run stopped by SIGTERM and resumed, bad arguments.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

using test::lines_of;
using test::read_file;
using test::write_file;

const std::string kRun = BEADWALKS_RUN_EXE;
const std::string kBeadwalks = BEADWALKS_EXE;
const std::string kExamples = BEADWALKS_EXAMPLES;
const std::string kUsage =
    "usage: beadwalks-run CODE INFILE OUTFILE [--moves local|pivot] [--pivots K]"
    "  (CODE 1 rigid bonds, 2 Hookean springs, 3 springs of rest length 1)";

struct Outcome {
    int status = -1;
    std::string out, err, file;  // standard output, standard error, the output file
};

class RunExecutable : public ::testing::Test {
protected:
    // Runs `command` in the folder `sub` (made when missing); the output
    // file is sub/run.out.
    Outcome shell(const std::string& sub, const std::string& command) {
        const std::filesystem::path where = std::filesystem::path(dir_.path()) / sub;
        std::filesystem::create_directories(where);
        const std::string cmd = "cd '" + where.string() + "' && " + command + " > out.txt 2> err.txt";
        const int raw = std::system(cmd.c_str());
        std::error_code ec;
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(where / "out.txt"), read_file(where / "err.txt"),
                std::filesystem::exists(where / "run.out", ec) ? read_file(where / "run.out") : ""};
    }
    void data(const std::string& sub, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(dir_.path()) / sub);
        write_file(dir_ / (sub + "/run.dat"), text);
    }
    Outcome beadwalks(const std::string& sub, int code) {
        write_file(dir_ / (sub + "/answers.txt"), std::to_string(code) + "\nrun.dat\nrun.out\n\n");
        return shell(sub, "'" + kBeadwalks + "' < answers.txt");
    }
    Outcome run(const std::string& sub, const std::string& args, const std::string& launcher = "") {
        return shell(sub, launcher + " '" + kRun + "' " + args + " < /dev/null");
    }

    test::TempDir dir_;
};

// The console of beadwalks without what only the dialogue shows: the banner,
// menu and questions before the answers, and the pause.
std::string without_dialogue(const std::string& console) {
    const std::string last_question = "(name of an already existing file will cause that file to be overwritten!)\n";
    std::string rest = console.substr(console.find(last_question) + last_question.size());
    const std::string pause = test::kPause + "\n";
    const std::size_t at = rest.find(pause);
    if (at != std::string::npos) rest.erase(at, pause.size());
    return rest;
}

std::string example(const std::string& name) { return read_file(kExamples + "/" + name); }

// A data set of code 2: N, NCONF, NCONFAVE, the seed record, no
// hydrodynamics unless asked, no P(r), then EPS, SIG, RCUT, HOOK, AMPL.
std::string gs(int N, int NCONF, int NCONFAVE, const std::string& seed, const std::string& EPS, int IHYD = 0) {
    return std::to_string(N) + "\n" + std::to_string(NCONF) + "\n" + std::to_string(NCONFAVE) + "\n" + seed + "\n" +
           std::to_string(IHYD) + "\n0\n" + EPS + "\n1.0\n2.5\n3.0\n1.0\n";
}

TEST_F(RunExecutable, local_moves_write_what_beadwalks_writes_after_its_dialogue) {
    struct Case {
        int code;
        std::string name, text;
    };
    const std::vector<Case> cases = {
        {1, "rl_chain", example("rl_chain.dat")},
        {2, "gs_chain", example("gs_chain.dat")},
        {3, "ss_chain", example("ss_chain.dat")},
        {1, "echo_example", example("echo_example.dat")},
        {2, "ideal_springs", example("ideal_springs.dat")},
        {3, "stiff_springs", example("stiff_springs.dat")},
        // A stop in the middle: the second data set is refused (NCONFAVE = 4)
        // and the third is never run; the first is read ahead of it.
        {2, "stop", gs(12, 4000, 100, "5", "0.5") + "8\n400\n4\n" + gs(10, 2000, 50, "7", "0.0") + "-1\n"},
        // The seed carried from one data set to the next, with hydrodynamics.
        {2, "carried", gs(9, 3000, 60, "11", "0.3", 1) + gs(7, 2000, 50, ",", "0.0") + "-1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        data(c.name + "/dialogue", c.text);
        data(c.name + "/run", c.text);
        const Outcome dialogue = beadwalks(c.name + "/dialogue", c.code);
        const Outcome batch = run(c.name + "/run", std::to_string(c.code) + " run.dat run.out --moves local");
        EXPECT_FALSE(dialogue.file.empty());
        EXPECT_EQ(batch.file, dialogue.file);
        EXPECT_EQ(batch.out, without_dialogue(dialogue.out));
        EXPECT_EQ(batch.err, dialogue.err);
        EXPECT_EQ(batch.status, dialogue.status);
        EXPECT_EQ(batch.status, c.name == "stop" ? 1 : 0);
        // Local moves are the default.
        EXPECT_EQ(run(c.name + "/default", "").status, 2);
        data(c.name + "/default", c.text);
        EXPECT_EQ(run(c.name + "/default", std::to_string(c.code) + " run.dat run.out").file, dialogue.file);
    }
}

TEST_F(RunExecutable, a_pivot_run_writes_the_same_bytes_on_one_cpu_and_on_all) {
    // With P(r): N, NCONF, NCONFAVE, ISEED, IHYD, NPR, RMAX, then the model.
    const std::string with_pr = "12\n4000\n200\n9\n0\n5\n8.0\n0.5\n1.0\n2.5\n3.0\n1.0\n";
    const std::string text = gs(30, 6000, 300, "3", "1.0") + gs(20, 3000, 100, ",", "0.0", 1) + with_pr +
                             gs(25, 5000, 250, "17", "0.5") + "-1\n";
    data("one", text);
    data("all", text);
    const Outcome one = run("one", "2 run.dat run.out --moves pivot --pivots 3", "taskset -c 0");
    const Outcome all = run("all", "2 run.dat run.out --moves pivot --pivots 3");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(all.file, one.file);
    EXPECT_EQ(all.out, one.out);
    EXPECT_EQ(all.err, one.err);
    EXPECT_EQ(all.status, one.status);
}

TEST_F(RunExecutable, a_pivot_run_says_so_in_each_echo_and_report) {
    const std::string text = gs(15, 2000, 100, "21", "1.0") + gs(10, 1000, 50, "22", "0.0") + "-1\n";
    data("pivot", text);
    data("local", text);
    const std::vector<std::string> pivot = lines_of(run("pivot", "2 run.dat run.out --moves pivot --pivots 4").file);
    const std::vector<std::string> local = lines_of(run("local", "2 run.dat run.out").file);
    const std::string echo = " Pivot moves after the local moves of each cycle, attempts per cycle=         4";
    const std::string amplitude = " Amplitude of Monte-Carlo coordinate displacement= 1.000";
    const std::string percent = " Percent of rejected conformations=";
    int echoes = 0, reports = 0;
    for (std::size_t i = 0; i + 1 < pivot.size(); ++i) {
        if (pivot[i] == amplitude) {
            EXPECT_EQ(pivot[i + 1], echo);
            ++echoes;
        }
        if (pivot[i].rfind(percent, 0) == 0) {
            const std::string& r = pivot[i + 1];
            const std::string head = " Pivot attempts per cycle=         4  Percent of rejected pivots=";
            EXPECT_EQ(r.substr(0, head.size()), head) << r;
            EXPECT_EQ(r.size(), head.size() + 6) << r;  // F6.2
            ++reports;
        }
    }
    EXPECT_EQ(echoes, 2);
    EXPECT_EQ(reports, 2);
    // Everything else keeps its place: the local file has the same records
    // but these two per data set.
    EXPECT_EQ(pivot.size(), local.size() + 4);
    for (const std::string& l : local) EXPECT_EQ(l.find("ivot"), std::string::npos) << l;
}

TEST_F(RunExecutable, a_pivot_run_stopped_by_sigterm_resumes_with_the_same_bytes) {
    // With hydrodynamics, so that local moves too take some seconds.
    const std::string text = gs(60, 300000, 10000, "5", "1.0", 1) + "-1\n";
    // Started here and signalled by its own id, some time after it opened
    // the output file (a loaded machine may be slow to start it).
    const auto stopped_run = [](const std::string& args) {
        return "('" + kRun + "'" + args +
               " < /dev/null & pid=$!; for i in $(seq 1000); do [ -e run.out ] && break; sleep 0.01; done;"
               " sleep 0.3; kill -TERM $pid; wait $pid)";
    };
    data("whole", text);
    data("stopped", text);
    const std::string args = " 2 run.dat run.out --moves pivot --pivots 2";
    const Outcome whole = run("whole", args);
    ASSERT_EQ(whole.status, 0) << whole.err;
    const Outcome stopped = shell("stopped", stopped_run(args));
    EXPECT_EQ(stopped.status, 143);
    EXPECT_EQ(stopped.err, "beadwalks-run: stopped by SIGTERM; run the same command again to resume\n");
    ASSERT_TRUE(std::filesystem::exists(dir_ / "stopped/run.out.ckpt"));
    const Outcome resumed = run("stopped", args);
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.out.find(" Resuming from checkpoint run.out.ckpt"), std::string::npos);
    EXPECT_EQ(resumed.file, whole.file);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "stopped/run.out.ckpt"));
    // A checkpoint of local moves is not taken up by a run with pivots.
    data("other", text);
    const Outcome local = shell("other", stopped_run(" 2 run.dat run.out"));
    ASSERT_EQ(local.status, 143);
    const Outcome pivots = run("other", args);
    EXPECT_NE(pivots.out.find("set aside: it belongs to a run with other moves (local moves only)"), std::string::npos)
        << pivots.out.substr(0, 2000);
    EXPECT_EQ(pivots.file, whole.file);
}

TEST_F(RunExecutable, bad_arguments_say_what_is_wrong_and_show_the_usage) {
    data("bad", gs(5, 100, 10, "1", "0.0") + "-1\n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "no model code, input file or output file"},
        {"2", "no input file"},
        {"2 run.dat", "no output file"},
        {"4 run.dat run.out", "unknown model code 4"},
        {"x run.dat run.out", "unknown model code x"},
        {"-1 run.dat run.out", "unknown model code -1"},
        {"2 run.dat run.out extra", "unexpected argument extra"},
        {"2 run.dat run.out --verbose", "unknown option --verbose"},
        {"2 run.dat run.out --moves", "--moves needs local or pivot"},
        {"2 run.dat run.out --moves crankshaft", "unknown moves crankshaft (local or pivot)"},
        {"2 run.dat run.out --moves pivot --pivots 0", "--pivots 0 is not a positive integer"},
        {"2 run.dat run.out --moves pivot --pivots -3", "--pivots -3 is not a positive integer"},
        {"2 run.dat run.out --moves pivot --pivots 2.5", "--pivots 2.5 is not a positive integer"},
        {"2 run.dat run.out --moves pivot --pivots", "--pivots needs a positive integer"},
        {"2 run.dat run.out --pivots 3", "--pivots needs --moves pivot"},
        {"2 missing.dat run.out", "file not found, unit 4, file missing.dat"},
    };
    for (const auto& [args, problem] : cases) {
        const Outcome o = run("bad", args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.err, "beadwalks-run: " + problem + "\n" + kUsage + "\n") << args;
        EXPECT_EQ(o.out, "") << args;
        EXPECT_FALSE(std::filesystem::exists(dir_ / "bad/run.out")) << args;
    }
    const Outcome help = run("bad", "2 run.dat run.out --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, kUsage + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "bad/run.out"));
}

}  // namespace
}  // namespace bw
