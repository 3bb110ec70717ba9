#pragma once
// SUPMAT: the hydrodynamic interaction supermatrix of a bead model, 6 pi eta0
// times the mobility supermatrix (so it holds only lengths and numbers),
// built block by block into packed upper storage (hydro/packed.hpp).
#include <cstdint>

#include "hydro/hydro_model.hpp"
#include "hydro/mat3.hpp"

namespace bw {

// Interaction tensor selectors.
inline constexpr std::int32_t IND_OSEEN = 0;
inline constexpr std::int32_t IND_RPY = 1;
inline constexpr std::int32_t IND_NONE = 9;

// Self block of a bead of radius a: (1/a) I.
Mat3 self_block(float a);

// Radius of the sphere of mean volume, ((aI^3 + aJ^3)/2)^(1/3), or aI when
// the radii are equal.
float overlap_sigma(float aI, float aJ);

// Block of the pair (I, J), J != I, with d = r_J - r_I. IND = 9: zero.
// IND = 1 and aI + aJ > 1.01 r: RPY tensor of overlapping spheres of radius
// sigma, (1/sigma)[(1 - 9r/(32 sigma)) I + 3 d d^T / (32 sigma r)]; at r = 0
// its limit (1/sigma) I. Otherwise, with Q = IND (aI^2 + aJ^2)/r^2:
// 6 [(1 + Q/3)/(8r) I + (1 - Q)/(8r^3) d d^T]; Oseen for IND = 0.
Mat3 pair_block(std::int32_t IND, float aI, float aJ, const Vec3& d);

// STOBLK: stores the block of the pair (I, J), J <= I (0-based beads). For
// J < I all nine elements lie above the diagonal; for J = I only the upper
// half of the diagonal block is written.
void STOBLK(std::int32_t I, std::int32_t J, const Mat3& BLK, float* AP);

// SUPMAT: every element of the packed upper triangle of order 3N, pairs
// visited I = 0..N-1, J = 0..I.
void SUPMAT(float* AP, std::int32_t IND, CoordView COORD, std::int32_t N, const float* RAD);

}  // namespace bw
