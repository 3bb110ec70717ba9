#pragma once
// HydroModel: one rigid array of beads as handed to TRV, with its option
// flags. The caller owns every array; TRV reads COORD and RAD, uses AP as the
// work array of the packed supermatrix (holding its inverse on return) and
// translates COORD temporarily inside VISCOS, restoring it before return.
#include <cstdint>

#include "hydro/mat3.hpp"

namespace bw {

struct HydroModel {
    std::int32_t IGYR = 0;    // 1: beads add their own (3/5) a^2 to the radius of gyration
    std::int32_t IVCROT = 0;  // 1: VOLUME/pi on the rotational friction diagonal; else 1e-4 * trace
    std::int32_t IVCVIS = 0;  // 1: add 2.5 VOLUME to the intrinsic viscosity
    std::int32_t IND = 1;     // interaction tensor: 9 none, 1 RPY with overlap, 0 Oseen
    std::int32_t IP = 0;      // nonzero: every stage prints its intermediate results
    std::int32_t LDC = 0;     // leading dimension of COORD
    std::int32_t N = 0;       // number of beads
    float* COORD = nullptr;   // LDC x 3, column-major: x, y, z of bead i in row i
    const float* RAD = nullptr;  // N bead radii
    std::int32_t NAP = 0;     // length of AP, at least 3N(3N+1)/2
    float* AP = nullptr;      // packed upper triangle of the 3N x 3N supermatrix
};

// Read access to the bead coordinates of an LDC x 3 column-major array; bead
// i and component m are 0-based.
struct CoordView {
    const float* p;
    std::int32_t LDC;
    float operator()(std::int32_t i, int m) const { return p[i + static_cast<std::int64_t>(m) * LDC]; }
    Vec3 bead(std::int32_t i) const { return {(*this)(i, 0), (*this)(i, 1), (*this)(i, 2)}; }
};

}  // namespace bw
