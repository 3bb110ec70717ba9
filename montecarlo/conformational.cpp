#include "montecarlo/conformational.hpp"

namespace bw {

void RGYR2(const Conformation& conf, float& S2) {
    const std::int32_t N = conf.N;
    const float fn = static_cast<float>(N);
    float cx = 0.0f, cy = 0.0f, cz = 0.0f;
    // Each term is divided by N before it is added.
    for (std::int32_t i = 0; i < N; ++i) cx += conf.x[i] / fn;
    for (std::int32_t i = 0; i < N; ++i) cy += conf.y[i] / fn;
    for (std::int32_t i = 0; i < N; ++i) cz += conf.z[i] / fn;
    float sum = 0.0f;
    for (std::int32_t i = 0; i < N; ++i) {
        const float dx = conf.x[i] - cx, dy = conf.y[i] - cy, dz = conf.z[i] - cz;
        sum += dx * dx + dy * dy + dz * dz;
    }
    S2 = sum / fn;
}

void HISTBIN(float VAL, float VMIN, float VMAX, std::int32_t NINT, std::int32_t& IBIN, std::int32_t& ISTAT) {
    if (VAL < VMIN) {
        ISTAT = 1;
        return;
    }
    if (VAL > VMAX) {
        ISTAT = 2;
        return;
    }
    ISTAT = 0;
    const float q = ((static_cast<float>(NINT) * 0.99999988f) * (VAL - VMIN)) / (VMAX - VMIN);
    // In range q lies in [0, NINT); only 0/0 or a NaN VAL escapes, and a
    // float-to-int conversion of NaN would be undefined.
    IBIN = (q >= 0.0f && q < 2147483647.0f) ? static_cast<std::int32_t>(q) + 1 : 0;
}

}  // namespace bw
