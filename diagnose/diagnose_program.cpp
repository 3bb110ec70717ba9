#include "diagnose/diagnose_program.hpp"

#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "diagnose/report_text.hpp"
#include "diagnose/series_recorder.hpp"
#include "driver/banner.hpp"
#include "driver/data_set.hpp"
#include "driver/input_file.hpp"
#include "driver/io_error.hpp"
#include "driver/output.hpp"
#include "driver/record_reader.hpp"
#include "driver/report.hpp"

namespace bw::diagnose {
namespace {

namespace fs = std::filesystem;

class StreamSink final : public RecordSink {
public:
    explicit StreamSink(std::ostream& os) : os_(os) {}
    void record(std::string_view line) override { os_ << line << '\n'; }

private:
    std::ostream& os_;
};

// A file of --json or --series that cannot be written: status 2.
class OutputFailure : public std::runtime_error {
public:
    OutputFailure(const std::string& option, const std::string& failure, const std::string& name)
        : std::runtime_error(option + ": " + failure + ", file " + printable_name(name)) {}
};

DataSetDiagnosis diagnose_data_set(std::int32_t index, const RunData& rd, const DataSetOutcome& res,
                                   const SeriesRecorder& series) {
    DataSetDiagnosis ds;
    ds.index = index;
    ds.N = rd.N;
    ds.shape = {rd.NCONF, rd.NCONFAVE, rd.NFREQ};
    const auto names = property_names(series.count());
    for (std::size_t p = 0; p < names.size(); ++p) {
        const float mean = res.PSTAT[p][0], error = res.PSTAT[p][1];
        ds.properties.push_back({names[p][0], names[p][1], printed_fields(static_cast<int>(p + 1), mean, error),
                                 diagnose_property(series.series(p), ds.shape, mean, error)});
    }
    return ds;
}

class Diagnose {
public:
    Diagnose(const Arguments& args, Output& out, std::ostream& err, unsigned threads)
        : args_(args), out_(out), progress_(err), threads_(threads) {}

    int data_sets(RecordReader& data) {
        RunData rd;
        rd.ICODE = args_.ICODE;
        rd.NPIVOT = args_.NPIVOT;
        for (std::int32_t index = 1;; ++index) {
            out_.both(rule_record());
            switch (read_data_set(data, rd, out_)) {
            case DataSetStatus::EndOfRun: return 0;
            case DataSetStatus::ErrorStop: return 1;
            case DataSetStatus::Ready: break;
            }
            if (!data_set(index, rd)) return 1;
        }
    }

    const std::vector<DataSetDiagnosis>& done() const { return done_; }

private:
    // Runs, reports and diagnoses one data set; false when it could not be run.
    bool data_set(std::int32_t index, RunData& rd) {
        rd.NPROG = progress_interval(rd.NCONFAVE);
        rd.NPROP = property_count(rd.IHYD, rd.NPR);
        std::optional<SeriesRecorder> series;
        try {
            series.emplace(rd.IHYD != 0 ? 4 : 2, static_cast<std::size_t>(rd.NCONFSUB));
        } catch (const std::bad_alloc&) {
            out_.both("No room for the series of " + std::to_string(rd.NCONFAVE) + " sampled conformations");
            return false;
        } catch (const std::length_error&) {
            out_.both("No room for the series of " + std::to_string(rd.NCONFAVE) + " sampled conformations");
            return false;
        }
        DataSetOutcome res;
        try {
            res = run_data_set(rd, progress_, threads_, [] { return std::make_unique<RigidBeadHydro>(); }, &*series);
        } catch (const IoError&) {
            throw;
        } catch (const std::runtime_error& e) {
            out_.both(e.what());
            return false;
        }
        out_.write(report_records(res.NREJ, rd.NCONF, rd.N, rd.IHYD, rd.NPR, rd.RMAX, res.PSTAT, rd.NPIVOT, res.NPREJ));
        DataSetDiagnosis ds = diagnose_data_set(index, rd, res, *series);
        out_.write(Route::Console, table_records(ds));
        out_.flush();
        if (!args_.series.empty()) write_series(*series, ds);
        done_.push_back(std::move(ds));
        return true;
    }

    void write_series(const SeriesRecorder& series, const DataSetDiagnosis& ds) const {
        const std::string name = (fs::path(args_.series) / ("data_set_" + std::to_string(ds.index) + ".csv")).string();
        std::ofstream file(name, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!file) throw OutputFailure("--series", "cannot open file", name);
        file << series_csv(series, ds);
        file.flush();
        if (!file) throw OutputFailure("--series", "write error", name);
    }

    const Arguments& args_;
    Output& out_;
    StreamSink progress_;
    unsigned threads_;
    std::vector<DataSetDiagnosis> done_;
};

// Both files are checked before the first data set runs, so that a long run
// is not lost to a name that cannot be written.
void prepare_outputs(const Arguments& args, std::ofstream& json) {
    if (!args.json.empty()) {
        check_name(args.json, kOutputUnit);
        json.open(args.json, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!json) throw OutputFailure("--json", "cannot open file", args.json);
    }
    if (!args.series.empty()) {
        check_name(args.series, kOutputUnit);
        std::error_code ec;
        fs::create_directories(args.series, ec);
        if (!fs::is_directory(args.series, ec)) throw OutputFailure("--series", "cannot create folder", args.series);
    }
}

void write_json(std::ofstream& json, const Arguments& args, const std::vector<DataSetDiagnosis>& done) {
    if (args.json.empty() || !json.is_open()) return;  // not open: refused before the run
    json << json_document(done);
    json.flush();
    if (!json) throw OutputFailure("--json", "write error", args.json);
}

}  // namespace

int run_diagnose(const Arguments& args, std::ostream& out_stream, std::ostream& err, unsigned threads) {
    std::ifstream input;
    try {
        open_input(input, args.INFILE);
    } catch (const IoError& e) {
        err << e.what() << '\n' << kUsage << '\n';
        return 2;
    }
    std::ofstream json;
    Output out(out_stream);
    Diagnose diagnose(args, out, err, threads);
    int status = 2;
    try {
        prepare_outputs(args, json);
        out.both(code_record(args.ICODE));
        out.both(" Input data file: " + args.INFILE);
        RecordReader data(input, kInputUnit, args.INFILE);
        status = diagnose.data_sets(data);
        out.flush();
    } catch (const std::runtime_error& e) {  // IoError, OutputFailure
        try {
            out.flush();
        } catch (const IoError&) {
        }
        err << e.what() << '\n';
        status = 2;
    }
    try {
        write_json(json, args, diagnose.done());
    } catch (const OutputFailure& e) {
        err << e.what() << '\n';
        status = 2;
    }
    return status;
}

}  // namespace bw::diagnose
