#pragma once
// ROTREL: principal rotational diffusion coefficients of the rigid bead model
// (eigenvalues of DRR from the characteristic cubic, in closed form) and its
// five rotational relaxation rates and times.
#include <cstdint>

#include "driver/records/record_sink.hpp"
#include "hydro/hydro_workspace.hpp"

namespace bw {

// Reads the diagonal and upper triangle of ws.DRR (taken as symmetric);
// writes ws.res.DRMEAN, DREIG (ascending), DELTA, RCONST, RTIME and ws.IERRD.
// IERRD = 1 when the cubic has no three real roots beyond the tolerance;
// then only DRMEAN is updated and nothing is printed. With IP nonzero prints
// the eigenvalues, rates and times.
void ROTREL(std::int32_t IP, HydroWorkspace& ws, RecordSink& console);

}  // namespace bw
