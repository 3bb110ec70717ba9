#pragma once
// VISCOS: intrinsic viscosity of the rigid bead model about its viscosity
// centre, and the Scheraga-Mandelkern parameter. The stage is split so that
// the pair sums can come from elsewhere and the rest be reused.
#include <cstdint>

#include "driver/records/record_sink.hpp"
#include "hydro/hydro_model.hpp"
#include "hydro/hydro_workspace.hpp"
#include "hydro/mat3.hpp"

namespace bw {

// Sums that fix the viscosity centre: FSUM = sum S_IJ and BVEC, the linear
// term of the viscosity sums in the reference point.
struct ViscosityCentreSums {
    Mat3 FSUM;
    Vec3 BVEC{};
};

// The four viscosity sums about the current origin, in double.
struct ViscositySums {
    double VSUM1 = 0.0, VSUM2 = 0.0, VSUM3 = 0.0, VSUM4 = 0.0;
};

// Pair sums over all ordered pairs from the packed inverse of order 3N and
// the coordinates.
ViscosityCentreSums viscosity_centre_sums(const float* AP, CoordView COORD, std::int32_t N);
ViscositySums viscosity_sums(const float* AP, CoordView COORD, std::int32_t N);

// VISCEN = COEF^-1 BVEC, COEF(m,m) = 8 FSUM(m,m) + 6 (other two diagonal
// elements), COEF(m,k) = FSUM(m,k) + FSUM(k,m); a singular COEF is reported
// and the computation goes on with what SPIN left.
Vec3 viscosity_centre(const ViscosityCentreSums& c, RecordSink& console);

// Prints the viscosity centre (the IP output of VISCOS).
void print_viscosity_centre(const Vec3& VISCEN, RecordSink& console);

// ETA = 18.84954 (VSUM1/15 + VSUM2/20 - VSUM3/30 + VSUM4/20) in double,
// stored in float, plus 2.5 VOLUME when IVCVIS = 1; then
// SMPAR = (ETA AVOG/100)^(1/3) DT / 18.84954. Reads ws.VOLUME and ws.res.DT;
// writes ws.res.ETA and SMPAR; prints them when IP is nonzero.
void viscosity_result(std::int32_t IVCVIS, std::int32_t IP, const ViscositySums& v, HydroWorkspace& ws,
                      RecordSink& console);

// VISCOS: centre, translation of COORD to it, sums, result, translation
// back. COORD is modified during the call and restored before return.
void VISCOS(std::int32_t IVCVIS, std::int32_t IP, const float* AP, float* COORD, std::int32_t LDC, std::int32_t N,
            HydroWorkspace& ws, RecordSink& console);

}  // namespace bw
