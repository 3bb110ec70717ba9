#pragma once
// Dense single-precision kernels used by the fast hydrodynamics route:
// full-storage Cholesky factorisation, triangular solve and rank-k update.
// Thin wrappers; the Fortran symbols stay in the implementation file.
#include <cstdint>

namespace bw::lapack {

// Cholesky factorisation A = U^T U of the symmetric positive definite matrix
// of order n held in the upper triangle of `a` (column-major, leading
// dimension lda); U overwrites that triangle. Returns the factorisation's
// INFO: 0 on success, k > 0 when the leading minor of order k is not
// positive definite.
std::int32_t spotrf_upper(std::int32_t n, float* a, std::int32_t lda);

// B := U^-T B for the upper triangular U of order n (from spotrf_upper) and
// the n x nrhs matrix B (column-major, leading dimension ldb).
void strsm_upper_trans_left(std::int32_t n, std::int32_t nrhs, const float* u, std::int32_t ldu,
                            float* b, std::int32_t ldb);

// Upper triangle of C := W^T W for the k x n matrix W (column-major, leading
// dimension ldw); C is n x n with leading dimension ldc. The strict lower
// triangle of C is left untouched.
void ssyrk_upper_trans(std::int32_t n, std::int32_t k, const float* w, std::int32_t ldw, float* c,
                       std::int32_t ldc);

}  // namespace bw::lapack
