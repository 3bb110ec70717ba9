#include "hydro/rotrel.hpp"

#include <cmath>
#include <utility>

#include "driver/records/format.hpp"

namespace bw {

namespace {

void print_relaxation(const HydroResults& res, RecordSink& console) {
    using rec::Record;
    console.record("");
    console.record(" EIGENVALUES OF THE ROTATIONAL DIFFUSION TENSOR");
    console.record(Record().f(res.DREIG[0], 10, 5).f(res.DREIG[1], 10, 5).f(res.DREIG[2], 10, 5).str());
    console.record("");
    console.record(Record().lit(" TRACE OF ROT.DIF.TEN.=").f(res.DRMEAN, 10, 5).str());
    console.record(Record().lit(" ANISOTROPY OF ROT.DIF.TEN.=").f(res.DELTA, 10, 5).str());
    console.record("");
    console.record(" RELAXATION CONSTANSTS ");
    Record index;
    index.lit(" INDEX").x(11);
    for (int k = 1; k <= 5; ++k) index.x(6).i(k, 2).x(4);
    console.record(index.str());
    console.record(Record().x(18).lit("   6D-2DEL      3D+3D1      3D+3D2      3D+3D3     6D+2DEL").str());
    Record rates, times;
    rates.lit(" ROTATIONAL CONST");
    times.lit(" RELAXATION TIMES");
    for (int k = 0; k < 5; ++k) {
        rates.x(2).f(res.RCONST[k], 10, 5);
        times.x(2).f(res.RTIME[k], 10, 5);
    }
    console.record(rates.str());
    console.record(times.str());
}

}  // namespace

void ROTREL(std::int32_t IP, HydroWorkspace& ws, RecordSink& console) {
    const Mat3& D = ws.DRR;
    HydroResults& res = ws.res;
    ws.IERRD = 0;
    const float D11 = D(0, 0), D22 = D(1, 1), D33 = D(2, 2);
    const float D12 = D(0, 1), D13 = D(0, 2), D23 = D(1, 2);
    res.DRMEAN = (D11 + D22 + D33) / 3.0f;

    // Characteristic polynomial x^3 + k2 x^2 + k1 x + k0 of the symmetric matrix.
    const float k2 = -3.0f * res.DRMEAN;
    const float k1 = D11 * D22 + D11 * D33 + D22 * D33 - D12 * D12 - D13 * D13 - D23 * D23;
    const float det = D11 * D22 * D33 + 2.0f * D12 * D13 * D23 - D33 * (D12 * D12) - D22 * (D13 * D13) -
                      D11 * (D23 * D23);
    const float k0 = -det;

    // Depressed cubic y^3 + p y + q with x = y - s.
    const float p = (3.0f * k1 - k2 * k2) / 3.0f;
    const float q = (27.0f * k0 - 9.0f * k2 * k1 + 2.0f * (k2 * k2 * k2)) / 27.0f;
    const float s = k2 / 3.0f;
    const float p3_27 = p * p * p / 27.0f;
    const float DISC = 0.25f * (q * q) + p3_27;

    float r1, r2, r3;
    if (std::fabs(DISC) < 0.001f * std::fabs(p3_27) || std::fabs(p) < 0.001f * (k2 * k2)) {
        // Double or triple root; u is the real cube root of -q/2.
        float u = std::pow(std::fabs(q) / 2.0f, 0.33333334f);
        if (q > 0.0f) u = -u;
        r1 = 2.0f * u - s;
        r2 = -u - s;
        r3 = -u - s;
    } else if (DISC > 0.0f) {
        ws.IERRD = 1;
        return;
    } else {
        // Three distinct real roots (trigonometric form); the tolerance above
        // keeps the arc cosine argument strictly inside [-1, 1].
        float phi = std::acos(-q / (2.0f * std::sqrt(-(p * p * p) / 27.0f)));
        phi = phi / 3.0f;
        const float t = 2.0f * std::sqrt(-p / 3.0f);
        r1 = t * std::cos(phi) - s;
        r2 = t * std::cos(phi + 2.0943949f) - s;
        r3 = t * std::cos(phi + 4.1887898f) - s;
    }
    res.DELTA = std::sqrt(r2 * r2 + r1 * r1 + r3 * r3 - r1 * r2 - r1 * r3 - r2 * r3);

    res.DREIG = {r1, r2, r3};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j <= i; ++j)
            if (res.DREIG[i + 1] < res.DREIG[j]) std::swap(res.DREIG[i + 1], res.DREIG[j]);

    res.RCONST[0] = 6.0f * res.DRMEAN - 2.0f * res.DELTA;
    for (int k = 0; k < 3; ++k) res.RCONST[k + 1] = 3.0f * (res.DRMEAN + res.DREIG[k]);
    res.RCONST[4] = 6.0f * res.DRMEAN + 2.0f * res.DELTA;
    for (int k = 0; k < 5; ++k) res.RTIME[k] = 1.0f / res.RCONST[k];

    if (IP != 0) print_relaxation(res, console);
}

}  // namespace bw
