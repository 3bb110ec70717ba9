#include "hydro/lapack.hpp"

#include <dlfcn.h>

#include <climits>
#include <cstddef>
#include <cstdlib>

// Fortran interfaces: every argument by reference, plus the hidden length of
// each character argument, passed by value after the visible arguments.
extern "C" {
void spptrf_(const char* uplo, const int* n, float* ap, int* info, std::size_t uplo_len);
void spptri_(const char* uplo, const int* n, float* ap, int* info, std::size_t uplo_len);
void spotrf_(const char* uplo, const int* n, float* a, const int* lda, int* info, std::size_t uplo_len);
void strsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m, const int* n,
            const float* alpha, const float* a, const int* lda, float* b, const int* ldb, std::size_t side_len,
            std::size_t uplo_len, std::size_t transa_len, std::size_t diag_len);
void ssyrk_(const char* uplo, const char* trans, const int* n, const int* k, const float* alpha, const float* a,
            const int* lda, const float* beta, float* c, const int* ldc, std::size_t uplo_len, std::size_t trans_len);
}

namespace bw::lapack {

namespace {
constexpr char UPLO = 'U';

// Every LAPACK call runs on the calling thread: conformations are spread over
// threads one matrix each, and a library that starts threads of its own
// inside a call would only compete with them. OpenBLAS starts a pool unless
// told otherwise; other providers lack the symbol and run single-threaded.
bool single_threaded_lapack() {
    using set_threads_t = void (*)(int);
    if (auto set_threads = reinterpret_cast<set_threads_t>(dlsym(RTLD_DEFAULT, "openblas_set_num_threads")))
        set_threads(1);
    return true;
}
[[maybe_unused]] const bool lapack_single_threaded = single_threaded_lapack();
}

namespace {
// The file of the shared object that defines `symbol`, resolved.
std::string library_of(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return "unknown";
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
    return resolved;
}
}  // namespace

std::string provider() {
    return "lapack " + library_of(reinterpret_cast<const void*>(&spptrf_)) + "; blas " +
           library_of(reinterpret_cast<const void*>(&ssyrk_));
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

std::int32_t spotrf_lower(std::int32_t n, float* a, std::int32_t lda) {
    const int order = n;
    const int ld = lda;
    int info = 0;
    spotrf_("L", &order, a, &ld, &info, 1);
    return info;
}

void strsm_lower_left(std::int32_t n, std::int32_t nrhs, const float* l, std::int32_t ldl, float* b,
                      std::int32_t ldb) {
    const int m = n, cols = nrhs, lda = ldl, ld = ldb;
    const float one = 1.0f;
    strsm_("L", "L", "N", "N", &m, &cols, &one, l, &lda, b, &ld, 1, 1, 1, 1);
}

void ssyrk_upper_trans(std::int32_t n, std::int32_t k, const float* w, std::int32_t ldw, float* c,
                       std::int32_t ldc) {
    const int order = n, rank = k, lda = ldw, ld = ldc;
    const float one = 1.0f, zero = 0.0f;
    ssyrk_(&UPLO, "T", &order, &rank, &one, w, &lda, &zero, c, &ld, 1, 1);
}

}  // namespace bw::lapack
