#include "hydro/spin.hpp"

#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace bw {

void SPIN(float* AMAT, std::int32_t LD, std::int32_t N, std::int32_t& IERR) {
    if (N < 0 || N > SPIN_MAXORDER || LD < N)
        throw std::invalid_argument("SPIN: order outside 0..100 or leading dimension below the order");
    auto A = [&](std::int32_t j, std::int32_t k) -> float& { return AMAT[j + k * LD]; };

    // IPIV counts how often a column has served as pivot column; INDXR and
    // INDXC record the pivot row and column of every step for the final
    // unscrambling of the columns.
    std::array<std::int32_t, SPIN_MAXORDER> IPIV{}, INDXR{}, INDXC{};

    for (std::int32_t i = 0; i < N; ++i) {
        float BIG = 0.0f;
        std::int32_t IROW = 0, ICOL = 0;
        for (std::int32_t j = 0; j < N; ++j) {
            if (IPIV[j] != 0) continue;
            for (std::int32_t k = 0; k < N; ++k) {
                if (IPIV[k] != 0) continue;
                if (std::fabs(A(j, k)) > BIG) {
                    BIG = std::fabs(A(j, k));
                    IROW = j;
                    ICOL = k;
                }
            }
        }
        // No tolerance: only an exactly zero remaining block counts as singular.
        if (BIG == 0.0f) {
            IERR = 1;
            return;
        }
        ++IPIV[ICOL];
        if (IROW != ICOL)
            for (std::int32_t l = 0; l < N; ++l) std::swap(A(IROW, l), A(ICOL, l));
        INDXR[i] = IROW;
        INDXC[i] = ICOL;

        const std::int32_t m = ICOL;
        const float PIV = A(m, m);
        A(m, m) = 1.0f;
        for (std::int32_t l = 0; l < N; ++l) A(m, l) = A(m, l) / PIV;
        for (std::int32_t j = 0; j < N; ++j) {
            if (j == m) continue;
            const float DUM = A(j, m);
            A(j, m) = 0.0f;
            for (std::int32_t l = 0; l < N; ++l) A(j, l) = A(j, l) - A(m, l) * DUM;
        }
    }
    for (std::int32_t l = N - 1; l >= 0; --l)
        if (INDXR[l] != INDXC[l])
            for (std::int32_t k = 0; k < N; ++k) std::swap(A(k, INDXR[l]), A(k, INDXC[l]));
    IERR = 0;
}

}  // namespace bw
