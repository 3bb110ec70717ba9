#pragma once
// The messages between rank 0 and the other ranks of beadwalks-mpi, as
// bytes: a data set to run, its console records, its end. Integers and
// floats travel as their bit patterns, so a result arrives as the very
// floats the computing rank formed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/bytes.hpp"
#include "driver/data_set_runner.hpp"
#include "driver/state_codec.hpp"
#include "montecarlo/run_data.hpp"

namespace bw::mpi {

enum Tag : int {
    kRun = 1,      // rank 0 -> rank: job id, RunData, whether a state follows, the state to continue from
    kStop = 2,     // rank 0 -> rank: job id; nothing of it is wanted any more
    kEnd = 3,      // rank 0 -> rank: the run is over
    kRecords = 4,  // rank -> rank 0: job id, console records in order
    kDone = 5,     // rank -> rank 0: job id, ISEED, NREJ, PSTAT
    kFail = 6,     // rank -> rank 0: job id, kind, message
    kBye = 7,      // rank -> rank 0: the last message of a rank
    kCapture = 8,  // rank 0 -> rank: job id; its state is wanted for a checkpoint
    kState = 9,    // rank -> rank 0: job id, its state at a sweep boundary (after its records before it)
};

// What a failed job threw: a std::runtime_error (a failure of the
// simulation, reported as the serial run does) or anything else.
enum class FailKind : std::int32_t { Simulation = 0, Other = 1 };

// Messages are laid out with the shared byte codecs; a message that ends too
// soon throws ByteReader::Truncated.
class Writer : public ByteWriter {};

class Reader : public ByteReader {
public:
    explicit Reader(const std::vector<char>& bytes) : ByteReader(bytes, "beadwalks-mpi: a message") {}
};

using bw::get_result;
using bw::get_run_data;
using bw::get_state;
using bw::put_result;
using bw::put_run_data;
using bw::put_state;

}  // namespace bw::mpi
