#pragma once
// The whole run: banner, dialogue, the two files, the data-set loop with its
// pause, and the exit status. Streams, runner and command interpreter are
// passed in so that a run can be driven from a test.
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "driver/data_set_executor.hpp"
#include "driver/data_set_runner.hpp"

namespace bw {

// Exit statuses.
inline constexpr int kExitNormal = 0;     // negative bead count reached
inline constexpr int kExitErrorStop = 1;  // invalid input refused, or the simulation failed
inline constexpr int kExitIoFailure = 2;  // a file, the console or a data item could not be read or written

// Hands a line typed at the pause to the operating system's command interpreter.
using CommandShell = std::function<void(const std::string& command)>;

struct Console {
    std::istream& in;    // unit 5: dialogue answers and the pause
    std::ostream& out;   // records shown to the user
    std::ostream& err;   // the diagnostic of a fatal input/output failure
};

// A runner whose concurrency() is above 1 gets, after the pause, several
// data sets in flight on a ThreadExecutor; the records are the same.
int run_program(Console console, DataSetRunner& runner, const CommandShell& shell);
// The data sets after the pause on the executor, several in flight (see
// driver/in_flight.hpp); everything else as above.
int run_program(Console console, DataSetExecutor& executor, const CommandShell& shell);

}  // namespace bw
