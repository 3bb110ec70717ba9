#include "hydro/trv.hpp"

#include <stdexcept>

#include "driver/records/format.hpp"
#include "hydro/fast_trv.hpp"
#include "hydro/frict.hpp"
#include "hydro/geomet.hpp"
#include "hydro/lapack.hpp"
#include "hydro/packed.hpp"
#include "hydro/resdif.hpp"
#include "hydro/rotrel.hpp"
#include "hydro/supmat.hpp"
#include "hydro/viscos.hpp"

namespace bw {

namespace {

void check_model(const HydroModel& m) {
    if (m.N < 1) throw std::invalid_argument("TRV: a bead model needs at least one bead");
    if (m.LDC < m.N) throw std::invalid_argument("TRV: leading dimension of COORD below the number of beads");
    if (m.COORD == nullptr || m.RAD == nullptr || m.AP == nullptr)
        throw std::invalid_argument("TRV: missing coordinate, radius or work array");
    if (m.NAP < packed_size(3 * std::int64_t{m.N}))
        throw std::invalid_argument("TRV: work array AP shorter than the packed supermatrix");
}

void print_entry(const HydroModel& m, RecordSink& console) {
    using rec::Record;
    const CoordView R{m.COORD, m.LDC};
    console.record("");
    console.record("");
    console.record(" SUBROUTINE TRV HAS ENTERED");
    console.record(" VALUES OF THE CONTROL PARAMETERS");
    console.record("  IND   IP");
    console.record(Record().i(m.IND, 5).i(m.IP, 5).str());
    console.record("");
    console.record(" CARTESIAN COORDINATES AND RADII OF THE ELEMENTS");
    for (std::int32_t i = 0; i < m.N; ++i)
        console.record(
            Record().i(i + 1, 4).f(R(i, 0), 13, 4).f(R(i, 1), 13, 4).f(R(i, 2), 13, 4).f(m.RAD[i], 13, 4).str());
}

}  // namespace

void INVSTO_D(std::int32_t n3, float* AP, HydroWorkspace& ws) {
    ws.INFO1 = lapack::spptrf_upper(n3, AP);
    if (ws.INFO1 == 0) ws.INFO2 = lapack::spptri_upper(n3, AP);
}

void report_inversion(const HydroWorkspace& ws, RecordSink& console) {
    if (ws.INFO1 == 0 && ws.INFO2 == 0) return;
    console.record(rec::Record()
                       .lit(" ERROR: INFO1=")
                       .i(ws.INFO1, 1)
                       .lit(" INFO2=")
                       .i(ws.INFO2, 1)
                       .lit(" . SEE INSTRUCTIONS FOR INVSTO_D SUBROUTINE").str());
}

void TRV(const HydroModel& m, HydroWorkspace& ws, RecordSink& console, FastWork* fast) {
    check_model(m);
    if (m.IP != 0) print_entry(m, console);
    const CoordView R{m.COORD, m.LDC};

    GEOMET(m.IGYR, m.IP, R, m.N, m.RAD, ws, console);
    const bool fast_route = fast != nullptr && fast_inversion(m, *fast, ws);
    if (fast_route) {
        friction_inverse(m.IVCROT, friction_sums(fast->gram), ws, console);
    } else {
        SUPMAT(m.AP, m.IND, R, m.N, m.RAD);
        INVSTO_D(3 * m.N, m.AP, ws);
        report_inversion(ws, console);
        FRICT(m.IVCROT, m.AP, R, m.N, ws, console);
    }
    RESDIF(m.IP, ws, console);
    ROTREL(m.IP, ws, console);
    if (ws.IERRD == 1) console.record(" ERROR IN DIAGONALIZING DIR");
    if (fast_route)
        VISCOS_FAST(m.IVCVIS, m.IP, fast->gram, ws, console);
    else
        VISCOS(m.IVCVIS, m.IP, m.AP, m.COORD, m.LDC, m.N, ws, console);
}

}  // namespace bw
