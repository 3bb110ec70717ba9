#pragma once
// Everything the hydrodynamic stages of one bead model exchange or leave
// behind. One workspace per concurrent calculation: TRV and its stages keep
// no mutable state anywhere else, so workspaces on different threads never
// interfere. Values persist between calls of the same workspace (INFO2 is
// printed after a failed factorisation with the value of the last inversion
// that ran; a failed ROTREL leaves the eigenvalues of the previous model).
#include <array>
#include <cstdint>

#include "hydro/mat3.hpp"

namespace bw {

// Per-model results. Diffusion in units of kT/(6 pi eta0 b), friction in
// units of 6 pi eta0 b, intrinsic viscosity in units of N_A b^3 / M.
struct HydroResults {
    Vec3 DIFCEN{};     // centre of diffusion
    Mat3 DTTC{};       // translational diffusion tensor about DIFCEN
    Mat3 DCPC{};       // rotation-translation coupling about DIFCEN
    float DT = 0.0f;   // translational diffusion coefficient D*
    float FT = 0.0f;   // translational friction coefficient 1/DT

    float DRMEAN = 0.0f;               // one third of the trace of DRR
    std::array<float, 3> DREIG{};      // eigenvalues of DRR, ascending
    float DELTA = 0.0f;                // anisotropy of DRR
    std::array<float, 5> RCONST{};     // rotational relaxation rates
    std::array<float, 5> RTIME{};      // relaxation times 1/RCONST

    Vec3 VISCEN{};     // viscosity centre
    float ETA = 0.0f;  // intrinsic viscosity [eta]*
    float SMPAR = 0.0f;  // Scheraga-Mandelkern parameter
};

struct HydroWorkspace {
    // bead geometry
    Vec3 CM{};
    float VOLUME = 0.0f;
    float RG = 0.0f;
    // blocks of the inverse of the 6x6 friction matrix, about the origin
    Mat3 DTT{}, DRT{}, DRR{};
    // status of the packed factorisation, of the inversion and of ROTREL
    std::int32_t INFO1 = 0;
    std::int32_t INFO2 = 0;
    std::int32_t IERRD = 0;

    HydroResults res;
};

}  // namespace bw
