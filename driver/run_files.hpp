#pragma once
// Everything a run does once it knows the model code and the two file names:
// the input data file and the output file opened, the banner, the code and
// the file-name records written, the first data set read and echoed, a
// confirmation (the pause of the dialogue; nothing for a batch run), then the
// data sets one after another or several in flight. beadwalks reaches it
// through its dialogue; a companion without a dialogue calls it directly.
#include <cstdint>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include "driver/data_set_executor.hpp"
#include "driver/data_set_runner.hpp"
#include "driver/output.hpp"

namespace bw {

struct RunFiles {
    std::int32_t ICODE = 0;  // the model code, checked here (an invalid one stops after the banner)
    std::string INFILE;      // the input data file, unit 4
    std::string OUTFILE;     // the output file, unit 8: created, or overwritten
};

// The two files and the record router of one run, owned by the caller so
// that they outlive a failure thrown from inside: what was written is kept.
struct RunStreams {
    explicit RunStreams(std::ostream& console) : out(console) {}
    std::ifstream input;
    std::ofstream output;
    Output out;
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

// Returns the exit status; throws IoError for a fatal input/output failure.
int run_files(RunStreams& streams, const RunFiles& files, DataSetLoop loop, const Confirmation& confirm);

// Runs `body`; a fatal input/output failure thrown from it flushes what was
// written, puts its one-line diagnostic on err and gives kExitIoFailure.
int with_fatal_failures(RunStreams& streams, std::ostream& err, const std::function<int()>& body);

}  // namespace bw
