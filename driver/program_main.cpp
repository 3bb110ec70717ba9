#include "driver/program_main.hpp"

#include <algorithm>
#include <iostream>

#include "driver/data_set_runner.hpp"
#include "driver/program.hpp"
#include "driver/stop_signals.hpp"

namespace bw {

int beadwalks_main(StopPoints* points, std::chrono::milliseconds interval) {
    // Before any thread starts: the signals are blocked in all of them.
    StopSignals signals("beadwalks");
    const auto runner = makeDataSetRunner();
    // One CPU too runs its data sets as jobs of the executor, so that they
    // can be captured for a checkpoint.
    ThreadExecutor executor(*runner, std::max(runner->concurrency(), 1u));
    const CommandShell shell = [&](const std::string& command) {
        std::cout.flush();
        run_shell_command(command, signals);
    };
    ProgramOptions options;
    options.checkpoints = {true, &signals.signal(), points, interval};
    options.confirmed = [&] { signals.handled_by_run(); };
    return run_program({std::cin, std::cout, std::cerr}, executor, shell, options);
}

}  // namespace bw
