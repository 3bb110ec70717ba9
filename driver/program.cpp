#include "driver/program.hpp"

#include <filesystem>
#include <fstream>

#include "driver/banner.hpp"
#include "driver/data_set.hpp"
#include "driver/in_flight.hpp"
#include "driver/input_file.hpp"
#include "driver/io_error.hpp"
#include "driver/output.hpp"
#include "driver/record_reader.hpp"
#include "driver/records/list_directed.hpp"
#include "driver/report.hpp"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPauseText = " ...Pause to confirm data. Press Enter key ";

// Opening the data file again as the output file would erase the data before
// it is read; that is refused like any other file that cannot be opened.
void open_output(std::ofstream& file, const std::string& name, const std::string& input_name) {
    check_name(name, kOutputUnit);
    std::error_code ec;
    if (fs::equivalent(name, input_name, ec)) throw IoError("file already open on unit 4", kOutputUnit, name);
    file.open(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file) throw IoError("cannot open file", kOutputUnit, name);
}

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

// Samples the data set and writes its report. A failure of the simulation is
// written as one record to both and stops the run.
bool simulate_and_report(RunData& rd, Output& out, DataSetRunner& runner) {
    try {
        const DataSetResult res = runner.run(rd, out.console_sink());
        out.write(report_records(res.NREJ, rd.NCONF, rd.N, rd.IHYD, rd.NPR, rd.RMAX, res.PSTAT));
        return true;
    } catch (const IoError&) {
        throw;
    } catch (const std::runtime_error& e) {
        out.both(e.what());
        return false;
    }
}

// The data-set loop that runs the data sets one after another on this thread.
int data_set_loop(RecordReader& data, RecordReader& con, RunData& rd, Output& out, DataSetRunner& runner,
                  const CommandShell& shell) {
    bool paused = false;
    for (;;) {
        out.both(rule_record());
        switch (read_data_set(data, rd, out)) {
        case DataSetStatus::EndOfRun: return kExitNormal;
        case DataSetStatus::ErrorStop: return kExitErrorStop;
        case DataSetStatus::Ready: break;
        }
        if (!paused) {
            pause(con, out, shell);
            paused = true;
        }
        rd.NPROG = progress_interval(rd.NCONFAVE);
        rd.NPROP = property_count(rd.IHYD, rd.NPR);
        if (!simulate_and_report(rd, out, runner)) return kExitErrorStop;
    }
}

// The loop with several data sets in flight after the pause: the first data
// set is read, echoed and confirmed as in the serial loop.
int in_flight_loop(RecordReader& data, RecordReader& con, RunData& rd, Output& out, DataSetExecutor& executor,
                   const CommandShell& shell, bool read_ahead) {
    out.both(rule_record());
    switch (read_data_set(data, rd, out)) {
    case DataSetStatus::EndOfRun: return kExitNormal;
    case DataSetStatus::ErrorStop: return kExitErrorStop;
    case DataSetStatus::Ready: break;
    }
    pause(con, out, shell);
    return run_in_flight(data, rd, out, executor, read_ahead);
}

// How the data sets are run: one after another with a runner, or several at
// once on an executor.
struct Loop {
    DataSetRunner* runner = nullptr;
    DataSetExecutor* executor = nullptr;
};

// The files live in the caller so that they outlive a failure thrown from here.
int run(Console console, std::ifstream& input, std::ofstream& output, Output& out, Loop loop,
        const CommandShell& shell) {
    out.write(Route::Console, banner_records());
    out.write(Route::Console, menu_records());
    RecordReader con(console.in, kConsoleUnit, "stdin");
    RunData rd;
    read_list(con, rd.ICODE);
    out.write(Route::Console, rec::list_directed({"Give name of input file:"}));
    std::string INFILE;
    read_list_name(con, INFILE);
    out.write(Route::Console, rec::list_directed({"Give name of output file:"}));
    out.write(Route::Console,
              rec::list_directed({"(name of an already existing file will cause that file to be overwritten!)"}));
    std::string OUTFILE;
    read_list_name(con, OUTFILE);

    open_input(input, INFILE);
    open_output(output, OUTFILE, INFILE);
    out.attach_file(output, OUTFILE);
    out.write(Route::File, banner_records());

    const std::string code = code_record(rd.ICODE);
    if (code.empty()) {
        out.both(invalid_code_record(rd.ICODE));
        out.flush();
        return kExitErrorStop;
    }
    out.both(code);
    out.write(Route::Both, file_name_records(INFILE, OUTFILE));

    RecordReader data(input, kInputUnit, INFILE);
    // Only a regular file is read ahead of its turn: a pipe or a terminal
    // may be fed by whoever reads the output, as each data set ends.
    std::error_code ec;
    const bool read_ahead = fs::is_regular_file(INFILE, ec);
    const int status = loop.executor != nullptr
                           ? in_flight_loop(data, con, rd, out, *loop.executor, shell, read_ahead)
                           : data_set_loop(data, con, rd, out, *loop.runner, shell);
    out.flush();
    return status;
}

int run_with(Console console, Loop loop, const CommandShell& shell) {
    std::ifstream input;
    std::ofstream output;
    Output out(console.out);
    try {
        return run(console, input, output, out, loop, shell);
    } catch (const IoError& e) {
        // Keep whatever was written before the failure.
        try {
            out.flush();
        } catch (const IoError&) {
        }
        console.err << e.what() << '\n';
        console.err.flush();
        return kExitIoFailure;
    }
}

}  // namespace

int run_program(Console console, DataSetRunner& runner, const CommandShell& shell) {
    if (runner.concurrency() <= 1) return run_with(console, {&runner, nullptr}, shell);
    ThreadExecutor executor(runner, runner.concurrency());
    return run_with(console, {nullptr, &executor}, shell);
}

int run_program(Console console, DataSetExecutor& executor, const CommandShell& shell) {
    return run_with(console, {nullptr, &executor}, shell);
}

}  // namespace bw
