// beadwalks-run: the run of beadwalks after its dialogue, for scripts. The
// model code and the two files come from the command line; there is no
// pause. Standard output gets the console records, standard error the
// diagnostics; checkpoints, stop signals, data sets in flight and exit
// statuses are those of beadwalks. With --moves local the output file is the
// one beadwalks writes, byte for byte; --moves pivot adds pivot attempts to
// every cycle (a different random stream, the same distribution).
#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "driver/data_set_executor.hpp"
#include "driver/data_set_runner.hpp"
#include "driver/exit_status.hpp"
#include "driver/input_file.hpp"
#include "driver/io_error.hpp"
#include "driver/run_files.hpp"
#include "driver/stop_signals.hpp"
#include "run/arguments.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    const bw::run::ParsedArguments parsed = bw::run::parse_arguments(words);
    if (!parsed.arguments) {
        std::cerr << "beadwalks-run: " << parsed.problem << '\n' << bw::run::kUsage << '\n';
        return bw::kExitIoFailure;
    }
    const bw::run::Arguments& args = *parsed.arguments;
    if (args.help) {
        std::cout << bw::run::kUsage << '\n';
        return bw::kExitNormal;
    }
    {
        std::ifstream probe;
        try {
            bw::open_input(probe, args.INFILE);
        } catch (const bw::IoError& e) {
            std::cerr << "beadwalks-run: " << e.what() << '\n' << bw::run::kUsage << '\n';
            return bw::kExitIoFailure;
        }
    }

    // Before any thread starts: the signals are blocked in all of them.
    bw::StopSignals signals("beadwalks-run");
    const auto runner = bw::makeDataSetRunner();
    bw::ThreadExecutor executor(*runner, std::max(runner->concurrency(), 1u));
    bw::RunStreams streams(std::cout, "beadwalks-run");
    const bw::RunFiles files{args.ICODE, args.INFILE, args.OUTFILE, args.NPIVOT};
    const bw::CheckpointOptions checkpoints{true, &signals.signal(), nullptr, bw::Checkpointer::kInterval, nullptr};
    // Nothing to confirm: from the first data set's echo on, a stop signal
    // is the run's to handle (a checkpoint, then the stop).
    const bw::Confirmation confirm = [&] { signals.handled_by_run(); };
    return bw::with_fatal_failures(streams, std::cerr, [&] {
        return bw::run_files(streams, files, {&executor, nullptr}, confirm, checkpoints);
    });
}
