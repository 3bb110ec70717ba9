#include "driver/stop_signals.hpp"

#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace bw {
namespace {

sigset_t stop_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

const char* signal_name(int signal) {
    switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

}  // namespace

std::string StopSignals::stop_message(int signal) {
    return std::string("stopped by ") + signal_name(signal) + "; run the same command again to resume";
}

StopSignals::StopSignals(std::string program) : program_(std::move(program)) {
    const sigset_t set = stop_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    watcher_ = std::thread([this] { watch(); });
}

// The watcher is woken by a signal of its own set, sent to itself.
StopSignals::~StopSignals() {
    closing_ = true;
    pthread_kill(watcher_.native_handle(), SIGHUP);
    watcher_.join();
}

void StopSignals::end_now(int signal) const {
    const std::string line = program_ + ": " + stop_message(signal) + "\n";
    std::fflush(stdout);
    [[maybe_unused]] const ssize_t w = ::write(STDERR_FILENO, line.data(), line.size());
    _exit(128 + signal);
}

void StopSignals::watch() {
    const sigset_t set = stop_set();
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) continue;
        if (closing_) return;
        if (follow_only_) continue;
        if (signal == SIGINT && command_) continue;
        if (!handled_ || signal_.load() != 0) end_now(signal);
        signal_ = signal;
    }
}

void run_shell_command(const std::string& command, StopSignals& signals) {
    std::fflush(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, stops = stop_set();
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &stops);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    signals.command_running(true);
    if (posix_spawn(&pid, "/bin/sh", nullptr, &attr, const_cast<char* const*>(argv), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    signals.command_running(false);
    posix_spawnattr_destroy(&attr);
}

}  // namespace bw
