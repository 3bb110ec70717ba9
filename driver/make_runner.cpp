// The runner that the beadwalks executable uses for every data set: the
// Monte Carlo sampler feeding the subsample statistics, with the rigid-body
// hydrodynamics of every sampled conformation when the data set asks for it.
// With more than one usable CPU, several data sets run at once and share
// the CPUs with the hydrodynamic helpers of all of them (one HydroPool); the
// output does not depend on the number of CPUs.
#include <memory>
#include <utility>

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "hydro/lapack.hpp"
#include "driver/data_set_runner.hpp"

namespace bw {
namespace {

class MonteCarloRunner final : public DataSetRunner {
public:
    MonteCarloRunner()
        : cpus_(usable_cpu_count()),
          pool_(std::make_unique<HydroPool>(cpus_, [] { return std::make_unique<RigidBeadHydro>(); })) {}

    DataSetResult run(RunData& rd, RecordSink& console) override {
        DataSetOutcome outcome = run_data_set(rd, console, cpus_);
        return DataSetResult{outcome.NREJ, std::move(outcome.PSTAT), outcome.NPREJ};
    }

    unsigned concurrency() const override { return cpus_; }
    std::string libraries() const override { return lapack::provider(); }

    DataSetResult run_concurrently(RunData& rd, RecordSink& console, const DataSetControl& control) override {
        DataSetOutcome outcome = run_data_set(rd, console, *pool_, control);
        return DataSetResult{outcome.NREJ, std::move(outcome.PSTAT), outcome.NPREJ};
    }

private:
    unsigned cpus_;
    std::unique_ptr<HydroPool> pool_;
};

}  // namespace

std::unique_ptr<DataSetRunner> makeDataSetRunner() { return std::make_unique<MonteCarloRunner>(); }

}  // namespace bw
