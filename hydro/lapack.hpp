#pragma once
// The one door to the system LAPACK (single precision). Nothing else in the
// project declares or calls a Fortran symbol.
#include <cstdint>

namespace bw::lapack {

// SPPTRF with UPLO = 'U': Cholesky factorisation A = U^T U, in place, of the
// symmetric positive definite matrix of order n held as its packed upper
// triangle. Returns INFO: 0, or the order of the first leading minor that is
// not positive definite.
std::int32_t spptrf_upper(std::int32_t n, float* ap);

// SPPTRI with UPLO = 'U': replaces the packed factor U by the packed upper
// triangle of A^-1. Returns INFO: 0, or the index of a zero diagonal element
// of U.
std::int32_t spptri_upper(std::int32_t n, float* ap);

}  // namespace bw::lapack
