#pragma once
// The messages between rank 0 and the other ranks of beadwalks-mpi, as
// bytes: a data set to run, its console records, its end. Integers and
// floats travel as their bit patterns, so a result arrives as the very
// floats the computing rank formed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/data_set_runner.hpp"
#include "montecarlo/run_data.hpp"

namespace bw::mpi {

enum Tag : int {
    kRun = 1,      // rank 0 -> rank: job id, RunData
    kStop = 2,     // rank 0 -> rank: job id; nothing of it is wanted any more
    kEnd = 3,      // rank 0 -> rank: the run is over
    kRecords = 4,  // rank -> rank 0: job id, console records in order
    kDone = 5,     // rank -> rank 0: job id, ISEED, NREJ, PSTAT
    kFail = 6,     // rank -> rank 0: job id, kind, message
    kBye = 7,      // rank -> rank 0: the last message of a rank
};

// What a failed job threw: a std::runtime_error (a failure of the
// simulation, reported as the serial run does) or anything else.
enum class FailKind : std::int32_t { Simulation = 0, Other = 1 };

class Writer {
public:
    void i32(std::int32_t v);
    void i64(std::int64_t v);
    void f32(float v);
    void text(std::string_view s);
    std::vector<char> bytes;
};

// Reads what a Writer wrote; throws std::runtime_error past the end.
class Reader {
public:
    explicit Reader(const std::vector<char>& bytes) : bytes_(bytes) {}
    std::int32_t i32();
    std::int64_t i64();
    float f32();
    std::string text();
    bool at_end() const { return pos_ == bytes_.size(); }

private:
    void take(void* to, std::size_t n);
    const std::vector<char>& bytes_;
    std::size_t pos_ = 0;
};

void put_run_data(Writer& w, const RunData& rd);
RunData get_run_data(Reader& r);

void put_result(Writer& w, const DataSetResult& result);
DataSetResult get_result(Reader& r);

}  // namespace bw::mpi
