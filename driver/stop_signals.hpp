#pragma once
// SIGTERM, SIGINT and SIGHUP: a batch system's time limit, Ctrl-C, a closed
// terminal. Once the data sets run, the first of them asks the run to write
// a checkpoint and stop (the run polls signal()); before that (the dialogue,
// the pause) there is nothing to keep and the process ends at once. Either
// way standard error gets "<program>: stopped by SIGTERM; run the same command
// again to resume" and the exit status is 128 + the signal's number. A
// second signal while the run stops ends the process at once.
//
// The handler only writes the signal's number into a pipe; a thread of its
// own reads it and acts, so that nothing but that write runs inside a
// handler, whichever thread the signal interrupts (libraries start threads
// of their own before main).
#include <atomic>
#include <string>
#include <thread>

namespace bw {

class StopSignals {
public:
    // program: the prefix of the line on standard error.
    explicit StopSignals(std::string program);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The number of the first signal once the run handles them, 0 before.
    const std::atomic<int>& signal() const { return signal_; }
    // From now on the first signal is the run's to handle.
    void handled_by_run() { handled_ = true; }
    // While a command typed at the pause runs, SIGINT is the command's (as
    // with system(3)): Ctrl-C ends the command, not the run.
    void command_running(bool running) { command_ = running; }
    // From now on no signal is acted on here: a rank other than 0 of an MPI
    // job, which rank 0 ends.
    void follow_only() { follow_only_ = true; }

    // "stopped by SIGTERM; run the same command again to resume", without the prefix.
    static std::string stop_message(int signal);
    const std::string& program() const { return program_; }

private:
    void watch();
    [[noreturn]] void end_now(int signal) const;

    std::string program_;
    std::atomic<bool> follow_only_{false};
    std::atomic<int> signal_{0};
    std::atomic<bool> handled_{false};
    std::atomic<bool> command_{false};
    int pipe_[2] = {-1, -1};
    std::thread watcher_;
};

// Runs a command typed at the pause with /bin/sh -c, the signals unblocked
// and at their default actions in the command, and waits for it; its exit
// status is of no interest to the run.
void run_shell_command(const std::string& command, StopSignals& signals);

}  // namespace bw
