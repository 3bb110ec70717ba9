#pragma once
// Everything a run does once it knows the model code and the two file names:
// the input data file and the output file opened, the banner, the code and
// the file-name records written, the first data set read and echoed, a
// confirmation (the pause of the dialogue; nothing for a batch run), then the
// data sets one after another or several in flight. beadwalks reaches it
// through its dialogue; a companion without a dialogue calls it directly.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include "driver/checkpoint/checkpointer.hpp"
#include "driver/data_set_executor.hpp"
#include "driver/data_set_runner.hpp"
#include "driver/output.hpp"

namespace bw {

struct RunFiles {
    std::int32_t ICODE = 0;  // the model code, checked here (an invalid one stops after the banner)
    std::string INFILE;      // the input data file, unit 4
    std::string OUTFILE;     // the output file, unit 8: created, or overwritten
    std::int32_t NPIVOT = 0; // pivot attempts per cycle of every data set; 0: local moves only
};

// The two files and the record router of one run, owned by the caller so
// that they outlive a failure thrown from inside: what was written is kept.
struct RunStreams {
    explicit RunStreams(std::ostream& console, std::string program_name = "beadwalks")
        : out(console), program(std::move(program_name)) {}
    std::ifstream input;
    std::ofstream output;
    Output out;
    std::string program;  // the prefix of the line a stop signal leaves on standard error
};

// Called once the first data set has been read and echoed, before anything
// is simulated.
using Confirmation = std::function<void()>;

// The data sets after the first one's confirmation: on `executor`, several in
// flight; without one, one after another on this thread with `runner`.
struct DataSetLoop {
    DataSetExecutor* executor = nullptr;
    DataSetRunner* runner = nullptr;
};

// Checkpoints of a run on an executor: `<OUTFILE>.ckpt`, beside the output
// file. When one exists that belongs to this model code, these input bytes,
// this build and these libraries, and the output file still begins with the
// bytes it records, the run says so in one console record, cuts the output
// file there and goes on from it (the confirmation comes as in the first
// start); one that does not fit is set aside with a console record saying
// why, and the run starts afresh. The checkpoint is removed when the run ends
// in a way a new start would repeat (the end of the file, a refused item, an
// unreadable item, a failed simulation) and kept otherwise (the output file
// or the console cannot be written, a stop signal, a lost rank).
struct CheckpointOptions {
    bool enabled = false;
    const std::atomic<int>* signal = nullptr;  // a stop signal's number (see driver/stop_signals.hpp)
    StopPoints* points = nullptr;              // test-only stops
    std::chrono::milliseconds interval = Checkpointer::kInterval;
    CheckpointStats* stats = nullptr;          // filled in when the run ends (benchmarks)
};

// Returns the exit status; throws IoError for a fatal input/output failure
// and StoppedBySignal when a signal stopped the run.
int run_files(RunStreams& streams, const RunFiles& files, DataSetLoop loop, const Confirmation& confirm,
              const CheckpointOptions& checkpoints = {});

// Runs `body`; a fatal input/output failure thrown from it flushes what was
// written, puts its one-line diagnostic on err and gives kExitIoFailure; a
// stop signal gives "<program>: stopped by SIGTERM; run the same command
// again to resume" and 128 + the signal's number.
int with_fatal_failures(RunStreams& streams, std::ostream& err, const std::function<int()>& body);

}  // namespace bw
