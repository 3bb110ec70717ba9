#include "driver/run_files.hpp"

#include <filesystem>

#include "driver/banner.hpp"
#include "driver/data_set.hpp"
#include "driver/exit_status.hpp"
#include "driver/in_flight.hpp"
#include "driver/input_file.hpp"
#include "driver/io_error.hpp"
#include "driver/record_reader.hpp"
#include "driver/report.hpp"

namespace bw {
namespace {

namespace fs = std::filesystem;

// Opening the data file again as the output file would erase the data before
// it is read; that is refused like any other file that cannot be opened.
void open_output(std::ofstream& file, const std::string& name, const std::string& input_name) {
    check_name(name, kOutputUnit);
    std::error_code ec;
    if (fs::equivalent(name, input_name, ec)) throw IoError("file already open on unit 4", kOutputUnit, name);
    file.open(name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file) throw IoError("cannot open file", kOutputUnit, name);
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

void derive_run_control(RunData& rd) {
    rd.NPROG = progress_interval(rd.NCONFAVE);
    rd.NPROP = property_count(rd.IHYD, rd.NPR);
}

// The data sets one after another on this thread, the first (in rd) read
// and confirmed: the reference the loop with data sets in flight is held to.
int serial_loop(RecordReader& data, RunData& rd, Output& out, DataSetRunner& runner) {
    for (;;) {
        derive_run_control(rd);
        if (!simulate_and_report(rd, out, runner)) return kExitErrorStop;
        out.both(rule_record());
        switch (read_data_set(data, rd, out)) {
        case DataSetStatus::EndOfRun: return kExitNormal;
        case DataSetStatus::ErrorStop: return kExitErrorStop;
        case DataSetStatus::Ready: break;
        }
    }
}

}  // namespace

int run_files(RunStreams& streams, const RunFiles& files, DataSetLoop loop, const Confirmation& confirm) {
    Output& out = streams.out;
    open_input(streams.input, files.INFILE);
    open_output(streams.output, files.OUTFILE, files.INFILE);
    out.attach_file(streams.output, files.OUTFILE);
    out.write(Route::File, banner_records());

    const std::string code = code_record(files.ICODE);
    if (code.empty()) {
        out.both(invalid_code_record(files.ICODE));
        out.flush();
        return kExitErrorStop;
    }
    out.both(code);
    out.write(Route::Both, file_name_records(files.INFILE, files.OUTFILE));

    RecordReader data(streams.input, kInputUnit, files.INFILE);
    RunData rd;
    rd.ICODE = files.ICODE;
    out.both(rule_record());
    switch (read_data_set(data, rd, out)) {
    case DataSetStatus::EndOfRun: out.flush(); return kExitNormal;
    case DataSetStatus::ErrorStop: out.flush(); return kExitErrorStop;
    case DataSetStatus::Ready: break;
    }
    if (confirm) confirm();

    int status = kExitNormal;
    if (loop.executor != nullptr) {
        // Only a regular file is read ahead of its turn: a pipe or a terminal
        // may be fed by whoever reads the output, as each data set ends.
        std::error_code ec;
        const bool read_ahead = fs::is_regular_file(files.INFILE, ec);
        status = run_in_flight(data, rd, out, *loop.executor, read_ahead);
    } else {
        status = serial_loop(data, rd, out, *loop.runner);
    }
    out.flush();
    return status;
}

int with_fatal_failures(RunStreams& streams, std::ostream& err, const std::function<int()>& body) {
    try {
        return body();
    } catch (const IoError& e) {
        // Keep whatever was written before the failure.
        try {
            streams.out.flush();
        } catch (const IoError&) {
        }
        err << e.what() << '\n';
        err.flush();
        return kExitIoFailure;
    }
}

}  // namespace bw
