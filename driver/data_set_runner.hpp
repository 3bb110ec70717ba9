#pragma once
// The seam between the driver and the simulation: the driver reads and echoes
// a data set, derives NPROG and NPROP, and hands the data set to a runner,
// which samples it and returns what the report needs. Progress records go to
// `console`. A runner reports a failure by throwing std::runtime_error; the
// driver writes its message to the console and the output file and stops.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "driver/records/record_sink.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

struct DataSetResult {
    std::int64_t NREJ = 0;                     // rejected Monte Carlo moves
    std::vector<std::array<float, 2>> PSTAT;   // {mean, standard error} per property
};

class DataSetRunner {
public:
    virtual ~DataSetRunner() = default;
    // `rd` is the run's data set; the generator works on rd.ISEED in place.
    virtual DataSetResult run(RunData& rd, RecordSink& console) = 0;
};

// The runner of the executable.
std::unique_ptr<DataSetRunner> makeDataSetRunner();

}  // namespace bw
