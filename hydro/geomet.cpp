#include "hydro/geomet.hpp"

#include <cmath>

#include "driver/records/format.hpp"

namespace bw {

void GEOMET(std::int32_t IGYR, std::int32_t IP, CoordView COORD, std::int32_t N, const float* RAD,
            HydroWorkspace& ws, RecordSink& console) {
    // Weights w_i = a_i^3; the three weighted sums and W in one pass.
    float W = 0.0f, SX = 0.0f, SY = 0.0f, SZ = 0.0f;
    for (std::int32_t i = 0; i < N; ++i) {
        const float a = RAD[i];
        const float w = a * a * a;
        W += w;
        SX += w * COORD(i, 0);
        SY += w * COORD(i, 1);
        SZ += w * COORD(i, 2);
    }
    ws.CM = {SX / W, SY / W, SZ / W};
    ws.VOLUME = W * 4.0f * 3.14159f / 3.0f;

    float S = 0.0f;
    for (std::int32_t i = 0; i < N; ++i) {
        const float a = RAD[i];
        const float w = a * a * a;
        const float dx = COORD(i, 0) - ws.CM[0];
        const float dy = COORD(i, 1) - ws.CM[1];
        const float dz = COORD(i, 2) - ws.CM[2];
        const float d2 = dx * dx + dy * dy + dz * dz;
        if (IGYR == 1)
            S += w * (0.6f * (a * a) + d2);  // a solid sphere's own moment, (3/5) a^2
        else
            S += w * d2;
    }
    ws.RG = std::sqrt(S / W);

    if (IP != 0) {
        using rec::Record;
        console.record("");
        console.record(Record().lit(" VOLUME=").f(ws.VOLUME, 10, 2).lit("  RADIUS OF GYRATION=").f(ws.RG, 10, 4).str());
        console.record("");
        console.record(Record()
                           .lit(" CENTER OF MASS (UNIFORM DENSITY)")
                           .x(4)
                           .f(ws.CM[0], 10, 4)
                           .f(ws.CM[1], 10, 4)
                           .f(ws.CM[2], 10, 4).str());
    }
}

}  // namespace bw
