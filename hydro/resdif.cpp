#include "hydro/resdif.hpp"

#include "driver/records/format.hpp"
#include "hydro/mat3.hpp"
#include "hydro/spin.hpp"

namespace bw {

namespace {

void print_rows(const Mat3& m, RecordSink& console) {
    for (int i = 0; i < 3; ++i) {
        rec::Record r;
        for (int j = 0; j < 3; ++j) r.x(4).f(m(i, j), 12, 6);
        console.record(r.str());
    }
}

void print_results(const HydroWorkspace& ws, RecordSink& console) {
    using rec::Record;
    const HydroResults& res = ws.res;
    console.record("");
    console.record(Record().lit(" TRANSLATIONAL DIFFUSION TENSOR").str());
    print_rows(res.DTTC, console);
    console.record("");
    console.record(Record().lit(" TRANSLATIONAL DIFFUSION COEFF.=").f(res.DT, 9, 4).str());
    console.record(Record().lit(" TRANSLATIONAL FRICTION  COEFF.=").f(res.FT, 9, 4).str());
    console.record("");
    console.record(Record().lit(" ROTATIONAL DIFFUSION TENSOR").str());
    print_rows(ws.DRR, console);
    console.record("");
    console.record(Record().lit(" COUPLING TENSOR (DIFFUSION)").str());
    print_rows(res.DCPC, console);
}

}  // namespace

void RESDIF(std::int32_t IP, HydroWorkspace& ws, RecordSink& console) {
    const Mat3& DTT = ws.DTT;
    const Mat3& DRT = ws.DRT;
    const Mat3& DRR = ws.DRR;
    HydroResults& res = ws.res;

    // DIFCEN is the point where the coupling DRT + DRR U loses its
    // antisymmetric part: (trace(DRR) I - DRR) DIFCEN = VCOEF.
    Mat3 QQ;
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) QQ(k, l) = -DRR(k, l);
    QQ(0, 0) = DRR(1, 1) + DRR(2, 2);
    QQ(1, 1) = DRR(0, 0) + DRR(2, 2);
    QQ(2, 2) = DRR(0, 0) + DRR(1, 1);
    std::int32_t IERR = 0;
    SPIN(QQ.a.data(), 3, 3, IERR);
    if (IERR != 0) console.record(" ********** QQ IS SINGULAR. 2ND CALL IN RESDIF");

    const Vec3 VCOEF = {DRT(1, 2) - DRT(2, 1), DRT(2, 0) - DRT(0, 2), DRT(0, 1) - DRT(1, 0)};
    for (int i = 0; i < 3; ++i) {
        float s = 0.0f;
        for (int j = 0; j < 3; ++j) s += QQ(i, j) * VCOEF[j];
        res.DIFCEN[i] = s;
    }
    if (IP != 0) {
        console.record("");
        console.record(rec::Record()
                           .lit(" CENTER OF DIFFUSION")
                           .x(3)
                           .f(res.DIFCEN[0], 10, 4)
                           .f(res.DIFCEN[1], 10, 4)
                           .f(res.DIFCEN[2], 10, 4).str());
    }

    // DTTC = DTT + U^T DRT + DRT^T U + U^T DRR U and DCPC = DRT + DRR U, with
    // U = UMAT(DIFCEN); every element evaluated in double, stored in float.
    const Mat3 U = UMAT(res.DIFCEN);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            double t = DTT(i, j);
            for (int k = 0; k < 3; ++k) t += double(U(k, i)) * DRT(k, j);
            for (int k = 0; k < 3; ++k) t += double(DRT(k, i)) * U(k, j);
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) t += double(U(k, i)) * DRR(k, l) * U(l, j);
            res.DTTC(i, j) = static_cast<float>(t);

            double c = DRT(i, j);
            for (int k = 0; k < 3; ++k) c += double(DRR(i, k)) * U(k, j);
            res.DCPC(i, j) = static_cast<float>(c);
        }

    res.DT = (res.DTTC(0, 0) + res.DTTC(1, 1) + res.DTTC(2, 2)) / 3.0f;
    res.FT = 1.0f / res.DT;
    if (IP != 0) print_results(ws, console);
}

}  // namespace bw
