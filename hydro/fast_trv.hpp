#pragma once
// The fast route of TRV. The supermatrix is built in full storage (the same
// blocks as SUPMAT, hydro/fast_supmat.hpp), factorised by a blocked Cholesky, and everything the
// friction and viscosity stages need is read off the 12 x 12 Gram matrix of
// the linear velocity fields (hydro/fast_gram.hpp) instead of an explicit
// packed inverse. Every later stage is the one of the packed route.
#include <cstdint>

#include "driver/records/record_sink.hpp"
#include "hydro/fast_gram.hpp"
#include "hydro/hydro_model.hpp"
#include "hydro/hydro_workspace.hpp"

namespace bw {

// Supermatrix, factorisation and fw.gram. On success sets ws.INFO1 and
// ws.INFO2 to 0, which is what the packed factorisation and inversion leave
// for a positive definite matrix, and returns true. When the factorisation
// fails it returns false with ws untouched, so that the caller can take the
// packed route and report the failure exactly as that route does.
bool fast_inversion(const HydroModel& m, FastWork& fw, HydroWorkspace& ws);

// VISCOS from the Gram matrix: the viscosity centre, the four sums about it,
// the intrinsic viscosity and the Scheraga-Mandelkern parameter, with the
// same messages and printing as VISCOS. The bead coordinates are not moved.
void VISCOS_FAST(std::int32_t IVCVIS, std::int32_t IP, const FieldGram& gram, HydroWorkspace& ws,
                 RecordSink& console);

}  // namespace bw
