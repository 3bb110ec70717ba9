#pragma once
// RESDIF: centre of diffusion of the rigid bead model and the diffusion
// tensors referred to it; translational diffusion and friction coefficients.
#include <cstdint>

#include "driver/records/record_sink.hpp"
#include "hydro/hydro_workspace.hpp"

namespace bw {

// Reads ws.DTT, ws.DRT, ws.DRR (blocks of the 6x6 diffusion matrix about the
// origin); writes ws.res.DIFCEN, DTTC, DCPC, DT and FT. A singular
// trace(DRR) I - DRR is reported on the console and the computation goes on
// with what SPIN left. With IP nonzero prints the centre and the tensors.
void RESDIF(std::int32_t IP, HydroWorkspace& ws, RecordSink& console);

}  // namespace bw
