#pragma once
// The whole run of beadwalks: banner, dialogue, then the run of the two
// files with the pause before the first simulation (driver/run_files.hpp),
// and the exit status. Streams, runner and command interpreter are passed in
// so that a run can be driven from a test.
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "driver/data_set_executor.hpp"
#include "driver/data_set_runner.hpp"
#include "driver/exit_status.hpp"
#include "driver/run_files.hpp"

namespace bw {

// Hands a line typed at the pause to the operating system's command interpreter.
using CommandShell = std::function<void(const std::string& command)>;

struct Console {
    std::istream& in;    // unit 5: dialogue answers and the pause
    std::ostream& out;   // records shown to the user
    std::ostream& err;   // the diagnostic of a fatal input/output failure
};

// What the executable adds to a run: checkpoints, what happens once the
// pause is passed (stop signals become the run's to handle), the program's
// name for the line a stop signal leaves on standard error.
struct ProgramOptions {
    CheckpointOptions checkpoints;
    std::function<void()> confirmed;
    std::string program = "beadwalks";
};

// A runner whose concurrency() is above 1 gets, after the pause, several
// data sets in flight on a ThreadExecutor; with 1 the data sets run one after
// another on this thread. The records are the same.
int run_program(Console console, DataSetRunner& runner, const CommandShell& shell);
// The data sets after the pause on the executor, several in flight (see
// driver/in_flight.hpp); everything else as above.
int run_program(Console console, DataSetExecutor& executor, const CommandShell& shell,
                const ProgramOptions& options = {});

}  // namespace bw
