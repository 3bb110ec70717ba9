// Runs that are killed or stopped and started again with the same answers,
// by real processes: the output file they end with is, byte for byte, the
// one a run never stopped writes, whatever instant the kills came at (the
// dialogue, the pause, inside a data set, between two, inside the writing of
// a checkpoint) and whatever the number of CPUs or ranks before and after.
// Checkpoints that do not fit are set aside; one that cannot be written
// leaves the run as it was.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/checkpoint/checkpoint.hpp"
#include "driver/checkpoint/checkpoint_file.hpp"
#include "tests/driver/run_fixture.hpp"

namespace bw {
namespace {

using test::read_file;
using test::write_file;

// Model code 3 with hydrodynamics unless ihyd is 0: N, NCONF, NCONFAVE, the
// seed record as written, NPR and RMAX, then A, ALPHA, RCUT, HOOK, AMPL.
std::string ss(int N, int NCONF, int NCONFAVE, const std::string& ISEED, int NPR, const std::string& RMAX,
               const std::string& model, int IHYD = 1) {
    return std::to_string(N) + "\n" + std::to_string(NCONF) + "\n" + std::to_string(NCONFAVE) + "\n" + ISEED + "\n" +
           std::to_string(IHYD) + "\n" + std::to_string(NPR) + "\n" + (NPR > 0 ? RMAX + "\n" : "") + model;
}

// Six data sets of about two and a half seconds in all on one CPU: the first
// makes the supermatrix of its conformations fail to factorise (the ends of
// a three-bead chain pulled together by a deep well), the fourth has
// singular friction matrices (a runaway chain), two carry the random state
// of the one before them, most have P(r).
std::string study() {
    return ss(3, 5000000, 25, "12345", 4, "1.0", "-1e9\n1.0\n10.0\n0.0\n1e-5\n") +
           ss(12, 100000, 300, ",", 6, "8.0", "1.0\n2.0\n2.5\n20.0\n0.3\n") +
           ss(20, 60000, 200, "77", 5, "10.0", "2.0\n2.0\n2.5\n3.0\n0.7\n") +
           ss(30, 400, 20, "4711", 0, "", "0.0\n1.0\n2.5\n-1e-30\n1e19\n") +
           ss(25, 250000, 100, ",", 3, "9.0", "1.0\n1.5\n2.5\n3.0\n0.7\n", 0) +
           ss(16, 150000, 400, "5", 0, "", "0.5\n1.0\n2.5\n5.0\n0.5\n");
}

// A data set with hydrodynamics of about three seconds on one CPU, so that a
// signal sent half a second into it finds it running on any machine.
std::string long_hydro() { return ss(60, 800000, 2000, "99", 4, "12.0", "1.0\n2.0\n2.5\n3.0\n0.5\n"); }

const std::string kAnswers = "3\nstudy.dat\nstudy.out\n\n";

// How one start of the program ends, if it is ended from outside.
struct Kill {
    enum Kind { None, AfterSeconds, AtPoint, InDialogue, AtPause, Terminate } kind = None;
    double seconds = 0.0;  // after the start; for Terminate, after the output file is opened
    std::string point{};  // "checkpoint-written:2": the killable executable's own stop
};

struct Start {
    int status = -1;
    std::string console, err;
};

// A run's folder: the data file, the answers, and the executables under
// names of their own, so that a kill finds only this folder's processes.
class Study {
public:
    explicit Study(const std::string& data) {
        write_file(dir_ / "study.dat", data);
        write_file(dir_ / "answers.txt", kAnswers);
        link(BEADWALKS_EXE, "bw-plain");
        link(BEADWALKS_KILLABLE_EXE, "bw-killable");
#ifdef BEADWALKS_MPI_EXE
        link(BEADWALKS_MPI_EXE, "bw-mpi");
#endif
    }

    // One start: launcher ("taskset -c 0", "", an mpirun line) and one of
    // the names above; the killable one writes a checkpoint every 150 ms.
    Start start(const std::string& launcher, const std::string& exe, const Kill& kill = {}) {
        const std::string path = dir_ / exe;
        std::string input = "answers.txt";
        if (kill.kind == Kill::InDialogue) input = "<(sleep 30)";
        if (kill.kind == Kill::AtPause) input = "<(printf '3\\nstudy.dat\\nstudy.out\\n'; sleep 30)";
        std::string script = "cd '" + dir_.path().string() + "'\nexport BEADWALKS_TEST_INTERVAL_MS=150\n";
        if (kill.kind == Kill::AtPoint) script += "export BEADWALKS_TEST_STOP='" + kill.point + "'\n";
        script += launcher + " '" + path + "' < " + input + " > console.txt 2> stderr.txt &\npid=$!\n";
        const std::string pattern = "^" + path;
        if (kill.kind == Kill::Terminate) {
            // Counted from the opening of the output file, so that a slow
            // start (a sanitizer, a loaded machine) still gets its signal
            // inside a data set.
            script += "for i in $(seq 600); do [ -e study.out ] && break; sleep 0.05; done\n";
        }
        if (kill.kind == Kill::AfterSeconds || kill.kind == Kill::Terminate) {
            script += "sleep " + std::to_string(kill.seconds) + "\n";
            script += std::string("pkill ") + (kill.kind == Kill::Terminate ? "-TERM" : "-KILL") + " -f '" + pattern +
                      "'\n";
        }
        if (kill.kind == Kill::InDialogue || kill.kind == Kill::AtPause) {
            // Until the program waits on the console, then a little longer.
            script += "for i in $(seq 300); do grep -q '" +
                      std::string(kill.kind == Kill::AtPause ? "Pause" : "Give your model code") +
                      "' console.txt 2>/dev/null && break; sleep 0.01; done\nsleep 0.1\npkill -KILL -f '" +
                      pattern + "'\n";
        }
        script += "wait $pid\necho $? > status.txt\n";
        write_file(dir_ / "start.sh", script);
        const int raw =
            std::system(("timeout 300 bash '" + (dir_ / "start.sh") + "' 2> '" + (dir_ / "shell.txt") + "'").c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "the start script failed or hung";
        Start s;
        s.status = std::stoi("0" + read_file(dir_ / "status.txt"));
        s.console = read_file(dir_ / "console.txt");
        s.err = read_file(dir_ / "stderr.txt");
        return s;
    }

    // Starts with the kills given, one a start, until one ends by itself
    // (a kill may come too late, or a stop point never be reached); each
    // start's launcher and executable from `how(k)`. Returns the last start;
    // `killed` counts the starts that were ended from outside.
    template <class How>
    Start until_done(const std::vector<Kill>& kills, How how, int& killed) {
        Start s;
        killed = 0;
        for (int k = 0; k < 100; ++k) {
            const Kill kill = k < static_cast<int>(kills.size()) ? kills[k] : Kill{};
            const auto [launcher, exe] = how(k);
            s = start(launcher, exe, kill);
            if (s.status != 137) return s;
            ++killed;
        }
        ADD_FAILURE() << "the run did not end in 100 starts";
        return s;
    }

    std::string output() const { return read_file(dir_ / "study.out"); }
    bool has_checkpoint() const { return std::filesystem::exists(dir_ / "study.out.ckpt"); }
    std::string path(const std::string& name) const { return dir_ / name; }
    void clear() {
        std::filesystem::remove(dir_ / "study.out");
        remove_checkpoint_file(dir_ / "study.out.ckpt");
    }

private:
    void link(const char* target, const std::string& name) {
        ASSERT_EQ(symlink(target, (dir_ / name).c_str()), 0) << name;
    }
    test::TempDir dir_;
};

// The run never stopped: its output file, stderr and status.
struct Reference {
    Start start;
    std::string file;
};

Reference reference(Study& s) {
    s.clear();
    Reference r{s.start("taskset -c 0", "bw-plain"), {}};
    r.file = s.output();
    EXPECT_FALSE(s.has_checkpoint()) << "a run that ended left its checkpoint";
    s.clear();
    return r;
}

// The dialogue, the pause (of a fresh start and of a resumed one), inside
// each step of the writing of a checkpoint, right after a data set is
// written, and at times inside the data sets. The first seven make little
// or no progress (a kill inside the writing of the first checkpoint keeps
// the one before), so they hit however fast the machine runs the study;
// those after them may find the run already ended.
constexpr int kSureKills = 7;

std::vector<Kill> kills_everywhere() {
    const auto at = [](const char* point) { return Kill{Kill::AtPoint, 0.0, point}; };
    const auto after = [](double t) { return Kill{Kill::AfterSeconds, t}; };
    return {{Kill::InDialogue},
            {Kill::AtPause},
            at("checkpoint-half-written:1"),
            at("checkpoint-written:1"),
            at("checkpoint-renamed:1"),
            {Kill::AtPause},
            at("checkpoint-half-written:2"),
            at("data-set-written:1"),
            after(0.2),
            at("checkpoint-written:2"),
            after(0.05),
            at("data-set-written:1"),
            after(0.3),
            at("checkpoint-renamed:2"),
            after(0.15)};
}

void expect_ends_as(const Start& last, const Study& s, const Reference& ref, const std::string& what) {
    EXPECT_EQ(s.output(), ref.file) << what;
    EXPECT_EQ(last.status, ref.start.status) << what;
    EXPECT_EQ(last.err, ref.start.err) << what;
    EXPECT_FALSE(s.has_checkpoint()) << what << ": the checkpoint outlived the run";
}

using How = std::pair<std::string, std::string>;

TEST(CheckpointRuns, killed_anywhere_on_one_cpu_or_all_ends_with_the_bytes_of_a_run_never_stopped) {
    Study s(study() + "-1\n");
    const Reference ref = reference(s);
    ASSERT_NE(ref.start.console.find(" ERROR: INFO1="), std::string::npos) << "no factorisation failed";
    for (const std::string launcher : {"taskset -c 0", ""}) {
        const std::string what = launcher.empty() ? "every CPU" : "one CPU";
        s.clear();
        int killed = 0;
        const Start last =
            s.until_done(kills_everywhere(), [&](int) { return How{launcher, "bw-killable"}; }, killed);
        expect_ends_as(last, s, ref, what);
        // On one CPU the study outlasts most kills; on many it may end early.
        EXPECT_GE(killed, launcher.empty() ? kSureKills : 11) << what << ": the run ended before most kills";
        EXPECT_NE(last.console.find(" Resuming from checkpoint study.out.ckpt: "), std::string::npos) << what;
    }
    // The plain program, which checkpoints when a data set ends, killed at
    // times and started again on one CPU and on all in turn.
    s.clear();
    std::vector<Kill> kills;
    for (const double t : {0.4, 0.7, 0.5, 0.9, 0.6}) kills.push_back({Kill::AfterSeconds, t});
    int killed = 0;
    const Start last =
        s.until_done(kills, [](int k) { return How{k % 2 == 0 ? "taskset -c 0" : "", "bw-plain"}; }, killed);
    expect_ends_as(last, s, ref, "beadwalks");
    EXPECT_GE(killed, 1);
}

TEST(CheckpointRuns, sigterm_inside_a_data_set_with_hydrodynamics_stops_with_143_and_resumes) {
    Study s(long_hydro() + "-1\n");
    const Reference ref = reference(s);
    const Start stopped = s.start("taskset -c 0", "bw-plain", {Kill::Terminate, 0.6});
    EXPECT_EQ(stopped.status, 143);
    EXPECT_EQ(stopped.err, "beadwalks: stopped by SIGTERM; run the same command again to resume\n");
    EXPECT_TRUE(s.has_checkpoint());
    const Start resumed = s.start("", "bw-plain");
    EXPECT_NE(resumed.console.find(" Resuming from checkpoint study.out.ckpt: 0 data sets written, 1 in flight"),
              std::string::npos);
    // It went on from where it stopped: the console starts in a later subsample.
    EXPECT_EQ(resumed.console.find(" ***** Subsample 1  ******"), std::string::npos);
    expect_ends_as(resumed, s, ref, "after SIGTERM");
}

// Stops in the middle of the file happen as they would have.
TEST(CheckpointRuns, a_stop_in_the_middle_after_a_resume_is_the_stop_of_a_run_never_stopped) {
    const std::string head = ss(12, 60000, 300, "31", 6, "8.0", "1.0\n2.0\n2.5\n20.0\n0.3\n") +
                             ss(20, 40000, 200, ",", 5, "10.0", "2.0\n2.0\n2.5\n3.0\n0.7\n");
    const std::vector<std::pair<std::string, std::string>> files = {
        {"validation stop", head + "150\n" + study() + "-1\n"},
        {"a refused NPR after a carried seed", head + "8\n1000\n50\n,\n0\n2000000\n" + study() + "-1\n"},
        {"conversion error", head + "20\n2000\nmany\n" + study() + "-1\n"},
        {"no end record", head},
    };
    for (const auto& [what, data] : files) {
        Study s(data);
        const Reference ref = reference(s);
        int killed = 0;
        const Start last = s.until_done({{Kill::AtPoint, 0.0, "data-set-written:1"}, {Kill::AfterSeconds, 0.2}},
                                        [](int) { return How{"", "bw-killable"}; }, killed);
        expect_ends_as(last, s, ref, what);
        EXPECT_GE(killed, 1) << what;
        EXPECT_NE(ref.start.status, 0) << what;
    }
}

// A checkpoint of the study, taken by SIGTERM with data sets written and
// others in flight.
std::vector<char> stopped_checkpoint(Study& s) {
    s.clear();
    const Start stopped = s.start("", "bw-killable", {Kill::Terminate, 0.7});
    EXPECT_EQ(stopped.status, 143);
    return read_checkpoint_file(s.path("study.out.ckpt")).value_or(std::vector<char>{});
}

TEST(CheckpointRuns, a_checkpoint_that_does_not_fit_is_set_aside_and_the_run_starts_afresh) {
    Study s(study() + "-1\n");
    const Reference ref = reference(s);
    const std::vector<char> good = stopped_checkpoint(s);
    ASSERT_FALSE(good.empty());
    const Checkpoint c = decode_checkpoint(good);
    ASSERT_GT(c.owner.output_length, 0u);
    const std::string output = s.output();

    struct Variant {
        std::string what, reason;
        std::vector<char> ckpt;
        std::string output;
    };
    std::vector<Variant> variants;
    variants.push_back({"cut", "its checksum does not match", {good.begin(), good.begin() + good.size() / 2}, output});
    variants.push_back({"empty", "too short to be a checkpoint", {}, output});
    std::vector<char> flipped = good;
    flipped[good.size() / 3] ^= 0x10;
    variants.push_back({"bit flip", "its checksum does not match", flipped, output});
    Checkpoint other = c;
    other.owner.ICODE = 2;
    variants.push_back({"model code", "it belongs to model code 2", encode_checkpoint(other), output});
    other = c;
    other.owner.build = "BEADWALKS 0.9 sources 0";
    variants.push_back({"build", "another build", encode_checkpoint(other), output});
    other = c;
    other.owner.lapack = "lapack elsewhere";
    variants.push_back({"LAPACK", "other LAPACK and BLAS", encode_checkpoint(other), output});
    other = c;
    other.owner.input_digest[0] ^= 1;
    variants.push_back({"input bytes", "the input data file has changed", encode_checkpoint(other), output});
    std::string edited = output;
    edited[edited.size() / 2] = edited[edited.size() / 2] == '1' ? '2' : '1';
    variants.push_back({"output changed", "no longer begins with the", good, edited});
    variants.push_back({"output cut", "no longer begins with the", good, output.substr(0, output.size() / 2)});

    for (const Variant& v : variants) {
        write_file(s.path("study.out"), v.output);
        write_file(s.path("study.out.ckpt"), std::string(v.ckpt.begin(), v.ckpt.end()));
        const Start afresh = s.start("", "bw-plain");
        EXPECT_NE(afresh.console.find(" Checkpoint study.out.ckpt set aside: "), std::string::npos) << v.what;
        EXPECT_NE(afresh.console.find(v.reason), std::string::npos) << v.what << ":\n" << afresh.console.substr(0, 2000);
        EXPECT_EQ(afresh.console.find("Resuming"), std::string::npos) << v.what;
        expect_ends_as(afresh, s, ref, v.what);
    }
    // A foreign file that merely bears the name.
    write_file(s.path("study.out.ckpt"), "not a checkpoint\n");
    const Start foreign = s.start("", "bw-plain");
    EXPECT_NE(foreign.console.find("set aside"), std::string::npos);
    expect_ends_as(foreign, s, ref, "foreign file");
}

TEST(CheckpointRuns, a_checkpoint_that_cannot_be_written_leaves_the_run_as_it_was) {
    Study s(study() + "-1\n");
    const Reference ref = reference(s);
    // As root no folder is read-only: a folder in the way of the temporary file.
    std::filesystem::create_directory(s.path("study.out.ckpt.tmp"));
    const Start run = s.start("", "bw-killable");
    const std::string said = " Checkpoint study.out.ckpt cannot be created: Is a directory; the run goes on without one";
    const auto at = run.console.find(said);
    EXPECT_NE(at, std::string::npos) << run.console.substr(0, 3000);
    EXPECT_EQ(run.console.find(said, at + 1), std::string::npos) << "said more than once";
    EXPECT_EQ(s.output(), ref.file);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

// The console is unit 6: when it cannot be written the run stops as at any
// other fatal failure, and keeps its checkpoint.
TEST(CheckpointRuns, a_console_that_cannot_be_written_is_fatal_and_keeps_the_checkpoint) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Study s(study() + "-1\n");
    const Reference ref = reference(s);
    ASSERT_FALSE(stopped_checkpoint(s).empty());
    const std::string cmd = "cd '" + s.path("") + "' && ./bw-plain < answers.txt > /dev/full 2> stderr.txt";
    const int raw = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 2);
    EXPECT_EQ(read_file(s.path("stderr.txt")), "write error, unit 6, file stdout\n");
    EXPECT_TRUE(s.has_checkpoint());
    const Start resumed = s.start("", "bw-plain");
    EXPECT_NE(resumed.console.find("Resuming"), std::string::npos);
    expect_ends_as(resumed, s, ref, "after a full console");
}

#ifdef BEADWALKS_MPI_EXE
std::string mpirun(int ranks) {
    std::string launcher = "ASAN_OPTIONS=detect_leaks=0 mpirun --quiet --oversubscribe";
    if (geteuid() == 0) launcher += " --allow-run-as-root";
    return launcher + " -np " + std::to_string(ranks);
}

TEST(CheckpointRuns, a_run_killed_under_some_ranks_resumes_under_others_or_none) {
    Study s(study() + "-1\n");
    const Reference ref = reference(s);
    std::vector<Kill> kills;
    for (const double t : {0.7, 0.8, 0.9, 0.75, 0.85, 0.95}) kills.push_back({Kill::AfterSeconds, t});
    const std::vector<How> hows = {{mpirun(2), "bw-mpi"}, {mpirun(3), "bw-mpi"}, {mpirun(1), "bw-mpi"},
                                   {"", "bw-killable"},   {mpirun(2), "bw-mpi"}, {"taskset -c 0", "bw-plain"}};
    int killed = 0;
    const Start last =
        s.until_done(kills, [&](int k) { return hows[static_cast<std::size_t>(k) % hows.size()]; }, killed);
    expect_ends_as(last, s, ref, "across rank counts");
    EXPECT_GE(killed, 2);

    // SIGTERM to every rank, as a batch system sends it: rank 0 writes the
    // checkpoint for the whole job. A data set of some seconds keeps the
    // job running however fast the machine.
    Study longer(long_hydro() + study() + "-1\n");
    const Reference longer_ref = reference(longer);
    const Start stopped = longer.start(mpirun(2), "bw-mpi", {Kill::Terminate, 0.5});
    EXPECT_EQ(stopped.status, 143);
    EXPECT_EQ(stopped.err, "beadwalks-mpi: stopped by SIGTERM; run the same command again to resume\n");
    EXPECT_TRUE(longer.has_checkpoint());
    const Start resumed = longer.start(mpirun(3), "bw-mpi");
    EXPECT_NE(resumed.console.find("Resuming"), std::string::npos);
    expect_ends_as(resumed, longer, longer_ref, "after SIGTERM under mpirun");
}
#endif

}  // namespace
}  // namespace bw
