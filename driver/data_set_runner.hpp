#pragma once
// The seam between the driver and the simulation: the driver reads and echoes
// a data set, derives NPROG and NPROP, and hands the data set to a runner,
// which samples it and returns what the report needs. Progress records go to
// `console`. A runner reports a failure by throwing std::runtime_error; the
// driver writes its message to the console and the output file and stops.
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <stop_token>
#include <vector>

#include "averaging/data_set_state.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

struct DataSetResult {
    std::int64_t NREJ = 0;                     // rejected Monte Carlo moves
    std::vector<std::array<float, 2>> PSTAT;   // {mean, standard error} per property
    std::int64_t NPREJ = 0;                    // rejected pivots (rd.NPIVOT > 0)
};

class DataSetRunner {
public:
    virtual ~DataSetRunner() = default;
    // `rd` is the run's data set; the generator works on rd.ISEED in place.
    virtual DataSetResult run(RunData& rd, RecordSink& console) = 0;

    // How many data sets this runner may have in flight at once, each on a
    // thread of its own (its CPUs). 1: the driver runs them one after
    // another on its own thread with run().
    virtual unsigned concurrency() const { return 1; }
    // What the results depend on besides the program's sources: the LAPACK
    // and BLAS in use. A checkpoint names it.
    virtual std::string libraries() const { return "none"; }
    // run() as a job of an executor, which may call it from several threads
    // at once: once control.stop is requested it may give up by throwing
    // anything (nothing of such a data set is written); a runner that can
    // offers the data set's state to control.tap at sweep boundaries and
    // continues from control.resume (a runner that cannot must refuse a
    // resume by throwing).
    virtual DataSetResult run_concurrently(RunData& rd, RecordSink& console, const DataSetControl& control) {
        if (control.resume != nullptr) throw std::logic_error("this runner cannot continue a data set");
        return run(rd, console);
    }
};

// The runner of the executable.
std::unique_ptr<DataSetRunner> makeDataSetRunner();

}  // namespace bw
