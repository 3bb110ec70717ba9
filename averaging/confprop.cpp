#include "averaging/confprop.hpp"

#include <cmath>
#include <stdexcept>

#include "montecarlo/conformational.hpp"
#include "montecarlo/iniconf.hpp"

namespace bw {

std::int64_t property_count(const RunData& run) {
    return 2 + (run.IHYD != 0 ? 2 : 0) + (run.NPR > 0 ? std::int64_t{run.NPR} : 0);
}

std::int32_t CONFPROP(const Conformation& conf, const RunData& run, HydroEntries* hydro, RecordSink& console,
                      std::span<float> PROP) {
    if (static_cast<std::int64_t>(PROP.size()) < property_count(run)) {
        throw std::invalid_argument("CONFPROP: property vector too short for the data set");
    }
    std::int32_t NPROP = 0;
    const float r2 = DIST2(conf, 1, conf.N);
    PROP[NPROP++] = r2;
    float s2 = 0.0f;
    RGYR2(conf, s2);
    PROP[NPROP++] = s2;
    if (run.IHYD != 0) {
        if (hydro == nullptr) throw std::invalid_argument("CONFPROP: hydrodynamics requested without a calculator");
        float DT = 0.0f, ETA = 0.0f;
        hydro->compute(conf, DT, ETA, console);
        PROP[NPROP++] = DT;
        PROP[NPROP++] = ETA;
    }
    if (run.NPR > 0) {
        const float r = std::sqrt(r2);
        std::int32_t IBIN = 0, ISTAT = 0;
        HISTBIN(r, 0.0f, run.RMAX, run.NPR, IBIN, ISTAT);
        for (std::int32_t k = 1; k <= run.NPR; ++k) PROP[NPROP++] = (ISTAT == 0 && IBIN == k) ? 1.0f : 0.0f;
    }
    return NPROP;
}

}  // namespace bw
