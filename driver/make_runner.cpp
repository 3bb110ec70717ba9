// The runner that the beadwalks executable uses for every data set: the
// Monte Carlo sampler feeding the subsample statistics, with the rigid-body
// hydrodynamics of every sampled conformation when the data set asks for it.
#include <memory>

#include "averaging/rigid_bead_hydro.hpp"
#include "averaging/steave.hpp"
#include "driver/data_set_runner.hpp"
#include "montecarlo/sampler.hpp"

namespace bw {
namespace {

class MonteCarloRunner final : public DataSetRunner {
public:
    DataSetResult run(RunData& rd, RecordSink& console) override {
        std::unique_ptr<RigidBeadHydro> hydro;
        if (rd.IHYD != 0) hydro = std::make_unique<RigidBeadHydro>();
        Steave stats(rd, hydro.get(), console);
        DataSetResult result;
        result.NREJ = MCRUN(rd, stats, console);
        result.PSTAT = stats.table();
        return result;
    }
};

}  // namespace

std::unique_ptr<DataSetRunner> makeDataSetRunner() { return std::make_unique<MonteCarloRunner>(); }

}  // namespace bw
