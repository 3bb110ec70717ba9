#include "hydro/lapack.hpp"

#include <cstddef>

// Fortran interfaces: every argument by reference, plus the hidden length of
// each character argument, passed by value after the visible arguments.
extern "C" {
void spptrf_(const char* uplo, const int* n, float* ap, int* info, std::size_t uplo_len);
void spptri_(const char* uplo, const int* n, float* ap, int* info, std::size_t uplo_len);
}

namespace bw::lapack {

namespace {
constexpr char UPLO = 'U';
}

std::int32_t spptrf_upper(std::int32_t n, float* ap) {
    const int order = n;
    int info = 0;
    spptrf_(&UPLO, &order, ap, &info, 1);
    return info;
}

std::int32_t spptri_upper(std::int32_t n, float* ap) {
    const int order = n;
    int info = 0;
    spptri_(&UPLO, &order, ap, &info, 1);
    return info;
}

}  // namespace bw::lapack
