#pragma once
// The symmetric 3N x 3N supermatrix in packed upper-triangular storage:
// element (p, q), p <= q, 0-based, at AP[p + q(q+1)/2], column by column.
// Component k of bead I is row/column 3I + k.
#include <cstdint>
#include <utility>

#include "hydro/mat3.hpp"

namespace bw {

// Position of element (p, q) of the symmetric matrix, either triangle.
inline std::int64_t packed_index(std::int64_t p, std::int64_t q) {
    if (p > q) std::swap(p, q);
    return p + q * (q + 1) / 2;
}

// Number of reals of the packed triangle of order n.
inline std::int64_t packed_size(std::int64_t n) { return n * (n + 1) / 2; }

// GETBLK: the 3x3 block S_IJ (rows of bead I, columns of bead J).
inline Mat3 GETBLK(std::int32_t I, std::int32_t J, const float* AP) {
    Mat3 b;
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) b(k, l) = AP[packed_index(3 * I + k, 3 * J + l)];
    return b;
}

}  // namespace bw
