#include "driver/checkpoint/checkpoint_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace bw {
namespace {

namespace fs = std::filesystem;

std::string temporary_name(const std::string& path) { return path + ".tmp"; }

[[noreturn]] void fail(const std::string& what, int err) {
    throw CheckpointFileError(what + ": " + std::strerror(err));
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

void write_all(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) fail("cannot be written", w < 0 ? errno : ENOSPC);
        p += w, n -= static_cast<std::size_t>(w);
    }
}

// The folder entry of a rename reaches the disk only when the folder is
// flushed too.
void sync_folder(const std::string& path) {
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) fail("its folder cannot be opened", errno);
    if (::fsync(dir.get()) != 0 && errno != EINVAL) fail("its folder cannot be flushed", errno);
}

}  // namespace

void write_checkpoint_file(const std::string& path, std::span<const char> bytes, StopPoints* points) {
    const std::string tmp = temporary_name(path);
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) fail("cannot be created", errno);
    try {
        const std::size_t half = bytes.size() / 2;
        write_all(fd.get(), bytes.data(), half);
        if (points != nullptr) points->reached("checkpoint-half-written");
        write_all(fd.get(), bytes.data() + half, bytes.size() - half);
        if (::fsync(fd.get()) != 0) fail("cannot be flushed to the disk", errno);
        if (::close(fd.release()) != 0) fail("cannot be closed", errno);
        if (points != nullptr) points->reached("checkpoint-written");
        if (::rename(tmp.c_str(), path.c_str()) != 0) fail("cannot replace the old one", errno);
    } catch (...) {
        ::unlink(tmp.c_str());
        throw;
    }
    if (points != nullptr) points->reached("checkpoint-renamed");
    sync_folder(path);
}

std::optional<std::vector<char>> read_checkpoint_file(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return std::nullopt;
        fail("cannot be opened", errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) fail("cannot be read", errno);
    if (!S_ISREG(st.st_mode)) throw CheckpointFileError("is not a regular file");
    std::vector<char> bytes;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t r = ::read(fd.get(), buffer, sizeof buffer);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) fail("cannot be read", errno);
        if (r == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + r);
    }
    return bytes;
}

void remove_checkpoint_file(const std::string& path) {
    ::unlink(path.c_str());
    ::unlink(temporary_name(path).c_str());
}

}  // namespace bw
