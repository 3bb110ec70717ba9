#pragma once
// What a checkpoint holds: everything a run needs to go on where it was, as
// exact bit patterns, never as printed decimals, and what it belongs to.
//
// File layout: the magic line, the format version, then the body (below, in
// the order of the struct members), and last the SHA-256 of everything
// before it. A file that is cut, has a flipped bit or was written by another
// program fails the checksum and is never read further.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "averaging/data_set_state.hpp"
#include "driver/checkpoint/sha256.hpp"
#include "driver/data_set_runner.hpp"
#include "driver/output.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

inline constexpr std::uint32_t kCheckpointVersion = 2;

// What a checkpoint belongs to. A run goes on from it only when every field
// but the output's length and digest equals its own, and the output file
// still begins with those bytes.
struct CheckpointOwner {
    std::string build;   // the program's build identity: version and sources
    std::string lapack;  // the LAPACK and BLAS in use (D* and [eta]* depend on them)
    std::int32_t ICODE = 0;
    std::string input_name;
    std::uint64_t input_size = 0;
    Digest input_digest{};
    std::string output_name;
    std::uint64_t output_length = 0;  // bytes of the output file written so far
    Digest output_digest{};           // and their SHA-256
};

// One data set read and not yet written, with its turn still to come.
struct SavedDataSet {
    enum class Kind : std::uint8_t {
        Waiting = 0,   // not started, or given up: it runs from its start
        InFlight = 1,  // frozen between two sweeps: `state`
        Finished = 2,  // run, waiting for its turn: `result`, `final_ISEED`
    };
    RunData rd;                        // its items, NPROG and NPROP
    bool echo_written = false;         // its separator and echo stand in the output file
    std::vector<RoutedRecord> echo;    // or are kept here
    bool seed_pending = false;         // its seed is the final random state of the one before it
    std::vector<std::string> console;  // console records of its run not yet shown
    Kind kind = Kind::Waiting;
    DataSetState state;
    DataSetResult result;
    std::int32_t final_ISEED = 0;
};

struct Checkpoint {
    CheckpointOwner owner;
    // The reading of the input data file: where the next data set begins, and
    // the items as the reader holds them there (an item a data set does not
    // give keeps the value of the one before it).
    std::uint64_t input_offset = 0;
    RunData reader;
    std::uint64_t written = 0;  // data sets written in full
    std::vector<SavedDataSet> data_sets;
};

// Why a checkpoint is not taken: one line for the console.
struct CheckpointRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::vector<char> encode_checkpoint(const Checkpoint& c);
// Throws CheckpointRefused when the bytes are not a whole checkpoint of this
// format (checksum, magic, version, a layout that does not parse).
Checkpoint decode_checkpoint(std::span<const char> bytes);

}  // namespace bw
