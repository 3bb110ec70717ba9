#include "hydro/fast_trv.hpp"

#include <cstddef>

#include "hydro/fast_supmat.hpp"
#include "hydro/viscos.hpp"

namespace bw {

bool fast_inversion(const HydroModel& m, FastWork& fw, HydroWorkspace& ws)
{
    fast_supermatrix(m, fw);
    if (field_gram(m.N, m.COORD, m.LDC, fw) != 0) return false;
    ws.INFO1 = 0;
    ws.INFO2 = 0;
    return true;
}

void VISCOS_FAST(std::int32_t IVCVIS, std::int32_t IP, const FieldGram& gram, HydroWorkspace& ws,
                 RecordSink& console)
{
    const Vec3 VISCEN = viscosity_centre(viscosity_centre_sums(gram), console);
    ws.res.VISCEN = VISCEN;
    if (IP != 0) print_viscosity_centre(VISCEN, console);
    viscosity_result(IVCVIS, IP, viscosity_sums(gram, VISCEN), ws, console);
}

}  // namespace bw
