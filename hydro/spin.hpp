#pragma once
// SPIN: in-place inversion of a small square single-precision matrix by
// Gauss-Jordan elimination with full pivoting (symmetry not assumed).
#include <cstdint>

namespace bw {

// Largest order SPIN accepts; its callers use 3 and 6.
inline constexpr std::int32_t SPIN_MAXORDER = 100;

// AMAT is column-major with leading dimension LD and order N. IERR = 0: AMAT
// holds the inverse. IERR = 1: some elimination step found its remaining
// block exactly zero; AMAT is left partly reduced. Throws
// std::invalid_argument for N outside 0..SPIN_MAXORDER or LD < N.
void SPIN(float* AMAT, std::int32_t LD, std::int32_t N, std::int32_t& IERR);

}  // namespace bw
