#include "driver/run_files.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "driver/banner.hpp"
#include "driver/build_identity.hpp"
#include "driver/stop_signals.hpp"
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
        out.write(report_records(res.NREJ, rd.NCONF, rd.N, rd.IHYD, rd.NPR, rd.RMAX, res.PSTAT, rd.NPIVOT, res.NPREJ));
        return true;
    } catch (const IoError&) {
        throw;
    } catch (const std::runtime_error& e) {
        out.both(e.what());
        return false;
    }
}

// The bytes of the input data file, which a checkpoint must belong to. Only a
// regular file has bytes that a later start can compare (a pipe is gone once
// read, a device may never end).
struct InputBytes {
    std::uint64_t size = 0;
    Digest digest{};
    std::string unavailable;  // why no checkpoint can be had, or empty
};

InputBytes input_bytes(const std::string& name) {
    InputBytes in;
    std::error_code ec;
    if (!fs::is_regular_file(name, ec)) {
        in.unavailable = "cannot be written (the input data file is not a regular file)";
        return in;
    }
    std::ifstream file(name, std::ios::binary);
    Sha256 hash;
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) hash.update(buffer, static_cast<std::size_t>(file.gcount()));
    if (file.bad() || !file.eof()) {
        in.unavailable = "cannot be written (the input data file cannot be read)";
        return in;
    }
    in.size = hash.length();
    in.digest = hash.digest();
    return in;
}

// The hash of the first `length` bytes of the output file, when it has them
// and they are `expected`.
std::optional<Sha256> output_prefix(const std::string& name, std::uint64_t length, const Digest& expected) {
    std::ifstream file(name, std::ios::binary);
    if (!file) return std::nullopt;
    Sha256 hash;
    char buffer[1 << 16];
    for (std::uint64_t left = length; left > 0;) {
        const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(left, sizeof buffer));
        if (!file.read(buffer, want)) return std::nullopt;
        hash.update(buffer, static_cast<std::size_t>(want));
        left -= static_cast<std::uint64_t>(want);
    }
    if (hash.digest() != expected) return std::nullopt;
    return hash;
}

struct Resumption {
    Checkpoint checkpoint;
    Sha256 written;  // the hash of the output file's bytes the run keeps
};

std::string moves_text(std::int32_t NPIVOT) {
    return NPIVOT > 0 ? std::to_string(NPIVOT) + " pivot attempts per cycle" : "local moves only";
}

// Why the checkpoint does not belong to this run, or empty when it does.
std::string foreign(const CheckpointOwner& theirs, const CheckpointOwner& mine) {
    if (theirs.build != mine.build) return "it was written by another build (" + theirs.build + ")";
    if (theirs.lapack != mine.lapack)
        return "it was written with other LAPACK and BLAS libraries (" + theirs.lapack + ")";
    if (theirs.ICODE != mine.ICODE) return "it belongs to model code " + std::to_string(theirs.ICODE);
    if (theirs.input_name != mine.input_name)
        return "it belongs to another input data file (" + printable_name(theirs.input_name) + ")";
    if (theirs.input_size != mine.input_size || theirs.input_digest != mine.input_digest)
        return "the input data file has changed since it was written";
    if (theirs.output_name != mine.output_name)
        return "it belongs to another output file (" + printable_name(theirs.output_name) + ")";
    return {};
}

// The checkpoint at `path` when it fits this run; otherwise nothing, and a
// console record says why it is set aside.
std::optional<Resumption> fitting_checkpoint(const std::string& path, const CheckpointOwner& mine,
                                             std::int32_t NPIVOT, Output& out) {
    std::string why;
    try {
        const std::optional<std::vector<char>> bytes = read_checkpoint_file(path);
        if (!bytes) return std::nullopt;
        Resumption r{decode_checkpoint(*bytes), {}};
        why = foreign(r.checkpoint.owner, mine);
        if (why.empty() && r.checkpoint.reader.NPIVOT != NPIVOT)
            why = "it belongs to a run with other moves (" + moves_text(r.checkpoint.reader.NPIVOT) + ")";
        if (why.empty()) {
            const CheckpointOwner& o = r.checkpoint.owner;
            if (auto prefix = output_prefix(mine.output_name, o.output_length, o.output_digest)) {
                r.written = *prefix;
                return r;
            }
            why = "the output file no longer begins with the " + std::to_string(o.output_length) +
                  " bytes it records";
        }
    } catch (const CheckpointRefused& e) {
        why = e.what();
    } catch (const CheckpointFileError& e) {
        why = e.what();
    }
    out.console(" Checkpoint " + printable_name(path) + " set aside: " + why + "; the run starts afresh");
    return std::nullopt;
}

// Flushes the output file to the disk, so that a checkpoint never counts
// bytes a crash of the machine could lose.
void sync_file(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::close(fd);
}

// The output file of a run that goes on: cut to the bytes the checkpoint
// counts and written on from there.
void reopen_output(std::ofstream& file, const std::string& name, std::uint64_t length) {
    std::error_code ec;
    fs::resize_file(name, length, ec);
    if (ec) throw IoError("cannot open file", kOutputUnit, name);
    file.open(name, std::ios::out | std::ios::app | std::ios::binary);
    if (!file) throw IoError("cannot open file", kOutputUnit, name);
}

// The end of a run that a new start would only repeat: its checkpoint goes.
bool repeated_by_a_new_start(const IoError& e) { return e.unit() == kInputUnit; }

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

namespace {

// The banner, code and file-name records of a fresh start, then its first
// data set read and echoed. Returns the exit status when the run ends there.
std::optional<int> begin_afresh(RunStreams& streams, const RunFiles& files, RecordReader& data, RunData& rd) {
    Output& out = streams.out;
    out.write(Route::File, banner_records());
    const std::string code = code_record(files.ICODE);
    if (code.empty()) {
        out.both(invalid_code_record(files.ICODE));
        out.flush();
        return kExitErrorStop;
    }
    out.both(code);
    out.write(Route::Both, file_name_records(files.INFILE, files.OUTFILE));
    rd.ICODE = files.ICODE;
    out.both(rule_record());
    switch (read_data_set(data, rd, out)) {
    case DataSetStatus::EndOfRun: out.flush(); return kExitNormal;
    case DataSetStatus::ErrorStop: out.flush(); return kExitErrorStop;
    case DataSetStatus::Ready: break;
    }
    return std::nullopt;
}

int run_checked(RunStreams& streams, const RunFiles& files, DataSetLoop loop, const Confirmation& confirm,
                const CheckpointOptions& options, std::optional<Checkpointer>& saver) {
    Output& out = streams.out;
    open_input(streams.input, files.INFILE);
    check_name(files.OUTFILE, kOutputUnit);
    const bool checkpoints = options.enabled && loop.executor != nullptr;
    std::optional<Resumption> resume;
    if (checkpoints) {
        const std::string path = files.OUTFILE + ".ckpt";
        const InputBytes input = input_bytes(files.INFILE);
        CheckpointOwner mine{build_identity(), loop.executor->libraries(), files.ICODE, files.INFILE, input.size,
                             input.digest, files.OUTFILE, 0, {}};
        std::string unavailable = input.unavailable;
        std::error_code ec;
        if (fs::exists(files.OUTFILE, ec) && !fs::is_regular_file(files.OUTFILE, ec))
            unavailable = "cannot be written (the output file is not a regular file)";
        const bool existed = fs::exists(path, ec);
        if (unavailable.empty() && !fs::equivalent(files.OUTFILE, files.INFILE, ec))
            resume = fitting_checkpoint(path, mine, files.NPIVOT, out);
        if (resume) {
            reopen_output(streams.output, files.OUTFILE, resume->checkpoint.owner.output_length);
        } else {
            open_output(streams.output, files.OUTFILE, files.INFILE);
            // A checkpoint set aside would only mislead a later start.
            if (existed && unavailable.empty()) remove_checkpoint_file(path);
        }
        saver.emplace(path, mine, out.console_sink(), [name = files.OUTFILE] { sync_file(name); }, unavailable,
                      options.points, options.interval);
    } else {
        open_output(streams.output, files.OUTFILE, files.INFILE);
    }

    RecordReader data(streams.input, kInputUnit, files.INFILE);
    RunData rd;
    rd.NPIVOT = files.NPIVOT;
    if (resume) {
        out.attach_file(streams.output, files.OUTFILE, resume->written);
        const Checkpoint& c = resume->checkpoint;
        out.console(code_record(files.ICODE));
        out.write(Route::Console, file_name_records(files.INFILE, files.OUTFILE));
        out.console(" Resuming from checkpoint " + printable_name(saver->path()) + ": " + std::to_string(c.written) +
                    " data sets written, " + std::to_string(c.data_sets.size()) + " in flight");
    } else {
        out.attach_file(streams.output, files.OUTFILE);
        if (const auto status = begin_afresh(streams, files, data, rd)) return *status;
    }
    if (confirm) confirm();

    int status = kExitNormal;
    if (loop.executor != nullptr) {
        // Only a regular file is read ahead of its turn: a pipe or a terminal
        // may be fed by whoever reads the output, as each data set ends.
        std::error_code ec;
        const bool read_ahead = fs::is_regular_file(files.INFILE, ec);
        const InFlightCheckpoints in_flight{saver ? &*saver : nullptr, resume ? &resume->checkpoint : nullptr,
                                            options.signal};
        status = run_in_flight(data, rd, out, *loop.executor, read_ahead, in_flight);
    } else {
        status = serial_loop(data, rd, out, *loop.runner);
    }
    out.flush();
    return status;
}

}  // namespace

int run_files(RunStreams& streams, const RunFiles& files, DataSetLoop loop, const Confirmation& confirm,
              const CheckpointOptions& checkpoints) {
    std::optional<Checkpointer> saver;
    struct Report {
        const std::optional<Checkpointer>& saver;
        CheckpointStats* stats;
        ~Report() {
            if (saver && stats != nullptr) *stats = saver->stats();
        }
    } report{saver, checkpoints.stats};
    try {
        const int status = run_checked(streams, files, loop, confirm, checkpoints, saver);
        if (saver) saver->remove();
        return status;
    } catch (const IoError& e) {
        if (saver && repeated_by_a_new_start(e)) saver->remove();
        throw;
    }
}

int with_fatal_failures(RunStreams& streams, std::ostream& err, const std::function<int()>& body) {
    try {
        return body();
    } catch (const StoppedBySignal& e) {
        try {
            streams.out.flush();
        } catch (const IoError&) {
        }
        err << streams.program << ": " << StopSignals::stop_message(e.signal) << '\n';
        err.flush();
        return 128 + e.signal;
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
