#pragma once
// The one door to the system LAPACK (single precision). Nothing else in the
// project declares or calls a Fortran symbol.
#include <cstdint>
#include <string>

namespace bw::lapack {

// The libraries that answer the LAPACK and BLAS calls in this process, as
// "lapack <file>; blas <file>" (the files resolved through their links, so
// that OpenBLAS and the reference libraries behind the same system name tell
// apart). D* and [eta]* may differ in their last digits from one to another.
std::string provider();

// SPPTRF with UPLO = 'U': Cholesky factorisation A = U^T U, in place, of the
// symmetric positive definite matrix of order n held as its packed upper
// triangle. Returns INFO: 0, or the order of the first leading minor that is
// not positive definite.
std::int32_t spptrf_upper(std::int32_t n, float* ap);

// SPPTRI with UPLO = 'U': replaces the packed factor U by the packed upper
// triangle of A^-1. Returns INFO: 0, or the index of a zero diagonal element
// of U.
std::int32_t spptri_upper(std::int32_t n, float* ap);

// SPOTRF with UPLO = 'L': Cholesky factorisation A = L L^T of the symmetric
// positive definite matrix of order n held in the lower triangle of `a`
// (full column-major storage, leading dimension lda); L overwrites that
// triangle, the strict upper triangle is not referenced. Returns INFO as
// spptrf_upper does: the order of the first leading minor that is not
// positive definite does not depend on the triangle stored.
std::int32_t spotrf_lower(std::int32_t n, float* a, std::int32_t lda);

// STRSM: B := L^-1 B for the lower triangular L of order n (from
// spotrf_lower) and the n x nrhs matrix B (leading dimension ldb).
void strsm_lower_left(std::int32_t n, std::int32_t nrhs, const float* l, std::int32_t ldl, float* b,
                      std::int32_t ldb);

// SSYRK: upper triangle of C := W^T W for the k x n matrix W (leading
// dimension ldw); C is n x n, leading dimension ldc; its strict lower
// triangle is not touched.
void ssyrk_upper_trans(std::int32_t n, std::int32_t k, const float* w, std::int32_t ldw, float* c,
                       std::int32_t ldc);

}  // namespace bw::lapack
