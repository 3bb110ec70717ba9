#pragma once
// GEOMET: the bead model as a body of uniform density made of spheres.
#include <cstdint>

#include "driver/records/record_sink.hpp"
#include "hydro/hydro_model.hpp"
#include "hydro/hydro_workspace.hpp"

namespace bw {

// Writes ws.CM (centre of mass, each bead weighted by a^3), ws.VOLUME
// (4 pi/3 sum a^3, pi = 3.14159) and ws.RG (radius of gyration about CM, of
// point beads, or with each sphere's own (3/5) a^2 when IGYR = 1). With IP
// nonzero prints VOLUME, RG and CM.
void GEOMET(std::int32_t IGYR, std::int32_t IP, CoordView COORD, std::int32_t N, const float* RAD,
            HydroWorkspace& ws, RecordSink& console);

}  // namespace bw
