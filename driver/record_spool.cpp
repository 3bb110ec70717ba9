#include "driver/record_spool.hpp"

#include <unistd.h>

#include <cstring>

namespace bw {

RecordSpool::~RecordSpool() {
    if (file_ != nullptr) std::fclose(file_);
}

namespace {

bool write_all(int fd, const char* p, std::size_t n, std::uint64_t at) {
    while (n > 0) {
        const ssize_t w = pwrite(fd, p, n, static_cast<off_t>(at));
        if (w <= 0) return false;
        p += w, n -= static_cast<std::size_t>(w), at += static_cast<std::uint64_t>(w);
    }
    return true;
}

bool read_all(int fd, char* p, std::size_t n, std::uint64_t at) {
    while (n > 0) {
        const ssize_t r = pread(fd, p, n, static_cast<off_t>(at));
        if (r <= 0) return false;
        p += r, n -= static_cast<std::size_t>(r), at += static_cast<std::uint64_t>(r);
    }
    return true;
}

}  // namespace

// One record in the file: its length (8 bytes) and its characters.
bool RecordSpool::write(std::string_view line) {
    if (file_ == nullptr && (file_ = std::tmpfile()) == nullptr) return false;
    const int fd = fileno(file_);
    const std::uint64_t n = line.size();
    if (!write_all(fd, reinterpret_cast<const char*>(&n), sizeof n, written_) ||
        !write_all(fd, line.data(), line.size(), written_ + sizeof n))
        return false;
    written_ += sizeof n + line.size();
    return true;
}

void RecordSpool::add(std::string_view line) {
    if (!spilling_ && bytes_ + line.size() <= limit_) {
        memory_.emplace_back(line);
        bytes_ += line.size();
        return;
    }
    spilling_ = true;
    // A file that cannot be written (a full disk) keeps the order in memory.
    if (!after_.empty() || !write(line)) after_.emplace_back(line);
}

std::uint64_t RecordSpool::read_spilled(std::vector<std::string>& out, std::uint64_t count) const {
    if (!spilling_ || file_ == nullptr) return 0;
    const int fd = fileno(file_);
    std::uint64_t got = 0;
    for (std::uint64_t at = 0; at < written_ && got < count; ++got) {
        std::uint64_t n = 0;
        if (!read_all(fd, reinterpret_cast<char*>(&n), sizeof n, at)) break;
        std::string line(static_cast<std::size_t>(n), '\0');
        if (!read_all(fd, line.data(), line.size(), at + sizeof n)) break;
        out.push_back(std::move(line));
        at += sizeof n + n;
    }
    return got;
}

void RecordSpool::copy(std::vector<std::string>& out, std::uint64_t count) const {
    for (const std::string& r : memory_) {
        if (count == 0) return;
        out.push_back(r);
        --count;
    }
    count -= read_spilled(out, count);
    for (const std::string& r : after_) {
        if (count == 0) return;
        out.push_back(r);
        --count;
    }
}

void RecordSpool::take(std::vector<std::string>& out) {
    for (std::string& r : memory_) out.push_back(std::move(r));
    memory_.clear();
    bytes_ = 0;
    read_spilled(out, UINT64_MAX);
    for (std::string& r : after_) out.push_back(std::move(r));
    after_.clear();
    // Everything is out: the file is written again from its start.
    written_ = 0;
    spilling_ = false;
}

}  // namespace bw
