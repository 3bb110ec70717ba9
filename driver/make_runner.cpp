// The runner that the beadwalks executable uses for every data set.
#include <stdexcept>

#include "driver/data_set_runner.hpp"

namespace bw {
namespace {

class UnavailableRunner final : public DataSetRunner {
public:
    DataSetResult run(RunData&, RecordSink&) override {
        throw std::runtime_error("simulation not available");
    }
};

}  // namespace

std::unique_ptr<DataSetRunner> makeDataSetRunner() { return std::make_unique<UnavailableRunner>(); }

}  // namespace bw
