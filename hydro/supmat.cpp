#include "hydro/supmat.hpp"

#include <cmath>

#include "hydro/packed.hpp"

namespace bw {

Mat3 self_block(float a) {
    const float c = 1.0f / a;
    return diag3(c, c, c);
}

float overlap_sigma(float aI, float aJ) {
    if (aI == aJ) return aI;
    return std::pow((aI * aI * aI + aJ * aJ * aJ) / 2.0f, 0.33333334f);
}

Mat3 pair_block(std::int32_t IND, float aI, float aJ, const Vec3& d) {
    Mat3 BLK;
    if (IND == IND_NONE) return BLK;

    const float r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    const float r = std::sqrt(r2);
    if (IND == IND_RPY && aI + aJ > 1.01f * r) {
        const float sigma = overlap_sigma(aI, aJ);
        const float c = 1.0f / sigma;
        const float t1 = 1.0f - 9.0f * r / (32.0f * sigma);
        for (int l = 0; l < 3; ++l)
            for (int k = 0; k < 3; ++k) {
                // d_k d_l / r -> 0 as r -> 0: coincident beads take the limit (1/sigma) I.
                const float t2 = r == 0.0f ? 0.0f : 3.0f * d[k] * d[l] / (32.0f * sigma * r);
                BLK(k, l) = c * ((k == l ? t1 : 0.0f) + t2);
            }
        return BLK;
    }

    const float Q = static_cast<float>(IND) * (aI * aI + aJ * aJ) / r2;
    const float A = (1.0f + Q / 3.0f) / (8.0f * r);
    const float B = (1.0f - Q) / (8.0f * (r * r * r));
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) BLK(k, l) = 6.0f * ((k == l ? A : 0.0f) + B * d[k] * d[l]);
    return BLK;
}

void STOBLK(std::int32_t I, std::int32_t J, const Mat3& BLK, float* AP) {
    for (int a = 0; a < 3; ++a) {
        const int bmax = J < I ? 3 : a + 1;
        for (int b = 0; b < bmax; ++b) AP[packed_index(3 * J + b, 3 * I + a)] = BLK(a, b);
    }
}

void SUPMAT(float* AP, std::int32_t IND, CoordView COORD, std::int32_t N, const float* RAD) {
    for (std::int32_t I = 0; I < N; ++I)
        for (std::int32_t J = 0; J <= I; ++J) {
            if (J == I) {
                STOBLK(I, I, self_block(RAD[I]), AP);
                continue;
            }
            const Vec3 d = {COORD(J, 0) - COORD(I, 0), COORD(J, 1) - COORD(I, 1), COORD(J, 2) - COORD(I, 2)};
            STOBLK(I, J, pair_block(IND, RAD[I], RAD[J], d), AP);
        }
}

}  // namespace bw
