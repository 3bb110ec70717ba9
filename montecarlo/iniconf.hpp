#pragma once
// Initial conformation of a subsample: a random walk of unit steps from the
// origin that keeps every new bead at squared distance > 0.9 from all earlier
// beads; and DIST2, the squared distance of two beads of a conformation.
#include <cstdint>

#include "montecarlo/conformation.hpp"

namespace bw {

// Squared distance of beads I and J (1-based), summed in (y, x, z) order.
float DIST2(const Conformation& conf, std::int32_t I, std::int32_t J);

// Bounds that keep INICONF from walking forever when a bead is boxed in by
// earlier beads: after max_redraws refused directions for one bead the walk
// starts again from bead 1 (same random stream, no reseeding); after
// max_restarts such restarts it gives up with SimulationError.
struct IniconfLimits {
    std::int32_t max_redraws = 10000;
    std::int32_t max_restarts = 1000;
};

// Builds an N-bead chain in conf (conf.N := N) drawing two values of RAN per
// attempted position. N = 1 consumes nothing. Throws SimulationError when N is
// outside 0..MAXBEADS or the chain cannot be built within the limits.
void INICONF(std::int32_t N, std::int32_t& ISEED, Conformation& conf, const IniconfLimits& limits = {});

}  // namespace bw
