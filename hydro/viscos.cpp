#include "hydro/viscos.hpp"

#include <cmath>

#include "driver/records/format.hpp"
#include "hydro/packed.hpp"
#include "hydro/spin.hpp"

namespace bw {

namespace {

// 6 pi with pi = 3.14159, single precision.
constexpr float SIX_PI = 18.84954f;
constexpr float AVOG = 6.023e23f;

}  // namespace

ViscosityCentreSums viscosity_centre_sums(const float* AP, CoordView R, std::int32_t N) {
    ViscosityCentreSums c;
    for (std::int32_t I = 0; I < N; ++I)
        for (std::int32_t J = 0; J < N; ++J) {
            const Mat3 S = GETBLK(I, J, AP);
            for (int e = 0; e < 9; ++e) c.FSUM.a[e] = c.FSUM.a[e] + S.a[e];
            for (int m = 0; m < 3; ++m) {
                const float rsum = R(I, m) + R(J, m);
                float b = c.BVEC[m] + 4.0f * S(m, m) * rsum;
                for (int k = 0; k < 3; ++k) {
                    if (k == m) continue;
                    b = b + 3.0f * S(k, k) * rsum + (3.0f * S(m, k) - 2.0f * S(k, m)) * R(I, k) +
                        (3.0f * S(k, m) - 2.0f * S(m, k)) * R(J, k);
                }
                c.BVEC[m] = b;
            }
        }
    return c;
}

ViscositySums viscosity_sums(const float* AP, CoordView R, std::int32_t N) {
    ViscositySums v;
    for (std::int32_t I = 0; I < N; ++I)
        for (std::int32_t J = 0; J < N; ++J) {
            const Mat3 S = GETBLK(I, J, AP);
            // Single-precision products, accumulated in double.
            for (int m = 0; m < 3; ++m) {
                v.VSUM1 += S(m, m) * R(I, m) * R(J, m);
                for (int k = 0; k < 3; ++k) {
                    if (k == m) continue;
                    v.VSUM2 += S(m, k) * R(J, m) * R(I, k);
                    v.VSUM3 += S(m, k) * R(I, m) * R(J, k);
                    v.VSUM4 += S(m, m) * R(I, k) * R(J, k);
                }
            }
        }
    return v;
}

Vec3 viscosity_centre(const ViscosityCentreSums& c, RecordSink& console) {
    const Mat3& F = c.FSUM;
    Mat3 COEF;
    for (int m = 0; m < 3; ++m)
        for (int k = 0; k < 3; ++k) COEF(m, k) = F(m, k) + F(k, m);
    COEF(0, 0) = 8.0f * F(0, 0) + 6.0f * (F(1, 1) + F(2, 2));
    COEF(1, 1) = 8.0f * F(1, 1) + 6.0f * (F(0, 0) + F(2, 2));
    COEF(2, 2) = 8.0f * F(2, 2) + 6.0f * (F(0, 0) + F(1, 1));
    std::int32_t IERR = 0;
    SPIN(COEF.a.data(), 3, 3, IERR);
    if (IERR != 0) {
        console.record("");
        console.record(" ********** COEF IS SINGULAR. SPIN CALLED IN VISCOS");
    }
    Vec3 VISCEN{};
    for (int m = 0; m < 3; ++m) {
        float s = 0.0f;
        for (int k = 0; k < 3; ++k) s += COEF(m, k) * c.BVEC[k];
        VISCEN[m] = s;
    }
    return VISCEN;
}

void print_viscosity_centre(const Vec3& VISCEN, RecordSink& console) {
    console.record("");
    console.record(
        rec::Record().lit(" VISCOSITY CENTER").x(3).f(VISCEN[0], 10, 4).f(VISCEN[1], 10, 4).f(VISCEN[2], 10, 4).str());
}

void viscosity_result(std::int32_t IVCVIS, std::int32_t IP, const ViscositySums& v, HydroWorkspace& ws,
                      RecordSink& console) {
    HydroResults& res = ws.res;
    const double eta = double(SIX_PI) * (v.VSUM1 / 15.0 + v.VSUM2 / 20.0 - v.VSUM3 / 30.0 + v.VSUM4 / 20.0);
    res.ETA = static_cast<float>(eta);
    if (IVCVIS == 1) res.ETA = res.ETA + 2.5f * ws.VOLUME;
    if (IP != 0) {
        console.record("");
        console.record(rec::Record().lit(" INTRINSIC VISCOSITY").x(3).d1p(res.ETA, 10, 3).str());
    }
    res.SMPAR = std::pow(res.ETA * AVOG / 100.0f, 0.33333334f) * res.DT / SIX_PI;
    if (IP != 0) {
        console.record("");
        console.record(rec::Record().lit(" SCHERAGA-MANDELKERN PARAMETER").x(3).d1p(res.SMPAR, 15, 4).str());
    }
}

void VISCOS(std::int32_t IVCVIS, std::int32_t IP, const float* AP, float* COORD, std::int32_t LDC, std::int32_t N,
            HydroWorkspace& ws, RecordSink& console) {
    auto X = [&](std::int32_t i, int m) -> float& { return COORD[i + std::int64_t{m} * LDC]; };
    const CoordView R{COORD, LDC};

    const Vec3 VISCEN = viscosity_centre(viscosity_centre_sums(AP, R, N), console);
    ws.res.VISCEN = VISCEN;
    for (int m = 0; m < 3; ++m)
        for (std::int32_t i = 0; i < N; ++i) X(i, m) = X(i, m) - VISCEN[m];
    if (IP != 0) print_viscosity_centre(VISCEN, console);

    viscosity_result(IVCVIS, IP, viscosity_sums(AP, R, N), ws, console);

    for (int m = 0; m < 3; ++m)
        for (std::int32_t i = 0; i < N; ++i) X(i, m) = VISCEN[m] + X(i, m);
}

}  // namespace bw
