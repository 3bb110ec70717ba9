#pragma once
// The data-set loop with several data sets in flight. After the pause the
// driver reads the following data sets ahead of their turn (each with its
// separator, echo and validation kept in memory), starts the costliest ready
// ones on the executor, and writes, strictly in the order of the data file,
// the records of the earliest data set not yet written: its echo, its
// console records as they come (live progress), then its report. Records of
// later data sets wait in memory for their turn. What is written, the
// diagnostic of a fatal failure and the exit status are those of the serial
// loop, whatever the number of data sets in flight and the order they end in.
//
// Bounds: at most max(16, 4 x capacity) data sets are read ahead and not yet
// written, and no further data set is read while those hold more than
// kReadAheadBytes by the estimate slot_bytes() (the earliest is always
// read). A data set waiting for its turn holds its echo, its console records
// (about 30 progress records, plus any hydrodynamic messages) and, once run,
// its results as numbers (8 bytes a property); its report records are formed
// only when it is written.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>

#include "driver/checkpoint/checkpointer.hpp"
#include "driver/data_set_executor.hpp"
#include "driver/output.hpp"
#include "driver/record_reader.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

inline constexpr std::size_t kReadAheadBytes = std::size_t{256} << 20;
// Console records a data set keeps in memory; more wait in a temporary file.
inline constexpr std::size_t kHeldRecordBytes = std::size_t{1} << 20;

// Data sets read ahead and not yet written, at most.
std::size_t read_ahead_window(unsigned capacity);

// Memory estimate of a data set in flight or waiting: its records and the
// property tables of its statistics and results.
std::size_t slot_bytes(const RunData& rd);

// Relative cost of a data set, for starting the longest first: the sweeps
// (NCONF cycles of N moves, each against every other bead) plus, with
// hydrodynamics, one factorisation of order 3N per sampled conformation.
double data_set_cost(const RunData& rd);

// Checkpoints of the data sets in flight (see driver/checkpoint/): when one is
// due, every running data set is asked for its state at its next sweep
// boundary; once all have given it (or kCaptureWait has passed: a data set
// that has not keeps the state it gave before, or runs again from its
// start), the checkpoint is written with every data set read and not yet
// written. A stop signal asks for one at once, then ends the run.
struct InFlightCheckpoints {
    Checkpointer* saver = nullptr;        // null: no checkpoints
    const Checkpoint* resume = nullptr;   // go on from it instead of from the first data set
    const std::atomic<int>* signal = nullptr;  // the number of a signal that stops the run, 0 while none
};

inline constexpr auto kCaptureWait = std::chrono::seconds(5);

// The run was stopped by a signal once its checkpoint was written (or could
// not be).
struct StoppedBySignal : std::exception {
    explicit StoppedBySignal(int number) : signal(number) {}
    const char* what() const noexcept override { return "stopped by a signal"; }
    int signal;
};

// Called once the first data set has been read and echoed (rd holds it) and
// the pause has passed, or, with checkpoints.resume, once a checkpoint has
// been taken and the output file cut to it (rd unused; the reading goes on
// where the checkpoint says). read_ahead: the data file may be read ahead of
// its turn (a regular file; a pipe or a terminal is read only when the
// serial loop would read it). Returns the exit status; throws IoError as the
// serial loop does, and StoppedBySignal, after every job of the executor has
// been stopped.
int run_in_flight(RecordReader& data, RunData& rd, Output& out, DataSetExecutor& executor, bool read_ahead,
                  const InFlightCheckpoints& checkpoints = {});

}  // namespace bw
