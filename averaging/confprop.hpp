#pragma once
// The property vector PROP of one sampled conformation, in its fixed order:
//   1 r2, the squared end-to-end distance (b^2);
//   2 s2, the squared radius of gyration (b^2);
//   3, 4 DT = D* and ETA = [eta]* of the rigid bead model, only when IHYD /= 0;
//   then, when NPR > 0, one indicator per interval of P(r) on [0, RMAX]:
//   1.0 for the interval that holds r = sqrt(r2), 0.0 elsewhere (all 0.0 when
//   r > RMAX).
#include <cstdint>
#include <span>

#include "averaging/hydro_entries.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/conformation.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

// NPROP of a data set: 2, plus 2 with hydrodynamics, plus NPR when NPR > 0.
// 64-bit so that no count of intervals can wrap it.
std::int64_t property_count(const RunData& run);

// Fills PROP(1..NPROP) (PROP[0..NPROP-1]) for conf and returns NPROP. PROP
// must hold property_count(run) entries. hydro is asked for DT and ETA only
// when IHYD /= 0 (it may be null otherwise); its messages go to console.
std::int32_t CONFPROP(const Conformation& conf, const RunData& run, HydroEntries* hydro, RecordSink& console,
                      std::span<float> PROP);

}  // namespace bw
