#pragma once
// One chain conformation: N beads, single-precision coordinates, bead i
// (1-based in the physics) stored at index i-1.
#include <array>
#include <cstdint>

#include "montecarlo/run_data.hpp"

namespace bw {

struct Conformation {
    std::int32_t N = 0;
    std::array<float, MAXBEADS> x{}, y{}, z{};
};

}  // namespace bw
