#include "driver/stop_signals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace bw {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe of the one StopSignals of the process: a signal
// handler can reach nothing but a global.
std::atomic<int> signal_pipe{-1};

extern "C" void on_stop_signal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    const int fd = signal_pipe.load();
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t w = ::write(fd, &number, 1);
    }
    errno = saved;
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
    if (::pipe2(pipe_, O_CLOEXEC) != 0) return;  // no pipe: the signals keep their default actions
    signal_pipe = pipe_[1];
    watcher_ = std::thread([this] { watch(); });
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a read of the console goes on after the handler
    for (const int s : kStopSignals) sigaction(s, &action, nullptr);
}

// Back to the default actions; closing the pipe ends the watcher.
StopSignals::~StopSignals() {
    if (pipe_[1] < 0) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int s : kStopSignals) sigaction(s, &action, nullptr);
    signal_pipe = -1;
    ::close(pipe_[1]);
    watcher_.join();
    ::close(pipe_[0]);
}

void StopSignals::end_now(int signal) const {
    const std::string line = program_ + ": " + stop_message(signal) + "\n";
    std::fflush(stdout);
    [[maybe_unused]] const ssize_t w = ::write(STDERR_FILENO, line.data(), line.size());
    _exit(128 + signal);
}

void StopSignals::watch() {
    for (;;) {
        unsigned char number = 0;
        const ssize_t r = ::read(pipe_[0], &number, 1);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        const int signal = number;
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
    sigset_t none, stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    for (const int s : kStopSignals) sigaddset(&stops, s);
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
