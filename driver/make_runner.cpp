// The runner that the beadwalks executable uses for every data set: the
// Monte Carlo sampler feeding the subsample statistics, with the rigid-body
// hydrodynamics of every sampled conformation when the data set asks for it,
// spread over every CPU the process may use. The output does not depend on
// the number of CPUs.
#include <memory>
#include <utility>

#include "averaging/data_set_run.hpp"
#include "driver/data_set_runner.hpp"

namespace bw {
namespace {

class MonteCarloRunner final : public DataSetRunner {
public:
    DataSetResult run(RunData& rd, RecordSink& console) override {
        DataSetOutcome outcome = run_data_set(rd, console, usable_cpu_count());
        return DataSetResult{outcome.NREJ, std::move(outcome.PSTAT)};
    }
};

}  // namespace

std::unique_ptr<DataSetRunner> makeDataSetRunner() { return std::make_unique<MonteCarloRunner>(); }

}  // namespace bw
