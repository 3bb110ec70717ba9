#pragma once
// The console records of a data set waiting for its turn: the first
// `memory_limit` bytes in memory, the rest in an unnamed temporary file
// (tmpfile: $TMPDIR or /tmp, gone when closed), read back in order when
// they are taken. A data set whose conformations print hydrodynamic messages
// by the million therefore holds a bounded amount of memory while it waits.
// Not thread-safe: the caller guards it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class RecordSpool {
public:
    explicit RecordSpool(std::size_t memory_limit) : limit_(memory_limit) {}
    ~RecordSpool();
    RecordSpool(const RecordSpool&) = delete;
    RecordSpool& operator=(const RecordSpool&) = delete;

    void add(std::string_view line);
    // Appends every record added so far, in order, to `out`, and forgets them.
    void take(std::vector<std::string>& out);
    // Appends the first `count` records not yet taken (fewer when there are
    // fewer) to `out`, and keeps them.
    void copy(std::vector<std::string>& out, std::uint64_t count) const;

    std::size_t memory_bytes() const { return bytes_; }
    bool spilled() const { return spilling_; }

private:
    bool write(std::string_view line);
    // Appends up to `count` records of the file to `out`; returns how many.
    std::uint64_t read_spilled(std::vector<std::string>& out, std::uint64_t count) const;

    const std::size_t limit_;
    std::vector<std::string> memory_;  // before the file's records
    std::size_t bytes_ = 0;
    bool spilling_ = false;
    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;
    std::vector<std::string> after_;  // after them, when the file could not be written
};

}  // namespace bw
