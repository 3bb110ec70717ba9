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

}  // namespace bw
