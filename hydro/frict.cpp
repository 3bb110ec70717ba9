#include "hydro/frict.hpp"

#include <array>

#include "hydro/packed.hpp"
#include "hydro/spin.hpp"

namespace bw {

FrictionSums friction_sums(const float* AP, CoordView COORD, std::int32_t N) {
    FrictionSums f;
    for (std::int32_t I = 0; I < N; ++I) {
        const Mat3 UI = UMAT(COORD.bead(I));
        for (std::int32_t J = 0; J < N; ++J) {
            const Mat3 UJ = UMAT(COORD.bead(J));
            const Mat3 S = GETBLK(I, J, AP);
            const Mat3 US = mul3(UI, S);
            const Mat3 USU = mul3(US, UJ);
            for (int e = 0; e < 9; ++e) {
                f.FTT.a[e] = f.FTT.a[e] + S.a[e];
                f.FRT.a[e] = f.FRT.a[e] + US.a[e];
                f.FRR.a[e] = f.FRR.a[e] - USU.a[e];
            }
        }
    }
    return f;
}

void friction_inverse(std::int32_t IVCROT, FrictionSums sums, HydroWorkspace& ws, RecordSink& console) {
    Mat3& FRR = sums.FRR;
    if (IVCROT == 1) {
        // Volume correction 6 eta0 VOLUME, in units of 6 pi eta0.
        const float c = ws.VOLUME / 3.14159f;
        for (int k = 0; k < 3; ++k) FRR(k, k) = FRR(k, k) + c;
    } else {
        const float t = 0.0001f * (FRR(0, 0) + FRR(1, 1) + FRR(2, 2));
        for (int k = 0; k < 3; ++k) FRR(k, k) = FRR(k, k) + t;
    }

    std::array<float, 36> F66{};
    auto F = [&](int k, int l) -> float& { return F66[k + 6 * l]; };
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) {
            F(k, l) = sums.FTT(k, l);
            F(3 + k, l) = sums.FRT(k, l);
            F(l, 3 + k) = sums.FRT(k, l);
            F(3 + k, 3 + l) = FRR(k, l);
        }

    std::int32_t IERR = 0;
    SPIN(F66.data(), 6, 6, IERR);
    if (IERR != 0) console.record(" ********** F66 IS SINGULAR");

    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) {
            ws.DTT(k, l) = F(k, l);
            ws.DRT(k, l) = F(3 + k, l);
            ws.DRR(k, l) = F(3 + k, 3 + l);
        }
}

void FRICT(std::int32_t IVCROT, const float* AP, CoordView COORD, std::int32_t N, HydroWorkspace& ws,
           RecordSink& console) {
    friction_inverse(IVCROT, friction_sums(AP, COORD, N), ws, console);
}

}  // namespace bw
