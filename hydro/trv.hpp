#pragma once
// TRV: rigid-body hydrodynamics of one bead model. Runs, in order, the bead
// geometry, the interaction supermatrix, its packed Cholesky inversion, the
// friction tensors, the diffusion tensors and centre of diffusion, the
// rotational relaxation and the intrinsic viscosity; the results stay in the
// workspace (ws.res.DT, ws.res.ETA, ...).
#include <cstdint>

#include "driver/records/record_sink.hpp"
#include "hydro/hydro_model.hpp"
#include "hydro/hydro_workspace.hpp"

namespace bw {

struct FastWork;

// INVSTO_D: replaces the packed supermatrix of order n3 by its inverse
// (SPPTRF, then SPPTRI only when the factorisation succeeded). Sets ws.INFO1,
// and ws.INFO2 only when the inversion ran.
void INVSTO_D(std::int32_t n3, float* AP, HydroWorkspace& ws);

// The console line after a failed factorisation or inversion, printed when
// INFO1 or INFO2 is nonzero (each in a one-digit field).
void report_inversion(const HydroWorkspace& ws, RecordSink& console);

// The full calculation. Failures of the numerical stages print one console
// line each and the calculation goes on. Throws std::invalid_argument for a
// model that cannot be addressed safely: N < 1, LDC < N, null arrays, or NAP
// below 3N(3N+1)/2.
// With `fast`, the supermatrix goes the fast route (hydro/fast_trv.hpp): same
// results to single-precision rounding, same messages, but AP is left as it
// was. A conformation whose factorisation fails takes the packed route.
void TRV(const HydroModel& model, HydroWorkspace& ws, RecordSink& console, FastWork* fast = nullptr);

}  // namespace bw
