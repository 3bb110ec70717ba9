// Fortran LAPACK/BLAS entry points (32-bit integers, hidden string lengths
// passed last by value).
#include "hydro/fast_blas.hpp"

#include <cstddef>

extern "C" {
void spotrf_(const char* uplo, const int* n, float* a, const int* lda, int* info, std::size_t uplo_len);
void strsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m,
            const int* n, const float* alpha, const float* a, const int* lda, float* b, const int* ldb,
            std::size_t side_len, std::size_t uplo_len, std::size_t transa_len, std::size_t diag_len);
void ssyrk_(const char* uplo, const char* trans, const int* n, const int* k, const float* alpha,
            const float* a, const int* lda, const float* beta, float* c, const int* ldc,
            std::size_t uplo_len, std::size_t trans_len);
}

namespace bw::lapack {

std::int32_t spotrf_upper(std::int32_t n, float* a, std::int32_t lda)
{
    int info = 0;
    spotrf_("U", &n, a, &lda, &info, 1);
    return info;
}

void strsm_upper_trans_left(std::int32_t n, std::int32_t nrhs, const float* u, std::int32_t ldu,
                            float* b, std::int32_t ldb)
{
    const float one = 1.0f;
    strsm_("L", "U", "T", "N", &n, &nrhs, &one, u, &ldu, b, &ldb, 1, 1, 1, 1);
}

void ssyrk_upper_trans(std::int32_t n, std::int32_t k, const float* w, std::int32_t ldw, float* c,
                       std::int32_t ldc)
{
    const float one = 1.0f;
    const float zero = 0.0f;
    ssyrk_("U", "T", &n, &k, &one, w, &ldw, &zero, c, &ldc, 1, 1);
}

}  // namespace bw::lapack
