#pragma once
// A data set that the sampler cannot simulate (a chain that cannot be built,
// an unknown model code, energies that overflow). The caller reports what()
// and stops; nothing below the driver prints or exits.
#include <stdexcept>
#include <string>

namespace bw {

struct SimulationError : std::runtime_error {
    explicit SimulationError(const std::string& what) : std::runtime_error(what) {}
};

// A data set given up on request before its end: nothing of it is reported.
// Not a runtime_error, so that no caller takes it for a failure to report.
struct DataSetStopped : std::exception {
    const char* what() const noexcept override { return "data set stopped"; }
};

}  // namespace bw
