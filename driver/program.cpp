#include "driver/program.hpp"

#include "driver/banner.hpp"
#include "driver/io_error.hpp"
#include "driver/record_reader.hpp"
#include "driver/records/list_directed.hpp"
#include "driver/run_files.hpp"

namespace bw {
namespace {

constexpr const char* kPauseText = " ...Pause to confirm data. Press Enter key ";

// Waits for an empty answer; any other answer is run as a command and the
// question comes again.
void pause(RecordReader& con, Output& out, const CommandShell& shell) {
    for (;;) {
        out.console(kPauseText);
        out.flush();
        const std::string answer = con.next();
        if (answer.find_first_not_of(" \t") == std::string::npos) return;
        shell(answer);
    }
}

// The model code and the two names, asked on the console.
RunFiles dialogue(RecordReader& con, Output& out) {
    out.write(Route::Console, banner_records());
    out.write(Route::Console, menu_records());
    RunFiles files;
    read_list(con, files.ICODE);
    out.write(Route::Console, rec::list_directed({"Give name of input file:"}));
    read_list_name(con, files.INFILE);
    out.write(Route::Console, rec::list_directed({"Give name of output file:"}));
    out.write(Route::Console,
              rec::list_directed({"(name of an already existing file will cause that file to be overwritten!)"}));
    read_list_name(con, files.OUTFILE);
    return files;
}

int run_with(Console console, DataSetLoop loop, const CommandShell& shell, const ProgramOptions& options) {
    RunStreams streams(console.out, options.program);
    return with_fatal_failures(streams, console.err, [&] {
        RecordReader con(console.in, kConsoleUnit, "stdin");
        const RunFiles files = dialogue(con, streams.out);
        const auto confirm = [&] {
            pause(con, streams.out, shell);
            if (options.confirmed) options.confirmed();
        };
        return run_files(streams, files, loop, confirm, options.checkpoints);
    });
}

}  // namespace

int run_program(Console console, DataSetRunner& runner, const CommandShell& shell) {
    if (runner.concurrency() <= 1) return run_with(console, {nullptr, &runner}, shell, {});
    ThreadExecutor executor(runner, runner.concurrency());
    return run_with(console, {&executor, nullptr}, shell, {});
}

int run_program(Console console, DataSetExecutor& executor, const CommandShell& shell,
                const ProgramOptions& options) {
    return run_with(console, {&executor, nullptr}, shell, options);
}

}  // namespace bw
