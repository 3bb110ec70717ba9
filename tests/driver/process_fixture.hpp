#pragma once
// Runs of the real executables in a scratch folder: beadwalks itself and
// beadwalks_scripted, the same main with a scripted simulation.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "tests/driver/run_fixture.hpp"

namespace bw::test {

inline const std::string kBeadwalks = BEADWALKS_EXE;
inline const std::string kScripted = BEADWALKS_SCRIPTED_EXE;

struct Process {
    int status = -1;
    std::vector<std::string> out;
    std::string err;
};

class Executable : public ::testing::Test {
protected:
    // Runs `exe` in the scratch folder with `answers` on its standard input.
    Process run(const std::string& exe, const std::string& answers) {
        write_file(dir_ / "answers.txt", answers);
        return run_from(exe, "answers.txt");
    }
    // Runs `exe` with standard input taken from the file `console`.
    Process run_from(const std::string& exe, const std::string& console) {
        const std::string cmd = "cd '" + dir_.path().string() + "' && '" + exe + "' < '" + console +
                                "' > stdout.txt 2> stderr.txt";
        const int raw = std::system(cmd.c_str());
        Process p;
        p.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        p.out = lines_of(read_file(dir_ / "stdout.txt"));
        p.err = read_file(dir_ / "stderr.txt");
        return p;
    }
    std::vector<std::string> file(const std::string& name) const { return lines_of(read_file(dir_ / name)); }
    void data(const std::string& name, const std::string& text) { write_file(dir_ / name, text); }

    static std::vector<std::string> prefix(const std::vector<std::string>& v, std::size_t n) {
        return {v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(n, v.size()))};
    }

    TempDir dir_;
};

// The output file of a run with "run.dat" and "run.out" up to the first
// separator record.
inline std::vector<std::string> start_of_file(const char* code) {
    const std::string pad30(30, ' ');
    std::vector<std::string> r = file_start(code, "run.out" + pad30.substr(7), "run.dat" + pad30.substr(7));
    r.push_back(kRule);
    return r;
}

}  // namespace bw::test
