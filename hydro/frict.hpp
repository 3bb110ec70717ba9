#pragma once
// FRICT: friction tensors of the rigid bead model about the coordinate
// origin, from the inverted supermatrix S (friction supermatrix / 6 pi eta0),
// and the blocks of the inverse of the 6x6 friction matrix.
#include <cstdint>

#include "driver/records/record_sink.hpp"
#include "hydro/hydro_model.hpp"
#include "hydro/hydro_workspace.hpp"
#include "hydro/mat3.hpp"

namespace bw {

// Translational FTT = sum S_IJ, coupling FRT = sum U_I S_IJ, rotational
// FRR = -sum U_I S_IJ U_J, over all ordered pairs, U_I = UMAT(r_I).
struct FrictionSums {
    Mat3 FTT, FRT, FRR;
};

// The pair sums from the packed inverse of order 3N.
FrictionSums friction_sums(const float* AP, CoordView COORD, std::int32_t N);

// Everything after the sums: the correction of the FRR diagonal (IVCROT = 1:
// VOLUME/pi; otherwise 1e-4 times the uncorrected trace, which keeps F66
// regular for beads on a line), F66 = [[FTT, FRT^T], [FRT, FRR]], its
// inversion by SPIN (message when singular) and the blocks DTT, DRT, DRR of
// the inverse, written into ws.
void friction_inverse(std::int32_t IVCROT, FrictionSums sums, HydroWorkspace& ws, RecordSink& console);

// FRICT: friction_sums then friction_inverse; reads ws.VOLUME.
void FRICT(std::int32_t IVCROT, const float* AP, CoordView COORD, std::int32_t N, HydroWorkspace& ws,
           RecordSink& console);

}  // namespace bw
